#include <QtTest>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>

#include "UserTestSupport.h"
#include "shell/unitFirstUser.h"
#include "shell/unitFrameUsers.h"
#include "shell/unitLogin.h"
#include "platform/Exception.h"

using UIServices::TMsgIcon;
using UIServices::TMsgResult;

class TestLogin : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void noUsers_firstUserDialogCreatesAndLogsIn();
    void firstUserDialog_closedOtherwise_cancels_data();
    void firstUserDialog_closedOtherwise_cancels();
    void firstUserDialog_refusesMissingNameAndUnrepeatedPassword();
    void oneUserWithoutPassword_loggedInDirectly();
    void oneUserWithPassword_dialogFocusesPassword();
    void loginDialog_listAndPrompt();
    void loginDialog_lastUserChosenAndPasswordFocused();
    void loginDialog_passwords_data();
    void loginDialog_passwords();
    void loginDialog_cancelled();
    void selectCurrentUser_failure();
    void keysCheckedBeforeFilePaths_data();
    void keysCheckedBeforeFilePaths();
    void userSettingsFile();
};

void TestLogin::noUsers_firstUserDialogCreatesAndLogsIn() {
    UserFixture f;
    UserFixture::AnswerBoxes(TMsgResult::OK);
    int dialogs = 0;
    UIServices::SetDialogHook([&](QDialog* d) {
        ++dialogs;
        auto* form = qobject_cast<TformCreateFirstUser*>(d);
        QVERIFY(form);
        TframeUsers* frame = form->frameUsers;
        QCOMPARE(f.Users()->State(), TDataSetState::dsInsert);
        QVERIFY(!frame->tabsFirstUserInfo->isHidden());
        QVERIFY(frame->pagesUsers->currentWidget() == frame->tabsFirstUserInfo);
        QVERIFY(!frame->AdminChoiceVisible());
        TypeInto(frame->dbeditUserName, "Greta Gran");
        TypeInto(frame->dbeditEMail, "greta@example.se");
        TypeInto(frame->dbeditPassword, "Sopp");
        TypeInto(frame->editRepeatPassword, "Sopp");
        QTest::mouseClick(frame->btnSave, Qt::LeftButton);
    });

    QVERIFY(LoginUser());
    QCOMPARE(dialogs, 1);
    QVERIFY(f.statusHidden >= 1);
    QVERIFY(UIServices::MessageLog().isEmpty());

    // The user is stored, is the administrator, and is the one logged in.
    QCOMPARE(f.Users()->RecordCount(), 1);
    const QString key = f.Users()->FieldByName("UKey")->AsString();
    QVERIFY(IsValidRecordKey(key, "010"));
    QCOMPARE(UserFixture::FileValue(f.UsersFile(), key, "UserName").toString(), QString("Greta Gran"));
    QCOMPARE(UserFixture::FileValue(f.UsersFile(), key, "Password").toString(), QString("Sopp"));
    QCOMPARE(UserFixture::FileValue(f.UsersFile(), key, "UserData").toString(), QString("TOLP"));
    QCOMPARE(LoggedInUserKey(), key);
    QCOMPARE(GetUKey(f.dm->cdsCurrentUser), key);
    QVERIFY(IsLoggedInAdministrator());

    // The user's contact mirror points back to the user, and the user to it.
    const QString contact = UserFixture::FileValue(f.UsersFile(), key, "ContactUKey").toString();
    QVERIFY(IsValidRecordKey(contact, "060"));
    QCOMPARE(GetCurrentUserContactUKey(), contact);
    QCOMPARE(UserFixture::FileValue(f.ContactsFile(), contact, "UserUKey").toString(), key);
    QCOMPARE(UserFixture::FileValue(f.ContactsFile(), contact, "UserName").toString(), QString("Greta Gran"));
    QCOMPARE(UserFixture::FileValue(f.ContactsFile(), contact, "EMail").toString(), QString("greta@example.se"));
}

void TestLogin::firstUserDialog_closedOtherwise_cancels_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("cancel button") << "cancel";
    QTest::newRow("window close button") << "close";
    QTest::newRow("escape key") << "escape";
}

