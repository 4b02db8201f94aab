#include <QtTest>

#include "FakeFieldTable.h"
#include "controls/FRDBSeason.h"

namespace {

// The levels as the test reads them: a digit per month, "-" for no data.
QString Levels(const TFRDBSeason& s) {
    QString text;
    for (int m = 0; m < TFRDBSeason::MonthCount; ++m) text += s.Level(m) < 0 ? QChar('-') : QChar('0' + s.Level(m));
    return text;
}

void Mouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
    QMouseEvent e(type, QPointF(pos), w->mapToGlobal(QPointF(pos)), button, buttons, mods);
    QCoreApplication::sendEvent(w, &e);
}

// Grips a month's bar at its top and drags it to y.
void Drag(TFRDBSeason& s, int month, int y, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    const QPoint grip = s.GripRect(month).center();
    Mouse(&s, QEvent::MouseMove, grip);
    Mouse(&s, QEvent::MouseButtonPress, grip);
    Mouse(&s, QEvent::MouseMove, QPoint(grip.x(), y), mods);
    Mouse(&s, QEvent::MouseButtonRelease, QPoint(grip.x(), y), mods);
}

struct Fixture {
    FakeFieldTable table;
    TFRDBSeason season;
    explicit Fixture(const QString& text) {
        season.SetDataField("Season");
        season.Link().SetTable(&table);
        table.Open({{"Season", text}});
    }
};

}  // namespace

