// Archives of other zip programs and what they make of ours: zip64 end records written by
// Info-ZIP zip, AES archives of 7z, entries replaced over older ones, deleting to the trash,
// and full disks in the library modules.
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ZipTestSupport.h"
#include "platform/AtomicFile.h"
#include "zip/ZipSFXMaker.h"

using namespace Zip;  // the component's option bits

using namespace ziptest;

namespace {

quint32 U32(const QByteArray& b, qsizetype at) {
    return quint32(uchar(b[at])) | quint32(uchar(b[at + 1])) << 8 | quint32(uchar(b[at + 2])) << 16 |
        quint32(uchar(b[at + 3])) << 24;
}
void Put32(QByteArray& b, qsizetype at, quint32 v) {
    for (int i = 0; i < 4; ++i) b[at + i] = char((v >> (8 * i)) & 0xFF);
}

// Sets an environment variable for the scope of one test.
class TEnv {
public:
    TEnv(const char* name, const QByteArray& value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name)) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~TEnv() {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

// The central extra fields of every entry, by name, as Python's zipfile reads them (hex).
QMap<QString, QString> CentralExtras(const QString& archive) {
    const TToolRun r = Run(
        QStringLiteral("python3"),
        {"-c",
         "import zipfile,sys\nfor i in zipfile.ZipFile(sys.argv[1]).infolist(): print(i.filename, i.extra.hex(), i.flag_bits)",
         archive});
    QMap<QString, QString> out;
    for (const QByteArray& line : r.Out.split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() == 3) out.insert(QString::fromUtf8(f[0]), QString::fromLatin1(f[1] + ' ' + f[2]));
    }
    return out;
}

void SetTime(const QString& path, const QDateTime& when) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const struct timespec times[2] = {{when.toSecsSinceEpoch(), 0}, {when.toSecsSinceEpoch(), 0}};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

}  // namespace

