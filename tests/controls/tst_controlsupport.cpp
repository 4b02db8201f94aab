#include <QtTest>

#include <QApplication>
#include <QLineEdit>
#include <QVBoxLayout>
#include <cmath>
#include <limits>

#include "FakeFieldTable.h"
#include "controls/FREdits.h"
#include "controls/FRFieldLink.h"
#include "controls/FRFocus.h"
#include "controls/FRGraphics.h"
#include "controls/FRGuard.h"
#include "controls/FRToolPanel.h"
#include "platform/ClientDataSet.h"
#include "platform/UIServices.h"
#include "support/TestSupport.h"

using UIServices::TMsgIcon;
using UIServices::TMsgResult;

namespace {

// A control stand-in: it shows the field as text and writes what it holds when asked.
struct ProbeControl {
    TFieldLink link;
    QString shown;
    QString holding;
    int reads = 0;
    ProbeControl() {
        link.OnDataChange = [this] {
            ++reads;
            shown = link.AsString();
            holding = shown;
        };
        link.OnUpdateData = [this] { link.SetAsString(holding); };
    }
    // A user's change: accepted only when the table goes into edit state.
    bool Type(const QString& text) {
        if (!link.Edit()) return false;
        holding = text;
        link.SetModified();
        return true;
    }
};

QHash<QString, QVariant> Record(const QString& name, const QString& place = QStringLiteral("Skogen")) {
    return {{QStringLiteral("Name"), name}, {QStringLiteral("Place"), place}};
}

}  // namespace