class TestSeason : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void defaults() {
        TFRDBSeason s;
        QCOMPARE(s.size(), QSize(240, 120));
        QCOMPARE(s.BackgroundColor(), TColor(0xFFFFFF));
        QCOMPARE(s.FrameColor(), TColor(0x000000));
        QCOMPARE(s.HighColor(), TColor(0x0000FF));
        QCOMPARE(s.LowColor(), TColor(0xFF0000));
        QCOMPARE(s.CaptionHeight(), 14);
        QCOMPARE(s.GraphMargin(), 8);
        QCOMPARE(s.MonthLetters(), QString("JFMAMJJASOND"));
        QVERIFY(s.Caption().isEmpty());
        QCOMPARE(s.CaptionFont().family(), ArialFamily());
        QVERIFY(s.CaptionFont().weight() > QFont::Bold);
        QVERIFY(s.LetterFont().weight() <= QFont::Normal);
        QCOMPARE(s.GraphRect(), QRect(QPoint(8, 22), QPoint(231, 111)));
        QVERIFY(!s.HasData());
        QCOMPARE(Levels(s), QString("------------"));
    }

    void readsTheField_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("editing");
        QTest::addColumn<QString>("levels");
        QTest::newRow("twelve digits") << "000111222000" << false << "000111222000";
        QTest::newRow("every level") << "012345678990" << false << "012345678990";
        QTest::newRow("11 characters") << "00011122200" << false << "------------";
        QTest::newRow("13 characters") << "0001112220000" << false << "------------";
        QTest::newRow("empty") << "" << false << "------------";
        QTest::newRow("11 characters, editing") << "00011122200" << true << "000000000000";
        QTest::newRow("13 characters, editing") << "0001112220000" << true << "000000000000";
        QTest::newRow("empty, editing") << "" << true << "000000000000";
        QTest::newRow("a non-digit shows as 0") << "0003x1222:00" << false << "000301222000";
    }
    void readsTheField() {
        QFETCH(QString, text);
        QFETCH(bool, editing);
        QFETCH(QString, levels);
        Fixture f(text);
        if (editing) f.table.BeginEdit();
        QCOMPARE(Levels(f.season), levels);
        QCOMPARE(f.season.HasData(), !levels.startsWith('-'));
    }

    // The field is written only when the user changed a level: a text the control does not
    // understand stays as it is stored.
    void writesOnlyWhenChanged_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("twelve digits") << "000111222000";
        QTest::newRow("with a non-digit") << "0001x1222000";
        QTest::newRow("11 characters") << "00011122200";
        QTest::newRow("empty") << "";
    }
    void writesOnlyWhenChanged() {
        QFETCH(QString, text);
        Fixture f(text);
        f.table.BeginEdit();
        f.season.Link().UpdateRecord();
        f.table.Post();
        QCOMPARE(f.table.Writes("Season"), 0);
        QCOMPARE(f.table.Stored("Season").toString(), text);
    }

    void levelUnderThePointer_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("level");
        QTest::newRow("240x120 y67") << QSize(240, 120) << 67 << 4;
        QTest::newRow("240x120 y61") << QSize(240, 120) << 61 << 5;
        QTest::newRow("240x120 above the graph") << QSize(240, 120) << 0 << 9;
        QTest::newRow("240x120 below the graph") << QSize(240, 120) << 200 << 0;
        QTest::newRow("240x120 graph top") << QSize(240, 120) << 22 << 9;
        QTest::newRow("240x120 graph bottom") << QSize(240, 120) << 111 << 0;
        // Ties go to the even level.
        QTest::newRow("240x49 y39 (0.5)") << QSize(240, 49) << 39 << 0;
        QTest::newRow("240x49 y37 (1.5)") << QSize(240, 49) << 37 << 2;
        QTest::newRow("240x49 y35 (2.5)") << QSize(240, 49) << 35 << 2;
        QTest::newRow("240x49 y33 (3.5)") << QSize(240, 49) << 33 << 4;
        QTest::newRow("240x49 y31 (4.5)") << QSize(240, 49) << 31 << 4;
    }
    void levelUnderThePointer() {
        QFETCH(QSize, size);
        QFETCH(int, y);
        QFETCH(int, level);
        TFRDBSeason s;
        s.resize(size);
        QCOMPARE(s.LevelAt(y), level);
    }

    void monthUnderThePointer_data() {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("month");
        QTest::newRow("graph left") << 8 << 0;
        QTest::newRow("x26") << 26 << 0;
        QTest::newRow("x27") << 27 << 1;
        QTest::newRow("x230") << 230 << 11;
        QTest::newRow("past the right") << 260 << 13;
    }
    void monthUnderThePointer() {
        QFETCH(int, x);
        QFETCH(int, month);
        Fixture f("000111222000");
        QCOMPARE(f.season.MonthAt(x), month);
        // The column the month's bar is drawn in is the one the pointer finds.
        if (month >= 0 && month < 12) {
            const QRect grip = f.season.GripRect(month);
            QCOMPARE(f.season.MonthAt(grip.left()), month);
            QCOMPARE(f.season.MonthAt(grip.right()), month);
        }
    }

    void dragSetsLevels_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("y");
        QTest::addColumn<bool>("ctrl");
        QTest::addColumn<QString>("written");
        QTest::newRow("June to 7") << "000111222000" << 5 << 42 << false << "000117222000";
        QTest::newRow("June to 7 with Ctrl") << "000111222000" << 5 << 42 << true << "777777777777";
        QTest::newRow("above the top: 9") << "000111222000" << 5 << -40 << false << "000119222000";
        QTest::newRow("below the bottom: 0") << "000111222000" << 6 << 300 << false << "000111022000";
        QTest::newRow("drawn from nothing") << "" << 0 << 62 << false << "500000000000";
        QTest::newRow("a non-digit is written as 0") << "00x111222000" << 11 << 42 << false << "000111222007";
    }
    void dragSetsLevels() {
        QFETCH(QString, text);
        QFETCH(int, month);
        QFETCH(int, y);
        QFETCH(bool, ctrl);
        QFETCH(QString, written);
        Fixture f(text);
        f.table.BeginEdit();
        const QPoint grip = f.season.GripRect(month).center();
        Mouse(&f.season, QEvent::MouseMove, grip);
        QCOMPARE(f.season.DragState(), TFRDBSeason::TDragState::AtGrip);
        QCOMPARE(f.season.cursor().shape(), Qt::SizeVerCursor);
        Mouse(&f.season, QEvent::MouseButtonPress, grip);
        QCOMPARE(f.season.DragState(), TFRDBSeason::TDragState::Dragging);
        QCOMPARE(f.season.DraggedMonth(), month);
        Mouse(&f.season, QEvent::MouseMove, QPoint(grip.x(), y), ctrl ? Qt::ControlModifier : Qt::NoModifier);
        QVERIFY(f.season.Link().Modified());
        Mouse(&f.season, QEvent::MouseButtonRelease, QPoint(grip.x(), y));
        QCOMPARE(f.season.DragState(), TFRDBSeason::TDragState::Idle);
        f.table.Post();
        QCOMPARE(f.table.Writes("Season"), 1);
        QCOMPARE(f.table.Stored("Season").toString(), written);
    }

    // Only the top of a bar grips; a drag to the level the month has changes nothing; in
    // browse state the mouse does nothing.
    void dragNeedsGripAndEditState() {
        Fixture f("000111222000");
        const QPoint grip = f.season.GripRect(5).center();
        Mouse(&f.season, QEvent::MouseMove, grip);
        QCOMPARE(f.season.DragState(), TFRDBSeason::TDragState::Idle);
        Drag(f.season, 5, 42);
        QCOMPARE(Levels(f.season), QString("000111222000"));
        QVERIFY(!f.table.Editing());

        f.table.BeginEdit();
        // The middle of June's empty column is no grip.
        Mouse(&f.season, QEvent::MouseMove, QPoint(grip.x(), 50));
        QCOMPARE(f.season.DragState(), TFRDBSeason::TDragState::Idle);
        QCOMPARE(f.season.cursor().shape(), Qt::ArrowCursor);
        Mouse(&f.season, QEvent::MouseButtonPress, QPoint(grip.x(), 50));
        Mouse(&f.season, QEvent::MouseMove, QPoint(grip.x(), 30));
        QCOMPARE(Levels(f.season), QString("000111222000"));
        Mouse(&f.season, QEvent::MouseButtonRelease, QPoint(grip.x(), 30));
        // Dragged to its own level.
        Drag(f.season, 5, grip.y());
        QVERIFY(!f.season.Link().Modified());
        f.table.Post();
        QCOMPARE(f.table.Writes("Season"), 0);
    }

    void keyPutsTheTableIntoEdit() {
        Fixture f("00011122200");
        QVERIFY(!f.season.HasData());
        QTest::keyClick(&f.season, Qt::Key_Space);
        QVERIFY(f.table.Editing());
        QCOMPARE(Levels(f.season), QString("000000000000"));
        f.table.Cancel();
        f.table.AutoEdit = false;
        QTest::keyClick(&f.season, Qt::Key_Space);
        QVERIFY(!f.table.Editing());
    }

    // Bars rise level / 9 of the graph from its base, high colour at the top and low colour
    // at the base; months without data have none.
    void paintsBars() {
        Fixture f("900000000000");
        const QImage img = f.season.grab().toImage();
        const QRect g = f.season.GraphRect();
        const int jan = f.season.GripRect(0).center().x(), feb = f.season.GripRect(1).center().x();
        const QColor top = img.pixelColor(jan, g.top() + 2), base = img.pixelColor(jan, g.bottom() - 20);
        QVERIFY2(top.red() > 200 && top.blue() < 60, qPrintable(top.name()));
        QVERIFY2(base.blue() > 150 && base.red() < 100, qPrintable(base.name()));
        QCOMPARE(img.pixelColor(feb, g.top() + 2), QColor(Qt::white));
        QCOMPARE(img.pixelColor(feb, g.center().y()), QColor(Qt::white));
        QCOMPARE(img.pixelColor(jan, g.bottom()), QColor(Qt::black));  // the base line

        f.table.Scroll({{"Season", QString("9000000000000")}});
        const QImage none = f.season.grab().toImage();
        QCOMPARE(none.pixelColor(jan, g.top() + 2), QColor(Qt::white));
        QCOMPARE(none.pixelColor(jan, g.center().y()), QColor(Qt::white));
    }
};

QTEST_MAIN(TestSeason)
#include "tst_season.moc"
