#pragma once
// Users and login. Each user is a record of the users table with an optional password and a
// settings file of their own; exactly one user is the administrator ("TOLP" in UserData).
// The logged-in user is the one record of the working table cdsCurrentUser, and every user is
// mirrored by a contact whose UserUKey points back, so that records can name their author by
// a contact key. The user screen lets users edit their own data and the administrator manage
// all users.
#include <QPointer>
#include <QString>
#include <functional>

#include "core/ExtClientDataSet.h"
#include "shell/FRScreens.h"
#include "core/UserAccounts.h"

class TDM;
class TFRIniFile;
class TframeUsers;

// What the users' units work on: the data module, the settings store and the program
// block's status window. Whatever is left unset is taken from the main window (its data
// module and its settings store). Setting it forgets the logged-in user.
struct TUserEnvironment {
    TDM* DM = nullptr;
    TFRIniFile* Settings = nullptr;
    std::function<void()> HideStatusWindow;
};
void SetUserEnvironment(const TUserEnvironment& environment);
const TUserEnvironment& UserEnvironment();
// The data module and settings store in use (raises "Datamodulen saknas" without a data
// module; the store may be nullptr).
TDM* UsersDM();
TFRIniFile* UsersSettings();

// ---- Login ----
// Logs a user in at start-up: with no users the first-user dialog creates one, who is then
// logged in; exactly one user without a password is logged in directly; else the login
// dialog asks. Returns whether a user is logged in.
bool LoginUser();

// Loads the current-user table from the users' file and moves it to the user with the given
// key, or, with no key, to the users table's current record; that user is the logged-in one
// from then on. Any failure raises "Val av inloggad användare misslyckades (SetCurrentUser)".
void SelectCurrentUser(const QString& userKey = QString());
// Whether the logged-in user is the administrator.
bool IsLoggedInAdministrator();
// The logged-in user's contact key, written into CreatedBy and like fields.
QString GetCurrentUserContactUKey();

// Mirrors the users table's current record (also while it is being edited) into the contact
// with the given key, or into a new contact when none has it, and returns the contact's key.
// Only the fields both tables have are copied, never the password or the role; the
// contact's UserUKey becomes the user's key (MirrorUserToContact on the data module's users
// and contacts). The picture file follows with MirrorUserPicture once the user's record is
// stored.
QString CopyUserToContact(const QString& contactUKey);

// ---- Keys and files ----
// The key checks (IsValidRecordKey, CheckRecordKey) are the table class's, the settings file
// of a user (GetUserSettingsFile) is core/UserAccounts.h's.
// Points the settings store at the logged-in user's settings file and opens it.
void OpenUserSettings(TFRIniFile* settings);

// ---- The user screen ----
class TFRUserScreen : public TFRMainScreen {
    Q_OBJECT
public:
    explicit TFRUserScreen(QObject* owner);
    ~TFRUserScreen() override;

    void Initialize() override;
    void CreateFrame() override;
    // Refills the user list after each activation.
    void Activate(const QString& params) override;

    TframeUsers* UsersFrame() const;
};

// The one user screen, while it exists.
extern QPointer<TFRUserScreen> FRUserScreen;
// The user screen's number on the main menu.
inline constexpr int UserScreenID = 8;
// Makes the user screen (the main window's factory for its screen slot).
TFRMainScreen* CreateUserScreen(QObject* owner);
// Registers that factory with the main window under the user screen's number, so that its
// CreateScreens makes the user screen.
void RegisterUserScreen();
