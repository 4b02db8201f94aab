// The species frame: the description column by the species' kind, the pages by completion
// state, the private notes, settings, the header, history and screenshots of real species.
#include <QtTest>
#include <QHeaderView>
#include <QTableView>

#include <QListWidget>
#include <QPushButton>
#include <QTableView>

#include "content/FungiTestSupport.h"
#include "controls/FRMemos.h"
#include "controls/FRTitlePicture.h"
#include "controls/FlatPageControl.h"
#include "core/FRIniFile.h"
#include "core/unitDMServices.h"
#include "platform/Exception.h"
#include "platform/UIServices.h"

namespace {

bool Shown(QWidget* w) { return w && !w->isHidden(); }

// The notes rows of the current species, in their order.
QStringList NoteRows(TExtClientDataSet* notes, QList<int>* numbers = nullptr) {
    QStringList rows;
    QList<std::pair<int, QString>> all;
    for (int row = 0; row < notes->RecordCount(); ++row)
        all.append({notes->RecordValue(row, notes->FieldByName("RowNo")->Index()).toInt(),
                    notes->RecordValue(row, notes->FieldByName("RowText")->Index()).toString()});
    std::sort(all.begin(), all.end());
    for (const auto& [no, text] : all) {
        rows << text;
        if (numbers) *numbers << no;
    }
    return rows;
}

}  // namespace

class TestFrameFungi : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void column_data();
    void column();
    void column_noSwedishNames_latinRowAtTop();
    void pages_data();
    void pages();
    void pages_unknownState_keepsThePage();
    void header_countsAndSelection();
    void lastVisited_data();
    void lastVisited();
    void mainPicture_missingFile_showsStockPicture();
    void notes_savedAsNumberedRows_data();
    void notes_savedAsNumberedRows();
    void notes_lockBrowsingWhileEdited();
    void notes_cancel_reloadsStored();
    void notes_failedSave_keepsStoredAndTyped();
    void clearSelection_showsEverySpecies();
    void history_restoresSpeciesAndSubScreen();
    void cutNoteLine_data();
    void cutNoteLine();
    void screenshots_data();
    void screenshots();
};

void TestFrameFungi::column_data() {
    QTest::addColumn<FieldValues>("changes");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("hidden");
    QTest::newRow("not a cap fungus")
        << FieldValues{{"HatFungi", 1}}
        << QStringList{"Fruktkr. bredd:", "Fruktkr. höjd:", "Fruktkropp, färg:", "Matvärde:"}
        << QStringList{"Hattundersida:", "Skivor, färg:",  "Skivor, växtsätt:", "Skivor, täthet:",
                       "Fjällig hatt:",  "Strimmig hatt:", "Prickig hatt:",     "Fot, tjocklek:",
                       "Fot, färg:",     "Ring på foten:", "Hatt, storlek:",    "Hatt, färg:"};
    QTest::newRow("cap fungus with gills")
        << FieldValues{} << QStringList{"Hattundersida:", "Skivor, färg:", "Skivor, växtsätt:", "Skivor, täthet:",
                                        "Hatt, storlek:", "Hatt, färg:",   "Fot, tjocklek:",    "Ring på foten:"}
        << QStringList{"Fruktkr. höjd:", "Fruktkr. bredd:"};
    QTest::newRow("cap fungus with pores")
        << FieldValues{{"HatSubType", 1}} << QStringList{"Rör, växtsätt:", "Rör, storlek:", "Rör, färg:"}
        << QStringList{"Skivor, färg:"};
    QTest::newRow("cap fungus with teeth")
        << FieldValues{{"HatSubType", 2}} << QStringList{"Taggar, färg:", "Hattundersida:"}
        << QStringList{"Skivor, växtsätt:", "Skivor, täthet:", "Rör, växtsätt:", "Rör, storlek:"};
    QTest::newRow("parboiling not needed") << FieldValues{{"CookingRequired", 1}} << QStringList{"Avkokning krävs:"}
                                           << QStringList{"Matvärde före förvällning:"};
    QTest::newRow("parboiling needed") << FieldValues{{"CookingRequired", 0}}
                                       << QStringList{"Matvärde före förvällning:"} << QStringList{};
    QTest::newRow("completed by the program")
        << FieldValues{{"CompletedBy", BuiltInCompleterKey}} << QStringList{} << QStringList{"Kompletterad av:"};
    QTest::newRow("completed by a contact")
        << FieldValues{{"CompletedBy", ""}} << QStringList{"Kompletterad av:"} << QStringList{};
    QTest::newRow("no meat juice") << FieldValues{{"VisibleMeatJuice", 3}} << QStringList{"Synlig köttsaft:"}
                                   << QStringList{"Köttsaft, färg:"};
    QTest::newRow("meat juice") << FieldValues{{"VisibleMeatJuice", 1}} << QStringList{"Köttsaft, färg:"}
                                << QStringList{};
    QTest::newRow("no group") << FieldValues{{"FungiGroup", ""}} << QStringList{} << QStringList{"Grupp:", "Signatur:"};
}

