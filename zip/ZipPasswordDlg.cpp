#include "ZipPasswordDlg.h"

#include <QApplication>
#include <QFont>
#include <functional>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/UIServices.h"
#include "zip/ZipMsg.h"

TPasswordDlg::TPasswordDlg(QWidget* parent, int buttons) : QDialog(parent ? parent : QApplication::activeWindow()) {
    SetupForm(buttons);
}

void* TPasswordDlg::ApplicationWindowHandle() {
    QWidget* window = QApplication::activeWindow();
    // The window system's handle is a number that stands for a pointer.
    return window ? reinterpret_cast<void*>(window->winId()) : nullptr;  // NOLINT(performance-no-int-to-ptr)
}

void TPasswordDlg::SetupForm(int buttons) {
    setObjectName(QStringLiteral("PasswordDlg"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(12);
    f.setWeight(QFont::Black);
    setFont(f);
    int n = 1;
    for (int bit : {int(pwbCancel), int(pwbCancelAll), int(pwbAbort)})
        if (buttons & bit) ++n;
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(20, 8, 20, 12);
    labelPrompt = new QLabel(this);
    labelPrompt->setObjectName(QStringLiteral("labelPrompt"));
    labelPrompt->setMinimumWidth(297);
    outer->addWidget(labelPrompt);
    editPassword = new QLineEdit(this);
    editPassword->setObjectName(QStringLiteral("editPassword"));
    editPassword->setEchoMode(QLineEdit::Password);
    editPassword->setMaxLength(80);
    editPassword->setMinimumWidth(124 * n - 10);
    outer->addWidget(editPassword);
    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    auto make = [&](const char* name, int id, const std::function<void()>& onClick) {
        auto* b = new QPushButton(zipmsg::ResourceText(id), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setMinimumSize(114, 28);
        connect(b, &QPushButton::clicked, this, onClick);
        row->addWidget(b);
        return b;
    };
    btnOK = make("btnOK", zipmsg::PasswordOkButton, [this] { done(QDialog::Accepted); });
    btnOK->setDefault(true);
    if (buttons & pwbCancel)
        btnCancel = make("btnCancel", zipmsg::PasswordCancelButton, [this] { done(QDialog::Rejected); });
    // The texts of "Cancel all" and "Abort" are not among the resources.
    if (buttons & pwbCancelAll) {
        btnCancelAll = make("btnCancelAll", zipmsg::PasswordCancelAllButton, [this] { done(mrNoToAll); });
        btnCancelAll->setText(QStringLiteral("Avbryt &alla"));
    }
    if (buttons & pwbAbort) {
        btnAbort = make("btnAbort", zipmsg::PasswordAbortButton, [this] { done(mrAbort); });
        btnAbort->setText(QStringLiteral("A&vsluta"));
    }
    outer->addLayout(row);
    resize(124 * n + 35, 137);
}

QString TPasswordDlg::ShowDlg(const QString& caption, const QString& prompt, int& modalResult) {
    setWindowTitle(caption);
    labelPrompt->setText(prompt);
    editPassword->clear();
    editPassword->setFocus();
    modalResult = UIServices::ExecDialog(this);
    return modalResult == QDialog::Accepted ? editPassword->text() : QString();
}
