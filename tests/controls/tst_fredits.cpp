#include <QtTest>

#include <QLineEdit>

#include "controls/FREdits.h"
#include "controls/FRGraphics.h"
#include "platform/ClientDataSet.h"
#include "platform/UIServices.h"

namespace {

const QStringList kItems = {"Abc", "abd", "Ab"};

// A form with an edit near its top, a second edit after it in the tab order and room
// below for the list.
struct Form {
    QWidget window;
    TFREdit* edit;
    QLineEdit* next;
    explicit Form(TFREdit* e = nullptr, QSize size = QSize(300, 400), int editTop = 10) {
        window.resize(size);
        edit = e ? e : new TFREdit;
        edit->setParent(&window);
        edit->setGeometry(10, editTop, 150, 14);
        next = new QLineEdit(&window);
        next->setGeometry(170, 10, 100, 20);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        next->setFocus();
    }
    void Enter() {
        edit->setFocus();
        QVERIFY(edit->hasFocus());
    }
    void Leave() {
        next->setFocus();
        QVERIFY(!edit->hasFocus());
    }
    int Row() const { return edit->DropDownList()->RowHeight(); }
};

void Type(QWidget* w, const QString& text) {
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(w, &press);
    }
}

}  // namespace

class TestFREdits : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        UIServices::SetMessageHook([](const UIServices::TShownMessage&) { return UIServices::TMsgResult::OK; });
        UIServices::ClearMessageLog();
    }
    void cleanup() {
        QCOMPARE(UIServices::MessageLog().size(), 0);  // no control raised into an error box
        UIServices::SetMessageHook({});
    }

    void look_flatPaleYellowAndWindowColourWhileFocused() {
        Form f;
        QVERIFY(!f.edit->hasFrame());
        QCOMPARE(f.edit->palette().color(QPalette::Base), QColor(255, 255, 128));
        QCOMPARE(f.edit->font().family(), ArialFamily());
        f.Enter();
        QCOMPARE(f.edit->palette().color(QPalette::Base), ResolveColor(clWindow, f.edit));
        f.Leave();
        QCOMPARE(f.edit->palette().color(QPalette::Base), QColor(255, 255, 128));
    }

    void matching_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("match");
        QTest::newRow("first characters in another case") << "ab" << 0;
        QTest::newRow("exact item after an item it begins") << "Ab" << 2;
        QTest::newRow("whole item in another case") << "ABD" << 1;
        QTest::newRow("no item begins so") << "x" << -1;
        QTest::newRow("empty text") << "" << -1;
        QTest::newRow("longer than every item") << "Abcd" << -1;
    }
    void matching() {
        QFETCH(QString, text);
        QFETCH(int, match);
        Form f;
        f.edit->SetItems(kItems);
        f.Enter();
        f.edit->selectAll();
        Type(f.edit, text);
        if (text.isEmpty()) QTest::keyClick(f.edit, Qt::Key_Delete);
        QCOMPARE(f.edit->text(), text);
        QCOMPARE(f.edit->MatchIndex(), match);
        // The match is the list's current, highlighted item.
        f.edit->DropDown();
        QCOMPARE(f.edit->DropDownList()->currentRow(), match);
    }

    void leaving_withAutoComplete_data() {
        QTest::addColumn<bool>("autoComplete");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("left");
        QTest::newRow("no match clears") << true << "x"
                                         << "";
        QTest::newRow("first characters complete") << true << "ab"
                                                   << "Abc";
        QTest::newRow("case is taken from the item") << true << "ABD"
                                                     << "abd";
        QTest::newRow("without AutoComplete the text stays") << false << "x"
                                                             << "x";
    }
    void leaving_withAutoComplete() {
        QFETCH(bool, autoComplete);
        QFETCH(QString, typed);
        QFETCH(QString, left);
        Form f;
        f.edit->SetItems(kItems);
        f.edit->AutoComplete = autoComplete;
        f.edit->AlwaysDropdown = true;
        f.Enter();
        QVERIFY(f.edit->DroppedDown());
        Type(f.edit, typed);
        f.Leave();
        QCOMPARE(f.edit->text(), left);
        QVERIFY(!f.edit->DroppedDown());
        // Nothing stays marked in the edit that was left.
        QVERIFY(!f.edit->hasSelectedText());
    }

    void list_isAChildOfTheParentUnderTheEdit() {
        Form f;
        f.edit->SetItems(kItems);
        f.edit->DropDown();
        TFRDropDownList* list = f.edit->DropDownList();
        QVERIFY(list->isVisible());
        QCOMPARE(list->parentWidget(), &f.window);
        QVERIFY(!list->isWindow());
        QCOMPARE(list->focusPolicy(), Qt::NoFocus);
        QCOMPARE(list->geometry().topLeft(), f.edit->geometry().bottomLeft() + QPoint(0, 1));
        QCOMPARE(list->width(), f.edit->width());
        QCOMPARE(list->font(), f.edit->font());
    }

    void list_opensOnlyWithItems() {
        Form f;
        f.edit->AlwaysDropdown = true;
        f.Enter();
        QVERIFY(!f.edit->DroppedDown());
    }

    void list_height_data() {
        QTest::addColumn<int>("items");
        QTest::addColumn<int>("dropDownCount");
        QTest::addColumn<int>("rows");
        QTest::newRow("3 items") << 3 << 8 << 4;
        QTest::newRow("20 items") << 20 << 8 << 9;
        QTest::newRow("8 items") << 8 << 8 << 9;
        QTest::newRow("one item") << 1 << 8 << 2;
        QTest::newRow("20 items, 3 at a time") << 20 << 3 << 4;
    }
    void list_height() {
        QFETCH(int, items);
        QFETCH(int, dropDownCount);
        QFETCH(int, rows);
        Form f;
        QStringList list;
        for (int i = 0; i < items; ++i) list << QString("Svamp %1").arg(i);
        f.edit->SetItems(list);
        f.edit->SetDropDownCount(dropDownCount);
        f.edit->DropDown();
        QCOMPARE(f.edit->DropDownList()->height(), rows * f.Row());
    }

    // Room below the edit for fewer rows than wanted: whole rows, less 4 pixels; room for
    // less than one row: the list opens above the edit; room nowhere: still one row.
    void list_heightInAShortParent_data() {
        QTest::addColumn<int>("roomBelowInRows");  // tenths of rows between edit and bottom
        QTest::addColumn<int>("roomAboveInRows");
        QTest::addColumn<QString>("expected");
        QTest::newRow("five and a half rows below") << 55 << 0 << "below 5";
        QTest::newRow("half a row below, room above") << 5 << 120 << "above";
        QTest::newRow("no room anywhere") << 5 << 0 << "one row";
    }
    void list_heightInAShortParent() {
        QFETCH(int, roomBelowInRows);
        QFETCH(int, roomAboveInRows);
        QFETCH(QString, expected);
        TFREdit probe;
        const int row = QFontMetrics(probe.font()).height();
        const int top = roomAboveInRows * row / 10;
        Form f(nullptr, QSize(300, top + 14 + roomBelowInRows * row / 10), top);
        QStringList list;
        for (int i = 0; i < 20; ++i) list << QString("Svamp %1").arg(i);
        f.edit->SetItems(list);
        f.edit->DropDown();
        const QRect r = f.edit->DropDownList()->geometry();
        QVERIFY(r.height() > 0);
        const int frame = 2 * f.edit->DropDownList()->frameWidth();
        if (expected == "below 5") {
            QCOMPARE(r.top(), f.edit->geometry().bottom() + 1);
            QCOMPARE(r.height(), 5 * row - 4);
        } else if (expected == "above") {
            QCOMPARE(r.bottom(), f.edit->geometry().top() - 1);
            QVERIFY(r.top() >= 0);
            QVERIFY(r.height() >= row + frame);
        } else {
            QCOMPARE(r.top(), f.edit->geometry().bottom() + 1);
            QCOMPARE(r.height(), row + frame);
        }
    }

    void downAndUp_moveThroughTheList() {
        Form f;
        f.edit->SetItems(kItems);
        QList<bool> asked;
        f.edit->OnDropDownQuery = [&](TFREdit* sender, bool requested, bool& allow) {
            QCOMPARE(sender, f.edit);
            QVERIFY(!allow);
            asked << requested;
            allow = requested;  // only when asked for with Down
        };
        f.Enter();
        QCOMPARE(asked, QList<bool>({false}));
        QVERIFY(!f.edit->DroppedDown());
        QTest::keyClick(f.edit, Qt::Key_Down);
        QCOMPARE(asked, QList<bool>({false, true}));
        QVERIFY(f.edit->DroppedDown());
        QCOMPARE(f.edit->text(), QString());

        const auto step = [&](Qt::Key key, const QString& text, int row) {
            QTest::keyClick(f.edit, key);
            QCOMPARE(f.edit->text(), text);
            QCOMPARE(f.edit->selectedText(), text);
            QCOMPARE(f.edit->DropDownList()->currentRow(), row);
        };
        step(Qt::Key_Down, "Abc", 0);  // no current item: the first
        step(Qt::Key_Down, "abd", 1);
        step(Qt::Key_Down, "Ab", 2);
        step(Qt::Key_Down, "Ab", 2);  // the last stays
        step(Qt::Key_Up, "abd", 1);
        step(Qt::Key_Up, "Abc", 0);
        step(Qt::Key_Up, "Abc", 0);  // not above the first
    }

    void entering_opensTheListAsAllowed_data() {
        QTest::addColumn<bool>("always");
        QTest::addColumn<int>("handler");  // 0 none, 1 refuses, 2 allows
        QTest::addColumn<bool>("opened");
        QTest::newRow("AlwaysDropdown") << true << 1 << true;
        QTest::newRow("no handler") << false << 0 << false;
        QTest::newRow("handler refuses") << false << 1 << false;
        QTest::newRow("handler allows") << false << 2 << true;
    }
    void entering_opensTheListAsAllowed() {
        QFETCH(bool, always);
        QFETCH(int, handler);
        QFETCH(bool, opened);
        Form f;
        f.edit->SetItems(kItems);
        f.edit->AlwaysDropdown = always;
        if (handler) f.edit->OnDropDownQuery = [handler](TFREdit*, bool, bool& allow) { allow = handler == 2; };
        f.Enter();
        QCOMPARE(f.edit->DroppedDown(), opened);
    }

    void readOnly_letterJumpsToTheNextItemAndWraps_data() {
        QTest::addColumn<int>("from");
        QTest::addColumn<QString>("letter");
        QTest::addColumn<int>("to");
        QTest::newRow("from none") << -1 << "b" << 0;
        QTest::newRow("to the next with that letter") << 0 << "b" << 2;
        QTest::newRow("capital letter") << 2 << "B" << 3;
        QTest::newRow("wraps round to the start") << 3 << "b" << 0;
        QTest::newRow("skips other letters") << 1 << "a" << 4;
        QTest::newRow("wraps from the last") << 4 << "a" << 1;
        QTest::newRow("the only item with that letter") << 5 << "s" << 5;
        QTest::newRow("no item with that letter") << 2 << "x" << 2;
    }
    void readOnly_letterJumpsToTheNextItemAndWraps() {
        QFETCH(int, from);
        QFETCH(QString, letter);
        QFETCH(int, to);
        const QStringList items = {"Blek", "Ask", "Björk", "Bok", "Al", "Sälg"};
        Form f;
        f.edit->SetItems(items);
        f.edit->setReadOnly(true);
        f.edit->AlwaysDropdown = true;
        if (from >= 0) f.edit->setText(items.at(from));
        f.Enter();
        QVERIFY(f.edit->DroppedDown());
        QCOMPARE(f.edit->DropDownList()->currentRow(), from);
        QTest::keyClick(f.edit, letter.at(0).toLatin1());
        QCOMPARE(f.edit->DropDownList()->currentRow(), to);
        QCOMPARE(f.edit->text(), to >= 0 ? items.at(to) : QString());
        if (to != from) QCOMPARE(f.edit->selectedText(), items.at(to));
    }

    void clickingAnItem_takesItAndMovesOn() {
        Form f;
        f.edit->SetItems(kItems);
        f.edit->AlwaysDropdown = true;
        f.edit->AutoComplete = true;
        f.Enter();
        TFRDropDownList* list = f.edit->DropDownList();
        const QRect row = list->visualItemRect(list->item(1));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
        QCOMPARE(f.edit->text(), QString("abd"));
        QVERIFY(f.next->hasFocus());
        QVERIFY(!f.edit->DroppedDown());
        QVERIFY(!f.edit->hasSelectedText());
    }

    void sorted_keepsTheItemsInOrder() {
        TFREdit edit;
        edit.SetSorted(true);
        edit.SetItems({"Sälg", "Björk", "Al"});
        QCOMPARE(edit.Items(), QStringList({"Al", "Björk", "Sälg"}));
    }

    void dbEdit_showsAndWritesItsField() {
        TClientDataSet table(nullptr, "cdsDistricts");
        table.SetFieldDefs({{"UKey", TFieldType::ftString, 20}, {"Province", TFieldType::ftString, 12}});
        table.CreateDataSet();
        for (const char* p : {"Uppland", "Lappland"}) {
            table.Append();
            table.FieldByName("Province")->SetAsString(p);
            table.Post();
        }
        table.First();
        TDataSource source(nullptr, "dsDistricts");
        source.SetDataSet(&table);

        auto* edit = new TFRDBEdit;
        Form f(edit);
        edit->SetItems({"Dalarna", "Gotland", "Uppland"});
        edit->SetDataSource(&source);
        edit->SetDataField("Province");
        QCOMPARE(edit->text(), QString("Uppland"));
        QCOMPARE(edit->maxLength(), 12);
        table.Next();
        QCOMPARE(edit->text(), QString("Lappland"));

        // Typing puts the table into edit state, leaving writes the field.
        f.Enter();
        edit->selectAll();
        Type(edit, "Got");
        QCOMPARE(edit->text(), QString("Got"));
        QCOMPARE(table.State(), TDataSetState::dsEdit);
        QVERIFY(edit->Link().Modified());
        edit->AutoComplete = true;
        f.Leave();
        QCOMPARE(edit->text(), QString("Gotland"));
        QCOMPARE(table.FieldByName("Province")->AsString(), QString("Gotland"));
        table.Post();

        // A choice from the list is a change like typing: Down from the matched item.
        f.Enter();
        edit->DropDown();
        QTest::keyClick(edit, Qt::Key_Down);
        QCOMPARE(edit->text(), QString("Uppland"));
        QCOMPARE(table.State(), TDataSetState::dsEdit);
        f.Leave();
        QCOMPARE(table.FieldByName("Province")->AsString(), QString("Uppland"));
        table.Cancel();
        QCOMPARE(edit->text(), QString("Gotland"));

        // Escape gives a typed change up.
        f.Enter();
        edit->selectAll();
        Type(edit, "Skåne");
        QVERIFY(edit->Link().Modified());
        QTest::keyClick(edit, Qt::Key_Escape);
        QCOMPARE(edit->text(), QString("Gotland"));
        QVERIFY(!edit->Link().Modified());
        f.Leave();
        QCOMPARE(table.FieldByName("Province")->AsString(), QString("Gotland"));
        table.Cancel();

        // Without AutoEdit, typing in browse state changes nothing.
        source.SetAutoEdit(false);
        f.Enter();
        edit->selectAll();
        Type(edit, "Skåne");
        QCOMPARE(edit->text(), QString("Gotland"));
        QCOMPARE(table.State(), TDataSetState::dsBrowse);
        QVERIFY(!edit->Link().Modified());
    }
};

QTEST_MAIN(TestFREdits)
#include "tst_fredits.moc"
