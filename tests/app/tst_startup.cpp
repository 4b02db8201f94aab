#include <QtTest>
#include <QDirIterator>
#include <QScopeGuard>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>

#include "core/FRIniFile.h"
#include "core/ProgramFolders.h"
#include "core/ExtClientDataSet.h"
#include "shell/UserTestSupport.h"
#include "shell/unitBrowseFolder.h"
#include "core/unitDM.h"
#include "shell/unitFirstUser.h"
#include "shell/unitFrameUsers.h"
#include "shell/unitMain.h"
#include "shell/unitSimpleInfo.h"
#include "shell/unitStartup.h"
#include "shell/unitUserScreen.h"
#include "platform/Application.h"
#include "platform/Clock.h"
#include "platform/ProgramLock.h"
#include "platform/UIServices.h"
#include "support/TestSupport.h"

#include <sys/mount.h>
#include <unistd.h>

namespace {

// A program folder of its own with the shipped files of the build's program folder.
struct ProgramFolder {
    QTemporaryDir dir;
    bool Mounted = false;  // a small file system of its own (see the full-disk test)
    // Size: a tmpfs of that size is mounted on the folder first, when the machine allows it.
    explicit ProgramFolder(const char* size = nullptr) {
        if (size && ::geteuid() == 0)
            Mounted = ::mount("tmpfs", QFile::encodeName(dir.path()).constData(), "tmpfs", 0,
                              (QByteArray("size=") + size).constData()) == 0;
        for (const char* sub : {"Data/Res", "Data/Scripts", "Data/Pics"}) {
            const QString from = testsupport::ProgramDir() + "/" + sub;
            QDirIterator it(from, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString file = it.next();
                const QString to = path(QString(sub) + "/" + QDir(from).relativeFilePath(file));
                QDir().mkpath(QFileInfo(to).absolutePath());
                QFile::copy(file, to);
            }
        }
    }
    ~ProgramFolder() {
        if (Mounted) ::umount2(QFile::encodeName(dir.path()).constData(), MNT_DETACH);
    }
    QString path(const QString& relative = QString()) const { return dir.path() + "/" + relative; }
    // Every file below the folder, relative to it.
    QStringList Files() const {
        QStringList files;
        QDirIterator it(dir.path(), QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext()) files << QDir(dir.path()).relativeFilePath(it.next());
        files.sort();
        return files;
    }
};

// The table files that start-up makes: one per table that saves itself.
QStringList TableFiles() {
    QStringList files;
    TExtClientDataSet probe;
    for (const TDM::TTableInfo& info : TDM::Catalogue()) {
        if (!info.AutoSave) continue;
        probe.setObjectName(info.TableName);
        files << "Data/Db/" + TExtClientDataSet::GetDataFileName(&probe);
    }
    return files;
}

QStringList StartupTexts(bool withUserSettings) {
    QStringList texts;
    for (const char* t :
         {TProgramBlock::InitDatabaseText, TProgramBlock::InitUserInterfaceText, TProgramBlock::SpeciesListText,
          TProgramBlock::ContactListText, TProgramBlock::PlacesPerFungiText})
        texts << QString::fromUtf8(t).section(',', 1);
    if (withUserSettings)
        for (const char* t : {TProgramBlock::UserSettingsText, TProgramBlock::SpeciesSelectionText})
            texts << QString::fromUtf8(t).section(',', 1);
    return texts;
}

// Collects the lines the status window shows, in the order they first appear. The window
// processes events after every timed text, which is when the lines are read.
class StatusRecorder : public QObject {
public:
    QStringList Seen;
    QString Shot;  // where the window is saved once it shows the texts before the login
    StatusRecorder() {
        m_timer.setInterval(0);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (!formSimpleInfo || !formSimpleInfo->isVisible()) return;
            for (const QString& line : formSimpleInfo->Lines())
                if (!Seen.contains(line)) Seen << line;
            // The window as it stands just before the login.
            if (!Shot.isEmpty() && formSimpleInfo->Lines().size() == 5) {
                formSimpleInfo->grab().save(Shot);
                Shot.clear();
            }
        });
        m_timer.start();
    }
    void Stop() { m_timer.stop(); }

private:
    QTimer m_timer;
};

QStringList ReadSettingsLines(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.readAll()).split(QRegularExpression("\r?\n"));
}