void TestFrameFungi::column() {
    QFETCH(FieldValues, changes);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, hidden);
    FungiFixture f;
    FieldValues species = CapFungus("Kantarell", "Cantharellus cibarius");
    SetValues(species, changes);
    f.AddSpecies(species);
    f.screen->Activate(QString());
    QCOMPARE(f.Frame()->ShownPageName(), QString("tabsFullData"));
    for (const QString& caption : shown) QVERIFY2(Shown(f.Frame()->RowLabel(caption)), qPrintable(caption));
    for (const QString& caption : hidden) {
        QLabel* label = f.Frame()->RowLabel(caption);
        QVERIFY2(!label || !Shown(label), qPrintable(caption));
    }
    // A label and its field share one line.
    QCOMPARE(f.Frame()->RowLabel("Matvärde:")->y(), f.Frame()->RowField("FoodValue1")->y());
    // The closed spore panel's hint is whole on its line.
    QLabel* hint = f.Frame()->lblSporeHint;
    QVERIFY(Shown(hint));
    QVERIFY2(hint->fontMetrics().horizontalAdvance(hint->text()) <= hint->contentsRect().width(),
             qPrintable(QString::number(hint->fontMetrics().horizontalAdvance(hint->text()))));
    QVERIFY(hint->geometry().right() < hint->parentWidget()->width());
    QCOMPARE(Shown(f.Frame()->RowField("FoodValue2")), species.contains({"CookingRequired", 0}));
    if (changes.contains({"CompletedBy", ""}))
        QCOMPARE(qobject_cast<QLabel*>(f.Frame()->RowField("CompletedBy"))->text(), QString("Mykotekshallen"));
}

void TestFrameFungi::column_noSwedishNames_latinRowAtTop() {
    FungiFixture f;
    const QString key = f.AddSpecies("Kantarell", "Cantharellus cibarius");
    f.screen->Activate(QString());
    QCOMPARE(f.Frame()->RowLabel("Latinska namn:")->y(), 30);
    QVERIFY(!Shown(f.Frame()->listSwedishNames));
    // Two Swedish names: the list takes two lines and the Latin row follows it.
    f.AddDetail(f.dm->cdsSwedishNames, key, {{"SwedishName", "Kantarell"}});
    f.AddDetail(f.dm->cdsSwedishNames, key, {{"SwedishName", "Gulsvamp"}});
    f.screen->UpdateFrame();
    QVERIFY(Shown(f.Frame()->listSwedishNames));
    QCOMPARE(f.Frame()->listSwedishNames->count(), 2);
    QCOMPARE(f.Frame()->listSwedishNames->height(), 28);
    QCOMPARE(f.Frame()->RowLabel("Latinska namn:")->y(), 30 + 2 * 15 + 5);
}

void TestFrameFungi::pages_data() {
    QTest::addColumn<QString>("state");
    QTest::addColumn<bool>("completeButton");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("infoStart");
    QTest::newRow("complete") << "CPLD" << false << "tabsFullData"
                              << "";
    QTest::newRow("in progress") << "CPNG" << false << "tabsIncomplete"
                                 << "Den här artbeskrivningen håller på";
    QTest::newRow("not completed, button shown")
        << "UNCP" << true << "tabsIncomplete"
        << "Den här arten saknar ännu en fullständig beskrivning.\n\nHär visas bara artens namn. Klicka";
    QTest::newRow("not completed, no button")
        << "UNCP" << false << "tabsIncomplete"
        << "Den här arten saknar ännu en fullständig beskrivning.\n\nHär visas bara artens namn. När";
}

