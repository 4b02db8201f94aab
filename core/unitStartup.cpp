#include "core/unitStartup.h"

#include <QApplication>
#include <QCursor>
#include <QScopeGuard>

#include "core/FRIniFile.h"
#include "core/unitBrowseFolder.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "core/unitMain.h"
#include "core/unitSimpleInfo.h"
#include "core/unitUserScreen.h"
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

    // The settings file: one that cannot be read leaves everything at the defaults.
    try {
        OpenUserSettings(IniFile());
    } catch (const std::exception&) {
    }
    try {
        services->LoadQuickSelection(main->QuickSelection);
    } catch (const std::exception&) {
    }

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
            dm->cdsFungi->Close();
            addInfo(TProgramBlock::SpeciesSelectionText);
            services->BuildQuickSelection(false);
        } catch (const std::exception& e) {
            failure = QString::fromUtf8(kFirstSelectionFailed).arg(textOf(e));
            // Every species shows instead.
            try {
                services->BuildQuickSelection(true);
            } catch (const std::exception&) {
            }
        }
        // Saving is on whether the selection could be applied or not: edits of species must
        // reach the file either way.
        dm->cdsFungi->SetAutoSave(true);
    }
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

    // What the tables' start-up had to tell, once each.
    const QStringList errors = m_dm->StartupErrors();
    if (!errors.isEmpty()) TApplication::ShowException(errors.join(QStringLiteral("\n\n")));
    const QStringList notes = m_dm->StartupNotes();
    if (!notes.isEmpty()) UIServices::ShowInformation(notes.join(QStringLiteral("\n\n")));
}

TProgramBlock::TStartResult TProgramBlock::StartUp() {
    SetProgramFolder(m_programFolder);

    // A second copy on the same folder ends here, before it has touched anything.
    m_lock = std::make_unique<TProgramLock>(GetDatabaseFolder());
    if (m_lock->TryLock() == TProgramLock::TResult::HeldByOther) {
        m_lock.reset();
        UIServices::ShowError(TProgramLock::RefusedMessage());
        return TStartResult::AlreadyRunning;
    }

    CreateWindows();
    // The status window goes on every way out.
    const auto hide = qScopeGuard([] { hideInfo(); });
    {
        addInfo(InitDatabaseText);
        CreateDataModule();

        addInfo(InitUserInterfaceText);
        Step([this] { m_main->CreateScreens(); });
        // The page-layout scripts are loaded by the main window when it is shown.

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
            return 1;
        }
    } catch (const std::exception& e) {
        TApplication::ShowException(textOf(e));
    }
    return 1;
}
