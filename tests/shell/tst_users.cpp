#include <QtTest>
#include <QToolTip>

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>

#include "ScreenTestHost.h"
#include "support/TestSupport.h"
#include "UserTestSupport.h"
#include "shell/unitFrameUsers.h"
#include "platform/Exception.h"

using UIServices::TMsgIcon;
using UIServices::TMsgResult;

namespace {

// The user screen in a stand-in main window, with the administrator Anna logged in and one
// more user, Bertil.
struct ScreenFixture : UserFixture {
    std::unique_ptr<TestMainWindow> window;
    QString anna, bertil;
    TFRUserScreen* screen = nullptr;

    explicit ScreenFixture(bool loginAsAdmin = true) {
        anna = AddUser("Anna", "anna", true);
        bertil = AddUser("Bertil", "svamp");
        window = std::make_unique<TestMainWindow>();
        window->show();
        screen = static_cast<TFRUserScreen*>(CreateUserScreen(window.get()));
        QVERIFY(LocateUKey(Users(), loginAsAdmin ? anna : bertil));
        SelectCurrentUser();
        screen->Activate(QString());
    }
    ~ScreenFixture() { window.reset(); }
    TframeUsers* Frame() const { return screen->UsersFrame(); }
    QStringList ListEntries() const {
        QStringList entries;
        for (int i = 0; i < Frame()->listboxUsers->count(); ++i) entries << Frame()->listboxUsers->item(i)->text();
        return entries;
    }
    void Choose(const QString& key) {
        const int row = Users()->FindRecordIndex("UKey", key);
        QVERIFY(row >= 0);
        Frame()->listboxUsers->setCurrentRow(row);
        QCOMPARE(GetUKey(Users()), key);
    }
    QStringList AdminsInFile() const { return FileKeysWhere(UsersFile(), "UserData", "TOLP"); }
    QString Message(const std::function<void()>& action) {
        try {
            action();
        } catch (const Exception& e) {
            return e.Message();
        }
        return QString();
    }
};

QString WriteBitmap(const QString& folder, const QString& name, QSize size, QColor colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    const QString path = folder + "/" + name;
    image.save(path, "BMP");
    return path;
}

}  // namespace

class TestUsers : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void screen_registeredAsUserScreen();
    void mainWindow_createsUserScreenInItsSlot();
    void userList_administratorAndOthers();
    void newUser_mirroredByContact();
    void mirror_copiesOnlySharedFields_andIsUpdated();
    void reselect_keepsLoggedInUser();
    void editing_fillsRepeatWithStoredPassword();
    void passwordMismatch_keepsTheStoredPassword_data();
    void passwordMismatch_keepsTheStoredPassword();
    void missingName_leavesRecordInEdit();
    void tooLongName_refusedWithMessage();
    void duplicateName_refused_data();
    void duplicateName_refused();
    void adminChoice_visibility_data();
    void adminChoice_visibility();
    void administrator_keepsRoleEditingOwnRecord();
    void handOver_movesTheRole();
    void handOver_changedMind_keepsRole();
    void handOver_failure_leavesOneAdministrator();
    void delete_confirmedAndClearsContactLink_data();
    void delete_confirmedAndClearsContactLink();
    void delete_notOfferedForSelfOrLastUser();
    void pictures_fromFile_savedAndMirrored();
    void pictures_fromClipboard();
    void pictures_removed_deletesFiles();
    void cancel_newUser_unlocksAndForgets();
    void failedSave_leavesNoContactBehind();
    void failedSave_leavesTheOldPicture();
};

void TestUsers::screen_registeredAsUserScreen() {
    ScreenFixture f;
    QCOMPARE(f.screen->MenuButton()->text(), QString("Användarhantering"));
    QCOMPARE(f.screen->MenuButton()->toolTip(),
             QString("Ändra Dina personliga uppgifter, hantera användare (endast administratör)"));
    QCOMPARE(f.screen->DataSet(), static_cast<TClientDataSet*>(f.Users()));
    QCOMPARE(FRUserScreen.data(), f.screen);
    QVERIFY(f.Frame());
    QCOMPARE(f.Frame()->Mode(), TframeUsers::TUsersMode::UserManagement);
    QVERIFY(f.Frame()->pagesUsers->currentWidget() == f.Frame()->tabsUserlist);
    QCOMPARE(ScreenHost()->CurrentScreen(), static_cast<TFRMainScreen*>(f.screen));
    f.window->resize(1000, 600);
    f.Choose(f.bertil);
    f.Frame()->btnEditUserClick();
    f.window->grab().save(testsupport::ArtefactDir() + "/users_screen.png");
    f.Frame()->btnCancelClick();
}

