#include <QtTest>

#include <QButtonGroup>
#include <QPushButton>

#include "ScreenTestHost.h"
#include "platform/ClientDataSet.h"
#include "platform/Exception.h"

namespace {
// A species frame that hosts sub-screens in its area or on its external page.
class TestSpeciesFrame : public TestFrame, public TFRSubScreenHost {
public:
    TestSpeciesFrame() {
        area = new QWidget(this);
        externalPage = new QWidget(this);
        BodyLayout()->addWidget(area);
        BodyLayout()->addWidget(externalPage);
    }
    TFRFungiSubScreen* CurrentSubScreen() const override { return current; }
    void SetCurrentSubScreen(TFRFungiSubScreen* s) override { current = s; }
    void HideCurrentSubScreen() override {
        if (current) current->Deactivate();
        current = nullptr;
        ++hides;
    }
    QWidget* SubScreenArea() const override { return area; }
    QWidget* ShowExternalFramePage() override {
        ++externalShown;
        return externalPage;
    }
    QWidget *area, *externalPage;
    TFRFungiSubScreen* current = nullptr;
    int hides = 0, externalShown = 0;
};

class TestSpeciesScreen : public TestScreen {
public:
    using TestScreen::TestScreen;
    void CreateFrame() override {
        if (Frame()) return;
        SetFrame(TFRFrameBase::Create<TestSpeciesFrame>());
        ++framesMade;
    }
};

class TestSubScreen : public TFRFungiSubScreen {
public:
    using TFRFungiSubScreen::TFRFungiSubScreen;
    void CreateFrame() override {
        if (!Frame()) SetFrame(TFRFrameBase::Create<TestFrame>());
    }
    TestFrame* frame() const { return static_cast<TestFrame*>(Frame()); }
};

// A frame with a button whose click runs the given handler.
class ButtonFrame : public TestFrame {
public:
    ButtonFrame() {
        button = new QPushButton("Visa", this);
        BodyLayout()->addWidget(button);
        QObject::connect(button, &QPushButton::clicked, [this] {
            if (onClick) onClick();
        });
    }
    QPushButton* button;
    std::function<void()> onClick;
};

class ButtonScreen : public TestScreen {
public:
    using TestScreen::TestScreen;
    void CreateFrame() override {
        if (Frame()) return;
        SetFrame(TFRFrameBase::Create<ButtonFrame>());
        ++framesMade;
    }
};
}  // namespace

