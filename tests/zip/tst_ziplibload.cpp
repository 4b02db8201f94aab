// Loading the library modules and the command records they receive, with stand-in modules
// that record their input.
#include <QLibrary>
#include <dlfcn.h>
#include <QTemporaryDir>
#include <QTest>

#include "ZipTestSupport.h"

using namespace Zip;  // the component's option bits

using namespace ziptest;

using TFields = QMap<QString, QString>;

namespace {

QString FakeDir(const QString& kind) {
    return QString::fromLocal8Bit(qgetenv("MYKO_BUILD_DIR")) + "/tests/zipfakes/" + kind;
}

// The recording stand-in, held loaded by the test so that what it wrote down outlives the
// component's unloading.
class TFake {
public:
    // A handle of its own (not through QLibrary) keeps the module mapped whatever the
    // component loads and unloads.
    explicit TFake(const QString& module) {
        m_handle = dlopen(QFile::encodeName(FakeDir("rec") + "/" + module).constData(), RTLD_NOW);
        if (!m_handle) return;
        m_dump = reinterpret_cast<const char* (*)()>(dlsym(m_handle, "FakeDump"));
        m_reset = reinterpret_cast<void (*)(int32_t)>(dlsym(m_handle, "FakeReset"));
    }
    ~TFake() {
        if (m_handle) dlclose(m_handle);
    }
    TFake(const TFake&) = delete;
    TFake& operator=(const TFake&) = delete;
    bool Ok() const { return m_dump && m_reset; }
    void Reset(int result) { m_reset(result); }
    QMap<QString, QString> Dump() const {
        QMap<QString, QString> out;
        for (const QString& line : QString::fromUtf8(m_dump()).split('\n', Qt::SkipEmptyParts))
            out.insert(line.section('=', 0, 0), line.section('=', 1));
        return out;
    }

private:
    void* m_handle = nullptr;
    const char* (*m_dump)() = nullptr;
    void (*m_reset)(int32_t) = nullptr;
};

}  // namespace

