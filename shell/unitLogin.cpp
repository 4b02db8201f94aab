#include "shell/unitLogin.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/ExtClientDataSet.h"
#include "shell/MyVisualUtils.h"
#include "core/unitDM.h"
#include "shell/unitUserScreen.h"
#include "platform/Exception.h"
#include "platform/UIServices.h"

namespace {
TExtClientDataSet* Users() { return UsersDM()->cdsUsers; }
}  // namespace

TformLoginUser::TformLoginUser(QWidget* parent) : QDialog(parent) { SetupForm(); }

void TformLoginUser::SetupForm() {
    setObjectName(QStringLiteral("formLoginUser"));
    setWindowTitle(QStringLiteral("Mykotekshallen - Inloggning"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* lblUsers = new QLabel(QStringLiteral("Användare:"), this);
    lblUsers->setObjectName(QStringLiteral("lblUsers"));
    listboxUsers = new QListWidget(this);
    listboxUsers->setObjectName(QStringLiteral("listboxUsers"));
    lblPassword = new QLabel(QStringLiteral("Lösenord:"), this);
    lblPassword->setObjectName(QStringLiteral("lblPassword"));
    editPassword = new QLineEdit(this);
    editPassword->setObjectName(QStringLiteral("editPassword"));
    editPassword->setEchoMode(QLineEdit::Password);
    btnLogin = new QPushButton(QStringLiteral("Logga in"), this);
    btnLogin->setObjectName(QStringLiteral("btnLogin"));
    btnLogin->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Avbryt"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setAutoDefault(false);
    btnHelp = new QPushButton(QStringLiteral("Hjälp"), this);
    btnHelp->setObjectName(QStringLiteral("btnHelp"));
    btnHelp->setAutoDefault(false);

    layout->addWidget(lblUsers);
    layout->addWidget(listboxUsers, 1);
    layout->addWidget(lblPassword);
    layout->addWidget(editPassword);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnLogin);
    buttons->addWidget(btnCancel);
    buttons->addStretch(1);
    buttons->addWidget(btnHelp);
    layout->addLayout(buttons);

    connect(listboxUsers, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!m_filling) listboxUsersClick(row);
    });
    connect(btnLogin, &QPushButton::clicked, this, [this] { btnLoginClick(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { reject(); });
    connect(btnHelp, &QPushButton::clicked, this, [this] { btnHelpClick(); });
    FitDialogToScreen(this, QSize(360, 320));
}

void TformLoginUser::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

// The row of the user who logged in last: the one whose settings file was saved last (it is
// saved when a user quits). The first row when no user has saved settings yet.
int LastUserRow(TExtClientDataSet* users) {
    const int keyField = users->FieldByName(QStringLiteral("UKey"))->Index();
    int best = 0;
    QDateTime newest;
    for (int i = 0; i < users->RecordCount(); ++i) {
        const QFileInfo settings(GetUserSettingsFile(users->RecordValue(i, keyField).toString()));
        if (settings.isFile() && (!newest.isValid() || settings.lastModified() > newest)) {
            newest = settings.lastModified();
            best = i;
        }
    }
    return best;
}

void TformLoginUser::FormShow() {
    TExtClientDataSet* users = Users();
    m_filling = true;
    listboxUsers->clear();
    const int nameField = users->FieldByName(QStringLiteral("UserName"))->Index();
    const int roleField = users->FieldByName(QStringLiteral("UserData"))->Index();
    for (int i = 0; i < users->RecordCount(); ++i) {
        QString name = users->RecordValue(i, nameField).toString();
        if (users->RecordValue(i, roleField).toString() == QLatin1String(AdministratorMark))
            name += QStringLiteral(" (administratör)");
        listboxUsers->addItem(name);
    }
    const int row = users->IsEmpty() ? -1 : LastUserRow(users);
    if (row >= 0) listboxUsers->setCurrentRow(row);
    m_filling = false;
    if (row >= 0) users->SetRecNo(row + 1);
    UpdatePasswordPrompt();
    // Ready to type the password and press Enter; without a password Enter logs in.
    if (!editPassword->isHidden())
        editPassword->setFocus();
    else
        btnLogin->setFocus();
}

void TformLoginUser::UpdatePasswordPrompt() {
    TExtClientDataSet* users = Users();
    const bool hasPassword = !users->IsEmpty() && !users->FieldByName(QStringLiteral("Password"))->AsString().isEmpty();
    lblPassword->setText(hasPassword ? QStringLiteral("Lösenord:") : QStringLiteral("Användaren saknar lösenord"));
    editPassword->setVisible(hasPassword);
    editPassword->clear();
}

void TformLoginUser::listboxUsersClick(int row) {
    TExtClientDataSet* users = Users();
    if (row >= 0 && row < users->RecordCount()) users->SetRecNo(row + 1);
    UpdatePasswordPrompt();
}

void TformLoginUser::btnLoginClick() {
    TExtClientDataSet* users = Users();
    if (users->IsEmpty()) return;
    const QString stored = users->FieldByName(QStringLiteral("Password"))->AsString();
    if (stored.toUpper() == editPassword->text().toUpper()) {
        SelectCurrentUser();
        accept();
        return;
    }
    editPassword->clear();
    editPassword->setFocus();
    UIServices::MessageBox(UIServices::TMsgIcon::Warning, UIServices::TMsgButtons::OK,
                           QStringLiteral("Mykotekshallen - Fel"),
                           QStringLiteral("Felaktigt lösenord för användare \"%1\"")
                               .arg(users->FieldByName(QStringLiteral("UserName"))->AsString()));
}

void TformLoginUser::btnHelpClick() {
    UIServices::ShowInformation(
        QStringLiteral("Välj Ditt namn i listan och skriv Ditt lösenord. Versaler och gemener räknas lika.\n\n"
                       "Har Du glömt lösenordet kan administratören ge Dig ett nytt under \"Användarhantering\"."),
        QStringLiteral("Mykotekshallen - Hjälp"));
}

#include "moc_unitLogin.cpp"
