#pragma once
// The exception boundary of the controls: no exception may cross a Qt event handler (the
// toolkit cannot unwind through its own frames). Every event handler of a control and
// every call of an assigned event runs its body through Guarded; an exception ends the
// body, is shown in the standard error box and the program goes on.
#include <QString>
#include <exception>
#include <functional>

#include "platform/Application.h"
#include "platform/Exception.h"

// Shows the message of an exception that reached a control's event handler.
void ShowControlException(const QString& message);

// Runs the body; returns false when it raised (the error box has then been shown).
template <class Body>
bool Guarded(Body&& body) noexcept {
    try {
        body();
        return true;
    } catch (const Exception& e) {
        try {
            ShowControlException(e.Message());
        } catch (...) {}
    } catch (const std::exception& e) {
        try {
            ShowControlException(QString::fromUtf8(e.what()));
        } catch (...) {}
    } catch (...) {
        try {
            ShowControlException(QStringLiteral("Ett okänt fel inträffade."));
        } catch (...) {}
    }
    return false;
}
