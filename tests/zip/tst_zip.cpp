// Packing and unpacking through the real library modules, checked against Debian's zip,
// unzip, zipinfo and Python's zipfile.
#include <QPointer>
#include <QScopeGuard>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <unistd.h>

#include "ZipTestSupport.h"
#include "platform/UIServices.h"

using namespace Zip;  // the component's option bits

using namespace ziptest;

namespace {

const char* const kPyList = R"(
import zipfile, sys, hashlib
z = zipfile.ZipFile(sys.argv[1])
pw = sys.argv[2].encode() if len(sys.argv) > 2 else None
for i in z.infolist():
    d = z.read(i, pwd=pw)
    print(i.filename, i.compress_type, i.flag_bits, hashlib.md5(d).hexdigest(), sep='\t')
)";

// name -> "method flags md5" as Python's zipfile reads it.
QMap<QString, QStringList> PyRead(const QString& archive, const QString& password = QString()) {
    QMap<QString, QStringList> out;
    QStringList args{QStringLiteral("-c"), QString::fromLatin1(kPyList), archive};
    if (!password.isEmpty()) args << password;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PYTHONIOENCODING"), QStringLiteral("utf-8"));
    p.setProcessEnvironment(env);
    p.start(ToolPath(QStringLiteral("python3")), args);
    p.waitForFinished(60000);
    for (const QString& line :
         QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList f = line.split(QLatin1Char('\t'));
        if (f.size() == 4) out.insert(f[0], f.mid(1));
    }
    return out;
}

