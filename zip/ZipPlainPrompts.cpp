// The zip component's prompts where there is no window system: messages go to the error
// stream, every question is declined as by Cancel, and no password is given.
#include <cstdio>

#include "zip/ZipPrompts.h"

namespace Zip {

namespace {

class TPlainPrompts final : public TZipPrompts {
public:
    TPromptAnswer Message(TPromptIcon, TPromptButtons buttons, const QString&, const QString& text) override {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        switch (buttons) {
            case TPromptButtons::OK:
                return TPromptAnswer::OK;
            case TPromptButtons::YesNo:
                return TPromptAnswer::No;
            default:
                return TPromptAnswer::Cancel;
        }
    }
    QString Password(const QString&, const QString&, int, int& result) override {
        result = PasswordRejected;
        return QString();
    }
    void* WindowHandle() override { return nullptr; }
    void SetBusy(bool) override {}
};

}  // namespace

TZipPrompts& Prompts() {
    static TPlainPrompts prompts;
    return prompts;
}

}  // namespace Zip