void TestLogin::firstUserDialog_closedOtherwise_cancels() {
    QFETCH(QString, how);
    UserFixture f;
    UserFixture::AnswerBoxes(TMsgResult::OK);
    UIServices::SetDialogHook([&](QDialog* d) {
        auto* form = qobject_cast<TformCreateFirstUser*>(d);
        QVERIFY(form);
        TypeInto(form->frameUsers->dbeditUserName, "Halvfärdig");
        if (how == "cancel")
            QTest::mouseClick(form->frameUsers->btnCancel, Qt::LeftButton);
        else if (how == "close")
            form->close();
        else
            QTest::keyClick(form, Qt::Key_Escape);
        QVERIFY(!form->isVisible());
    });

    QVERIFY(!LoginUser());
    QCOMPARE(UIServices::MessageLog().size(), 1);
    const UIServices::TShownMessage box = UIServices::MessageLog().first();
    QCOMPARE(box.Icon, TMsgIcon::Information);
    QCOMPARE(box.Caption, QString("Mykotekshallen"));
    QCOMPARE(box.Text, QString("Inmatning av första användare avbruten. Programmet avslutas."));
    // Nothing half-entered is left, in memory or in the files.
    QCOMPARE(f.Users()->State(), TDataSetState::dsBrowse);
    QVERIFY(f.Users()->IsEmpty());
    QCOMPARE(UserFixture::FileRecordCount(f.UsersFile()), 0);
    QCOMPARE(UserFixture::FileRecordCount(f.ContactsFile()), 0);
    QVERIFY(LoggedInUserKey().isEmpty());
}

void TestLogin::firstUserDialog_refusesMissingNameAndUnrepeatedPassword() {
    UserFixture f;
    UserFixture::AnswerBoxes(TMsgResult::OK);
    UIServices::SetDialogHook([&](QDialog* d) {
        auto* form = qobject_cast<TformCreateFirstUser*>(d);
        TframeUsers* frame = form->frameUsers;

        QVERIFY_THROWS_EXCEPTION(Exception, frame->btnSaveClick());
        try {
            frame->btnSaveClick();
        } catch (const Exception& e) {
            QCOMPARE(e.Message(), QString("Användarnamn måste anges"));
        }
        QCOMPARE(f.Users()->State(), TDataSetState::dsInsert);
        QVERIFY(form->isVisible());

        TypeInto(frame->dbeditUserName, "Greta");
        TypeInto(frame->dbeditPassword, "abc");
        TypeInto(frame->editRepeatPassword, "abd");
        try {
            frame->btnSaveClick();
            QFAIL("an unrepeated password was accepted");
        } catch (const Exception& e) {
            QCOMPARE(e.Message(), QString("Lösenordet ej korrekt upprepat"));
        }
        QVERIFY(frame->dbeditPassword->text().isEmpty());
        QVERIFY(frame->editRepeatPassword->text().isEmpty());
        QCOMPARE(frame->dbeditUserName->text(), QString("Greta"));
        QCOMPARE(f.Users()->State(), TDataSetState::dsInsert);
        QCOMPARE(UserFixture::FileRecordCount(f.UsersFile()), 0);

        // Saving again without typing is refused again: the emptied edits are no repeat.
        QVERIFY_THROWS_EXCEPTION(Exception, frame->btnSaveClick());
        QCOMPARE(f.Users()->State(), TDataSetState::dsInsert);
        QCOMPARE(UserFixture::FileRecordCount(f.UsersFile()), 0);

        // Typed alike, the user is saved with that password.
        TypeInto(frame->dbeditPassword, "abc");
        TypeInto(frame->editRepeatPassword, "abc");
        frame->btnSaveClick();
    });
    QVERIFY(LoginUser());
    QCOMPARE(f.Users()->RecordCount(), 1);
    QCOMPARE(f.Users()->FieldByName("Password")->AsString(), QString("abc"));
    QCOMPARE(f.Users()->FieldByName("UserData")->AsString(), QString("TOLP"));
}

void TestLogin::oneUserWithoutPassword_loggedInDirectly() {
    UserFixture f;
    const QString key = f.AddUser("Ensam", QString(), true);
    int dialogs = 0;
    UIServices::SetDialogHook([&](QDialog*) { ++dialogs; });
    QVERIFY(LoginUser());
    QCOMPARE(dialogs, 0);
    QCOMPARE(LoggedInUserKey(), key);
    QCOMPARE(GetUKey(f.dm->cdsCurrentUser), key);
    QCOMPARE(f.dm->cdsCurrentUser->FieldByName("UserName")->AsString(), QString("Ensam"));
}

