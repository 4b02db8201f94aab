#include <QtTest>

#include <QClipboard>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>
#include <QUrl>

#include "content/contacts/unitContactScreen.h"
#include "content/contacts/unitFrameContacts.h"
#include "content/contacts/unitMoveContact.h"
#include "controls/FREdits.h"
#include "shell/FRHistory.h"
#include "shell/ScreenTestHost.h"
#include "shell/UserTestSupport.h"
#include "platform/Exception.h"
#include "platform/ShellServices.h"
#include "support/TestSupport.h"

using UIServices::TMsgResult;
using Values = QList<QPair<QString, QVariant>>;

namespace {

const QString kMine = QString::fromLatin1(MyContactsGroupKey);

QString Insert(TExtClientDataSet* table, const Values& values) {
    table->Append();
    const QString key = GetUKey(table);
    for (const auto& [field, value] : values) table->FieldByName(field)->SetValue(value);
    table->Post();
    return key;
}

// The contact screen in a stand-in main window, over a fresh data module, with a logged-in
// user; URLs handed to the desktop are recorded instead.
struct ContactsFixture : UserFixture {
    std::unique_ptr<TestMainWindow> window;
    TFRContactScreen* screen = nullptr;
    QString user;

    ContactsFixture() {
        user = AddUser("Anna", QString(), true);
        QVERIFY(LocateUKey(Users(), user));
        SelectCurrentUser();
        ShellServices::ClearOpenLog();
        ShellServices::SetOpenHook([](const QUrl&) { return ShellServices::TOpenResult::Opened; });
        window = std::make_unique<TestMainWindow>();
        window->show();
        screen = static_cast<TFRContactScreen*>(CreateContactScreen(window.get()));
    }
    ~ContactsFixture() {
        window.reset();
        ShellServices::SetOpenHook({});
        ShellServices::ClearOpenLog();
    }
    TframeContacts* Frame() const { return screen->ContactsFrame(); }
    TExtClientDataSet* Groups() const { return dm->cdsContactGroups; }
    TExtClientDataSet* Rows() const { return dm->cdsContactGroupRows; }
    void Show() {
        screen->Activate(QString());
        QVERIFY(Frame());
    }
    QString AddContact(const QString& name, const QString& email = QString(), int refCount = 0) {
        return Insert(Contacts(), {{"UserName", name}, {"EMail", email}, {"RefCount", refCount}});
    }
    QString AddGroup(const QString& name) { return Insert(Groups(), {{"GroupName", name}}); }
    void AddRow(const QString& group, const QString& contact) {
        QVERIFY(LocateUKey(Groups(), group));
        QVERIFY(LocateUKey(Contacts(), contact));
        Insert(Rows(), {{"ContactUKey", contact}, {"ContactName", TFRContactScreen::GetContactDisplayName()}});
    }
    // Every group row as "group name: contact name".
    QStringList AllRows() const {
        QStringList out;
        TClientDataSet t;
        t.LoadFromFile(Rows()->Filename());
        for (t.First(); !t.Eof(); t.Next()) {
            const int g = Groups()->FindRecordIndex("UKey", t.FieldByName("MasterUKey")->AsString());
            const QString group =
                g >= 0 ? Groups()->RecordValue(g, Groups()->FieldByName("GroupName")->Index()).toString() : "?";
            out << group + ": " + t.FieldByName("ContactName")->AsString();
        }
        t.Close();
        out.sort();
        return out;
    }
    QStringList Members() const {
        QStringList out;
        for (int i = 0; i < Frame()->listboxGroupMembers->count(); ++i)
            out << Frame()->listboxGroupMembers->item(i)->text();
        return out;
    }
    QStringList GroupEntries() const {
        QStringList out;
        for (int i = 0; i < Frame()->comboGroups->count(); ++i) out << Frame()->comboGroups->itemText(i);
        return out;
    }
    void ChooseGroup(const QString& name) {
        const int i = Frame()->comboGroups->findText(name);
        QVERIFY(i >= 0);
        Frame()->comboGroups->setCurrentIndex(i);
    }
    void ChooseMember(const QString& text) {
        const QStringList m = Members();
        QVERIFY2(m.contains(text), qPrintable(m.join(" | ")));
        Frame()->listboxGroupMembers->setCurrentRow(int(m.indexOf(text)));
    }
    int StoredRefCount(const QString& key) const { return FileValue(ContactsFile(), key, "RefCount").toInt(); }
    void Shot(const QString& name, QSize size) {
        // The main menu column is as wide as the program's.
        window->panelMainMenu->setFixedWidth(160);
        window->resize(size);
        QApplication::processEvents();
        QVERIFY(window->grab().save(testsupport::ArtefactDir() + "/" + name + ".png"));
    }
};

QString WriteBitmap(const QString& path, QSize size, QColor colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    image.save(path, "BMP");
    return path;
}

}  // namespace

class TestContacts : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void registered_inContactSlot();
    void firstShow_createsMyContacts();
    void changeRefCount_data();
    void changeRefCount();
    void lookups_leaveTheCursor();
    void deleteContact_data();
    void deleteContact();
    void newContact_rowsInGroupAndMyContacts_data();
    void newContact_rowsInGroupAndMyContacts();
    void newContact_needsName();
    void newContact_nameTakesTheFieldsWidth();
    void editContact_renamesGroupRows();
    void protectedContacts_notEditable();
    void brokenLink_raises();
    void moveContact_setsRowsNotCounts();
    void mail_data();
    void mail();
    void mailGroup_eachAddressOnce();
    void groupName_data();
    void groupName();
    void deleteGroup_keepsContacts();
    void picture_writtenOnlyWhenReplaced();
    void picture_fromClipboard();
    void saveFailure_keepsTheEdit();
    void settingsAndHistory_restoreTheView();
    void refCounts_matchTheReferences();
    void screenshots();
};

