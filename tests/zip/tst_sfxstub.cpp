// The self-extractor stub of the program folder: archives made through the component run and
// unpack, hostile entries write nothing outside the folder, the overwrite modes, the command
// of the header, and a picture of its folder window.
#include <QDir>
#include <QElapsedTimer>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

#include "ZipTestSupport.h"
#include "platform/ziplibs/sfxstub/SfxStubDialog.h"
#include "zip/ZipSFXMaker.h"

using namespace Zip;  // the component's option bits

using namespace ziptest;

namespace {

struct TRunResult {
    int Exit = -1;
    QByteArray Out;
};

// Runs a self-extracting archive as a user without a display or a terminal would.
TRunResult RunSfx(const QString& exe, const QString& cwd) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(cwd);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setStandardInputFile(QProcess::nullDevice());
    p.start(exe, {});
    TRunResult r;
    if (!p.waitForFinished(60000)) return r;
    r.Exit = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.Out = p.readAll();
    return r;
}

// Files of an article, packed through the component into a self-extracting archive.
struct TSfx {
    QTemporaryDir Tmp;
    QMap<QString, QByteArray> Files;
    std::unique_ptr<TZipArchiver> Zip = MakeArchiver();
    TZipSFXMaker Maker;
    QString Exe;

    TSfx() {
        Files.insert("main.htm", Text(300));
        Files.insert("bilder/kantarell.gif", Pattern(30000, 4));
        Files.insert("läsmig.txt", "Läs mig först.\n");
        for (auto it = Files.cbegin(); it != Files.cend(); ++it)
            testsupport::WriteBytes(Tmp.path() + "/src/" + it.key(), it.value());
        Zip->SFXMaker = &Maker;
        Zip->SFXOptions = {};
        Exe = Tmp.path() + "/artikel.exe";
    }
    // Makes the executable through Add, as a user of the component would.
    bool Make() {
        Zip->SetZipFileName(Exe);
        Zip->SetRootDir(Tmp.path() + "/src");
        Zip->SetAddOptions(AddDirNames | AddRecurseDirs);
        Zip->SetFSpecArgs({"*.*"});
        return Zip->Add() == 0 && Zip->GetCount() == Files.size();
    }
    QString Cwd() const {
        QDir().mkpath(Tmp.path() + "/kör");
        return Tmp.path() + "/kör";
    }
};

}  // namespace

