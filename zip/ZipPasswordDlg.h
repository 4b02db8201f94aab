#pragma once
// The password prompt of the zip component, built in code: a prompt, a masked edit of at
// most 80 characters and up to four buttons in a row.
#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

class TPasswordDlg : public QDialog {
    Q_OBJECT
public:
    // Button bits beside OK (always there).
    enum : int { pwbCancel = 2, pwbCancelAll = 4, pwbAbort = 8 };
    // The modal result of "Cancel all".
    static constexpr int mrNoToAll = 9;
    static constexpr int mrAbort = 3;

    // Without a parent the dialog belongs to the active window.
    TPasswordDlg(QWidget* parent, int buttons);
    // The handle of the application's active window, handed to the library modules for
    // their own dialogs; nullptr when there is none.
    static void* ApplicationWindowHandle();
    // Shows the dialog modally; the entry after OK, else an empty text. modalResult gets
    // QDialog::Accepted (OK), QDialog::Rejected (Cancel), mrNoToAll or mrAbort.
    QString ShowDlg(const QString& caption, const QString& prompt, int& modalResult);

    QLabel* labelPrompt = nullptr;
    QLineEdit* editPassword = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnCancelAll = nullptr;
    QPushButton* btnAbort = nullptr;

private:
    void SetupForm(int buttons);
};