void TestFrameFungi::pages() {
    QFETCH(QString, state);
    QFETCH(bool, completeButton);
    QFETCH(QString, page);
    QFETCH(QString, infoStart);
    FungiFixture f;
    f.settings->WriteBool("Settings/CompleteButton", completeButton);
    FieldValues species = CapFungus("Kantarell", "Cantharellus cibarius");
    SetValues(species, {{"FungiData", state}});
    f.AddSpecies(species);
    f.screen->Activate(QString());
    QCOMPARE(f.Frame()->ShownPageName(), page);
    QCOMPARE(!f.Frame()->btnComplete->isHidden(), completeButton);
    if (!infoStart.isEmpty())
        QVERIFY2(f.Frame()->lblIncompleteInfo->text().startsWith(infoStart),
                 qPrintable(f.Frame()->lblIncompleteInfo->text()));
    // The table mode shows the grid, whatever the state.
    f.Frame()->ModeClick(2);
    QCOMPARE(f.Frame()->ShownPageName(), QString("tabsTable"));
    QCOMPARE(f.Frame()->gridFungi->model()->headerData(0, Qt::Horizontal).toString(), QString("Svenskt namn"));
    f.Frame()->ModeClick(1);
    QCOMPARE(f.Frame()->ShownPageName(), page);
}

void TestFrameFungi::pages_unknownState_keepsThePage() {
    FungiFixture f;
    f.AddSpecies("Kantarell", "Cantharellus cibarius");
    FieldValues odd = CapFungus("Karljohan", "Boletus edulis");
    SetValues(odd, {{"FungiData", "XXXX"}});
    f.AddSpecies(odd);
    f.screen->SetSortOrder(0);
    f.screen->Activate(QString());
    f.Fungi()->First();
    f.screen->UpdateFrame();
    QCOMPARE(f.Frame()->ShownPageName(), QString("tabsFullData"));
    f.Frame()->BrowseClick(3);
    QCOMPARE(f.Fungi()->FieldByName("FungiData")->AsString(), QString("XXXX"));
    QCOMPARE(f.Frame()->ShownPageName(), QString("tabsFullData"));
    // No species at all: the empty page.
    f.Select({"Str(LatinName = \"Ingen\")"});
    f.screen->UpdateFrame();
    QCOMPARE(f.Frame()->ShownPageName(), QString("tabsNoData"));
}

void TestFrameFungi::header_countsAndSelection() {
    FungiFixture f;
    for (const char* name : {"Ana", "Bea", "Cia", "Dan", "Eva", "Fia"}) f.AddSpecies(name, QString(name) + " latin");
    f.screen->Activate(QString());
    f.screen->SetSortOrder(1);
    f.Fungi()->First();
    f.screen->UpdateFrame();
    QCOMPARE(f.Frame()->panelFrameHeader->text(), QString("   Artbeskrivning 1 av 6 (urval ej aktivt)"));
    f.Select({"Str(SwedishName <> \"Fia\")"});
    f.Fungi()->First();
    f.Frame()->BrowseClick(3);
    QCOMPARE(f.Frame()->panelFrameHeader->text(), QString("   Artbeskrivning 2 av 5 (urval aktivt)"));
    // At the start, first and prior are ignored; at the end, next and last.
    f.Frame()->BrowseClick(4);
    QCOMPARE(f.Fungi()->RecNo(), 5);
    f.Frame()->BrowseClick(3);
    QCOMPARE(f.Fungi()->RecNo(), 5);
    f.Frame()->BrowseClick(1);
    QCOMPARE(f.Frame()->panelFrameHeader->text(), QString("   Artbeskrivning 1 av 5 (urval aktivt)"));
}

void TestFrameFungi::lastVisited_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("recNo");
    QTest::newRow("the second species") << "<second>" << 2;
    QTest::newRow("too short") << "020AAAA" << 1;
    QTest::newRow("empty") << "" << 1;
    QTest::newRow("no species has it") << "020AAAAAAAAAAAAAZZ" << 1;
}