// Runs a Python snippet with arguments; true on exit code 0.
bool Py(const QString& code, const QStringList& args) {
    QProcess p;
    p.start(ToolPath(QStringLiteral("python3")), QStringList{QStringLiteral("-c"), code} + args);
    p.waitForFinished(60000);
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QStringList ZipInfoNames(const QString& archive) {
    const TToolRun r = Run(QStringLiteral("zipinfo"), {QStringLiteral("-1"), archive});
    QStringList names = QString::fromUtf8(r.Out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    names.sort();
    return names;
}

// The article-like folder of most cases.
struct TArticle {
    QString Dir;
    QMap<QString, QByteArray> Files;
};

TArticle MakeArticle(const QString& dir) {
    TArticle a;
    a.Dir = dir;
    a.Files.insert(QStringLiteral("main.htm"), Text(400));
    a.Files.insert(QStringLiteral("pic.gif"), Pattern(20000, 1));
    a.Files.insert(QStringLiteral("sub/page.htm"), Text(50));
    a.Files.insert(QStringLiteral(".hidden"), QByteArray("dold"));
    for (auto it = a.Files.cbegin(); it != a.Files.cend(); ++it)
        testsupport::WriteBytes(dir + "/" + it.key(), it.value());
    return a;
}

}  // namespace

class TestZip : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        ZIPTEST_REQUIRE_TOOL("zip");
        ZIPTEST_REQUIRE_TOOL("unzip");
        ZIPTEST_REQUIRE_TOOL("zipinfo");
        ZIPTEST_REQUIRE_TOOL("python3");
    }
    void cleanup() { UIServices::SetMessageHook({}); }

    void addInterop_data() {
        QTest::addColumn<QStringList>("specs");
        QTest::addColumn<bool>("absolute");
        QTest::addColumn<int>("options");
        QTest::addColumn<QStringList>("excl");
        QTest::addColumn<QStringList>("names");
        const QStringList all{"main.htm", "pic.gif", "sub/page.htm"};
        QTest::newRow("recursive spec") << QStringList{">*.*"} << false << int(AddDirNames) << QStringList() << all;
        QTest::newRow("file list with root")
            << QStringList{"main.htm", "pic.gif", "sub/page.htm"} << true << int(AddDirNames) << QStringList() << all;
        QTest::newRow("backslash spec") << QStringList{"sub\\page.htm", "main.htm"} << false << int(AddDirNames)
                                        << QStringList() << QStringList{"main.htm", "sub/page.htm"};
        QTest::newRow("hidden files") << QStringList{">*.*"} << false << int(AddDirNames | AddHiddenFiles)
                                      << QStringList() << QStringList{".hidden", "main.htm", "pic.gif", "sub/page.htm"};
        QTest::newRow("without folder names")
            << QStringList{">*.htm"} << false << 0 << QStringList() << QStringList{"main.htm", "page.htm"};
        QTest::newRow("exclusions") << QStringList{">*.*"} << false << int(AddDirNames) << QStringList{"*.gif"}
                                    << QStringList{"main.htm", "sub/page.htm"};
        QTest::newRow("option recursion") << QStringList{"*.htm"} << false << int(AddDirNames | AddRecurseDirs)
                                          << QStringList() << QStringList{"main.htm", "sub/page.htm"};
        QTest::newRow("bar turns recursion off") << QStringList{"|*.htm"} << false << int(AddDirNames | AddRecurseDirs)
                                                 << QStringList() << QStringList{"main.htm"};
        QTest::newRow("8.3 names") << QStringList{">*.*"} << false << int(AddDirNames | AddForceDOS) << QStringList()
                                   << QStringList{"MAIN.HTM", "PIC.GIF", "SUB/PAGE.HTM"};
    }
    void addInterop() {
        QFETCH(QStringList, specs);
        QFETCH(bool, absolute);
        QFETCH(int, options);
        QFETCH(QStringList, excl);
        QFETCH(QStringList, names);
        QTemporaryDir tmp;
        const TArticle a = MakeArticle(tmp.path() + "/article");
        // The archive lies in the folder it packs; a second round finds it there and leaves
        // it out.
        const QString archive = a.Dir + "/article.zip";
        auto z = MakeArchiver();
        z->SetZipFileName(archive);
        z->SetRootDir(a.Dir);
        z->SetAddOptions(AddOpts::fromInt(options));
        QStringList lines;
        for (const QString& s : specs) lines << (absolute ? a.Dir + "/" + s : s);
        z->SetFSpecArgs(lines);
        z->SetFSpecArgsExcl(excl);
        QCOMPARE(z->Add(), 0);
        z->SetFSpecArgs(lines);
        z->SetFSpecArgsExcl(excl);
        QCOMPARE(z->Add(), 0);
        QCOMPARE(z->SuccessCnt(), int(names.size()));
        QVERIFY(z->FSpecArgs().isEmpty());
        QVERIFY(z->FSpecArgsExcl().isEmpty());
        QCOMPARE(z->GetCount(), int(names.size()));

        const TToolRun test = Run(QStringLiteral("unzip"), {QStringLiteral("-t"), archive});
        QVERIFY2(test.Exit == 0, test.Out.constData());
        QCOMPARE(ZipInfoNames(archive), names);
        const auto py = PyRead(archive);
        QCOMPARE(py.size(), names.size());
        for (auto it = py.cbegin(); it != py.cend(); ++it) {
            const QString original = a.Files.contains(it.key()) ? it.key() : [&] {
                for (const QString& k : a.Files.keys())
                    if (k.toUpper() == it.key() || k.section('/', -1) == it.key()) return k;
                return QString();
            }();
            QVERIFY2(!original.isEmpty(), qPrintable(it.key()));
            QCOMPARE(it.value()[2].toLatin1(), Md5(a.Files[original]));
            // Pictures are stored as they are, text is deflated.
            QCOMPARE(it.value()[0], original.endsWith(".gif") ? QStringLiteral("0") : QStringLiteral("8"));
        }
    }

    void roundTripThroughComponent() {
        QTemporaryDir tmp;
        const TArticle a = MakeArticle(tmp.path() + "/article");
        const QString archive = tmp.path() + "/a.zip";
        auto z = MakeArchiver();
        z->SetZipFileName(archive);
        z->SetRootDir(a.Dir);
        z->SetAddOptions(AddDirNames);
        z->SetFSpecArgs({">*.*"});
        QCOMPARE(z->Add(), 0);
        // Unpacking into a folder that does not exist creates it with the subfolders.
        const QString out = tmp.path() + "/ut/nivå";
        z->SetExtrBaseDir(out);
        z->SetExtrOptions(ExtrDirNames);
        QCOMPARE(z->Extract(), 0);
        QCOMPARE(z->SuccessCnt(), 3);
        QCOMPARE(Tree(out), (QStringList{"main.htm", "pic.gif", "sub", "sub/page.htm"}));
        for (const QString& f : {QStringLiteral("main.htm"), QStringLiteral("pic.gif"), QStringLiteral("sub/page.htm")})
            QCOMPARE(testsupport::ReadBytes(out + "/" + f), a.Files[f]);
        // The stored times come back (to the two seconds of the format).
        const qint64 diff =
            QFileInfo(out + "/main.htm").lastModified().secsTo(QFileInfo(a.Dir + "/main.htm").lastModified());
        QVERIFY2(qAbs(diff) <= 2, qPrintable(QString::number(diff)));
        // Without folder names everything lands in the base folder.
        const QString flat = tmp.path() + "/flat";
        z->SetExtrBaseDir(flat);
        z->SetExtrOptions({});
        QCOMPARE(z->Extract(), 0);
        QCOMPARE(Tree(flat), (QStringList{"main.htm", "page.htm", "pic.gif"}));
    }

    void encryption() {
        QTemporaryDir tmp;
        const TArticle a = MakeArticle(tmp.path() + "/article");
        const QString archive = tmp.path() + "/hemlig.zip";
        auto z = MakeArchiver();
        z->SetZipFileName(archive);
        z->SetRootDir(a.Dir);
        z->SetAddOptions(AddDirNames | AddEncrypt);
        z->SetPassword("hemlig");
        z->SetFSpecArgs({">*.*"});
        QCOMPARE(z->Add(), 0);
        TToolRun r = Run(QStringLiteral("unzip"), {"-t", "-P", "hemlig", archive});
        QVERIFY2(r.Exit == 0, r.Out.constData());
        r = Run(QStringLiteral("unzip"), {"-t", "-P", "fel", archive});
        QVERIFY(r.Exit != 0);
        const auto py = PyRead(archive, "hemlig");
        QCOMPARE(py.size(), 3);
        for (auto it = py.cbegin(); it != py.cend(); ++it) {
            QVERIFY(it.value()[1].toInt() & 1);
            QCOMPARE(it.value()[2].toLatin1(), Md5(a.Files[it.key()]));
        }
        // Back through the component: right password, then a wrong one that writes nothing.
        z->SetExtrOptions(ExtrDirNames);
        z->SetExtrBaseDir(tmp.path() + "/ok");
        QCOMPARE(z->Extract(), 0);
        QCOMPARE(testsupport::ReadBytes(tmp.path() + "/ok/sub/page.htm"), a.Files["sub/page.htm"]);
        z->SetPassword("fel");
        z->SetExtrBaseDir(tmp.path() + "/fel");
        QCOMPARE(z->Extract(), 7);
        QCOMPARE(z->SuccessCnt(), 0);
        QVERIFY(!QFileInfo::exists(tmp.path() + "/fel/main.htm"));
    }

    void encryptionWithoutPasswordStoresNothingPlain() {
        QTemporaryDir tmp;
        const TArticle a = MakeArticle(tmp.path() + "/article");
        const QString archive = tmp.path() + "/x.zip";
        auto z = MakeArchiver();
        z->SetUnattended(false);
        UIServices::SetMessageHook([](const UIServices::TShownMessage&) { return UIServices::TMsgResult::OK; });
        int asked = 0;
        z->OnPasswordError = [&](QObject*, bool isZip, QString&, const QString&, quint32&, TPasswordButton& action) {
            QVERIFY(isZip);
            ++asked;
            action = TPasswordButton::mbCancel;
        };
        z->SetZipFileName(archive);
        z->SetRootDir(a.Dir);
        z->SetAddOptions(AddDirNames | AddEncrypt);
        // The plain line is stored, the one to encrypt is skipped with an error that the
        // directory re-read after the Add does not wipe.
        z->SetFSpecArgs({"main.htm<", "pic.gif"});
        QCOMPARE(z->Add(), 7);
        QCOMPARE(z->SuccessCnt(), 1);
        QCOMPARE(z->ErrCode(), 7);
        QCOMPARE(asked, 1);
        QCOMPARE(ZipInfoNames(archive), QStringList{"main.htm"});
        QCOMPARE(PyRead(archive).value("main.htm").value(1).toInt() & 1, 0);
    }

    void extractsZipMadeArchive() {
        QTemporaryDir tmp;
        const TArticle a = MakeArticle(tmp.path() + "/article");
        const QString archive = tmp.path() + "/z.zip";
        const TToolRun r = Run(QStringLiteral("zip"), {"-q", "-r", "-e", "-P", "pass123", archive, "."}, a.Dir);
        QCOMPARE(r.Exit, 0);
        auto z = MakeArchiver();
        z->SetZipFileName(archive);
        z->SetPassword("pass123");
        z->SetExtrBaseDir(tmp.path() + "/ut");
        z->SetExtrOptions(ExtrDirNames);
        QCOMPARE(z->Extract(), 0);
        for (auto it = a.Files.cbegin(); it != a.Files.cend(); ++it)
            QCOMPARE(testsupport::ReadBytes(tmp.path() + "/ut/" + it.key()), it.value());
    }

    void nonAsciiNames() {
        QTemporaryDir tmp;
        const QString src = tmp.path() + "/src";
        const QString name = QStringLiteral("Sörmland/kantarell_åäö.htm");
        testsupport::WriteBytes(src + "/" + name, "svamp");
        const QString byZip = tmp.path() + "/byzip.zip";
        QCOMPARE(Run(QStringLiteral("zip"), {"-q", "-r", byZip, "."}, src).Exit, 0);
        auto z = MakeArchiver();
        z->SetZipFileName(byZip);
        QCOMPARE(z->GetCount(), 1);
        QCOMPARE(z->ZipContents().first().FileName, QStringLiteral("Sörmland\\kantarell_åäö.htm"));
        z->SetExtrBaseDir(tmp.path() + "/ut");
        z->SetExtrOptions(ExtrDirNames);
        QCOMPARE(z->Extract(), 0);
        QCOMPARE(testsupport::ReadBytes(tmp.path() + "/ut/" + name), QByteArray("svamp"));
        // What the component writes carries the UTF-8 flag.
        const QString mine = tmp.path() + "/mine.zip";
        z->SetZipFileName(mine);
        z->SetRootDir(src);
        z->SetAddOptions(AddDirNames);
        z->SetFSpecArgs({">*.*"});
        QCOMPARE(z->Add(), 0);
        const auto py = PyRead(mine);
        QVERIFY(py.contains(name));
        QVERIFY(py[name][1].toInt() & 0x800);
    }

    void freshenRightAfterAddChangesNothing() {
        QTemporaryDir tmp;
        const TArticle a = MakeArticle(tmp.path() + "/article");
        const QString archive = tmp.path() + "/f.zip";
        auto z = MakeArchiver();
        z->SetZipFileName(archive);
        z->SetRootDir(a.Dir);
        z->SetAddOptions(AddDirNames);
        z->SetFSpecArgs({">*.*"});
        QCOMPARE(z->Add(), 0);
        const QByteArray before = testsupport::ReadBytes(archive);
        for (AddOpts o : {AddOpts(AddFreshen), AddOpts(AddUpdate)}) {
            z->SetAddOptions(AddDirNames | o);
            z->SetFSpecArgs({">*.*"});
            QCOMPARE(z->Add(), 0);
            QCOMPARE(testsupport::ReadBytes(archive), before);
        }
        // A changed file is freshened; a new one is added by update only.
        QFile f(a.Dir + "/main.htm");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("ny text");
        f.close();
        f.open(QIODevice::ReadWrite);
        f.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime);
        f.close();
        testsupport::WriteBytes(a.Dir + "/new.htm", "ny");
        z->SetAddOptions(AddDirNames | AddFreshen);
        z->SetFSpecArgs({">*.*"});
        QCOMPARE(z->Add(), 0);
        QCOMPARE(z->SuccessCnt(), 1);
        QCOMPARE(ZipInfoNames(archive), (QStringList{"main.htm", "pic.gif", "sub/page.htm"}));
        QCOMPARE(PyRead(archive)["main.htm"][2].toLatin1(), Md5("ny text"));
        z->SetAddOptions(AddDirNames | AddUpdate);
        z->SetFSpecArgs({">*.*"});
        QCOMPARE(z->Add(), 0);
        QCOMPARE(z->SuccessCnt(), 1);
        QCOMPARE(ZipInfoNames(archive), (QStringList{"main.htm", "new.htm", "pic.gif", "sub/page.htm"}));
    }

    void moveDeletesOnlyWhatWasStored() {
        QTemporaryDir tmp;
        const TArticle a = MakeArticle(tmp.path() + "/article");
        auto z = MakeArchiver();
        z->SetHowToDelete(DeleteOpts::htdFinal);
        // An archive that cannot be written: its folder is a file.
        testsupport::WriteBytes(tmp.path() + "/inte-mapp", "x");
        z->SetZipFileName(tmp.path() + "/inte-mapp/m.zip");
        z->SetRootDir(a.Dir);
        z->SetAddOptions(AddDirNames | AddMove);
        z->SetFSpecArgs({">*.*"});
        QVERIFY(z->Add() != 0);
        for (auto it = a.Files.cbegin(); it != a.Files.cend(); ++it) QVERIFY(QFileInfo::exists(a.Dir + "/" + it.key()));
        // A good archive: the stored files go, the excluded one stays.
        z->SetZipFileName(tmp.path() + "/m.zip");
        z->SetAddOptions(AddDirNames | AddMove);
        z->SetFSpecArgs({">*.*"});
        z->SetFSpecArgsExcl({"*.gif"});
        QCOMPARE(z->Add(), 0);
        QVERIFY(!QFileInfo::exists(a.Dir + "/main.htm"));
        QVERIFY(!QFileInfo::exists(a.Dir + "/sub/page.htm"));
        QVERIFY(QFileInfo::exists(a.Dir + "/pic.gif"));
        QVERIFY(QFileInfo::exists(a.Dir + "/.hidden"));
    }

    void traversalEntriesStayInside() {
        QTemporaryDir tmp;
        const QString archive = tmp.path() + "/trav.zip";
        const char* code = R"(
import zipfile, sys
z = zipfile.ZipFile(sys.argv[1], 'w')
for n in ['../e1', '/abs', 'a/../../e2', 'a\\..\\..\\e3', 'C:/e4', 'good.txt']:
    i = zipfile.ZipInfo('x')
    i.filename = n
    z.writestr(i, b'data of ' + n.encode())
l = zipfile.ZipInfo('link')
l.create_system = 3
l.external_attr = 0o120777 << 16
z.writestr(l, b'/tmp')
z.close()
)";
        QVERIFY(Py(QString::fromLatin1(code), {archive}));
        const QString base = tmp.path() + "/bas/inre";
        QDir().mkpath(base);
        auto z = MakeArchiver();
        QStringList skipped;
        z->OnExtractSkipped = [&](QObject*, const QString& file, UnZipSkipTypes, int err) {
            QVERIFY(err != 0);
            skipped << file;
        };
        z->SetZipFileName(archive);
        z->SetExtrBaseDir(base);
        z->SetExtrOptions(ExtrDirNames | ExtrOverWrite);
        QVERIFY(z->Extract() != 0);
        QCOMPARE(z->SuccessCnt(), 1);
        QCOMPARE(skipped.size(), 6);
        QCOMPARE(Tree(tmp.path()), (QStringList{"bas", "bas/inre", "bas/inre/good.txt", "trav.zip"}));
        QVERIFY(!QFileInfo::exists("/abs") && !QFileInfo::exists("/e4"));
    }

    void noWritingThroughLinks() {
        QTemporaryDir tmp;
        const QString outside = tmp.path() + "/utanfor";
        QDir().mkpath(outside);
        const QString base = tmp.path() + "/bas";
        QDir().mkpath(base);
        QVERIFY(QFile::link(outside, base + "/lank"));
        QVERIFY(QFile::link(outside + "/fil.txt", base + "/fil.txt"));
        const char* code = R"(
import zipfile, sys
z = zipfile.ZipFile(sys.argv[1], 'w')
z.writestr('lank/inne.txt', b'inne')
i = zipfile.ZipInfo('fil.txt')
i.create_system = 3
i.external_attr = 0o106777 << 16
z.writestr(i, b'fil')
z.close()
)";
        const QString archive = tmp.path() + "/l.zip";
        QVERIFY(Py(QString::fromLatin1(code), {archive}));
        auto z = MakeArchiver();
        z->SetZipFileName(archive);
        z->SetExtrBaseDir(base);
        z->SetExtrOptions(ExtrDirNames | ExtrOverWrite);
        QVERIFY(z->Extract() != 0);
        QVERIFY(Tree(outside).isEmpty());
        // The link of fil.txt was replaced by the file itself, without unsafe mode bits.
        const QFileInfo fi(base + "/fil.txt");
        QVERIFY(!fi.isSymLink());
        QCOMPARE(testsupport::ReadBytes(base + "/fil.txt"), QByteArray("fil"));
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(fi.filePath()).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 07002), 0);
    }

    void crcDamageLeavesNoCorruptFile() {
        QTemporaryDir tmp;
        const QString src = tmp.path() + "/src";
        testsupport::WriteBytes(src + "/data.bin", Pattern(5000, 7));
        const QString archive = tmp.path() + "/crc.zip";
        QCOMPARE(Run(QStringLiteral("zip"), {"-q", "-0", archive, "data.bin"}, src).Exit, 0);
        QByteArray bytes = testsupport::ReadBytes(archive);
        bytes[30 + 8 + 100] = char(bytes[30 + 8 + 100] ^ 0x55);  // inside the stored data
        testsupport::WriteBytes(archive, bytes);
        const QString out = tmp.path() + "/ut";
        testsupport::WriteBytes(out + "/data.bin", "gammal");
        auto z = MakeArchiver();
        int crcCalls = 0;
        z->SetZipFileName(archive);
        z->SetExtrBaseDir(out);
        z->SetExtrOptions(ExtrOverWrite);
        QCOMPARE(z->Extract(), 6);
        QCOMPARE(testsupport::ReadBytes(out + "/data.bin"), QByteArray("gammal"));
        QCOMPARE(Tree(out), QStringList{"data.bin"});
        // A handler that declines keeps the old file too.
        z->OnCRC32Error = [&](QObject*, const QString&, quint32 found, quint32 expected, bool& doExtract) {
            QVERIFY(found != expected);
            ++crcCalls;
            doExtract = false;
        };
        QCOMPARE(z->Extract(), 6);
        QCOMPARE(crcCalls, 1);
        QCOMPARE(Tree(out), QStringList{"data.bin"});
    }

    void oversizedEntryIsStopped() {
        QTemporaryDir tmp;
        const QString archive = tmp.path() + "/o.zip";
        // An entry whose sizes claim 100 bytes while its data inflates to 100,000.
        QVERIFY(Py(R"(
import zipfile, sys, struct
z = zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED)
z.writestr('bomb.txt', b'a' * 100000)
z.close()
d = bytearray(open(sys.argv[1], 'rb').read())
struct.pack_into('<I', d, 22, 100)
c = d.find(b'PK\x01\x02')
struct.pack_into('<I', d, c + 24, 100)
open(sys.argv[1], 'wb').write(bytes(d))
)",
                   {archive}));
        auto z = MakeArchiver();
        z->SetZipFileName(archive);
        z->SetExtrBaseDir(tmp.path() + "/ut");
        QVERIFY(z->Extract() != 0);
        QCOMPARE(z->SuccessCnt(), 0);
        QCOMPARE(Tree(tmp.path() + "/ut"), QStringList());
    }

    void archiveTakesNewestTime() {
        QTemporaryDir tmp;
        testsupport::WriteBytes(tmp.path() + "/src/a.txt", "a");
        QFile f(tmp.path() + "/src/a.txt");
        QVERIFY(f.open(QIODevice::ReadWrite));
        const QDateTime when(QDate(2021, 8, 15), QTime(10, 30, 0));
        QVERIFY(f.setFileTime(when, QFileDevice::FileModificationTime));
        f.close();
        auto z = MakeArchiver();
        z->SetZipFileName(tmp.path() + "/t.zip");
        z->SetRootDir(tmp.path() + "/src");
        z->SetAddOptions(AddZipTime);
        z->SetFSpecArgs({"a.txt"});
        QCOMPARE(z->Add(), 0);
        QCOMPARE(QFileInfo(tmp.path() + "/t.zip").lastModified(), when);
    }

    void extractSelection_data() {
        QTest::addColumn<QStringList>("specs");
        QTest::addColumn<int>("options");
        QTest::addColumn<QStringList>("tree");
        QTest::newRow("everything") << QStringList{"*.*"} << int(ExtrDirNames)
                                    << QStringList{"main.htm", "pic.gif", "sub", "sub/page.htm"};
        QTest::newRow("by suffix") << QStringList{"*.htm"} << int(ExtrDirNames)
                                   << QStringList{"main.htm", "sub", "sub/page.htm"};
        QTest::newRow("by path") << QStringList{"sub\\page.htm"} << int(ExtrDirNames)
                                 << QStringList{"sub", "sub/page.htm"};
        QTest::newRow("test only") << QStringList() << int(ExtrDirNames | ExtrTest) << QStringList();
    }
    void extractSelection() {
        QFETCH(QStringList, specs);
        QFETCH(int, options);
        QFETCH(QStringList, tree);
        QTemporaryDir tmp;
        const TArticle a = MakeArticle(tmp.path() + "/article");
        auto z = MakeArchiver();
        z->SetZipFileName(tmp.path() + "/s.zip");
        z->SetRootDir(a.Dir);
        z->SetAddOptions(AddDirNames);
        z->SetFSpecArgs({">*.*"});
        QCOMPARE(z->Add(), 0);
        const QString out = tmp.path() + "/ut";
        QDir().mkpath(out);
        z->SetExtrBaseDir(out);
        z->SetExtrOptions(ExtrOpts::fromInt(options));
        z->SetFSpecArgs(specs);
        QCOMPARE(z->Extract(), 0);
        QCOMPARE(Tree(out), tree);
        if (options & ExtrTest) QCOMPARE(z->SuccessCnt(), 3);
    }

    void existingFiles_data() {
        QTest::addColumn<int>("options");
        QTest::addColumn<int>("answer");  // -1: no handler
        QTest::addColumn<bool>("olderOnDisk");
        QTest::addColumn<bool>("replaced");
        QTest::addColumn<bool>("newCreated");
        QTest::newRow("kept without overwrite") << 0 << -1 << true << false << true;
        QTest::newRow("handler allows") << 0 << 1 << true << true << true;
        QTest::newRow("handler refuses") << 0 << 0 << true << false << true;
        QTest::newRow("overwrite") << int(ExtrOverWrite) << -1 << false << true << true;
        QTest::newRow("update, older on disk") << int(ExtrUpdate) << -1 << true << true << true;
        QTest::newRow("update, newer on disk") << int(ExtrUpdate) << -1 << false << false << true;
        QTest::newRow("freshen creates nothing") << int(ExtrFreshen) << -1 << true << true << false;
    }
    void existingFiles() {
        QFETCH(int, options);
        QFETCH(int, answer);
        QFETCH(bool, olderOnDisk);
        QFETCH(bool, replaced);
        QFETCH(bool, newCreated);
        QTemporaryDir tmp;
        testsupport::WriteBytes(tmp.path() + "/src/a.txt", "från arkivet");
        testsupport::WriteBytes(tmp.path() + "/src/b.txt", "ny");
        auto z = MakeArchiver();
        z->SetZipFileName(tmp.path() + "/e.zip");
        z->SetRootDir(tmp.path() + "/src");
        z->SetFSpecArgs({"a.txt", "b.txt"});
        QCOMPARE(z->Add(), 0);
        const QString out = tmp.path() + "/ut";
        testsupport::WriteBytes(out + "/a.txt", "på disken");
        QFile f(out + "/a.txt");
        QVERIFY(f.open(QIODevice::ReadWrite));
        f.setFileTime(QDateTime::currentDateTime().addDays(olderOnDisk ? -30 : 30), QFileDevice::FileModificationTime);
        f.close();
        int asked = 0;
        if (answer >= 0)
            z->OnExtractOverwrite = [&](QObject*, const QString& file, bool older, bool& doOverwrite, int) {
                ++asked;
                QCOMPARE(file, QStringLiteral("a.txt"));
                QCOMPARE(older, olderOnDisk);
                doOverwrite = answer == 1;
            };
        z->SetExtrBaseDir(out);
        z->SetExtrOptions(ExtrOpts::fromInt(options));
        QCOMPARE(z->Extract(), 0);
        QCOMPARE(testsupport::ReadBytes(out + "/a.txt"),
                 replaced ? QByteArray("från arkivet") : QByteArray("på disken"));
        QCOMPARE(QFileInfo::exists(out + "/b.txt"), newCreated);
        QCOMPARE(asked, answer >= 0 ? 1 : 0);
    }

    void cancelledAddLeavesArchiveWhole_data() {
        QTest::addColumn<bool>("byException");
        QTest::newRow("cancel") << false;
        QTest::newRow("exception in event") << true;
    }
    void cancelledAddLeavesArchiveWhole() {
        QFETCH(bool, byException);
        QTemporaryDir tmp;
        const QString src = tmp.path() + "/src";
        testsupport::WriteBytes(src + "/liten.txt", "liten");
        testsupport::WriteBytes(src + "/stor.bin", Pattern(30 * 1024 * 1024, 3));
        const QString archive = tmp.path() + "/c.zip";
        auto z = MakeArchiver();
        z->SetZipFileName(archive);
        z->SetRootDir(src);
        z->SetFSpecArgs({"liten.txt"});
        QCOMPARE(z->Add(), 0);
        const QByteArray before = testsupport::ReadBytes(archive);
        int blocks = 0;
        z->OnProgress = [&](QObject*, ProgressType t, const QString&, quint32) {
            if (t != ProgressType::ProgressUpdate || ++blocks != 3) return;
            if (byException) throw Exception(QStringLiteral("boom"));
            z->Cancel();
        };
        z->SetFSpecArgs({"stor.bin"});
        QCOMPARE(z->Add(), 9);
        QCOMPARE(testsupport::ReadBytes(archive), before);
        QCOMPARE(Tree(tmp.path()), (QStringList{"c.zip", "src", "src/liten.txt", "src/stor.bin"}));
        if (byException) QCOMPARE(z->Message(), QStringLiteral("Exception in Event  #2 \"boom\""));
        QVERIFY(!z->IsBusy());
    }

    // A write of the new archive that fails (here at a file size limit, as on a full disk)
    // leaves the archive as it was, or none where there was none, and no temporary file.
    void failedArchiveWriteLeavesNothing_data() {
        QTest::addColumn<bool>("existing");
        QTest::newRow("new archive") << false;
        QTest::newRow("existing archive") << true;
    }
    void failedArchiveWriteLeavesNothing() {
        QFETCH(bool, existing);
        QTemporaryDir tmp;
        const QString src = tmp.path() + "/src";
        testsupport::WriteBytes(src + "/liten.txt", "liten");
        testsupport::WriteBytes(src + "/stor.bin", Pattern(300 * 1024, 5));
        const QString archive = tmp.path() + "/c.zip";
        auto z = MakeArchiver();
        z->SetZipFileName(archive);
        z->SetRootDir(src);
        if (existing) {
            z->SetFSpecArgs({"liten.txt"});
            QCOMPARE(z->Add(), 0);
        }
        const QByteArray before = existing ? testsupport::ReadBytes(archive) : QByteArray();
        struct rlimit old {};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto oldSignal = ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = old;
        small.rlim_cur = 64 * 1024;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        auto restore = qScopeGuard([&] {
            ::setrlimit(RLIMIT_FSIZE, &old);
            ::signal(SIGXFSZ, oldSignal);
        });
        z->SetFSpecArgs({"stor.bin"});
        QVERIFY(z->Add() != 0);
        QVERIFY2(z->Message().contains(QStringLiteral("kunde inte skrivas")), qPrintable(z->Message()));
        QStringList expected{"src", "src/liten.txt", "src/stor.bin"};
        if (existing) expected.prepend("c.zip");
        QCOMPARE(Tree(tmp.path()), expected);
        if (existing) QCOMPARE(testsupport::ReadBytes(archive), before);
    }

    // An archive above the size built in memory is written by libzip's own file source: the
    // same checks hold for it.
    void largeArchiveThroughTheFileSource() {
        ZIPTEST_REQUIRE_TOOL("unzip");
        QTemporaryDir tmp;
        const QString src = tmp.path() + "/src";
        testsupport::WriteBytes(src + "/liten.txt", "liten");
        {
            QFile big(src + "/nollor.bin");
            QVERIFY(big.open(QIODevice::WriteOnly));
            QVERIFY(big.resize(qint64(80) * 1024 * 1024));
        }
        const QString archive = tmp.path() + "/s.zip";
        auto z = MakeArchiver();
        z->SetZipFileName(archive);
        z->SetRootDir(src);
        z->SetAddCompLevel(1);
        z->SetFSpecArgs({"liten.txt"});
        QCOMPARE(z->Add(), 0);
        QCOMPARE(::chmod(QFile::encodeName(archive).constData(), 0640), 0);
        z->SetFSpecArgs({"nollor.bin"});
        QCOMPARE(z->Add(), 0);
        QCOMPARE(z->GetCount(), 2);
        QCOMPARE(Run(QStringLiteral("unzip"), {"-tq", archive}).Exit, 0);
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(archive).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 07777), 0640);
        QCOMPARE(Tree(tmp.path()), (QStringList{"s.zip", "src", "src/liten.txt", "src/nollor.bin"}));
    }

    // An archive written anew keeps the permissions of the one it replaces.
    void rewrittenArchiveKeepsItsMode() {
        QTemporaryDir tmp;
        testsupport::WriteBytes(tmp.path() + "/src/a.txt", "a");
        testsupport::WriteBytes(tmp.path() + "/src/b.txt", "b");
        const QString archive = tmp.path() + "/m.zip";
        auto z = MakeArchiver();
        z->SetZipFileName(archive);
        z->SetRootDir(tmp.path() + "/src");
        z->SetFSpecArgs({"a.txt"});
        QCOMPARE(z->Add(), 0);
        QCOMPARE(::chmod(QFile::encodeName(archive).constData(), 0640), 0);
        z->SetFSpecArgs({"b.txt"});
        QCOMPARE(z->Add(), 0);
        QCOMPARE(z->GetCount(), 2);
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(archive).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 07777), 0640);
    }

    void busyComponentRefusesSecondCall() {
        QTemporaryDir tmp;
        const TArticle a = MakeArticle(tmp.path() + "/article");
        auto z = MakeArchiver();
        QList<int> inner;
        z->OnProgress = [&](QObject*, ProgressType t, const QString&, quint32) {
            if (t != ProgressType::NewFile) return;
            QVERIFY(z->IsBusy());
            z->FSpecArgs() << "main.htm";
            inner << z->Add() << z->Extract();
        };
        z->SetZipFileName(tmp.path() + "/b.zip");
        z->SetRootDir(a.Dir);
        z->SetFSpecArgs({"main.htm", "pic.gif"});
        QCOMPARE(z->Add(), 0);
        QCOMPARE(inner, (QList<int>{-255, -255, -255, -255}));
        QCOMPARE(z->SuccessCnt(), 2);
        QVERIFY(!z->IsBusy());
    }

    void checksBeforeTheLibrary_data() {
        QTest::addColumn<QStringList>("specs");
        QTest::addColumn<QString>("zipName");
        QTest::addColumn<int>("options");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("no files") << QStringList() << "x.zip" << 0 << "" << 10301 << "Fel - inga filer att packa!";
        QTest::newRow("no archive") << QStringList{"a"} << "" << 0 << "" << 10102
                                    << "Fel - ingen zip fil specificerad!";
        QTest::newRow("unattended encryption") << QStringList{"a"} << "x.zip" << int(AddEncrypt) << "" << 10302
                                               << "Obemannad bearbetning omöjlig utan lösenord";
        QTest::newRow("password too long") << QStringList{"a"} << "x.zip" << 0 << QString(81, 'p') << 10106
                                           << "Fel - lösenordet får vara högst 80 tecken";
        QTest::newRow("line password too long") << QStringList{"a<" + QString(81, 'p')} << "x.zip" << 0 << "" << 10106
                                                << "Fel - lösenordet får vara högst 80 tecken";
        QTest::newRow("span with freshen") << QStringList{"a"} << "x.zip" << int(AddDiskSpan | AddFreshen) << ""
                                           << 10303 << "AddFreshen eller AddUpdate omöjligt i ett spanned arkiv";
        QTest::newRow("span onto exe") << QStringList{"a"} << "x.EXE" << int(AddDiskSpanErase) << "" << 11041
                                       << "Fel - Själv uppackande arkiv(.exe) kan inte delas upp";
        QTest::newRow("exe without maker") << QStringList{"a"} << "x.exe" << 0 << "" << 10804 << "SFX not supported";
    }
    void checksBeforeTheLibrary() {
        QFETCH(QStringList, specs);
        QFETCH(QString, zipName);
        QFETCH(int, options);
        QFETCH(QString, password);
        QFETCH(int, code);
        QFETCH(QString, message);
        QTemporaryDir tmp;
        auto z = MakeArchiver();
        QStringList messages;
        z->OnMessage = [&](QObject*, int, const QString& m) { messages << m; };
        if (!zipName.isEmpty()) z->SetZipFileName(tmp.path() + "/" + zipName);
        z->SetAddOptions(AddOpts::fromInt(options));
        z->SetPassword(password);
        z->SetFSpecArgs(specs);
        QCOMPARE(z->Add(), code);
        QCOMPARE(z->ErrCode(), code);
        QCOMPARE(z->Message(), message);
        QCOMPARE(messages, QStringList{message});
        QVERIFY(z->FSpecArgs().isEmpty());
        QVERIFY(!z->ZipLibLoaded());
        QVERIFY(!QFileInfo::exists(tmp.path() + "/" + zipName) || zipName.isEmpty());
    }

    void addStartsWithoutOldError() {
        QTemporaryDir tmp;
        testsupport::WriteBytes(tmp.path() + "/a.txt", "a");
        auto z = MakeArchiver();
        z->SetZipFileName(tmp.path() + "/a.zip");
        QCOMPARE(z->Add(), 10301);
        z->SetRootDir(tmp.path());
        z->SetFSpecArgs({"a.txt"});
        QCOMPARE(z->Add(), 0);
        QCOMPARE(z->Message(), QString());
        QCOMPARE(z->ErrCode(), 0);
    }

    void extractChecks() {
        QTemporaryDir tmp;
        auto z = MakeArchiver();
        z->SetZipFileName(tmp.path() + "/saknas.zip");
        z->FSpecArgs() << "*.*";
        QCOMPARE(z->Extract(), 10102);
        QVERIFY(z->FSpecArgs().isEmpty());
        testsupport::WriteBytes(tmp.path() + "/text.zip", "det här är ingen zip-fil");
        z->SetZipFileName(tmp.path() + "/text.zip");
        QCOMPARE(z->ErrCode(), 11036);
        QCOMPARE(z->ZipFileName(), QString());
        QCOMPARE(z->Extract(), 10102);
        // A valid archive without entries.
        testsupport::WriteBytes(tmp.path() + "/tom.zip", QByteArray("PK\x05\x06", 4) + QByteArray(18, 0));
        z->SetZipFileName(tmp.path() + "/tom.zip");
        QCOMPARE(z->ErrCode(), 0);
        QCOMPARE(z->GetCount(), 0);
        QCOMPARE(z->Extract(), 11002);
        QVERIFY(!z->UnzLibLoaded());
    }

    void progressReportsInOrder_data() {
        QTest::addColumn<bool>("add");
        QTest::newRow("add") << true;
        QTest::newRow("extract") << false;
    }
    void progressReportsInOrder() {
        QFETCH(bool, add);
        QTemporaryDir tmp;
        const TArticle a = MakeArticle(tmp.path() + "/article");
        testsupport::WriteBytes(a.Dir + "/stor.bin", Pattern(700 * 1024, 9));
        auto z = MakeArchiver();
        z->SetZipFileName(tmp.path() + "/p.zip");
        z->SetRootDir(a.Dir);
        z->SetAddOptions(AddDirNames);
        z->SetFSpecArgs({">*.*"});
        if (!add) QCOMPARE(z->Add(), 0);
        QStringList order;
        QMap<QString, qint64> sizes, sums;
        QString current;
        z->OnProgress = [&](QObject*, ProgressType t, const QString& name, quint32 size) {
            switch (t) {
                case ProgressType::TotalFiles2Process:
                    order << "count " + QString::number(size);
                    break;
                case ProgressType::TotalSize2Process:
                    order << "total " + QString::number(size);
                    break;
                case ProgressType::NewFile:
                    order << "file";
                    current = name;
                    sizes[name] = size;
                    break;
                case ProgressType::ProgressUpdate:
                    sums[current] += size;
                    break;
                case ProgressType::EndOfBatch:
                    order << "end";
                    break;
            }
        };
        if (add) {
            QCOMPARE(z->Add(), 0);
        } else {
            z->SetExtrBaseDir(tmp.path() + "/ut");
            z->SetExtrOptions(ExtrDirNames);
            QCOMPARE(z->Extract(), 0);
        }
        const qint64 total = 20000 + Text(400).size() + Text(50).size() + 700 * 1024;
        QCOMPARE(order,
                 (QStringList{"count 4", "total " + QString::number(total), "file", "file", "file", "file", "end"}));
        QCOMPARE(sizes.keys(), (QStringList{"main.htm", "pic.gif", "stor.bin", "sub\\page.htm"}));
        QCOMPARE(sums, sizes);
        QCOMPARE(z->TotalSizeToProcess(), total);
    }

    void commentsSurvive() {
        QTemporaryDir tmp;
        testsupport::WriteBytes(tmp.path() + "/src/a.txt", "a");
        testsupport::WriteBytes(tmp.path() + "/src/b.txt", "b");
        const QString archive = tmp.path() + "/k.zip";
        QCOMPARE(
            Run(QStringLiteral("zip"), {"-q", "-z", archive, "a.txt"}, tmp.path() + "/src", "Svampar i Sörmland\n.\n")
                .Exit,
            0);
        auto z = MakeArchiver();
        z->SetZipFileName(archive);
        QCOMPARE(z->ZipComment(), QStringLiteral("Svampar i Sörmland"));
        z->OnFileComment = [](QObject*, const QString& file, QString& comment, bool& changed) {
            comment = "om " + file;
            changed = true;
        };
        z->SetRootDir(tmp.path() + "/src");
        z->SetFSpecArgs({"b.txt"});
        QCOMPARE(z->Add(), 0);
        QCOMPARE(z->ZipComment(), QStringLiteral("Svampar i Sörmland"));
        QVERIFY(Py(R"(
import zipfile, sys
z = zipfile.ZipFile(sys.argv[1])
assert z.comment.decode('utf-8').startswith('Svampar i S'), z.comment
assert z.getinfo('b.txt').comment == b'om b.txt', z.getinfo('b.txt').comment
)",
                   {archive}));
    }

    void dateFilterAndStoring() {
        QTemporaryDir tmp;
        testsupport::WriteBytes(tmp.path() + "/src/gammal.htm", Text(100));
        testsupport::WriteBytes(tmp.path() + "/src/ny.htm", Text(100));
        QFile old(tmp.path() + "/src/gammal.htm");
        QVERIFY(old.open(QIODevice::ReadWrite));
        QVERIFY(old.setFileTime(QDateTime(QDate(2019, 6, 1), QTime(12, 0)), QFileDevice::FileModificationTime));
        old.close();
        const QString archive = tmp.path() + "/d.zip";
        auto z = MakeArchiver();
        z->SetZipFileName(archive);
        z->SetRootDir(tmp.path() + "/src");
        z->SetAddOptions(AddFromDate);
        z->SetAddFrom(QDate(2020, 1, 1));
        z->SetAddCompLevel(0);
        z->SetFSpecArgs({"*.htm"});
        QCOMPARE(z->Add(), 0);
        const auto py = PyRead(archive);
        QCOMPARE(py.keys(), QStringList{"ny.htm"});
        QCOMPARE(py["ny.htm"][0], QStringLiteral("0"));  // level 0 stores
        // Suffixes of the program's own list are stored too.
        z->SetAddOptions({});
        z->SetAddCompLevel(9);
        z->SetExtAddStoreSuffixes("htm");
        z->SetFSpecArgs({"gammal.htm"});
        QCOMPARE(z->Add(), 0);
        QCOMPARE(PyRead(archive)["gammal.htm"][0], QStringLiteral("0"));
    }

    void prefixedArchiveExtracts() {
        QTemporaryDir tmp;
        testsupport::WriteBytes(tmp.path() + "/src/a.txt", "innehåll");
        const QString plain = tmp.path() + "/plain.zip";
        QCOMPARE(Run(QStringLiteral("zip"), {"-q", plain, "a.txt"}, tmp.path() + "/src").Exit, 0);
        const QString sfx = tmp.path() + "/sfx.zip";
        testsupport::WriteBytes(sfx, "MZ" + QByteArray(998, '\0') + testsupport::ReadBytes(plain));
        auto z = MakeArchiver();
        z->SetZipFileName(sfx);
        QCOMPARE(z->GetCount(), 1);
        QCOMPARE(z->ErrCode(), 0);
        QCOMPARE(z->SFXOffset(), 1000);
        QVERIFY(z->StructureWarning());
        z->SetExtrBaseDir(tmp.path() + "/ut");
        QCOMPARE(z->Extract(), 0);
        QCOMPARE(testsupport::ReadBytes(tmp.path() + "/ut/a.txt"), QByteArray("innehåll"));
    }

    void deletionWaitsForTheLibraryCall() {
        QTemporaryDir tmp;
        testsupport::WriteBytes(tmp.path() + "/a.txt", "a");
        QPointer<TZipArchiver> z = MakeArchiver().release();
        bool refused = false;
        z->OnProgress = [&](QObject*, ProgressType t, const QString&, quint32) {
            if (t != ProgressType::NewFile) return;
            z->deleteLater();
            QCoreApplication::sendPostedEvents(z, QEvent::DeferredDelete);
            refused = !z.isNull();
        };
        z->SetZipFileName(tmp.path() + "/a.zip");
        z->SetRootDir(tmp.path());
        z->SetFSpecArgs({"a.txt"});
        // Refused while the module runs, which is told to stop.
        QCOMPARE(z->Add(), 9);
        QVERIFY(refused);
        QVERIFY(!z.isNull());
        QCoreApplication::sendPostedEvents(z, QEvent::DeferredDelete);
        QVERIFY(z.isNull());
    }

    void unattendedExtractWithoutPasswordWarnsOnly() {
        QTemporaryDir tmp;
        testsupport::WriteBytes(tmp.path() + "/src/a.txt", "a");
        const QString archive = tmp.path() + "/a.zip";
        QCOMPARE(Run(QStringLiteral("zip"), {"-q", archive, "a.txt"}, tmp.path() + "/src").Exit, 0);
        auto z = MakeArchiver();
        QStringList messages;
        z->OnMessage = [&](QObject*, int code, const QString& m) { messages << QString::number(code) + ":" + m; };
        z->SetZipFileName(archive);
        z->SetPasswordReqCount(3);
        z->SetExtrBaseDir(tmp.path() + "/ut");
        QCOMPARE(z->Extract(), 0);
        QCOMPARE(z->SuccessCnt(), 1);
        QCOMPARE(z->PasswordReqCount(), 3u);
        QVERIFY(messages.contains("0:Varning - Obemannad uppackning: Alla filer packades kanske inte upp"));
    }
};

QTEST_MAIN(TestZip)
#include "tst_zip.moc"
