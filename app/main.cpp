// The program block: creates the application, sets its title and starts the message loop.
#include <QMainWindow>

#include "platform/Application.h"

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    QApplication::setApplicationName("Mykotekshallen");
    QApplication::setApplicationDisplayName("Mykotekshallen");
    TApplication::SetTitle("Mykotekshallen");
    QMainWindow window;
    window.setWindowTitle("Mykotekshallen");
    window.resize(1024, 700);
    window.show();
    return app.exec();
}