void TestLogin::oneUserWithPassword_dialogFocusesPassword() {
    UserFixture f;
    const QString key = f.AddUser("Ensam", "hemligt", true);
    bool checked = false;
    UIServices::SetDialogHook([&](QDialog* d) {
        auto* form = qobject_cast<TformLoginUser*>(d);
        QVERIFY(form);
        QCOMPARE(form->windowTitle(), QString("Mykotekshallen - Inloggning"));
        QVERIFY(!form->editPassword->isHidden());
        QCOMPARE(form->focusWidget(), form->editPassword);
        QTest::keyClicks(form->editPassword, "HEMLIGT");
        QTest::mouseClick(form->btnLogin, Qt::LeftButton);
        checked = true;
    });
    QVERIFY(LoginUser());
    QVERIFY(checked);
    QCOMPARE(LoggedInUserKey(), key);
}

void TestLogin::loginDialog_lastUserChosenAndPasswordFocused() {
    UserFixture f;
    UserFixture::AnswerBoxes(TMsgResult::OK);
    const QString anna = f.AddUser("Anna", "a", true);
    const QString bertil = f.AddUser("Bertil", "b");
    const QString cecilia = f.AddUser("Cecilia", "c");
    // Each user's settings are saved when they quit: Bertil quit last.
    const QDateTime now = QDateTime::currentDateTime();
    const QList<QPair<QString, int>> quits = {{anna, -300}, {bertil, -10}, {cecilia, -3600}};
    for (const auto& [key, seconds] : quits) {
        const QString file = GetUserSettingsFile(key);
        QVERIFY(testsupport::WriteBytes(file, "[Settings]\n"));
        QFile handle(file);
        QVERIFY(handle.open(QIODevice::ReadWrite));
        QVERIFY(handle.setFileTime(now.addSecs(seconds), QFileDevice::FileModificationTime));
    }
    bool checked = false;
    UIServices::SetDialogHook([&](QDialog* d) {
        auto* form = qobject_cast<TformLoginUser*>(d);
        QCOMPARE(form->listboxUsers->currentRow(), 1);
        QCOMPARE(GetUKey(f.Users()), bertil);
        QCOMPARE(form->focusWidget(), form->editPassword);
        // Typing the password and Enter is all it takes.
        QTest::keyClicks(form->focusWidget(), "b");
        QTest::keyClick(form->focusWidget(), Qt::Key_Return);
        checked = true;
    });
    QVERIFY(LoginUser());
    QVERIFY(checked);
    QCOMPARE(LoggedInUserKey(), bertil);
}

void TestLogin::loginDialog_listAndPrompt() {
    UserFixture f;
    f.AddUser("Bertil", "b");
    f.AddUser("Anna", QString(), true);
    f.AddUser("Cecilia", "c");
    TformLoginUser form;
    form.show();
    // Table order (by name), the administrator marked; the first entry and record chosen.
    QCOMPARE(form.listboxUsers->count(), 3);
    QCOMPARE(form.listboxUsers->item(0)->text(), QString("Anna (administratör)"));
    QCOMPARE(form.listboxUsers->item(1)->text(), QString("Bertil"));
    QCOMPARE(form.listboxUsers->item(2)->text(), QString("Cecilia"));
    QCOMPARE(form.listboxUsers->currentRow(), 0);
    QCOMPARE(f.Users()->RecNo(), 1);
    QCOMPARE(form.lblPassword->text(), QString("Användaren saknar lösenord"));
    QVERIFY(form.editPassword->isHidden());
    // Without a password Enter logs in at once.
    QCOMPARE(form.focusWidget(), form.btnLogin);

    QTest::keyClicks(form.editPassword, "x");
    form.listboxUsers->setCurrentRow(1);
    QCOMPARE(f.Users()->FieldByName("UserName")->AsString(), QString("Bertil"));
    QCOMPARE(form.lblPassword->text(), QString("Lösenord:"));
    QVERIFY(!form.editPassword->isHidden());
    QTest::keyClicks(form.editPassword, "abc");
    form.listboxUsersClick(2);
    QVERIFY(form.editPassword->text().isEmpty());  // emptied on each change of user
}

void TestLogin::loginDialog_passwords_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("same") << "Kantarell"
                          << "Kantarell" << true;
    QTest::newRow("other case") << "Kantarell"
                                << "kANTARELL" << true;
    QTest::newRow("swedish letters in other case") << "blåbär"
                                                   << "BLÅBÄR" << true;
    QTest::newRow("wrong") << "Kantarell"
                           << "Kantarel" << false;
    QTest::newRow("empty typed") << "Kantarell"
                                 << "" << false;
    QTest::newRow("no password") << ""
                                 << "" << true;
}

