// The key's question panel: its answer as text and back, its heights collapsed and open,
// the answered rule and the inactive state, the change events, and focus moving inside it.
#include <QtTest>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "controls/FREdits.h"
#include "controls/FRKeyPanel.h"
#include "controls/FRMultiChoice.h"

class TestKeyPanel : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void values_data();
    void values();
    void heights_data();
    void heights();
    void inactivePanelIsEmptyUntilReactivated();
    void changeEvents();
    void focusInsideKeepsItOpen();
    void headerNeverOpens();
    void stateColours();
};

namespace {

struct Host {
    QWidget window;
    QLineEdit outside;
    TFRKeyPanel* panel;
    Host() : panel(new TFRKeyPanel) {
        auto* l = new QVBoxLayout(&window);
        l->addWidget(&outside);
        l->addWidget(panel);
        l->addStretch(1);
        window.resize(400, 400);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.activateWindow();
        outside.setFocus();
    }
};

TFRKeyPanel* Make(TFRKeyPanel* panel, TKeyPanelKind kind, const QStringList& options = {}) {
    panel->SetOptions(options);
    panel->SetMaxSelected(0);
    panel->SetKind(kind);
    return panel;
}

}  // namespace

void TestKeyPanel::values_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("given");
    QTest::addColumn<bool>("answered");
    QTest::newRow("second of four") << int(TKeyPanelKind::pkOptions) << "0100"
                                    << "0100" << true;
    QTest::newRow("any non-zero character chooses") << int(TKeyPanelKind::pkOptions) << "x0x0"
                                                    << "1010" << true;
    QTest::newRow("no option") << int(TKeyPanelKind::pkOptions) << "0000"
                               << "0000" << false;
    QTest::newRow("colour") << int(TKeyPanelKind::pkColor) << "16711680"
                            << "16711680" << true;
    QTest::newRow("black is a colour") << int(TKeyPanelKind::pkColor) << "0"
                                       << "0" << true;
    QTest::newRow("no colour") << int(TKeyPanelKind::pkColor) << "-1"
                               << "-1" << false;
    QTest::newRow("text with the separator pair") << int(TKeyPanelKind::pkEdit) << "12|\u00ff8"
                                                  << "12|\u00ff8" << true;
    QTest::newRow("empty text") << int(TKeyPanelKind::pkEdit) << ""
                                << "" << false;
    QTest::newRow("header") << int(TKeyPanelKind::pkHeader) << "anything"
                            << "*" << false;
}

void TestKeyPanel::values() {
    QFETCH(int, kind);
    QFETCH(QString, value);
    QFETCH(QString, given);
    QFETCH(bool, answered);
    TFRKeyPanel panel;
    Make(&panel, TKeyPanelKind(kind), {"A", "B", "C", "D"});
    panel.SetValue(value);
    QCOMPARE(panel.GetValue(), given);
    QCOMPARE(panel.IsAnswered(), answered);
    QCOMPARE(panel.IsEmpty(), !answered);
    TFRKeyPanel copy;
    Make(&copy, TKeyPanelKind(kind), {"A", "B", "C", "D"});
    copy.SetValue(panel.GetValue());
    QCOMPARE(copy.GetValue(), given);
}

void TestKeyPanel::heights_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("options");
    QTest::addColumn<int>("expanded");
    QTest::newRow("colour") << int(TKeyPanelKind::pkColor) << 0 << 161;
    QTest::newRow("edit") << int(TKeyPanelKind::pkEdit) << 0 << 56;
    QTest::newRow("two options") << int(TKeyPanelKind::pkOptions) << 2 << 15 * 2 + 41;
    QTest::newRow("eighteen options") << int(TKeyPanelKind::pkOptions) << 18 << 15 * 18 + 41;
}

void TestKeyPanel::heights() {
    QFETCH(int, kind);
    QFETCH(int, options);
    QFETCH(int, expanded);
    Host h;
    QStringList items;
    for (int i = 0; i < options; ++i) items << QString::number(i + 1);
    Make(h.panel, TKeyPanelKind(kind), items);
    QCOMPARE(h.panel->height(), 23);
    h.panel->AnswerControl() == h.panel->ColorButton() ? h.panel->ColorSwatch()->setFocus()
                                                       : h.panel->AnswerControl()->setFocus();
    QTRY_VERIFY(h.panel->Expanded());
    QCOMPARE(h.panel->height(), expanded);
    QCOMPARE(h.panel->QuestionLabel()->y(), 8);
    QVERIFY(h.panel->ClearButton()->isVisible());
    QCOMPARE(h.panel->ColorButton()->isVisible(), kind == int(TKeyPanelKind::pkColor));
    if (kind == int(TKeyPanelKind::pkColor)) QCOMPARE(h.panel->ColorButton()->y(), expanded - 25);
    h.outside.setFocus();
    QTRY_VERIFY(!h.panel->Expanded());
    QCOMPARE(h.panel->height(), 23);
    QCOMPARE(h.panel->QuestionLabel()->y(), 4);
    QVERIFY(!h.panel->ClearButton()->isVisible());
}