void TestUsers::mainWindow_createsUserScreenInItsSlot() {
    UserFixture f;
    f.AddUser("Anna", QString(), true);
    UserFixture::AnswerBoxes(TMsgResult::OK);  // the test folder has no district file
    // Left unset, the data module and the settings store are the main window's.
    SetUserEnvironment({});
    {
        TformFRMain main;
        main.SetDataModule(f.dm.get());
        QCOMPARE(UsersDM(), f.dm.get());
        QCOMPARE(UsersSettings(), IniFile());
        QVERIFY(LoginUser());

        TformFRMain::ClearScreenFactories();
        RegisterUserScreen();
        main.CreateScreens();
        auto* screen = qobject_cast<TFRUserScreen*>(main.Screen(UserScreenID));
        QVERIFY(screen);
        QCOMPARE(screen->ScreenID, 8);
        QCOMPARE(screen->parent(), &main);
        QCOMPARE(screen->MenuButton()->text(), QString("Användarhantering"));
        screen->Navigate();
        QVERIFY(screen->UsersFrame());
        QCOMPARE(screen->UsersFrame()->parentWidget(), main.panelScreenHolder);
        QCOMPARE(screen->UsersFrame()->listboxUsers->count(), 1);
    }
    TformFRMain::ClearScreenFactories();
}

void TestUsers::userList_administratorAndOthers() {
    {
        ScreenFixture f;
        QCOMPARE(f.Frame()->lblUserList->text(), QString("Registrerade användare:"));
        QCOMPARE(f.ListEntries(), QStringList({"Anna (administratör)", "Bertil"}));
        QVERIFY(f.Frame()->btnNewUser->isEnabled());
        QVERIFY(f.Frame()->btnEditUser->isEnabled());
        f.Choose(f.bertil);
        QCOMPARE(f.Frame()->dbeditUserName->text(), QString("Bertil"));
    }
    {
        ScreenFixture f(false);  // Bertil logged in
        QVERIFY(!IsLoggedInAdministrator());
        QCOMPARE(f.Frame()->lblUserList->text(), QString("Inloggad användare:"));
        QCOMPARE(f.ListEntries(), QStringList({"Bertil"}));
        QCOMPARE(GetUKey(f.Users()), f.bertil);
        QVERIFY(!f.Frame()->btnNewUser->isEnabled());
        QVERIFY(!f.Frame()->btnDeleteUser->isEnabled());
        // Users edit their own data.
        QVERIFY(f.Frame()->btnEditUser->isEnabled());
        f.Frame()->btnNewUserClick();
        QCOMPARE(f.Users()->State(), TDataSetState::dsBrowse);
    }
}

void TestUsers::newUser_mirroredByContact() {
    ScreenFixture f;
    TframeUsers* frame = f.Frame();
    frame->btnNewUserClick();
    QCOMPARE(f.Users()->State(), TDataSetState::dsInsert);
    QCOMPARE(f.ListEntries().last(), QString("Ny användare..."));
    QVERIFY(!ScreenHost()->NavigationEnabled());
    QVERIFY(!frame->listboxUsers->isEnabled());

    TypeInto(frame->dbeditUserName, "Cecilia Champinjon");
    TypeInto(frame->dbeditPassword, "Fluga");
    TypeInto(frame->editRepeatPassword, "Fluga");
    QTest::mouseClick(frame->btnSave, Qt::LeftButton);

    QCOMPARE(f.Users()->State(), TDataSetState::dsBrowse);
    QVERIFY(ScreenHost()->NavigationEnabled());
    QCOMPARE(f.ListEntries(), QStringList({"Anna (administratör)", "Bertil", "Cecilia Champinjon"}));
    const QString cecilia = GetUKey(f.Users());
    QCOMPARE(f.Users()->FieldByName("UserName")->AsString(), QString("Cecilia Champinjon"));
    QVERIFY(f.Users()->FieldByName("UserData")->AsString().isEmpty());
    QCOMPARE(f.FileValue(f.UsersFile(), cecilia, "Password").toString(), QString("Fluga"));

    const QString contact = f.FileValue(f.UsersFile(), cecilia, "ContactUKey").toString();
    QVERIFY(IsValidRecordKey(contact, "060"));
    QCOMPARE(f.FileValue(f.ContactsFile(), contact, "UserUKey").toString(), cecilia);
    QCOMPARE(f.FileValue(f.ContactsFile(), contact, "UserName").toString(), QString("Cecilia Champinjon"));
    // Still Anna at the keyboard.
    QCOMPARE(LoggedInUserKey(), f.anna);
    QCOMPARE(GetUKey(f.dm->cdsCurrentUser), f.anna);
}

