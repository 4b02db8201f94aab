#include <QtTest>

#include <QLineEdit>

#include "FakeFieldTable.h"
#include "controls/FRMultiChoice.h"
#include "platform/UIServices.h"
#include "support/TestSupport.h"

Q_DECLARE_METATYPE(TItemOrder)

namespace {

QStringList Numbered(int n) {
    QStringList items;
    for (int i = 0; i < n; ++i) items << QString("Val %1").arg(i + 1);
    return items;
}

QList<int> SelectedItems(const TFRMultiChoice& c) {
    QList<int> s;
    for (int i = 0; i < c.Count(); ++i)
        if (c.Selected(i)) s << i;
    return s;
}

// A window holding the grid and an edit to take the focus away.
struct Form {
    QWidget window;
    TFRMultiChoice* choice;
    QLineEdit* other;
    int changes = 0;
    explicit Form(TFRMultiChoice* c, const QStringList& items, int minSelected, int maxSelected) : choice(c) {
        window.resize(400, 300);
        choice->setParent(&window);
        choice->move(10, 10);
        choice->SetItems(items);
        // The order matters: Max first would be refused under the default Min of 1.
        if (minSelected < choice->MinSelected()) {
            choice->SetMinSelected(minSelected);
            choice->SetMaxSelected(maxSelected);
        } else {
            choice->SetMaxSelected(maxSelected);
            choice->SetMinSelected(minSelected);
        }
        choice->OnChange = [this](TFRMultiChoice*) { ++changes; };
        other = new QLineEdit(&window);
        other->setGeometry(10, 250, 100, 20);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        other->setFocus();
    }
    void Click(int index) { QTest::mouseClick(choice, Qt::LeftButton, {}, choice->ItemRect(index).center()); }
    void Key(Qt::Key key) { QTest::keyClick(choice, key); }
};

}  // namespace