class TestSfxStub : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(QFileInfo(testsupport::ProgramDir() + "/ZSTUBus.BIN").isExecutable(),
                 "Stubben ZSTUBus.BIN saknas i programmappen.");
    }

    void runsAndUnpacksIntoTheDefaultFolder() {
        ZIPTEST_REQUIRE_TOOL("unzip");
        TSfx s;
        s.Zip->SFXDefaultDir = QStringLiteral("Svamp\\Artikel");
        s.Zip->SFXCaption = QStringLiteral("Kantareller");
        QVERIFY(s.Make());
        QVERIFY(QFileInfo(s.Exe).isExecutable());
        QCOMPARE(Run(QStringLiteral("unzip"), {"-tq", s.Exe}).Exit, 0);
        const TRunResult r = RunSfx(s.Exe, s.Cwd());
        QVERIFY2(r.Exit == 0, r.Out.constData());
        QVERIFY(r.Out.contains("Kantareller"));
        const QString out = s.Cwd() + "/Svamp/Artikel";
        for (auto it = s.Files.cbegin(); it != s.Files.cend(); ++it)
            QCOMPARE(testsupport::ReadBytes(out + "/" + it.key()), it.value());
        QCOMPARE(Tree(s.Cwd()),
                 QStringList({"Svamp", "Svamp/Artikel", "Svamp/Artikel/bilder", "Svamp/Artikel/bilder/kantarell.gif",
                              "Svamp/Artikel/läsmig.txt", "Svamp/Artikel/main.htm"}));
    }

    // Entries that would leave the folder are refused; the good one is unpacked.
    void hostileEntriesStayInside_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("parent folder") << "parent";
        QTest::newRow("absolute path") << "absolute";
        QTest::newRow("symlink out") << "symlink";
    }
    void hostileEntriesStayInside() {
        QFETCH(QString, kind);
        ZIPTEST_REQUIRE_TOOL("python3");
        TSfx s;
        const QString archive = s.Tmp.path() + "/ond.zip";
        const QString outside = s.Tmp.path() + "/utanför";
        const char* script = R"(
import zipfile, sys
kind, out, outside = sys.argv[1], sys.argv[2], sys.argv[3]
with zipfile.ZipFile(out, 'w') as z:
    z.writestr('bra.txt', 'bra')
    if kind == 'parent':
        z.writestr('../x.txt', 'ond')
        z.writestr('a/../../y.txt', 'ond')
    elif kind == 'absolute':
        z.writestr(outside + '/abs.txt', 'ond')
    else:
        i = zipfile.ZipInfo('länk')
        i.create_system = 3
        i.external_attr = (0o120777 << 16)
        z.writestr(i, outside)
        z.writestr('länk/z.txt', 'ond')
)";
        QCOMPARE(Run(QStringLiteral("python3"), {"-c", script, kind, archive, outside}).Exit, 0);
        s.Zip->SetZipFileName(archive);
        s.Zip->SFXDefaultDir = QStringLiteral("ut");
        QCOMPARE(s.Maker.ConvertToSFX(s.Zip.get()), 0);
        const QString exe = s.Tmp.path() + "/ond.exe";
        QVERIFY(QFileInfo(exe).isExecutable());
        const TRunResult r = RunSfx(exe, s.Cwd());
        QVERIFY2(r.Exit == 1, r.Out.constData());
        QVERIFY2(r.Out.contains("Otillåtet namn"), r.Out.constData());
        QCOMPARE(testsupport::ReadBytes(s.Cwd() + "/ut/bra.txt"), QByteArray("bra"));
        QVERIFY(!QFileInfo::exists(outside));
        // A later entry below the refused link lands in a real folder inside.
        const QStringList inside = kind == "symlink" ? QStringList({"ut", "ut/bra.txt", "ut/länk", "ut/länk/z.txt"})
                                                     : QStringList({"ut", "ut/bra.txt"});
        QCOMPARE(Tree(s.Cwd()), inside);
        QVERIFY(!QFileInfo(s.Cwd() + "/ut/länk").isSymLink());
        QCOMPARE(QDir(s.Tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList({"kör", "ond.exe", "src"}));
    }

    // A folder that already holds the file: always replaces it, never keeps it, and asking
    // keeps it when nobody can be asked.
    void overwriteModes_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("replaced");
        QTest::newRow("always") << int(OvrOpts::OvrAlways) << true;
        QTest::newRow("never") << int(OvrOpts::OvrNever) << false;
        QTest::newRow("ask, nobody to ask") << int(OvrOpts::OvrConfirm) << false;
    }
    void overwriteModes() {
        QFETCH(int, mode);
        QFETCH(bool, replaced);
        TSfx s;
        s.Zip->SFXDefaultDir = QStringLiteral("ut");
        s.Zip->SFXOverWriteMode = OvrOpts(mode);
        QVERIFY(s.Make());
        testsupport::WriteBytes(s.Cwd() + "/ut/main.htm", "min egen");
        const TRunResult r = RunSfx(s.Exe, s.Cwd());
        QVERIFY2(r.Exit == 0, r.Out.constData());
        QCOMPARE(testsupport::ReadBytes(s.Cwd() + "/ut/main.htm"),
                 replaced ? s.Files["main.htm"] : QByteArray("min egen"));
        QCOMPARE(testsupport::ReadBytes(s.Cwd() + "/ut/läsmig.txt"), s.Files["läsmig.txt"]);
        QCOMPARE(QDir(s.Cwd() + "/ut").entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    // The command of the header: run without a shell for a program in the folder when the
    // header says to run without questions; refused for anything else.
    void command_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("options");
        QTest::addColumn<bool>("runs");
        QTest::newRow("program in the folder") << "><\\kör.sh klar" << int(SFXAutoRun) << true;
        QTest::newRow("without leave to run") << "><\\kör.sh klar" << 0 << false;
        QTest::newRow("program outside") << "/bin/sh -c \"touch klar\"" << int(SFXAutoRun) << false;
        QTest::newRow("out through the parent") << "../kör.sh klar" << int(SFXAutoRun) << false;
        QTest::newRow("not a program") << "läsmig.txt" << int(SFXAutoRun) << false;
    }
    void command() {
        QFETCH(QString, command);
        QFETCH(int, options);
        QFETCH(bool, runs);
        TSfx s;
        testsupport::WriteBytes(s.Tmp.path() + "/src/kör.sh", "#!/bin/sh\necho ja > \"$1\"\n");
        QFile::setPermissions(s.Tmp.path() + "/src/kör.sh",
                              QFile::permissions(s.Tmp.path() + "/src/kör.sh") | QFile::ExeOwner);
        testsupport::WriteBytes(s.Cwd() + "/kör.sh", "#!/bin/sh\necho ja > \"$1\"\n");
        QFile::setPermissions(s.Cwd() + "/kör.sh", QFile::permissions(s.Cwd() + "/kör.sh") | QFile::ExeOwner);
        s.Files.insert("kör.sh", {});
        s.Zip->SFXDefaultDir = QStringLiteral("ut");
        s.Zip->SFXCommandLine = command;
        s.Zip->SFXOptions = SFXOpts::fromInt(options);
        QVERIFY(s.Make());
        const TRunResult r = RunSfx(s.Exe, s.Cwd());
        QVERIFY2(r.Exit == 0, r.Out.constData());
        const QString marker = s.Cwd() + "/ut/klar";
        QElapsedTimer wait;
        wait.start();
        while (runs && !QFileInfo::exists(marker) && wait.elapsed() < 10000) QTest::qWait(50);
        QCOMPARE(QFileInfo::exists(marker), runs);
        if (!runs) {
            QVERIFY2(r.Out.contains("Kommandot kördes inte"), r.Out.constData());
            QVERIFY(!QFileInfo::exists(s.Cwd() + "/klar"));
        }
    }

    // What a user with a display sees first.
    void folderWindowPicture() {
        TSfxFolderDialog dialog(QStringLiteral("Kantareller och trattkantareller"),
                                QStringLiteral("/home/användare/Svampartiklar"), 3);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QString folder = qEnvironmentVariable("MYKO_BUILD_DIR") + "/artefacts";
        QDir().mkpath(folder);
        QVERIFY(dialog.grab().save(folder + "/sfx_folder_dialog.png"));
        QVERIFY(dialog.sizeHint().width() <= dialog.width());
    }
};

QTEST_MAIN(TestSfxStub)
#include "tst_sfxstub.moc"
