// The species input form: the starting values of a species not yet completed, the pages and
// the Tab order by Tag, the info texts, and the save with its signature check, the
// save-completed choice, the names and the free text, its failures, the species frame's
// "Komplettera" and screenshots of its pages.
#include <QtTest>

#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>

#include "content/FungiTestSupport.h"
#include "content/species/unitInputFungi.h"
#include "controls/FRColorbar.h"
#include "controls/FREdits.h"
#include "controls/FRInfoPanel.h"
#include "controls/FRMemos.h"
#include "controls/FRMultiChoice.h"
#include "controls/FRSearchPanel.h"
#include "core/InfoTexts.h"
#include "shell/MyVisualUtils.h"
#include "shell/unitMain.h"
#include "shell/unitSaveCompleted.h"
#include "shell/unitUserScreen.h"
#include "platform/Exception.h"
#include "platform/UIServices.h"

namespace {

// A species known by its names only.
FieldValues Uncompleted(const QString& swedish, const QString& latin) {
    return {
        {"SwedishName", swedish}, {"LatinName", latin}, {"FungiData", "UNCP"}, {"CompletedBy", ""}, {"Signature", ""}};
}

struct InputFixture : FungiFixture {
    QString me;  // the logged-in user's contact
    InputFixture() {
        ui.AnswerBoxes(UIServices::TMsgResult::OK);
        const QString user = AddUser("Cecilia");
        Contacts()->Append();
        Contacts()->FieldByName("UserName")->SetAsString("Cecilia");
        Contacts()->Post();
        me = GetUKey(Contacts());
        QVERIFY(LocateUKey(Users(), user));
        Users()->Edit();
        Users()->FieldByName("ContactUKey")->SetAsString(me);
        Users()->Post();
        SelectCurrentUser(user);
    }
    // The form over the species, shown as showing it would.
    std::unique_ptr<TformInputFungi> Open(const QString& key) {
        if (!LocateUKey(Fungi(), key)) return nullptr;
        auto form = std::make_unique<TformInputFungi>(screen, window.get());
        form->PrepareForm();
        form->show();
        return form;
    }
    // The save-completed dialog answers with the button of the answer (0 "Avbryt").
    void AnswerSave(int answer) {
        ui.Dialogs([answer](QDialog* d) {
            auto* save = qobject_cast<TformSaveCompleted*>(d);
            if (!save) return;
            (answer == 1 ? save->btnSaveUnlocked : answer == 2 ? save->btnSaveLocked : save->btnCancel)->click();
        });
    }
    QString Field(const QString& name) const { return Fungi()->FieldByName(name)->AsString(); }
    // The rows of a detail table of the species with the key, read from the table's file:
    // "flag/no: text" for the text rows, the names as they are for the name tables.
    QStringList FileRows(const QString& table, const QString& key) const {
        TClientDataSet t;
        t.LoadFromFile(Folder() + "Data/Db/" + table + ".dat");
        QList<std::pair<int, QString>> rows;
        for (t.First(); !t.Eof(); t.Next()) {
            if (t.FieldByName("MasterUKey")->AsString() != key) continue;
            if (table == "FungiTexts")
                rows.append({t.FieldByName("RowFlag")->AsInteger() * 1000 + t.FieldByName("RowNo")->AsInteger(),
                             QString("%1/%2: %3")
                                 .arg(t.FieldByName("RowFlag")->AsInteger())
                                 .arg(t.FieldByName("RowNo")->AsInteger())
                                 .arg(t.FieldByName("RowText")->AsString())});
            else
                rows.append({0, t.FieldByName(table == "SwedishNames" ? "SwedishName" : "LatinName")->AsString()});
        }
        std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        QStringList out;
        for (const auto& row : rows) out << row.second;
        if (table != "FungiTexts") out.sort();
        return out;
    }
    QString FileField(const QString& key, const QString& field) const {
        return FileValue(Folder() + "Data/Db/Fungi.dat", key, field).toString();
    }
};

}  // namespace

