#include "Clock.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace {
std::optional<QDateTime> g_fixed;
bool g_skipWaits = false;
std::optional<quint64> g_fakeTicks;
QElapsedTimer& ticker() {
    static QElapsedTimer t = [] {
        QElapsedTimer e;
        e.start();
        return e;
    }();
    return t;
}
}  // namespace

namespace Clock {
QDateTime Now() { return g_fixed ? *g_fixed : QDateTime::currentDateTime(); }
void SetFixedNow(std::optional<QDateTime> when) { g_fixed = std::move(when); }
quint64 TickCount() { return g_fakeTicks ? *g_fakeTicks : quint64(ticker().elapsed()); }
void SetFakeTicks(bool on) { g_fakeTicks = on ? std::optional<quint64>(TickCount()) : std::nullopt; }
void AdvanceTicks(quint64 milliseconds) {
    if (g_fakeTicks) *g_fakeTicks += milliseconds;
}
void SetSkipWaits(bool skip) { g_skipWaits = skip; }
bool SkipWaits() { return g_skipWaits; }

void Wait(int milliseconds) {
    if (!QCoreApplication::instance()) return;
    if (g_fakeTicks) {
        QCoreApplication::processEvents();
        *g_fakeTicks += quint64(qMax(milliseconds, 0));
        return;
    }
    if (g_skipWaits || milliseconds <= 0) {
        QCoreApplication::processEvents();
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::AllEvents);
}
}  // namespace Clock
