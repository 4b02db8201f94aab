#include "core/UserAccounts.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QStringList>

#include "core/ExtClientDataSet.h"
#include "core/ProgramFolders.h"
#include "core/unitDM.h"
#include "platform/AtomicFile.h"
#include "platform/ClientDataSet.h"
#include "platform/DataSetScopes.h"

namespace {
QString g_loggedInKey;
}  // namespace

QString LoggedInUserKey() { return g_loggedInKey; }

void SetLoggedInUserKey(const QString& key) { g_loggedInKey = key; }

void SelectCurrentUser(TDM* dm, const QString& userKey) {
    const QString failed = QStringLiteral("Val av inloggad användare misslyckades (SetCurrentUser)");
    try {
        if (!dm) throw Exception(failed);
        TExtClientDataSet* users = dm->cdsUsers;
        TExtClientDataSet* current = dm->cdsCurrentUser;
        const QString key = userKey.isEmpty() ? GetUKey(users) : userKey;
        if (!IsValidRecordKey(key, users->DatasetId())) throw Exception(failed);
        current->SetFilename(users->Filename());
        // The file may have changed since the last load: read it afresh.
        current->CloseInternal();
        current->LoadData();
        if (!LocateUKey(current, key)) throw Exception(failed);
        g_loggedInKey = key;
    } catch (const Exception&) {
        throw Exception(failed);
    } catch (const std::exception&) {
        throw Exception(failed);
    }
}

namespace {

// The fields a user shares with their contact. The password and the role stay with the user.
bool IsMirroredField(const QString& name) {
    static const QStringList never = {QStringLiteral("UKey"), QStringLiteral("Password"), QStringLiteral("UserData"),
                                      QStringLiteral("ContactUKey")};
    for (const QString& n : never)
        if (name.compare(n, Qt::CaseInsensitive) == 0) return false;
    return true;
}

// The DatasetId that every key of a table begins with.
QString DatasetIdOf(const char* tableName) {
    const TDM::TTableInfo* info = TDM::FindTableInfo(QLatin1String(tableName));
    return info ? info->DatasetId : QString();
}
QString UsersDatasetId() { return DatasetIdOf("cdsUsers"); }
QString ContactsDatasetId() { return DatasetIdOf("cdsContacts"); }

// Two users of the same name could not be told apart in the login list.
void CheckNameIsFree(TClientDataSet* users, const QString& name) {
    const QString ownKey = users->FieldByName(QStringLiteral("UKey"))->AsString();
    const int nameField = users->FieldByName(QStringLiteral("UserName"))->Index();
    const int keyField = users->FieldByName(QStringLiteral("UKey"))->Index();
    for (int i = 0; i < users->RecordCount(); ++i) {
        if (users->RecordValue(i, keyField).toString() == ownKey) continue;
        const QString other = users->RecordValue(i, nameField).toString().trimmed();
        if (other.compare(name, Qt::CaseInsensitive) == 0)
            throw TUserSaveRefused(TUserSaveRefused::TEntry::UserName,
                                   QStringLiteral("Det finns redan en användare som heter \"%1\". Välj ett annat "
                                                  "namn, så att användarna kan skiljas åt.")
                                       .arg(other));
    }
}

}  // namespace

QString GetUserSettingsFile(const QString& userKey) {
    CheckRecordKey(userKey, UsersDatasetId());
    return KeyFilePath(GetProgramFolder(), TKeyFile::UserSettings, userKey);
}

QString MirrorUserToContact(TClientDataSet* users, TClientDataSet* contacts, const QString& contactUKey) {
    const QString userKey = GetUKey(users);
    CheckRecordKey(userKey, UsersDatasetId());

    TEditScope edit(
        contacts, !contactUKey.isEmpty() && LocateUKey(contacts, contactUKey) ? TEditScope::Edit : TEditScope::Append);
    for (int i = 0; i < users->FieldCount(); ++i) {
        const TField* from = users->Fields(i);
        if (!IsMirroredField(from->FieldName())) continue;
        TField* to = contacts->FindField(from->FieldName());
        if (!to) continue;
        if (from->IsNull())
            to->Clear();
        else
            to->SetValue(from->Value());
    }
    contacts->FieldByName(QStringLiteral("UserUKey"))->SetAsString(userKey);
    const QString key = contacts->FieldByName(QStringLiteral("UKey"))->AsString();
    CheckRecordKey(key, ContactsDatasetId());
    edit.Post();
    return key;
}