class TestScreens : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void activationWithEachParameterWord_data() {
        QTest::addColumn<QString>("params");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<int>("loads");
        QTest::addColumn<int>("updates");
        QTest::addColumn<int>("exports");
        QTest::newRow("menu click") << "" << true << 1 << 1 << 0;
        QTest::newRow("start invisible") << "STARTINVISIBLE" << false << 1 << 0 << 0;
        QTest::newRow("no settings") << "NOLOADSETTINGS" << true << 0 << 1 << 0;
        QTest::newRow("no update") << "NOUPDATE" << true << 1 << 0 << 0;
        QTest::newRow("after export") << "AFTEREXPORT" << true << 1 << 2 << 1;
        QTest::newRow("export without update") << "NOUPDATE;AFTEREXPORT" << true << 1 << 1 << 1;
        QTest::newRow("history") << "NOUPDATE;STARTINVISIBLE" << false << 1 << 0 << 0;
        QTest::newRow("all words") << "STARTINVISIBLE;NOLOADSETTINGS;NOUPDATE" << false << 0 << 0 << 0;
    }
    void activationWithEachParameterWord() {
        QFETCH(QString, params);
        QFETCH(bool, visible);
        QFETCH(int, loads);
        QFETCH(int, updates);
        QFETCH(int, exports);
        TestMainWindow window;
        auto* screen = TFRScreen::Create<TestScreen>(&window, "Arter");
        screen->Activate(params);
        TestFrame* frame = screen->frame();
        QVERIFY(frame);
        QCOMPARE(window.CurrentScreen(), screen);
        QVERIFY(screen->MenuButton()->isChecked());
        QCOMPARE(frame->parentWidget(), window.panelScreenHolder);
        QCOMPARE(frame->geometry(), window.panelScreenHolder->rect());
        QCOMPARE(frame->Screen.data(), screen);
        QCOMPARE(frame->inits, 1);
        QCOMPARE(!frame->isHidden(), visible);
        QCOMPARE(frame->loads, loads);
        QCOMPARE(frame->updates, updates);
        QCOMPARE(frame->exports, exports);
    }

    void activatingTheCurrentScreenOnlyUpdates() {
        TestMainWindow window;
        auto* screen = TFRScreen::Create<TestScreen>(&window, "Arter");
        screen->Activate("");
        TestFrame* frame = screen->frame();
        screen->Activate("");
        QCOMPARE(screen->frame(), frame);
        QCOMPARE(screen->framesMade, 1);
        QCOMPARE(frame->loads, 1);
        QCOMPARE(frame->updates, 2);
        // A frame left invisible is shown by its caller; the screen does not update it.
        screen->frame()->hide();
        screen->Activate("");
        QCOMPARE(frame->updates, 2);
    }

    void frameFillsTheHolder() {
        TestMainWindow window;
        window.show();
        auto* screen = TFRScreen::Create<TestScreen>(&window, "Arter");
        screen->Activate("");
        window.resize(900, 700);
        QTRY_COMPARE(screen->frame()->geometry(), window.panelScreenHolder->rect());
        QCOMPARE(screen->frame()->panelFrameHeader->height(), 25);
    }

    void leavingAScreenSavesAndReleasesItsFrame() {
        TestMainWindow window;
        auto* fungi = TFRScreen::Create<TestScreen>(&window, "Arter");
        auto* maps = TFRScreen::Create<TestScreen>(&window, "Kartor");
        fungi->Activate("");
        QPointer<TestFrame> old = fungi->frame();
        int done = 0;
        old->onDone = [&] { ++done; };
        maps->Activate("");
        QCOMPARE(window.CurrentScreen(), maps);
        QVERIFY(!fungi->Frame());  // the reference is cleared at once
        QVERIFY(old);  // the object is freed later
        QCOMPARE(old->saves, 1);
        QVERIFY(old->isHidden());
        QVERIFY(!old->parentWidget());
        QVERIFY(!fungi->MenuButton()->isChecked());
        QVERIFY(maps->MenuButton()->isChecked());
        QTRY_VERIFY(old.isNull());
        QCOMPARE(done, 1);
        QCOMPARE(window.DestructionFrames()->Count(), 0);
    }

    void screenWithoutFrameRaises() {
        TestMainWindow window;
        auto* fungi = TFRScreen::Create<TestScreen>(&window, "Arter");
        auto* broken = TFRScreen::Create<TestScreen>(&window, "Trasig");
        broken->makesFrame = false;
        fungi->Activate("");
        QString message;
        try {
            broken->Activate("");
        } catch (const Exception& e) {
            message = e.Message();
        }
        QCOMPARE(message, QString("Gränssnitt för Screen-komponent ej definierat"));
        QVERIFY(!window.CurrentScreen());
        QVERIFY(!fungi->Frame());
    }

    void tenMenuButtonsStackDown() {
        TestMainWindow window;
        QList<TestScreen*> screens;
        for (int i = 0; i < 10; ++i) screens << TFRScreen::Create<TestScreen>(&window, QString("Skärm %1").arg(i));
        for (int i = 0; i < 10; ++i) {
            QCOMPARE(screens[i]->ScreenID, i);
            QCOMPARE(screens[i]->MenuButton()->parentWidget(), window.panelMenuMain);
            QCOMPARE(screens[i]->MenuButton()->x(), 8);
            QCOMPARE(screens[i]->MenuButton()->size(), QSize(153, 30));
        }
        QCOMPARE(screens[9]->MenuButton()->y() - screens[0]->MenuButton()->y(), 9 * 32);
        QCOMPARE(window.panelMenuMain->height(), 10 * 32);

        // A click activates its screen; exactly one button is down.
        screens[3]->MenuButton()->click();
        QCOMPARE(window.CurrentScreen(), screens[3]);
        screens[7]->MenuButton()->click();
        QCOMPARE(window.CurrentScreen(), screens[7]);
        int down = 0;
        for (TestScreen* s : screens) down += s->MenuButton()->isChecked() ? 1 : 0;
        QCOMPARE(down, 1);
        QVERIFY(screens[7]->MenuButton()->isChecked());
    }

    void navigationLockDisablesMenuAndRefusesClose() {
        TestMainWindow window;
        window.show();
        auto* a = TFRScreen::Create<TestScreen>(&window, "A");
        auto* b = TFRScreen::Create<TestScreen>(&window, "B");
        a->Activate("");
        window.History()->Add(a->frame()->CreateHistoryItem());
        b->Activate("");
        window.History()->Add(b->frame()->CreateHistoryItem());
        window.History()->Back();  // inside the history: both directions open
        QVERIFY(window.sbtnBack->isEnabled());
        QVERIFY(window.sbtnForward->isEnabled());

        window.SetNavigationEnabled(false);
        QVERIFY(!a->MenuButton()->isEnabled());
        QVERIFY(!b->MenuButton()->isEnabled());
        QVERIFY(!window.sbtnQuit->isEnabled());
        QVERIFY(!window.sbtnHelp->isEnabled());
        QVERIFY(!window.sbtnBack->isEnabled());
        QVERIFY(!window.sbtnForward->isEnabled());
        // No stale history title: the tip says why the button does not answer.
        QCOMPARE(window.sbtnBack->toolTip(), QString::fromUtf8(NavigationLockedText));
        QCOMPARE(window.sbtnForward->toolTip(), QString::fromUtf8(NavigationLockedText));
        QVERIFY(!window.CanCloseMainWindow());
        QVERIFY(!window.close());
        QVERIFY(window.isVisible());
        // A history change while locked keeps the buttons disabled.
        auto* item = b->frame()->CreateHistoryItem();
        item->Title = "Till kartan";
        window.History()->Add(item);
        QVERIFY(!window.sbtnBack->isEnabled());

        window.SetNavigationEnabled(true);
        QVERIFY(a->MenuButton()->isEnabled());
        QVERIFY(window.sbtnQuit->isEnabled());
        QVERIFY(window.sbtnBack->isEnabled());
        QVERIFY(!window.sbtnForward->isEnabled());
        QCOMPARE(window.sbtnBack->toolTip(), QString("Till kartan"));
        // The window being disabled as a whole (a timed status text) is not a lock.
        window.setEnabled(false);
        window.UpdateHistoryButtons();
        window.setEnabled(true);
        QVERIFY(window.sbtnBack->isEnabled());
        QVERIFY(window.close());
    }

    // A frame whose click handler leaves its screen stays valid until the handler has
    // returned, even while the handler runs a modal loop; the screen can be activated again
    // at once and gets a new frame.
    void frameReleasedDuringItsOwnEventStaysValid() {
        TestMainWindow window;
        window.show();
        auto* fungi = TFRScreen::Create<ButtonScreen>(&window, "Arter");
        auto* maps = TFRScreen::Create<TestScreen>(&window, "Kartor");
        fungi->Activate("");
        QPointer<ButtonFrame> first = static_cast<ButtonFrame*>(fungi->Frame());
        bool handled = false, aliveAfterLeaving = false, aliveAfterLoop = false;
        QPointer<TFRFrameBase> second;
        first->onClick = [&] {
            maps->Navigate();
            aliveAfterLeaving = first && !fungi->Frame();
            // A modal box in the same handler: the destruction timer ticks meanwhile.
            QEventLoop loop;
            QTimer::singleShot(40, &loop, &QEventLoop::quit);
            loop.exec();
            aliveAfterLoop = bool(first);
            if (first) first->view = "still usable";
            fungi->Navigate();
            second = fungi->Frame();
            handled = true;
        };
        QTimer::singleShot(0, first->button, [&] { first->button->click(); });
        QTRY_VERIFY(handled);
        QVERIFY(aliveAfterLeaving);
        QVERIFY(aliveAfterLoop);
        QVERIFY(second);
        QVERIFY(second.data() != static_cast<TFRFrameBase*>(first.data()));
        QCOMPARE(fungi->framesMade, 2);
        QCOMPARE(window.CurrentScreen(), fungi);
        QTRY_VERIFY(first.isNull());
        QVERIFY(second);
        QCOMPARE(second->parentWidget(), window.panelScreenHolder);
    }

    void destroyLaterOfAnyObject() {
        TestMainWindow window;
        QPointer<QObject> panel = new QObject;
        QObject* variable = panel.data();
        DestroyFrameLater(variable, 0);
        QVERIFY(!variable);
        QVERIFY(panel);
        QTRY_VERIFY(panel.isNull());
        // An object freed elsewhere meanwhile is simply dropped.
        auto* gone = new QObject;
        QObject* v2 = gone;
        DestroyFrameLater(v2, 0);
        delete gone;
        QTRY_COMPARE(window.DestructionFrames()->Count(), 0);
    }

    void updateFrameTests() {
        TestMainWindow window;
        TClientDataSet table;
        table.SetFieldDefs({{"UKey", TFieldType::ftString, 20}});
        table.CreateDataSet();
        for (const char* key : {"A", "B", "C"}) {
            table.Append();
            table.FieldByName("UKey")->SetAsString(key);
            table.Post();
        }
        auto* screen = TFRScreen::Create<TestScreen>(&window, "Arter");
        screen->SetDataSet(&table);
        screen->Activate("");
        TestFrame* frame = screen->frame();
        QCOMPARE(frame->DataSet, &table);
        QCOMPARE(frame->updates, 1);
        QCOMPARE(frame->buttons, 1);  // the base update sets the buttons

        frame->UpdateScreen();
        QCOMPARE(frame->updates, 2);
        screen->Locked = true;
        screen->UpdateFrame();
        screen->AfterExport();
        QCOMPARE(frame->updates, 2);
        QCOMPARE(frame->exports, 0);
        screen->Locked = false;
        table.DisableControls();
        screen->UpdateFrame();
        screen->AfterExport();
        QCOMPARE(frame->updates, 2);
        table.EnableControls();
        screen->AfterExport();
        QCOMPARE(frame->exports, 1);
        QCOMPARE(frame->updates, 3);

        screen->First();
        QCOMPARE(table.FieldByName("UKey")->AsString(), QString("A"));
        screen->Next();
        QCOMPARE(table.FieldByName("UKey")->AsString(), QString("B"));
        screen->Last();
        QCOMPARE(table.FieldByName("UKey")->AsString(), QString("C"));
        screen->Prior();
        QCOMPARE(table.FieldByName("UKey")->AsString(), QString("B"));
        table.Close();
        screen->Next();  // a closed table: nothing happens
        screen->SetDataSet(nullptr);
        screen->Last();
    }

    void subScreensInsideTheSpeciesFrame() {
        TestMainWindow window;
        auto* species = TFRScreen::Create<TestSpeciesScreen>(&window, "Arter");
        auto* maps = TFRScreen::Create<TestScreen>(&window, "Kartor");
        TFRFungiSubScreen::SetHostScreen(species);
        auto* pictures = TFRScreen::Create<TestSubScreen>(&window);
        auto* finds = TFRScreen::Create<TestSubScreen>(&window);
        maps->Activate("");

        // Without the species frame the species screen is activated first.
        pictures->Activate("");
        QCOMPARE(window.CurrentScreen(), species);
        auto* host = static_cast<TestSpeciesFrame*>(species->Frame());
        QCOMPARE(host->current, pictures);
        QCOMPARE(pictures->Frame()->parentWidget(), host->area);
        QVERIFY(!pictures->Frame()->isHidden());
        QCOMPARE(pictures->frame()->loads, 1);
        QCOMPARE(pictures->frame()->updates, 1);

        // Another sub-screen hides the current one, whose frame is released.
        QPointer<TestFrame> pictureFrame = pictures->frame();
        finds->Activate("NOLOADSETTINGS");
        QCOMPARE(host->current, finds);
        QVERIFY(!pictures->Frame());
        QCOMPARE(pictureFrame->saves, 0);  // a sub-screen's frame saves nothing when left
        QCOMPARE(finds->frame()->loads, 0);
        QTRY_VERIFY(pictureFrame.isNull());

        // A new mode moves the current sub-screen to the external page.
        TestFrame* findFrame = finds->frame();
        finds->SetSubMode(1);
        QCOMPARE(finds->frame(), findFrame);
        QCOMPARE(findFrame->parentWidget(), host->externalPage);
        QCOMPARE(host->externalShown, 1);
        // ... but not a sub-screen that is not current.
        pictures->SetSubMode(1);
        QVERIFY(!pictures->Frame());
        TFRFungiSubScreen::SetHostScreen(nullptr);
    }
};
QTEST_MAIN(TestScreens)
#include "tst_screens.moc"
