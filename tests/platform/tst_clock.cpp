#include <QtTest>
#include "platform/Clock.h"

class TestClock : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fixedTimeIsReturnedUntilCleared() {
        const QDateTime when(QDate(1999, 12, 31), QTime(23, 59, 59, 999));
        Clock::SetFixedNow(when);
        QCOMPARE(Clock::Now(), when);
        Clock::SetFixedNow(std::nullopt);
        QVERIFY(Clock::Now().date().year() >= 2000);
    }
    void skippedWaitReturnsAtOnceButProcessesEvents() {
        Clock::SetSkipWaits(true);
        bool fired = false;
        QTimer::singleShot(0, [&] { fired = true; });
        Clock::Wait(60000);
        QVERIFY(fired);
        Clock::SetSkipWaits(false);
    }
};
QTEST_GUILESS_MAIN(TestClock)
#include "tst_clock.moc"