void TestContacts::registered_inContactSlot() {
    UserFixture f;
    f.AddUser("Anna", QString(), true);
    UserFixture::AnswerBoxes(TMsgResult::OK);  // the test folder has no district file
    SetUserEnvironment({});
    {
        TformFRMain main;
        main.SetDataModule(f.dm.get());
        QVERIFY(LoginUser());
        TformFRMain::ClearScreenFactories();
        RegisterContactScreen();
        main.CreateScreens();
        auto* screen = qobject_cast<TFRContactScreen*>(main.Screen(ssContact));
        QVERIFY(screen);
        QCOMPARE(screen->ScreenID, int(ssContact));
        QCOMPARE(FRContactScreen.data(), screen);
        screen->Navigate();
        QVERIFY(screen->ContactsFrame());
        QCOMPARE(screen->ContactsFrame()->parentWidget(), main.panelScreenHolder);
        QCOMPARE(screen->ContactsFrame()->comboGroups->currentText(), QString("Mina kontakter"));
    }
    TformFRMain::ClearScreenFactories();
}

void TestContacts::firstShow_createsMyContacts() {
    ContactsFixture f;
    QCOMPARE(f.Groups()->RecordCount(), 0);
    QCOMPARE(f.screen->MenuButton()->text(), QString("Kontakter"));
    QCOMPARE(f.screen->MenuButton()->toolTip(),
             QString("Håll reda på alla Dina svampvänner och skicka e-post till grupper eller individer"));
    f.Show();
    QCOMPARE(f.Groups()->RecordCount(), 1);
    QCOMPARE(UserFixture::FileValue(f.Groups()->Filename(), kMine, "GroupName").toString(), QString("Mina kontakter"));
    QCOMPARE(f.GroupEntries(), QStringList({"Mina kontakter", "Alla kontakter"}));
    QVERIFY(!f.Frame()->ShowingAll());
    // The built-in group is neither renamed nor deleted.
    QVERIFY(!f.Frame()->sbtnRenameGroup->isEnabled());
    QVERIFY(!f.Frame()->sbtnDeleteGroup->isEnabled());
    QVERIFY(!f.Frame()->sbtnPrint->isEnabled());
    f.Frame()->sbtnDeleteGroupClick();
    QCOMPARE(f.Groups()->RecordCount(), 1);
    QVERIFY(UIServices::MessageLog().isEmpty());
}

void TestContacts::changeRefCount_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("op");
    QTest::addColumn<QString>("form");  // "key", "ref", "unknown", "empty"
    QTest::addColumn<int>("result");
    QTest::newRow("add") << 0 << 0 << "key" << 1;
    QTest::newRow("add by reference") << 2 << 0 << "ref" << 3;
    QTest::newRow("subtract") << 2 << 1 << "ref" << 1;
    QTest::newRow("subtract at zero") << 0 << 1 << "key" << 0;
    QTest::newRow("unknown key") << 0 << 0 << "unknown" << -1;
    QTest::newRow("empty") << 0 << 0 << "empty" << -1;
}

void TestContacts::changeRefCount() {
    QFETCH(int, start);
    QFETCH(int, op);
    QFETCH(QString, form);
    QFETCH(int, result);
    ContactsFixture f;
    const QString key = f.AddContact("Bertil", QString(), start);
    const QString stamp = UserFixture::FileValue(f.ContactsFile(), key, "Timestamp").toString();
    const QString ref = form == "key" ? key
        : form == "ref"               ? " UKEY=" + key
        : form == "unknown"           ? "060AAAAAAAAAAAZZZZ"
                                      : "";
    QCOMPARE(TFRContactScreen::ChangeRefCount(op, ref), result);
    QCOMPARE(f.StoredRefCount(key), result < 0 ? start : result);
    QCOMPARE(UserFixture::FileValue(f.ContactsFile(), key, "Timestamp").toString(), stamp);
}

void TestContacts::lookups_leaveTheCursor() {
    ContactsFixture f;
    const QString bertil = f.AddContact("Bertil", "bertil@svamp.se");
    const QString cecilia = f.AddContact("Cecilia");
    QVERIFY(LocateUKey(f.Contacts(), cecilia));
    QCOMPARE(TFRContactScreen::GetRefText(" UKEY=" + bertil), QString("Bertil"));
    QCOMPARE(TFRContactScreen::GetRefText(" UKEY=060AAAAAAAAAAAZZZZ"), QString());
    QCOMPARE(TFRContactScreen::GetRefText("Svampkungen"), QString("Svampkungen"));
    QCOMPARE(TFRContactScreen::GetContactName(bertil), QString("Bertil"));
    QCOMPARE(TFRContactScreen::GetContactName(QString()), QString("Mykotekshallen"));
    QCOMPARE(GetUKey(f.Contacts()), cecilia);
    QCOMPARE(TFRContactScreen::GetContactDisplayName(), QString("Cecilia"));
    QVERIFY(LocateUKey(f.Contacts(), bertil));
    QCOMPARE(TFRContactScreen::GetContactDisplayName(), QString("Bertil (bertil@svamp.se)"));
}

