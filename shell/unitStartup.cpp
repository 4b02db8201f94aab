#include "shell/unitStartup.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QScopeGuard>

#include <cerrno>
#include <unistd.h>

#include "core/FRIniFile.h"
#include "core/ProgramFolders.h"
#include "shell/unitBrowseFolder.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "shell/unitMain.h"
#include "shell/unitSimpleInfo.h"
#include "shell/unitUserScreen.h"
#include "platform/Application.h"
#include "platform/Exception.h"
#include "platform/ProgramLock.h"
#include "platform/UIServices.h"

const char* const TProgramBlock::InitDatabaseText = "200,Initierar databas-gränssnitt...";
const char* const TProgramBlock::InitUserInterfaceText = "200,Initierar användar-gränssnitt...";
const char* const TProgramBlock::SpeciesListText = "200,Sammanställer artlista...";
const char* const TProgramBlock::ContactListText = "200,Sammanställer kontaktlista...";
const char* const TProgramBlock::PlacesPerFungiText = "200,Sammanställer svampställen per art...";
const char* const TProgramBlock::UserSettingsText = "500,Läser in användarinställningar...";
const char* const TProgramBlock::SpeciesSelectionText = "100,Verkställer urval av arter...";

namespace {

const char* const kFirstSelectionFailed = "Fel vid första urval av arter. Meddelande: \"%1\"";

const char* const kUnwritableDatabase =
    "Databasmappen \"%1\" går inte att skriva i (%2). Mykotekshallen kan inte spara något där och "
    "startas därför inte. Se till att mappen och filerna i den inte är skrivskyddade, och starta "
    "sedan om.";

const char* const kNoUsersTable =
    "Användartabellen kunde inte öppnas, så ingen kan logga in. Programmet avslutas. Den skadade "
    "filen lämnas orörd; ta fram en säkerhetskopia av den eller flytta bort den för att börja om "
    "med en ny användare.";
// The users' file that was not there could not be made either: nothing is damaged.
const char* const kNoUsersTableCreated =
    "Användartabellen kunde inte skapas, så ingen kan logga in. Programmet avslutas. Orsak: %1 Se till att "
    "det finns plats på disken och att databasmappen går att skriva i, och starta sedan om.";
const char* const kNoUsersTableMigrated =
    "Användartabellen kunde inte föras över till programmets nya fältlista, så ingen kan logga in. Programmet "
    "avslutas. Filen lämnas orörd. Orsak: %1";

QString textOf(const std::exception& e) {
    if (auto* own = dynamic_cast<const Exception*>(&e)) return own->Message();
    return QString::fromUtf8(e.what());
}

void addInfo(const char* text) {
    if (formSimpleInfo) formSimpleInfo->AddInfo(QString::fromUtf8(text));
}

void hideInfo() {
    if (formSimpleInfo) formSimpleInfo->hide();
}

}  // namespace

void RegisterCoreScreens() { RegisterUserScreen(); }

// ---- The user's settings ----

void LoadUserSettings() {
    TformFRMain* main = MainForm();
    TDM* dm = main ? main->DataModule() : nullptr;
    if (!dm) return;
    TDMServices* services = TDMServices::Install(dm);

    // The settings file: one that cannot be read leaves everything at the defaults, and the
    // user is told where the old file is kept (the store writes a readable one at quit, so
    // this is said once).
    QString unreadableSettings;
    try {
        OpenUserSettings(IniFile());
    } catch (const Exception& e) {
        if (IniFile() && IniFile()->IsOpen()) unreadableSettings = e.Message();
    } catch (const std::exception&) {}
    try {
        services->LoadQuickSelection(main->QuickSelection);
    } catch (const std::exception&) {}

    TFRMainScreen* fungiScreen = main->Screen(ssFungi);
    QString failure;
    {
        // The status window goes and the species screen updates again on every way out.
        const auto unlock = qScopeGuard([&] {
            hideInfo();
            if (fungiScreen) fungiScreen->Locked = false;
        });
        addInfo(TProgramBlock::UserSettingsText);
        // No frame update while the species table is rebuilt.
        if (fungiScreen) fungiScreen->Locked = true;
        try {
            addInfo(TProgramBlock::SpeciesSelectionText);
            services->BuildQuickSelection(false);
        } catch (const std::exception& e) {
            // A table whose file the data module already reported is not reported again.
            const QString why = textOf(e);
            if (!dm->StartupErrors().join(QLatin1Char('\n')).contains(why))
                failure = QString::fromUtf8(kFirstSelectionFailed).arg(why);
            // Every species shows instead.
            try {
                services->BuildQuickSelection(true);
            } catch (const std::exception&) {}
        }
        // Saving is on whether the selection could be applied or not: edits of species must
        // reach the file either way.
        dm->cdsFungi->SetAutoSave(true);
    }
    if (!unreadableSettings.isEmpty()) UIServices::ShowWarning(unreadableSettings);
    if (!failure.isEmpty()) TApplication::ShowException(failure);
}