class TestInputFungi : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startingValues_ofUncompletedSpecies();
    void startingValues_notForSpeciesInProgress();
    void pages_withoutCapSkipUnderside_data();
    void pages_withoutCapSkipUnderside();
    void tab_runsByTagAcrossPages();
    void details_followTheChoices();
    void infoTexts_everyControlHasOne();
    void infoTexts_missingLabelGivesEmptyPanel();
    void swedishNames_firstBecomesTheName();
    void save_completedChoice_data();
    void save_completedChoice();
    void save_signatureTaken();
    void save_namesAndText();
    void save_failureLeavesEverything_data();
    void save_failureLeavesEverything();
    void cancel_givesUpTheEdit();
    void complete_fromFrameCountsAgain();
    void screenshots();
};

void TestInputFungi::startingValues_ofUncompletedSpecies() {
    InputFixture f;
    FieldValues values = Uncompleted("Fjällig bläcksvamp", "Coprinus comatus");
    SetValues(values, {{"FungiGroup", "Skivlingar"}});
    const QString key = f.AddSpecies(values);
    auto form = f.Open(key);
    QVERIFY(form);
    QCOMPARE(f.Fungi()->State(), TDataSetState::dsEdit);
    const QList<std::pair<QString, QString>> expected = {
        {"Difficulty", "2"},       {"FoodValue1", "2"},  {"CookingRequired", "1"}, {"FoodValue2", "2"},
        {"Smell", "Mild"},         {"Taste", "Mild"},    {"HatFungi", "0"},        {"GroupedGrowth", "3"},
        {"FootRing", "3"},         {"HatSubType", "0"},  {"HatSubGrowth", "0"},    {"HatSubDensity", "1"},
        {"ScaledHat", "3"},        {"DottedHat", "3"},   {"LinedHat", "3"},        {"GrowthMethod", "0"},
        {"VisibleMeatJuice", "2"}, {"CompletedBy", f.me}};
    for (const auto& [field, value] : expected) QCOMPARE(f.Field(field) + " " + field, value + " " + field);
    // The controls show them.
    QVERIFY(form->multicFoodValue1->Selected(2));
    QVERIFY(form->multicHatFungi->Selected(0));
    QCOMPARE(form->dbeditTaste->text(), QString("Mild"));
    // A group given before stays as it is.
    QVERIFY(form->dbeditFungiGroup->isReadOnly());
    QCOMPARE(form->dbeditFungiGroup->text(), QString("Skivlingar"));
    QCOMPARE(form->PageIndex(), 0);
    QCOMPARE(form->lblHeader->text(), QString("Fjällig bläcksvamp (Coprinus comatus)"));
}

void TestInputFungi::startingValues_notForSpeciesInProgress() {
    InputFixture f;
    FieldValues values = CapFungus("Kantarell", "Cantharellus cibarius");
    SetValues(values,
              {{"FungiData", "CPNG"},
               {"Taste", "Mild till svagt pepprig"},
               {"FoodValue1", 5},
               {"CompletedBy", "060BBBBBBBBBBBBBBB"}});
    const QString key = f.AddSpecies(values);
    auto form = f.Open(key);
    QCOMPARE(f.Field("Taste"), QString("Mild till svagt pepprig"));
    QCOMPARE(f.Field("FoodValue1"), QString("5"));
    QCOMPARE(f.Field("CompletedBy"), QString("060BBBBBBBBBBBBBBB"));
    // The group can be chosen.
    QVERIFY(!form->dbeditFungiGroup->isReadOnly());
}

void TestInputFungi::pages_withoutCapSkipUnderside_data() {
    QTest::addColumn<int>("hatFungi");
    QTest::addColumn<int>("afterPage2");
    QTest::addColumn<int>("beforePage5");
    // HatFungi 1 is "Nej": a fungus without cap has no underside, cap or foot to describe.
    QTest::newRow("without cap (HatFungi 1)") << 1 << 5 << 2;
    QTest::newRow("cap fungus (HatFungi 0)") << 0 << 3 << 4;
}

