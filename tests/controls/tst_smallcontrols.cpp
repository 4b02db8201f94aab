#include <QtTest>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QClipboard>
#include <QPushButton>

#include "FakeFieldTable.h"
#include "controls/DisablePanel.h"
#include "controls/FREdits.h"
#include "controls/FRInfoPanel.h"
#include "controls/FRLabel.h"
#include "controls/FRLocks.h"
#include "controls/FRMemos.h"
#include "controls/FRTitlePicture.h"
#include "controls/FRToolPanel.h"
#include "controls/FlatPageControl.h"
#include "platform/ClientDataSet.h"
#include "platform/UIServices.h"
#include "support/TestSupport.h"

namespace {

// A form with a target panel and a page control of two pages of three edits each.
struct PageForm {
    QWidget form;
    QWidget* target;
    TFlatPageControl* pages;
    QList<QLineEdit*> edits[2];
    PageForm() {
        form.resize(400, 300);
        target = new QWidget(&form);
        target->setObjectName("panelTarget");
        target->setGeometry(0, 0, 400, 300);
        pages = new TFlatPageControl(&form);
        pages->SetTargetPanel(target);
        for (int p = 0; p < 2; ++p) {
            QWidget* page = pages->AddPage(QString("Sida%1").arg(p + 1));
            for (int i = 0; i < 3; ++i) {
                auto* e = new QLineEdit(page);
                e->setObjectName(QString("edit%1_%2").arg(p + 1).arg(i + 1));
                e->setGeometry(10 + 100 * i, 10 + 5 * i, 90, 20);
                edits[p] << e;
            }
            // The page's own tab order, not the order of creation: 1, 3, 2.
            QWidget::setTabOrder(edits[p][0], edits[p][2]);
            QWidget::setTabOrder(edits[p][2], edits[p][1]);
        }
        form.show();
    }
    // The edits of a page as the tab key visits them.
    QStringList TabOrder(const QList<QLineEdit*>& among) const {
        QStringList names;
        QWidget* w = among.first();
        for (int guard = 0; guard < 50 && names.size() < among.size(); ++guard, w = w->nextInFocusChain())
            if (among.contains(static_cast<QLineEdit*>(w)) && !names.contains(w->objectName()))
                names << w->objectName();
        return names;
    }
};

}  // namespace

class TestSmallControls : public QObject {
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

    // ---- Flat page control ----

    void pageControl_movesThePageIntoTheTargetAndBack() {
        PageForm f;
        f.pages->SetOffsetX(10);
        f.pages->SetOffsetY(20);
        QCOMPARE(f.pages->ShowPage(0), f.pages->Pages(0));
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(f.edits[0][i]->parentWidget(), f.target);
            QCOMPARE(f.edits[0][i]->pos(), QPoint(20 + 100 * i, 30 + 5 * i));
            QVERIFY(f.edits[0][i]->isVisible());
        }
        QCOMPARE(f.TabOrder(f.edits[0]), QStringList({"edit1_1", "edit1_3", "edit1_2"}));

