// The program block: creates the application, sets its title and starts the message loop.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Mykotekshallen");
    QApplication::setApplicationDisplayName("Mykotekshallen");
    QMainWindow window;
    window.setWindowTitle("Mykotekshallen");
    window.resize(1024, 700);
    window.show();
    return app.exec();
}