void TestInputFungi::pages_withoutCapSkipUnderside() {
    QFETCH(int, hatFungi);
    QFETCH(int, afterPage2);
    QFETCH(int, beforePage5);
    InputFixture f;
    auto form = f.Open(f.AddSpecies(Uncompleted("Svavelticka", "Laetiporus sulphureus")));
    form->NextClick();
    form->NextClick();
    QCOMPARE(form->PageIndex(), 2);
    form->multicHatFungi->SetSelected(hatFungi, true);
    QCOMPARE(form->Skipped(3), hatFungi == 1);
    QCOMPARE(form->Skipped(4), hatFungi == 1);
    // The fruit body is described on page 2 only for a fungus without cap.
    QCOMPARE(form->TabControls(2).contains(form->cbarBodyColor), hatFungi == 1);
    QCOMPARE(form->TabControls(2).contains(form->dbeditBodyHeightMaximum), hatFungi == 1);
    form->btnNext->click();
    QCOMPARE(form->PageIndex(), afterPage2);
    form->ShowPage(5);
    form->btnPrior->click();
    QCOMPARE(form->PageIndex(), beforePage5);
    // The buttons at the ends.
    form->ShowPage(0);
    QVERIFY(!form->btnPrior->isEnabled());
    QVERIFY(form->btnNext->isEnabled());
    form->ShowPage(9);
    QVERIFY(form->btnPrior->isEnabled());
    QVERIFY(!form->btnNext->isEnabled());
}

void TestInputFungi::tab_runsByTagAcrossPages() {
    InputFixture f;
    auto form = f.Open(f.AddSpecies(Uncompleted("Svavelticka", "Laetiporus sulphureus")));
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    auto focused = [&] { return form->TaggedControl(QApplication::focusWidget()); };
    auto tab = [&](bool back = false) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, back ? Qt::ShiftModifier : Qt::NoModifier);
    };
    QCOMPARE(focused(), form->memoSwedishNames);
    tab();
    QCOMPARE(focused(), form->dbeditFungiGroup);
    tab();
    QCOMPARE(focused(), form->dbeditSignature);
    tab();
    QCOMPARE(focused(), form->memoLatinNames);
    // The last control of a page hands on to the next page's first.
    tab();
    QCOMPARE(form->PageIndex(), 1);
    QCOMPARE(focused(), form->multicFoodValue1);
    tab();
    QCOMPARE(focused(), form->multicCookingRequired);
    // "Matvärde före avkokning" is hidden while no parboiling is needed.
    tab();
    QCOMPARE(focused(), form->dbeditTaste);
    tab(true);
    QCOMPARE(focused(), form->multicCookingRequired);
    form->multicCookingRequired->SetSelected(0, true);
    tab();
    QCOMPARE(focused(), form->multicFoodValue2);
    // Backwards from a page's first control to the last of the page before.
    form->ShowPage(1);
    QCOMPARE(focused(), form->multicFoodValue1);
    tab(true);
    QCOMPARE(form->PageIndex(), 0);
    QCOMPARE(focused(), form->memoLatinNames);
    // Without cap, Tab from page 2 goes on to page 5.
    form->ShowPage(2);
    form->multicHatFungi->SetSelected(1, true);
    form->TabControls(2).last()->setFocus();
    tab();
    QCOMPARE(form->PageIndex(), 5);
    QCOMPARE(focused(), form->cbarMeatColor);
    tab(true);
    QCOMPARE(form->PageIndex(), 2);
    QCOMPARE(focused(), form->multicBodyGroupedGrowth);
    // The last page keeps the focus on itself.
    form->ShowPage(9);
    QCOMPARE(focused(), form->memoInformation);
    tab();
    QCOMPARE(form->PageIndex(), 9);
    QCOMPARE(focused(), form->memoInformation);
}