class TestControlSupport : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        UIServices::SetMessageHook([](const UIServices::TShownMessage&) { return TMsgResult::OK; });
        UIServices::ClearMessageLog();
    }
    void cleanup() { UIServices::SetMessageHook({}); }

    void colorNumbers_data() {
        QTest::addColumn<qint64>("number");
        QTest::addColumn<QColor>("color");
        QTest::newRow("pale yellow $80FFFF") << qint64(0x80FFFF) << QColor(255, 255, 128);
        QTest::newRow("$82C0FF") << qint64(0x82C0FF) << QColor(255, 192, 130);
        QTest::newRow("blue 16711680") << qint64(16711680) << QColor(0, 0, 255);
        QTest::newRow("red 255") << qint64(255) << QColor(255, 0, 0);
        QTest::newRow("orange $0080FF") << qint64(0x0080FF) << QColor(255, 128, 0);
    }
    void colorNumbers() {
        QFETCH(qint64, number);
        QFETCH(QColor, color);
        QCOMPARE(ColorFromNumber(number), color);
        QCOMPARE(ColorToNumber(color), number);
    }

    void colorNumbers_onlyLow24BitsCount() { QCOMPARE(ColorFromNumber(0x7F0000FFLL), QColor(255, 0, 0)); }

    void systemColors_followThePalette_data() {
        QTest::addColumn<qint64>("color");
        QTest::addColumn<int>("role");
        QTest::newRow("clWindow") << clWindow << int(QPalette::Base);
        QTest::newRow("clWindowText") << clWindowText << int(QPalette::Text);
        QTest::newRow("clBtnFace") << clBtnFace << int(QPalette::Button);
        QTest::newRow("clHighlight") << clHighlight << int(QPalette::Highlight);
        QTest::newRow("clHighlightText") << clHighlightText << int(QPalette::HighlightedText);
    }
    void systemColors_followThePalette() {
        QFETCH(qint64, color);
        QFETCH(int, role);
        QVERIFY(IsSystemColor(color));
        QCOMPARE(int(SystemColorRole(color)), role);
        // A control's own colour does not change what the system colour is.
        QLineEdit edit;
        SetControlColor(&edit, 0x80FFFF);
        QCOMPARE(ResolveColor(color, &edit),
                 QApplication::palette(&edit).color(QPalette::Active, QPalette::ColorRole(role)));
        QVERIFY(!IsSystemColor(0xFFFFFF));
    }

    void round_tiesGoToEven_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("rounded");
        QTest::newRow("0.5") << 0.5 << 0;
        QTest::newRow("1.5") << 1.5 << 2;
        QTest::newRow("2.5") << 2.5 << 2;
        QTest::newRow("3.5") << 3.5 << 4;
        QTest::newRow("-0.5") << -0.5 << 0;
        QTest::newRow("-1.5") << -1.5 << -2;
        QTest::newRow("-2.5") << -2.5 << -2;
        QTest::newRow("2.49") << 2.49 << 2;
        QTest::newRow("2.51") << 2.51 << 3;
        QTest::newRow("no tie below zero") << -2.6 << -3;
    }
    void round_tiesGoToEven() {
        QFETCH(double, value);
        QFETCH(int, rounded);
        QCOMPARE(Round(value), rounded);
    }

    void round_outsideTheIntegerRangeRaises_data() {
        QTest::addColumn<double>("value");
        QTest::newRow("too large") << 3.0e9;
        QTest::newRow("too small") << -3.0e9;
        QTest::newRow("infinite") << std::numeric_limits<double>::infinity();
        QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN();
    }
    void round_outsideTheIntegerRangeRaises() {
        QFETCH(double, value);
        QCOMPARE(testsupport::ExceptionText([&] { Round(value); }), QStringLiteral("Ogiltigt flyttal vid avrundning"));
    }

    void fieldLink_readsOnOpenScrollOwnFieldAndClose() {
        FakeFieldTable table;
        ProbeControl c;
        c.link.SetFieldName("Name");
        c.link.SetTable(&table);
        QVERIFY(!c.link.Active());
        table.Open(Record("Kantarell"));
        QVERIFY(c.link.Active());
        QCOMPARE(c.shown, QString("Kantarell"));
        table.Scroll(Record("Karljohan"));
        QCOMPARE(c.shown, QString("Karljohan"));
        const int reads = c.reads;
        table.Store("Place", "Hagen");  // another field: no read
        QCOMPARE(c.reads, reads);
        table.Store("Name", "Trattkantarell");
        QCOMPARE(c.shown, QString("Trattkantarell"));
        table.Close();
        QVERIFY(!c.link.Active());
        QCOMPARE(c.shown, QString());
    }

    void fieldLink_rereadsOnEnteringEdit() {
        FakeFieldTable table;
        ProbeControl c;
        c.link.SetFieldName("Name");
        c.link.SetTable(&table);
        table.Open(Record("Kantarell"));
        table.StoreQuietly("Name", "Stolt fjällskivling");
        table.BeginEdit();
        QCOMPARE(c.shown, QString("Stolt fjällskivling"));
    }

    void fieldLink_writesOnlyWhenModified() {
        FakeFieldTable table;
        ProbeControl c;
        c.link.SetFieldName("Name");
        c.link.SetTable(&table);
        table.Open(Record("Kantarell"));
        table.BeginEdit();
        table.Post();
        QCOMPARE(table.Writes("Name"), 0);

        QVERIFY(c.Type("Blodriska"));
        QVERIFY(c.link.Modified());
        table.Post();
        QCOMPARE(table.Writes("Name"), 1);
        QCOMPARE(table.Stored("Name").toString(), QString("Blodriska"));
        QVERIFY(!c.link.Modified());
        // Written once: a second post asks again and gets nothing.
        table.BeginEdit();
        table.Post();
        QCOMPARE(table.Writes("Name"), 1);
    }

    void fieldLink_readForgetsAnUnwrittenChange() {
        FakeFieldTable table;
        ProbeControl c;
        c.link.SetFieldName("Name");
        c.link.SetTable(&table);
        table.Open(Record("Kantarell"));
        QVERIFY(c.Type("Blodriska"));
        table.Cancel();
        QVERIFY(!c.link.Modified());
        QCOMPARE(c.shown, QString("Kantarell"));
        QCOMPARE(table.Writes("Name"), 0);
    }

    void fieldLink_editNeedsAutoEditOrEditState_data() {
        QTest::addColumn<bool>("autoEdit");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("auto edit") << true << false << true;
        QTest::newRow("no auto edit") << false << false << false;
        QTest::newRow("read-only table") << true << true << false;
    }
    void fieldLink_editNeedsAutoEditOrEditState() {
        QFETCH(bool, autoEdit);
        QFETCH(bool, readOnly);
        QFETCH(bool, accepted);
        FakeFieldTable table;
        table.AutoEdit = autoEdit;
        table.ReadOnly = readOnly;
        ProbeControl c;
        c.link.SetFieldName("Name");
        c.link.SetTable(&table);
        table.Open(Record("Kantarell"));
        QCOMPARE(c.Type("Blodriska"), accepted);
        QCOMPARE(table.Editing(), accepted);
        QCOMPARE(c.link.Modified(), accepted);
    }

    void fieldLink_onTheProgramsTable() {
        TClientDataSet table(nullptr, "cdsTest");
        table.SetFieldDefs({{"Name", TFieldType::ftString, 40}, {"Locked", TFieldType::ftBoolean, 0}});
        table.CreateDataSet();
        for (const char* name : {"Kantarell", "Karljohan"}) {
            table.Append();
            table.FieldByName("Name")->SetAsString(name);
            table.Post();
        }
        table.First();
        auto* source = new TDataSource(nullptr, "dsTest");
        source->SetDataSet(&table);
        ProbeControl c;
        c.link.SetFieldName("name");  // field names without regard to case
        c.link.SetDataSource(source);
        QCOMPARE(c.link.SourceName(), QString("dsTest"));
        QCOMPARE(c.shown, QString("Kantarell"));
        QCOMPARE(c.link.Size(), 40);
        table.Next();
        QCOMPARE(c.shown, QString("Karljohan"));

        // Typing puts the table into edit state (AutoEdit); posting writes the change.
        QVERIFY(c.Type("Sommarsopp"));
        QCOMPARE(table.State(), TDataSetState::dsEdit);
        table.Post();
        QCOMPARE(table.FieldByName("Name")->AsString(), QString("Sommarsopp"));

        // Without AutoEdit a change is refused in browse state.
        source->SetAutoEdit(false);
        QVERIFY(!c.Type("Vårmusseron"));
        QCOMPARE(table.State(), TDataSetState::dsBrowse);

        // The data source going first leaves the control unbound, not dangling.
        delete source;
        QVERIFY(!c.link.Active());
        QVERIFY(c.link.DataSource() == nullptr);
        QCOMPARE(c.shown, QString());
    }

    void subtreeFocus_entersAndLeavesOnlyAcrossItsBorder() {
        QWidget window;
        auto* container = new QWidget(&window);
        auto* first = new QLineEdit(container);
        auto* second = new QLineEdit(container);
        auto* outside = new QLineEdit(&window);
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(container);
        layout->addWidget(outside);
        new QVBoxLayout(container);
        container->layout()->addWidget(first);
        container->layout()->addWidget(second);
        outside->setFocus();
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        outside->setFocus();

        TSubtreeFocus focus(container);
        QStringList events;
        focus.OnEnter = [&] { events << "in"; };
        focus.OnLeave = [&] { events << "out"; };
        first->setFocus();
        second->setFocus();  // within the subtree: nothing
        QVERIFY(focus.HasFocus());

        // A dialog taking the focus and giving it back is no leaving.
        {
            QWidget dialog;
            auto* dialogEdit = new QLineEdit(&dialog);
            dialog.show();
            dialog.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            dialogEdit->setFocus();
            QCOMPARE(QApplication::focusWidget(), dialogEdit);
        }
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        second->setFocus();
        QCOMPARE(events, QStringList({"in"}));

        outside->setFocus();
        QVERIFY(!focus.HasFocus());
        QCOMPARE(events, QStringList({"in", "out"}));
    }

    void exceptionInAnEventHandler_showsTheErrorBoxAndGoesOn() {
        QWidget window;
        window.resize(700, 200);
        auto* tile = new TFRToolPanel(&window);
        auto* edit = new TFREdit(&window);
        edit->move(0, 100);
        edit->SetItems({"Abc"});
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        int clicks = 0;
        tile->OnClick = [&](TFRToolPanel*) {
            ++clicks;
            if (clicks == 1) throw Exception("Verktyget kunde inte startas");
        };
        QTest::mouseClick(tile, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
        edit->OnDropDownQuery = [](TFREdit*, bool, bool&) { throw Exception("Listan kunde inte fyllas"); };
        QTest::keyClick(edit, Qt::Key_Down);

        const auto& log = UIServices::MessageLog();
        QCOMPARE(log.size(), 2);
        QCOMPARE(log.at(0).Icon, TMsgIcon::Error);
        QCOMPARE(log.at(0).Text, QString("Verktyget kunde inte startas"));
        QCOMPARE(log.at(0).Caption, UIServices::DefaultCaption());
        QCOMPARE(log.at(1).Text, QString("Listan kunde inte fyllas"));

        // The program goes on: the next click and the next key work.
        QTest::mouseClick(tile, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
        QCOMPARE(clicks, 2);
        edit->OnDropDownQuery = [](TFREdit*, bool, bool& allow) { allow = true; };
        QTest::keyClick(edit, Qt::Key_Down);
        QVERIFY(edit->DroppedDown());
        QCOMPARE(log.size(), 2);
    }

    // A control raising again while its box is up (a paint behind the box) adds no box.
    void exceptionWhileTheBoxIsUp_showsNoSecondBox() {
        int nested = 0;
        UIServices::SetMessageHook([&](const UIServices::TShownMessage&) {
            ++nested;
            Guarded([] { throw Exception("Ritningen misslyckades igen"); });
            return TMsgResult::OK;
        });
        QTest::ignoreMessage(QtWarningMsg, "Ritningen misslyckades igen");
        QVERIFY(!Guarded([] { throw Exception("Ritningen misslyckades"); }));
        QCOMPARE(nested, 1);
        QCOMPARE(UIServices::MessageLog().size(), 1);
        QCOMPARE(UIServices::MessageLog().at(0).Text, QString("Ritningen misslyckades"));
        // Once the box is gone the next one shows.
        UIServices::SetMessageHook([](const UIServices::TShownMessage&) { return TMsgResult::OK; });
        QVERIFY(!Guarded([] { throw Exception("Nästa fel"); }));
        QCOMPARE(UIServices::MessageLog().size(), 2);
        QCOMPARE(UIServices::MessageLog().at(1).Text, QString("Nästa fel"));
    }
};

QTEST_MAIN(TestControlSupport)
#include "tst_controlsupport.moc"