void TestKeyPanel::inactivePanelIsEmptyUntilReactivated() {
    for (auto [kind, value] :
         {std::pair{TKeyPanelKind::pkOptions, QString("01")}, std::pair{TKeyPanelKind::pkColor, QString("255")},
          std::pair{TKeyPanelKind::pkEdit, QString("40")}}) {
        Host h;
        Make(h.panel, kind, {"Ja", "Nej"});
        h.panel->SetValue(value);
        QVERIFY(!h.panel->IsEmpty());
        h.panel->SetActive(false);
        QVERIFY(h.panel->IsEmpty());
        QCOMPARE(h.panel->GetValue(), value);  // the answer stays
        QCOMPARE(h.panel->Color(), clBtnFace);
        QVERIFY(!h.panel->Choice()->isVisible() && !h.panel->InputEdit()->isVisible());
        // An inactive panel does not open when it gets the focus.
        h.panel->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(h.panel));
        QVERIFY(!h.panel->Expanded());
        QCOMPARE(h.panel->height(), 23);
        h.panel->SetActive(true);
        QVERIFY(!h.panel->IsEmpty());
        QCOMPARE(h.panel->Color(), TFRKeyPanel::AnsweredColor);
    }
}

void TestKeyPanel::changeEvents() {
    Host h;
    Make(h.panel, TKeyPanelKind::pkColor);
    int changes = 0;
    h.panel->OnChange = [&](TFRKeyPanel*) { ++changes; };
    h.panel->Clear();  // no colour: nothing changes
    QCOMPARE(changes, 0);
    h.panel->SetValue("65280");  // setting a value fires nothing
    QCOMPARE(changes, 0);
    h.panel->Clear();
    QCOMPARE(changes, 1);
    QCOMPARE(h.panel->GetValue(), QString("-1"));
    // The colour button asks its handler, takes the colour and reports a change.
    h.panel->ColorSwatch()->setFocus();
    QTRY_VERIFY(h.panel->ColorButton()->isVisible());
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(h.panel->ColorButton()));
    TColor offered = 0;
    h.panel->OnChooseColor = [&](TFRKeyPanel*, TColor& c) {
        offered = c;
        c = 0x123456;
    };
    h.panel->ColorButton()->click();
    QCOMPARE(offered, TColor(-1));
    QCOMPARE(h.panel->GetValue(), QString::number(0x123456));
    QCOMPARE(changes, 2);
    QVERIFY(h.panel->ClearButton()->isEnabled());
    h.panel->ClearButton()->click();
    QCOMPARE(changes, 3);
    QVERIFY(!h.panel->ClearButton()->isEnabled());
    QVERIFY_THROWS_EXCEPTION(std::exception, h.panel->SetValue("röd"));
}

void TestKeyPanel::focusInsideKeepsItOpen() {
    Host h;
    Make(h.panel, TKeyPanelKind::pkOptions, {"Ja", "Nej"});
    int changes = 0;
    h.panel->OnChange = [&](TFRKeyPanel*) { ++changes; };
    // A click on the question opens the panel and hands the focus to the choice.
    QTest::mouseClick(h.panel->QuestionLabel(), Qt::LeftButton);
    QTRY_VERIFY(h.panel->Expanded());
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(h.panel->Choice()));
    h.panel->SetOptionSelected(1, true);
    QCOMPARE(changes, 1);
    // Focus moving between the panel's own controls keeps it open.
    h.panel->setFocus();
    QTRY_VERIFY(h.panel->Choice()->hasFocus() || h.panel->hasFocus());
    QVERIFY(h.panel->Expanded());
    h.panel->ClearButton()->click();
    QVERIFY(h.panel->Expanded());
    QCOMPARE(h.panel->GetValue(), QString("00"));
    QCOMPARE(h.panel->Choice()->ItemIndex(), 0);
    QCOMPARE(changes, 2);
    h.outside.setFocus();
    QTRY_VERIFY(!h.panel->Expanded());
}

void TestKeyPanel::headerNeverOpens() {
    Host h;
    Make(h.panel, TKeyPanelKind::pkHeader);
    h.panel->SetColor(0x008000);
    QTest::mouseClick(h.panel->QuestionLabel(), Qt::LeftButton);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(h.panel));
    QVERIFY(!h.panel->Expanded());
    QCOMPARE(h.panel->height(), 23);
    QVERIFY(!h.panel->ClearButton()->isVisible());
    QCOMPARE(h.panel->GetValue(), QString("*"));
    QVERIFY(h.panel->IsEmpty());
    QCOMPARE(h.panel->Color(), TColor(0x008000));  // a heading keeps its colour
}

void TestKeyPanel::stateColours() {
    TFRKeyPanel panel;
    Make(&panel, TKeyPanelKind::pkEdit);
    QCOMPARE(panel.Color(), TFRKeyPanel::UnansweredColor);
    panel.SetInputText("5");
    QCOMPARE(panel.Color(), TFRKeyPanel::AnsweredColor);
    QCOMPARE(panel.ColorSwatch()->palette().color(QPalette::Window), ColorFromNumber(TFRKeyPanel::AnsweredColor));
    panel.SetActive(false);
    QCOMPARE(panel.QuestionLabel()->palette().color(QPalette::WindowText), ResolveColor(clGrayText, &panel));
}

QTEST_MAIN(TestKeyPanel)
#include "tst_keypanel.moc"