void TestInputFungi::details_followTheChoices() {
    InputFixture f;
    auto form = f.Open(f.AddSpecies(Uncompleted("Kantarell", "Cantharellus cibarius")));
    struct Case {
        int type;
        QString colourCaption;
        QList<QWidget*> shown, hidden;
    };
    const QList<Case> cases = {
        {0,
         "Skivor, färg:",
         {form->multicHatSubGrowth, form->multicHatSubDensity},
         {form->multicPoreGrowth, form->multicPoreDensity}},
        {1,
         "Rörlager, färg:",
         {form->multicPoreGrowth, form->multicPoreDensity},
         {form->multicHatSubGrowth, form->multicHatSubDensity}},
        {2,
         "Taggar, färg:",
         {},
         {form->multicHatSubGrowth, form->multicHatSubDensity, form->multicPoreGrowth, form->multicPoreDensity}},
        {3,
         "Åsar, färg:",
         {},
         {form->multicHatSubGrowth, form->multicHatSubDensity, form->multicPoreGrowth, form->multicPoreDensity}},
    };
    for (const Case& c : cases) {
        form->multicHatSubType->SetSelected(c.type, true);
        const QList<QWidget*> tabbed = form->TabControls(3);
        QCOMPARE(form->RowCaption(form->cbarHatSubColor)->text(), c.colourCaption);
        for (QWidget* w : c.shown) QVERIFY2(tabbed.contains(w), qPrintable(w->objectName()));
        for (QWidget* w : c.hidden) QVERIFY2(!tabbed.contains(w), qPrintable(w->objectName()));
        QVERIFY(tabbed.contains(form->cbarHatSubColor));
    }
    // The juice's colour only while there is coloured juice.
    form->multicVisibleMeatJuice->SetSelected(3, true);
    QVERIFY(!form->TabControls(5).contains(form->cbarMeatJuiceColor));
    form->multicVisibleMeatJuice->SetSelected(0, true);
    QVERIFY(form->TabControls(5).contains(form->cbarMeatJuiceColor));

    // A size typed for a fungus without cap is the cap's size once it is a cap fungus again.
    form->multicHatFungi->SetSelected(1, true);
    form->ShowPage(2);
    form->dbeditBodyWidthMinimum->setFocus();
    TypeInto(form->dbeditBodyWidthMinimum, "40");
    form->multicBodyGroupedGrowth->SetSelected(0, true);
    form->multicHatFungi->SetSelected(0, true);
    QCOMPARE(f.Field("GroupedGrowth"), QString("0"));
    QVERIFY(form->multicGroupedGrowth->Selected(0));
    f.Fungi()->UpdateRecord();
    QCOMPARE(f.Field("BodySizeMinimum"), QString("40"));
    QCOMPARE(form->dbeditHatSizeMinimum->text(), QString("40"));
}

void TestInputFungi::infoTexts_everyControlHasOne() {
    InputFixture f;
    auto form = f.Open(f.AddSpecies(Uncompleted("Kantarell", "Cantharellus cibarius")));
    int controls = 0;
    for (QWidget* w : form->findChildren<QWidget*>()) {
        if (form->Tag(w) < TformInputFungi::FirstTag) continue;
        ++controls;
        QStringList lines;
        SetInfoText(w->objectName(), lines);
        QVERIFY2(lines.join("").trimmed().size() > 40, qPrintable(w->objectName()));
    }
    QVERIFY(controls > 40);
    // Entering a control shows its text.
    form->ShowPage(6);
    QVERIFY(form->panelInfo->Info().join(" ").contains("Sporpulvrets färg"));
    form->ControlEntered(form->dbeditSporeWidthMax);
    QVERIFY(form->panelInfo->Info().join(" ").contains("mikrometer"));
    // Every line fits the panel.
    const QFontMetrics metrics(form->panelInfo->font());
    for (const QString& line : form->panelInfo->Info())
        QVERIFY2(metrics.horizontalAdvance(line) < form->panelInfo->width(), qPrintable(line));
}

void TestInputFungi::infoTexts_missingLabelGivesEmptyPanel() {
    InputFixture f;
    auto form = f.Open(f.AddSpecies(Uncompleted("Kantarell", "Cantharellus cibarius")));
    QVERIFY(!form->panelInfo->Info().isEmpty());
    form->dbeditTaste->setObjectName("dbeditUtanText");
    QCOMPARE(testsupport::ExceptionText([&] { form->ControlEntered(form->dbeditTaste); }), QString("<no exception>"));
    QVERIFY(form->panelInfo->Info().isEmpty());
    QVERIFY(UIServices::MessageLog().isEmpty());
}