void TestContacts::deleteContact_data() {
    QTest::addColumn<int>("refCount");
    QTest::addColumn<int>("answer");  // TMsgResult
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("deleted");
    QTest::newRow("referenced") << 2 << int(TMsgResult::Yes)
                                << "En eller flera poster i databasen är skapade av den här kontakten. Den går "
                                   "därför inte att radera."
                                << false;
    QTest::newRow("confirmed") << 0 << int(TMsgResult::Yes)
                               << "Du är på väg att radera kontakten \"Bertil\" från alla grupper. Skall raderingen "
                                  "genomföras?"
                               << true;
    QTest::newRow("declined") << 0 << int(TMsgResult::No)
                              << "Du är på väg att radera kontakten \"Bertil\" från alla grupper. Skall raderingen "
                                 "genomföras?"
                              << false;
}

void TestContacts::deleteContact() {
    QFETCH(int, refCount);
    QFETCH(int, answer);
    QFETCH(QString, text);
    QFETCH(bool, deleted);
    ContactsFixture f;
    f.Show();
    const QString friends = f.AddGroup("Vänner");
    const QString bertil = f.AddContact("Bertil", QString(), refCount);
    const QString cecilia = f.AddContact("Cecilia");
    f.AddRow(kMine, bertil);
    f.AddRow(friends, bertil);
    f.AddRow(friends, cecilia);
    f.Frame()->RefreshGroups();
    f.ChooseGroup("Vänner");
    f.ChooseMember("Bertil");
    QVERIFY(f.Frame()->sbtnDeleteContact->isEnabled());
    f.ui.AnswerBoxes(TMsgResult(answer));
    f.Frame()->sbtnDeleteContactClick();
    QCOMPARE(UIServices::MessageLog().size(), 1);
    QCOMPARE(UIServices::MessageLog().first().Text, text);
    QCOMPARE(UIServices::MessageLog().first().Caption,
             QString(refCount ? "Mykotekshallen - Information" : "Mykotekshallen - Bekräfta radering"));
    QCOMPARE(UserFixture::FileValue(f.ContactsFile(), bertil, "UKey").isNull(), deleted);
    if (deleted) {
        QCOMPARE(f.AllRows(), QStringList({"Vänner: Cecilia"}));
        QCOMPARE(f.Members(), QStringList({"Cecilia"}));
    } else {
        QCOMPARE(f.AllRows(), QStringList({"Mina kontakter: Bertil", "Vänner: Bertil", "Vänner: Cecilia"}));
        QCOMPARE(f.StoredRefCount(bertil), refCount);
    }
}

void TestContacts::newContact_rowsInGroupAndMyContacts_data() {
    QTest::addColumn<QString>("group");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("own group") << "Vänner"
                               << QStringList(
                                      {"Mina kontakter: Doris (doris@svamp.se)", "Vänner: Doris (doris@svamp.se)"});
    QTest::newRow("my contacts") << "Mina kontakter" << QStringList({"Mina kontakter: Doris (doris@svamp.se)"});
    QTest::newRow("all contacts") << "Alla kontakter" << QStringList({"Mina kontakter: Doris (doris@svamp.se)"});
}

void TestContacts::newContact_rowsInGroupAndMyContacts() {
    QFETCH(QString, group);
    QFETCH(QStringList, rows);
    ContactsFixture f;
    f.Show();
    f.AddGroup("Vänner");
    f.Frame()->RefreshGroups();
    f.ChooseGroup(group);
    f.Frame()->sbtnNewContactClick();
    QVERIFY(!ScreenHost()->NavigationEnabled());
    QCOMPARE(f.Members().last(), QString("Ny kontakt..."));
    QCOMPARE(f.Frame()->dbeditCountry->text(), QString("SVERIGE"));
    QVERIFY(f.Frame()->btnPicFromFile->isVisibleTo(f.Frame()));
    TypeInto(f.Frame()->dbeditUserName, "Doris");
    TypeInto(f.Frame()->dbeditEMail, "doris@svamp.se");
    f.Frame()->btnSaveClick();
    QVERIFY(ScreenHost()->NavigationEnabled());
    QVERIFY(!f.Frame()->btnPicFromFile->isVisibleTo(f.Frame()));
    QCOMPARE(f.AllRows(), rows);
    const QString key = GetUKey(f.Contacts());
    QCOMPARE(UserFixture::FileValue(f.ContactsFile(), key, "Country").toString(), QString("SVERIGE"));
    QCOMPARE(UserFixture::FileValue(f.ContactsFile(), key, "RefCount").toInt(), 0);
    QVERIFY(f.Members().contains("Doris (doris@svamp.se)"));
    QCOMPARE(f.Frame()->listboxGroupMembers->currentItem()->text(), QString("Doris (doris@svamp.se)"));
}

void TestContacts::newContact_needsName() {
    ContactsFixture f;
    f.Show();
    f.Frame()->sbtnNewContactClick();
    QCOMPARE(testsupport::ExceptionText([&] { f.Frame()->btnSaveClick(); }), QString("Namn måste anges"));
    QCOMPARE(f.Contacts()->State(), TDataSetState::dsInsert);
    QVERIFY(!ScreenHost()->NavigationEnabled());
    f.Frame()->btnCancelClick();
    QVERIFY(ScreenHost()->NavigationEnabled());
    QCOMPARE(UserFixture::FileRecordCount(f.ContactsFile()), 0);
    QVERIFY(f.Members().isEmpty());
}