void TestUsers::mirror_copiesOnlySharedFields_andIsUpdated() {
    ScreenFixture f;
    TframeUsers* frame = f.Frame();
    f.Choose(f.bertil);
    frame->btnEditUserClick();
    TypeInto(frame->dbeditAddress, "Skogsvägen 1");
    TypeInto(frame->dbeditPostalAddress, "123 45 Svampby");
    TypeInto(frame->dbeditEMail, "bertil@example.se");
    TypeInto(frame->dbeditBirthYear, "1961");
    TypeInto(frame->dbeditTelephoneMobile, "070-123");
    QTest::mouseClick(frame->dblockAddress, Qt::LeftButton);
    QTest::mouseClick(frame->multicFungiKnowledge, Qt::LeftButton, {},
                      frame->multicFungiKnowledge->ItemRect(2).center());
    frame->btnSaveClick();

    const QString contact = f.Users()->FieldByName("ContactUKey")->AsString();
    QVERIFY(!contact.isEmpty());
    const QString file = f.ContactsFile();
    QCOMPARE(f.FileValue(file, contact, "Address").toString(), QString("Skogsvägen 1"));
    QCOMPARE(f.FileValue(file, contact, "PostalAddress").toString(), QString("123 45 Svampby"));
    QCOMPARE(f.FileValue(file, contact, "EMail").toString(), QString("bertil@example.se"));
    QCOMPARE(f.FileValue(file, contact, "BirthYear").toInt(), 1961);
    QCOMPARE(f.FileValue(file, contact, "TelephoneMobile").toString(), QString("070-123"));
    QCOMPARE(f.FileValue(file, contact, "AddressLocked").toBool(), true);
    QCOMPARE(f.FileValue(file, contact, "FungiKnowledge").toInt(), 2);
    // The choice shows each user's own knowledge: none stored is none chosen.
    f.Choose(f.anna);
    QCOMPARE(frame->multicFungiKnowledge->SelectedCount(), 0);
    f.Choose(f.bertil);
    QCOMPARE(frame->multicFungiKnowledge->SelectionOrder(), QList<int>({2}));
    QCOMPARE(f.FileValue(file, contact, "UserUKey").toString(), f.bertil);
    // The contact has no password or role of its own to take them.
    QVERIFY(!f.Contacts()->FindField("Password"));
    QVERIFY(!f.Contacts()->FindField("UserData"));
    QCOMPARE(f.FileValue(f.UsersFile(), f.bertil, "Password").toString(), QString("svamp"));

    // A later save updates the same contact.
    const int contacts = f.Contacts()->RecordCount();
    frame->btnEditUserClick();
    TypeInto(frame->dbeditUserName, "Bertil Blek");
    frame->btnSaveClick();
    QCOMPARE(f.Contacts()->RecordCount(), contacts);
    QCOMPARE(f.Users()->FieldByName("ContactUKey")->AsString(), contact);
    QCOMPARE(f.FileValue(file, contact, "UserName").toString(), QString("Bertil Blek"));
    QCOMPARE(f.ListEntries(), QStringList({"Anna (administratör)", "Bertil Blek"}));
    // The user is the contact's one use, however often the mirror is written.
    QCOMPARE(f.FileValue(file, contact, "RefCount").toInt(), 1);
    QVERIFY(LocateUKey(f.Contacts(), contact));
    QCOMPARE(f.Contacts()->FieldByName("RefCount")->AsInteger(), 1);
}

void TestUsers::reselect_keepsLoggedInUser() {
    ScreenFixture f;
    TframeUsers* frame = f.Frame();
    f.Choose(f.bertil);
    frame->btnEditUserClick();
    TypeInto(frame->dbeditEMail, "b@example.se");
    frame->btnSaveClick();
    // The list stays on the edited user; the logged-in user stays Anna.
    QCOMPARE(GetUKey(f.Users()), f.bertil);
    QCOMPARE(frame->listboxUsers->currentRow(), 1);
    QCOMPARE(LoggedInUserKey(), f.anna);
    QCOMPARE(GetUKey(f.dm->cdsCurrentUser), f.anna);
    QCOMPARE(f.dm->cdsCurrentUser->FieldByName("UserName")->AsString(), QString("Anna"));
    QVERIFY(IsLoggedInAdministrator());

    // The logged-in user's own changes reach the current-user table.
    f.Choose(f.anna);
    frame->btnEditUserClick();
    TypeInto(frame->dbeditUserName, "Anna Admin");
    frame->btnSaveClick();
    QCOMPARE(f.dm->cdsCurrentUser->FieldByName("UserName")->AsString(), QString("Anna Admin"));
}

void TestUsers::editing_fillsRepeatWithStoredPassword() {
    ScreenFixture f;
    TframeUsers* frame = f.Frame();
    f.Choose(f.bertil);
    // Browsing shows nothing of the stored password, not even how long it is.
    QCOMPARE(frame->dbeditPassword->displayText(), QString());
    frame->btnEditUserClick();
    QCOMPARE(frame->dbeditPassword->text(), QString("svamp"));
    QCOMPARE(frame->dbeditPassword->displayText().size(), 5);
    QCOMPARE(frame->editRepeatPassword->text(), QString("svamp"));
    TypeInto(frame->dbeditCountry, "Norge");
    frame->btnSaveClick();  // no retyping needed
    QCOMPARE(f.Users()->State(), TDataSetState::dsBrowse);
    QCOMPARE(frame->dbeditPassword->displayText(), QString());
    QCOMPARE(f.FileValue(f.UsersFile(), f.bertil, "Password").toString(), QString("svamp"));
    QCOMPARE(f.FileValue(f.UsersFile(), f.bertil, "Country").toString(), QString("Norge"));
}