void TestInputFungi::swedishNames_firstBecomesTheName() {
    InputFixture f;
    const QString key = f.AddSpecies(Uncompleted("", "Craterellus cornucopioides"));
    auto form = f.Open(key);
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    form->memoSwedishNames->setFocus();
    form->memoSwedishNames->setPlainText("  Svart trumpetsvamp\nTrumpetsvamp");
    form->dbeditSignature->setFocus();
    QCOMPARE(f.Field("SwedishName"), QString("Svart trumpetsvamp"));
    QCOMPARE(form->memoSwedishNames->toPlainText(), QString("Trumpetsvamp"));
    // With a name the memo stays as it is.
    form->memoSwedishNames->setFocus();
    form->dbeditSignature->setFocus();
    QCOMPARE(form->memoSwedishNames->toPlainText(), QString("Trumpetsvamp"));
}

void TestInputFungi::save_completedChoice_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("state");
    QTest::addColumn<bool>("completerIsMe");
    QTest::newRow("Spara och LÅS") << 2 << "CPLD" << true;
    QTest::newRow("Spara och LÅS INTE") << 1 << "CPNG" << false;
    QTest::newRow("Avbryt") << 0 << "CPNG" << false;
}

void TestInputFungi::save_completedChoice() {
    QFETCH(int, answer);
    QFETCH(QString, state);
    QFETCH(bool, completerIsMe);
    InputFixture f;
    FieldValues values = CapFungus("Kantarell", "Cantharellus cibarius");
    const QString other = "060BBBBBBBBBBBBBBB";
    SetValues(values, {{"FungiData", "CPNG"}, {"CompletedBy", other}, {"Taste", "Mild"}});
    const QString key = f.AddSpecies(values);
    auto form = f.Open(key);
    TypeInto(form->dbeditTaste, "Mild till svagt pepprig");
    f.AnswerSave(answer);
    form->btnSave->click();
    if (answer == 0) {
        // Back to the form, nothing saved.
        QVERIFY(form->isVisible());
        QCOMPARE(f.Fungi()->State(), TDataSetState::dsEdit);
        QCOMPARE(f.FileField(key, "Taste"), QString("Mild"));
        return;
    }
    QVERIFY(!form->isVisible());
    QCOMPARE(form->result(), int(QDialog::Accepted));
    QCOMPARE(f.Fungi()->State(), TDataSetState::dsBrowse);
    QCOMPARE(f.FileField(key, "FungiData"), state);
    QCOMPARE(f.FileField(key, "CompletedBy"), completerIsMe ? f.me : other);
    QCOMPARE(f.FileField(key, "Taste"), QString("Mild till svagt pepprig"));
    QVERIFY(UIServices::MessageLog().isEmpty());
}

void TestInputFungi::save_signatureTaken() {
    InputFixture f;
    FieldValues taken = CapFungus("Karljohan", "Boletus edulis");
    SetValues(taken, {{"Signature", "BOLEDU"}});
    f.AddSpecies(taken);
    FieldValues own = CapFungus("Kantarell", "Cantharellus cibarius");
    SetValues(own, {{"Signature", "CANCIB"}, {"FungiData", "CPNG"}});
    const QString key = f.AddSpecies(own);
    auto form = f.Open(key);
    form->ShowPage(5);
    TypeInto(form->dbeditSignature, " BOLEDU ");
    int asked = 0;
    f.ui.Dialogs([&](QDialog* d) {
        if (auto* save = qobject_cast<TformSaveCompleted*>(d)) {
            ++asked;
            save->btnSaveUnlocked->click();
        }
    });
    QCOMPARE(testsupport::ExceptionText([&] { form->SaveClick(); }),
             QString("Signaturen \"BOLEDU\" är upptagen. Prova med en annan signatur"));
    QCOMPARE(asked, 0);
    QCOMPARE(form->PageIndex(), 0);
    QCOMPARE(f.Fungi()->State(), TDataSetState::dsEdit);
    QCOMPARE(f.FileField(key, "Signature"), QString("CANCIB"));
    // The species' own signature is no obstacle.
    TypeInto(form->dbeditSignature, "CANCIB ");
    form->SaveClick();
    QCOMPARE(asked, 1);
    QCOMPARE(form->result(), int(QDialog::Accepted));
    QCOMPARE(f.FileField(key, "Signature"), QString("CANCIB"));
}

