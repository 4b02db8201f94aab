// Reading a set of volume files written by zip -s: listed as a set, joined into one
// temporary archive for the extraction and that archive removed again.
#include <QTemporaryDir>
#include <QTest>

#include "ZipTestSupport.h"

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

}  // namespace

class TestZipSpan : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { ZIPTEST_REQUIRE_TOOL("zip"); }

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
                const QString from = k < n ? set.Tmp.path() + QStringLiteral("/sp.z%1").arg(k, 2, 10, QLatin1Char('0')) : set.Archive;
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
        z->SetExtrBaseDir(set.Tmp.path() + "/ut");
        z->SetExtrOptions(ExtrDirNames);
        QCOMPARE(z->Extract(), 0);
        QCOMPARE(z->SuccessCnt(), 4);
        for (const char* f : {"dir/A.txt", "dir/a.txt", "dir/sub/c.htm", "dir/sub/d.bin"})
            QCOMPARE(Md5(testsupport::ReadBytes(set.Tmp.path() + "/ut/" + QLatin1String(f))), Md5(testsupport::ReadBytes(set.Src + "/" + QLatin1String(f))));
        QCOMPARE(QDir(set.TempDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
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
        // Each entry smaller than a volume: zip -s 0 cannot join an entry spread over three.
        const QStringList files{"dir/A.txt", "dir/a.txt", "dir/sub/c.htm", "dir/sub/d.bin", "dir/sub/e.bin", "dir/f.bin"};
        for (int i = 0; i < files.size(); ++i)
            testsupport::WriteBytes(set.Src + "/" + files[i], i == 2 ? Text(200) : Pattern(60 * 1024, quint32(i)));
        set.TempDir = set.Tmp.path() + "/temp";
        QVERIFY(QDir().mkpath(set.TempDir));
        // An older, longer set under the same names.
        for (int k = 1; k <= 9; ++k)
            testsupport::WriteBytes(set.Tmp.path() + (compatNames ? QStringLiteral("/sp.z%1").arg(k, 2, 10, QLatin1Char('0'))
                                                                  : QStringLiteral("/sp%1.zip").arg(k, 3, 10, QLatin1Char('0'))),
                                    "gammal volym");
        auto z = MakeArchiver();
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
        QCOMPARE(QFileInfo(names.last()).fileName(), compatNames ? QStringLiteral("sp.zip") : QStringLiteral("sp%1.zip").arg(names.size(), 3, 10, QLatin1Char('0')));
        if (!compatNames) QCOMPARE(QFileInfo(names.first()).fileName(), QStringLiteral("sp001.zip"));
        QCOMPARE(testsupport::ReadBytes(names.first()).left(4), QByteArray("PK\x07\x08"));
        for (const QString& v : names) QVERIFY2(QFileInfo(v).size() <= 65536, qPrintable(v));
        // Nothing of the older set is left behind the new one.
        QCOMPARE(QDir(set.Tmp.path()).entryList(QDir::Files).size(), names.size());
        QVERIFY(z->IsSpanned());
        QCOMPARE(z->GetCount(), 6);
        if (compatNames) {
            ZIPTEST_REQUIRE_TOOL("unzip");
            QCOMPARE(Run(QStringLiteral("zip"), {"-q", "-s", "0", names.last(), "--out", set.Tmp.path() + "/j.zip"}).Exit, 0);
            const TToolRun t = Run(QStringLiteral("unzip"), {"-t", set.Tmp.path() + "/j.zip"});
            QVERIFY2(t.Exit == 0, t.Out.constData());
        }
        z->SetExtrBaseDir(set.Tmp.path() + "/ut");
        z->SetExtrOptions(ExtrDirNames);
        QCOMPARE(z->Extract(), 0);
        for (const QString& f : files)
            QCOMPARE(Md5(testsupport::ReadBytes(set.Tmp.path() + "/ut/" + f)), Md5(testsupport::ReadBytes(set.Src + "/" + f)));
        QCOMPARE(QDir(set.TempDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
        // A further Add onto the set keeps what it holds.
        testsupport::WriteBytes(set.Src + "/dir/g.txt", "sist");
        z->SetFSpecArgs({"dir/g.txt"});
        QCOMPARE(z->Add(), 0);
        QCOMPARE(z->GetCount(), 7);
        QCOMPARE(QDir(set.TempDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
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

    void brokenSets_data() {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<int>("code");
        QTest::newRow("a volume missing") << "missing" << 11001;
        QTest::newRow("first volume without the set's signature") << "signature" << 11031;
        QTest::newRow("a volume cut short") << "short" << 11014;
    }
    void brokenSets() {
        QFETCH(QString, damage);
        TSet set;
        QVERIFY(set.Make());
        const QString first = set.Tmp.path() + "/sp.z01", second = set.Tmp.path() + "/sp.z02";
        if (damage == "missing") QVERIFY(QFile::remove(second));
        if (damage == "signature") {
            QByteArray b = testsupport::ReadBytes(first);
            b[2] = 'X';
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
        QCOMPARE(QDir(set.TempDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
    }
};

QTEST_MAIN(TestZipSpan)
#include "tst_zipspan.moc"