void TestFrameFungi::lastVisited() {
    QFETCH(QString, stored);
    QFETCH(int, recNo);
    FungiFixture f;
    f.AddSpecies("Ana", "A");
    const QString second = f.AddSpecies("Bea", "B");
    f.AddSpecies("Cia", "C");
    f.settings->WriteString("Fungi/LastVisited", stored == "<second>" ? second : stored);
    f.settings->WriteInteger("Fungi/SortOrder", 1);
    f.settings->WriteInteger("Fungi/SubScreenIndex", 2);
    f.Fungi()->Last();
    f.screen->Activate(QString());
    QCOMPARE(f.Fungi()->RecNo(), recNo);
    QCOMPARE(int(f.screen->SortOrder()), 1);
    QCOMPARE(f.Frame()->SubScreenIndex, 2);
    QCOMPARE(f.Frame()->CurrentSubScreen(), static_cast<TFRFungiSubScreen*>(f.screen->MixupScreen));
    // Leaving writes them back.
    f.Frame()->BrowseClick(4);
    f.Frame()->ShowSubScreen(4);
    ScreenHost()->HideCurrentScreen();
    QCOMPARE(f.settings->ReadString("Fungi/LastVisited"), GetUKey(f.Fungi()));
    QCOMPARE(f.settings->ReadInteger("Fungi/SubScreenIndex"), 4);
}

void TestFrameFungi::mainPicture_missingFile_showsStockPicture() {
    FungiFixture f;
    FieldValues species = CapFungus("Kantarell", "Cantharellus cibarius");
    SetValues(species, {{"HasPic", true}});
    const QString key = f.AddSpecies(species);
    f.ui.AnswerBoxes(UIServices::TMsgResult::OK);
    f.screen->Activate(QString());
    QVERIFY(!f.Frame()->picMain->Picture().isNull());
    QCOMPARE(f.Frame()->picMain->Caption(), QString());
    QVERIFY(UIServices::MessageLog().isEmpty());
    // With its file the picture is shown with the species' name.
    QDir().mkpath(GetMainPicFolder());
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::red);
    QVERIFY(image.save(GetMainPicFile(key), "JPG"));
    f.screen->UpdateFrame();
    QCOMPARE(f.Frame()->picMain->Picture().size(), QSize(40, 30));
    QCOMPARE(f.Frame()->picMain->Caption(), QString("Kantarell"));
    // A damaged file is no error box either.
    QVERIFY(testsupport::WriteBytes(GetMainPicFile(key), "inte en bild"));
    f.screen->UpdateFrame();
    QVERIFY(f.Frame()->picMain->Picture().size() != QSize(40, 30));
    QVERIFY(UIServices::MessageLog().isEmpty());
}

void TestFrameFungi::notes_savedAsNumberedRows_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("three lines") << "Första raden\nAndra raden\nTredje raden"
                                 << QStringList{"Första raden", "Andra raden", "Tredje raden"};
    const QString word = "svamparna ";  // ten characters
    QString longLine;
    for (int i = 0; i < 20; ++i) longLine += word;
    longLine.chop(1);  // 199 characters
    longLine += "!";  // 200
    QTest::newRow("a line of 200 characters")
        << longLine << QStringList{word.repeated(8), word.repeated(8), word.repeated(3) + "svamparna!"};
}

void TestFrameFungi::notes_savedAsNumberedRows() {
    QFETCH(QString, typed);
    QFETCH(QStringList, rows);
    FungiFixture f;
    const QString key = f.AddSpecies("Kantarell", "Cantharellus cibarius");
    f.AddDetail(f.dm->cdsFungiPrivateTexts, key, {{"RowFlag", 0}, {"RowNo", 1}, {"RowText", "Gammal rad"}});
    f.screen->Activate(QString());
    QCOMPARE(f.Frame()->memoPrivate->toPlainText(), QString("Gammal rad"));
    QVERIFY(!f.Frame()->EditingNotes);
    f.Frame()->memoPrivate->setPlainText(typed);
    QVERIFY(f.Frame()->EditingNotes);
    QVERIFY(Shown(f.Frame()->btnSaveNotes));
    f.Frame()->SaveNotesClick();
    QVERIFY(!f.Frame()->EditingNotes);
    QVERIFY(!Shown(f.Frame()->btnSaveNotes));
    QList<int> numbers;
    QCOMPARE(NoteRows(f.dm->cdsFungiPrivateTexts, &numbers), rows);
    QList<int> expected;
    for (int i = 1; i <= rows.size(); ++i) expected << i;
    QCOMPARE(numbers, expected);
    for (const QString& row : rows) QVERIFY(row.size() <= NoteRowWidth);
    QCOMPARE(rows.join(QString()), QString(typed).remove('\n'));
    // Stored in the file, and shown again as those rows.
    QCOMPARE(UserFixture::FileRecordCount(f.Folder() + "Data/Db/FungiPrivateTexts.dat"), int(rows.size()));
    QCOMPARE(f.Frame()->memoPrivate->toPlainText(), rows.join('\n'));
}