void TestLogin::loginDialog_passwords() {
    QFETCH(QString, stored);
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    UserFixture f;
    UserFixture::AnswerBoxes(TMsgResult::OK);
    f.AddUser("Anna", "annas", true);
    const QString key = f.AddUser("Bertil", stored);
    UIServices::SetDialogHook([&](QDialog* d) {
        auto* form = qobject_cast<TformLoginUser*>(d);
        form->listboxUsers->setCurrentRow(1);
        if (!form->editPassword->isHidden()) TypeInto(form->editPassword, typed);
        form->btnLoginClick();
        QCOMPARE(form->isVisible(), !accepted);
        if (!accepted) {
            QVERIFY(form->editPassword->text().isEmpty());
            QCOMPARE(form->focusWidget(), form->editPassword);
        }
    });
    QCOMPARE(LoginUser(), accepted);
    if (accepted) {
        QCOMPARE(LoggedInUserKey(), key);
        QVERIFY(UIServices::MessageLog().isEmpty());
    } else {
        QVERIFY(LoggedInUserKey().isEmpty());
        QCOMPARE(UIServices::MessageLog().size(), 1);
        const UIServices::TShownMessage box = UIServices::MessageLog().first();
        QCOMPARE(box.Icon, TMsgIcon::Warning);
        QCOMPARE(box.Caption, QString("Mykotekshallen - Fel"));
        QCOMPARE(box.Text, QString("Felaktigt lösenord för användare \"Bertil\""));
    }
}

void TestLogin::loginDialog_cancelled() {
    UserFixture f;
    f.AddUser("Anna", "a", true);
    f.AddUser("Bertil", "b");
    UIServices::SetDialogHook(
        [](QDialog* d) { QTest::mouseClick(qobject_cast<TformLoginUser*>(d)->btnCancel, Qt::LeftButton); });
    QVERIFY(!LoginUser());
    QVERIFY(LoggedInUserKey().isEmpty());
}

void TestLogin::selectCurrentUser_failure() {
    UserFixture f;
    f.AddUser("Anna", QString(), true);
    for (const QString& key :
         {QString("010AAAAAAAAAAAAAAA"), QString("../../etc/passwd"), QString("060BBBBBBBBBBBBBBB")}) {
        try {
            SelectCurrentUser(key);
            QFAIL("an unknown user was selected");
        } catch (const Exception& e) {
            QCOMPARE(e.Message(), QString("Val av inloggad användare misslyckades (SetCurrentUser)"));
        }
    }
    QVERIFY(LoggedInUserKey().isEmpty());
}

void TestLogin::keysCheckedBeforeFilePaths_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("valid");
    QTest::newRow("drawn key") << "010AAKQWERTYUIOPZX" << true;
    QTest::newRow("fixed key") << "010AAAAAAAAAAAAAAA" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("other table") << "060AAAAAAAAAAAAAAA" << false;
    QTest::newRow("parent folder") << "010../../../../../x" << false;
    QTest::newRow("slash") << "010AAAAAAAAAAAA/AA" << false;
    QTest::newRow("backslash") << "010AAAAAAAAAAAA\\AA" << false;
    QTest::newRow("too short") << "010AAAA" << false;
    QTest::newRow("too long") << "010AAAAAAAAAAAAAAAA" << false;
    QTest::newRow("blank") << "010AAAAAAA AAAAAAA" << false;
    QTest::newRow("non-ascii letter") << "010AAAAAAAAAAAAAÅA" << false;
}

void TestLogin::keysCheckedBeforeFilePaths() {
    QFETCH(QString, key);
    QFETCH(bool, valid);
    UserFixture f;
    QCOMPARE(IsValidRecordKey(key, "010"), valid);
    if (valid) {
        QCOMPARE(GetUserSettingsFile(key), f.Folder() + "Data/Users/" + key + ".ini");
    } else {
        try {
            GetUserSettingsFile(key);
            QFAIL("a bad key became part of a path");
        } catch (const Exception& e) {
            QCOMPARE(e.Message(), QString("Ogiltig postnyckel \"%1\"").arg(key));
        }
    }
}

void TestLogin::userSettingsFile() {
    UserFixture f;
    const QString key = f.AddUser("Anna", QString(), true);
    QVERIFY(LoginUser());
    OpenUserSettings(f.settings.get());
    f.settings->WriteInteger("Settings/LastVisitedScreen", 8);
    f.settings->Flush();
    const QString file = f.Folder() + "Data/Users/" + key + ".ini";
    QVERIFY(QFileInfo::exists(file));
    TFRIniFile again;
    again.SetDefaults(TFRIniFile::ProgramDefaults());
    again.SetFilename(file);
    again.Open();
    QCOMPARE(again.ReadInteger("Settings/LastVisitedScreen"), 8);
}

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
