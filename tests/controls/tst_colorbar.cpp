#include <QtTest>

#include <QHBoxLayout>
#include <QLineEdit>

#include "FakeFieldTable.h"
#include "controls/FRColorbar.h"
#include "core/unitDM.h"
#include "platform/ClientDataSet.h"
#include "platform/UIServices.h"
#include "support/TestSupport.h"

namespace {

const QString kFaultyFake = "Faulty data in Colorbar-field. Datasource: dsFake, Field: BodyColor";

QList<TColor> ColorsOf(const TFRDBColorbar& bar) {
    QList<TColor> colors;
    for (int i = 0; i < bar.Colors().Count(); ++i) colors << bar.Colors().Items(i)->Color;
    return colors;
}

QStringList ErrorTexts() {
    QStringList texts;
    for (const UIServices::TShownMessage& m : UIServices::MessageLog()) texts << m.Text;
    return texts;
}

// A window with the bar bound to the fake table's BodyColor and an edit to leave it for.
struct Form {
    QWidget window;
    FakeFieldTable table;
    TFRDBColorbar* bar;
    QLineEdit* next;
    explicit Form(const QString& colors) {
        window.resize(420, 120);
        bar = new TFRDBColorbar(&window);
        bar->move(10, 10);
        next = new QLineEdit(&window);
        next->setGeometry(10, 60, 100, 20);
        table.Open({{"BodyColor", colors}});
        bar->Link().SetTable(&table);
        bar->SetDataField("BodyColor");
        window.show();
        window.activateWindow();
        if (!QTest::qWaitForWindowActive(&window)) qWarning("window not active");
        next->setFocus();
    }
    void Enter() { bar->setFocus(); }
    void Leave() { next->setFocus(); }
    QString Stored() const { return table.Stored("BodyColor").toString(); }
};

}  // namespace