// The lines of one section of a settings file.
QStringList SectionOf(const QStringList& lines, const QString& section) {
    QStringList out;
    bool in = false;
    for (const QString& line : lines) {
        if (line.startsWith('[')) {
            in = line.compare("[" + section + "]", Qt::CaseInsensitive) == 0;
            continue;
        }
        if (in && !line.isEmpty()) out << line;
    }
    return out;
}

}  // namespace

class TestStartup : public QObject {
    Q_OBJECT

    // Boxes are answered OK and kept in the log.
    void answerBoxes() {
        UIServices::ClearMessageLog();
        UIServices::SetMessageHook([](const UIServices::TShownMessage&) { return UIServices::TMsgResult::OK; });
    }

    QStringList boxTexts() const {
        QStringList texts;
        for (const UIServices::TShownMessage& m : UIServices::MessageLog()) texts << m.Text;
        return texts;
    }

private Q_SLOTS:
    void initTestCase() {
        Clock::SetSkipWaits(true);
        TApplication::SetTitle("Mykotekshallen");
        RegisterCoreScreens();
    }
    void cleanup() {
        UIServices::SetMessageHook({});
        UIServices::SetDialogHook({});
        UIServices::ClearMessageLog();
    }

    void firstStartCreatesTheUserThenSecondStartRestores() {
        ProgramFolder folder;
        answerBoxes();
        const QRect placement(30, 20, 700, 480);
        QString userKey;

        // ---- First start: no data at all ----
        {
            int dialogs = 0;
            UIServices::SetDialogHook([&](QDialog* d) {
                ++dialogs;
                auto* form = qobject_cast<TformCreateFirstUser*>(d);
                QVERIFY(form);
                // The status window is out of the way while the user types.
                QVERIFY(!formSimpleInfo->isVisible());
                TypeInto(form->frameUsers->dbeditUserName, "Greta Gran");
                QTest::mouseClick(form->frameUsers->btnSave, Qt::LeftButton);
            });
            StatusRecorder status;
            const QString shot = testsupport::ArtefactDir() + "/statuswindow_startup.png";
            QFile::remove(shot);
            status.Shot = shot;
            TProgramBlock block(folder.path());
            QCOMPARE(block.StartUp(), TProgramBlock::TStartResult::LoggedIn);
            status.Stop();
            QVERIFY(QFileInfo::exists(shot));
            QCOMPARE(dialogs, 1);
            QCOMPARE(status.Seen, StartupTexts(true));
            QVERIFY(!block.SimpleInfo()->isVisible());
            QVERIFY(block.SimpleInfo()->Lines().isEmpty());
            QVERIFY(!QApplication::overrideCursor());
            // The one folder browser is made with the windows and waits hidden.
            QVERIFY(formBrowseFolder && !formBrowseFolder->isVisible());

            // Every table's file was made.
            for (const QString& file : TableFiles()) QVERIFY2(QFileInfo::exists(folder.path(file)), qPrintable(file));
            userKey = LoggedInUserKey();
            QVERIFY(!userKey.isEmpty());
            QCOMPARE(block.DM()->cdsUsers->RecordCount(), 1);
            QCOMPARE(block.DM()->cdsCurrentUser->FieldByName("UserData")->AsString(), QString(AdministratorMark));
            // The program folder is locked while the program runs.
            QVERIFY(QFileInfo::exists(folder.path("Data/Db/" + TProgramLock::LockFileName())));

            TformFRMain* main = block.MainForm();
            QVERIFY(!main->isVisible());
            bool checked = false;
            QTimer::singleShot(0, main, [&] {
                QVERIFY(QTest::qWaitForWindowExposed(main));
                QVERIFY(main->isEnabled());
                QCOMPARE(main->windowTitle(), QString("Mykotekshallen"));
                QCOMPARE(main->lblCurrentUser->text(), QString("Greta Gran"));
                // The stored screen number 0 has no screen yet: the holder says what to do.
                QVERIFY(!main->CurrentScreen());
                auto* hint = main->findChild<QLabel*>("lblNoScreen");
                QVERIFY(hint && hint->isVisible());
                QCOMPARE(hint->text(), QString("Välj vad Du vill göra i menyn till vänster."));
                QVERIFY(main->grab().save(testsupport::ArtefactDir() + "/mainwindow_firststart.png"));

                main->Screen(ssUser)->Navigate();
                QVERIFY(main->CurrentScreen());
                QApplication::processEvents();  // the hint goes with the first frame
                QVERIFY(!main->findChild<QLabel*>("lblNoScreen"));
                QCOMPARE(main->CurrentScreen()->ScreenID, int(ssUser));
                QVERIFY(main->grab().save(testsupport::ArtefactDir() + "/mainwindow.png"));
                main->setGeometry(placement);
                checked = true;
                // Quitting from the button goes through the window's close.
                main->sbtnQuit->click();
            });
            QCOMPARE(block.Run(), 0);
            QVERIFY(checked);
            QVERIFY(main->QuitDone());
            QVERIFY(!main->isVisible());
            QVERIFY(!IniFile());
            QVERIFY2(UIServices::MessageLog().isEmpty(), qPrintable(boxTexts().join("\n")));
        }
        QVERIFY(!QFileInfo::exists(folder.path("Data/Db/" + TProgramLock::LockFileName())));

        const QString settingsFile = folder.path("Data/Users/" + userKey + ".ini");
        const QStringList lines = ReadSettingsLines(settingsFile);
        QVERIFY(SectionOf(lines, "Settings").contains("LastVisitedScreen=8"));
        const QStringList saved = SectionOf(lines, "formFRMain");
        QVERIFY(saved.contains("Left=30"));
        QVERIFY(saved.contains("Top=20"));
        QVERIFY(saved.contains("Width=700"));
        QVERIFY(saved.contains("Height=480"));
        QVERIFY(saved.contains("WindowState=0"));
        QVERIFY(!QFileInfo::exists(folder.path("Temp/KnowBase")));

        // ---- Second start: the one user has no password and is logged in directly ----
        {
            int dialogs = 0;
            UIServices::SetDialogHook([&](QDialog*) { ++dialogs; });
            // Articles unpacked during the run are gone after it.
            const QString article = folder.path("Temp/KnowBase/020ABCDEFGHIJKLMNOP/main.htm");
            StatusRecorder status;
            TProgramBlock block(folder.path());
            QCOMPARE(block.StartUp(), TProgramBlock::TStartResult::LoggedIn);
            status.Stop();
            QCOMPARE(dialogs, 0);
            QCOMPARE(status.Seen, StartupTexts(true));
            QCOMPARE(LoggedInUserKey(), userKey);
            QCOMPARE(IniFile()->Filename(), settingsFile);

            TformFRMain* main = block.MainForm();
            bool checked = false;
            QTimer::singleShot(0, main, [&] {
                QVERIFY(QTest::qWaitForWindowExposed(main));
                QVERIFY(main->CurrentScreen());
                QCOMPARE(main->CurrentScreen()->ScreenID, int(ssUser));
                QCOMPARE(main->geometry(), placement);
                QCOMPARE(main->lblCurrentUser->text(), QString("Greta Gran"));
                QDir().mkpath(QFileInfo(article).absolutePath());
                QFile f(article);
                QVERIFY(f.open(QIODevice::WriteOnly));
                f.write("<html></html>");
                f.close();
                checked = true;
                // This time through the window's own close.
                main->close();
            });
            QCOMPARE(block.Run(), 0);
            QVERIFY(checked);
            QVERIFY(main->QuitDone());
            QVERIFY(!QFileInfo::exists(article));
            QVERIFY(UIServices::MessageLog().isEmpty());
        }
        QVERIFY(SectionOf(ReadSettingsLines(settingsFile), "Settings").contains("LastVisitedScreen=8"));
        QCOMPARE(UserFixture::FileRecordCount(folder.path("Data/Db/Users.dat")), 1);
    }