// ---- The program block ----

TProgramBlock::TProgramBlock(const QString& programFolder) : m_programFolder(programFolder) {}

TProgramBlock::~TProgramBlock() {
    FreeWindows();
    m_dm.reset();
}

TformFRMain* TProgramBlock::MainForm() const { return m_main.get(); }
TformSimpleInfo* TProgramBlock::SimpleInfo() const { return m_info.get(); }

template <class F>
void TProgramBlock::Step(F&& work) {
    try {
        work();
    } catch (const std::exception& e) {
        TApplication::ShowException(textOf(e));
    }
}

void TProgramBlock::CreateWindows() {
    m_main = std::make_unique<TformFRMain>();
    m_main->OnTerminate = [] { QCoreApplication::quit(); };
    m_browseFolder = std::make_unique<TformBrowseFolder>();
    formBrowseFolder = m_browseFolder.get();
    m_info = std::make_unique<TformSimpleInfo>(GetProgramVersion());
    m_info->SetMainWindow(m_main.get());
    formSimpleInfo = m_info.get();
}

void TProgramBlock::FreeWindows() {
    // Screens and frames go before the tables they show.
    m_main.reset();
    m_info.reset();
    formBrowseFolder = nullptr;
    m_browseFolder.reset();
}

void TProgramBlock::CreateDataModule() {
    m_dm = std::make_unique<TDM>(GetProgramFolder());
    m_main->SetDataModule(m_dm.get());
    TDMServices* services = TDMServices::Install(m_dm.get());
    TDMServiceHooks& hooks = services->Hooks;
    hooks.QuickSelection = &m_main->QuickSelection;
    hooks.Settings = IniFile();
    hooks.SetBusyCursor = [](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };
    hooks.UpdateFungiScreen = [] {
        if (TformFRMain* main = ::MainForm())
            if (TFRMainScreen* screen = main->Screen(ssFungi)) screen->UpdateFrame();
    };

    TUserEnvironment environment;
    environment.DM = m_dm.get();
    environment.Settings = IniFile();
    environment.HideStatusWindow = [] { hideInfo(); };
    SetUserEnvironment(environment);

    // What the tables' start-up had to tell, once each. Without the users table nobody can
    // log in, and an empty stand-in would pass for a new install: that is said first.
    QStringList errors = m_dm->StartupErrors();
    if (UsersTableFailed()) {
        const TDM::TStartupResult users = m_dm->StartupResult(QStringLiteral("cdsUsers"));
        using TStep = TDM::TStartupResult::TStep;
        errors.prepend(users.FailedStep == TStep::Creating ? QString::fromUtf8(kNoUsersTableCreated).arg(users.Cause)
                           : users.FailedStep == TStep::Migrating
                           ? QString::fromUtf8(kNoUsersTableMigrated).arg(users.Cause)
                           : QString::fromUtf8(kNoUsersTable));
    }
    if (!errors.isEmpty()) TApplication::ShowException(errors.join(QStringLiteral("\n\n")));
    const QStringList notes = m_dm->StartupNotes();
    if (!notes.isEmpty()) UIServices::ShowInformation(notes.join(QStringLiteral("\n\n")));
}

