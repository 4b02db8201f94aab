#include "platform/Application.h"

#include <QThread>

#include "platform/Exception.h"
#include "platform/ToolkitTexts.h"
#include "platform/UIServices.h"

namespace {
QString g_title;
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // The toolkit's own dialogs in Swedish.
    InstallSwedishToolkitTexts(this);
}

TApplication::~TApplication() = default;

QString TApplication::Title() { return g_title.isEmpty() ? QCoreApplication::applicationName() : g_title; }

void TApplication::SetTitle(const QString& title) { g_title = title; }

void TApplication::ShowException(const QString& message) {
    // Boxes belong to the GUI thread; elsewhere the message can only be logged.
    if (QThread::currentThread() != QCoreApplication::instance()->thread()) {
        qWarning("%s", qUtf8Printable(message));
        return;
    }
    UIServices::MessageBox(UIServices::TMsgIcon::Error, UIServices::TMsgButtons::OK, Title(), message);
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    // Whatever the box itself raises must not leave here either: the loop has no one above it.
    try {
        return QApplication::notify(receiver, event);
    } catch (const Exception& e) {
        try {
            ShowException(e.Message());
        } catch (...) {}
    } catch (const std::exception& e) {
        try {
            ShowException(QString::fromUtf8(e.what()));
        } catch (...) {}
    } catch (...) {
        try {
            ShowException(QStringLiteral("Ett okänt fel inträffade."));
        } catch (...) {}
    }
    return false;
}
