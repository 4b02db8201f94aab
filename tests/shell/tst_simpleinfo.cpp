#include <QtTest>
#include <QApplication>
#include <QPlainTextEdit>
#include <QTimer>

#include "support/TestSupport.h"
#include "shell/unitSimpleInfo.h"
#include "platform/Clock.h"
#include "platform/UIServices.h"

class TestSimpleInfo : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> m_main;
    std::unique_ptr<TformSimpleInfo> m_info;

private Q_SLOTS:
    void init() {
        Clock::SetSkipWaits(true);
        m_main = std::make_unique<QWidget>();
        m_main->show();
        m_info = std::make_unique<TformSimpleInfo>(QStringLiteral("1.0.0"));
        m_info->SetMainWindow(m_main.get());
    }
    void cleanup() {
        m_info.reset();
        m_main.reset();
        Clock::SetSkipWaits(true);
        Clock::SetFakeTicks(false);
    }

    void windowLooksAsItShould() {
        QCOMPARE(m_info->windowTitle(), QStringLiteral("Mykotekshallen - v1.0.0"));
        QVERIFY(m_info->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(m_info->windowFlags() & Qt::WindowType_Mask, Qt::Tool);
        QVERIFY(!(m_info->windowFlags() & Qt::WindowCloseButtonHint));
        QVERIFY(!(m_info->windowFlags() & Qt::WindowMinMaxButtonsHint));
        QVERIFY(m_info->memoInfo->isReadOnly());
        QCOMPARE(m_info->memoInfo->objectName(), QStringLiteral("memoInfo"));
        QVERIFY(m_info->isHidden());
    }

    // Sequences of status texts and the lines they leave.
    void linesAfterTexts_data() {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("plain") << QStringList{"Första", "Andra"} << QStringList{"Första", "Andra"};
        QTest::newRow("timed drops its number") << QStringList{"200,Initierar databas-gränssnitt...", "0,Klar"}
                                                << QStringList{"Initierar databas-gränssnitt...", "Klar"};
        QTest::newRow("same text twice shows once") << QStringList{"Rad", "Rad", "100,Rad"} << QStringList{"Rad"};
        QTest::newRow("star replaces the last line")
            << QStringList{"Ett", "Två", "50,*Tre"} << QStringList{"Ett", "Tre"};
        QTest::newRow("star on an empty window") << QStringList{"10,*Ensam"} << QStringList{"Ensam"};
        QTest::newRow("star with the line it replaces") << QStringList{"Ett", "10,*Ett"} << QStringList{"Ett"};
        QTest::newRow("star in a plain text is shown") << QStringList{"*Stjärna"} << QStringList{"*Stjärna"};
        QTest::newRow("non-numeric prefix keeps the whole text")
            << QStringList{"abc,def", "12a,x"} << QStringList{"abc,def", "12a,x"};
        QTest::newRow("only the first comma counts") << QStringList{"5,a,b"} << QStringList{"a,b"};
        QTest::newRow("empty text after the comma") << QStringList{"Ett", "0,"} << QStringList{"Ett", ""};
    }
    void linesAfterTexts() {
        QFETCH(QStringList, texts);
        QFETCH(QStringList, lines);
        for (const QString& t : texts) m_info->AddInfo(t);
        QCOMPARE(m_info->Lines(), lines);
        QCOMPARE(m_info->memoInfo->toPlainText(), lines.join('\n'));
        QVERIFY(m_info->isVisible());
    }

    // Only a timed text disables the main window, and only when it brings the window up.
    void mainWindowDisabledOnlyByTimedText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("disabled");
        QTest::newRow("timed") << "200,Läser in..." << true;
        QTest::newRow("zero ms") << "0,Läser in..." << true;
        QTest::newRow("plain") << "Läser in..." << false;
        QTest::newRow("non-numeric prefix") << "x,Läser in..." << false;
    }
    void mainWindowDisabledOnlyByTimedText() {
        QFETCH(QString, text);
        QFETCH(bool, disabled);
        m_info->AddInfo(text);
        QVERIFY(m_info->isVisible());
        QCOMPARE(!m_main->isEnabled(), disabled);
        QVERIFY(QApplication::overrideCursor());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }

    void hidingRestoresCursorAndMainWindowAndClears() {
        m_info->AddInfo("200,Ett");
        m_info->AddInfo("200,Två");
        QVERIFY(!m_main->isEnabled());
        m_info->hide();
        QVERIFY(m_main->isEnabled());
        QVERIFY(m_info->Lines().isEmpty());
        QVERIFY(m_info->memoInfo->toPlainText().isEmpty());
        QVERIFY(!QApplication::overrideCursor());
        // After hiding, the next text starts a fresh window.
        m_info->AddInfo("Ett");
        QCOMPARE(m_info->Lines(), QStringList{"Ett"});
        m_info->hide();
        QVERIFY(!QApplication::overrideCursor());
    }

    // A timed text processes pending events before it returns, even with 0 ms.
    void timedTextProcessesEvents() {
        bool ran = false;
        QTimer::singleShot(0, this, [&] { ran = true; });
        m_info->AddInfo("0,Klar");
        QVERIFY(ran);
    }

    // With real waits, events keep running while the text is held, and the main window is
    // disabled meanwhile.
    void eventsRunDuringTheWait() {
        Clock::SetSkipWaits(false);
        bool ran = false;
        bool mainEnabledThen = true;
        bool infoVisibleThen = false;
        QTimer::singleShot(5, this, [&] {
            ran = true;
            mainEnabledThen = m_main->isEnabled();
            infoVisibleThen = m_info->isVisible();
        });
        m_info->AddInfo("40,Väntar...");
        m_info->hide();  // waits out the 40 ms
        QVERIFY(ran);
        QVERIFY(!mainEnabledThen);
        QVERIFY(infoVisibleThen);
        QVERIFY(m_main->isEnabled());
    }

    // A timed text stands its time counted from when it shows: the work after it runs
    // meanwhile, and what comes next (a text, or hiding the window) waits out only what is
    // left of it. On a clock that moves only when told or waited on.
    void timedTextStandsItsTimeWhileTheWorkRuns_data() {
        QTest::addColumn<int>("work");  // what the work after "200,Ett" takes
        QTest::addColumn<QString>("next");  // a status text, or "hide"
        QTest::addColumn<int>("elapsed");  // the clock when the next one is done
        // 201: the first tick past the 200 ms of "Ett".
        QTest::newRow("short work, timed text") << 150 << "200,Två" << 201;
        QTest::newRow("short work, plain text") << 150 << "Två" << 201;
        QTest::newRow("short work, replacing text") << 150 << "200,*Två" << 201;
        QTest::newRow("short work, hiding") << 50 << "hide" << 201;
        QTest::newRow("no work, hiding") << 0 << "hide" << 201;
        QTest::newRow("long work, timed text") << 300 << "200,Två" << 300;
        QTest::newRow("long work, hiding") << 250 << "hide" << 250;
    }
    void timedTextStandsItsTimeWhileTheWorkRuns() {
        QFETCH(int, work);
        QFETCH(QString, next);
        QFETCH(int, elapsed);
        Clock::SetSkipWaits(false);
        Clock::SetFakeTicks(true);
        const quint64 start = Clock::TickCount();
        m_info->AddInfo("200,Ett");
        QCOMPARE(Clock::TickCount(), start);  // back at once, for the work
        QVERIFY(!m_main->isEnabled());
        Clock::AdvanceTicks(quint64(work));
        if (next == QLatin1String("hide")) {
            m_info->hide();
            QVERIFY(m_main->isEnabled());
        } else {
            m_info->AddInfo(next);
            QVERIFY(m_info->Lines().contains(QStringLiteral("Två")));
        }
        QCOMPARE(int(Clock::TickCount() - start), elapsed);
    }

    // The window without a main window given still works.
    // A message box would stand under the window, which stays above all others: the window
    // goes away while the box shows and comes back with its lines when the work goes on.
    void stepsAsideForAMessageBox_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("mainDisabled");
        QTest::newRow("timed text") << "200,Initierar databas-gränssnitt..." << true;
        QTest::newRow("plain text") << "Packar artikeln..." << false;
    }
    void stepsAsideForAMessageBox() {
        QFETCH(QString, text);
        QFETCH(bool, mainDisabled);
        m_info->AddInfo(text);
        const QStringList lines = m_info->Lines();
        QCOMPARE(m_main->isEnabled(), !mainDisabled);
        struct Seen {
            bool infoVisible = true;
            bool mainEnabled = false;
            bool busyCursor = true;
        } seen;
        UIServices::SetMessageHook([&](const UIServices::TShownMessage&) {
            seen = {m_info->isVisible(), m_main->isEnabled(), QApplication::overrideCursor() != nullptr};
            return UIServices::TMsgResult::OK;
        });
        UIServices::ShowError(QStringLiteral("Filen är skadad."));
        UIServices::SetMessageHook({});
        QVERIFY(!seen.infoVisible);
        QVERIFY(seen.mainEnabled);
        QVERIFY(!seen.busyCursor);
        // Back as it was.
        QVERIFY(m_info->isVisible());
        QCOMPARE(m_info->Lines(), lines);
        QCOMPARE(m_main->isEnabled(), !mainDisabled);
        QVERIFY(QApplication::overrideCursor());
        m_info->hide();
        QVERIFY(m_main->isEnabled());
        QVERIFY(!QApplication::overrideCursor());
        // Hidden, the window stays hidden after a box.
        UIServices::SetMessageHook([](const UIServices::TShownMessage&) { return UIServices::TMsgResult::OK; });
        UIServices::ShowError(QStringLiteral("Ännu ett fel."));
        UIServices::SetMessageHook({});
        QVERIFY(m_info->isHidden());
    }

    void withoutMainWindow() {
        TformSimpleInfo info(QStringLiteral("2.3"));
        info.AddInfo("100,Ett");
        QCOMPARE(info.Lines(), QStringList{"Ett"});
        info.hide();
        QVERIFY(info.Lines().isEmpty());
    }

    void screenshot() {
        for (const char* t : {"200,Initierar databas-gränssnitt...", "200,Initierar användar-gränssnitt...",
                              "200,Sammanställer artlista...", "200,Sammanställer kontaktlista...",
                              "200,Sammanställer svampställen per art..."})
            m_info->AddInfo(QString::fromUtf8(t));
        const QString file = testsupport::ArtefactDir() + "/statuswindow.png";
        QVERIFY(m_info->grab().save(file));
    }
};

QTEST_MAIN(TestSimpleInfo)
#include "tst_simpleinfo.moc"