// A name typed past the field's 30 characters stops at 30 in the edit: what is saved is
// what the user sees.
void TestContacts::newContact_nameTakesTheFieldsWidth() {
    ContactsFixture f;
    f.Show();
    f.Frame()->sbtnNewContactClick();
    const QString typed = "Karl-Gustaf Svampsson Lindqvist";  // 31 characters
    QCOMPARE(typed.size(), 31);
    TypeInto(f.Frame()->dbeditUserName, typed);
    QCOMPARE(f.Frame()->dbeditUserName->text(), typed.left(30));
    f.Frame()->btnSaveClick();
    QCOMPARE(f.Contacts()->State(), TDataSetState::dsBrowse);
    QCOMPARE(f.Contacts()->FieldByName("UserName")->AsString(), typed.left(30));
    QCOMPARE(f.Members(), QStringList({typed.left(30)}));
}

void TestContacts::editContact_renamesGroupRows() {
    ContactsFixture f;
    f.Show();
    const QString friends = f.AddGroup("Vänner");
    const QString bertil = f.AddContact("Bertil", "b@svamp.se");
    f.AddRow(kMine, bertil);
    f.AddRow(friends, bertil);
    f.Frame()->RefreshGroups();
    f.ChooseGroup("Vänner");
    f.ChooseMember("Bertil (b@svamp.se)");
    f.Frame()->sbtnEditContactClick();
    QVERIFY(!ScreenHost()->NavigationEnabled());
    TypeInto(f.Frame()->dbeditUserName, "Bertil Åkerö");
    f.Frame()->btnSaveClick();
    QCOMPARE(f.AllRows(),
             QStringList({"Mina kontakter: Bertil Åkerö (b@svamp.se)", "Vänner: Bertil Åkerö (b@svamp.se)"}));
    QCOMPARE(f.Members(), QStringList({"Bertil Åkerö (b@svamp.se)"}));
    QCOMPARE(f.Frame()->comboGroups->currentText(), QString("Vänner"));
}

void TestContacts::protectedContacts_notEditable() {
    ContactsFixture f;
    // The user's mirror contact and the two built-in contacts.
    QVERIFY(LocateUKey(f.Users(), f.user));
    f.Users()->Edit();
    const QString mirror = CopyUserToContact(QString());
    f.Users()->FieldByName("ContactUKey")->SetAsString(mirror);
    f.Users()->Post();
    Insert(f.Contacts(), {{"UKey", QString::fromLatin1(FixedContactKeyA)}, {"UserName", "Okänd"}});
    f.AddContact("Bertil");
    f.Show();
    f.ChooseGroup("Alla kontakter");
    QVERIFY(f.Frame()->ShowingAll());
    QCOMPARE(f.Frame()->lblGroupMembers->text(), QString("Alla kontakter:"));
    QCOMPARE(f.Members(), QStringList({"Anna", "Okänd", "Bertil"}));
    for (const QString& name : {QString("Anna"), QString("Okänd")}) {
        f.ChooseMember(name);
        QVERIFY2(!f.Frame()->sbtnEditContact->isEnabled(), qPrintable(name));
        QVERIFY(!f.Frame()->sbtnDeleteContact->isEnabled());
        QVERIFY(f.Frame()->sbtnMoveContact->isEnabled());
        f.Frame()->sbtnDeleteContactClick();
        QCOMPARE(f.Contacts()->RecordCount(), 3);
    }
    f.ChooseMember("Bertil");
    QVERIFY(f.Frame()->sbtnEditContact->isEnabled());
}

void TestContacts::brokenLink_raises() {
    ContactsFixture f;
    f.Show();
    const QString bertil = f.AddContact("Bertil");
    const QString cecilia = f.AddContact("Cecilia");
    f.AddRow(kMine, bertil);
    f.AddRow(kMine, cecilia);
    // Gone behind the screen's back; its row stays.
    QVERIFY(LocateUKey(f.Contacts(), cecilia));
    f.Contacts()->Delete();
    f.Frame()->RefreshGroups();
    QCOMPARE(f.Members(), QStringList({"Bertil", "Cecilia"}));
    QCOMPARE(testsupport::ExceptionText([&] { f.Frame()->listboxGroupMembersClick(1); }),
             QString("Bruten länk vid UpdateShownContact"));
    QCOMPARE(testsupport::ExceptionText([&] { f.Frame()->listboxGroupMembersClick(0); }), testsupport::NoException);
    QCOMPARE(GetUKey(f.Contacts()), bertil);
}