void TestUsers::passwordMismatch_keepsTheStoredPassword_data() {
    QTest::addColumn<bool>("withPassword");
    QTest::newRow("a user with a password") << true;
    QTest::newRow("a user without one") << false;
}

// However often the user saves after a mismatched repeat, the stored password stays as it
// was until the password and its repeat are typed alike.
void TestUsers::passwordMismatch_keepsTheStoredPassword() {
    QFETCH(bool, withPassword);
    ScreenFixture f;
    TframeUsers* frame = f.Frame();
    f.Choose(f.bertil);
    const QString stored = withPassword ? "svamp" : "";
    if (!withPassword) {
        frame->btnEditUserClick();
        TypeInto(frame->dbeditPassword, "");
        TypeInto(frame->editRepeatPassword, "");
        frame->btnSaveClick();
    }
    QCOMPARE(f.FileValue(f.UsersFile(), f.bertil, "Password").toString(), stored);
    frame->btnEditUserClick();
    TypeInto(frame->dbeditPassword, "nytt");
    TypeInto(frame->editRepeatPassword, "nyt");
    for (int save = 0; save < 3; ++save) {
        QCOMPARE(f.Message([&] { frame->btnSaveClick(); }), QString("Lösenordet ej korrekt upprepat"));
        // The password edit shows what a save would keep; the repeat is to be typed again.
        QCOMPARE(frame->dbeditPassword->text(), stored);
        QVERIFY(frame->editRepeatPassword->text().isEmpty());
        QCOMPARE(f.Users()->State(), TDataSetState::dsEdit);
        QVERIFY(!ScreenHost()->NavigationEnabled());
        QCOMPARE(f.FileValue(f.UsersFile(), f.bertil, "Password").toString(), stored);
    }

    // Giving up keeps the stored password, in memory and in the file.
    frame->btnCancelClick();
    QCOMPARE(f.Users()->FieldByName("Password")->AsString(), stored);
    QCOMPARE(f.FileValue(f.UsersFile(), f.bertil, "Password").toString(), stored);
    QVERIFY(ScreenHost()->NavigationEnabled());

    // Typed again correctly, the new one is stored.
    frame->btnEditUserClick();
    TypeInto(frame->dbeditPassword, "nytt");
    TypeInto(frame->editRepeatPassword, "nytt");
    frame->btnSaveClick();
    QCOMPARE(f.FileValue(f.UsersFile(), f.bertil, "Password").toString(), QString("nytt"));
}

void TestUsers::missingName_leavesRecordInEdit() {
    ScreenFixture f;
    TframeUsers* frame = f.Frame();
    frame->btnNewUserClick();
    TypeInto(frame->dbeditUserName, "   ");
    QCOMPARE(f.Message([&] { frame->btnSaveClick(); }), QString("Användarnamn måste anges"));
    QCOMPARE(f.Users()->State(), TDataSetState::dsInsert);
    QCOMPARE(f.ListEntries().last(), QString("Ny användare..."));
    QCOMPARE(f.FileRecordCount(f.UsersFile()), 2);
    QCOMPARE(f.FileRecordCount(f.ContactsFile()), 0);
}

void TestUsers::tooLongName_refusedWithMessage() {
    ScreenFixture f;
    TframeUsers* frame = f.Frame();
    frame->btnNewUserClick();
    const int room = f.Users()->FieldByName("UserName")->Size();
    QCOMPARE(frame->dbeditUserName->maxLength(), room);
    frame->dbeditUserName->setFocus();
    QTest::keyClicks(frame->dbeditUserName, QString(room, 'a') + "bcd");
    QCOMPARE(frame->dbeditUserName->text(), QString(room, 'a'));
    QCOMPARE(QToolTip::text(), QStringLiteral("Fältet rymmer högst %1 tecken.").arg(room));
}

void TestUsers::duplicateName_refused_data() {
    QTest::addColumn<bool>("newUser");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("other");  // the user whose name it is; empty: accepted
    QTest::newRow("new, other case") << true << "bertil"
                                     << "Bertil";
    QTest::newRow("new, blanks around") << true << "  ANNA "
                                        << "Anna";
    QTest::newRow("renamed to another's name") << false << "anna"
                                               << "Anna";
    QTest::newRow("own name kept") << false << "Bertil"
                                   << "";
    QTest::newRow("own name in other case") << false << "BERTIL"
                                            << "";
}