class TestZipInterop : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { AtomicFileFaults::Clear(); }

    // Info-ZIP zip and libzip write a zip64 end record whenever one entry needs it, whether
    // or not a field of the plain end record is saturated.
    void zip64EndRecord_data() {
        QTest::addColumn<bool>("saturated");
        QTest::newRow("as zip -fz writes it") << true;
        QTest::newRow("no field saturated") << false;
    }
    void zip64EndRecord() {
        QFETCH(bool, saturated);
        ZIPTEST_REQUIRE_TOOL("zip");
        QTemporaryDir tmp;
        const QByteArray content = "Kantarell, Cantharellus cibarius\n";
        testsupport::WriteBytes(tmp.path() + "/kantarell.txt", content);
        const QString archive = tmp.path() + "/z64.zip";
        QCOMPARE(Run(QStringLiteral("zip"), {"-q", "-X", "-fz", archive, "kantarell.txt"}, tmp.path()).Exit, 0);
        QByteArray b = testsupport::ReadBytes(archive);
        const qsizetype end = b.size() - 22;
        QCOMPARE(b.mid(end, 4), QByteArray("PK\x05\x06", 4));
        QCOMPARE(b.mid(end - 20, 4), QByteArray("PK\x06\x07", 4));
        QVERIFY(b.size() < 400);
        if (!saturated) {
            // What libzip writes for an archive whose one entry is larger than 4 GiB.
            QCOMPARE(U32(b, end + 16), 0xFFFFFFFFu);
            Put32(b, end + 16, quint32(U32(b, end - 20 - 56 + 48)));
            testsupport::WriteBytes(archive, b);
        }
        auto z = MakeArchiver();
        z->SetZipFileName(archive);
        QCOMPARE(z->ErrCode(), 0);
        QCOMPARE(z->ZipFileName(), archive);
        QCOMPARE(z->GetCount(), 1);
        z->SetExtrBaseDir(tmp.path() + "/ut");
        z->SetExtrOptions(ExtrDirNames);
        QCOMPARE(z->Extract(), 0);
        QCOMPARE(testsupport::ReadBytes(tmp.path() + "/ut/kantarell.txt"), content);
    }

    // A sparse file above 4 GiB packed by zip -1 and by the component. It takes a while
    // (both compress 4.6 GB of zeros), so it runs only with MYKO_ZIP_LARGE_TESTS=1.
    void zip64LargeEntry() {
        if (qgetenv("MYKO_ZIP_LARGE_TESTS") != "1")
            QSKIP("Fallet med en fil över 4 GiB körs bara med MYKO_ZIP_LARGE_TESTS=1 (det tar runt en minut).");
        ZIPTEST_REQUIRE_TOOL("zip");
        QTemporaryDir tmp;
        const qint64 size = qint64(4600) * 1000 * 1000;
        const QStorageInfo disk(tmp.path());
        if (disk.bytesAvailable() < 64 * 1024 * 1024) QSKIP("Disken har inte plats för arkiven.");
        const QString big = tmp.path() + "/stor.bin";
        {
            QFile f(big);
            QVERIFY(f.open(QIODevice::WriteOnly));
            if (!f.resize(size)) QSKIP("Disken tillåter ingen gles fil över 4 GiB.");
        }
        const QString byZip = tmp.path() + "/zip.zip";
        QCOMPARE(Run(QStringLiteral("zip"), {"-q", "-1", byZip, "stor.bin"}, tmp.path()).Exit, 0);
        auto z = MakeArchiver();
        z->SetZipFileName(byZip);
        QCOMPARE(z->ErrCode(), 0);
        QCOMPARE(z->GetCount(), 1);
        QCOMPARE(qint64(z->ZipContents().first().UncompressedSize), size);
        z->SetExtrOptions(ExtrTest);
        QCOMPARE(z->Extract(), 0);
        // The component's own Add of the same file.
        const QString byUs = tmp.path() + "/vi.zip";
        z->SetZipFileName(byUs);
        z->SetRootDir(tmp.path());
        z->SetAddCompLevel(1);
        z->SetFSpecArgs({"stor.bin"});
        QCOMPARE(z->Add(), 0);
        QCOMPARE(z->GetCount(), 1);
        QCOMPARE(Run(QStringLiteral("unzip"), {"-tq", byUs}).Exit, 0);
    }

    // 7z writes AE-2 entries, whose CRC field is 0: the authentication code vouches for
    // them. An AE-1 entry keeps the CRC comparison.
    void aesFrom7z_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("ae1");
        QTest::addColumn<int>("result");
        QTest::newRow("AE-2, right password") << "Pass7" << false << 0;
        QTest::newRow("AE-2, wrong password") << "Fel8" << false << 7;
        QTest::newRow("AE-1 without its CRC") << "Pass7" << true << 6;
    }
    void aesFrom7z() {
        QFETCH(QString, password);
        QFETCH(bool, ae1);
        QFETCH(int, result);
        ZIPTEST_REQUIRE_TOOL("7z");
        QTemporaryDir tmp;
        const QByteArray content = Text(40);
        testsupport::WriteBytes(tmp.path() + "/artikel.htm", content);
        const QString archive = tmp.path() + "/aes.zip";
        QCOMPARE(Run(QStringLiteral("7z"), {"a", "-tzip", "-pPass7", "-mem=AES256", archive, "artikel.htm"}, tmp.path())
                     .Exit,
                 0);
        if (ae1) {
            QByteArray b = testsupport::ReadBytes(archive);
            const QByteArray ae2(
                "\x01\x99\x07\x00\x02\x00"
                "AE",
                8),
                ae1("\x01\x99\x07\x00\x01\x00"
                    "AE",
                    8);
            QCOMPARE(b.count(ae2), 2);
            b.replace(ae2, ae1);
            testsupport::WriteBytes(archive, b);
        }
        auto z = MakeArchiver();
        z->SetZipFileName(archive);
        z->SetPassword(password);
        z->SetExtrBaseDir(tmp.path() + "/ut");
        z->SetExtrOptions(ExtrDirNames);
        QCOMPARE(z->Extract(), result);
        const QString out = tmp.path() + "/ut/artikel.htm";
        if (result == 0) {
            QCOMPARE(testsupport::ReadBytes(out), content);
        } else {
            QVERIFY(!QFileInfo::exists(out));
            QVERIFY(!z->Message().isEmpty());
        }
        if (QFileInfo::exists(tmp.path() + "/ut"))
            QCOMPARE(QDir(tmp.path() + "/ut").entryList(QDir::Files | QDir::Hidden).size(), result == 0 ? 1 : 0);
    }

    // A plain file added over an encrypted entry of the same name replaces it unencrypted.
    void plainOverEncrypted() {
        QTemporaryDir tmp;
        const QString file = tmp.path() + "/a/text.htm";
        testsupport::WriteBytes(file, "hemlig");
        const QString archive = tmp.path() + "/x.zip";
        auto z = MakeArchiver();
        z->SetZipFileName(archive);
        z->SetRootDir(tmp.path() + "/a");
        z->SetPassword(QStringLiteral("lösen"));
        z->SetAddOptions(AddEncrypt);
        z->SetFSpecArgs({"text.htm"});
        QCOMPARE(z->Add(), 0);
        QVERIFY(z->ZipContents().first().Encrypted);
        testsupport::WriteBytes(file, "öppen text");
        z->SetPassword(QString());
        z->SetAddOptions({});
        z->SetFSpecArgs({"text.htm"});
        QCOMPARE(z->Add(), 0);
        QCOMPARE(z->GetCount(), 1);
        QVERIFY(!z->ZipContents().first().Encrypted);
        const TToolRun p = Run(QStringLiteral("unzip"), {"-p", archive, "text.htm"});
        QCOMPARE(p.Exit, 0);
        QCOMPARE(p.Out, QByteArray("öppen text"));
    }

    // An entry replaced by freshen, update or a plain re-add carries no extra field of the
    // old one, so unzip gives it the new file's time and not the old entry's.
    void replacedEntryTakesTheNewTime_data() {
        QTest::addColumn<int>("options");
        QTest::newRow("re-add") << 0;
        QTest::newRow("freshen") << int(AddFreshen);
        QTest::newRow("update") << int(AddUpdate);
    }
    void replacedEntryTakesTheNewTime() {
        QFETCH(int, options);
        ZIPTEST_REQUIRE_TOOL("zip");
        ZIPTEST_REQUIRE_TOOL("unzip");
        QTemporaryDir tmp;
        const QString dir = tmp.path() + "/a";
        testsupport::WriteBytes(dir + "/sida.htm", "gammal");
        SetTime(dir + "/sida.htm", QDateTime(QDate(2001, 5, 4), QTime(10, 0)));
        const QString archive = tmp.path() + "/x.zip";
        // Info-ZIP zip stores the time in a UT extra field too.
        QCOMPARE(Run(QStringLiteral("zip"), {"-q", archive, "sida.htm"}, dir).Exit, 0);
        QVERIFY(CentralExtras(archive).value("sida.htm").startsWith("5554"));
        testsupport::WriteBytes(dir + "/sida.htm", "ny text");
        const QDateTime newTime(QDate(2020, 8, 16), QTime(14, 30, 10));
        SetTime(dir + "/sida.htm", newTime);
        auto z = MakeArchiver();
        z->SetZipFileName(archive);
        z->SetRootDir(dir);
        z->SetAddOptions(AddOpts::fromInt(options));
        z->SetFSpecArgs({"sida.htm"});
        QCOMPARE(z->Add(), 0);
        QCOMPARE(z->SuccessCnt(), 1);
        QVERIFY2(!CentralExtras(archive).value("sida.htm").contains("5554"),
                 qPrintable(CentralExtras(archive).value("sida.htm")));
        const QString out = tmp.path() + "/ut";
        QCOMPARE(Run(QStringLiteral("unzip"), {"-q", "-o", archive, "-d", out}).Exit, 0);
        QCOMPARE(testsupport::ReadBytes(out + "/sida.htm"), QByteArray("ny text"));
        QVERIFY(qAbs(QFileInfo(out + "/sida.htm").lastModified().secsTo(newTime)) <= 2);
    }

    // Deleting "to the trash" where the user's trash cannot be set up removes the file for
    // good and makes no folder in the current folder; where it can, the file is in it.
    void trash_data() {
        QTest::addColumn<bool>("dataHome");
        QTest::addColumn<bool>("sfx");
        QTest::newRow("moved sources, no data folder") << false << false;
        QTest::newRow("moved sources, with the trash") << true << false;
        QTest::newRow("SFX conversion, no data folder") << false << true;
        QTest::newRow("SFX conversion, with the trash") << true << true;
    }
    void trash() {
        QFETCH(bool, dataHome);
        QFETCH(bool, sfx);
        QTemporaryDir tmp;
        const QString home = tmp.path() + "/hem";
        QVERIFY(QDir().mkpath(home));
        if (dataHome) QVERIFY(QDir().mkpath(home + "/.local/share"));
        const QString cwd = tmp.path() + "/här";
        QVERIFY(QDir().mkpath(cwd));
        const QString oldCwd = QDir::currentPath();
        QVERIFY(QDir::setCurrent(cwd));
        auto back = qScopeGuard([&] { QDir::setCurrent(oldCwd); });
        TEnv h("HOME", QFile::encodeName(home));
        TEnv x("XDG_DATA_HOME", QByteArray());
        const QString work = tmp.path() + "/arbete";
        testsupport::WriteBytes(work + "/sida.htm", "text");
        auto z = MakeArchiver();
        z->SetHowToDelete(DeleteOpts::htdAllowUndo);
        z->SetZipFileName(work + "/x.zip");
        z->SetRootDir(work);
        z->SetFSpecArgs({"sida.htm"});
        z->SetAddOptions(sfx ? AddOpts() : AddOpts(AddMove));
        QCOMPARE(z->Add(), 0);
        QString gone = work + "/sida.htm";
        if (sfx) {
            TZipSFXMaker maker;
            testsupport::WriteBytes(tmp.path() + "/stub.bin", "\x7fSTUB");
            maker.SetStubPath(tmp.path() + "/stub.bin");
            QCOMPARE(maker.ConvertToSFX(z.get()), 0);
            gone = work + "/x.zip";
        }
        QVERIFY(!QFileInfo::exists(gone));
        QCOMPARE(QDir(cwd).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
        const QString trashed = home + "/.local/share/Trash/files/" + QFileInfo(gone).fileName();
        QCOMPARE(QFileInfo::exists(trashed), dataHome);
        if (!dataHome) QCOMPARE(Tree(home), QStringList());
    }

    // A full disk while the packing module puts a self-extractor's stub back in front of
    // the archive, and while the unpacking module writes an entry, over a file or where
    // none was: the archive and the folder keep what they had, nothing half-written stays.
    void fullDiskInTheModules_data() {
        QTest::addColumn<bool>("packing");
        QTest::addColumn<bool>("overFile");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("skip");
        QTest::newRow("packing, a write") << true << true << int(TWriteStep::Write) << 1;
        QTest::newRow("packing, the last flush") << true << true << int(TWriteStep::Flush) << 1;
        QTest::newRow("unpacking, a write") << false << true << int(TWriteStep::Write) << 0;
        QTest::newRow("unpacking, the last flush") << false << true << int(TWriteStep::Flush) << 0;
        QTest::newRow("unpacking a new file, a write") << false << false << int(TWriteStep::Write) << 0;
        QTest::newRow("unpacking a new file, the last flush") << false << false << int(TWriteStep::Flush) << 0;
        QTest::newRow("unpacking a new file, the size check") << false << false << int(TWriteStep::Commit) << 0;
        QTest::newRow("unpacking a new file, putting it in place") << false << false << int(TWriteStep::Rename) << 0;
    }
    void fullDiskInTheModules() {
        QFETCH(bool, packing);
        QFETCH(bool, overFile);
        QFETCH(int, step);
        QFETCH(int, skip);
        QTemporaryDir tmp;
        const QString work = tmp.path() + "/a";
        testsupport::WriteBytes(work + "/sida.htm", Text(300));
        testsupport::WriteBytes(work + "/ny.htm", Text(20));
        testsupport::WriteBytes(tmp.path() + "/stub.bin", "\x7fSTUB" + Pattern(3000, 3));
        auto z = MakeArchiver();
        TZipSFXMaker maker;
        maker.SetStubPath(tmp.path() + "/stub.bin");
        z->SFXMaker = &maker;
        const QString exe = tmp.path() + "/x.exe";
        z->SetZipFileName(exe);
        z->SetRootDir(work);
        z->SetFSpecArgs({"sida.htm"});
        QCOMPARE(z->Add(), 0);
        const QByteArray before = testsupport::ReadBytes(exe);
        if (packing) {
            z->SetFSpecArgs({"ny.htm"});
            AtomicFileFaults::FailNext(TWriteStep(step), skip);
            QVERIFY(z->Add() != 0);
            QCOMPARE(testsupport::ReadBytes(exe), before);
            QCOMPARE(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"stub.bin", "x.exe"}));
        } else {
            const QString out = tmp.path() + "/ut";
            if (overFile)
                testsupport::WriteBytes(out + "/sida.htm", "det som fanns");
            else
                QVERIFY(QDir().mkpath(out));
            z->SetExtrBaseDir(out);
            z->SetExtrOptions(ExtrOverWrite);
            AtomicFileFaults::FailNext(TWriteStep(step), skip);
            QVERIFY(z->Extract() != 0);
            if (overFile) {
                QCOMPARE(testsupport::ReadBytes(out + "/sida.htm"), QByteArray("det som fanns"));
                QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList{"sida.htm"});
            } else {
                QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList());
            }
        }
        QVERIFY2(z->Message().contains(QStringLiteral("kunde inte")), qPrintable(z->Message()));
        QVERIFY(!AtomicFileFaults::Armed());
    }

    // With Verbose, a spanned Add names its temporary archive.
    void spannedAddNamesItsTemporaryArchive() {
        QTemporaryDir tmp;
        testsupport::WriteBytes(tmp.path() + "/a/sida.htm", Text(30));
        auto z = MakeArchiver();
        QStringList messages;
        z->OnMessage = [&](QObject*, int, const QString& text) { messages << text; };
        z->SetVerbose(true);
        z->SetTempDir(tmp.path());
        z->SetZipFileName(tmp.path() + "/ut/sp.zip");
        z->SetRootDir(tmp.path() + "/a");
        z->SetAddOptions(AddDiskSpan);
        z->SetFSpecArgs({"sida.htm"});
        QDir().mkpath(tmp.path() + "/ut");
        QCOMPARE(z->Add(), 0);
        const QStringList named =
            messages.filter(QRegularExpression("^Temporary zipfile: " + QRegularExpression::escape(tmp.path()) + "/"));
        QCOMPARE(named.size(), 1);
    }
};

QTEST_MAIN(TestZipInterop)
#include "tst_zipinterop.moc"