    // Closing is refused while an edit locks navigation, and the quit sequence then waits.
    void closeRefusedWhileNavigationIsLocked() {
        ProgramFolder folder;
        answerBoxes();
        UIServices::SetDialogHook([&](QDialog* d) {
            auto* form = qobject_cast<TformCreateFirstUser*>(d);
            TypeInto(form->frameUsers->dbeditUserName, "Greta");
            QTest::mouseClick(form->frameUsers->btnSave, Qt::LeftButton);
        });
        TProgramBlock block(folder.path());
        QCOMPARE(block.StartUp(), TProgramBlock::TStartResult::LoggedIn);
        TformFRMain* main = block.MainForm();
        int quitClicks = 0;
        QTimer::singleShot(0, main, [&] {
            main->SetNavigationEnabled(false);
            QVERIFY(!main->close());
            QVERIFY(main->isVisible());
            QVERIFY(!main->QuitDone());
            QVERIFY(IniFile());
            main->SetNavigationEnabled(true);
            ++quitClicks;
            main->sbtnQuit->click();
        });
        QCOMPARE(block.Run(), 0);
        QCOMPARE(quitClicks, 1);
        QVERIFY(main->QuitDone());
    }

    void cancelledFirstUserEndsTheProgram() {
        ProgramFolder folder;
        const QStringList shipped = folder.Files();
        answerBoxes();
        UIServices::SetDialogHook([&](QDialog* d) {
            auto* form = qobject_cast<TformCreateFirstUser*>(d);
            QVERIFY(form);
            TypeInto(form->frameUsers->dbeditUserName, "Halvfärdig");
            QTest::mouseClick(form->frameUsers->btnCancel, Qt::LeftButton);
        });
        {
            TProgramBlock block(folder.path());
            QCOMPARE(block.StartUp(), TProgramBlock::TStartResult::LoginFailed);
            QVERIFY(!block.MainForm());
            QVERIFY(!block.SimpleInfo());
            QVERIFY(!formSimpleInfo);
            QVERIFY(!formBrowseFolder);
            for (QWidget* w : QApplication::topLevelWidgets()) QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
        }
        QCOMPARE(UIServices::MessageLog().size(), 1);
        const UIServices::TShownMessage box = UIServices::MessageLog().first();
        QCOMPARE(box.Icon, UIServices::TMsgIcon::Information);
        QCOMPARE(box.Caption, QString("Mykotekshallen"));
        QCOMPARE(box.Text, QString("Inmatning av första användare avbruten. Programmet avslutas."));
        QVERIFY(!QApplication::overrideCursor());

        // Only the table files that start-up makes were written: no user, no settings, no lock.
        QStringList expected = shipped + TableFiles();
        expected.sort();
        QCOMPARE(folder.Files(), expected);
        QCOMPARE(UserFixture::FileRecordCount(folder.path("Data/Db/Users.dat")), 0);

        // The whole program block ends normally, without running a message loop.
        UIServices::ClearMessageLog();
        QCOMPARE(RunProgramBlock(folder.path()), 0);
        QCOMPARE(UIServices::MessageLog().size(), 1);
    }