void TestContacts::moveContact_setsRowsNotCounts() {
    ContactsFixture f;
    f.Show();
    const QString friends = f.AddGroup("Vänner");
    f.AddGroup("Exkursion");
    const QString bertil = f.AddContact("Bertil", QString(), 1);
    f.AddRow(kMine, bertil);
    f.Frame()->RefreshGroups();
    f.ChooseGroup("Mina kontakter");
    f.ChooseMember("Bertil");
    QStringList shown;
    f.ui.Dialogs([&](QDialog* d) {
        auto* form = qobject_cast<TformMoveContact*>(d);
        QVERIFY(form);
        QCOMPARE(form->lblInfo->text(), QString("Markera de grupper kontakten skall tillhöra..."));
        for (int i = 0; i < form->checklistGroups->count(); ++i) {
            QListWidgetItem* item = form->checklistGroups->item(i);
            shown << item->text() + (item->checkState() == Qt::Checked ? " [x]" : " [ ]");
            // Into "Vänner", out of "Mina kontakter".
            item->setCheckState(item->text() == "Vänner" ? Qt::Checked : Qt::Unchecked);
        }
        form->accept();
    });
    f.Frame()->sbtnMoveContactClick();
    QCOMPARE(shown, QStringList({"Exkursion [ ]", "Mina kontakter [x]", "Vänner [ ]"}));
    QCOMPARE(f.AllRows(), QStringList({"Vänner: Bertil"}));
    QCOMPARE(f.StoredRefCount(bertil), 1);
    QCOMPARE(GetUKey(f.Groups()), kMine);
    QVERIFY(f.Members().isEmpty());
    // Cancelled: nothing changes.
    f.ChooseGroup("Vänner");
    f.ui.Dialogs([](QDialog* d) {
        auto* form = qobject_cast<TformMoveContact*>(d);
        for (int i = 0; i < form->checklistGroups->count(); ++i)
            form->checklistGroups->item(i)->setCheckState(Qt::Checked);
        form->reject();
    });
    f.Frame()->sbtnMoveContactClick();
    QCOMPARE(f.AllRows(), QStringList({"Vänner: Bertil"}));
    QCOMPARE(GetUKey(f.Groups()), friends);
    QCOMPARE(f.StoredRefCount(bertil), 1);
}

void TestContacts::mail_data() {
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("refused");
    QTest::newRow("one") << QStringList({"bertil@svamp.se"}) << "mailto:bertil@svamp.se" << false;
    QTest::newRow("duplicate in other case")
        << QStringList({"a@svamp.se", "B@Svamp.se", "A@SVAMP.SE", "", "b@svamp.se"}) << "mailto:a@svamp.se,B@Svamp.se"
        << false;
    QTest::newRow("no address") << QStringList({"", "  "}) << "" << false;
    QTest::newRow("question mark") << QStringList({"a@svamp.se", "b@svamp.se?cc=x@y.se"}) << "" << true;
    QTest::newRow("control character") << QStringList({"a@svamp.se\nBcc: x@y.se"}) << "" << true;
}

void TestContacts::mail() {
    QFETCH(QStringList, addresses);
    QFETCH(QString, url);
    QFETCH(bool, refused);
    ContactsFixture f;
    f.ui.AnswerBoxes(TMsgResult::OK);
    QCOMPARE(MailToAddresses(addresses), !url.isEmpty());
    QCOMPARE(ShellServices::OpenLog().size(), url.isEmpty() ? 0 : 1);
    if (!url.isEmpty()) QCOMPARE(ShellServices::OpenLog().first().toString(QUrl::FullyEncoded), url);
    QCOMPARE(UIServices::MessageLog().size(), refused ? 1 : 0);
}

void TestContacts::mailGroup_eachAddressOnce() {
    ContactsFixture f;
    f.Show();
    const QString friends = f.AddGroup("Vänner");
    const QString other = f.AddContact("Åsa", "asa@svamp.se");
    f.AddRow(friends, f.AddContact("Bertil", "bertil@svamp.se"));
    f.AddRow(friends, f.AddContact("Cecilia", "Bertil@Svamp.SE"));
    f.AddRow(friends, f.AddContact("Doris", "doris@svamp.se"));
    f.AddRow(friends, f.AddContact("Erik"));
    f.AddRow(kMine, other);
    f.Frame()->RefreshGroups();
    f.ChooseGroup("Vänner");
    f.Frame()->sbtnMailGroupClick();
    QCOMPARE(ShellServices::OpenLog().size(), 1);
    QCOMPARE(ShellServices::OpenLog().first().toString(QUrl::FullyEncoded),
             QString("mailto:bertil@svamp.se,doris@svamp.se"));
    f.ChooseMember("Doris (doris@svamp.se)");
    f.Frame()->sbtnMailContactClick();
    QCOMPARE(ShellServices::OpenLog().last().toString(), QString("mailto:doris@svamp.se"));
}

void TestContacts::groupName_data() {
    QTest::addColumn<bool>("rename");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("error");
    QTest::newRow("new") << false << "Exkursion 2024"
                         << "";
    QTest::newRow("new, empty") << false << "  "
                                << "Namn måste anges";
    QTest::newRow("new, taken in other case") << false << "vänner"
                                              << "Det finns redan en grupp med det namnet";
    QTest::newRow("new, built-in name") << false << "MINA KONTAKTER"
                                        << "Det finns redan en grupp med det namnet";
    QTest::newRow("new, the pseudo-group's name") << false << "alla kontakter"
                                                  << "Det finns redan en grupp med det namnet";
    QTest::newRow("rename") << true << "Svampvänner"
                            << "";
    QTest::newRow("rename, own name in other case") << true << "VÄNNER"
                                                    << "";
    QTest::newRow("rename, taken") << true << "Grannar"
                                   << "Det finns redan en grupp med det namnet";
}

