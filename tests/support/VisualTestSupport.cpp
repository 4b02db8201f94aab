#include "support/VisualTestSupport.h"

#include <QDialog>

#include "shell/unitFirstUser.h"

namespace testsupport {
UIServicesGuard::UIServicesGuard() {
    UIServices::ClearMessageLog();
    UIServices::ClearChooserLog();
}
UIServicesGuard::~UIServicesGuard() {
    UIServices::SetMessageHook({});
    UIServices::SetDialogHook({});
    UIServices::SetChooserHook({});
    UIServices::ClearMessageLog();
    UIServices::ClearChooserLog();
}
void UIServicesGuard::AnswerBoxes(UIServices::TMsgResult answer) {
    UIServices::SetMessageHook([answer](const UIServices::TShownMessage&) { return answer; });
}
void UIServicesGuard::Messages(UIServices::TMessageHook hook) { UIServices::SetMessageHook(std::move(hook)); }
void UIServicesGuard::Dialogs(UIServices::TDialogHook hook) { UIServices::SetDialogHook(std::move(hook)); }
void UIServicesGuard::Choosers(UIServices::TChooserHook hook) { UIServices::SetChooserHook(std::move(hook)); }
void UIServicesGuard::FirstUser(std::function<void(TformCreateFirstUser*)> action) {
    UIServices::SetDialogHook([action = std::move(action)](QDialog* dialog) {
        if (auto* form = qobject_cast<TformCreateFirstUser*>(dialog)) action(form);
    });
}
}  // namespace testsupport
