#pragma once
// Helpers of the tests that need a display.
#include <functional>

#include "platform/UIServices.h"

class QDialog;
class TformCreateFirstUser;

namespace testsupport {
// Answers message boxes, dialogs and choosers for as long as it lives; every hook it set is
// removed and the logs cleared when it goes, also when a test fails half-way.
class UIServicesGuard {
public:
    UIServicesGuard();
    ~UIServicesGuard();
    UIServicesGuard(const UIServicesGuard&) = delete;
    UIServicesGuard& operator=(const UIServicesGuard&) = delete;
    // Every box gets this answer.
    void AnswerBoxes(UIServices::TMsgResult answer);
    void Messages(UIServices::TMessageHook hook);
    void Dialogs(UIServices::TDialogHook hook);
    void Choosers(UIServices::TChooserHook hook);
    // The first-user dialog gets the action; any other dialog is left undecided (rejected).
    void FirstUser(std::function<void(TformCreateFirstUser*)> action);
};
}  // namespace testsupport
