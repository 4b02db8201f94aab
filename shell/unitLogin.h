#pragma once
// The login dialog: the users in table order (the administrator marked), the password of the
// chosen user, "Logga in", "Avbryt" and "Hjälp". The user who logged in last is chosen and
// the password field has the focus. It closes with OK once the chosen user's
// password was given and that user became the logged-in one.
#include <QDialog>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class TExtClientDataSet;

// The row (table order) of the user who logged in last; 0 when none is known.
int LastUserRow(TExtClientDataSet* users);

class TformLoginUser : public QDialog {
    Q_OBJECT
public:
    explicit TformLoginUser(QWidget* parent = nullptr);

    void listboxUsersClick(int row);
    void btnLoginClick();
    void btnHelpClick();

    QListWidget* listboxUsers = nullptr;
    QLabel* lblPassword = nullptr;
    QLineEdit* editPassword = nullptr;
    QPushButton* btnLogin = nullptr;  // "Logga in"
    QPushButton* btnCancel = nullptr;  // "Avbryt"
    QPushButton* btnHelp = nullptr;  // "Hjälp"

protected:
    void showEvent(QShowEvent* event) override;

private:
    void SetupForm();
    void FormShow();
    void UpdatePasswordPrompt();
    bool m_filling = false;
};
