// Reading an archive's directory: end record, comments, prefixes, trailing data, zip64 and
// the character sets of names, on fixtures made with zip and Python.
#include <QTemporaryDir>
#include <QTest>

#include "ZipTestSupport.h"
#include "platform/ziplibs/common/ZipCommon.h"

using namespace Zip;  // the component's option bits

using namespace ziptest;

namespace {

// Makes one fixture archive with Python; the kinds are listed in the script.
const char* const kFixtures = R"(
import zipfile, sys, io
kind, out = sys.argv[1], sys.argv[2]
def plain(**kw):
    b = io.BytesIO()
    with zipfile.ZipFile(b, 'w') as z:
        if 'comment' in kw: z.comment = kw['comment']
        z.writestr('a.txt', b'svamp')
        z.writestr(zipfile.ZipInfo('mapp/'), b'')
        z.writestr('mapp/b.txt', b'kantarell')
    return b.getvalue()
if kind == 'plain': data = plain()
elif kind == 'longcomment': data = plain(comment=b'k' * 65535)
elif kind == 'fakeend': data = plain(comment=b'PK\x05\x06' + b'\xff' * 30 + b'skrap')
elif kind == 'zeropad':
    data = plain(); data += b'\0' * (512 - len(data) % 512)
elif kind == 'garbage': data = plain() + b'x' * 100
elif kind == 'stub': data = b'MZ' + b'\0' * 510 + plain()
elif kind == 'oem' or kind == 'ansi':
    b = io.BytesIO()
    with zipfile.ZipFile(b, 'w') as z:
        i = zipfile.ZipInfo('xyz.txt'); i.create_system = 0 if kind == 'oem' else 3
        z.writestr(i, b'namn')
    raw = b.getvalue()
    data = raw.replace(b'xyz', b'\x86\x84\x94' if kind == 'oem' else b'\xe5\xe4\xf6')
elif kind == 'many':
    b = io.BytesIO()
    with zipfile.ZipFile(b, 'w', allowZip64=True) as z:
        for n in range(65536): z.writestr('f%d' % n, b'')
    data = b.getvalue()
open(out, 'wb').write(data)
)";

bool Fixture(const QString& kind, const QString& out) {
    QProcess p;
    p.start(ToolPath(QStringLiteral("python3")), {QStringLiteral("-c"), QString::fromLatin1(kFixtures), kind, out});
    return p.waitForFinished(120000) && p.exitCode() == 0;
}

}  // namespace