void TestContacts::groupName() {
    QFETCH(bool, rename);
    QFETCH(QString, name);
    QFETCH(QString, error);
    ContactsFixture f;
    f.Show();
    f.AddGroup("Vänner");
    f.AddGroup("grannar");
    f.Frame()->RefreshGroups();
    f.ChooseGroup("Vänner");
    const int before = f.Groups()->RecordCount();
    if (rename) {
        QVERIFY(f.Frame()->sbtnRenameGroup->isEnabled());
        f.Frame()->sbtnRenameGroupClick();
        QCOMPARE(f.Frame()->lblGroupName->text(), QString("Gruppnamn:"));
    } else {
        f.Frame()->sbtnNewGroupClick();
        QCOMPARE(f.Frame()->lblGroupName->text(), QString("Namn på ny grupp:"));
    }
    QVERIFY(f.Frame()->panelGroupEdit->isVisibleTo(f.Frame()));
    QVERIFY(!ScreenHost()->NavigationEnabled());
    TypeInto(f.Frame()->dbeditGroupName, name);
    QCOMPARE(testsupport::ExceptionText([&] { f.Frame()->btnSaveClick(); }),
             error.isEmpty() ? testsupport::NoException : error);
    if (error.isEmpty()) {
        QVERIFY(ScreenHost()->NavigationEnabled());
        QVERIFY(f.GroupEntries().contains(name.trimmed()));
        QCOMPARE(f.Frame()->comboGroups->currentText(), name.trimmed());
        QCOMPARE(f.Groups()->RecordCount(), before + (rename ? 0 : 1));
    } else {
        QVERIFY(!ScreenHost()->NavigationEnabled());
        f.Frame()->btnCancelClick();
        QCOMPARE(f.GroupEntries(), QStringList({"grannar", "Mina kontakter", "Vänner", "Alla kontakter"}));
    }
}

void TestContacts::deleteGroup_keepsContacts() {
    ContactsFixture f;
    f.Show();
    const QString friends = f.AddGroup("Vänner");
    const QString bertil = f.AddContact("Bertil", QString(), 1);
    f.AddRow(kMine, bertil);
    f.AddRow(friends, bertil);
    f.Frame()->RefreshGroups();
    f.ChooseGroup("Vänner");
    f.ui.AnswerBoxes(TMsgResult::Yes);
    f.Frame()->sbtnDeleteGroupClick();
    QCOMPARE(UIServices::MessageLog().first().Text,
             QString("Du är på väg att radera kontaktgruppen Vänner. Skall raderingen genomföras?\n\nOBS! Kontakterna "
                     "i gruppen kommer inte att raderas, de ligger kvar i övriga grupper där de fanns tidigare."));
    QCOMPARE(f.GroupEntries(), QStringList({"Mina kontakter", "Alla kontakter"}));
    QCOMPARE(f.AllRows(), QStringList({"Mina kontakter: Bertil"}));
    QCOMPARE(f.StoredRefCount(bertil), 1);
}

void TestContacts::picture_writtenOnlyWhenReplaced() {
    ContactsFixture f;
    f.Show();
    const QString bertil = f.AddContact("Bertil");
    f.AddRow(kMine, bertil);
    f.Frame()->RefreshGroups();
    f.ChooseMember("Bertil");
    const QString source = WriteBitmap(f.Folder() + "/bild.bmp", QSize(300, 200), QColor(30, 120, 40));
    f.ui.Choosers([&](const UIServices::TChooserRequest&) { return UIServices::TChooserAnswer{true, {source}, {}}; });
    f.Frame()->sbtnEditContactClick();
    QVERIFY(!f.Frame()->btnRemovePic->isEnabled());
    f.Frame()->btnPicFromFileClick();
    QVERIFY(f.Frame()->btnRemovePic->isEnabled());
    f.Frame()->btnSaveClick();
    const QString file = GetContactPicFile(bertil);
    QVERIFY(testsupport::ReadBytes(file).startsWith("\xFF\xD8"));
    QCOMPARE(f.settings->ReadString("Settings/UserPicFolder"), QFileInfo(source).absolutePath());
    // A picture of another quality than the program writes: any re-encoding would show.
    QImage stored(160, 200, QImage::Format_RGB32);
    stored.fill(QColor(200, 90, 20));
    QVERIFY(stored.save(file, "JPG", 97));
    const QByteArray first = testsupport::ReadBytes(file);
    f.Frame()->RefreshGroups();

    // A save of other fields leaves the file as it is.
    f.Frame()->sbtnEditContactClick();
    TypeInto(f.Frame()->dbeditEMail, "bertil@svamp.se");
    f.Frame()->btnSaveClick();
    QCOMPARE(testsupport::ReadBytes(file), first);
    QVERIFY(UserFixture::FileValue(f.ContactsFile(), bertil, "HasPic").toBool());

    // Removing the picture takes the file away once the record is stored.
    f.Frame()->sbtnEditContactClick();
    f.Frame()->btnRemovePicClick();
    QVERIFY(QFileInfo::exists(file));
    f.Frame()->btnSaveClick();
    QVERIFY(!QFileInfo::exists(file));
    QVERIFY(!UserFixture::FileValue(f.ContactsFile(), bertil, "HasPic").toBool());
}

void TestContacts::picture_fromClipboard() {
    ContactsFixture f;
    f.Show();
    QGuiApplication::clipboard()->clear();
    f.Frame()->sbtnNewContactClick();
    QVERIFY(f.Frame()->btnPicFromClipboard->isVisibleTo(f.Frame()));
    QVERIFY(!f.Frame()->btnPicFromClipboard->isEnabled());
    QImage image(400, 300, QImage::Format_RGB32);
    image.fill(QColor(10, 60, 200));
    QGuiApplication::clipboard()->setImage(image);
    QApplication::processEvents();
    QVERIFY(f.Frame()->btnPicFromClipboard->isEnabled());
    f.Frame()->btnPicFromClipboardClick();
    // Fitted into the picture's frame with its proportions kept.
    QCOMPARE(f.Frame()->ShownPicture().size(), QSize(192, 144));
    TypeInto(f.Frame()->dbeditUserName, "Doris");
    f.Frame()->btnSaveClick();
    const QString key = GetUKey(f.Contacts());
    QVERIFY(UserFixture::FileValue(f.ContactsFile(), key, "HasPic").toBool());
    QCOMPARE(QImage(GetContactPicFile(key)).size(), QSize(192, 144));
    QGuiApplication::clipboard()->clear();
    QApplication::processEvents();
    QVERIFY(!f.Frame()->btnPicFromClipboard->isEnabled());
}

