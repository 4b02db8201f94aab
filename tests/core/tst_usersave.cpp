#include <QtTest>
#include <memory>

#include "core/ExtClientDataSet.h"
#include "core/ProgramFolders.h"
#include "core/UserAccounts.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "platform/ClientDataSet.h"
#include "support/TestSupport.h"

// The rules a user's record is saved by, without the users' frame: the checks that refuse a
// save, the role, the contact mirror and the picture files that follow the stored record.
class TestUserSave : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TDM> m_dm;

    TExtClientDataSet* users() const { return m_dm->cdsUsers; }
    TExtClientDataSet* contacts() const { return m_dm->cdsContacts; }

    QString addUser(const QString& name, const QString& password = QString(), bool admin = false) {
        users()->Append();
        users()->FieldByName("UserName")->SetAsString(name);
        if (!password.isEmpty()) users()->FieldByName("Password")->SetAsString(password);
        if (admin) users()->FieldByName("UserData")->SetAsString(AdministratorMark);
        users()->Post();
        return GetUKey(users());
    }
    // A request as the frame makes it for the record in edit.
    TUserSaveRequest request(const QString& repeat) const {
        TUserSaveRequest r;
        r.Users = users();
        r.Contacts = contacts();
        r.RepeatedPassword = repeat;
        return r;
    }
    QString text(const QString& key, const char* field) {
        return LocateUKey(users(), key) ? users()->FieldByName(field)->AsString() : QStringLiteral("<ingen>");
    }
    // A field as the table's file has it.
    static QString fileValue(TExtClientDataSet* table, const QString& key, const char* field) {
        TClientDataSet t;
        t.LoadFromFile(table->Filename());
        const QString value = t.Locate("UKey", key) ? t.FieldByName(field)->AsString() : QStringLiteral("<ingen>");
        t.Close();
        return value;
    }