QString UnwritableDatabase(const QString& folder) {
    const auto problem = [&](const QString& path) {
        const QString why = errno == EROFS ? QStringLiteral("skrivskyddat filsystem")
                                           : QStringLiteral("skrivskyddad: \"%1\"").arg(QDir::toNativeSeparators(path));
        return QString::fromUtf8(kUnwritableDatabase).arg(QDir::toNativeSeparators(folder), why);
    };
    if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0) return problem(folder);
    const QFileInfoList files = QDir(folder).entryInfoList({QStringLiteral("*.dat")}, QDir::Files);
    for (const QFileInfo& file : files)
        if (::access(QFile::encodeName(file.absoluteFilePath()).constData(), W_OK) != 0)
            return problem(file.absoluteFilePath());
    return QString();
}

bool TProgramBlock::UsersTableFailed() const {
    return m_dm && m_dm->StartupResult(QStringLiteral("cdsUsers")).Outcome == TDM::TStartupOutcome::Failed;
}

TProgramBlock::TStartResult TProgramBlock::StartUp() {
    SetProgramFolder(m_programFolder);

    // A second copy on the same folder ends here, before it has touched anything.
    m_lock = std::make_unique<TProgramLock>(GetDatabaseFolder());
    switch (m_lock->TryLock()) {
        case TProgramLock::TResult::Locked:
            break;
        case TProgramLock::TResult::HeldByOther:
            m_lock.reset();
            UIServices::ShowError(TProgramLock::RefusedMessage(GetProgramFolder()));
            return TStartResult::AlreadyRunning;
        case TProgramLock::TResult::NotPossible: {
            // Without the lock nothing keeps a second copy off the same data.
            const QString lockFile = m_lock->FileName();
            m_lock.reset();
            UIServices::ShowError(TProgramLock::NotPossibleMessage(lockFile));
            return TStartResult::CannotStart;
        }
    }
    // Said once, here, rather than as a failed save after the user has typed a record.
    if (const QString problem = UnwritableDatabase(GetDatabaseFolder()); !problem.isEmpty()) {
        m_lock.reset();
        UIServices::ShowError(problem);
        return TStartResult::CannotStart;
    }

    CreateWindows();
    // The status window goes on every way out.
    const auto hide = qScopeGuard([] { hideInfo(); });
    {
        addInfo(InitDatabaseText);
        CreateDataModule();
        if (UsersTableFailed()) {
            hideInfo();
            FreeWindows();
            return TStartResult::CannotStart;
        }

        addInfo(InitUserInterfaceText);
        Step([this] { m_main->CreateScreens(); });
        // Once, here: a damaged script file is told once, not again each time the window shows.
        Step([this] { m_main->LoadScripts(); });

        addInfo(SpeciesListText);
        Step([this] { m_main->BuildSpeciesNameList(); });
        addInfo(ContactListText);
        Step([this] { m_main->BuildContactNameList(); });
        addInfo(PlacesPerFungiText);
        Step([this] { TDMServices::Install(m_dm.get())->BuildPlacesPerFungi(); });

        if (!LoginUser()) {
            hideInfo();
            FreeWindows();
            return TStartResult::LoginFailed;
        }
        LoadUserSettings();
    }
    return TStartResult::LoggedIn;
}

int TProgramBlock::Run() {
    if (!m_main) return 0;
    m_main->show();
    return QCoreApplication::exec();
}

int RunProgramBlock(const QString& programFolder) {
    try {
        TProgramBlock block(programFolder);
        switch (block.StartUp()) {
            case TProgramBlock::TStartResult::LoggedIn:
                return block.Run();
            case TProgramBlock::TStartResult::LoginFailed:
                return 0;
            case TProgramBlock::TStartResult::AlreadyRunning:
            case TProgramBlock::TStartResult::CannotStart:
                return 1;
        }
    } catch (const std::exception& e) {
        TApplication::ShowException(textOf(e));
    }
    return 1;
}