void TestUsers::duplicateName_refused() {
    QFETCH(bool, newUser);
    QFETCH(QString, name);
    QFETCH(QString, other);
    ScreenFixture f;
    TframeUsers* frame = f.Frame();
    if (newUser) {
        frame->btnNewUserClick();
    } else {
        f.Choose(f.bertil);
        frame->btnEditUserClick();
    }
    TypeInto(frame->dbeditUserName, name);
    const QString message = f.Message([&] { frame->btnSaveClick(); });
    if (other.isEmpty()) {
        QVERIFY2(message.isEmpty(), qPrintable(message));
        QCOMPARE(f.FileRecordCount(f.UsersFile()), 2);
        return;
    }
    QCOMPARE(message,
             QStringLiteral("Det finns redan en användare som heter \"%1\". Välj ett annat namn, så att "
                            "användarna kan skiljas åt.")
                 .arg(other));
    // Still being edited, nothing stored.
    QCOMPARE(f.Users()->State(), newUser ? TDataSetState::dsInsert : TDataSetState::dsEdit);
    QCOMPARE(f.FileRecordCount(f.UsersFile()), 2);
    QCOMPARE(f.FileValue(f.UsersFile(), f.bertil, "UserName").toString(), QString("Bertil"));
}

void TestUsers::adminChoice_visibility_data() {
    QTest::addColumn<bool>("adminLoggedIn");
    QTest::addColumn<QString>("whom");
    QTest::addColumn<bool>("visible");
    QTest::newRow("administrator edits another user") << true << "bertil" << true;
    QTest::newRow("administrator enters a new user") << true << "new" << true;
    QTest::newRow("administrator edits own record") << true << "anna" << false;
    QTest::newRow("user edits own record") << false << "bertil" << false;
}

void TestUsers::adminChoice_visibility() {
    QFETCH(bool, adminLoggedIn);
    QFETCH(QString, whom);
    QFETCH(bool, visible);
    ScreenFixture f(adminLoggedIn);
    TframeUsers* frame = f.Frame();
    QVERIFY(!frame->AdminChoiceVisible());  // browsing
    if (whom == "new") {
        frame->btnNewUserClick();
    } else {
        if (adminLoggedIn) f.Choose(whom == "anna" ? f.anna : f.bertil);
        frame->btnEditUserClick();
    }
    QVERIFY(f.Users()->State() != TDataSetState::dsBrowse);
    QCOMPARE(frame->AdminChoiceVisible(), visible);
    QCOMPARE(!frame->multicFirstUser->isHidden(), visible);
    QCOMPARE(!frame->lblFirstUser->isHidden(), visible);
    QCOMPARE(frame->lblFirstUser->text(), QString("Administratör:"));
    QCOMPARE(frame->multicFirstUser->ItemIndex(), 1);  // "Nej"
}

void TestUsers::administrator_keepsRoleEditingOwnRecord() {
    ScreenFixture f;
    TframeUsers* frame = f.Frame();
    f.Choose(f.anna);
    frame->btnEditUserClick();
    TypeInto(frame->dbeditEMail, "anna@example.se");
    frame->btnSaveClick();
    QCOMPARE(f.AdminsInFile(), QStringList({f.anna}));
    QVERIFY(IsLoggedInAdministrator());
    QCOMPARE(f.ListEntries().first(), QString("Anna (administratör)"));
}

void TestUsers::handOver_movesTheRole() {
    ScreenFixture f;
    UserFixture::AnswerBoxes(TMsgResult::OK);
    TframeUsers* frame = f.Frame();
    f.Choose(f.bertil);
    frame->btnEditUserClick();
    QTest::mouseClick(frame->multicFirstUser->Cell(0), Qt::LeftButton);  // "Ja"
    QVERIFY(frame->AdminHandOver());
    QCOMPARE(frame->multicFirstUser->ItemIndex(), 0);
    QCOMPARE(UIServices::MessageLog().size(), 1);
    const UIServices::TShownMessage box = UIServices::MessageLog().first();
    QCOMPARE(box.Icon, TMsgIcon::Warning);
    QCOMPARE(box.Caption, QString("Mykotekshallen - Varning"));
    QCOMPARE(box.Text,
             QString("Endast en användare kan vara administratör. Om Du tilldelar den här användaren "
                     "administratörs-funktionen kommer Du själv att förlora den."));
    frame->btnSaveClick();

    QCOMPARE(f.AdminsInFile(), QStringList({f.bertil}));
    QCOMPARE(f.Users()->State(), TDataSetState::dsBrowse);
    QVERIFY(!frame->AdminHandOver());
    // Anna is still logged in, now without the role.
    QCOMPARE(LoggedInUserKey(), f.anna);
    QVERIFY(!IsLoggedInAdministrator());
    QCOMPARE(f.ListEntries(), QStringList({"Anna"}));
    QCOMPARE(GetUKey(f.Users()), f.anna);
    QVERIFY(!frame->btnNewUser->isEnabled());
    QVERIFY(ScreenHost()->NavigationEnabled());
}