void TestFrameFungi::notes_lockBrowsingWhileEdited() {
    FungiFixture f;
    f.AddSpecies("Ana", "A");
    f.AddSpecies("Bea", "B");
    f.screen->Activate(QString());
    f.screen->SetSortOrder(1);
    f.Fungi()->First();
    f.screen->UpdateFrame();
    f.Frame()->memoPrivate->setPlainText("Växer vid stigen");
    QVERIFY(f.Frame()->EditingNotes);
    QVERIFY(!f.Frame()->BrowseEnabled());
    QVERIFY(!f.Frame()->SubScreenButton(1)->isEnabled());
    QVERIFY(!ScreenHost()->NavigationEnabled());
    f.Frame()->BrowseClick(3);
    QCOMPARE(f.Fungi()->RecNo(), 1);
    QCOMPARE(f.Frame()->memoPrivate->toPlainText(), QString("Växer vid stigen"));
    f.Frame()->SaveNotesClick();
    QVERIFY(f.Frame()->BrowseEnabled());
    QVERIFY(ScreenHost()->NavigationEnabled());
    f.Frame()->BrowseClick(3);
    QCOMPARE(f.Fungi()->RecNo(), 2);
    QCOMPARE(f.Frame()->memoPrivate->toPlainText(), QString());
    f.Frame()->BrowseClick(2);
    QCOMPARE(f.Frame()->memoPrivate->toPlainText(), QString("Växer vid stigen"));
}

void TestFrameFungi::notes_cancel_reloadsStored() {
    FungiFixture f;
    const QString key = f.AddSpecies("Kantarell", "Cantharellus cibarius");
    f.AddDetail(f.dm->cdsFungiPrivateTexts, key, {{"RowFlag", 0}, {"RowNo", 1}, {"RowText", "Sparad"}});
    f.screen->Activate(QString());
    f.Frame()->memoPrivate->setPlainText("Ändrad");
    f.Frame()->CancelNotesClick();
    QVERIFY(!f.Frame()->EditingNotes);
    QVERIFY(f.Frame()->BrowseEnabled());
    QCOMPARE(f.Frame()->memoPrivate->toPlainText(), QString("Sparad"));
    QCOMPARE(NoteRows(f.dm->cdsFungiPrivateTexts), QStringList{"Sparad"});
}

void TestFrameFungi::notes_failedSave_keepsStoredAndTyped() {
    FungiFixture f;
    const QString key = f.AddSpecies("Kantarell", "Cantharellus cibarius");
    f.AddDetail(f.dm->cdsFungiPrivateTexts, key, {{"RowFlag", 0}, {"RowNo", 1}, {"RowText", "Sparad ett"}});
    f.AddDetail(f.dm->cdsFungiPrivateTexts, key, {{"RowFlag", 0}, {"RowNo", 2}, {"RowText", "Sparad två"}});
    f.screen->Activate(QString());
    f.Frame()->memoPrivate->setPlainText("Ny ett\nNy två\nNy tre");
    // The second new row fails on its way in.
    int posts = 0;
    QObject context;
    f.dm->cdsFungiPrivateTexts->AddObserver(TDataSetEvent::BeforePost, &context, [&](TClientDataSet*) {
        if (++posts == 2) throw Exception("Skrivfel");
    });
    QCOMPARE(testsupport::ExceptionText([&] { f.Frame()->SaveNotesClick(); }), QString("Skrivfel"));
    QCOMPARE(NoteRows(f.dm->cdsFungiPrivateTexts), (QStringList{"Sparad ett", "Sparad två"}));
    QCOMPARE(UserFixture::FileRecordCount(f.Folder() + "Data/Db/FungiPrivateTexts.dat"), 2);
    QVERIFY(f.dm->cdsFungiPrivateTexts->AutoSave());
    // What was typed is still there to save again.
    QVERIFY(f.Frame()->EditingNotes);
    QCOMPARE(f.Frame()->memoPrivate->toPlainText(), QString("Ny ett\nNy två\nNy tre"));
    f.dm->cdsFungiPrivateTexts->RemoveObservers(&context);
    f.Frame()->SaveNotesClick();
    QCOMPARE(NoteRows(f.dm->cdsFungiPrivateTexts), (QStringList{"Ny ett", "Ny två", "Ny tre"}));
    QCOMPARE(UserFixture::FileRecordCount(f.Folder() + "Data/Db/FungiPrivateTexts.dat"), 3);
}