private Q_SLOTS:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        SetProgramFolder(m_dir->path());
        m_dm = std::make_unique<TDM>(m_dir->path());
        TDMServices::Install(m_dm.get());
    }
    void cleanup() {
        m_dm.reset();
        SetProgramFolder(QString());
        m_dir.reset();
    }

    // A refused save leaves the record in its edit, stores nothing and makes no contact.
    void refusals_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("repeat");
        QTest::addColumn<bool>("refusedBefore");
        QTest::addColumn<int>("entry");
        QTest::addColumn<QString>("message");
        const int name = int(TUserSaveRefused::TEntry::UserName), pw = int(TUserSaveRefused::TEntry::Password);
        const QString taken = QStringLiteral(
            "Det finns redan en användare som heter \"Åsa Öberg\". Välj ett annat "
            "namn, så att användarna kan skiljas åt.");
        QTest::newRow("no name") << ""
                                 << ""
                                 << "" << false << name << "Användarnamn måste anges";
        QTest::newRow("only blanks") << "   "
                                     << ""
                                     << "" << false << name << "Användarnamn måste anges";
        QTest::newRow("name taken, other case and blanks") << " åsa öberg "
                                                           << ""
                                                           << "" << false << name << taken;
        QTest::newRow("repeat differs") << "Nils"
                                        << "svamp"
                                        << "Svamp" << false << pw << "Lösenordet ej korrekt upprepat";
        QTest::newRow("repeat missing") << "Nils"
                                        << "svamp"
                                        << "" << false << pw << "Lösenordet ej korrekt upprepat";
        QTest::newRow("earlier mismatch not typed over") << "Nils"
                                                         << ""
                                                         << "" << true << pw << "Lösenordet ej korrekt upprepat";
    }
    void refusals() {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(QString, repeat);
        QFETCH(bool, refusedBefore);
        QFETCH(int, entry);
        QFETCH(QString, message);
        addUser(QStringLiteral("Åsa Öberg"), QString(), true);
        const int contactsBefore = contacts()->RecordCount();
        users()->Append();
        users()->FieldByName("UserName")->SetAsString(name);
        users()->FieldByName("Password")->SetAsString(password);
        TUserSaveRequest r = request(repeat);
        r.PasswordRefused = refusedBefore;
        r.Role = TUserSaveRequest::TRole::Administrator;
        int refusedEntry = -1;
        QString refusedText;
        try {
            SaveUserRecord(r);
        } catch (const TUserSaveRefused& e) {
            refusedEntry = int(e.Entry());
            refusedText = e.Message();
        }
        QCOMPARE(refusedEntry, entry);
        QCOMPARE(refusedText, message);
        QCOMPARE(users()->State(), TDataSetState::dsInsert);
        // A refused password is not kept: the new record has none until both are typed alike.
        if (entry == int(TUserSaveRefused::TEntry::Password))
            QCOMPARE(users()->FieldByName("Password")->AsString(), QString());
        QCOMPARE(contacts()->RecordCount(), contactsBefore);
        users()->Cancel();
        QCOMPARE(users()->RecordCount(), 1);
    }

    // A mismatch on a stored user puts the stored password back; a matching repeat changes it.
    void passwordChangesOnlyWhenRepeated() {
        const QString key = addUser(QStringLiteral("Nils"), QStringLiteral("gammalt"));
        QVERIFY(LocateUKey(users(), key));
        users()->Edit();
        users()->FieldByName("Password")->SetAsString("nytt");
        QVERIFY_THROWS_EXCEPTION(TUserSaveRefused, SaveUserRecord(request(QStringLiteral("nyTT"))));
        QCOMPARE(users()->FieldByName("Password")->AsString(), QStringLiteral("gammalt"));
        users()->FieldByName("Password")->SetAsString("nytt");
        SaveUserRecord(request(QStringLiteral("nytt")));
        QCOMPARE(users()->State(), TDataSetState::dsBrowse);
        QCOMPARE(fileValue(users(), key, "Password"), QStringLiteral("nytt"));
    }

    // The contact is made on the first save and kept up to date by later ones; it points back
    // to the user and never gets the password or the role.
    void contactMirrorFollowsTheUser() {
        users()->Append();
        users()->FieldByName("UserName")->SetAsString("Åsa Öberg");
        users()->FieldByName("Password")->SetAsString("hemligt");
        users()->FieldByName("EMail")->SetAsString("asa@example.se");
        TUserSaveRequest r = request(QStringLiteral("hemligt"));
        r.Role = TUserSaveRequest::TRole::Administrator;
        const TUserSaveResult first = SaveUserRecord(r);
        QVERIFY(IsValidRecordKey(first.UserKey, users()->DatasetId()));
        QVERIFY(IsValidRecordKey(first.ContactKey, contacts()->DatasetId()));
        QCOMPARE(fileValue(users(), first.UserKey, "ContactUKey"), first.ContactKey);
        QCOMPARE(fileValue(users(), first.UserKey, "UserData"), QString(AdministratorMark));
        QCOMPARE(fileValue(contacts(), first.ContactKey, "UserUKey"), first.UserKey);
        QCOMPARE(fileValue(contacts(), first.ContactKey, "EMail"), QStringLiteral("asa@example.se"));
        const int contactCount = contacts()->RecordCount();

        QVERIFY(LocateUKey(users(), first.UserKey));
        users()->Edit();
        users()->FieldByName("EMail")->SetAsString("asa@svamp.se");
        const TUserSaveResult second = SaveUserRecord(request(QStringLiteral("hemligt")));
        QCOMPARE(second.ContactKey, first.ContactKey);
        QCOMPARE(contacts()->RecordCount(), contactCount);
        QCOMPARE(fileValue(contacts(), first.ContactKey, "EMail"), QStringLiteral("asa@svamp.se"));
        QVERIFY(LocateUKey(contacts(), first.ContactKey));
        if (const TField* pw = contacts()->FindField("Password")) QCOMPARE(pw->AsString(), QString());
        if (const TField* role = contacts()->FindField("UserData")) QCOMPARE(role->AsString(), QString());
    }

    // The first user is always the administrator; a hand-over takes the role from the old one
    // in the same save; a user whose choice is not shown keeps the role.
    void role_data() {
        QTest::addColumn<int>("role");
        QTest::addColumn<bool>("chosen");
        QTest::addColumn<bool>("wasAdmin");
        QTest::addColumn<bool>("isAdmin");
        QTest::addColumn<bool>("oldStaysAdmin");
        using R = TUserSaveRequest::TRole;
        QTest::newRow("administrator") << int(R::Administrator) << false << false << true << false;
        QTest::newRow("choice: yes, hand-over") << int(R::Choice) << true << false << true << false;
        QTest::newRow("choice: no") << int(R::Choice) << false << false << false << true;
        QTest::newRow("kept: none") << int(R::Keep) << true << false << false << true;
        QTest::newRow("kept: administrator") << int(R::Keep) << false << true << true << true;
    }
    void role() {
        QFETCH(int, role);
        QFETCH(bool, chosen);
        QFETCH(bool, wasAdmin);
        QFETCH(bool, isAdmin);
        QFETCH(bool, oldStaysAdmin);
        const QString admin = addUser(QStringLiteral("Admin"), QString(), true);
        const QString other = addUser(QStringLiteral("Bo"), QString(), wasAdmin);
        QVERIFY(LocateUKey(users(), other));
        users()->Edit();
        TUserSaveRequest r = request(QString());
        r.Role = TUserSaveRequest::TRole(role);
        r.AdministratorChosen = chosen;
        r.LoggedInUserKey = admin;
        const TUserSaveResult saved = SaveUserRecord(r);
        QCOMPARE(saved.Failure, QString());
        QCOMPARE(saved.HandedOver, role == int(TUserSaveRequest::TRole::Choice) && chosen);
        QCOMPARE(fileValue(users(), other, "UserData"), isAdmin ? QString(AdministratorMark) : QString());
        if (role != int(TUserSaveRequest::TRole::Administrator))
            QCOMPARE(fileValue(users(), admin, "UserData"), oldStaysAdmin ? QString(AdministratorMark) : QString());
        // The table ends on the saved user.
        QCOMPARE(GetUKey(users()), other);
    }

    // The picture is put in place only with the stored record, and the contact gets its copy;
    // without a picture both files go.
    void pictureFilesFollowTheRecord() {
        const QString key = addUser(QStringLiteral("Nils"));
        QVERIFY(LocateUKey(users(), key));
        users()->Edit();
        users()->FieldByName("HasPic")->SetAsBoolean(true);
        TUserSaveRequest r = request(QString());
        QString asked;
        r.PreparePicture = [&](const QString& file, bool hasPic) {
            asked = file;
            TPendingFile pending;
            if (hasPic) pending.Write(file, "bild");
            return pending;
        };
        const TUserSaveResult saved = SaveUserRecord(r);
        QCOMPARE(asked, GetContactPicFile(key));
        QCOMPARE(testsupport::ReadBytes(GetContactPicFile(key)), QByteArray("bild"));
        QCOMPARE(testsupport::ReadBytes(GetContactPicFile(saved.ContactKey)), QByteArray("bild"));

        QVERIFY(LocateUKey(users(), key));
        users()->Edit();
        users()->FieldByName("HasPic")->SetAsBoolean(false);
        r.PreparePicture = [](const QString& file, bool hasPic) {
            TPendingFile pending;
            if (!hasPic) pending.Remove(file);
            return pending;
        };
        SaveUserRecord(r);
        QVERIFY(!QFileInfo::exists(GetContactPicFile(key)));
        QVERIFY(!QFileInfo::exists(GetContactPicFile(saved.ContactKey)));
    }
};

QTEST_GUILESS_MAIN(TestUserSave)
#include "tst_usersave.moc"