void TestUsers::handOver_changedMind_keepsRole() {
    ScreenFixture f;
    UserFixture::AnswerBoxes(TMsgResult::OK);
    TframeUsers* frame = f.Frame();
    f.Choose(f.bertil);
    frame->btnEditUserClick();
    QTest::mouseClick(frame->multicFirstUser->Cell(0), Qt::LeftButton);
    QTest::mouseClick(frame->multicFirstUser->Cell(1), Qt::LeftButton);
    QVERIFY(!frame->AdminHandOver());
    frame->btnSaveClick();
    QCOMPARE(f.AdminsInFile(), QStringList({f.anna}));
    QVERIFY(IsLoggedInAdministrator());
}

void TestUsers::handOver_failure_leavesOneAdministrator() {
    ScreenFixture f;
    UserFixture::AnswerBoxes(TMsgResult::OK);
    TframeUsers* frame = f.Frame();
    // Taking the role from Anna fails.
    const TDataSetNotifyEvent before = f.Users()->BeforePost;
    const QString anna = f.anna;
    f.Users()->BeforePost = [before, anna](TClientDataSet* ds) {
        if (before) before(ds);
        if (ds->FieldByName("UKey")->AsString() == anna && ds->FieldByName("UserData")->AsString().isEmpty())
            throw Exception("Skrivfel");
    };
    f.Choose(f.bertil);
    frame->btnEditUserClick();
    TypeInto(frame->dbeditEMail, "bertil@example.se");
    QTest::mouseClick(frame->multicFirstUser->Cell(0), Qt::LeftButton);
    QCOMPARE(f.Message([&] { frame->btnSaveClick(); }), QString("Byte av administratör misslyckades"));
    f.Users()->BeforePost = before;

    QCOMPARE(f.AdminsInFile(), QStringList({f.anna}));
    int admins = 0;
    for (int i = 0; i < f.Users()->RecordCount(); ++i)
        if (f.Users()->RecordValue(i, f.Users()->FieldByName("UserData")->Index()).toString() == "TOLP") ++admins;
    QCOMPARE(admins, 1);
    QVERIFY(IsLoggedInAdministrator());
    // The rest of Bertil's data was saved, and the frame is back in browse state.
    QCOMPARE(f.FileValue(f.UsersFile(), f.bertil, "EMail").toString(), QString("bertil@example.se"));
    QCOMPARE(f.Users()->State(), TDataSetState::dsBrowse);
    QCOMPARE(GetUKey(f.Users()), f.bertil);
    QVERIFY(ScreenHost()->NavigationEnabled());
    QCOMPARE(f.ListEntries(), QStringList({"Anna (administratör)", "Bertil"}));
}

void TestUsers::delete_confirmedAndClearsContactLink_data() {
    QTest::addColumn<bool>("yes");
    QTest::newRow("yes") << true;
    QTest::newRow("no") << false;
}

void TestUsers::delete_confirmedAndClearsContactLink() {
    QFETCH(bool, yes);
    ScreenFixture f;
    TframeUsers* frame = f.Frame();
    f.Choose(f.bertil);
    frame->btnEditUserClick();
    frame->btnSaveClick();  // gives Bertil his contact
    const QString contact = f.Users()->FieldByName("ContactUKey")->AsString();
    QCOMPARE(f.FileValue(f.ContactsFile(), contact, "UserUKey").toString(), f.bertil);

    QVERIFY(frame->btnDeleteUser->isEnabled());
    UserFixture::AnswerBoxes(yes ? TMsgResult::Yes : TMsgResult::No);
    QTest::mouseClick(frame->btnDeleteUser, Qt::LeftButton);
    QCOMPARE(UIServices::MessageLog().size(), 1);
    const UIServices::TShownMessage box = UIServices::MessageLog().first();
    QCOMPARE(box.Buttons, UIServices::TMsgButtons::YesNo);
    QCOMPARE(box.Icon, TMsgIcon::Warning);
    QCOMPARE(box.Caption, QString("Mykotekshallen - Radering av användare"));
    QCOMPARE(box.Text, QString("Du är på väg att radera användaren \"Bertil\". Skall raderingen genomföras?"));

    if (yes) {
        QCOMPARE(f.Users()->RecordCount(), 1);
        QCOMPARE(f.FileRecordCount(f.UsersFile()), 1);
        QCOMPARE(f.ListEntries(), QStringList({"Anna (administratör)"}));
        // The contact stays (records may name it) but no longer stands for a user.
        QVERIFY(f.FileValue(f.ContactsFile(), contact, "UserUKey").toString().isEmpty());
        QVERIFY(LocateUKey(f.Contacts(), contact));
        QVERIFY(f.Contacts()->FieldByName("UserUKey")->AsString().isEmpty());
        QCOMPARE(f.FileValue(f.ContactsFile(), contact, "RefCount").toInt(), 0);
    } else {
        QCOMPARE(f.Users()->RecordCount(), 2);
        QCOMPARE(f.FileValue(f.ContactsFile(), contact, "UserUKey").toString(), f.bertil);
    }
}

