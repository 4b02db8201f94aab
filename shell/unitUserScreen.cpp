#include "shell/unitUserScreen.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "core/ExtClientDataSet.h"
#include "core/FRIniFile.h"
#include "core/unitDM.h"
#include "shell/unitFirstUser.h"
#include "shell/unitFrameUsers.h"
#include "shell/unitLogin.h"
#include "shell/unitMain.h"
#include "platform/AtomicFile.h"
#include "platform/DataSetScopes.h"
#include "platform/Exception.h"
#include "platform/UIServices.h"

QPointer<TFRUserScreen> FRUserScreen;

namespace {

TUserEnvironment g_environment;

TDM* DM() { return UsersDM(); }

}  // namespace

void SetUserEnvironment(const TUserEnvironment& environment) {
    g_environment = environment;
    SetLoggedInUserKey(QString());
}

const TUserEnvironment& UserEnvironment() { return g_environment; }

TDM* UsersDM() {
    if (g_environment.DM) return g_environment.DM;
    if (TformFRMain* main = MainForm(); main && main->DataModule()) return main->DataModule();
    throw Exception(QStringLiteral("Datamodulen saknas"));
}

TFRIniFile* UsersSettings() { return g_environment.Settings ? g_environment.Settings : IniFile(); }

// ---- Keys and files ----

void OpenUserSettings(TFRIniFile* settings) {
    if (!settings) return;
    settings->SetFilename(GetUserSettingsFile(LoggedInUserKey()));
    settings->Open();
}

// ---- The logged-in user ----

void SelectCurrentUser(const QString& userKey) {
    TDM* dm = nullptr;
    try {
        dm = DM();
    } catch (const Exception&) {
        // No data module: the selection below fails with its own message.
    }
    SelectCurrentUser(dm, userKey);
}

namespace {
// The current-user table on the logged-in user's record, or nullptr before a login.
TExtClientDataSet* LoggedInRecord() {
    if (LoggedInUserKey().isEmpty()) return nullptr;
    TDM* dm = nullptr;
    try {
        dm = UsersDM();
    } catch (const Exception&) {
        return nullptr;
    }
    TExtClientDataSet* current = dm->cdsCurrentUser;
    if (!current->Active() || current->State() != TDataSetState::dsBrowse) return nullptr;
    // Whoever moved the table's cursor, the answer is the logged-in user's.
    return LocateUKey(current, LoggedInUserKey()) ? current : nullptr;
}
}  // namespace

bool IsLoggedInAdministrator() {
    TExtClientDataSet* current = LoggedInRecord();
    const TField* role = current ? current->FindField(QStringLiteral("UserData")) : nullptr;
    return role && role->AsString() == QLatin1String(AdministratorMark);
}

QString GetCurrentUserContactUKey() {
    TExtClientDataSet* current = LoggedInRecord();
    const TField* field = current ? current->FindField(QStringLiteral("ContactUKey")) : nullptr;
    return field ? field->AsString() : QString();
}

// ---- The contact mirror ----

QString CopyUserToContact(const QString& contactUKey) {
    TDM* dm = DM();
    return MirrorUserToContact(dm->cdsUsers, dm->cdsContacts, contactUKey);
}

// ---- Login ----

bool LoginUser() {
    TDM* dm = DM();
    TExtClientDataSet* users = dm->cdsUsers;
    QString createdKey;
    if (users->IsEmpty()) {
        if (g_environment.HideStatusWindow) g_environment.HideStatusWindow();
        TformCreateFirstUser form;
        if (UIServices::ExecDialog(&form) != QDialog::Accepted) {
            // The user's own choice, not a failure: said plainly, not as an error.
            UIServices::MessageBox(UIServices::TMsgIcon::Information, UIServices::TMsgButtons::OK,
                                   QStringLiteral("Mykotekshallen"),
                                   QStringLiteral("Inmatning av första användare avbruten. Programmet avslutas."));
            return false;
        }
        createdKey = form.CreatedUserKey();
    }
    if (users->RecordCount() == 1 && users->FieldByName(QStringLiteral("Password"))->AsString().isEmpty()) {
        users->First();
        SelectCurrentUser();
        return true;
    }
    if (g_environment.HideStatusWindow) g_environment.HideStatusWindow();
    if (!createdKey.isEmpty()) {
        SelectCurrentUser(createdKey);
        // The user was stored a moment ago.
        static_cast<void>(LocateUKey(users, createdKey));
        return true;
    }
    TformLoginUser form;
    return UIServices::ExecDialog(&form) == QDialog::Accepted;
}

// ---- The user screen ----

TFRUserScreen::TFRUserScreen(QObject* owner) : TFRMainScreen(owner) {
    SetDataSet(UsersDM()->cdsUsers);
    FRUserScreen = this;
}

TFRUserScreen::~TFRUserScreen() = default;

void TFRUserScreen::Initialize() {
    MenuButton()->setText(QStringLiteral("Användarhantering"));
    MenuButton()->setToolTip(
        QStringLiteral("Ändra Dina personliga uppgifter, hantera användare (endast administratör)"));
    TFRMainScreen::Initialize();
}

void TFRUserScreen::CreateFrame() {
    if (Frame()) return;
    SetFrame(TFRFrameBase::Create<TframeUsers>(DataSet(), TframeUsers::TUsersMode::UserManagement));
}

void TFRUserScreen::Activate(const QString& params) {
    TFRMainScreen::Activate(params);
    if (TframeUsers* frame = UsersFrame()) {
        frame->FillUserList();
        frame->UpdateFrame();
    }
}

TframeUsers* TFRUserScreen::UsersFrame() const { return qobject_cast<TframeUsers*>(Frame()); }

TFRMainScreen* CreateUserScreen(QObject* owner) { return TFRScreen::Create<TFRUserScreen>(owner); }

void RegisterUserScreen() {
    TformFRMain::RegisterScreenFactory(ssUser, [](TformFRMain* owner) { return CreateUserScreen(owner); });
}

#include "moc_unitUserScreen.cpp"