void TestContacts::saveFailure_keepsTheEdit() {
    ContactsFixture f;
    f.Show();
    // A file where the picture folder should be: the picture cannot be written.
    QVERIFY(QDir().mkpath(f.Folder() + "/Data/Pics"));
    QVERIFY(testsupport::WriteBytes(GetContactPicFolder().chopped(1), "x"));
    const QString source = WriteBitmap(f.Folder() + "/bild.bmp", QSize(100, 100), QColor(30, 120, 40));
    f.ui.Choosers([&](const UIServices::TChooserRequest&) { return UIServices::TChooserAnswer{true, {source}, {}}; });
    f.ui.AnswerBoxes(TMsgResult::OK);
    f.Frame()->sbtnNewContactClick();
    TypeInto(f.Frame()->dbeditUserName, "Doris");
    f.Frame()->btnPicFromFileClick();
    f.Frame()->btnSaveClick();
    QCOMPARE(UIServices::MessageLog().size(), 1);
    QCOMPARE(UIServices::MessageLog().first().Caption, QString("Mykotekshallen - Fel"));
    QVERIFY2(UIServices::MessageLog().first().Text.startsWith("Fel vid lagring av kontakt. Meddelande: \"Bilden kunde "
                                                              "inte sparas i"),
             qPrintable(UIServices::MessageLog().first().Text));
    QCOMPARE(UserFixture::FileRecordCount(f.ContactsFile()), 0);
    QVERIFY(f.AllRows().isEmpty());
    // Nothing typed is lost: the edit stays open for another try or a cancel.
    QCOMPARE(f.Contacts()->State(), TDataSetState::dsInsert);
    QCOMPARE(f.Frame()->dbeditUserName->text(), QString("Doris"));
    QVERIFY(!ScreenHost()->NavigationEnabled());
    f.Frame()->btnCancelClick();
    QVERIFY(ScreenHost()->NavigationEnabled());
    QVERIFY(f.Members().isEmpty());
}

void TestContacts::settingsAndHistory_restoreTheView() {
    ContactsFixture f;
    f.Show();
    const QString friends = f.AddGroup("Vänner");
    const QString bertil = f.AddContact("Bertil");
    const QString cecilia = f.AddContact("Cecilia");
    f.AddRow(friends, bertil);
    f.AddRow(friends, cecilia);
    f.Frame()->RefreshGroups();
    f.ChooseGroup("Vänner");
    f.ChooseMember("Cecilia");
    const QString row = GetUKey(f.Rows());
    std::unique_ptr<TFRHistoryItem> item(f.Frame()->CreateHistoryItem());
    QCOMPARE(item->Title, QString("Till Kontakter - Cecilia"));
    QCOMPARE(item->UKey, friends);
    QCOMPARE(item->Values("ShowingAllContacts"), QString("0"));
    QCOMPARE(item->Values("RowUKey"), row);
    QCOMPARE(item->Values("ContactUKey"), cecilia);

    // Left and shown again: the settings bring back the group and its row.
    f.screen->Deactivate();
    ScreenHost()->SetCurrentScreen(nullptr);
    QCOMPARE(f.settings->ReadString("Contacts/Group"), friends);
    QCOMPARE(f.settings->ReadString("Contacts/GroupRow"), row);
    QVERIFY(LocateUKey(f.Groups(), kMine));
    f.Show();
    QCOMPARE(f.Frame()->comboGroups->currentText(), QString("Vänner"));
    QCOMPARE(f.Frame()->listboxGroupMembers->currentItem()->text(), QString("Cecilia"));
    QCOMPARE(GetUKey(f.Contacts()), cecilia);

    // Showing a contact from elsewhere switches to all contacts; the item brings the group back.
    f.screen->ShowContact(bertil);
    QVERIFY(f.Frame()->ShowingAll());
    QCOMPARE(f.Frame()->comboGroups->currentText(), QString("Alla kontakter"));
    QCOMPARE(f.Frame()->listboxGroupMembers->currentItem()->text(), QString("Bertil"));
    f.Frame()->RestoreHistory(item.get());
    QVERIFY(!f.Frame()->ShowingAll());
    QCOMPARE(f.Frame()->comboGroups->currentText(), QString("Vänner"));
    QCOMPARE(GetUKey(f.Contacts()), cecilia);

    // All contacts shown when left: shown so again, on the same contact.
    f.screen->ShowContact(bertil);
    f.screen->Deactivate();
    ScreenHost()->SetCurrentScreen(nullptr);
    QVERIFY(f.settings->ReadBool("Contacts/ShowingAll"));
    f.Show();
    QVERIFY(f.Frame()->ShowingAll());
    QCOMPARE(f.Frame()->listboxGroupMembers->currentItem()->text(), QString("Bertil"));

    // Never written: the view opens on "Mina kontakter".
    f.screen->Deactivate();
    ScreenHost()->SetCurrentScreen(nullptr);
    f.settings->WriteBool("Contacts/ShowingAll", false);
    f.settings->WriteString("Contacts/Group", "070AAAAAAAAAAAZZZZ");
    f.Show();
    QCOMPARE(f.Frame()->comboGroups->currentText(), QString("Mina kontakter"));
}

