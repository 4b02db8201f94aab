#include <QtTest>

#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QToolButton>

#include "controls/FREdits.h"
#include "controls/FRSearchPanel.h"
#include "platform/UIServices.h"

namespace {

const QStringList kNames = {"Kantarell", "Trattkantarell", "Karljohan", "Röd flugsvamp"};

// What the hit form showed when it came up.
struct Shown {
    bool Shown = false;
    QString Caption;
    QStringList Rows;
    int CurrentRow = -2;
    int VisibleRows = 0;
    QPoint TopLeft;
    QRect Geometry;
    int Bottoms = -1;  // the form's height below its list
};

QStringList ListRows(const QListWidget* list) {
    QStringList rows;
    for (int i = 0; i < list->count(); ++i) rows << list->item(i)->text();
    return rows;
}

// A window with a search panel over the names (keys "K1" to "K4"), which records the keys
// it reports and answers the hit form with a given action.
struct Form {
    QWidget window;
    TFRSearchPanel* panel;
    QStringList reported;
    Shown shown;
    std::function<void(TFRSearchPanelHitForm*)> answer;

    explicit Form(const QStringList& names = kNames) {
        window.resize(400, 300);
        panel = new TFRSearchPanel(&window);
        panel->setGeometry(20, 30, 185, 22);
        for (int i = 0; i < names.size(); ++i) panel->SearchList.AddUKey(names.at(i), QString("K%1").arg(i + 1));
        panel->OnSearchPerformed = [this](TFRSearchPanel* sender, const QString& key) {
            QCOMPARE(sender, panel);
            reported << key;
        };
        UIServices::SetDialogHook([this](QDialog* dialog) {
            auto* form = qobject_cast<TFRSearchPanelHitForm*>(dialog);
            QVERIFY(form);
            shown.Shown = true;
            shown.Caption = form->labelCaption->text();
            shown.Rows = ListRows(form->listboxMain);
            shown.CurrentRow = form->listboxMain->currentRow();
            const int rowHeight = form->listboxMain->sizeHintForRow(0);
            shown.VisibleRows = form->listboxMain->viewport()->height() / rowHeight;
            shown.TopLeft = form->pos();
            shown.Bottoms = form->height() - form->listboxMain->geometry().bottom() - 1;
            shown.Geometry = form->frameGeometry();
            if (answer) answer(form);
        });
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }
    ~Form() { UIServices::SetDialogHook({}); }
    void Search(const QString& text) {
        panel->Edit->setText(text);
        QTest::mouseClick(panel->Button, Qt::LeftButton);
    }
};

// Answers of the hit form.
std::function<void(TFRSearchPanelHitForm*)> TakeRow(int row) {
    return [row](TFRSearchPanelHitForm* form) {
        form->listboxMain->setCurrentRow(row);
        form->accept();
    };
}
std::function<void(TFRSearchPanelHitForm*)> Cancel() {
    return [](TFRSearchPanelHitForm* form) { QTest::keyClick(form->listboxMain, Qt::Key_Escape); };
}

}  // namespace

class TestSearchPanel : public QObject {
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

