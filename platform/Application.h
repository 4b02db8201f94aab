#pragma once
// The application object. An exception that reaches the message loop is caught here and
// shown in the standard error box, captioned with the application title, and the program
// goes on with the next event.
#include <QApplication>
#include <QString>

class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    ~TApplication() override;

    // The title that captions the standard error box and every message box without a
    // caption of its own. Without one set, the application name.
    static QString Title();
    static void SetTitle(const QString& title);

    // The standard error box for a message.
    static void ShowException(const QString& message);

    bool notify(QObject* receiver, QEvent* event) override;
};