    void cancelledLoginEndsWithoutMessage() {
        ProgramFolder folder;
        answerBoxes();
        {
            TDM dm(folder.path());
            TExtClientDataSet* users = dm.cdsUsers;
            users->Append();
            users->FieldByName("UserName")->SetAsString("Med lösen");
            users->FieldByName("Password")->SetAsString("hemligt");
            users->FieldByName("UserData")->SetAsString(AdministratorMark);
            users->Post();
        }
        answerBoxes();
        int dialogs = 0;
        UIServices::SetDialogHook([&](QDialog*) { ++dialogs; });  // left undecided: cancelled
        TProgramBlock block(folder.path());
        QCOMPARE(block.StartUp(), TProgramBlock::TStartResult::LoginFailed);
        QCOMPARE(dialogs, 1);
        QVERIFY(UIServices::MessageLog().isEmpty());
        QVERIFY(!block.MainForm());
        QVERIFY(!QFileInfo::exists(folder.path("Data/Users")));
    }

    // A second copy on the same folder is refused before it touches anything; the first
    // copy keeps its lock.
    void secondCopyIsRefused() {
        ProgramFolder folder;
        TProgramLock first(folder.path("Data/Db/"));
        QCOMPARE(first.TryLock(), TProgramLock::TResult::Locked);
        const QStringList before = folder.Files();
        answerBoxes();
        int dialogs = 0;
        UIServices::SetDialogHook([&](QDialog*) { ++dialogs; });
        {
            TProgramBlock block(folder.path());
            QCOMPARE(block.StartUp(), TProgramBlock::TStartResult::AlreadyRunning);
            QVERIFY(!block.MainForm());
        }
        QCOMPARE(dialogs, 0);
        QCOMPARE(UIServices::MessageLog().size(), 1);
        QCOMPARE(UIServices::MessageLog().first().Icon, UIServices::TMsgIcon::Error);
        // The refusal names the program folder and says what to do.
        const QString refusal = UIServices::MessageLog().first().Text;
        QCOMPARE(refusal, TProgramLock::RefusedMessage(GetProgramFolder()));
        QVERIFY(refusal.contains(QDir::toNativeSeparators(GetProgramFolder())));
        QVERIFY(refusal.contains("startad") && refusal.contains("låsfilen") && refusal.contains("avsluta det"));
        QCOMPARE(folder.Files(), before);
        QVERIFY(first.IsLocked());
        QCOMPARE(RunProgramBlock(folder.path()), 1);
    }

