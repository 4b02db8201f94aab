// Spanned sets on fixed drives: sets written by zip -s read, listed and extracted through one
// temporary archive that is removed again; sets written by the component within
// MaxVolumeSize under both naming schemes, read back by zip and unzip; the splitting and
// joining of archives from streaming writers; the bookkeeping list of a span copy.
#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

#include "ZipTestSupport.h"
#include "platform/AtomicFile.h"
#include "platform/UIServices.h"
#include "platform/ziplibs/common/ZipCommon.h"

using namespace Zip;  // the component's option bits

using namespace ziptest;

namespace {

struct TSet {
    QTemporaryDir Tmp;
    QString Src, Archive, TempDir;
    QStringList Volumes;

    // sp.z01 ... sp.zip over about 300 KiB, two names differing only in case among them.
    bool Make() {
        Src = Tmp.path() + "/src";
        testsupport::WriteBytes(Src + "/dir/A.txt", Pattern(120 * 1024, 1));
        testsupport::WriteBytes(Src + "/dir/a.txt", Pattern(90 * 1024, 2));
        testsupport::WriteBytes(Src + "/dir/sub/c.htm", Text(200));
        testsupport::WriteBytes(Src + "/dir/sub/d.bin", Pattern(80 * 1024, 3));
        Archive = Tmp.path() + "/sp.zip";
        if (Run(QStringLiteral("zip"), {"-q", "-s", "100k", "-r", Archive, "dir"}, Src).Exit != 0) return false;
        Volumes = QDir(Tmp.path()).entryList({"sp.*"}, QDir::Files, QDir::Name);
        TempDir = Tmp.path() + "/temp";
        return QDir().mkpath(TempDir) && Volumes.size() >= 3;
    }
};

QStringList Entries(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

// Writes one fixture archive with Python: archives of streaming writers (data descriptors of
// 12, 16 and 24 bytes) and one with zip64 end records.
const char* const kFixtures = R"(
import zipfile, sys, io, struct, zlib, random, os
rnd = random.Random(7)
files = [('a.bin', bytes(rnd.randrange(256) for _ in range(3000))), ('b.txt', b'kantarell ' * 300),
         ('c.bin', bytes(rnd.randrange(256) for _ in range(2500)))]
class Pipe(io.RawIOBase):
    def __init__(self): self.data = bytearray()
    def writable(self): return True
    def write(self, b): self.data += b; return len(b)
    def tell(self): raise OSError('a pipe')
def deflate(d):
    c = zlib.compressobj(9, zlib.DEFLATED, -15)
    return c.compress(d) + c.flush()
def make(kind):
  if kind in ('desc16', 'desc24'):
    p = Pipe()
    with zipfile.ZipFile(p, 'w', zipfile.ZIP_DEFLATED) as z:
        for name, d in files:
            with z.open(name, 'w', force_zip64=(kind == 'desc24')) as f: f.write(d)
    return bytes(p.data)
  if kind == 'desc12':
    body, central = bytearray(), bytearray()
    for name, d in files:
        c, crc, at = deflate(d), zlib.crc32(d), len(body)
        body += struct.pack('<IHHHHHIIIHH', 0x04034b50, 20, 8, 8, 0, 0x21, 0, 0, 0, len(name), 0) + name.encode()
        body += c + struct.pack('<III', crc, len(c), len(d))
        central += struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, 20, 20, 8, 8, 0, 0x21, crc, len(c), len(d),
                               len(name), 0, 0, 0, 0, 0, at) + name.encode()
    return bytes(body + central + struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, len(files), len(files),
                                              len(central), len(body), 0))
  # zip64: Python fills the classic end record too; a zip64 reader finds its fields spent.
  limit, zipfile.ZIP_FILECOUNT_LIMIT = zipfile.ZIP_FILECOUNT_LIMIT, 0
  b = io.BytesIO()
  with zipfile.ZipFile(b, 'w') as z:
      for name, d in files: z.writestr(name, d)
  zipfile.ZIP_FILECOUNT_LIMIT = limit
  return b.getvalue()[:-22] + struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0)