void TestInputFungi::save_namesAndText() {
    InputFixture f;
    const QString key = f.AddSpecies(Uncompleted("Kantarell", "Cantharellus cibarius"));
    f.AddDetail(f.dm->cdsSwedishNames, key, {{"SwedishName", "Gul kantarell"}});
    f.AddDetail(f.dm->cdsLatinNames, key, {{"LatinName", "Agaricus cantharellus"}});
    f.AddDetail(f.dm->cdsFungiTexts, key, {{"RowFlag", 0}, {"RowNo", 0}, {"RowText", "Gammal text."}});
    f.AddDetail(f.dm->cdsFungiTexts, key, {{"RowFlag", 1}, {"RowNo", 0}, {"RowText", "En annan text."}});
    auto form = f.Open(key);
    // Only the rows of flag 0 are the form's text.
    QCOMPARE(form->memoInformation->toPlainText(), QString("Gammal text."));
    QCOMPARE(form->memoSwedishNames->toPlainText(), QString("Gul kantarell"));
    QCOMPARE(form->memoLatinNames->toPlainText(), QString("Agaricus cantharellus"));

    form->memoSwedishNames->setPlainText("  Gul kantarell \n\n   \nGulsvamp\n");
    form->memoLatinNames->setPlainText("\nCantharellus vulgaris");
    const QString longLine =
        "Hatten är äggul och trattformig med vågig kant, och undersidan har låga, grenade åsar "
        "som löper ned på foten; fruktköttet är fast och vitt och doftar svagt av aprikos.";
    form->memoInformation->setPlainText("Första stycket.\n\n" + longLine + "\n\n");
    f.AnswerSave(2);
    form->btnSave->click();
    QCOMPARE(form->result(), int(QDialog::Accepted));

    QCOMPARE(f.FileRows("SwedishNames", key), (QStringList{"Gul kantarell", "Gulsvamp"}));
    QCOMPARE(f.FileRows("LatinNames", key), QStringList{"Cantharellus vulgaris"});
    const QStringList rows = f.FileRows("FungiTexts", key);
    // The long line is cut at blanks into rows that give it back whole.
    QCOMPARE(rows.first(), QString("0/0: Första stycket."));
    QCOMPARE(rows.at(1), QString("0/1: "));
    QString joined;
    int no = 2;
    for (const QString& row : rows) {
        if (!row.startsWith("0/") || row == "0/0: Första stycket." || row == "0/1: ") continue;
        QVERIFY(row.startsWith(QString("0/%1: ").arg(no++)));
        const QString text = row.section(": ", 1, -1);
        QVERIFY(text.size() <= 80);
        joined += text;
    }
    QCOMPARE(joined, longLine);
    QVERIFY(no > 3);
    // The text of another flag is still there.
    QCOMPARE(rows.last(), QString("1/0: En annan text."));
    // The tables in memory follow the species again.
    QCOMPARE(f.dm->cdsSwedishNames->RecordCount(), 2);
    QVERIFY(f.dm->cdsSwedishNames->AutoSave() && f.dm->cdsLatinNames->AutoSave() && f.dm->cdsFungiTexts->AutoSave());
}

void TestInputFungi::save_failureLeavesEverything_data() {
    QTest::addColumn<QString>("failing");
    QTest::addColumn<bool>("inFile");
    QTest::newRow("Latin names, after the Swedish names were saved") << "cdsLatinNames" << false;
    QTest::newRow("texts") << "cdsFungiTexts" << false;
    QTest::newRow("the species itself") << "cdsFungi" << false;
    // The species' record was posted but its file did not take it.
    QTest::newRow("the species' file") << "cdsFungi" << true;
}