    // A species file that cannot be read: the data module says so once, the first selection
    // fails with its own message, every species would show, and the program starts.
    void damagedSpeciesFileStillStarts() {
        ProgramFolder folder;
        answerBoxes();
        UIServices::SetDialogHook([&](QDialog* d) {
            auto* form = qobject_cast<TformCreateFirstUser*>(d);
            TypeInto(form->frameUsers->dbeditUserName, "Greta");
            QTest::mouseClick(form->frameUsers->btnSave, Qt::LeftButton);
        });
        {
            TProgramBlock block(folder.path());
            QCOMPARE(block.StartUp(), TProgramBlock::TStartResult::LoggedIn);
            QTimer::singleShot(0, block.MainForm(), [&] { block.MainForm()->close(); });
            QCOMPARE(block.Run(), 0);
        }
        const QString fungiFile = folder.path(TableFiles().value(0));
        QVERIFY(fungiFile.contains("Fungi"));
        const QByteArray garbage("this is no table file");
        {
            QFile f(fungiFile);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(garbage);
        }
        answerBoxes();
        TProgramBlock block(folder.path());
        QCOMPARE(block.StartUp(), TProgramBlock::TStartResult::LoggedIn);
        // Reported once, by the data module; the first selection does not say it again.
        const QStringList boxes = boxTexts();
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(boxes[0].contains(QDir::toNativeSeparators(fungiFile)), qPrintable(boxes[0]));
        QVERIFY2(boxes[0].contains("är ingen tabellfil") || boxes[0].contains("är skadad"), qPrintable(boxes[0]));
        QVERIFY(block.DM()->cdsFungi->Sel().isEmpty());
        QVERIFY(block.DM()->cdsFungi->AutoSave());
        QVERIFY(!block.SimpleInfo()->isVisible());
        QVERIFY(block.MainForm()->isEnabled());
        QTimer::singleShot(0, block.MainForm(), [&] { block.MainForm()->close(); });
        QCOMPARE(block.Run(), 0);
        QFile f(fungiFile);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), garbage);
    }

    // An unreadable settings file leaves every setting at its default and start-up goes on.
    void unreadableSettingsFileGivesDefaults() {
        ProgramFolder folder;
        answerBoxes();
        UIServices::SetDialogHook([&](QDialog* d) {
            auto* form = qobject_cast<TformCreateFirstUser*>(d);
            TypeInto(form->frameUsers->dbeditUserName, "Greta");
            QTest::mouseClick(form->frameUsers->btnSave, Qt::LeftButton);
        });
        QString key;
        {
            TProgramBlock block(folder.path());
            QCOMPARE(block.StartUp(), TProgramBlock::TStartResult::LoggedIn);
            key = LoggedInUserKey();
            QTimer::singleShot(0, block.MainForm(), [&] { block.MainForm()->close(); });
            QCOMPARE(block.Run(), 0);
        }
        const QString settingsFile = folder.path("Data/Users/" + key + ".ini");
        QFile::remove(settingsFile);
        QVERIFY(QDir().mkpath(settingsFile));  // a folder where the file should be
        answerBoxes();
        TProgramBlock block(folder.path());
        QCOMPARE(block.StartUp(), TProgramBlock::TStartResult::LoggedIn);
        // Told once, with where the old file is kept.
        QCOMPARE(boxTexts(),
                 QStringList({QString::fromUtf8(FRIniUnreadableText)
                                  .arg(QDir::toNativeSeparators(settingsFile),
                                       QDir::toNativeSeparators(settingsFile + ".bak"))}));
        QCOMPARE(IniFile()->ReadInteger("Settings/LastVisitedScreen"), 0);
        QCOMPARE(block.MainForm()->QuickSelection.Complete, true);
        QCOMPARE(block.DM()->cdsFungi->Sel().join('\n'), QString("(\nStr(FungiData = \"CPLD\")\n)"));
        QVERIFY(!block.SimpleInfo()->isVisible());
    }
    // A full disk: start-up and quit go on as well as they can, and no settings file or
    // table file is emptied or cut short.
    void fullDiskShrinksNoFile() {
        ProgramFolder folder("24m");
        if (!folder.Mounted) QSKIP("needs root and mount -t tmpfs for a small file system");
        answerBoxes();
        UIServices::SetDialogHook([&](QDialog* d) {
            auto* form = qobject_cast<TformCreateFirstUser*>(d);
            TypeInto(form->frameUsers->dbeditUserName, "Greta");
            QTest::mouseClick(form->frameUsers->btnSave, Qt::LeftButton);
        });
        QString key;
        {
            TProgramBlock block(folder.path());
            QCOMPARE(block.StartUp(), TProgramBlock::TStartResult::LoggedIn);
            key = LoggedInUserKey();
            QTimer::singleShot(0, block.MainForm(), [&] { block.MainForm()->close(); });
            QCOMPARE(block.Run(), 0);
        }
        QStringList kept = TableFiles();
        kept << "Data/Users/" + key + ".ini";
        QMap<QString, QByteArray> before;
        for (const QString& file : kept) {
            before.insert(file, testsupport::ReadBytes(folder.path(file)));
            QVERIFY2(!before.value(file).isEmpty(), qPrintable(file));
        }
        {
            QFile filler(folder.path("filler"));
            QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
            const QByteArray block(65536, 'f');
            while (filler.write(block) > 0) {}
            while (filler.write("f", 1) > 0) {}
        }
        answerBoxes();
        {
            TProgramBlock block(folder.path());
            if (block.StartUp() == TProgramBlock::TStartResult::LoggedIn) {
                QTimer::singleShot(0, block.MainForm(), [&] {
                    // Something to save at quit.
                    IniFile()->WriteInteger("Settings/LastVisitedScreen", 8);
                    block.MainForm()->close();
                });
                block.Run();
            }
        }
        for (const QString& file : kept)
            QVERIFY2(testsupport::ReadBytes(folder.path(file)) == before.value(file), qPrintable(file));
        // The failed settings save was reported.
        QVERIFY2(boxTexts().join('\n').contains("disken är full"), qPrintable(boxTexts().join('\n')));
    }
    // A first start on a full disk: the users' file cannot be made, and that is what is
    // told, with its cause; nothing calls a file damaged that was never there.
    void firstStartOnAFullDiskTellsWhyTheUsersTableIsMissing() {
        ProgramFolder folder("24m");
        if (!folder.Mounted) QSKIP("needs root and mount -t tmpfs for a small file system");
        QVERIFY(QDir().mkpath(folder.path("Data/Db")));
        {
            QFile filler(folder.path("filler"));
            QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
            const QByteArray block(65536, 'f');
            while (filler.write(block) > 0) {}
            while (filler.write("f", 1) > 0) {}
        }
        answerBoxes();
        int dialogs = 0;
        UIServices::SetDialogHook([&](QDialog*) { ++dialogs; });
        {
            TProgramBlock block(folder.path());
            QCOMPARE(block.StartUp(), TProgramBlock::TStartResult::CannotStart);
        }
        QCOMPARE(dialogs, 0);
        QCOMPARE(boxTexts().size(), 1);
        const QString box = boxTexts().first();
        QVERIFY2(box.startsWith("Användartabellen kunde inte skapas, så ingen kan logga in.") &&
                     box.contains("disken är full") && !box.contains("skadad") && !box.contains("orörd"),
                 qPrintable(box));
        // No table file is left behind half made.
        for (const QString& file : TableFiles()) QVERIFY2(!QFileInfo::exists(folder.path(file)), qPrintable(file));
    }
    // A database folder that cannot be written is said once, at start, and the program ends
    // before anybody types a record that could not be saved.
    void readOnlyDatabaseFolderStopsAtStart() {
        ProgramFolder folder("24m");
        const QString db = folder.path("Data/Db");
        // One start makes the tables, then the folder becomes read-only.
        answerBoxes();
        UIServices::SetDialogHook([&](QDialog* d) {
            auto* form = qobject_cast<TformCreateFirstUser*>(d);
            TypeInto(form->frameUsers->dbeditUserName, "Greta");
            QTest::mouseClick(form->frameUsers->btnSave, Qt::LeftButton);
        });
        {
            TProgramBlock block(folder.path());
            QCOMPARE(block.StartUp(), TProgramBlock::TStartResult::LoggedIn);
            QTimer::singleShot(0, block.MainForm(), [&] { block.MainForm()->close(); });
            QCOMPARE(block.Run(), 0);
        }
        const bool remounted = folder.Mounted &&
            ::mount("tmpfs", QFile::encodeName(folder.path()).constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) ==
                0;
        if (!remounted) {
            if (::geteuid() == 0) QSKIP("root writes everywhere and no read-only mount could be made");
            QVERIFY(QFile::setPermissions(db, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        }
        const auto writable = qScopeGuard([&] {
            if (remounted)
                ::mount("tmpfs", QFile::encodeName(folder.path()).constData(), "tmpfs", MS_REMOUNT, nullptr);
            else
                QFile::setPermissions(db, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        });
        const QStringList before = folder.Files();
        answerBoxes();
        int dialogs = 0;
        UIServices::SetDialogHook([&](QDialog*) { ++dialogs; });
        {
            TProgramBlock block(folder.path());
            QCOMPARE(block.StartUp(), TProgramBlock::TStartResult::CannotStart);
            QVERIFY(!block.MainForm());
        }
        QCOMPARE(dialogs, 0);
        QCOMPARE(boxTexts().size(), 1);
        QVERIFY2(boxTexts().first().contains("startas därför inte") || boxTexts().first().contains("startas inte"),
                 qPrintable(boxTexts().first()));
        QCOMPARE(folder.Files(), before);
        QCOMPARE(RunProgramBlock(folder.path()), 1);
    }
    // The status window stays above all other windows: while a start-up box shows, it is out
    // of the way, and when the start goes on after the box it is back. The damaged users
    // table's box is shown for real once and saved as a picture.
    void startupBoxesAreNotCovered_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<bool>("realBox");
        QTest::addColumn<bool>("goesOn");
        QTest::newRow("damaged users table") << "Users" << false << false;
        QTest::newRow("damaged users table, the box itself") << "Users" << true << false;
        QTest::newRow("damaged species table") << "Fungi" << false << true;
    }
    void startupBoxesAreNotCovered() {
        QFETCH(QString, table);
        QFETCH(bool, realBox);
        QFETCH(bool, goesOn);
        ProgramFolder folder;
        answerBoxes();
        UIServices::SetDialogHook([&](QDialog* d) {
            auto* form = qobject_cast<TformCreateFirstUser*>(d);
            TypeInto(form->frameUsers->dbeditUserName, "Greta");
            QTest::mouseClick(form->frameUsers->btnSave, Qt::LeftButton);
        });
        {
            TProgramBlock block(folder.path());
            QCOMPARE(block.StartUp(), TProgramBlock::TStartResult::LoggedIn);
            QTimer::singleShot(0, block.MainForm(), [&] { block.MainForm()->close(); });
            QCOMPARE(block.Run(), 0);
        }
        QString file;
        for (const QString& f : TableFiles())
            if (QFileInfo(f).baseName() == table) file = folder.path(f);
        QVERIFY(!file.isEmpty());
        QVERIFY(testsupport::WriteBytes(file, QByteArray("SQLite format 3\0 but the rest is gone", 38)));

        // Whether the status window stood visible at each box, and at each status text.
        QList<bool> atBoxes;
        QStringList boxes;
        answerBoxes();
        UIServices::SetMessageHook([&](const UIServices::TShownMessage& m) {
            atBoxes << (formSimpleInfo && formSimpleInfo->isVisible());
            boxes << m.Text;
            return UIServices::TMsgResult::OK;
        });
        QTimer poll;
        const QString shot = testsupport::ArtefactDir() + "/startup_damaged_users.png";
        if (realBox) {
            UIServices::SetMessageHook({});
            QFile::remove(shot);
            poll.setInterval(20);
            connect(&poll, &QTimer::timeout, this, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (!box || !box->isVisible()) return;
                atBoxes << (formSimpleInfo && formSimpleInfo->isVisible());
                boxes << box->text();
                // The screen as the user sees it: every visible window where it stands, those
                // kept on top drawn last, over the others.
                QImage screen(QGuiApplication::primaryScreen()->geometry().size(), QImage::Format_RGB32);
                screen.fill(QColor(40, 60, 40));
                QList<QWidget*> windows;
                for (QWidget* w : QApplication::topLevelWidgets())
                    if (w->isVisible()) windows << w;
                std::stable_sort(windows.begin(), windows.end(), [](QWidget* a, QWidget* b) {
                    return !(a->windowFlags() & Qt::WindowStaysOnTopHint) &&
                        (b->windowFlags() & Qt::WindowStaysOnTopHint);
                });
                {
                    QPainter painter(&screen);
                    for (QWidget* w : windows) painter.drawPixmap(w->geometry().topLeft(), w->grab());
                }
                if (!QFileInfo::exists(shot)) {
                    screen.save(shot);
                    box->grab().save(testsupport::ArtefactDir() + "/startup_damaged_users_box.png");
                }
                box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok)->click() : box->accept();
                if (box->isVisible()) box->done(0);
            });
            poll.start();
        }
        StatusRecorder status;
        {
            TProgramBlock block(folder.path());
            const auto result = block.StartUp();
            status.Stop();
            QCOMPARE(result, goesOn ? TProgramBlock::TStartResult::LoggedIn : TProgramBlock::TStartResult::CannotStart);
            if (goesOn) {
                QTimer::singleShot(0, block.MainForm(), [&] { block.MainForm()->close(); });
                QCOMPARE(block.Run(), 0);
            }
        }
        poll.stop();
        QVERIFY2(!boxes.isEmpty(), "no box was shown");
        QCOMPARE(atBoxes, QList<bool>(boxes.size(), false));
        QVERIFY2(boxes.first().contains(QDir::toNativeSeparators(file)), qPrintable(boxes.first()));
        // After the box the start went on with the status window showing its texts.
        if (goesOn) QCOMPARE(status.Seen, StartupTexts(true));
        if (realBox) QVERIFY(QFileInfo::exists(shot));
    }

    // A damaged users table is reported as damaged, not greeted as a new install, and the
    // program ends with a failure.
    void damagedUsersTableStopsTheStart() {
        ProgramFolder folder;
        answerBoxes();
        UIServices::SetDialogHook([&](QDialog* d) {
            auto* form = qobject_cast<TformCreateFirstUser*>(d);
            TypeInto(form->frameUsers->dbeditUserName, "Greta");
            QTest::mouseClick(form->frameUsers->btnSave, Qt::LeftButton);
        });
        {
            TProgramBlock block(folder.path());
            QCOMPARE(block.StartUp(), TProgramBlock::TStartResult::LoggedIn);
            QTimer::singleShot(0, block.MainForm(), [&] { block.MainForm()->close(); });
            QCOMPARE(block.Run(), 0);
        }
        QString usersFile;
        for (const QString& file : TableFiles())
            if (file.contains("Users")) usersFile = folder.path(file);
        QVERIFY(!usersFile.isEmpty());
        const QByteArray garbage("SQLite format 3\0 but the rest is gone", 38);
        QVERIFY(testsupport::WriteBytes(usersFile, garbage));
        answerBoxes();
        int dialogs = 0;
        UIServices::SetDialogHook([&](QDialog*) { ++dialogs; });
        {
            TProgramBlock block(folder.path());
            QCOMPARE(block.StartUp(), TProgramBlock::TStartResult::CannotStart);
            QVERIFY(!block.MainForm());
        }
        QCOMPARE(dialogs, 0);  // no first-user dialog
        QCOMPARE(boxTexts().size(), 1);
        const QString box = boxTexts().first();
        QVERIFY2(box.startsWith("Användartabellen kunde inte öppnas"), qPrintable(box));
        QVERIFY2(box.contains(QDir::toNativeSeparators(usersFile)), qPrintable(box));
        QCOMPARE(testsupport::ReadBytes(usersFile), garbage);
        answerBoxes();
        QCOMPARE(RunProgramBlock(folder.path()), 1);
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