void TestFrameFungi::clearSelection_showsEverySpecies() {
    FungiFixture f;
    FieldValues incomplete = CapFungus("Flugsvamp", "Amanita muscaria");
    SetValues(incomplete, {{"FungiData", "UNCP"}});
    f.AddSpecies(incomplete);
    TDMServices* services = TDMServices::Of(f.dm.get());
    TQuickSelectionHandler& handler = services->QuickSelection();
    handler.Complete = true;
    handler.CompleteLocked = true;
    services->BuildQuickSelection(false);
    f.screen->Activate(QString());
    QCOMPARE(f.Frame()->ShownPageName(), QString("tabsNoData"));
    f.Frame()->btnClearSelection->click();
    QVERIFY(f.Fungi()->Sel().isEmpty());
    QCOMPARE(f.Fungi()->RecordCount(), 1);
    QVERIFY(!handler.Complete);
    QCOMPARE(f.Frame()->ShownPageName(), QString("tabsIncomplete"));
}

void TestFrameFungi::history_restoresSpeciesAndSubScreen() {
    FungiFixture f;
    const QString a = f.AddSpecies("Ana", "A");
    const QString b = f.AddSpecies("Bea", "B");
    f.AddDetail(f.dm->cdsFungiFinds, a, {{"FindDate", QDate(2026, 8, 1)}});
    const QString findA = f.AddDetail(f.dm->cdsFungiFinds, a, {{"FindDate", QDate(2026, 8, 2)}});
    f.settings->WriteInteger("Fungi/SortOrder", 1);
    f.settings->WriteString("Fungi/LastVisited", a);
    f.screen->Activate(QString());
    f.Frame()->ShowSubScreen(1);
    QVERIFY(LocateUKey(f.dm->cdsFungiFinds, findA));
    std::unique_ptr<TFRHistoryItem> look(f.Frame()->CreateHistoryItem());
    QCOMPARE(look->Title, QString("Till Artbeskrivningar - Ana"));
    QCOMPARE(look->Values("SubScreenIndex"), QString("1"));
    QCOMPARE(look->Values("SubScreenUKey"), findA);
    // A search moves on to Bea and leaves an item for Ana with her finds.
    f.Frame()->SearchPerformed(b);
    QCOMPARE(GetUKey(f.Fungi()), b);
    f.Frame()->ShowSubScreen(2);
    History()->Back();
    QCOMPARE(GetUKey(f.Fungi()), a);
    QCOMPARE(f.Frame()->CurrentSubScreen(), static_cast<TFRFungiSubScreen*>(f.screen->FindScreen));
    QCOMPARE(GetUKey(f.dm->cdsFungiFinds), findA);
    History()->Forward();
    QCOMPARE(GetUKey(f.Fungi()), b);
    QCOMPARE(f.Frame()->CurrentSubScreen(), static_cast<TFRFungiSubScreen*>(f.screen->MixupScreen));
}

void TestFrameFungi::cutNoteLine_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("width");
    QTest::addColumn<QStringList>("pieces");
    QTest::newRow("short") << "kort rad" << 80 << QStringList{"kort rad"};
    QTest::newRow("empty") << "" << 80 << QStringList{""};
    QTest::newRow("at a blank") << "abc def ghi" << 8 << QStringList{"abc def ", "ghi"};
    QTest::newRow("no blank") << "abcdefghij" << 4 << QStringList{"abcd", "efgh", "ij"};
    QTest::newRow("blanks kept") << "ab   cd" << 3 << QStringList{"ab ", "  ", "cd"};
}

void TestFrameFungi::cutNoteLine() {
    QFETCH(QString, line);
    QFETCH(int, width);
    QFETCH(QStringList, pieces);
    QCOMPARE(CutNoteLine(line, width), pieces);
    QCOMPARE(pieces.join(QString()), line);
}

void TestFrameFungi::screenshots_data() {
    QTest::addColumn<QString>("latin");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("mode");
    QTest::newRow("edible") << "Cantharellus cibarius"
                            << "edible" << 1;
    QTest::newRow("deadly") << "Amanita virosa"
                            << "deadly" << 1;
    QTest::newRow("no cap") << "Morchella esculenta"
                            << "nocap" << 1;
    QTest::newRow("incomplete") << "<UNCP>"
                                << "incomplete" << 1;
    QTest::newRow("table") << "Cantharellus cibarius"
                           << "table" << 2;
    QTest::newRow("empty") << "<none>"
                           << "empty" << 1;
}

