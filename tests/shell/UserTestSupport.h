#pragma once
// A data module in a temporary program folder, wired as the users' environment, with small
// helpers to put users in and read the tables back from their files.
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <memory>
#include <utility>

#include "core/ExtClientDataSet.h"
#include "core/FRIniFile.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "shell/unitMain.h"
#include "shell/unitUserScreen.h"
#include "platform/UIServices.h"
#include "support/VisualTestSupport.h"

// Installs the data module's services, makes a settings store with the program's defaults and
// sets the users' environment on both; the store is the caller's to keep.
inline std::unique_ptr<TFRIniFile> UseDataModule(TDM* dm, std::function<void()> hideStatus = {}) {
    TDMServices::Install(dm);
    auto settings = std::make_unique<TFRIniFile>();
    settings->SetDefaults(TFRIniFile::ProgramDefaults());
    TUserEnvironment env;
    env.DM = dm;
    env.Settings = settings.get();
    env.HideStatusWindow = std::move(hideStatus);
    SetUserEnvironment(env);
    return settings;
}

struct UserFixture {
    // Every hook a test sets goes when the fixture does.
    testsupport::UIServicesGuard ui;
    QTemporaryDir dir;
    std::unique_ptr<TDM> dm;
    std::unique_ptr<TFRIniFile> settings;
    int statusHidden = 0;

    UserFixture() {
        SetProgramFolder(dir.path());
        dm = std::make_unique<TDM>(dir.path());
        settings = UseDataModule(dm.get(), [this] { ++statusHidden; });
    }
    ~UserFixture() {
        SetUserEnvironment({});
        SetProgramFolder(QString());
    }

    QString Folder() const { return dm->ProgramFolder(); }
    TExtClientDataSet* Users() const { return dm->cdsUsers; }
    TExtClientDataSet* Contacts() const { return dm->cdsContacts; }

    // Appends a user directly to the table and returns the key.
    QString AddUser(const QString& name, const QString& password = QString(), bool admin = false) {
        TExtClientDataSet* users = Users();
        users->Append();
        users->FieldByName("UserName")->SetAsString(name);
        if (!password.isEmpty()) users->FieldByName("Password")->SetAsString(password);
        if (admin) users->FieldByName("UserData")->SetAsString(AdministratorMark);
        users->Post();
        return users->FieldByName("UKey")->AsString();
    }

    // A field of the record with the key, read from the table's file (not from memory).
    static QVariant FileValue(const QString& file, const QString& key, const QString& field) {
        TClientDataSet t;
        t.LoadFromFile(file);
        QVariant value;
        if (t.Locate("UKey", key)) value = t.FieldByName(field)->Value();
        t.Close();
        return value;
    }
    static QStringList FileKeysWhere(const QString& file, const QString& field, const QString& equals) {
        TClientDataSet t;
        t.LoadFromFile(file);
        QStringList keys;
        for (t.First(); !t.Eof(); t.Next())
            if (t.FieldByName(field)->AsString() == equals) keys << t.FieldByName("UKey")->AsString();
        t.Close();
        return keys;
    }
    static int FileRecordCount(const QString& file) {
        TClientDataSet t;
        t.LoadFromFile(file);
        const int n = t.RecordCount();
        t.Close();
        return n;
    }
    QString UsersFile() const { return Users()->Filename(); }
    QString ContactsFile() const { return Contacts()->Filename(); }

    // Every box is answered with the given answer and kept in the log.
    static void AnswerBoxes(UIServices::TMsgResult answer) {
        UIServices::SetMessageHook([answer](const UIServices::TShownMessage&) { return answer; });
    }
};

// Types into an edit as a user would (the edit's textEdited fires).
inline void TypeInto(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    if (text.isEmpty()) {
        QTest::keyClick(edit, Qt::Key_Delete);
        return;
    }
    // Key by key with the character as the event's text, which also covers Swedish letters.
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(edit, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(edit, &release);
    }
}
