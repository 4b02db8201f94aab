#include <QtTest>

#include "ScreenTestHost.h"

namespace {
// Three screens; the user moves from one record to the next, each frame adding its item
// before it leaves the view, as frames do.
struct Walk {
    TestMainWindow window;
    TestScreen* a = TFRScreen::Create<TestScreen>(&window, "A");
    TestScreen* b = TFRScreen::Create<TestScreen>(&window, "B");
    TestScreen* c = TFRScreen::Create<TestScreen>(&window, "C");
    TFRHistoryItems* h = window.History();

    void open(TestScreen* screen, const QString& view) {
        if (TFRMainScreen* current = window.CurrentScreen())
            if (auto* frame = static_cast<TestFrame*>(current->Frame())) h->Add(frame->CreateHistoryItem());
        screen->Activate("");
        screen->frame()->view = view;
    }
};
}  // namespace

class TestHistory : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void emptyHistoryHasNoButtons() {
        TestMainWindow window;
        QVERIFY(!window.sbtnBack->isEnabled());
        QVERIFY(!window.sbtnForward->isEnabled());
        QVERIFY(window.sbtnBack->toolTip().isEmpty());
        QVERIFY(window.sbtnForward->toolTip().isEmpty());
        window.History()->Back();
        window.History()->Forward();
        QCOMPARE(window.History()->Count(), 0);
        QCOMPARE(window.History()->Current(), 0);
    }

    void backAndForwardOverThreeScreens() {
        Walk w;
        w.open(w.a, "rec 1");
        w.open(w.b, "rec 2");
        w.open(w.c, "rec 3");
        QCOMPARE(w.h->Count(), 2);
        QCOMPARE(w.h->Current(), 2);
        QCOMPARE(w.window.sbtnBack->toolTip(), QString("Till rec 2"));
        QVERIFY(!w.window.sbtnForward->isEnabled());

        // The first Back stores the live view and shows the item before it.
        w.window.sbtnBack->click();
        QCOMPARE(w.h->Count(), 3);
        QCOMPARE(w.h->Current(), 1);
        QCOMPARE(w.window.CurrentScreen(), w.b);
        TestFrame* frame = w.b->frame();
        QCOMPARE(frame->view, QString("rec 2"));
        QCOMPARE(frame->restores, 1);
        QVERIFY(!frame->recordHistoryWhileRestoring);
        QVERIFY(w.b->RecordHistory);
        QVERIFY(!frame->isHidden());
        QCOMPARE(frame->loads, 1);
        QCOMPARE(frame->updates, 1);  // once, after restoring
        QCOMPARE(w.window.sbtnBack->toolTip(), QString("Till rec 1"));
        QCOMPARE(w.window.sbtnForward->toolTip(), QString("Till rec 3"));

        w.window.sbtnBack->click();
        QCOMPARE(w.window.CurrentScreen(), w.a);
        QCOMPARE(w.a->frame()->view, QString("rec 1"));
        QVERIFY(!w.window.sbtnBack->isEnabled());
        QVERIFY(w.window.sbtnForward->isEnabled());
        QCOMPARE(w.h->Count(), 3);

        w.window.sbtnForward->click();
        QCOMPARE(w.window.CurrentScreen(), w.b);
        QCOMPARE(w.b->frame()->view, QString("rec 2"));
        w.window.sbtnForward->click();
        QCOMPARE(w.window.CurrentScreen(), w.c);
        QCOMPARE(w.c->frame()->view, QString("rec 3"));
        QCOMPARE(w.h->Current(), 2);
        QVERIFY(!w.window.sbtnForward->isEnabled());
        QVERIFY(w.window.sbtnForward->toolTip().isEmpty());
        QCOMPARE(w.window.sbtnBack->toolTip(), QString("Till rec 2"));
    }

    void backWithinOneScreenRestoresItsFrame() {
        Walk w;
        w.open(w.a, "rec 1");
        w.h->Add(w.a->frame()->CreateHistoryItem());  // the frame opens another record
        w.a->frame()->view = "rec 2";
        TestFrame* frame = w.a->frame();
        w.h->Back();
        QCOMPARE(w.a->frame(), frame);  // the current screen keeps its frame
        QCOMPARE(frame->view, QString("rec 1"));
        QCOMPARE(w.h->Count(), 2);
        w.h->Forward();
        QCOMPARE(frame->view, QString("rec 2"));
    }

    void backWithoutCurrentScreenAddsNothing() {
        Walk w;
        w.open(w.a, "rec 1");
        w.open(w.b, "rec 2");
        w.window.HideCurrentScreen();
        QCOMPARE(w.h->Count(), 1);
        w.h->Back();
        QCOMPARE(w.h->Count(), 1);
        QCOMPARE(w.h->Current(), 0);
        QCOMPARE(w.window.CurrentScreen(), w.a);
        QCOMPARE(w.a->frame()->view, QString("rec 1"));
    }

    void frameThatDescribesNothing() {
        Walk w;
        w.open(w.a, "rec 1");
        w.c->describesView = false;
        w.open(w.c, "rec 3");
        w.h->Back();
        QCOMPARE(w.h->Count(), 1);
        QCOMPARE(w.window.CurrentScreen(), w.a);
        QVERIFY(!w.window.sbtnForward->isEnabled());
    }

    void menuClickAfterBackDropsTheRest() {
        Walk w;
        w.open(w.a, "rec 1");
        w.open(w.b, "rec 2");
        w.open(w.c, "rec 3");
        w.h->Back();
        w.h->Back();  // on item 0 of 3
        w.c->MenuButton()->click();
        QCOMPARE(w.h->Count(), 0);
        QCOMPARE(w.h->Current(), 0);
        QVERIFY(!w.window.sbtnForward->isEnabled());
        QVERIFY(!w.window.sbtnBack->isEnabled());

        Walk v;
        v.open(v.a, "rec 1");
        v.open(v.b, "rec 2");
        v.open(v.c, "rec 3");
        v.h->Back();  // on item 1 of 3
        v.a->MenuButton()->click();
        QCOMPARE(v.h->Count(), 1);
        QCOMPARE(v.h->Current(), 1);
        QVERIFY(!v.window.sbtnForward->isEnabled());
        QCOMPARE(v.window.sbtnBack->toolTip(), QString("Till rec 1"));
    }

    void addAfterBackDropsTheRest() {
        Walk w;
        w.open(w.a, "rec 1");
        w.open(w.b, "rec 2");
        w.open(w.c, "rec 3");
        w.h->Back();  // on B, item 1 of 3
        w.open(w.c, "rec 4");
        QCOMPARE(w.h->Count(), 2);
        QCOMPARE(w.h->Current(), 2);
        QCOMPARE(w.h->GetItem(1)->Values("View"), QString("rec 2"));
        QVERIFY(!w.window.sbtnForward->isEnabled());
    }

    void itemWithoutScreenOnlyMoves() {
        Walk w;
        w.open(w.a, "rec 1");
        auto* bare = new TFRHistoryItem;
        bare->Title = "Ingenstans";
        w.h->Add(bare);
        w.a->frame()->view = "rec 2";
        w.h->Back();  // stores rec 2, shows the bare item
        QCOMPARE(w.h->Current(), 0);
        QCOMPARE(w.window.CurrentScreen(), w.a);
        QCOMPARE(w.a->frame()->view, QString("rec 2"));
        QCOMPARE(w.a->frame()->restores, 0);
        QCOMPARE(w.window.sbtnForward->toolTip(), QString("Till rec 2"));
    }

    void deletingClampsCurrent() {
        TFRHistoryItems h;  // without a host
        for (int i = 0; i < 3; ++i) h.Add(new TFRHistoryItem);
        h.Add(nullptr);
        QCOMPARE(h.Count(), 3);
        QCOMPARE(h.Current(), 3);
        h.Delete(0);
        QCOMPARE(h.Count(), 2);
        QCOMPARE(h.Current(), 2);
        h.DeleteFrom(1);
        QCOMPARE(h.Count(), 1);
        QCOMPARE(h.Current(), 1);
        QVERIFY(h.CanBack());
        QVERIFY(!h.CanForward());
        h.Clear();
        QCOMPARE(h.Count(), 0);
        QCOMPARE(h.Current(), 0);
        QVERIFY(!h.CanBack());
    }

    void itemValues() {
        TFRHistoryItem item;
        item.SetValues("TypeUKey", "");
        item.SetValues("FoodUKey", "AB12");
        item.SetBoolValues("ShowingInfo", true);
        QCOMPARE(QStringList(item), (QStringList{"TypeUKey=", "FoodUKey=AB12", "ShowingInfo=1"}));
        item.SetValues("fooduKEY", "CD34");
        item.SetBoolValues("ShowingInfo", false);
        QCOMPARE(item.Values("FoodUKey"), QString("CD34"));
        QCOMPARE(item.size(), 3);
        QVERIFY(!item.BoolValues("ShowingInfo"));
        QCOMPARE(item.Values("IndexName"), QString());
        item.append("Note=a=b");
        QCOMPARE(item.Values("Note"), QString("a=b"));
    }
};
QTEST_MAIN(TestHistory)
#include "tst_history.moc"