for kind in ('desc12', 'desc16', 'desc24', 'zip64'):
    open(os.path.join(sys.argv[1], kind + '.zip'), 'wb').write(make(kind))
)";

// Every fixture, named after its kind, into one folder (one start of Python).
bool MakeFixtures(const QString& folder) {
    return Run(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromLatin1(kFixtures), folder}).Exit == 0;
}

}  // namespace

class TestZipSpan : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        ZIPTEST_REQUIRE_TOOL("zip");
        ZIPTEST_REQUIRE_TOOL("unzip");
        ZIPTEST_REQUIRE_TOOL("python3");
        QVERIFY(MakeFixtures(m_fixtures.path()));
    }
    void cleanup() {
        UIServices::SetMessageHook({});
        UIServices::ClearMessageLog();
        AtomicFileFaults::Clear();
    }

    void extractsASet_data() {
        QTest::addColumn<bool>("compatNames");
        QTest::newRow("name.z01 ... name.zip") << true;
        QTest::newRow("name001.zip ...") << false;
    }
    void extractsASet() {
        QFETCH(bool, compatNames);
        TSet set;
        QVERIFY(set.Make());
        QString last = set.Archive;
        if (!compatNames) {
            // The same volumes under the numbered names.
            const int n = int(set.Volumes.size());
            for (int k = 1; k <= n; ++k) {
                const QString from =
                    k < n ? set.Tmp.path() + QStringLiteral("/sp.z%1").arg(k, 2, 10, QLatin1Char('0')) : set.Archive;
                const QString to = set.Tmp.path() + QStringLiteral("/sp%1.zip").arg(k, 3, 10, QLatin1Char('0'));
                QVERIFY(QFile::rename(from, to));
                last = to;
            }
        }
        auto z = MakeArchiver();
        if (compatNames) z->SpanOptions = spCompatName;
        z->SetTempDir(set.TempDir);
        z->SetZipFileName(last);
        QCOMPARE(z->ErrCode(), 0);
        QVERIFY(z->IsSpanned());
        QCOMPARE(z->GetCount(), 4);
        QCOMPARE(z->SpanVolumeNames().size(), set.Volumes.size());
        // The join reports the entries' data as it copies it.
        quint64 compressed = 0, reported = 0;
        for (const ZipDirEntry& e : z->ZipContents()) compressed += e.CompressedSize;
        z->OnProgress = [&](QObject*, ProgressType type, const QString&, quint32 size) {
            if (type == ProgressType::ProgressUpdate && size <= 10240) reported += size;
        };
        z->SetExtrBaseDir(set.Tmp.path() + "/ut");
        z->SetExtrOptions(ExtrDirNames);
        QCOMPARE(z->Extract(), 0);
        QCOMPARE(z->SuccessCnt(), 4);
        QVERIFY(reported >= compressed);
        for (const char* f : {"dir/A.txt", "dir/a.txt", "dir/sub/c.htm", "dir/sub/d.bin"})
            QCOMPARE(Md5(testsupport::ReadBytes(set.Tmp.path() + "/ut/" + QLatin1String(f))),
                     Md5(testsupport::ReadBytes(set.Src + "/" + QLatin1String(f))));
        QCOMPARE(Entries(set.TempDir), QStringList());
    }

    void writesASet_data() {
        QTest::addColumn<bool>("compatNames");
        QTest::newRow("name.z01 ... name.zip") << true;
        QTest::newRow("name001.zip ...") << false;
    }
    void writesASet() {
        QFETCH(bool, compatNames);
        TSet set;
        set.Src = set.Tmp.path() + "/src";
        // "A.txt" and "a.txt" apart. Under the numbered names one entry's data runs over three
        // volumes; zip -s 0, which checks the other set, can't join such an entry (not even
        // of a set it wrote itself).
        const QStringList files{"dir/A.txt",     "dir/a.txt",     "dir/sub/c.htm",
                                "dir/sub/d.bin", "dir/sub/e.bin", "dir/f.bin"};
        for (int i = 0; i < files.size(); ++i)
            testsupport::WriteBytes(
                set.Src + "/" + files[i],
                i == 2 ? Text(200) : Pattern(i == 3 && !compatNames ? 150 * 1024 : 60 * 1024, quint32(i)));
        set.TempDir = set.Tmp.path() + "/temp";
        QVERIFY(QDir().mkpath(set.TempDir));
        // An older, longer set under the same names.
        for (int k = 1; k <= 12; ++k)
            testsupport::WriteBytes(set.Tmp.path() +
                                        (compatNames ? QStringLiteral("/sp.z%1").arg(k, 2, 10, QLatin1Char('0'))
                                                     : QStringLiteral("/sp%1.zip").arg(k, 3, 10, QLatin1Char('0'))),
                                    "gammal volym");
        auto z = MakeArchiver();
        // What the copy into volumes tells, after what the library told.
        QStringList told;
        z->OnMessage = [&](QObject*, int, const QString& text) {
            if (text.startsWith(QStringLiteral("Kopierar: ")) || text == QStringLiteral("Central katalog"))
                told << text;
        };
        z->OnProgress = [&](QObject*, ProgressType type, const QString& name, quint32) {
            if (type == ProgressType::NewFile && !told.isEmpty()) told << QStringLiteral("ny fil: ") + name;
        };
        z->SpanOptions = compatNames ? SpanOpts(spCompatName) : SpanOpts();
        z->SetTempDir(set.TempDir);
        z->SetZipFileName(set.Tmp.path() + "/sp.zip");
        z->SetAddOptions(AddDiskSpan | AddRecurseDirs | AddDirNames);
        z->SetRootDir(set.Src);
        z->MaxVolumeSize = 65536;
        z->SetFSpecArgs({"dir"});
        QCOMPARE(z->Add(), 0);
        QCOMPARE(z->SuccessCnt(), 6);
        const QStringList names = z->SpanVolumeNames();
        QVERIFY(names.size() >= 5);
        QCOMPARE(z->ZipFileName(), names.last());
        QCOMPARE(QFileInfo(names.last()).fileName(),
                 compatNames ? QStringLiteral("sp.zip")
                             : QStringLiteral("sp%1.zip").arg(names.size(), 3, 10, QLatin1Char('0')));
        QCOMPARE(QFileInfo(names.first()).fileName(),
                 compatNames ? QStringLiteral("sp.z01") : QStringLiteral("sp001.zip"));
        QCOMPARE(testsupport::ReadBytes(names.first()).left(4), QByteArray("PK\x07\x08"));
        for (const QString& v : names) QVERIFY2(QFileInfo(v).size() <= 65536, qPrintable(v));
        // Nothing of the older set is left behind the new one.
        QCOMPARE(QDir(set.Tmp.path()).entryList(QDir::Files).size(), names.size());
        // Each entry was told as it was copied, and the directory after them.
        QCOMPARE(told.size(), 2 * files.size() + 1);
        QStringList copied;
        for (qsizetype i = 0; i + 1 < told.size(); i += 2) {
            QVERIFY(told[i].startsWith(QStringLiteral("Kopierar: ")));
            QCOMPARE(told[i + 1], QStringLiteral("ny fil: ") + told[i].mid(10));
            copied << told[i].mid(10);
        }
        QCOMPARE(told.last(), QStringLiteral("Central katalog"));
        QStringList expected;
        for (const QString& f : files) expected << QString(f).replace('/', '\\');
        copied.sort();
        expected.sort();
        QCOMPARE(copied, expected);
        QVERIFY(z->IsSpanned());
        QCOMPARE(z->GetCount(), 6);
        if (compatNames) {
            QCOMPARE(
                Run(QStringLiteral("zip"), {"-q", "-s", "0", names.last(), "--out", set.Tmp.path() + "/j.zip"}).Exit,
                0);
            const TToolRun t = Run(QStringLiteral("unzip"), {"-t", set.Tmp.path() + "/j.zip"});
            QVERIFY2(t.Exit == 0, t.Out.constData());
            QVERIFY(QFile::remove(set.Tmp.path() + "/j.zip"));
        }
        z->SetExtrBaseDir(set.Tmp.path() + "/ut");
        z->SetExtrOptions(ExtrDirNames);
        QCOMPARE(z->Extract(), 0);
        for (const QString& f : files)
            QCOMPARE(Md5(testsupport::ReadBytes(set.Tmp.path() + "/ut/" + f)),
                     Md5(testsupport::ReadBytes(set.Src + "/" + f)));
        QCOMPARE(Entries(set.TempDir), QStringList());
        // A further Add onto the set keeps what it holds, under the set's own names.
        testsupport::WriteBytes(set.Src + "/dir/g.txt", "sist");
        z->SetFSpecArgs({"dir/g.txt"});
        QCOMPARE(z->Add(), 0);
        QCOMPARE(z->GetCount(), 7);
        QCOMPARE(QFileInfo(z->SpanVolumeNames().first()).fileName(),
                 compatNames ? QStringLiteral("sp.z01") : QStringLiteral("sp001.zip"));
        QCOMPARE(QDir(set.Tmp.path()).entryList(QDir::Files).size(), z->SpanVolumeNames().size());
        QCOMPARE(Entries(set.TempDir), QStringList());
    }

    // A directory larger than a volume begins on an earlier volume than the end record.
    void directoryOverSeveralVolumes_data() {
        QTest::addColumn<bool>("byZip");
        QTest::newRow("written by zip -s") << true;
        QTest::newRow("written by the component") << false;
    }
    void directoryOverSeveralVolumes() {
        QFETCH(bool, byZip);
        QTemporaryDir tmp;
        const QString src = tmp.path() + "/src", archive = tmp.path() + "/sp.zip", temp = tmp.path() + "/temp";
        QVERIFY(QDir().mkpath(temp));
        const QString longName = QString(120, QLatin1Char('n'));
        for (int i = 0; i < 800; ++i)
            testsupport::WriteBytes(src + QStringLiteral("/d/%1_%2.txt").arg(longName).arg(i), QByteArray::number(i));
        auto z = MakeArchiver();
        z->SpanOptions = spCompatName;
        z->SetTempDir(temp);
        if (byZip) {
            QCOMPARE(Run(QStringLiteral("zip"), {"-q", "-s", "64k", "-r", archive, "d"}, src).Exit, 0);
            z->SetZipFileName(archive);
        } else {
            z->SetZipFileName(archive);
            z->SetAddOptions(AddDiskSpan | AddRecurseDirs | AddDirNames);
            z->SetRootDir(src);
            z->MaxVolumeSize = 65536;
            z->SetFSpecArgs({"d"});
            QCOMPARE(z->Add(), 0);
            for (const QString& v : z->SpanVolumeNames()) QVERIFY(QFileInfo(v).size() <= 65536);
        }
        QCOMPARE(z->ErrCode(), 0);
        QVERIFY(z->IsSpanned());
        QCOMPARE(z->GetCount(), 800);
        z->SetExtrBaseDir(tmp.path() + "/ut");
        z->SetExtrOptions(ExtrDirNames);
        QCOMPARE(z->Extract(), 0);
        QCOMPARE(z->SuccessCnt(), 800);
        QCOMPARE(testsupport::ReadBytes(tmp.path() + "/ut/d/" + longName + "_799.txt"), QByteArray("799"));
        QCOMPARE(Entries(temp), QStringList());
        if (!byZip) {
            QCOMPARE(Run(QStringLiteral("zip"), {"-q", "-s", "0", archive, "--out", tmp.path() + "/j.zip"}).Exit, 0);
            const TToolRun t = Run(QStringLiteral("unzip"), {"-tq", tmp.path() + "/j.zip"});
            QVERIFY2(t.Exit == 0, t.Out.constData());
        }
    }

    void spanningAnArchiveKeepsItsEntries() {
        TSet set;
        QVERIFY(set.Make());
        const QString plain = set.Tmp.path() + "/plain/p.zip";
        QVERIFY(QDir().mkpath(set.Tmp.path() + "/plain"));
        QCOMPARE(Run(QStringLiteral("zip"), {"-q", "-r", plain, "dir"}, set.Src).Exit, 0);
        testsupport::WriteBytes(set.Src + "/ny.txt", "ny");
        auto z = MakeArchiver();
        z->SpanOptions = spCompatName;
        z->SetTempDir(set.TempDir);
        z->SetZipFileName(plain);
        QCOMPARE(z->GetCount(), 4);
        z->SetAddOptions(AddDiskSpan);
        z->MaxVolumeSize = 65536;
        z->SetFSpecArgs({set.Src + "/ny.txt"});
        QCOMPARE(z->Add(), 0);
        QCOMPARE(z->ZipFileName(), plain);
        QVERIFY(z->IsSpanned());
        QCOMPARE(z->GetCount(), 5);
    }

    // A full disk while the temporary archive of a set is written (the volumes joined before
    // an extraction, an archive copied before it is spanned): the operation fails with the
    // cause, nothing is unpacked or changed, and no temporary archive is left.
    void fullDiskAtTheTemporaryArchive_data() {
        QTest::addColumn<bool>("extract");
        QTest::addColumn<int>("step");
        QTest::newRow("joining to extract, a write") << true << int(TWriteStep::Write);
        QTest::newRow("joining to extract, the last flush") << true << int(TWriteStep::Flush);
        QTest::newRow("copying to span, a write") << false << int(TWriteStep::Write);
        QTest::newRow("copying to span, the last flush") << false << int(TWriteStep::Flush);
    }
    void fullDiskAtTheTemporaryArchive() {
        QFETCH(bool, extract);
        QFETCH(int, step);
        TSet set;
        QVERIFY(set.Make());
        auto z = MakeArchiver();
        z->SpanOptions = spCompatName;
        z->SetTempDir(set.TempDir);
        QString archive = set.Archive;
        if (!extract) {
            archive = set.Tmp.path() + "/plain/p.zip";
            QVERIFY(QDir().mkpath(set.Tmp.path() + "/plain"));
            QCOMPARE(Run(QStringLiteral("zip"), {"-q", "-r", archive, "dir"}, set.Src).Exit, 0);
            testsupport::WriteBytes(set.Src + "/ny.txt", "ny");
        }
        const QByteArray before = testsupport::ReadBytes(archive);
        z->SetZipFileName(archive);
        QCOMPARE(z->GetCount(), 4);
        AtomicFileFaults::FailNext(TWriteStep(step));
        if (extract) {
            z->SetExtrBaseDir(set.Tmp.path() + "/ut");
            z->SetExtrOptions(ExtrDirNames);
            QCOMPARE(z->Extract(), int(zipmsg::OutputWriteError));
            QCOMPARE(Entries(set.Tmp.path() + "/ut"), QStringList());
        } else {
            z->SetAddOptions(AddDiskSpan);
            z->MaxVolumeSize = 65536;
            z->SetFSpecArgs({set.Src + "/ny.txt"});
            QCOMPARE(z->Add(), int(zipmsg::OutputWriteError));
            QCOMPARE(Entries(set.Tmp.path() + "/plain"), QStringList{"p.zip"});
        }
        QVERIFY(!AtomicFileFaults::Armed());
        QVERIFY2(z->Message().contains(QString::fromUtf8("disken är full")), qPrintable(z->Message()));
        QCOMPARE(testsupport::ReadBytes(archive), before);
        QCOMPARE(Entries(set.TempDir), QStringList());
    }

    // MinFreeVolumeSize asks for free space on the drive, not for volumes as large.
    void volumesBelowMinFreeVolumeSize() {
        QTemporaryDir tmp;
        for (int i = 0; i < 3; ++i)
            testsupport::WriteBytes(tmp.path() + QStringLiteral("/src/f%1.bin").arg(i), Pattern(20000, quint32(i)));
        auto z = MakeArchiver();
        z->SetTempDir(tmp.path());
        z->SetZipFileName(tmp.path() + "/sp.zip");
        z->SetAddOptions(AddDiskSpan);
        z->MaxVolumeSize = 16384;
        z->SetFSpecArgs({tmp.path() + "/src/f0.bin", tmp.path() + "/src/f1.bin", tmp.path() + "/src/f2.bin"});
        QCOMPARE(z->Add(), 0);
        QVERIFY(z->SpanVolumeNames().size() >= 4);
        for (const QString& v : z->SpanVolumeNames()) QVERIFY(QFileInfo(v).size() <= 16384);
        z->SetExtrBaseDir(tmp.path() + "/ut");
        QCOMPARE(z->Extract(), 0);
        QCOMPARE(testsupport::ReadBytes(tmp.path() + "/ut/f2.bin"), Pattern(20000, 2));
    }

    // Existing volumes are replaced only when the user agrees, and a write that fails
    // halfway leaves them as they were.
    void replacingAnOlderSet_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("fault");
        QTest::addColumn<int>("code");
        QTest::newRow("replaced") << int(UIServices::TMsgResult::Yes) << false << 0;
        QTest::newRow("declined") << int(UIServices::TMsgResult::No) << false << 11007;
        QTest::newRow("cancelled") << int(UIServices::TMsgResult::Cancel) << false << 11007;
        QTest::newRow("disk full halfway") << int(UIServices::TMsgResult::Yes) << true << 11010;
    }
    void replacingAnOlderSet() {
        QFETCH(int, answer);
        QFETCH(bool, fault);
        QTemporaryDir tmp;
        const QString src = tmp.path() + "/src";
        for (int i = 0; i < 4; ++i)
            testsupport::WriteBytes(src + QStringLiteral("/f%1.bin").arg(i), Pattern(50 * 1024, quint32(i)));
        QStringList old;
        for (const char* n : {"sp.z01", "sp.z02", "sp.z03"}) {
            old << tmp.path() + "/" + QLatin1String(n);
            testsupport::WriteBytes(old.last(), QByteArray("gammal ") + n);
        }
        QStringList questions;
        UIServices::SetMessageHook([&](const UIServices::TShownMessage& m) {
            if (m.Buttons == UIServices::TMsgButtons::YesNoCancel) questions << m.Caption + ": " + m.Text;
            return m.Buttons == UIServices::TMsgButtons::YesNoCancel ? UIServices::TMsgResult(answer)
                                                                     : UIServices::TMsgResult::OK;
        });
        auto z = MakeArchiver();
        z->SetUnattended(false);
        z->SpanOptions = spCompatName;
        z->SetTempDir(tmp.path() + "/temp");
        QVERIFY(QDir().mkpath(tmp.path() + "/temp"));
        z->SetZipFileName(tmp.path() + "/sp.zip");
        z->SetAddOptions(AddDiskSpan);
        z->MaxVolumeSize = 65536;
        z->SetFSpecArgs({src + "/f0.bin", src + "/f1.bin", src + "/f2.bin", src + "/f3.bin"});
        // The third volume fails on its first write (after the library module's one write of
        // the whole temporary archive and the first two volumes').
        if (fault) AtomicFileFaults::FailNext(TWriteStep::Write, 3);
        QTEST(z->Add(), "code");
        QVERIFY(!questions.isEmpty());
        QCOMPARE(questions.first(),
                 QStringLiteral("Confirm: Det finns redan en fil med namnet %1\nVill du ersätta den filen")
                     .arg(QDir::toNativeSeparators(old.first())));
        if (z->ErrCode() == 0) {
            QCOMPARE(z->SuccessCnt(), 4);
            QVERIFY(z->SpanVolumeNames().size() >= 4);
            QCOMPARE(z->GetCount(), 4);
        } else {
            QCOMPARE(z->SuccessCnt(), 0);
            for (const QString& f : old)
                QCOMPARE(testsupport::ReadBytes(f), QByteArray("gammal ") + QFileInfo(f).fileName().toLatin1());
            // Nothing half-written stays beside them.
            QCOMPARE(QDir(tmp.path()).entryList(QDir::Files).size(), 3);
        }
        QCOMPARE(Entries(tmp.path() + "/temp"), QStringList());
    }

    void brokenSets_data() {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<int>("code");
        QTest::newRow("a volume missing") << "missing" << 11001;
        QTest::newRow("first volume without the set's signature") << "signature" << 11031;
        QTest::newRow("a volume cut short") << "short" << 11012;
        QTest::newRow("a local header overwritten") << "local" << 11014;
    }
    void brokenSets() {
        QFETCH(QString, damage);
        TSet set;
        QVERIFY(set.Make());
        const QString first = set.Tmp.path() + "/sp.z01", second = set.Tmp.path() + "/sp.z02";
        if (damage == "missing") QVERIFY(QFile::remove(second));
        if (damage == "signature" || damage == "local") {
            QByteArray b = testsupport::ReadBytes(first);
            b[damage == "signature" ? 2 : 6] = 'X';
            testsupport::WriteBytes(first, b);
        }
        if (damage == "short") QVERIFY(QFile::resize(second, 1000));
        auto z = MakeArchiver();
        z->SpanOptions = spCompatName;
        z->SetTempDir(set.TempDir);
        z->SetZipFileName(set.Archive);
        QVERIFY(z->IsSpanned());
        z->SetExtrBaseDir(set.Tmp.path() + "/ut");
        QTEST(z->Extract(), "code");
        QVERIFY(!QFileInfo::exists(set.Tmp.path() + "/ut"));
        QCOMPARE(Entries(set.TempDir), QStringList());
    }

    // Archives of streaming writers carry data descriptors of every size; split into small
    // volumes they read back whole with zip and join back to the same bytes.
    void streamingWritersSplitAndJoin_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("12-byte descriptors, no signature") << "desc12";
        QTest::newRow("16-byte descriptors") << "desc16";
        QTest::newRow("24-byte descriptors, zip64 sizes") << "desc24";
    }
    void streamingWritersSplitAndJoin() {
        QFETCH(QString, kind);
        QTemporaryDir tmp;
        const QString source = m_fixtures.filePath(kind + ".zip");
        const QByteArray original = testsupport::ReadBytes(source);
        QFile in(source);
        QVERIFY(in.open(QIODevice::ReadOnly));
        const zipcommon::TEndOfCentral end = zipcommon::FindEndOfCentral(in);
        QVERIFY(end.Found);
        // Volumes named as zip names them; the last one is renamed once the count is known.
        std::vector<std::unique_ptr<QFile>> files;
        int count = 0;
        const auto split = zipcommon::SplitArchive(
            in, end, [](int) { return qint64(1024); },
            [&](int k) -> QIODevice* {
                files.push_back(std::make_unique<QFile>(tmp.path() +
                                                        QStringLiteral("/sp.z%1").arg(k + 1, 2, 10, QLatin1Char('0'))));
                return files.back()->open(QIODevice::WriteOnly) ? files.back().get() : nullptr;
            },
            count);
        QCOMPARE(int(split), int(zipcommon::TJoinError::None));
        QVERIFY(count >= 6);
        for (auto& f : files) f->close();
        QVERIFY(QFile::rename(files.back()->fileName(), tmp.path() + "/sp.zip"));
        files.back()->setFileName(tmp.path() + "/sp.zip");
        for (auto& f : files) QVERIFY(f->size() <= 1024);
        QCOMPARE(
            Run(QStringLiteral("zip"), {"-q", "-s", "0", tmp.path() + "/sp.zip", "--out", tmp.path() + "/j.zip"}).Exit,
            0);
        const TToolRun t = Run(QStringLiteral("unzip"), {"-t", tmp.path() + "/j.zip"});
        QVERIFY2(t.Exit == 0, t.Out.constData());
        // Joined by the component: the archive the writer wrote.
        for (auto& f : files) QVERIFY(f->open(QIODevice::ReadOnly));
        const zipcommon::TEndOfCentral setEnd = zipcommon::FindEndOfCentral(*files.back());
        QCOMPARE(int(setEnd.ThisDisk), count - 1);
        QByteArray joined;
        QBuffer out(&joined);
        out.open(QIODevice::WriteOnly);
        const auto join = zipcommon::JoinVolumes(
            setEnd, [&](int k) -> QIODevice* { return k < count ? files[size_t(k)].get() : nullptr; }, out);
        QCOMPARE(int(join), int(zipcommon::TJoinError::None));
        QCOMPARE(joined.size(), original.size());
        QVERIFY(joined == original);
    }

    void zip64IsRefused() {
        QFile in(m_fixtures.filePath("zip64.zip"));
        QVERIFY(in.open(QIODevice::ReadOnly));
        const zipcommon::TEndOfCentral end = zipcommon::FindEndOfCentral(in);
        QVERIFY(end.Found && end.Zip64);
        int count = 0;
        QBuffer sink;
        sink.open(QIODevice::WriteOnly);
        QCOMPARE(int(zipcommon::SplitArchive(
                     in, end, [](int) { return qint64(65536); }, [&](int) { return &sink; }, count)),
                 int(zipcommon::TJoinError::Zip64));
        QCOMPARE(sink.size(), 0);
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        QCOMPARE(int(zipcommon::JoinVolumes(
                     end, [&](int) -> QIODevice* { return &in; }, out)),
                 int(zipcommon::TJoinError::Zip64));
        QCOMPARE(out.size(), 0);
    }

    void dataList() {
        TMZipDataList list(3);
        QCOMPARE(list.Count(), 3);
        const char* names[] = {"A.txt", "a.txt", "Mapp\\Svamp.txt"};
        for (int i = 0; i < 3; ++i) {
            TMZipDataList::SetName(list.Items(i), QString::fromLatin1(names[i]));
            list.Items(i).RelOffLocal = quint32(100 * i);
        }
        // Found by name with case ignored: the first of two that differ only in case.
        QCOMPARE(list.FindByName(QStringLiteral("a.TXT")).RelOffLocal, 0u);
        QCOMPARE(list.FindByName(QStringLiteral("mapp\\svamp.txt")).RelOffLocal, 200u);
        try {
            list.FindByName(QStringLiteral("b.txt"));
            QFAIL("a missing name was found");
        } catch (const EZipArchiver& e) {
            QCOMPARE(e.ResId(), 11026);
            QCOMPARE(e.Message(), QStringLiteral("En lokal header hittas inte i en intern struktur"));
        }
        for (int index : {-1, 3, 1000}) {
            try {
                list.Items(index);
                QFAIL("an index outside the list was fetched");
            } catch (const EZipArchiver&) {
                QFAIL("a plain error was expected");
            } catch (const Exception& e) {
                QCOMPARE(e.Message(), QStringLiteral("Index (%1) outside range 1..2").arg(index));
            }
        }
        // A long name is kept to 255 bytes without a broken character.
        TMZipDataList::SetName(list.Items(0), QString(200, QChar(0x00E5)));
        QCOMPARE(TMZipDataList::Name(list.Items(0)), QString(127, QChar(0x00E5)));
    }

private:
    QTemporaryDir m_fixtures;
};

QTEST_MAIN(TestZipSpan)
#include "tst_zipspan.moc"