class TestMultiChoice : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        UIServices::SetMessageHook([](const UIServices::TShownMessage&) { return UIServices::TMsgResult::OK; });
        UIServices::ClearMessageLog();
    }
    void cleanup() {
        QCOMPARE(UIServices::MessageLog().size(), 0);
        UIServices::SetMessageHook({});
    }

    void geometry_data() {
        QTest::addColumn<int>("colCount");
        QTest::addColumn<int>("colWidth");
        QTest::addColumn<int>("itemHeight");
        QTest::addColumn<int>("items");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("rows");
        QTest::newRow("two full rows") << 3 << 40 << 14 << 6 << QSize(122, 29) << 2;
        QTest::newRow("one item into a third row") << 3 << 40 << 14 << 7 << QSize(122, 44) << 3;
        QTest::newRow("one item") << 3 << 40 << 14 << 1 << QSize(122, 14) << 1;
        QTest::newRow("no items, one row high") << 3 << 40 << 14 << 0 << QSize(122, 14) << 1;
        QTest::newRow("one column of fifteen") << 1 << 96 << 14 << 15 << QSize(96, 224) << 15;
        QTest::newRow("one empty column, one row high") << 1 << 96 << 14 << 0 << QSize(96, 14) << 1;
        QTest::newRow("column count 0 ignored") << 0 << 40 << 14 << 4 << QSize(122, 29) << 2;
        QTest::newRow("width and height below 9 ignored") << 2 << 8 << 8 << 3 << QSize(81, 29) << 2;
    }
    void geometry() {
        QFETCH(int, colCount);
        QFETCH(int, colWidth);
        QFETCH(int, itemHeight);
        QFETCH(int, items);
        QFETCH(QSize, size);
        QFETCH(int, rows);
        TFRMultiChoice c;
        c.SetItems(Numbered(items));
        c.SetColCount(colCount);
        c.SetColWidth(colWidth);
        c.SetItemHeight(itemHeight);
        QCOMPARE(c.size(), size);
        QCOMPARE(c.sizeHint(), size);
        QCOMPARE(c.Rows(), rows);
        // Both orders give the same grid.
        c.SetItemOrder(TItemOrder::ioVertical);
        QCOMPARE(c.size(), size);
        QCOMPARE(c.Rows(), rows);
    }

    void cellUnderPoint_data() {
        QTest::addColumn<TItemOrder>("order");
        QTest::addColumn<int>("items");
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<int>("item");
        // Three columns of 40 x 14 cells; a cell with its gap is 41 x 15.
        const auto h = TItemOrder::ioHorizontal, v = TItemOrder::ioVertical;
        QTest::newRow("row by row: second row, third column") << h << 6 << QPoint(90, 20) << 5;
        QTest::newRow("row by row: first row, second column") << h << 6 << QPoint(41, 0) << 1;
        QTest::newRow("column by column: second row, third column") << v << 6 << QPoint(90, 20) << 5;
        QTest::newRow("column by column: first row, second column") << v << 6 << QPoint(41, 0) << 2;
        QTest::newRow("gap pixel belongs to the cell before it") << h << 6 << QPoint(40, 14) << 0;
        QTest::newRow("below the last item of a partly filled row") << h << 4 << QPoint(50, 20) << -1;
        QTest::newRow("column by column: empty third column") << v << 4 << QPoint(90, 5) << -1;
        QTest::newRow("right of the last column") << h << 6 << QPoint(125, 5) << -1;
        QTest::newRow("below the last row, items above reach further") << v << 6 << QPoint(5, 31) << -1;
        QTest::newRow("left of the grid") << h << 6 << QPoint(-1, 5) << -1;
    }
    void cellUnderPoint() {
        QFETCH(TItemOrder, order);
        QFETCH(int, items);
        QFETCH(QPoint, point);
        QFETCH(int, item);
        TFRMultiChoice c;
        c.SetItems(Numbered(items));
        c.SetItemOrder(order);
        QCOMPARE(c.ItemAt(point), item);
        if (item >= 0) QVERIFY(c.ItemRect(item).adjusted(0, 0, 1, 1).contains(point));
    }

    void click_radioGroupMovesAndNeverEmpties() {
        Form f(new TFRMultiChoice, Numbered(4), 1, 1);
        f.Click(1);
        QVERIFY(f.choice->hasFocus());
        QCOMPARE(SelectedItems(*f.choice), QList<int>({1}));
        QCOMPARE(f.choice->ItemIndex(), 1);
        QCOMPARE(f.changes, 1);
        f.Click(1);  // the selected cell stays selected
        QCOMPARE(SelectedItems(*f.choice), QList<int>({1}));
        QCOMPARE(f.changes, 1);
        f.Click(3);  // another cell takes the selection, past the minimum
        QCOMPARE(SelectedItems(*f.choice), QList<int>({3}));
        QCOMPARE(f.choice->ItemIndex(), 3);
        QCOMPARE(f.changes, 2);
        // A click on no cell changes nothing.
        QTest::mouseClick(f.choice, Qt::LeftButton, {}, QPoint(f.choice->width() - 1, f.choice->height() - 1));
        QCOMPARE(SelectedItems(*f.choice), QList<int>({3}));
    }

    void click_optionalChoiceTogglesOff() {
        Form f(new TFRMultiChoice, Numbered(3), 0, 1);
        f.Click(2);
        f.Click(2);
        QCOMPARE(SelectedItems(*f.choice), QList<int>());
        QCOMPARE(f.changes, 2);
    }

    void limit_dropsTheOldestSelection() {
        Form f(new TFRMultiChoice, Numbered(4), 0, 2);
        f.Click(3);
        f.Click(0);
        f.Click(2);  // 3 was selected first, so it gives way, not the lowest index
        QCOMPARE(SelectedItems(*f.choice), QList<int>({0, 2}));
        QCOMPARE(f.choice->SelectionOrder(), QList<int>({0, 2}));
        QCOMPARE(f.choice->SelectedCount(), 2);
    }

    void clearSelection_keepsWhatTheMinimumHolds() {
        TFRMultiChoice c;
        c.SetItems(Numbered(4));
        c.SetMaxSelected(0);
        for (int i : {2, 0, 3}) c.SetSelected(i, true);
        c.ClearSelection();
        QCOMPARE(SelectedItems(c), QList<int>({3}));  // the last one could not go
        c.SetMinSelected(0);
        c.ClearSelection();
        QCOMPARE(c.SelectedCount(), 0);
    }

    void setters_checkTheOtherLimit_data() {
        QTest::addColumn<int>("minSelected");
        QTest::addColumn<int>("maxSelected");
        QTest::addColumn<bool>("settingMin");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("message");
        const QString minMessage = "Invalid MinSelected. Value must be less than or equal to MaxSelected";
        const QString maxMessage = "Invalid MaxSelected. Value must be greater then MinSelected";
        QTest::newRow("min above max") << 1 << 1 << true << 5 << minMessage;
        QTest::newRow("min equal to max") << 1 << 3 << true << 3 << testsupport::NoException;
        QTest::newRow("min under no upper limit") << 1 << 0 << true << 7 << testsupport::NoException;
        QTest::newRow("max below min") << 2 << 3 << false << 1 << maxMessage;
        QTest::newRow("max 0 is no limit") << 2 << 3 << false << 0 << testsupport::NoException;
        QTest::newRow("max under min 0") << 0 << 3 << false << 1 << testsupport::NoException;
    }
    void setters_checkTheOtherLimit() {
        QFETCH(int, minSelected);
        QFETCH(int, maxSelected);
        QFETCH(bool, settingMin);
        QFETCH(int, value);
        QFETCH(QString, message);
        TFRMultiChoice c;
        c.SetMaxSelected(maxSelected);
        c.SetMinSelected(minSelected);
        QCOMPARE(c.MinSelected(), minSelected);
        QCOMPARE(c.MaxSelected(), maxSelected);
        QCOMPARE(testsupport::ExceptionText([&] {
                     if (settingMin)
                         c.SetMinSelected(value);
                     else
                         c.SetMaxSelected(value);
                 }),
                 message);
        const bool ok = message == testsupport::NoException;
        QCOMPARE(c.MinSelected(), settingMin && ok ? value : minSelected);
        QCOMPARE(c.MaxSelected(), !settingMin && ok ? value : maxSelected);
    }

    void keys_moveTheCurrentItem_data() {
        QTest::addColumn<TItemOrder>("order");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("to");
        // Seven items in three columns: three rows.
        const auto h = TItemOrder::ioHorizontal, v = TItemOrder::ioVertical;
        QTest::newRow("row by row: right") << h << 4 << int(Qt::Key_Right) << 5;
        QTest::newRow("row by row: left wraps to the row above") << h << 3 << int(Qt::Key_Left) << 2;
        QTest::newRow("row by row: down a row") << h << 1 << int(Qt::Key_Down) << 4;
        QTest::newRow("row by row: up a row") << h << 5 << int(Qt::Key_Up) << 2;
        QTest::newRow("row by row: down past the last item") << h << 5 << int(Qt::Key_Down) << 5;
        QTest::newRow("row by row: up from the first row") << h << 1 << int(Qt::Key_Up) << 1;
        QTest::newRow("column by column: right a column") << v << 1 << int(Qt::Key_Right) << 4;
        QTest::newRow("column by column: left a column") << v << 4 << int(Qt::Key_Left) << 1;
        QTest::newRow("column by column: down") << v << 4 << int(Qt::Key_Down) << 5;
        QTest::newRow("column by column: up") << v << 4 << int(Qt::Key_Up) << 3;
        QTest::newRow("column by column: right past the last item") << v << 4 << int(Qt::Key_Right) << 4;
        QTest::newRow("column by column: left from the first column") << v << 2 << int(Qt::Key_Left) << 2;
        QTest::newRow("column by column: down past the last item") << v << 6 << int(Qt::Key_Down) << 6;
    }
    void keys_moveTheCurrentItem() {
        QFETCH(TItemOrder, order);
        QFETCH(int, from);
        QFETCH(int, key);
        QFETCH(int, to);
        for (const bool mark : {false, true}) {
            Form f(new TFRMultiChoice, Numbered(7), 1, 1);
            f.choice->SetItemOrder(order);
            f.choice->MarkOnContact = mark;
            f.choice->setFocus();
            f.choice->SetItemIndex(from);
            f.Key(Qt::Key(key));
            QCOMPARE(f.choice->ItemIndex(), to);
            // Marking on contact selects the item moved to.
            QCOMPARE(SelectedItems(*f.choice), QList<int>({mark ? to : from}));
        }
    }

    void keys_spaceTogglesAndOnlyOneOfOneMarksOnContact() {
        Form f(new TFRMultiChoice, Numbered(4), 0, 0);
        f.choice->setFocus();
        QCOMPARE(f.choice->ItemIndex(), 0);  // entering makes the first item current
        f.Key(Qt::Key_Right);
        QCOMPARE(f.choice->SelectedCount(), 0);
        f.Key(Qt::Key_Space);
        f.Key(Qt::Key_Right);
        f.Key(Qt::Key_Space);
        QCOMPARE(SelectedItems(*f.choice), QList<int>({1, 2}));
        f.Key(Qt::Key_Space);
        QCOMPARE(SelectedItems(*f.choice), QList<int>({1}));
        QCOMPARE(f.changes, 3);
    }

    void entering_makesTheSelectedItemCurrent() {
        Form f(new TFRMultiChoice, Numbered(5), 0, 1);
        f.choice->SetSelected(3, true);
        f.choice->SetItemIndex(1);
        f.choice->setFocus();
        QCOMPARE(f.choice->ItemIndex(), 3);
        f.other->setFocus();
        f.choice->MarkOnContact = false;
        f.choice->SetItemIndex(1);
        f.choice->setFocus();
        QCOMPARE(f.choice->ItemIndex(), 1);
    }

    void itemIndex_selectsOnlyInARadioGroup() {
        TFRMultiChoice c;
        c.SetItems(Numbered(3));
        c.SetItemIndex(2);
        QCOMPARE(SelectedItems(c), QList<int>({2}));
        c.SetItemIndex(5);  // outside: ignored
        QCOMPARE(c.ItemIndex(), 2);
        c.SetMaxSelected(2);
        c.SetItemIndex(0);
        QCOMPARE(SelectedItems(c), QList<int>({2}));
    }

    void items_resetTheSelectionAndHaveNoFixedLimit() {
        TFRMultiChoice c;
        c.SetItems(Numbered(40));
        c.SetMinSelected(0);
        c.SetMaxSelected(0);
        for (int i = 0; i < 40; ++i) c.SetSelected(i, true);
        QCOMPARE(c.SelectedCount(), 40);
        QVERIFY(c.Selected(39));
        c.SetItemIndex(39);
        c.SetItems(Numbered(3));
        QCOMPARE(c.SelectedCount(), 0);
        QCOMPARE(c.SelectionOrder(), QList<int>());
        QCOMPARE(c.ItemIndex(), -1);
        for (int i = 0; i < 3; ++i) QVERIFY(!c.Selected(i));
        QVERIFY(!c.Selected(39));
    }

    void paint_cellsInTheirColoursWithReadableText_data() {
        QTest::addColumn<qint64>("selectedColor");
        QTest::addColumn<qint64>("fontColor");
        QTest::addColumn<bool>("darkTextOnSelection");
        QTest::newRow("red selection, white text") << qint64(0x0000FF) << qint64(clBtnFace) << false;
        QTest::newRow("pale selection, the font colour") << qint64(0xC4FFFF) << qint64(clWindowText) << true;
        QTest::newRow("pale selection, light font: black") << qint64(0xC4FFFF) << qint64(clBtnFace) << true;
    }
    void paint_cellsInTheirColoursWithReadableText() {
        QFETCH(qint64, selectedColor);
        QFETCH(qint64, fontColor);
        QFETCH(bool, darkTextOnSelection);
        QWidget parent;
        parent.setAutoFillBackground(true);
        QPalette pal = parent.palette();
        pal.setColor(QPalette::Window, QColor(0, 128, 0));
        parent.setPalette(pal);
        auto* c = new TFRMultiChoice(&parent);
        c->SetItems({"Ätlig", "Giftig"});
        c->SetColCount(2);
        c->SetSelectedColor(selectedColor);
        c->SetFontColor(fontColor);
        c->SetSelected(1, true);
        parent.resize(c->size());
        const QImage image = parent.grab().toImage();
        const QRect cell0 = c->ItemRect(0), cell1 = c->ItemRect(1);
        QCOMPARE(image.pixel(cell0.topRight()), ResolveColor(clBtnShadow, c).rgb());
        QCOMPARE(image.pixel(cell1.topRight()), ColorFromNumber(selectedColor).rgb());
        QCOMPARE(image.pixel(cell0.right() + 1, 5), QColor(0, 128, 0).rgb());  // the gap is the parent's
        // The text on the selection: its darkest or lightest pixel stands out from the fill.
        int darkest = 255, lightest = 0;
        for (int x = cell1.left(); x <= cell1.right(); ++x)
            for (int y = cell1.top(); y <= cell1.bottom(); ++y) {
                const int v = qGray(image.pixel(x, y));
                darkest = std::min(darkest, v);
                lightest = std::max(lightest, v);
            }
        if (darkTextOnSelection)
            QVERIFY2(darkest < 80, qPrintable(QString::number(darkest)));
        else
            QVERIFY2(lightest > 240, qPrintable(QString::number(lightest)));
    }

    // ---- Data-aware ----

    void field_encoding_data() {
        QTest::addColumn<int>("maxSelected");
        QTest::addColumn<int>("items");
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<QString>("text");
        QTest::newRow("one flag per item") << 0 << 4 << QList<int>({1, 3}) << "0101";
        QTest::newRow("none of three") << 0 << 3 << QList<int>() << "000";
        QTest::newRow("two at most, flags too") << 2 << 4 << QList<int>({0, 2}) << "1010";
        QTest::newRow("single choice: the index") << 1 << 4 << QList<int>({2}) << "2";
        QTest::newRow("single choice: none") << 1 << 4 << QList<int>() << "-1";
    }
    void field_encoding() {
        QFETCH(int, maxSelected);
        QFETCH(int, items);
        QFETCH(QList<int>, selected);
        QFETCH(QString, text);
        FakeFieldTable table;
        table.Open({{"Choice", QString()}});
        TFRDBMultiChoice c;
        c.SetItems(Numbered(items));
        c.SetMinSelected(0);
        c.SetMaxSelected(maxSelected);
        c.SetDataField("Choice");
        c.Link().SetTable(&table);
        table.BeginEdit();
        // A change there and back still counts as a change and is written.
        c.SetSelected(0, true);
        c.SetSelected(0, false);
        for (int i : selected) c.SetSelected(i, true);
        QCOMPARE(c.Encoding(), text);
        table.Post();
        QCOMPARE(table.Stored("Choice").toString(), text);
        QCOMPARE(table.Writes("Choice"), 1);
    }

    void field_reading_data() {
        QTest::addColumn<int>("minSelected");
        QTest::addColumn<int>("maxSelected");
        QTest::addColumn<int>("items");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QList<int>>("selected");
        QTest::newRow("shorter text than items") << 0 << 0 << 3 << QVariant("10") << QList<int>({0});
        QTest::newRow("anything but 0 selects") << 0 << 0 << 3 << QVariant("1x0") << QList<int>({0, 1});
        QTest::newRow("longer text than items") << 0 << 0 << 2 << QVariant("0111") << QList<int>({1});
        QTest::newRow("all flags past the maximum") << 0 << 2 << 4 << QVariant("1111") << QList<int>({0, 1, 2, 3});
        QTest::newRow("empty field, minimum 1") << 1 << 0 << 3 << QVariant("") << QList<int>();
        QTest::newRow("single choice index") << 0 << 1 << 3 << QVariant(2) << QList<int>({2});
        QTest::newRow("single choice text") << 0 << 1 << 3 << QVariant("0") << QList<int>({0});
        QTest::newRow("single choice none") << 1 << 1 << 3 << QVariant(-1) << QList<int>();
        QTest::newRow("single choice past the items") << 1 << 1 << 3 << QVariant(5) << QList<int>();
        QTest::newRow("single choice, no number") << 1 << 1 << 3 << QVariant("x") << QList<int>();
        QTest::newRow("single choice, null field") << 1 << 1 << 3 << QVariant() << QList<int>();
    }
    void field_reading() {
        QFETCH(int, minSelected);
        QFETCH(int, maxSelected);
        QFETCH(int, items);
        QFETCH(QVariant, stored);
        QFETCH(QList<int>, selected);
        FakeFieldTable table;
        TFRDBMultiChoice c;
        c.SetItems(Numbered(items));
        c.SetMinSelected(0);
        c.SetMaxSelected(maxSelected);
        c.SetMinSelected(minSelected);
        c.SetDataField("Choice");
        c.Link().SetTable(&table);
        table.Open({{"Choice", stored}});
        QCOMPARE(SelectedItems(c), selected);
        // Shown is not changed: posting writes nothing.
        table.BeginEdit();
        table.Post();
        QCOMPARE(table.Writes("Choice"), 0);
        QCOMPARE(table.Stored("Choice"), stored);
    }

    void field_radioShowsEachRecordAsStored() {
        FakeFieldTable table;
        TFRDBMultiChoice c;
        c.SetItems(Numbered(5));
        int changes = 0;
        c.OnChange = [&](TFRMultiChoice*) { ++changes; };
        c.SetDataField("Choice");
        c.Link().SetTable(&table);
        table.Open({{"Choice", 4}});
        QCOMPARE(SelectedItems(c), QList<int>({4}));
        QCOMPARE(c.ItemIndex(), 4);
        table.Scroll({{"Choice", -1}});
        QCOMPARE(SelectedItems(c), QList<int>());
        table.Scroll({{"Choice", 1}});
        QCOMPARE(SelectedItems(c), QList<int>({1}));
        QCOMPARE(changes, 3);  // once per record shown
        table.Close();
        QCOMPARE(SelectedItems(c), QList<int>());
    }

    void field_changesOnlyWhileEditing() {
        Form f(new TFRDBMultiChoice, Numbered(3), 1, 1);
        auto* c = static_cast<TFRDBMultiChoice*>(f.choice);
        FakeFieldTable table;
        table.AutoEdit = false;
        c->SetDataField("Choice");
        c->Link().SetTable(&table);
        table.Open({{"Choice", 0}});
        f.Click(2);
        QCOMPARE(SelectedItems(*c), QList<int>({0}));
        QVERIFY(!c->Link().Modified());

        // The click made item 2 current. A key asks for edit state; AutoEdit grants it.
        QCOMPARE(c->ItemIndex(), 2);
        table.AutoEdit = true;
        f.Key(Qt::Key_Left);
        QVERIFY(table.Editing());
        QCOMPARE(SelectedItems(*c), QList<int>({1}));
        QVERIFY(c->Link().Modified());
        f.Click(2);
        table.Post();
        QCOMPARE(table.Stored("Choice").toString(), QString("2"));
        QCOMPARE(table.Writes("Choice"), 1);

        // Cancelling an edit shows the stored value again.
        table.BeginEdit();
        f.Click(0);
        QCOMPARE(SelectedItems(*c), QList<int>({0}));
        table.Cancel();
        QCOMPARE(SelectedItems(*c), QList<int>({2}));
        QCOMPARE(table.Writes("Choice"), 1);
    }

    void field_newItemsShowTheStoredValue() {
        FakeFieldTable table;
        TFRDBMultiChoice c;
        c.SetMinSelected(0);
        c.SetMaxSelected(0);
        c.SetDataField("Choice");
        c.Link().SetTable(&table);
        table.Open({{"Choice", "011"}});
        QCOMPARE(c.SelectedCount(), 0);
        c.SetItems(Numbered(3));
        QCOMPARE(SelectedItems(c), QList<int>({1, 2}));
    }
};

QTEST_MAIN(TestMultiChoice)
#include "tst_multichoice.moc"
