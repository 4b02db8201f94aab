#pragma once
// What the zip component says to its user and asks of them: messages and questions, the
// password prompt, the hourglass while it works, the window its library modules may put
// their own dialogs over. The component itself needs no window system: the program links
// the windowed form of these (ZipWidgetPrompts.cpp, in mykozip), a command-line tool the
// plain one (ZipPlainPrompts.cpp, in mykozipcore), which shows nothing and declines every
// question.
#include <QString>

namespace Zip {

enum class TPromptIcon { Information, Warning, Error, Question };
enum class TPromptButtons { OK, YesNo, YesNoCancel, OKCancel, RetryCancel };
enum class TPromptAnswer { OK, Yes, No, Cancel, Retry };

// Buttons of the password prompt beside OK (always there), and its results.
enum : int { PasswordCancelButton = 2, PasswordCancelAllButton = 4, PasswordAbortButton = 8 };
enum : int { PasswordRejected = 0, PasswordAccepted = 1, PasswordAbort = 3, PasswordNoToAll = 9 };

class TZipPrompts {
public:
    virtual ~TZipPrompts() = default;
    // A message box; an empty caption stands for the program's own.
    virtual TPromptAnswer Message(TPromptIcon icon, TPromptButtons buttons, const QString& caption,
                                  const QString& text) = 0;
    // The entry after OK, else an empty text; result gets one of the Password results.
    virtual QString Password(const QString& caption, const QString& prompt, int buttons, int& result) = 0;
    // The handle of the active window, nullptr when there is none.
    virtual void* WindowHandle() = 0;
    virtual void SetBusy(bool busy) = 0;

    void ShowError(const QString& text) { Message(TPromptIcon::Error, TPromptButtons::OK, QString(), text); }
    void ShowInformation(const QString& text) {
        Message(TPromptIcon::Information, TPromptButtons::OK, QString(), text);
    }
};

// The prompts of the component as linked into this program.
TZipPrompts& Prompts();

}  // namespace Zip