class TestZipLibLoad : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void failedLoads_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("zip");
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("missing zip module")
            << "" << true << 10604 << QStringList{"ZIPLIB.DLL hittades inte!", "ZIPLIB.DLL hittades inte! unloaded"};
        QTest::newRow("missing unzip module")
            << "" << false << 10704 << QStringList{"UNZLIB.DLL hittades inte!", "UNZLIB.DLL hittades inte! unloaded"};
        QTest::newRow("no exec entry") << "noexec" << true << 10604
                                       << QStringList{"ZipLibExec funktion finns inte i ZIPLIB.DLL!",
                                                      "ZIPLIB.DLL hittades inte! unloaded"};
        QTest::newRow("no unzip exec entry")
            << "noexec" << false << 10704
            << QStringList{"UnzLibExec funktion finns inte i UNZLIB.DLL!", "UNZLIB.DLL hittades inte! unloaded"};
        QTest::newRow("old zip module") << "old" << true << 10605
                                        << QStringList{"Old Dll from " + FakeDir("old") + "/libziplib.so"};
        QTest::newRow("old unzip module")
            << "old" << false << 10705 << QStringList{"Old Dll from " + FakeDir("old") + "/libunzlib.so"};
    }
    void failedLoads() {
        QFETCH(QString, kind);
        QFETCH(bool, zip);
        QFETCH(int, code);
        QFETCH(QStringList, messages);
        QTemporaryDir tmp;
        // An archive with an entry, made with the real modules, for the Extract cases.
        testsupport::WriteBytes(tmp.path() + "/a.txt", "a");
        auto z = MakeArchiver();
        z->SetZipFileName(tmp.path() + "/a.zip");
        z->SetRootDir(tmp.path());
        z->SetFSpecArgs({"a.txt"});
        QCOMPARE(z->Add(), 0);
        QDir().mkpath(tmp.path() + "/tom");
        z->SetDLLDirectory(kind.isEmpty() ? tmp.path() + "/tom" : FakeDir(kind));
        QStringList shown;
        z->OnMessage = [&](QObject*, int, const QString& m) { shown << m; };
        z->OnPasswordError = [](QObject*, bool, QString&, const QString&, quint32&, TPasswordButton& a) {
            a = TPasswordButton::mbCancel;
        };
        z->SetFSpecArgs({"a.txt"});
        QCOMPARE(zip ? z->Add() : z->Extract(), code);
        QCOMPARE(z->ErrCode(), code);
        QCOMPARE(shown, messages);
        QVERIFY(!z->ZipLibLoaded() && !z->UnzLibLoaded());
        QVERIFY(z->FSpecArgs().isEmpty());
    }

    void traceAndVerboseReportTheModule() {
        TFake fake("libziplib.so");
        QVERIFY(fake.Ok());
        fake.Reset(0);
        auto z = MakeArchiver();
        z->SetDLLDirectory(FakeDir("rec") + "\\");
        QCOMPARE(z->DLLDirectory(), FakeDir("rec"));
        const QString path = FakeDir("rec") + "/libziplib.so";
        QCOMPARE(z->GetZipLibPath(), path);
        QVERIFY(!z->ZipLibLoaded());
        QList<QPair<int, QString>> shown;
        z->OnMessage = [&](QObject*, int code, const QString& m) { shown.append({code, m}); };
        z->SetTrace(true);
        z->SetZipFileName("x.zip");
        z->SetFSpecArgs({"a"});
        QCOMPARE(z->Add(), 0);
        QCOMPARE(shown.value(0), qMakePair(0, QStringLiteral("ZIP DLL laddad ") + path));
        QCOMPARE(shown.value(1), qMakePair(0, QStringLiteral("Loaded ZipLib ver: 172 from ") + path));
        // A module loaded before the operation stays loaded after it.
        QVERIFY(z->LoadZipLib());
        z->SetTrace(false);
        z->SetFSpecArgs({"a"});
        QCOMPARE(z->Add(), 0);
        QVERIFY(z->ZipLibLoaded());
        z->UnloadZipLib();
        QVERIFY(!z->ZipLibLoaded());
    }

    void relativeFolderUnderProgramFolder() {
        TFake fake("libunzlib.so");
        QTemporaryDir tmp;
        const QString cwd = QDir::currentPath();
        QVERIFY(QDir::setCurrent(tmp.path()));
        auto z = MakeArchiver();
        const QString rel = "./" + QDir(QCoreApplication::applicationDirPath()).relativeFilePath(FakeDir("rec"));
        z->SetDLLDirectory(rel);
        const QString found = z->GetUnzLibPath();
        QDir::setCurrent(cwd);
        QCOMPARE(QFileInfo(found).canonicalFilePath(), QFileInfo(FakeDir("rec") + "/libunzlib.so").canonicalFilePath());
    }

    void zipCommandRecord_data() {
        QTest::addColumn<int>("options");
        QTest::addColumn<QStringList>("specs");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("trace");
        QTest::addColumn<TFields>("expected");
        const QString root = QDir::cleanPath(QDir::tempPath());
        const QString r = "\"" + root + "\"";
        QTest::newRow("defaults") << 0 << QStringList{"a.htm"} << "" << false
                                  << TFields{{"Handle", "0"},
                                             {"Version", "172"},
                                             {"Trace", "0"},
                                             {"Verbose", "0"},
                                             {"Quiet", "-1"},
                                             {"Level", "9"},
                                             {"JunkDir", "-1"},
                                             {"NoDirEntries", "-1"},
                                             {"Grow", "-1"},
                                             {"Recurse", "0"},
                                             {"Encrypt", "0"},
                                             {"Password", "nil"},
                                             {"Suffixes",
                                              "\".gif:.png:.z:.zip:.zoo:.arc:.lzh:.arj:.taz:"
                                              ".tgz:.lha:.rar:.ace:.cab:.gz:.gzip:.jar\""},
                                             {"UseRecycleBin", "-1"},
                                             {"CodePage", "0"},
                                             {"Date", "12 30 99"},
                                             {"ArgCount", "1"},
                                             {"ExclCount", "0"},
                                             {"CheckNo", "7"},
                                             {"Spec0", "\"a.htm\"|nil|0|0|" + r}};
        QTest::newRow("trace alone") << 0 << QStringList{"a"} << "" << true
                                     << TFields{{"Trace", "-1"}, {"Verbose", "-1"}};
        QTest::newRow("freshen and update") << int(AddFreshen | AddUpdate) << QStringList{"a"} << "" << false
                                            << TFields{{"Update", "-1"}, {"Freshen", "0"}};
        QTest::newRow("freshen") << int(AddFreshen) << QStringList{"a"} << "" << false
                                 << TFields{{"Update", "0"}, {"Freshen", "-1"}};
        QTest::newRow("option flags") << int(AddDirNames | AddRecurseDirs | AddMove | AddZipTime | AddForceDOS |
                                             AddHiddenFiles | AddArchiveOnly | AddResetArchive | AddSeparateDirs |
                                             AddVolume | AddFromDate | AddSafe)
                                      << QStringList{"a"} << "" << false
                                      << TFields{{"JunkDir", "0"},
                                                 {"Recurse", "65535"},
                                                 {"Move", "-1"},
                                                 {"LatestTime", "-1"},
                                                 {"ForceDOS", "-1"},
                                                 {"System", "-1"},
                                                 {"ArchiveFilesOnly", "1"},
                                                 {"ResetArchiveBit", "1"},
                                                 {"NoDirEntries", "0"},
                                                 {"Volume", "-1"},
                                                 {"FromDate", "-1"},
                                                 {"Grow", "0"},
                                                 {"Spec0", "\"a\"|nil|0|65535|" + r}};
        QTest::newRow("line markers") << int(AddEncrypt) << QStringList{">a*.htm<", "|b.txt", "c.txt<pw", "d.txt"}
                                      << "hemlig" << false
                                      << TFields{{"Encrypt", "-1"},
                                                 {"Password", "\"hemlig\""},
                                                 {"ArgCount", "4"},
                                                 {"Spec0", "\"a*.htm\"|nil|0|65535|" + r},
                                                 {"Spec1", "\"b.txt\"|\"hemlig\"|-1|0|" + r},
                                                 {"Spec2", "\"c.txt\"|\"pw\"|65535|0|" + r},
                                                 {"Spec3", "\"d.txt\"|\"hemlig\"|-1|0|" + r}};
    }
    void zipCommandRecord() {
        QFETCH(int, options);
        QFETCH(QStringList, specs);
        QFETCH(QString, password);
        QFETCH(bool, trace);
        QFETCH(TFields, expected);
        TFake fake("libziplib.so");
        QVERIFY(fake.Ok());
        fake.Reset(0);
        auto z = MakeArchiver();
        z->SetDLLDirectory(FakeDir("rec"));
        z->SetZipFileName("arkiv.zip");
        z->SetRootDir(QDir::tempPath());
        z->SetAddOptions(AddOpts::fromInt(options));
        z->SetPassword(password);
        z->SetTrace(trace);
        z->SetFSpecArgs(specs);
        const int code = z->Add();
        QCOMPARE(code, 0);  // a trace message is no error
        const auto dump = fake.Dump();
        for (auto it = expected.cbegin(); it != expected.cend(); ++it) QCOMPARE(dump.value(it.key()), it.value());
    }

    void zipRecordTexts() {
        TFake fake("libziplib.so");
        fake.Reset(0);
        auto z = MakeArchiver();
        z->SetDLLDirectory(FakeDir("rec"));
        z->SetZipFileName("arkiv.zip");
        z->SetExtAddStoreSuffixes("TXT;htm,.Pdf");
        QCOMPARE(z->ExtAddStoreSuffixes(), QStringLiteral(".txt:.htm:.pdf:"));
        QVERIFY(z->AddStoreSuffixes().testFlag(assEXT));
        z->SetAddStoreSuffixes((z->AddStoreSuffixes() & ~AddStoreExts::fromInt(int(AddStoreDefault))) | assEXE);
        z->SetAddFrom(QDate(2026, 5, 17));
        z->SetCodePage(CodePageOpts::cpOEM);
        z->SetHowToDelete(DeleteOpts::htdFinal);
        z->SetTempDir("/var/tmp");
        z->SetFSpecArgsExcl({"*.bak", "sub\\*.tmp"});
        z->SetFSpecArgs({"a"});
        QCOMPARE(z->Add(), 0);
        const auto d = fake.Dump();
        QCOMPARE(d["Suffixes"], QStringLiteral("\".exe:.txt:.htm:.pdf\""));
        QCOMPARE(d["Date"], QStringLiteral("05 17 26"));
        QCOMPARE(d["CodePage"], QStringLiteral("2"));
        QCOMPARE(d["UseRecycleBin"], QStringLiteral("0"));
        QCOMPARE(d["TempPath"], QStringLiteral("\"/var/tmp\""));
        QCOMPARE(d["ExclCount"], QStringLiteral("2"));
        QCOMPARE(d["Excl1"], QStringLiteral("\"sub\\*.tmp\""));
        z->SetExtAddStoreSuffixes("");
        QVERIFY(!z->AddStoreSuffixes().testFlag(assEXT));
    }

    void unzipCommandRecord_data() {
        QTest::addColumn<int>("options");
        QTest::addColumn<QStringList>("specs");
        QTest::addColumn<TFields>("expected");
        QTest::newRow("defaults") << 0 << QStringList() << TFields{{"Password", "\"\""},
                                                                   {"Test", "0"},
                                                                   {"Quiet", "-1"},
                                                                   {"Verbose", "0"},
                                                                   {"Update", "0"},
                                                                   {"Freshen", "0"},
                                                                   {"DirNames", "0"},
                                                                   {"OverWrite", "0"},
                                                                   {"ArgCount", "0"},
                                                                   {"PasswordReqCount", "0"},
                                                                   {"ExtrBaseDir", "\"/ut\""},
                                                                   {"CheckNo", "7"}};
        QTest::newRow("freshen and update") << int(ExtrFreshen | ExtrUpdate) << QStringList{"*.*", "b"}
                                            << TFields{{"Update", "-1"}, {"Freshen", "0"}, {"ArgCount", "0"}};
        QTest::newRow("flags and specs")
            << int(ExtrTest | ExtrDirNames | ExtrOverWrite | ExtrFreshen) << QStringList{"a.htm", "sub\\*.gif"}
            << TFields{{"Test", "-1"},    {"DirNames", "-1"},     {"OverWrite", "-1"},        {"Freshen", "-1"},
                       {"ArgCount", "2"}, {"Spec0", "\"a.htm\""}, {"Spec1", "\"sub\\*.gif\""}};
    }
    void unzipCommandRecord() {
        QFETCH(int, options);
        QFETCH(QStringList, specs);
        QFETCH(TFields, expected);
        QTemporaryDir tmp;
        testsupport::WriteBytes(tmp.path() + "/a.txt", "a");
        auto z = MakeArchiver();
        z->SetZipFileName(tmp.path() + "/a.zip");
        z->SetRootDir(tmp.path());
        z->SetFSpecArgs({"a.txt"});
        QCOMPARE(z->Add(), 0);
        TFake fake("libunzlib.so");
        fake.Reset(0);
        z->SetDLLDirectory(FakeDir("rec"));
        z->SetExtrBaseDir("/ut");
        z->SetExtrOptions(ExtrOpts::fromInt(options));
        z->SetFSpecArgs(specs);
        z->SetPasswordReqCount(20);
        QCOMPARE(z->PasswordReqCount(), 15u);
        QCOMPARE(z->Extract(), 0);
        // Unattended without a password or a handler: no password requests for this call.
        QCOMPARE(z->PasswordReqCount(), 15u);
        const auto dump = fake.Dump();
        for (auto it = expected.cbegin(); it != expected.cend(); ++it) QCOMPARE(dump.value(it.key()), it.value());
        QVERIFY(z->FSpecArgs().isEmpty());
    }

    void minimumVersionsNeverBelowCurrent() {
        TZipArchiver z;
        z.SetMinZipLibVers(100);
        z.SetMinUnzLibVers(171);
        QCOMPARE(z.MinZipLibVers(), 172);
        QCOMPARE(z.MinUnzLibVers(), 172);
        z.SetMinZipLibVers(180);
        QCOMPARE(z.MinZipLibVers(), 180);
        z.SetVersionInfo("9.99");
        QCOMPARE(z.VersionInfo(), QStringLiteral("1.72"));
        QCOMPARE(z.HowToDelete(), DeleteOpts::htdAllowUndo);
        QCOMPARE(z.AddCompLevel(), 9);
        QCOMPARE(z.PasswordReqCount(), 1u);
        QCOMPARE(z.SFXCaption, QStringLiteral("Self-extracting Archive"));
        QCOMPARE(int(z.AddStoreSuffixes()), int(AddStoreDefault));
    }
};

QTEST_MAIN(TestZipLibLoad)
#include "tst_ziplibload.moc"