class TestColorbar : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        UIServices::SetMessageHook([](const UIServices::TShownMessage&) { return UIServices::TMsgResult::OK; });
        UIServices::ClearMessageLog();
    }
    void cleanup() { UIServices::SetMessageHook({}); }

    // ---- Reading and writing the field ----

    void reading_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<TColor>>("colors");
        QTest::newRow("red to green") << "255|65280" << QList<TColor>{255, 65280};
        QTest::newRow("empty: no points") << "" << QList<TColor>{};
        QTest::newRow("one point") << "16711680" << QList<TColor>{16711680};
        QTest::newRow("numbers outside the colour range are kept")
            << "16777471|-1|2147483647" << QList<TColor>{16777471, -1, 2147483647};
    }
    void reading() {
        QFETCH(QString, text);
        QFETCH(QList<TColor>, colors);
        Form f(text);
        QCOMPARE(ColorsOf(*f.bar), colors);
        QCOMPARE(f.bar->ColorsText(), text);
        // Entering and leaving while editing without a change writes nothing; a forced
        // write gives the text back as it was.
        f.table.BeginEdit();
        f.Enter();
        f.Leave();
        f.table.Post();
        QCOMPARE(f.table.Writes("BodyColor"), 0);
        f.table.BeginEdit();
        f.bar->Link().SetModified();
        f.table.Post();
        QCOMPARE(f.table.Writes("BodyColor"), 1);
        QCOMPARE(f.Stored(), text);
        QVERIFY(UIServices::MessageLog().isEmpty());
    }

    void faultyData_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("a letter between numbers") << "255|abc|65280";
        QTest::newRow("an empty piece") << "255||65280";
        QTest::newRow("a separator at the end") << "255|";
        QTest::newRow("a blank before a number") << " 255|65280";
        QTest::newRow("a blank after a number") << "255 |65280";
        QTest::newRow("a hex number") << "0xFF";
        QTest::newRow("beyond a 32-bit number") << "255|4294967296";
        QTest::newRow("a sign alone") << "-";
    }
    void faultyData() {
        QFETCH(QString, text);
        Form f(text);
        QCOMPARE(ErrorTexts(), QStringList{kFaultyFake});
        QCOMPARE(UIServices::MessageLog().first().Icon, UIServices::TMsgIcon::Error);
        QCOMPARE(f.bar->Colors().Count(), 0);
        // Entering edit state reads the same text again: no second box, and nothing is
        // written until the user changes the bar.
        f.table.BeginEdit();
        f.Enter();
        QVERIFY(f.bar->Expanded());
        f.Leave();
        f.table.Post();
        QCOMPARE(f.table.Writes("BodyColor"), 0);
        QCOMPARE(f.Stored(), text);
        QCOMPARE(UIServices::MessageLog().size(), 1);
        // The user's change replaces the faulty data.
        f.table.BeginEdit();
        f.bar->PlusClick();
        f.table.Post();
        QCOMPARE(f.Stored(), QString("16777215"));
        // A faulty record shown again after a good one is told again.
        f.table.Scroll({{"BodyColor", "65280"}});
        f.table.Scroll({{"BodyColor", text}});
        QCOMPARE(UIServices::MessageLog().size(), 2);
        QCOMPARE(f.bar->Colors().Count(), 0);
    }

    void faultyData_throughTheTable() {
        TClientDataSet table(nullptr, "cdsFungi");
        table.SetFieldDefs({{"BodyColor", TFieldType::ftString, 250}, {"FootColor", TFieldType::ftString, 250}});
        table.CreateDataSet();
        for (const auto& [body, foot] : {std::pair<QString, QString>{"65280", "255"}, {"255|x", "255|65280"}}) {
            table.Append();
            table.FieldByName("BodyColor")->SetAsString(body);
            table.FieldByName("FootColor")->SetAsString(foot);
            table.Post();
        }
        table.First();
        TDataSource source(nullptr, "dsFungi");
        source.SetDataSet(&table);
        TFRDBColorbar body, foot;
        body.SetDataSource(&source);
        body.SetDataField("BodyColor");
        foot.SetDataSource(&source);
        foot.SetDataField("FootColor");
        QVERIFY(UIServices::MessageLog().isEmpty());

        // The message reaches the error box from the move; the move itself and the other
        // bar on the record go on.
        QCOMPARE(testsupport::ExceptionText([&] { table.Next(); }), testsupport::NoException);
        QCOMPARE(ErrorTexts(), QStringList{"Faulty data in Colorbar-field. Datasource: dsFungi, Field: BodyColor"});
        QCOMPARE(body.Colors().Count(), 0);
        QCOMPARE(ColorsOf(foot), (QList<TColor>{255, 65280}));
        QCOMPARE(testsupport::ExceptionText([&] { body.ReadField(); }),
                 QString("Faulty data in Colorbar-field. Datasource: dsFungi, Field: BodyColor"));

        // Saving the record with the bar unchanged keeps the stored text.
        table.Edit();
        table.FieldByName("FootColor")->SetAsString("0");
        table.Post();
        QCOMPARE(table.FieldByName("BodyColor")->AsString(), QString("255|x"));
        QCOMPARE(UIServices::MessageLog().size(), 1);
    }

    // ---- Editing ----

    void editing_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("clicks");
        QTest::addColumn<QString>("written");
        QTest::addColumn<int>("writes");
        QTest::newRow("plus adds white at the end") << "255|65280"
                                                    << "+"
                                                    << "255|65280|16777215" << 1;
        QTest::newRow("minus twice") << "255|65280|16777215"
                                     << "--"
                                     << "255" << 1;
        QTest::newRow("minus on the last point") << "255"
                                                 << "-"
                                                 << "" << 1;
        QTest::newRow("minus on an empty field") << ""
                                                 << "-"
                                                 << "" << 0;
        QTest::newRow("plus on an empty field") << ""
                                                << "+"
                                                << "16777215" << 1;
    }
    void editing() {
        QFETCH(QString, text);
        QFETCH(QString, clicks);
        QFETCH(QString, written);
        QFETCH(int, writes);
        Form f(text);
        f.table.BeginEdit();
        f.Enter();
        QVERIFY(f.bar->Expanded());
        for (QChar c : clicks) {
            QToolButton* button = c == '+' ? f.bar->PlusButton() : f.bar->MinusButton();
            // Disabled buttons do nothing; the click itself must not crash either way.
            if (button->isEnabled())
                QTest::mouseClick(button, Qt::LeftButton);
            else
                f.bar->MinusClick();
            // A button never takes the focus: the bar stays open.
            QVERIFY(f.bar->hasFocus());
            QVERIFY(f.bar->Expanded());
        }
        QCOMPARE(f.bar->MinusButton()->isEnabled(), f.bar->Colors().Count() > 0);
        f.Leave();
        QVERIFY(!f.bar->Expanded());
        QCOMPARE(f.table.Writes("BodyColor"), writes);
        QCOMPARE(f.Stored(), written);
        QVERIFY(UIServices::MessageLog().isEmpty());
    }

    void plusStopsAtTheLimit() {
        QStringList pieces;
        for (int i = 0; i < TFRDBColorbar::MaxPoints - 1; ++i) pieces << QString::number(i);
        Form f(pieces.join('|'));
        f.table.BeginEdit();
        f.Enter();
        QVERIFY(f.bar->PlusButton()->isEnabled());
        f.bar->PlusClick();
        QCOMPARE(f.bar->Colors().Count(), 20);
        QVERIFY(!f.bar->PlusButton()->isEnabled());
        f.bar->PlusClick();
        QCOMPARE(f.bar->Colors().Count(), 20);
        // Twenty markers side by side, none over another.
        for (int i = 1; i < 20; ++i)
            QVERIFY(f.bar->Colors().Items(i - 1)->Button()->geometry().right() <
                    f.bar->Colors().Items(i)->Button()->geometry().left());
    }

    void outsideEditState_nothingChanges() {
        Form f("255|65280");
        f.table.AutoEdit = false;
        f.Enter();
        QVERIFY(!f.bar->Expanded());
        QCOMPARE(f.bar->size(), QSize(320, 14));
        f.bar->PlusClick();
        f.bar->MinusClick();
        f.bar->OnColorBarQuery = [](TFRDBColorbar*, TColor& c) { c = 0; };
        f.bar->MarkerClick(0);
        QCOMPARE(ColorsOf(*f.bar), (QList<TColor>{255, 65280}));
        QVERIFY(!f.bar->Colors().Items(0)->Button()->isVisible());
        f.Leave();
        QCOMPARE(f.table.Writes("BodyColor"), 0);
    }

    void expandedLook() {
        Form f("255|65280|16711680");
        QCOMPARE(f.bar->size(), QSize(320, 14));
        QVERIFY(f.bar->focusPolicy() & Qt::TabFocus);
        f.table.BeginEdit();
        f.Enter();
        QCOMPARE(f.bar->size(), QSize(348, 26));
        QCOMPARE(f.bar->BarRect(), QRect(14, 0, 320, 14));
        QCOMPARE(f.bar->MinusButton()->geometry(), QRect(0, 0, 14, 14));
        QCOMPARE(f.bar->PlusButton()->geometry(), QRect(334, 0, 14, 14));
        QCOMPARE(f.bar->MinusButton()->toolTip(), QString::fromUtf8("Ta bort färgpunkt"));
        QCOMPARE(f.bar->PlusButton()->toolTip(), QString::fromUtf8("Lägg till färgpunkt"));
        QVERIFY(f.bar->MinusButton()->isVisible() && f.bar->PlusButton()->isVisible());
        for (int i = 0; i < 3; ++i) {
            TCBColorButton* marker = f.bar->Colors().Items(i)->Button();
            QCOMPARE(marker->size(), QSize(16, 8));
            QCOMPARE(marker->Tag, i);
            QVERIFY(marker->isVisible());
            QCOMPARE(marker->y(), 16);
            QCOMPARE(marker->focusPolicy(), Qt::NoFocus);
            QVERIFY(f.bar->rect().contains(marker->geometry()));
        }
        // First and last markers stand under the ends of the gradient, the middle one midway.
        QCOMPARE(f.bar->Colors().Items(0)->Button()->x(), 14 + 0 - 8);
        QCOMPARE(f.bar->Colors().Items(1)->Button()->x(), 14 + 160 - 8);
        QCOMPARE(f.bar->Colors().Items(2)->Button()->x(), 14 + 319 - 8);
        // Leaving ends the editing look; the table leaving edit state does too.
        f.Leave();
        QCOMPARE(f.bar->size(), QSize(320, 14));
        QVERIFY(!f.bar->MinusButton()->isVisible());
        f.Enter();
        QVERIFY(f.bar->Expanded());
        f.table.Post();
        QVERIFY(!f.bar->Expanded());
        QVERIFY(!f.bar->Colors().Items(0)->Button()->isVisible());
    }

    void expandedSize_data() {
        QTest::addColumn<QSize>("normal");
        QTest::addColumn<int>("slider");
        QTest::addColumn<QSize>("expanded");
        QTest::newRow("as created") << QSize(320, 14) << 12 << QSize(348, 26);
        QTest::newRow("another size and marker row") << QSize(200, 20) << 16 << QSize(240, 36);
    }
    void expandedSize() {
        QFETCH(QSize, normal);
        QFETCH(int, slider);
        QFETCH(QSize, expanded);
        Form f("255|65280");
        // In a layout, which follows the bar's own size.
        auto* holder = new QWidget(&f.window);
        holder->setGeometry(0, 30, 400, 60);
        auto* layout = new QHBoxLayout(holder);
        f.bar->setParent(holder);
        f.bar->resize(normal);
        f.bar->SetSliderHeight(slider);
        layout->addWidget(f.bar, 0, Qt::AlignLeft | Qt::AlignTop);
        f.bar->show();
        QCoreApplication::processEvents();
        QCOMPARE(f.bar->size(), normal);
        f.table.BeginEdit();
        f.Enter();
        QCoreApplication::processEvents();
        QCOMPARE(f.bar->size(), expanded);
        QCOMPARE(f.bar->NormalSize(), normal);
        QCOMPARE(f.bar->Colors().Items(0)->Button()->size(), QSize(16, slider - 4));
        f.Leave();
        QCoreApplication::processEvents();
        QCOMPARE(f.bar->size(), normal);
    }

    // ---- On the species table's own field ----

    // Points are added up to what the field holds; the one that would not fit is refused with
    // a message, and the table never gets a list cut short (a cut white turned into 16777,
    // a dark brown). The colour of a point is refused the same way.
    void realFieldWidth_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("plus");
        QTest::addColumn<int>("marker");  // the point given white by its marker, or -1
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("message");
        const auto whites = [](int n) { return QStringList(n, "16777215").join('|'); };
        const QString zeros19 = QStringList(19, "0").join('|');
        QTest::newRow("1 point") << "" << 1 << -1 << whites(1) << "";
        QTest::newRow("5 points") << "" << 5 << -1 << whites(5) << "";
        QTest::newRow("6 points: the sixth is refused")
            << "" << 6 << -1 << whites(5) << TFRDBColorbar::NoRoomForPointText;
        QTest::newRow("20 points of short numbers") << zeros19 << 1 << -1 << zeros19 + "|16777215"
                                                    << "";
        QTest::newRow("a colour that would not fit")
            << whites(5) + "|0" << 0 << 5 << whites(5) + "|0" << TFRDBColorbar::NoRoomForColorText;
        QTest::newRow("a colour that fits") << whites(4) + "|0" << 0 << 4 << whites(5) << "";
    }
    void realFieldWidth() {
        QFETCH(QString, start);
        QFETCH(int, plus);
        QFETCH(int, marker);
        QFETCH(QString, stored);
        QFETCH(QString, message);
        const TDM::TTableInfo* info = TDM::FindTableInfo("cdsFungi");
        QVERIFY(info);
        TFieldDefs defs;
        for (const TFieldDef& def : info->Fields)
            if (def.Name == "BodyColor") defs.append(def);
        QCOMPARE(defs.size(), 1);
        QCOMPARE(defs.first().Size, 50);
        TClientDataSet table(nullptr, "cdsFungi");
        table.SetFieldDefs(defs);
        table.CreateDataSet();
        table.Append();
        table.FieldByName("BodyColor")->SetAsString(start);
        table.Post();
        TDataSource source(nullptr, "dsFungi");
        source.SetDataSet(&table);
        TFRDBColorbar bar;
        bar.SetDataSource(&source);
        bar.SetDataField("BodyColor");
        bar.OnColorBarQuery = [](TFRDBColorbar*, TColor& c) { c = 0xFFFFFF; };
        table.Edit();
        for (int i = 0; i < plus; ++i) bar.PlusClick();
        if (marker >= 0) bar.MarkerClick(marker);
        QCOMPARE(testsupport::ExceptionText([&] { table.Post(); }), testsupport::NoException);
        QCOMPARE(table.FieldByName("BodyColor")->AsString(), stored);
        QCOMPARE(ErrorTexts(), message.isEmpty() ? QStringList() : QStringList{message});
        if (!message.isEmpty())
            QCOMPARE(UIServices::MessageLog().first().Caption, QString("Mykotekshallen - Information"));
        QList<TColor> colors;
        QVERIFY(TFRDBColorbar::ParseColors(stored, colors));
        QCOMPARE(ColorsOf(bar), colors);
    }

    void markerClick_data() {
        QTest::addColumn<TColor>("answer");
        QTest::addColumn<QString>("written");
        QTest::addColumn<int>("writes");
        QTest::newRow("a new colour") << TColor(16711680) << "255|16711680" << 1;
        QTest::newRow("the same colour back") << TColor(65280) << "255|65280" << 0;
    }
    void markerClick() {
        QFETCH(TColor, answer);
        QFETCH(QString, written);
        QFETCH(int, writes);
        Form f("255|65280");
        QList<TColor> asked;
        f.bar->OnColorBarQuery = [&](TFRDBColorbar* sender, TColor& c) {
            QCOMPARE(sender, f.bar);
            asked << c;
            c = answer;
        };
        f.table.BeginEdit();
        f.Enter();
        QTest::mouseClick(f.bar->Colors().Items(1)->Button(), Qt::LeftButton);
        QCOMPARE(asked, QList<TColor>{65280});
        QVERIFY(f.bar->hasFocus());
        f.Leave();
        QCOMPARE(f.table.Writes("BodyColor"), writes);
        QCOMPARE(f.Stored(), written);
    }

    void fractionSize_data() {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("0") << 0 << false;
        QTest::newRow("17") << 17 << false;
        QTest::newRow("-3") << -3 << false;
        QTest::newRow("1") << 1 << true;
        QTest::newRow("16") << 16 << true;
    }
    void fractionSize() {
        QFETCH(int, size);
        QFETCH(bool, accepted);
        TFRDBColorbar bar;
        QCOMPARE(bar.FractionSize(), 4);
        QCOMPARE(
            testsupport::ExceptionText([&] { bar.SetFractionSize(size); }),
            accepted ? testsupport::NoException : QString("Invalid FractionSize. Value must be between 1 and 16."));
        QCOMPARE(bar.FractionSize(), accepted ? size : 4);
    }

    // ---- Painting ----

    void painting_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("fraction");
        QTest::addColumn<int>("x");
        QTest::addColumn<QColor>("color");
        const QColor parent(10, 120, 200);
        QTest::newRow("far left of red to green") << "255|65280" << 4 << 3 << QColor(255, 0, 0);
        QTest::newRow("far right of red to green") << "255|65280" << 4 << 316 << QColor(0, 255, 0);
        // Stripe 40 of 80: t = 40 / 79.
        QTest::newRow("midway") << "255|65280" << 4 << 161 << QColor(126, 129, 0);
        QTest::newRow("wide stripes keep one colour") << "255|65280" << 16 << 15 << QColor(255, 0, 0);
        QTest::newRow("three points: the middle one") << "255|16777215|65280" << 4 << 158 << QColor(255, 255, 255);
        QTest::newRow("one point fills the bar") << "16711680" << 4 << 200 << QColor(0, 0, 255);
        QTest::newRow("low 24 bits of a large number") << "16777471" << 4 << 100 << QColor(255, 0, 0);
        QTest::newRow("no points: the parent's colour") << "" << 4 << 100 << parent;
        QTest::newRow("faulty data: the parent's colour") << "255|x" << 4 << 100 << parent;
    }
    void painting() {
        QFETCH(QString, text);
        QFETCH(int, fraction);
        QFETCH(int, x);
        QFETCH(QColor, color);
        QWidget parent;
        QPalette pal = parent.palette();
        pal.setColor(QPalette::Window, QColor(10, 120, 200));
        parent.setPalette(pal);
        FakeFieldTable table;
        table.Open({{"BodyColor", text}});
        auto* bar = new TFRDBColorbar(&parent);
        bar->SetFractionSize(fraction);
        bar->Link().SetTable(&table);
        bar->SetDataField("BodyColor");
        const QImage image = bar->grab().toImage();
        QCOMPARE(image.size(), QSize(320, 14));
        for (int y : {3, 7, 10}) QCOMPARE(image.pixelColor(x, y), color);
        UIServices::ClearMessageLog();
    }
};

QTEST_MAIN(TestColorbar)
#include "tst_colorbar.moc"