void MirrorUserPicture(const QString& userKey, const QString& contactKey, bool hasPic) {
    const QString contactPic = GetContactPicFile(contactKey);
    if (hasPic) {
        const QString userPic = GetContactPicFile(userKey);
        if (QFileInfo::exists(userPic)) CopyFileAtomically(userPic, contactPic);
    } else {
        QFile::remove(contactPic);
    }
}

void HandOverAdministrator(TClientDataSet* users, const QString& oldAdminKey, const QString& newAdminKey) {
    if (oldAdminKey.isEmpty() || oldAdminKey == newAdminKey) return;
    const QString failed = QStringLiteral("Byte av administratör misslyckades");
    const TDisabledControls quiet(users);
    // Back on the new administrator, who is stored, however the hand-over ends.
    const auto back = qScopeGuard([users, newAdminKey] { static_cast<void>(LocateUKey(users, newAdminKey)); });

    auto setRole = [users](const QString& key, const QString& value) {
        if (!LocateUKey(users, key)) throw Exception(QStringLiteral("Record with matching UKey not found"));
        TEditScope edit(users);
        users->FieldByName(QStringLiteral("UserData"))->SetAsString(value);
        edit.Post();
    };
    try {
        setRole(oldAdminKey, QString());
    } catch (const Exception&) {
        // The new administrator gives the role back, so the old one stays the only one.
        try {
            setRole(newAdminKey, QString());
        } catch (const Exception&) {}
        throw Exception(failed);
    }
}

TUserSaveResult SaveUserRecord(const TUserSaveRequest& request) {
    TClientDataSet* users = request.Users;
    users->UpdateRecord();

    const QString name = users->FieldByName(QStringLiteral("UserName"))->AsString().trimmed();
    if (name.isEmpty())
        throw TUserSaveRefused(TUserSaveRefused::TEntry::UserName, QStringLiteral("Användarnamn måste anges"));
    CheckNameIsFree(users, name);

    // A mismatch puts the password back as it is stored: a save never changes the password
    // unless it and its repeat match.
    TField* password = users->FieldByName(QStringLiteral("Password"));
    if (request.PasswordRefused || password->AsString() != request.RepeatedPassword) {
        const QVariant stored = users->State() == TDataSetState::dsInsert
            ? QVariant()
            : users->RecordValue(users->RecNo() - 1, password->Index());
        password->SetValue(stored);
        throw TUserSaveRefused(TUserSaveRefused::TEntry::Password, QStringLiteral("Lösenordet ej korrekt upprepat"));
    }

    TUserSaveResult result;
    const QString userKey = GetUKey(users);
    CheckRecordKey(userKey, UsersDatasetId());
    result.UserKey = userKey;

    TField* role = users->FieldByName(QStringLiteral("UserData"));
    bool handOver = false;
    if (request.Role == TUserSaveRequest::TRole::Administrator) {
        role->SetAsString(QLatin1String(AdministratorMark));
    } else if (request.Role == TUserSaveRequest::TRole::Choice) {
        handOver = request.AdministratorChosen;
        role->SetAsString(handOver ? QLatin1String(AdministratorMark) : QString());
    }

    const bool hasPic = users->FieldByName(QStringLiteral("HasPic"))->AsBoolean();
    // The picture waits beside its file until the record is stored.
    TPendingFile picture;
    if (request.PreparePicture) picture = request.PreparePicture(GetContactPicFile(userKey), hasPic);

    TField* contactKey = users->FieldByName(QStringLiteral("ContactUKey"));
    const QString oldContact = contactKey->AsString();
    TClientDataSet* contacts = request.Contacts;
    QString contact;
    if (contacts) {
        const bool contactExisted = !oldContact.isEmpty() && LocateUKey(contacts, oldContact);
        contact = MirrorUserToContact(users, contacts, oldContact);
        contactKey->SetAsString(contact);
        // A contact made for a user that was never stored would stand for no one, and a
        // contact of a user cannot be deleted on the contacts screen: a failing post takes
        // it away again.
        auto dropContact = qScopeGuard([&] {
            try {
                contactKey->SetAsString(oldContact);
                if (!contactExisted && LocateUKey(contacts, contact)) contacts->Delete();
            } catch (...) {}
        });
        users->Post();
        dropContact.dismiss();
    } else {
        users->Post();
    }
    result.ContactKey = contact;

    // The files follow the stored record: the user's picture, then the contact's copy of it.
    picture.Commit();
    if (contacts) MirrorUserPicture(userKey, contact, users->FieldByName(QStringLiteral("HasPic"))->AsBoolean());

    if (handOver) {
        try {
            HandOverAdministrator(users, request.LoggedInUserKey, userKey);
            result.HandedOver = true;
        } catch (const Exception& e) {
            result.Failure = e.Message();
        }
    }
    return result;
}