void TestInputFungi::save_failureLeavesEverything() {
    QFETCH(QString, failing);
    QFETCH(bool, inFile);
    InputFixture f;
    const QString key = f.AddSpecies(Uncompleted("Kantarell", "Cantharellus cibarius"));
    f.AddDetail(f.dm->cdsSwedishNames, key, {{"SwedishName", "Gul kantarell"}});
    f.AddDetail(f.dm->cdsLatinNames, key, {{"LatinName", "Agaricus cantharellus"}});
    f.AddDetail(f.dm->cdsFungiTexts, key, {{"RowFlag", 0}, {"RowNo", 0}, {"RowText", "Gammal text."}});
    const QStringList swedish = f.FileRows("SwedishNames", key);
    const QStringList latin = f.FileRows("LatinNames", key);
    const QStringList texts = f.FileRows("FungiTexts", key);
    auto form = f.Open(key);
    form->memoSwedishNames->setPlainText("Gulsvamp");
    form->memoLatinNames->setPlainText("Cantharellus vulgaris");
    form->memoInformation->setPlainText("Ny text.");
    TypeInto(form->dbeditTaste, "Svagt pepprig");
    QObject context;
    TClientDataSet* table = f.dm->Table(failing);
    if (inFile) table = f.dm->Table(failing)->InternalDataSet();
    table->AddObserver(inFile ? TDataSetEvent::AfterPost : TDataSetEvent::BeforePost, &context,
                       [](TClientDataSet*) { throw Exception("Disken är full"); });
    f.AnswerSave(2);
    QCOMPARE(testsupport::ExceptionText([&] { form->SaveClick(); }), QString("Disken är full"));
    // Files and tables as they were; the species still edited with what was typed.
    QCOMPARE(f.FileRows("SwedishNames", key), swedish);
    QCOMPARE(f.FileRows("LatinNames", key), latin);
    QCOMPARE(f.FileRows("FungiTexts", key), texts);
    QCOMPARE(f.FileField(key, "FungiData"), QString("UNCP"));
    QCOMPARE(f.dm->cdsSwedishNames->RecordCount(), 1);
    QCOMPARE(f.dm->cdsLatinNames->RecordCount(), 1);
    QCOMPARE(f.dm->cdsFungiTexts->RecordCount(), 1);
    QCOMPARE(f.Fungi()->State(), TDataSetState::dsEdit);
    QCOMPARE(f.Field("Taste"), QString("Svagt pepprig"));
    QCOMPARE(f.Field("FungiData"), QString("UNCP"));
    QVERIFY(form->isVisible());
    for (TExtClientDataSet* table : {f.dm->cdsSwedishNames, f.dm->cdsLatinNames, f.dm->cdsFungiTexts, f.Fungi()}) {
        QVERIFY(table->AutoSave());
        QVERIFY(!table->ControlsDisabled());
    }
    // Once the fault is gone the same form saves.
    table->RemoveObservers(&context);
    form->SaveClick();
    QCOMPARE(form->result(), int(QDialog::Accepted));
    QCOMPARE(f.FileRows("SwedishNames", key), QStringList{"Gulsvamp"});
    QCOMPARE(f.FileRows("FungiTexts", key), QStringList{"0/0: Ny text."});
    QCOMPARE(f.FileField(key, "FungiData"), QString("CPLD"));
    QCOMPARE(f.FileField(key, "Taste"), QString("Svagt pepprig"));
}

void TestInputFungi::cancel_givesUpTheEdit() {
    InputFixture f;
    const QString key = f.AddSpecies(Uncompleted("Kantarell", "Cantharellus cibarius"));
    auto form = f.Open(key);
    form->memoSwedishNames->setPlainText("Gulsvamp");
    form->btnCancel->click();
    QVERIFY(!form->isVisible());
    QCOMPARE(form->result(), int(QDialog::Rejected));
    QCOMPARE(f.Fungi()->State(), TDataSetState::dsBrowse);
    // The starting values went with the edit.
    QCOMPARE(f.Field("FungiData"), QString("UNCP"));
    QCOMPARE(f.Field("Taste"), QString());
    QVERIFY(f.FileRows("SwedishNames", key).isEmpty());
}

