// The minimal Qt Widgets program that bench_startup compares the program's start with: an
// application and one window shown; it says "painted" at the window's first paint and ends.
#include <QApplication>
#include <QWidget>

#include <cstdio>

namespace {

class Window : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override {
        if (m_done) return;
        m_done = true;
        std::printf("painted\n");
        std::fflush(stdout);
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    }

private:
    bool m_done = false;
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Window window;
    window.resize(800, 600);
    window.show();
    return app.exec();
}