// After a scripted series of inserts and deletes across the tables that name contacts, every
// contact's count equals the records that name it.
void TestContacts::refCounts_matchTheReferences() {
    ContactsFixture f;
    TDM* dm = f.dm.get();
    const QString a = f.AddContact("Anna K");
    const QString b = f.AddContact("Bertil");
    const QString c = f.AddContact("Cecilia");
    const QString fungi = Insert(dm->cdsFungi, {{"SwedishName", "Karljohan"}, {"CompletedBy", a}});
    QVERIFY(LocateUKey(dm->cdsFungi, fungi));
    const QString pic1 = Insert(dm->cdsFungiPics, {{"Photographer", " UKEY=" + b}, {"CreatedBy", a}});
    Insert(dm->cdsFungiPics, {{"Photographer", "Fri text"}, {"CreatedBy", b}});
    const QString find = Insert(dm->cdsFungiFinds, {{"CreatedBy", c}});
    const QString place = Insert(dm->cdsPlaces, {{"PlaceName", "Ängen"}, {"CreatedBy", a}});
    QVERIFY(LocateUKey(dm->cdsPlaces, place));
    const QString visit = Insert(dm->cdsPlaceVisits, {{"CreatedBy", b}});
    QVERIFY(LocateUKey(dm->cdsPlaceVisits, visit));
    Insert(dm->cdsPlacePeople, {{"Individual", " UKEY=" + c}});
    Insert(dm->cdsPlacePeople, {{"Individual", " UKEY=" + a}});
    const QString user = f.AddUser("Cecilia");
    QVERIFY(LocateUKey(f.Users(), user));
    f.Users()->Edit();
    f.Users()->FieldByName("ContactUKey")->SetAsString(c);
    f.Users()->Post();
    // Group rows are no references.
    f.Show();
    f.AddRow(kMine, a);
    f.AddRow(kMine, c);

    QVERIFY(LocateUKey(dm->cdsFungiPics, pic1));
    dm->cdsFungiPics->Delete();
    QVERIFY(LocateUKey(dm->cdsFungiFinds, find));
    dm->cdsFungiFinds->Delete();
    QVERIFY(LocateUKey(dm->cdsPlaces, place));
    dm->cdsPlaces->Delete();  // its visit and participants go with it
    Insert(dm->cdsFungiFinds, {{"CreatedBy", b}});

    // Count what names each contact, straight from the files.
    QHash<QString, int> uses;
    for (const TTableRefFields& table : TDMServices::ReferenceFields()) {
        TExtClientDataSet* t = dm->Table(table.Table);
        if (!t || t->Filename().isEmpty() || !QFileInfo::exists(t->Filename())) continue;
        TClientDataSet stored;
        stored.LoadFromFile(t->Filename());
        for (stored.First(); !stored.Eof(); stored.Next())
            for (const TRefField& field : table.Fields)
                if (const TField* value = stored.FindField(field.Field)) {
                    const QString key = TDMServices::ReferencedKey(field, value->AsString());
                    if (!key.isEmpty()) ++uses[key];
                }
        stored.Close();
    }
    for (const QString& key : {a, b, c}) QCOMPARE(f.StoredRefCount(key), uses.value(key));
    QCOMPARE(uses.value(a), 1);  // CompletedBy; the picture, place and participant went
    QCOMPARE(uses.value(b), 2);  // the free-named picture's creator and the new find
    QCOMPARE(uses.value(c), 1);  // the user's mirror
}

void TestContacts::screenshots() {
    ContactsFixture f;
    f.Show();
    const QString friends = f.AddGroup("Svampvänner i Ålänge");
    const QString bertil = f.AddContact("Bertil Öberg", "bertil.oberg@svampforeningen.se");
    f.AddRow(friends, bertil);
    f.AddRow(friends, f.AddContact("Cecilia Ärlig", "cecilia@exempel.se"));
    f.AddRow(friends, f.AddContact("Åke Ström"));
    f.Frame()->RefreshGroups();
    f.ChooseGroup("Svampvänner i Ålänge");
    f.ChooseMember("Bertil Öberg (bertil.oberg@svampforeningen.se)");
    f.Shot("contacts_group_800x600", QSize(800, 600));
    f.Shot("contacts_group_1280x1024", QSize(1280, 1024));
    f.Frame()->sbtnEditContactClick();
    f.Shot("contacts_edit_800x600", QSize(800, 600));
    f.Shot("contacts_edit_1280x1024", QSize(1280, 1024));
    f.Frame()->btnCancelClick();
    f.Frame()->sbtnNewGroupClick();
    TypeInto(f.Frame()->dbeditGroupName, "Exkursion i Örebro");
    f.Shot("contacts_newgroup_800x600", QSize(800, 600));
    f.Shot("contacts_newgroup_1280x1024", QSize(1280, 1024));
    f.Frame()->btnCancelClick();
    f.ui.Dialogs([](QDialog* d) {
        d->show();
        QApplication::processEvents();
        QVERIFY(d->grab().save(testsupport::ArtefactDir() + "/contacts_movecontact.png"));
        d->reject();
    });
    f.Frame()->sbtnMoveContactClick();
}

QTEST_MAIN(TestContacts)
#include "tst_contacts.moc"
