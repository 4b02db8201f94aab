// The minimal Qt Widgets program that bench_startup compares the program's start with: an
// application and one window shown; at the window's first paint it says "painted" and the
// processor time it used so far, and ends.
#include <QApplication>
#include <QWidget>

#include <ctime>

#include <cstdio>

namespace {

class Window : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override {
        if (m_done) return;
        m_done = true;
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        std::printf("painted %.1f\n", double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6);
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
