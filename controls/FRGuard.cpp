#include "controls/FRGuard.h"

#include <QtGlobal>

void ShowControlException(const QString& message) {
    // A control that raises again while its box is up (a paint behind the box) must not
    // stack boxes without end: one box at a time, the rest go to the log.
    static bool showing = false;
    if (showing) {
        qWarning("%s", qUtf8Printable(message));
        return;
    }
    showing = true;
    struct Reset {
        ~Reset() { showing = false; }
    } reset;
    TApplication::ShowException(message);
}