void TestUsers::delete_notOfferedForSelfOrLastUser() {
    ScreenFixture f;
    TframeUsers* frame = f.Frame();
    f.Choose(f.anna);
    QVERIFY(!frame->btnDeleteUser->isEnabled());
    UserFixture::AnswerBoxes(TMsgResult::Yes);
    frame->btnDeleteUserClick();
    QVERIFY(UIServices::MessageLog().isEmpty());
    QCOMPARE(f.Users()->RecordCount(), 2);
    f.Choose(f.bertil);
    QVERIFY(frame->btnDeleteUser->isEnabled());
    frame->btnEditUserClick();
    QVERIFY(!frame->btnDeleteUser->isEnabled());  // not while editing
    frame->btnCancelClick();
}

void TestUsers::pictures_fromFile_savedAndMirrored() {
    ScreenFixture f;
    TframeUsers* frame = f.Frame();
    QTemporaryDir pics;
    const QString picture = WriteBitmap(pics.path(), "bertil.bmp", QSize(400, 400), Qt::red);
    QList<UIServices::TChooserRequest> requests;
    UIServices::SetChooserHook([&](const UIServices::TChooserRequest& r) {
        requests << r;
        UIServices::TChooserAnswer a;
        a.Accepted = true;
        a.Files << picture;
        return a;
    });
    f.Choose(f.bertil);
    frame->btnEditUserClick();
    QVERIFY(!frame->btnRemovePic->isEnabled());
    QTest::mouseClick(frame->btnPicFromFile, Qt::LeftButton);
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().Kind, UIServices::TChooserKind::OpenFile);
    QVERIFY(requests.first().Folder.isEmpty());  // never chosen before
    QVERIFY(requests.first().Filter.startsWith("Bildfiler"));
    QCOMPARE(f.settings->ReadString("Settings/UserPicFolder"), QFileInfo(picture).absolutePath());
    QVERIFY(f.Users()->FieldByName("HasPic")->AsBoolean());
    QCOMPARE(frame->ShownPicture().width(), 192);  // fitted into the user picture
    QVERIFY(frame->btnRemovePic->isEnabled());
    frame->btnSaveClick();

    const QString userPic = GetContactPicFile(f.bertil);
    const QString contact = f.Users()->FieldByName("ContactUKey")->AsString();
    const QString contactPic = GetContactPicFile(contact);
    QCOMPARE(userPic, f.Folder() + "Data/Pics/ContactPics/US" + f.bertil + ".jpg");
    QImage saved(userPic);
    QCOMPARE(saved.size(), QSize(192, 192));
    QVERIFY(qRed(saved.pixel(96, 96)) > 200 && qGreen(saved.pixel(96, 96)) < 60);
    QFile a(userPic), b(contactPic);
    QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    QCOMPARE(b.readAll(), a.readAll());
    QVERIFY(f.FileValue(f.ContactsFile(), contact, "HasPic").toBool());

    // The next pick starts in the remembered folder.
    frame->btnEditUserClick();
    requests.clear();
    UIServices::SetChooserHook([&](const UIServices::TChooserRequest& r) {
        requests << r;
        return UIServices::TChooserAnswer{};  // cancelled
    });
    frame->btnPicFromFileClick();
    QCOMPARE(requests.first().Folder, QFileInfo(picture).absolutePath());
    frame->btnCancelClick();
    QVERIFY(QFileInfo::exists(userPic));
}

void TestUsers::pictures_fromClipboard() {
    ScreenFixture f;
    TframeUsers* frame = f.Frame();
    QImage wide(300, 150, QImage::Format_RGB32);
    wide.fill(Qt::blue);
    QGuiApplication::clipboard()->setImage(wide);
    f.Choose(f.bertil);
    frame->btnEditUserClick();
    QTRY_VERIFY(frame->btnPicFromClipboard->isEnabled());
    frame->btnPicFromClipboardClick();
    QCOMPARE(frame->ShownPicture().size(), QSize(192, 96));
    frame->btnSaveClick();
    QCOMPARE(QImage(GetContactPicFile(f.bertil)).size(), QSize(192, 96));
    QGuiApplication::clipboard()->clear();
    QTRY_VERIFY(!frame->btnPicFromClipboard->isEnabled());
}

void TestUsers::pictures_removed_deletesFiles() {
    ScreenFixture f;
    TframeUsers* frame = f.Frame();
    QTemporaryDir pics;
    const QString picture = WriteBitmap(pics.path(), "b.bmp", QSize(50, 80), Qt::green);
    UIServices::SetChooserHook([&](const UIServices::TChooserRequest&) {
        UIServices::TChooserAnswer a;
        a.Accepted = true;
        a.Files << picture;
        return a;
    });
    f.Choose(f.bertil);
    frame->btnEditUserClick();
    frame->btnPicFromFileClick();
    frame->btnSaveClick();
    const QString userPic = GetContactPicFile(f.bertil);
    const QString contactPic = GetContactPicFile(f.Users()->FieldByName("ContactUKey")->AsString());
    QVERIFY(QFileInfo::exists(userPic) && QFileInfo::exists(contactPic));

    frame->btnEditUserClick();
    frame->btnRemovePicClick();
    QVERIFY(frame->PictureRemoved());
    QVERIFY(!f.Users()->FieldByName("HasPic")->AsBoolean());
    frame->btnSaveClick();
    QVERIFY(!QFileInfo::exists(userPic));
    QVERIFY(!QFileInfo::exists(contactPic));
    QVERIFY(!f.FileValue(f.UsersFile(), f.bertil, "HasPic").toBool());
}