void TestFrameFungi::screenshots() {
    QFETCH(QString, latin);
    QFETCH(QString, name);
    QFETCH(int, mode);
    // The shipped catalogue in a program folder of the test's own.
    QTemporaryDir dir;
    const QString program = testsupport::ProgramDir();
    QVERIFY2(QFile::exists(program + "/Data/Db/Fungi.dat"),
             "the build has not laid the catalogue into the program folder");
    for (const QString sub : {"Data/Db", "Data/Pics", "Data/Pics/MainPics", "Data/Pics/FungiPics",
                              "Data/Pics/FungiPicThumbs", "Data/Res"}) {
        QDir().mkpath(dir.path() + "/" + sub);
        for (const QString& file : QDir(program + "/" + sub).entryList(QDir::Files))
            QFile::copy(program + "/" + sub + "/" + file, dir.path() + "/" + sub + "/" + file);
    }
    SetProgramFolder(dir.path());
    testsupport::UIServicesGuard ui;
    auto dm = std::make_unique<TDM>(dir.path());
    TDMServices::Install(dm.get());
    TFRIniFile settings;
    settings.SetDefaults(TFRIniFile::ProgramDefaults());
    TUserEnvironment env;
    env.DM = dm.get();
    env.Settings = &settings;
    SetUserEnvironment(env);
    // The table with a larger system font, as on a desktop set up so: the names still fit.
    const QFont usual = QApplication::font();
    if (mode == 2) {
        QFont larger = usual;
        larger.setPointSizeF(usual.pointSizeF() * 1.5);
        QApplication::setFont(larger);
    }
    const auto restoreFont = qScopeGuard([&usual] { QApplication::setFont(usual); });
    {
        TestMainWindow window;
        window.show();
        auto* screen = static_cast<TFRFungiScreen*>(CreateFungiScreen(&window));
        TExtClientDataSet* fungi = dm->cdsFungi;
        QString key;
        const int latinField = fungi->FieldByName("LatinName")->Index();
        for (int row = 0; row < fungi->RecordCount() && key.isEmpty(); ++row) {
            const QString state = fungi->RecordValue(row, fungi->FieldByName("FungiData")->Index()).toString();
            if (latin == "<UNCP>" ? state != "CPLD" : fungi->RecordValue(row, latinField).toString() == latin)
                key = fungi->RecordValue(row, fungi->FieldByName("UKey")->Index()).toString();
        }
        if (latin == "<none>") {
            fungi->SetSel({"Str(LatinName = \"Ingen\")"});
            fungi->LoadData();
        } else {
            QVERIFY2(!key.isEmpty(), qPrintable(latin));
            settings.WriteString("Fungi/LastVisited", key);
        }
        screen->Activate(QString());
        auto* frame = screen->FungiFrame();
        frame->ModeClick(mode);
        if (name == "edible") screen->SetShowSporeInfo(true);
        for (const QSize size : {QSize(800, 600), QSize(1280, 1024)}) {
            window.resize(size);
            QCoreApplication::processEvents();
            screen->UpdateFrame();
            // The table's columns are sized once the loop has run.
            QTest::qWait(20);
            QVERIFY(window.grab().save(QString("%1/fungi_%2_%3x%4.png")
                                           .arg(testsupport::ArtefactDir(), name)
                                           .arg(size.width())
                                           .arg(size.height())));
        }
        if (mode == 2) {
            // Every name whole: the name columns are as wide as their longest entries.
            QTableView* grid = frame->gridFungi;
            for (int column : {0, 1})
                for (int row = 0; row < grid->model()->rowCount(); ++row) {
                    const QModelIndex index = grid->model()->index(row, column);
                    QVERIFY2(grid->horizontalHeader()->sectionSize(column) >= grid->sizeHintForIndex(index).width(),
                             qPrintable(index.data().toString()));
                }
        }
        if (name != "empty" && mode == 1 && latin != "<UNCP>") {
            QCOMPARE(frame->ShownPageName(), QString("tabsFullData"));
            QVERIFY(frame->picMain->Caption().size() > 0);
        }
    }
    SetUserEnvironment({});
    dm.reset();
    SetProgramFolder(QString());
}

QTEST_MAIN(TestFrameFungi)
#include "tst_framefungi.moc"