        QCOMPARE(f.pages->ShowPage(1), f.pages->Pages(1));
        QCOMPARE(f.pages->ShownPageIndex(), 1);
        for (int i = 0; i < 3; ++i) {
            // Back on their page, without the offsets.
            QCOMPARE(f.edits[0][i]->parentWidget(), f.pages->Pages(0));
            QCOMPARE(f.edits[0][i]->pos(), QPoint(10 + 100 * i, 10 + 5 * i));
            QVERIFY(!f.edits[0][i]->isVisible());
            QCOMPARE(f.edits[1][i]->parentWidget(), f.target);
        }
        QCOMPARE(f.TabOrder(f.edits[1]), QStringList({"edit2_1", "edit2_3", "edit2_2"}));
        f.pages->ShowPage(0);
        QCOMPARE(f.TabOrder(f.edits[0]), QStringList({"edit1_1", "edit1_3", "edit1_2"}));
    }

    void pageControl_samePageOrAnIndexOutsideChangesNothing_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("returnsPage");
        QTest::newRow("the page shown") << 0 << true;
        QTest::newRow("past the last page") << 2 << false;
        QTest::newRow("negative") << -1 << false;
    }
    void pageControl_samePageOrAnIndexOutsideChangesNothing() {
        QFETCH(int, index);
        QFETCH(bool, returnsPage);
        PageForm f;
        f.pages->SetOffsetX(5);
        f.pages->ShowPage(0);
        const QPoint at = f.edits[0][1]->pos();
        QCOMPARE(f.pages->ShowPage(index), returnsPage ? f.pages->Pages(0) : nullptr);
        QCOMPARE(f.pages->ShownPageIndex(), 0);
        QCOMPARE(f.edits[0][1]->parentWidget(), f.target);
        QCOMPARE(f.edits[0][1]->pos(), at);
    }

    void pageControl_offsetChangeMovesTheShownControls() {
        PageForm f;
        f.pages->ShowPage(1);
        f.pages->SetOffsetX(7);
        f.pages->SetOffsetY(-3);
        QCOMPARE(f.edits[1][2]->pos(), QPoint(217, 17));
        f.pages->ShowPage(0);
        QCOMPARE(f.edits[1][2]->pos(), QPoint(210, 20));
    }

    void pageControl_byName_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("shown");
        QTest::addColumn<QString>("message");
        QTest::newRow("exact") << "Sida2" << 1 << testsupport::NoException;
        QTest::newRow("lower case") << "sida2" << 1 << testsupport::NoException;
        QTest::newRow("upper case") << "SIDA1" << 0 << testsupport::NoException;
        QTest::newRow("no such page") << "Sida9" << -1 << "Målpanel \"Sida9\" finns ej";
    }
    void pageControl_byName() {
        QFETCH(QString, name);
        QFETCH(int, shown);
        QFETCH(QString, message);
        PageForm f;
        QCOMPARE(testsupport::ExceptionText([&] { f.pages->ShowPageByName(name); }), message);
        QCOMPARE(f.pages->ShownPageIndex(), shown);
    }

    void pageControl_withoutTargetRaises() {
        TFlatPageControl pages;
        pages.AddPage("Sida1");
        QCOMPARE(testsupport::ExceptionText([&] { pages.ShowPage(0); }), QString("Målpanel ej angiven"));
        QCOMPARE(testsupport::ExceptionText([&] { pages.ShowPageByName("sida1"); }), QString("Målpanel ej angiven"));
        QVERIFY(!pages.isVisible());
    }

    // ---- Picture tiles ----

    void titlePictures_exclusivePerParentAndGroup() {
        QWidget form, other;
        QList<TFRTitlePicture*> group;
        for (int i = 0; i < 3; ++i) {
            group << new TFRTitlePicture(&form);
            group.last()->SetGroupIndex(1);
        }
        auto* otherGroup = new TFRTitlePicture(&form);
        otherGroup->SetGroupIndex(2);
        otherGroup->SetChecked(true);
        auto* otherParent = new TFRTitlePicture(&other);
        otherParent->SetGroupIndex(1);
        otherParent->SetChecked(true);
        const auto states = [&] {
            QList<bool> s;
            for (auto* t : group) s << t->Checked();
            return s << otherGroup->Checked() << otherParent->Checked();
        };

        QTest::mousePress(group[0], Qt::LeftButton);
        QCOMPARE(states(), QList<bool>({true, false, false, true, true}));
        QTest::mousePress(group[2], Qt::LeftButton);
        QCOMPARE(states(), QList<bool>({false, false, true, true, true}));
        QTest::mousePress(group[2], Qt::LeftButton);  // pressing a checked tile keeps it
        QCOMPARE(states(), QList<bool>({false, false, true, true, true}));
        group[1]->SetChecked(true);
        QCOMPARE(states(), QList<bool>({false, true, false, true, true}));
        QTest::mousePress(group[0], Qt::RightButton);
        QCOMPARE(states(), QList<bool>({false, true, false, true, true}));
    }

    void titlePicture_fitsThePictureKeepingItsShape_data() {
        QTest::addColumn<QSize>("picture");
        QTest::newRow("wide") << QSize(400, 100);
        QTest::newRow("tall") << QSize(50, 500);
        QTest::newRow("small") << QSize(20, 20);
    }
    void titlePicture_fitsThePictureKeepingItsShape() {
        QFETCH(QSize, picture);
        TFRTitlePicture tile;
        QCOMPARE(tile.size(), QSize(137, 181));
        QPixmap pm(picture);
        pm.fill(Qt::darkGreen);
        tile.SetPicture(pm);
        tile.SetCaption("Flugsvamp");
        const QRect area = tile.PictureArea();
        const QRect r = tile.PictureRect();
        QVERIFY(area.contains(r));
        const QSize fitted = picture.scaled(area.size(), Qt::KeepAspectRatio);
        QCOMPARE(r.size(), fitted);
        QVERIFY(r.width() == area.width() || r.height() == area.height());
        QVERIFY(qAbs(r.center().x() - area.center().x()) <= 1);
        QVERIFY(qAbs(r.center().y() - area.center().y()) <= 1);
        QVERIFY(area.top() >= tile.EdgeWidth() + tile.PictureMargin());
    }

    // ---- Tool tile ----

    void toolTile_buttonSquare_data() {
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<bool>("inside");
        QTest::newRow("(8,8)") << QPoint(8, 8) << true;
        QTest::newRow("(57,57)") << QPoint(57, 57) << true;
        QTest::newRow("(58,30)") << QPoint(58, 30) << false;
        QTest::newRow("(7,30)") << QPoint(7, 30) << false;
        QTest::newRow("(30,58)") << QPoint(30, 58) << false;
    }
    void toolTile_buttonSquare() {
        QFETCH(QPoint, point);
        QFETCH(bool, inside);
        QWidget form;
        auto* tile = new TFRToolPanel(&form);
        QCOMPARE(tile->size(), QSize(617, 90));
        form.resize(700, 100);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        int clicks = 0;
        tile->OnClick = [&](TFRToolPanel* sender) {
            QCOMPARE(sender, tile);
            ++clicks;
        };
        QCOMPARE(TFRToolPanel::InButton(point), inside);
        QMouseEvent move(QEvent::MouseMove, QPointF(point), tile->mapToGlobal(QPointF(point)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(tile, &move);
        QCOMPARE(tile->Highlighted(), inside);
        QTest::mouseClick(tile, Qt::LeftButton, Qt::NoModifier, point);
        QCOMPARE(clicks, inside ? 1 : 0);
    }

    void toolTile_pressInsideReleaseOutsideIsNoClick() {
        TFRToolPanel tile;
        int clicks = 0;
        tile.OnClick = [&](TFRToolPanel*) { ++clicks; };
        QTest::mousePress(&tile, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
        QTest::mouseRelease(&tile, Qt::LeftButton, Qt::NoModifier, QPoint(100, 20));
        QCOMPARE(clicks, 0);
        QTest::mousePress(&tile, Qt::LeftButton, Qt::NoModifier, QPoint(100, 20));
        QTest::mouseRelease(&tile, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
        QCOMPARE(clicks, 0);
    }

    // ---- Disable panel ----

    void disablePanel_nestedPanelsAndEditColours() {
        QWidget form;
        auto* outer = new TDisablePanel(&form);
        auto* edit = new QLineEdit(outer);
        auto* memo = new TFRMemo(outer);
        auto* button = new QPushButton("Spara", outer);
        auto* inner = new TDisablePanel(outer);
        auto* innerEdit = new TFREdit(inner);
        auto* innerCombo = new QComboBox(inner);
        auto* label = new QLabel("Namn:", inner);
        const QColor window = ResolveColor(clWindow, edit);
        const QColor face = ResolveColor(clBtnFace, edit);
        QVERIFY(window != face);

        outer->SetEnabled(false);
        QVERIFY(outer->isEnabled());
        for (QWidget* w : QList<QWidget*>{edit, memo, button, inner, innerEdit, innerCombo, label})
            QVERIFY2(!w->isEnabled(), qPrintable(w->metaObject()->className()));
        for (QWidget* w : QList<QWidget*>{edit, memo, innerEdit, innerCombo})
            QCOMPARE(w->palette().color(QPalette::Disabled, QPalette::Base), face);
        // The program's edits also return to that colour after having the focus.
        QCOMPARE(innerEdit->Color(), clBtnFace);
        QCOMPARE(memo->Color(), clBtnFace);
        QVERIFY(button->palette().color(QPalette::Button) == form.palette().color(QPalette::Button));

        outer->SetEnabled(true);
        for (QWidget* w : QList<QWidget*>{edit, memo, button, inner, innerEdit, innerCombo, label})
            QVERIFY(w->isEnabled());
        for (QWidget* w : QList<QWidget*>{edit, memo, innerEdit, innerCombo})
            QCOMPARE(w->palette().color(QPalette::Active, QPalette::Base), window);
        QCOMPARE(innerEdit->Color(), clWindow);
    }

    // ---- Memos ----

    void memo_lookAndFocusColour() {
        QWidget form;
        auto* memo = new TFRMemo(&form);
        auto* other = new QLineEdit(&form);
        other->move(0, 100);
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        other->setFocus();
        QCOMPARE(memo->frameShape(), QFrame::NoFrame);
        QCOMPARE(memo->palette().color(QPalette::Base), ColorFromNumber(0xC4FFFF));
        memo->setFocus();
        QCOMPARE(memo->palette().color(QPalette::Base), ResolveColor(clWindow, memo));
        other->setFocus();
        QCOMPARE(memo->palette().color(QPalette::Base), ColorFromNumber(0xC4FFFF));
    }

    void dbMemo_writesItsFieldOnlyWhenChanged() {
        FakeFieldTable table;
        TFRDBMemo memo;
        memo.SetDataField("Notes");
        memo.Link().SetTable(&table);
        table.Open({{"Notes", QString("Rad ett\nRad två")}});
        QCOMPARE(memo.Text(), QString("Rad ett\nRad två"));
        table.BeginEdit();
        table.Post();
        QCOMPARE(table.Writes("Notes"), 0);

        table.BeginEdit();
        memo.moveCursor(QTextCursor::End);
        QTest::keyClicks(&memo, " och tre");
        table.Post();
        QCOMPARE(table.Writes("Notes"), 1);
        QCOMPARE(table.Stored("Notes").toString(), QString("Rad ett\nRad två och tre"));

        // In browse state without AutoEdit typing changes nothing.
        table.AutoEdit = false;
        QTest::keyClicks(&memo, "x");
        QCOMPARE(memo.Text(), QString("Rad ett\nRad två och tre"));
        QVERIFY(!memo.Link().Modified());
        // Another record shows at once.
        table.Scroll({{"Notes", QString("Annan")}});
        QCOMPARE(memo.Text(), QString("Annan"));
    }

    // What is typed or pasted into a memo stops at its field's width, so the saved text is
    // the one on the screen.
    void dbMemo_takesNoMoreThanItsField_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("stored");
        QTest::newRow("typing stops at the width") << "Gran"
                                                   << " och tall, björk och ek"
                                                   << ""
                                                   << "Gran och tall, björk";
        QTest::newRow("a line break counts") << QString(19, 'a') << "\nb"
                                             << "" << QString(19, 'a') + "\n";
        QTest::newRow("a paste is cut to the room") << "Gran"
                                                    << ""
                                                    << " vid bäcken och stigen"
                                                    << "Gran vid bäcken och ";
        QTest::newRow("within the width") << "Gran"
                                          << " och tall"
                                          << ""
                                          << "Gran och tall";
    }
    void dbMemo_takesNoMoreThanItsField() {
        QFETCH(QString, start);
        QFETCH(QString, typed);
        QFETCH(QString, pasted);
        QFETCH(QString, stored);
        TClientDataSet table(nullptr, "cdsNotes");
        table.SetFieldDefs({{"NoteText", TFieldType::ftString, 20}});
        table.CreateDataSet();
        table.Append();
        table.FieldByName("NoteText")->SetAsString(start);
        table.Post();
        TDataSource source(nullptr, "dsNotes");
        source.SetDataSet(&table);
        TFRDBMemo memo;
        memo.SetDataSource(&source);
        memo.SetDataField("NoteText");
        memo.show();
        table.Edit();
        memo.moveCursor(QTextCursor::End);
        for (QChar c : typed) {
            if (c == '\n') {
                QTest::keyClick(&memo, Qt::Key_Return);
                continue;
            }
            // The character as the event's text, which also covers Swedish letters.
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QCoreApplication::sendEvent(&memo, &press);
        }
        if (!pasted.isEmpty()) {
            QApplication::clipboard()->setText(pasted);
            memo.paste();
        }
        QCOMPARE(memo.Text(), stored);
        table.Post();
        QCOMPARE(table.FieldByName("NoteText")->AsString(), stored);
    }

    // ---- Locks ----

    void lock_clickToggles() {
        TFRLock lock;
        QCOMPARE(lock.size(), QSize(26, 16));
        QVERIFY(lock.autoRaise());
        QVERIFY(lock.text().isEmpty());
        QVERIFY(!lock.Locked());
        QCOMPARE(lock.GlyphName(), QString("UNLOCKED"));
        QTest::mouseClick(&lock, Qt::LeftButton);
        QVERIFY(lock.Locked());
        QCOMPARE(lock.GlyphName(), QString("LOCKED"));
        QTest::mouseClick(&lock, Qt::RightButton);
        QVERIFY(lock.Locked());
        lock.setEnabled(false);
        QTest::mouseClick(&lock, Qt::LeftButton);
        QVERIFY(lock.Locked());
        lock.SetLocked(false);
        QCOMPARE(lock.GlyphName(), QString("UNLOCKED"));
    }

    void dbLock_showsAndWritesItsFieldOnlyWhenChanged() {
        FakeFieldTable table;
        TFRDBLock lock;
        lock.SetDataField("AddressLocked");
        QCOMPARE(lock.GlyphName(), QString("UNDEFINED"));
        lock.Link().SetTable(&table);
        QCOMPARE(lock.GlyphName(), QString("UNDEFINED"));
        table.Open({{"AddressLocked", false}});
        QCOMPARE(lock.GlyphName(), QString("UNLOCKED"));
        table.Scroll({{"AddressLocked", true}});
        QCOMPARE(lock.GlyphName(), QString("LOCKED"));

        // In browse state a click does nothing (it does not start an edit).
        QTest::mouseClick(&lock, Qt::LeftButton);
        QCOMPARE(lock.GlyphName(), QString("LOCKED"));
        QVERIFY(!table.Editing());

        table.BeginEdit();
        table.Post();
        QCOMPARE(table.Writes("AddressLocked"), 0);

        table.BeginEdit();
        QTest::mouseClick(&lock, Qt::LeftButton);
        QCOMPARE(lock.GlyphName(), QString("UNLOCKED"));
        QCOMPARE(table.Writes("AddressLocked"), 1);  // put into the record at once
        QCOMPARE(table.Stored("AddressLocked").toBool(), false);
        table.Post();
        QCOMPARE(table.Writes("AddressLocked"), 1);

        table.Close();
        QCOMPARE(lock.GlyphName(), QString("UNDEFINED"));
    }

    // ---- Label and information panel ----

    void label_andInfoPanel_defaults() {
        TFRLabel label("Inmatning:");
        QCOMPARE(label.size(), QSize(132, 14));
        QVERIFY(label.alignment() & Qt::AlignRight);
        QCOMPARE(label.font().family(), ArialFamily());

        TFRInfoPanel panel;
        QCOMPARE(panel.size(), QSize(400, 80));
        QCOMPARE(panel.CornerRadius(), 20);
        QCOMPARE(panel.BackgroundColor(), TColor(0xFFFFFF));
        QCOMPARE(panel.FrameColor(), TColor(0));
        QVERIFY(panel.font().bold());
        QCOMPARE(TFRInfoPanel::IconName(TInfoPanelIcon::icWarning), QString("ICONWARNING"));
        QCOMPARE(TFRInfoPanel::IconName(TInfoPanelIcon::icNoIcon), QString());
    }

    void infoPanel_drawsBoxIconAndLines() {
        QWidget parent;
        QPalette pal = parent.palette();
        pal.setColor(QPalette::Window, QColor(10, 120, 10));
        parent.setPalette(pal);
        parent.setAutoFillBackground(true);
        parent.resize(400, 80);
        auto* panel = new TFRInfoPanel(&parent);
        panel->SetIcon(TInfoPanelIcon::icError);
        panel->SetInfo({"Första raden", "Andra raden"});
        const QImage img = parent.grab().toImage();
        // The corner shows the parent's colour, the middle of the box the background.
        QCOMPARE(img.pixelColor(1, 1), QColor(10, 120, 10));
        QCOMPARE(img.pixelColor(390, 40), QColor(255, 255, 255));
        // The error icon is red at the left.
        const QColor icon = img.pixelColor(12 + 6, 40);
        QVERIFY(icon.red() > 150 && icon.green() < 100);
        // Some text beside it.
        bool text = false;
        for (int x = 60; x < 200 && !text; ++x)
            for (int y = 20; y < 60 && !text; ++y) text = img.pixelColor(x, y).lightness() < 80;
        QVERIFY(text);
    }
};

QTEST_MAIN(TestSmallControls)
#include "tst_smallcontrols.moc"
