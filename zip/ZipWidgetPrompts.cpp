// The zip component's prompts in the program's windows: the program's message boxes, the
// component's password dialog and the hourglass as override cursor.
#include <QApplication>
#include <QDialog>
#include <QGuiApplication>

#include "platform/UIServices.h"
#include "zip/ZipPasswordDlg.h"
#include "zip/ZipPrompts.h"

namespace Zip {

namespace {

static_assert(int(PasswordCancelButton) == int(TPasswordDlg::pwbCancel) &&
              int(PasswordCancelAllButton) == int(TPasswordDlg::pwbCancelAll) &&
              int(PasswordAbortButton) == int(TPasswordDlg::pwbAbort));
static_assert(int(PasswordAccepted) == int(QDialog::Accepted) && int(PasswordRejected) == int(QDialog::Rejected) &&
              int(PasswordNoToAll) == TPasswordDlg::mrNoToAll && int(PasswordAbort) == TPasswordDlg::mrAbort);

UIServices::TMsgIcon BoxIcon(TPromptIcon icon) {
    switch (icon) {
        case TPromptIcon::Information:
            return UIServices::TMsgIcon::Information;
        case TPromptIcon::Warning:
            return UIServices::TMsgIcon::Warning;
        case TPromptIcon::Error:
            return UIServices::TMsgIcon::Error;
        case TPromptIcon::Question:
            break;
    }
    return UIServices::TMsgIcon::Question;
}

UIServices::TMsgButtons BoxButtons(TPromptButtons buttons) {
    switch (buttons) {
        case TPromptButtons::OK:
            return UIServices::TMsgButtons::OK;
        case TPromptButtons::YesNo:
            return UIServices::TMsgButtons::YesNo;
        case TPromptButtons::YesNoCancel:
            return UIServices::TMsgButtons::YesNoCancel;
        case TPromptButtons::OKCancel:
            return UIServices::TMsgButtons::OKCancel;
        case TPromptButtons::RetryCancel:
            break;
    }
    return UIServices::TMsgButtons::RetryCancel;
}

TPromptAnswer Answer(UIServices::TMsgResult result) {
    switch (result) {
        case UIServices::TMsgResult::OK:
            return TPromptAnswer::OK;
        case UIServices::TMsgResult::Yes:
            return TPromptAnswer::Yes;
        case UIServices::TMsgResult::No:
            return TPromptAnswer::No;
        case UIServices::TMsgResult::Cancel:
            return TPromptAnswer::Cancel;
        case UIServices::TMsgResult::Retry:
            break;
    }
    return TPromptAnswer::Retry;
}

class TWidgetPrompts final : public TZipPrompts {
public:
    TPromptAnswer Message(TPromptIcon icon, TPromptButtons buttons, const QString& caption,
                          const QString& text) override {
        return Answer(UIServices::MessageBox(BoxIcon(icon), BoxButtons(buttons), caption, text));
    }
    QString Password(const QString& caption, const QString& prompt, int buttons, int& result) override {
        TPasswordDlg dlg(nullptr, buttons);
        return dlg.ShowDlg(caption, prompt, result);
    }
    void* WindowHandle() override { return TPasswordDlg::ApplicationWindowHandle(); }
    // Only where there is a screen to show the cursor on.
    void SetBusy(bool busy) override {
        if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
        if (busy)
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QGuiApplication::restoreOverrideCursor();
    }
};

}  // namespace

TZipPrompts& Prompts() {
    static TWidgetPrompts prompts;
    return prompts;
}

}  // namespace Zip