void TestUsers::cancel_newUser_unlocksAndForgets() {
    ScreenFixture f;
    TframeUsers* frame = f.Frame();
    frame->btnNewUserClick();
    TypeInto(frame->dbeditUserName, "Ingen");
    frame->btnCancelClick();
    QCOMPARE(f.Users()->State(), TDataSetState::dsBrowse);
    QCOMPARE(f.Users()->RecordCount(), 2);
    QCOMPARE(f.ListEntries(), QStringList({"Anna (administratör)", "Bertil"}));
    QVERIFY(ScreenHost()->NavigationEnabled());
    QCOMPARE(f.FileRecordCount(f.ContactsFile()), 0);
}

void TestUsers::failedSave_leavesNoContactBehind() {
    ScreenFixture f;
    TframeUsers* frame = f.Frame();
    const TDataSetNotifyEvent before = f.Users()->BeforePost;
    bool fail = true;
    f.Users()->BeforePost = [&](TClientDataSet* ds) {
        if (before) before(ds);
        if (fail) throw Exception("Skrivfel");
    };
    frame->btnNewUserClick();
    TypeInto(frame->dbeditUserName, "Doris");
    QCOMPARE(f.Message([&] { frame->btnSaveClick(); }), QString("Skrivfel"));
    QCOMPARE(f.Users()->State(), TDataSetState::dsInsert);
    QCOMPARE(f.ListEntries().last(), QString("Ny användare..."));
    QCOMPARE(f.Contacts()->RecordCount(), 0);
    QCOMPARE(f.FileRecordCount(f.ContactsFile()), 0);
    QVERIFY(f.Users()->FieldByName("ContactUKey")->AsString().isEmpty());

    // Once the table takes it, the user gets exactly one contact.
    fail = false;
    frame->btnSaveClick();
    f.Users()->BeforePost = before;
    QCOMPARE(f.ListEntries(), QStringList({"Anna (administratör)", "Bertil", "Doris"}));
    QCOMPARE(f.FileRecordCount(f.ContactsFile()), 1);
    const QString doris = GetUKey(f.Users());
    QCOMPARE(f.FileValue(f.ContactsFile(), f.Users()->FieldByName("ContactUKey")->AsString(), "UserUKey").toString(),
             doris);
}

void TestUsers::failedSave_leavesTheOldPicture() {
    ScreenFixture f;
    TframeUsers* frame = f.Frame();
    QTemporaryDir pics;
    QString picture = WriteBitmap(pics.path(), "red.bmp", QSize(60, 60), Qt::red);
    UIServices::SetChooserHook([&](const UIServices::TChooserRequest&) {
        UIServices::TChooserAnswer a;
        a.Accepted = true;
        a.Files << picture;
        return a;
    });
    f.Choose(f.bertil);
    frame->btnEditUserClick();
    frame->btnPicFromFileClick();
    frame->btnSaveClick();
    const QString userPic = GetContactPicFile(f.bertil);
    const QByteArray old = testsupport::ReadBytes(userPic);
    QVERIFY(!old.isEmpty());
    const QStringList filesBefore = QDir(QFileInfo(userPic).absolutePath()).entryList(QDir::Files);

    // A new picture whose record is not stored leaves the old file as it was, and no
    // temporary file beside it; removing the picture likewise.
    const TDataSetNotifyEvent before = f.Users()->BeforePost;
    f.Users()->BeforePost = [&](TClientDataSet* ds) {
        if (before) before(ds);
        throw Exception("Skrivfel");
    };
    picture = WriteBitmap(pics.path(), "blue.bmp", QSize(60, 60), Qt::blue);
    frame->btnEditUserClick();
    frame->btnPicFromFileClick();
    QCOMPARE(f.Message([&] { frame->btnSaveClick(); }), QString("Skrivfel"));
    QCOMPARE(testsupport::ReadBytes(userPic), old);
    frame->btnRemovePicClick();
    QCOMPARE(f.Message([&] { frame->btnSaveClick(); }), QString("Skrivfel"));
    QCOMPARE(testsupport::ReadBytes(userPic), old);
    QCOMPARE(QDir(QFileInfo(userPic).absolutePath()).entryList(QDir::Files), filesBefore);
    f.Users()->BeforePost = before;
    frame->btnCancelClick();
    QVERIFY(f.FileValue(f.UsersFile(), f.bertil, "HasPic").toBool());
}

QTEST_MAIN(TestUsers)
#include "tst_users.moc"