class TestZipDir : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        ZIPTEST_REQUIRE_TOOL("python3");
        ZIPTEST_REQUIRE_TOOL("zip");
    }

    void listing_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("commentLength");
        QTest::addColumn<qint64>("sfxOffset");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("firstName");
        QTest::newRow("plain") << "plain" << 2 << 0 << qint64(0) << ""
                               << "a.txt";
        QTest::newRow("65,535-byte comment") << "longcomment" << 2 << 65535 << qint64(0) << ""
                                             << "a.txt";
        QTest::newRow("end signature in the comment") << "fakeend" << 2 << 39 << qint64(0) << ""
                                                      << "a.txt";
        QTest::newRow("zero padding to 512") << "zeropad" << 2 << 0 << qint64(0) << ""
                                             << "a.txt";
        QTest::newRow("trailing garbage") << "garbage" << 2 << 0 << qint64(0) << "Varning - Skräp i slutet av zipfilen!"
                                          << "a.txt";
        QTest::newRow("prefixed stub") << "stub" << 2 << 0 << qint64(512) << "Varning - Fel i zip struktur!"
                                       << "a.txt";
        QTest::newRow("OEM name of a DOS host") << "oem" << 1 << 0 << qint64(0) << ""
                                                << "åäö.txt";
        QTest::newRow("eight-bit name of a Unix host") << "ansi" << 1 << 0 << qint64(0) << ""
                                                       << "åäö.txt";
    }
    void listing() {
        QFETCH(QString, kind);
        QFETCH(int, count);
        QFETCH(int, commentLength);
        QFETCH(qint64, sfxOffset);
        QFETCH(QString, message);
        QFETCH(QString, firstName);
        QTemporaryDir tmp;
        const QString archive = tmp.path() + "/f.zip";
        QVERIFY(Fixture(kind, archive));
        auto z = MakeArchiver();
        QList<int> seqs;
        int updates = 0;
        z->OnNewName = [&](QObject*, int seq, const ZipDirEntry&) { seqs << seq; };
        z->OnDirUpdate = [&](QObject*) { ++updates; };
        z->SetZipFileName(archive);
        QCOMPARE(z->ErrCode(), 0);
        QCOMPARE(z->ZipFileName(), archive);
        QCOMPARE(z->GetCount(), count);
        QCOMPARE(int(z->ZipComment().size()), commentLength);
        QCOMPARE(z->SFXOffset(), sfxOffset);
        QCOMPARE(z->Message(), message);
        QCOMPARE(z->ZipContents().first().FileName, firstName);
        QCOMPARE(updates, 1);
        // Folder entries are counted but not listed; the sequence numbers still count them.
        if (count == 2) {
            QCOMPARE(seqs, (QList<int>{1, 3}));
            QCOMPARE(z->DirOnlyCount(), 1);
            QCOMPARE(z->ZipContents()[1].FileName, QStringLiteral("mapp\\b.txt"));
            z->SetUseDirOnlyEntries(true);
            z->List();
            QCOMPARE(z->GetCount(), 3);
            QCOMPARE(z->ZipContents()[1].FileName, QStringLiteral("mapp\\"));
        }
        // What lists also unpacks, under the same name.
        z->SetExtrBaseDir(tmp.path() + "/ut");
        z->SetExtrOptions(ExtrDirNames);
        QCOMPARE(z->Extract(), 0);
        QVERIFY(QFileInfo::exists(tmp.path() + "/ut/" + QString(firstName).replace('\\', '/')));
    }

    void adjustedStubHasNoWarning() {
        QTemporaryDir tmp;
        const QString archive = tmp.path() + "/s.zip";
        QVERIFY(Fixture("stub", archive));
        QCOMPARE(Run(QStringLiteral("zip"), {"-q", "-A", archive}).Exit, 0);
        auto z = MakeArchiver();
        z->SetZipFileName(archive);
        QCOMPARE(z->GetCount(), 2);
        QCOMPARE(z->SFXOffset(), qint64(512));
        QVERIFY(!z->StructureWarning());
        QCOMPARE(z->Message(), QString());
    }

    void emptyAndBrokenArchives_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("nameKept");
        QTest::newRow("only an end record") << (QByteArray("PK\x05\x06", 4) + QByteArray(18, 0)) << 0 << true;
        QTest::newRow("text file") << QByteArray("ingen zip alls, bara text\n") << 11036 << false;
        QTest::newRow("too short") << QByteArray("PK\x05\x06") << 11036 << false;
        QTest::newRow("central header missing")
            << (QByteArray(46, 'a') + QByteArray("PK\x05\x06\0\0\0\0\1\0\1\0\x2e\0\0\0\0\0\0\0\0\0", 22)) << 11036
            << false;
    }
    void emptyAndBrokenArchives() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, code);
        QFETCH(bool, nameKept);
        QTemporaryDir tmp;
        const QString archive = tmp.path() + "/x.zip";
        testsupport::WriteBytes(archive, bytes);
        auto z = MakeArchiver();
        z->SetZipFileName(archive);
        QCOMPARE(z->ErrCode(), code);
        QCOMPARE(z->GetCount(), 0);
        QCOMPARE(z->SFXOffset(), qint64(0));
        QCOMPARE(z->ZipFileName().isEmpty(), !nameKept);
        if (code) QCOMPARE(z->Message(), zipmsg::ZipMessage(code));
    }

    void zip64Directory() {
        QTemporaryDir tmp;
        const QString archive = tmp.path() + "/m.zip";
        QVERIFY(Fixture("many", archive));
        auto z = MakeArchiver();
        z->SetZipFileName(archive);
        QCOMPARE(z->ErrCode(), 0);
        QCOMPARE(z->GetCount(), 65536);
        QCOMPARE(z->ZipContents().last().FileName, QStringLiteral("f65535"));
    }

    void zip64EndRecord() {
        // A classic end record that points to a zip64 end record and its locator.
        auto z = MakeArchiver();
        z->SetZipFileName(testsupport::SourceDir() + "/fuzz/corpus/zipdir/zip64end.zip");
        QCOMPARE(z->ErrCode(), 0);
        QCOMPARE(z->GetCount(), 2);
        QCOMPARE(z->ZipContents().last().FileName, QStringLiteral("sub\\b.htm"));
        QTemporaryDir tmp;
        z->SetExtrBaseDir(tmp.path());
        z->SetExtrOptions(ExtrDirNames);
        QCOMPARE(z->Extract(), 0);
        QVERIFY(QFileInfo::exists(tmp.path() + "/sub/b.htm"));
    }

    void readEndOfCentral() {
        QTemporaryDir tmp;
        const QString archive = tmp.path() + "/e.zip";
        QVERIFY(Fixture("plain", archive));
        auto z = MakeArchiver();
        z->SetZipFileName(archive);
        QByteArray end;
        QVERIFY(z->ReadEndOfCentral(end, false));
        QCOMPARE(end.size(), 22);
        QVERIFY(end.startsWith("PK\x05\x06"));
        testsupport::WriteBytes(tmp.path() + "/arkiv003.zip", "inget");
        z->SetZipFileName(tmp.path() + "/arkiv003.zip");
        QCOMPARE(z->ErrCode(), 11038);
        QCOMPARE(z->Message(),
                 QStringLiteral("Det här är den 3 disketten i en samling,\nsätt in den sista i samlingen"));
        z->SetZipFileName(archive);
        QFile::resize(archive, 10);
        QVERIFY(!z->ReadEndOfCentral(end, false));
        QCOMPARE(z->ErrCode(), 11002);
    }

    void nameDecoding_data() {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<int>("flags");
        QTest::addColumn<int>("host");
        QTest::addColumn<int>("version");
        QTest::addColumn<QString>("name");
        QTest::newRow("utf-8 flag") << QByteArray("\xc3\xa5", 2) << 0x800 << 0 << 20 << "å";
        QTest::newRow("DOS host, CP850") << QByteArray("\x86\x84\x94") << 0 << 0 << 20 << "åäö";
        QTest::newRow("NTFS 5.0, CP850") << QByteArray("\x8e") << 0 << 11 << 50 << "Ä";
        QTest::newRow("Unix host, valid UTF-8") << QByteArray("\xc3\xb6") << 0 << 3 << 30 << "ö";
        QTest::newRow("Unix host, Windows-1252") << QByteArray("\x80\xe5") << 0 << 3 << 30 << "€å";
        QTest::newRow("ASCII") << QByteArray("a/b.txt") << 0 << 0 << 20 << "a/b.txt";
    }
    void nameDecoding() {
        QFETCH(QByteArray, raw);
        QFETCH(int, flags);
        QFETCH(int, host);
        QFETCH(int, version);
        QFETCH(QString, name);
        QCOMPARE(zipcommon::DecodeName(raw, quint16(flags), host, version), name);
    }

    void safePaths_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("safe");
        QTest::newRow("plain") << "a/b.txt"
                               << "a/b.txt";
        QTest::newRow("backslashes") << "a\\b.txt"
                                     << "a/b.txt";
        QTest::newRow("dot parts") << "./a//b/./c"
                                   << "a/b/c";
        QTest::newRow("parent") << "../e1"
                                << "";
        QTest::newRow("inner parent") << "a/../../e2"
                                      << "";
        QTest::newRow("backslash parent") << "a\\..\\..\\e3"
                                          << "";
        QTest::newRow("absolute") << "/abs"
                                  << "";
        QTest::newRow("backslash absolute") << "\\abs"
                                            << "";
        QTest::newRow("drive") << "C:/e4"
                               << "";
        QTest::newRow("only dots") << "./."
                                   << "";
        QTest::newRow("control character") << "a\nb"
                                           << "";
    }
    void safePaths() {
        QFETCH(QString, name);
        QFETCH(QString, safe);
        QCOMPARE(zipcommon::SafeRelativePath(name), safe);
    }

    void wildcards_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("match");
        QTest::newRow("all") << "*.*"
                             << "README" << true;
        QTest::newRow("suffix") << "*.HTM"
                                << "main.htm" << true;
        QTest::newRow("other suffix") << "*.htm"
                                      << "main.html" << false;
        QTest::newRow("question mark") << "bild?.jpg"
                                       << "bild1.jpg" << true;
        QTest::newRow("question mark needs one") << "bild?.jpg"
                                                 << "bild.jpg" << false;
        QTest::newRow("star in the middle") << "a*z"
                                            << "abcz" << true;
        QTest::newRow("star backtracks") << "*ab"
                                         << "aab" << true;
        QTest::newRow("dot star takes no suffix") << "main.*"
                                                  << "main" << true;
    }
    void wildcards() {
        QFETCH(QString, pattern);
        QFETCH(QString, name);
        QFETCH(bool, match);
        QCOMPARE(zipcommon::WildcardMatch(pattern, name), match);
    }

    void crcMatchesZip() {
        const QByteArray data = Pattern(100003, 5);
        QTemporaryDir tmp;
        testsupport::WriteBytes(tmp.path() + "/d.bin", data);
        auto z = MakeArchiver();
        z->SetZipFileName(tmp.path() + "/c.zip");
        z->SetRootDir(tmp.path());
        z->SetFSpecArgs({"d.bin"});
        QCOMPARE(z->Add(), 0);
        QCOMPARE(z->ZipContents().first().CRC32, zipcommon::Crc32(0, data.constData(), data.size()));
        QCOMPARE(zipcommon::Crc32(0, "123456789", 9), 0xCBF43926u);
    }
};

QTEST_MAIN(TestZipDir)
#include "tst_zipdir.moc"
