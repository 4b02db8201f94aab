#pragma once
// The users' data rules, without a form: the settings file of a user, the contact that mirrors
// each user, handing the administrator role on, and the rules a user's record is saved by
// (unique name, repeated password, role, contact mirror, picture files). The users' frame
// calls them and only puts the focus where a refusal points.
#include <QString>
#include <functional>

#include "core/PendingFile.h"
#include "platform/Exception.h"

class TClientDataSet;
class TDM;

// The role marker of the administrator in UserData.
inline constexpr const char* AdministratorMark = "TOLP";

// The key of the logged-in user, remembered at login; empty before.
QString LoggedInUserKey();
void SetLoggedInUserKey(const QString& key);
// Loads the data module's current-user table from the users' file and moves it to the user
// with the given key, or, with no key, to the users table's current record; that user is the
// logged-in one from then on. Any failure (no data module among them) raises "Val av
// inloggad användare misslyckades (SetCurrentUser)".
void SelectCurrentUser(TDM* dm, const QString& userKey);

// The settings file of a user: "Data/Users/<key>.ini" under the program folder; raises
// "Ogiltig postnyckel "%s"" for a key that is not a user key.
QString GetUserSettingsFile(const QString& userKey);

// Mirrors the users table's current record (also while it is being edited) into the contact
// with the given key, or into a new contact when none has it, and returns the contact's key.
// Only the fields both tables have are copied, never the password or the role; the
// contact's UserUKey becomes the user's key.
QString MirrorUserToContact(TClientDataSet* users, TClientDataSet* contacts, const QString& contactUKey);
// The contact's picture file becomes a copy of the user's (or goes when the user has none).
void MirrorUserPicture(const QString& userKey, const QString& contactKey, bool hasPic);

// Takes the role from the old administrator, now that the new one holds it. When that fails
// the new one gives it back, so that there is never more than one, and
// "Byte av administratör misslyckades" is raised. The users table ends on the new one.
void HandOverAdministrator(TClientDataSet* users, const QString& oldAdminKey, const QString& newAdminKey);

// A save refused for an entry the user must correct; the record stays in its edit.
class TUserSaveRefused : public Exception {
public:
    enum class TEntry { UserName, Password };
    TUserSaveRefused(TEntry entry, QString message) : Exception(std::move(message)), m_entry(entry) {}
    TEntry Entry() const { return m_entry; }

private:
    TEntry m_entry;
};

// What saving a user's record needs besides the record.
struct TUserSaveRequest {
    TClientDataSet* Users = nullptr;  // in edit or insert on the user
    TClientDataSet* Contacts = nullptr;  // the contact mirror; none when nullptr
    QString RepeatedPassword;  // what the repeat edit holds
    // An earlier mismatch that neither edit was typed in since: refused again, because the
    // stored password put back would otherwise pass as a match.
    bool PasswordRefused = false;
    // The role: the first user always becomes the administrator; in user management the
    // administrator choice decides where it is shown, else the user keeps the role.
    enum class TRole { Administrator, Choice, Keep };
    TRole Role = TRole::Keep;
    bool AdministratorChosen = false;  // TRole::Choice: the hand-over to this user
    QString LoggedInUserKey;  // who gives the role away on a hand-over
    // The user's picture file as it is to follow the record (written or removed once the
    // record is stored); none when empty.
    std::function<TPendingFile(const QString& file, bool hasPic)> PreparePicture;
};

struct TUserSaveResult {
    QString UserKey;
    QString ContactKey;
    bool HandedOver = false;
    // A failure after the record was stored (the hand-over), for the caller to raise once it
    // has left the edit.
    QString Failure;
};

// Checks and stores the users table's current record: "Användarnamn måste anges" and a name
// another user has refuse with TUserSaveRefused::TEntry::UserName; a repeat that differs
// from the password puts the stored password back and refuses with TEntry::Password
// ("Lösenordet ej korrekt upprepat"). Then the role, the contact mirror and the post; the
// picture files follow the stored record, and the role is handed over.
TUserSaveResult SaveUserRecord(const TUserSaveRequest& request);