    void search_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("answerRow");  // the row the hit form is answered with, -1 cancels
        QTest::addColumn<QStringList>("offered");  // the hit form's rows, none when not shown
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("presented");
        QTest::newRow("beginning, one hit taken at once") << "kan" << 0 << QStringList() << "K1"
                                                          << "Kantarell";
        QTest::newRow("ending in another case, two hits")
            << "*KANTARELL" << 1 << QStringList({"Kantarell", "Trattkantarell"}) << "K2"
            << "Trattkantarell";
        QTest::newRow("empty text finds every name") << "" << 3 << kNames << "K4"
                                                     << "Röd flugsvamp";
        QTest::newRow("a star alone finds every name, cancelled") << "*" << -1 << kNames << ""
                                                                  << "";
        QTest::newRow("ending of one name") << "*SVAMP" << 0 << QStringList() << "K4"
                                            << "Röd flugsvamp";
        QTest::newRow("ö folds to Ö") << "RÖD" << 0 << QStringList() << "K4"
                                      << "Röd flugsvamp";
        QTest::newRow("longer than every name") << "Kantarellen" << 0 << QStringList() << ""
                                                << "";
        QTest::newRow("nothing begins so") << "flug" << 0 << QStringList() << ""
                                           << "";
        QTest::newRow("two beginning with Ka") << "KA" << 0 << QStringList({"Kantarell", "Karljohan"}) << "K1"
                                               << "Kantarell";
    }
    void search() {
        QFETCH(QString, text);
        QFETCH(int, answerRow);
        QFETCH(QStringList, offered);
        QFETCH(QString, key);
        QFETCH(QString, presented);
        for (const bool present : {true, false}) {
            Form f;
            f.panel->PresentSelection = present;
            f.answer = answerRow < 0 ? Cancel() : TakeRow(answerRow);
            f.Search(text);
            QCOMPARE(f.shown.Shown, !offered.isEmpty());
            QCOMPARE(f.shown.Rows, offered);
            QCOMPARE(f.reported, key.isEmpty() ? QStringList() : QStringList({key}));
            QCOMPARE(f.panel->Edit->text(), present ? presented : QString());
            if (present) QCOMPARE(f.panel->Edit->selectedText(), presented);
        }
    }

    void hitForm_captionRowsAndPlace_data() {
        QTest::addColumn<int>("hits");
        QTest::addColumn<int>("visibleRows");
        QTest::newRow("two hits, two rows") << 2 << 2;
        QTest::newRow("five hits, five rows") << 5 << 5;
        QTest::newRow("ten hits, five rows that scroll") << 10 << 5;
    }
    void hitForm_captionRowsAndPlace() {
        QFETCH(int, hits);
        QFETCH(int, visibleRows);
        QStringList names;
        for (int i = 0; i < hits; ++i) names << QString("Flugsvamp %1").arg(i + 1);
        Form f(names);
        bool scrolls = false;
        f.answer = [&](TFRSearchPanelHitForm* form) {
            scrolls = form->listboxMain->verticalScrollBar()->maximum() > 0;
            form->reject();
        };
        f.Search("flug");
        QVERIFY(f.shown.Shown);
        QCOMPARE(f.shown.Caption, QString("   %1 träffar").arg(hits));
        QCOMPARE(f.shown.CurrentRow, 0);
        QCOMPARE(f.shown.VisibleRows, visibleRows);
        QCOMPARE(scrolls, hits > visibleRows);
        QCOMPARE(f.shown.TopLeft, f.panel->mapToGlobal(QPoint(0, f.panel->height())) - QPoint(2, 2));
        QCOMPARE(f.shown.Geometry.width(), f.panel->width());
        QVERIFY(f.shown.Bottoms >= 0 && f.shown.Bottoms <= 2);  // no room below the rows
        QCOMPARE(f.reported, QStringList());
    }

    void hitForm_keptOnScreen() {
        Form f;
        const QRect room = f.window.screen()->availableGeometry();
        // The window's lower right corner at the screen's: the form would fall off below.
        f.window.move(room.right() - f.window.frameGeometry().width(),
                      room.bottom() - f.window.frameGeometry().height());
        f.panel->move(f.window.width() - f.panel->width(), f.window.height() - f.panel->height());
        f.answer = Cancel();
        f.Search("");
        QVERIFY(f.shown.Shown);
        QVERIFY2(room.contains(f.shown.Geometry),
                 qPrintable(QString("%1,%2 %3x%4")
                                .arg(f.shown.Geometry.x())
                                .arg(f.shown.Geometry.y())
                                .arg(f.shown.Geometry.width())
                                .arg(f.shown.Geometry.height())));
    }

    void hitForm_enterTakesTheCurrentRow() {
        Form f;
        f.answer = [](TFRSearchPanelHitForm* form) {
            QTest::keyClick(form->listboxMain, Qt::Key_Down);
            QTest::keyClick(form->listboxMain, Qt::Key_Down);
            QTest::keyClick(form->listboxMain, Qt::Key_Return);
        };
        f.Search("");
        QCOMPARE(f.reported, QStringList({"K3"}));
    }

    void hitForm_onlyAPressOnARowCloses() {
        QStringList names;
        for (int i = 0; i < 10; ++i) names << QString("Flugsvamp %1").arg(i + 1);
        Form f(names);
        bool openAfterScrollBar = false, openAfterEmptyPlace = true;
        int scrolled = 0;
        f.answer = [&](TFRSearchPanelHitForm* form) {
            QListWidget* list = form->listboxMain;
            QScrollBar* bar = list->verticalScrollBar();
            QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, bar->height() - 3));
            scrolled = bar->value();
            openAfterScrollBar = form->isVisible() && form->result() != QDialog::Accepted;
            const QRect row = list->visualRect(list->model()->index(bar->value() + 1, 0));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
        };
        f.Search("flug");
        QVERIFY(openAfterScrollBar);
        QVERIFY(scrolled > 0);
        QCOMPARE(f.reported, QStringList({QString("K%1").arg(scrolled + 2)}));

        // Two hits leave room below the rows: a press there takes nothing.
        Form g({"Kantarell", "Trattkantarell"});
        g.panel->SearchList.AddUKey("Kantarell gul", "K3");
        g.answer = [&](TFRSearchPanelHitForm* form) {
            QListWidget* list = form->listboxMain;
            list->setFixedHeight(list->height() + 40);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(5, list->viewport()->height() - 2));
            openAfterEmptyPlace = form->isVisible() && form->result() != QDialog::Accepted;
        };
        g.Search("*l");
        QVERIFY(openAfterEmptyPlace);
        QCOMPARE(g.reported, QStringList());
    }

    void enterInTheEditSearchesAndStaysInThePanel() {
        QDialog dialog;
        auto* panel = new TFRSearchPanel(&dialog);
        panel->setGeometry(10, 10, 185, 22);
        panel->SearchList.AddUKey("Karljohan", "K1");
        auto* ok = new QPushButton("OK", &dialog);
        ok->setGeometry(10, 50, 80, 24);
        ok->setDefault(true);
        QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
        QString reported;
        panel->OnSearchPerformed = [&](TFRSearchPanel*, const QString& key) { reported = key; };
        dialog.show();
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        panel->Edit->setFocus();
        QTest::keyClicks(panel->Edit, "karl");
        QTest::keyClick(panel->Edit, Qt::Key_Return);
        QCOMPARE(reported, QString("K1"));
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }

    void layout_buttonAtTheRightEdgeEditFillsTheRest_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("designed size") << QSize(185, 22);
        QTest::newRow("wider and higher") << QSize(300, 26);
    }
    void layout_buttonAtTheRightEdgeEditFillsTheRest() {
        QFETCH(QSize, size);
        TFRSearchPanel panel;
        panel.resize(size);
        panel.show();
        const QRect button = panel.Button->geometry();
        QCOMPARE(button.right(), size.width() - 2);  // one pixel in from the right edge
        QCOMPARE(panel.Edit->x(), 0);
        QCOMPARE(panel.Edit->width(), size.width() - button.width() - 2);
        QVERIFY(!panel.Edit->geometry().intersects(button));
        QVERIFY(!panel.Button->icon().isNull());
    }

    void onChange_followsTheEditsText() {
        TFRSearchPanel panel;
        QStringList texts;
        panel.OnChange = [&](TFRSearchPanel* sender) { texts << sender->Edit->text(); };
        panel.Edit->setText("Karl");
        panel.Edit->clear();
        QCOMPARE(texts, QStringList({"Karl", ""}));
    }

    void ownerRefillingTheListKeepsTheChosenName() {
        Form f;
        f.panel->PresentSelection = true;
        f.panel->OnSearchPerformed = [&](TFRSearchPanel* sender, const QString& key) {
            f.reported << key;
            sender->SearchList.Clear();
        };
        f.Search("karl");
        QCOMPARE(f.reported, QStringList({"K3"}));
        QCOMPARE(f.panel->Edit->text(), QString("Karljohan"));
    }
};

QTEST_MAIN(TestSearchPanel)
#include "tst_searchpanel.moc"