void TestInputFungi::complete_fromFrameCountsAgain() {
    InputFixture f;
    f.AddSpecies("Karljohan", "Boletus edulis");
    const QString key = f.AddSpecies(Uncompleted("Kantarell", "Cantharellus cibarius"));
    f.settings->WriteBool("Settings/CompleteButton", true);
    f.settings->WriteString("Fungi/LastVisited", key);
    f.screen->Activate(QString());
    TframeFungi* frame = f.Frame();
    // The program's main window keeps the name lists and the count.
    TformFRMain main;
    main.SetDataModule(f.dm.get());
    main.BuildSpeciesNameList();
    QCOMPARE(main.CompleteFungiCount, 1);
    UIServices::ClearMessageLog();
    QCOMPARE(GetUKey(f.Fungi()), key);
    QVERIFY(frame->btnComplete->isVisible() && frame->btnComplete->isEnabled());
    f.ui.Dialogs([](QDialog* d) {
        if (auto* save = qobject_cast<TformSaveCompleted*>(d)) save->btnSaveLocked->click();
        if (auto* form = qobject_cast<TformInputFungi*>(d)) {
            QCOMPARE(form->windowTitle(), QString("Mykotekshallen - Komplettering av svampart"));
            form->memoSwedishNames->setPlainText("Gulsvamp");
            form->btnSave->click();
        }
    });
    frame->btnComplete->click();
    QVERIFY(UIServices::MessageLog().isEmpty());
    QCOMPARE(f.FileField(key, "FungiData"), QString("CPLD"));
    QCOMPARE(main.CompleteFungiCount, 2);
    // The search panel finds the new synonym.
    QVERIFY(frame->searchFungi->SearchList.IndexOf("Gulsvamp") >= 0);
    QCOMPARE(frame->ShownPageName(), QString("tabsFullData"));
}

void TestInputFungi::screenshots() {
    InputFixture f;
    FieldValues values = CapFungus("Kantarell", "Cantharellus cibarius");
    SetValues(values,
              {{"FungiData", "CPNG"},
               {"HatSubType", 3},
               {"BodyColor", "1981136|2010352"},
               {"HatSubColor", "1981136"},
               {"Habitat", "110110000000000"},
               {"GrowthMethod", "100000"},
               {"Season", "000001234100"},
               {"Occurence", "33332221"},
               {"FootSizeMinimum", 5},
               {"FootSizeMaximum", 15},
               {"ScaledHat", 3},
               {"LinedHat", 3},
               {"DottedHat", 3},
               {"FootRing", 3},
               {"GroupedGrowth", 2}});
    const QString key = f.AddSpecies(values);
    f.AddDetail(f.dm->cdsSwedishNames, key, {{"SwedishName", "Gul kantarell"}});
    f.AddDetail(f.dm->cdsLatinNames, key, {{"LatinName", "Agaricus cantharellus"}});
    auto form = f.Open(key);
    for (const QSize screen : {QSize(800, 600), QSize(1280, 1024)}) {
        FitDialogToScreen(form.get(), QRect(QPoint(0, 0), screen), QSize(900, 600));
        QVERIFY(form->width() <= screen.width() && form->height() <= screen.height());
        for (int page = 0; page < TformInputFungi::PageCount; ++page) {
            form->ShowPage(page);
            QCoreApplication::processEvents();
            // Nothing of the page is cut off at the bottom.
            QWidget* shown = form->pagesInput->currentWidget();
            for (QWidget* control : form->TabControls(page))
                QVERIFY2(control->mapTo(shown, QPoint(0, control->height())).y() <= shown->height(),
                         qPrintable(control->objectName()));
            QVERIFY(form->grab().save(QString("%1/input_fungi_page%2_%3x%4.png")
                                          .arg(testsupport::ArtefactDir())
                                          .arg(page)
                                          .arg(screen.width())
                                          .arg(screen.height())));
        }
    }
}

QTEST_MAIN(TestInputFungi)
#include "tst_inputfungi.moc"
