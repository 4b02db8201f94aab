// The identification key on screen: questions answered on a small table of species, the
// selection made and shown as a table and as big pictures, a species opened on the species
// screen and back again, a refused size that changes nothing, the remembered settings, and
// screenshots of the key frame.
#include <QtTest>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTableView>
#include <QTemporaryDir>

#include "content/key/KeySelection.h"
#include "content/key/unitFrameKeys.h"
#include "content/key/unitKeyScreen.h"
#include "controls/FREdits.h"
#include "controls/FRKeyPanel.h"
#include "controls/FRMultiChoice.h"
#include "core/ExtClientDataSet.h"
#include "shell/FRHistory.h"
#include "core/FRIniFile.h"
#include "core/ProgramFolders.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "shell/unitMain.h"
#include "support/TestSupport.h"
#include "support/VisualTestSupport.h"

namespace {

// The species screen as far as the key needs it: a screen in its slot whose frame shows
// the current species.
class StandInSpeciesScreen : public TFRMainScreen {
public:
    explicit StandInSpeciesScreen(QObject* owner) : TFRMainScreen(owner) {}
    void Initialize() override {
        MenuButton()->setText(QStringLiteral("Artbeskrivningar"));
        TFRMainScreen::Initialize();
    }
    void CreateFrame() override {
        if (!Frame()) SetFrame(TFRFrameBase::Create<TFRFrameBase>());
    }
    void Activate(const QString& params) override {
        ++activations;
        TFRMainScreen::Activate(params);
    }
    int activations = 0;
};

struct Species {
    const char* Swedish;
    const char* Latin;
    const char* Data;
    int Hat;
    const char* Season;
    const char* Smell;
    bool HasPic;
    const char* Habitat;
};

const Species kSpecies[] = {
    {"Kantarell", "Cantharellus cibarius", "CPLD", 0, "000001111100", "Mild", false, "110100010000000"},
    {"Flugsvamp", "Amanita muscaria", "CPLD", 0, "000000001110", "Mild", false, "110100010000000"},
    {"Karljohan", "Boletus edulis", "CPLD", 0, "000000111100", "Okänd", true, "100110000000000"},
    {"Tegelticka", "Daedaleopsis confragosa", "CPLD", 1, "111111111111", "Mild", false, "010000010000100"},
    {"Ofullständig", "Species incompleta", "", 0, "000000111100", "Mild", false, "100000000000000"},
    {"Kryddspindling", "Cortinarius sp.", "CPLD", 0, "000000111100", "Kryddig", false, "100100000000000"},
};

struct KeyFixture {
    testsupport::UIServicesGuard ui;
    QTemporaryDir dir;
    std::unique_ptr<TDM> dm;
    std::unique_ptr<TformFRMain> main;
    QStringList errors;
    QMap<QString, QString> keys;  // Swedish name -> key

    // With the catalogue the program ships (its table files and drawn main pictures) instead
    // of the small table.
    explicit KeyFixture(bool catalogue = false) {
        SetProgramFolder(dir.path());
        if (catalogue) {
            const QString staging = qEnvironmentVariable("MYKO_BUILD_DIR", QDir::currentPath()) + "/catalogue";
            for (const auto& [from, to] : {std::pair{QString("/Db"), QString("Data/Db")},
                                           std::pair{QString("/MainPics"), QString("Data/Pics/MainPics")}}) {
                QDir().mkpath(dir.filePath(to));
                for (const QString& name : QDir(staging + from).entryList(QDir::Files))
                    QFile::copy(staging + from + "/" + name, dir.filePath(to + "/" + name));
            }
        }
        ui.Messages([this](const UIServices::TShownMessage& m) {
            errors << m.Text;
            return UIServices::TMsgResult::OK;
        });
        dm = std::make_unique<TDM>(dir.path());
        TDMServices::Install(dm.get());
        TExtClientDataSet* fungi = dm->cdsFungi;
        for (const Species& s : kSpecies) {
            if (catalogue) break;
            fungi->Append();
            fungi->FieldByName("SwedishName")->SetAsString(QString::fromUtf8(s.Swedish));
            fungi->FieldByName("LatinName")->SetAsString(QString::fromUtf8(s.Latin));
            fungi->FieldByName("FungiData")->SetAsString(QString::fromUtf8(s.Data));
            fungi->FieldByName("HatFungi")->SetAsString(QString::number(s.Hat));
            fungi->FieldByName("Season")->SetAsString(QString::fromUtf8(s.Season));
            fungi->FieldByName("Smell")->SetAsString(QString::fromUtf8(s.Smell));
            fungi->FieldByName("Taste")->SetAsString(QStringLiteral("Mild"));
            fungi->FieldByName("Habitat")->SetAsString(QString::fromUtf8(s.Habitat));
            fungi->FieldByName("HasPic")->SetAsBoolean(s.HasPic);
            fungi->Post();
            keys.insert(QString::fromUtf8(s.Swedish), GetUKey(fungi));
        }
        // The one main picture, a drawn cap on a green ground.
        QImage picture(640, 480, QImage::Format_RGB32);
        picture.fill(QColor(70, 140, 60));
        QPainter p(&picture);
        p.setBrush(QColor(120, 70, 30));
        p.drawEllipse(170, 80, 300, 180);
        p.setBrush(QColor(230, 220, 190));
        p.drawRect(280, 240, 80, 200);
        p.end();
        QDir().mkpath(GetMainPicFolder());
        if (!catalogue) QVERIFY(picture.save(GetMainPicFile(keys["Karljohan"]), "JPG"));

        main = std::make_unique<TformFRMain>();
        main->SetDataModule(dm.get());
        main->inifileMain->SetFilename(dir.filePath("settings.ini"));
        main->inifileMain->Open();
        errors.clear();
        TformFRMain::ClearScreenFactories();
        RegisterKeyScreen();
        TformFRMain::RegisterScreenFactory(
            ssFungi, [](TformFRMain* owner) { return TFRScreen::Create<StandInSpeciesScreen>(owner); });
        main->CreateScreens();
        SetKeySpeciesHooks({});
        SetKeySpeciesSelection(false);
        SetKeySpeciesSortOrder(1);
        main->resize(1024, 768);
        main->show();
        QVERIFY(QTest::qWaitForWindowExposed(main.get()));
        main->activateWindow();
    }
    ~KeyFixture() {
        main.reset();
        TformFRMain::ClearScreenFactories();
        SetKeySpeciesSelection(false);
        SetProgramFolder(QString());
    }

    TFRKeyScreen* Key() const { return qobject_cast<TFRKeyScreen*>(main->Screen(ssKey)); }
    StandInSpeciesScreen* SpeciesScreen() const { return static_cast<StandInSpeciesScreen*>(main->Screen(ssFungi)); }
    TframeKeys* Frame() const { return Key()->KeysFrame(); }
    TFRKeyPanel* Panel(int question) const { return Frame()->Panel(question); }

    // Answers an options question by clicking its option as a user would.
    void Choose(int question, int option) {
        TFRKeyPanel* panel = Panel(question);
        QTest::mouseClick(panel->QuestionLabel(), Qt::LeftButton);
        QTRY_VERIFY(panel->Expanded());
        QTest::mouseClick(panel->Choice(), Qt::LeftButton, {}, panel->Choice()->ItemRect(option).center());
        QVERIFY(panel->GetOptionSelected(option));
    }
    void Type(int question, const QString& text) {
        TFRKeyPanel* panel = Panel(question);
        QTest::mouseClick(panel->QuestionLabel(), Qt::LeftButton);
        QTRY_VERIFY(panel->Expanded());
        QTest::keyClicks(panel->InputEdit(), text);
    }
    QStringList Names() const {
        QStringList names;
        TExtClientDataSet* fungi = dm->cdsFungi;
        for (fungi->First(); !fungi->Eof(); fungi->Next()) names << fungi->FieldByName("SwedishName")->AsString();
        return names;
    }
    int RowOf(const QString& swedish) const { return Names().indexOf(swedish); }
    void Shot(const QString& name, QSize size) {
        main->resize(size);
        QApplication::processEvents();
        QVERIFY(main->grab().save(testsupport::ArtefactDir() + "/" + name + ".png"));
    }
};

}  // namespace

class TestKey : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void answersSelectShowAndOpen();
    void refusedSizeChangesNothing();
    void failingSelectionShowsEverySpecies();
    void questionsFollowTheCapAnswer();
    void regionsQuestionShowsTheRegionsPicture();
    void settingsAreReadSafely_data();
    void settingsAreReadSafely();
    void emptyAllKeepsTheSelection();
    void tableMarksTheChosenSpeciesAfterBack();
    void sortingOrdersTheResults();
    void colourQuestionsUseTheColourDialog();
    void screenshots();
    void screenshotsOfTheCatalogue();
};

void TestKey::answersSelectShowAndOpen() {
    KeyFixture f;
    f.Key()->Navigate();
    QVERIFY(f.Frame());
    QCOMPARE(f.Key()->MenuButton()->text(), QString("Svampnyckel"));
    QCOMPARE(f.Frame()->pagesResult->currentWidget(), f.Frame()->tabsInfo);

    f.Choose(kqHatFungi, 0);  // a cap fungus
    f.Choose(kqSeason, 7);  // found in August
    f.Choose(kqSmell, 0);  // mild smell
    QVERIFY(f.Panel(kqHatSize)->Active());
    QVERIFY(!f.Panel(kqBodySize)->Active());
    f.Frame()->sbtnMakeSelection->click();
    QCOMPARE(f.errors, QStringList());
    QVERIFY(KeySpeciesSelection());
    QCOMPARE(f.Names(), QStringList({"Kantarell", "Karljohan"}));
    QCOMPARE(f.Frame()->pagesResult->currentWidget(), f.Frame()->tabsTable);
    QCOMPARE(f.Frame()->lblSelCountTable->text(), QString("   2 (av 5) matchande arter hittade"));
    QCOMPARE(f.Frame()->dbgridMain->model()->rowCount(), 2);
    QCOMPARE(f.Frame()->dbgridMain->model()->headerData(0, Qt::Horizontal).toString(), QString("Svenskt namn:"));

    // The big pictures: the main picture or its absence, decoded once.
    f.Frame()->sbtnShowBigPics->click();
    QCOMPARE(f.Frame()->pagesResult->currentWidget(), f.Frame()->tabsBigPic);
    QListWidget* list = f.Frame()->listboxBigPics;
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(0)->text(), QString("NOPIC|Kantarell (Cantharellus cibarius)"));
    QCOMPARE(list->item(1)->text(), f.keys["Karljohan"] + "|Karljohan (Boletus edulis)");
    list->grab();
    list->grab();
    QCOMPARE(f.Frame()->DecodedPictures, 1);

    // A click makes the species current; a double click opens it on the species screen.
    const QRect second = list->visualItemRect(list->item(1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center());
    QCOMPARE(GetUKey(f.dm->cdsFungi), f.keys["Karljohan"]);
    QCOMPARE(f.main->inifileMain->ReadString("Fungi/LastVisited"), f.keys["Karljohan"]);
    const int before = f.SpeciesScreen()->activations;
    f.Frame()->OpenSpecies(f.RowOf("Karljohan"));
    QCOMPARE(f.main->CurrentScreen(), f.SpeciesScreen());
    QCOMPARE(f.SpeciesScreen()->activations, before + 1);
    QCOMPARE(GetUKey(f.dm->cdsFungi), f.keys["Karljohan"]);
    TFRHistoryItems* history = f.main->History();
    QCOMPARE(history->Count(), 1);
    QCOMPARE(history->GetItem(0)->Title, QString("Till SvampNyckel"));
    QCOMPARE(history->GetItem(0)->Values("Presentation"), QString("2"));

    // Back: the key again with its answers, its presentation and the chosen species.
    f.dm->cdsFungi->First();
    history->Back();
    QCOMPARE(f.main->CurrentScreen(), f.Key());
    QVERIFY(f.Frame());
    QCOMPARE(f.Panel(kqHatFungi)->GetValue(), QString("10"));
    QCOMPARE(f.Panel(kqSeason)->GetValue(), QString("000000010000"));
    QCOMPARE(f.Frame()->Presentation, 2);
    QCOMPARE(GetUKey(f.dm->cdsFungi), f.keys["Karljohan"]);
    QCOMPARE(f.Frame()->pagesResult->currentWidget(), f.Frame()->tabsBigPic);
}

void TestKey::refusedSizeChangesNothing() {
    KeyFixture f;
    f.Key()->Navigate();
    f.Choose(kqHatFungi, 0);
    f.Frame()->MakeSelection();
    const QStringList sel = f.dm->cdsFungi->Sel();
    QCOMPARE(f.dm->cdsFungi->RecordCount(), 4);
    f.Type(kqHatSize, "900");
    f.Choose(kqSmell, 1);
    f.Frame()->sbtnMakeSelection->click();
    QCOMPARE(f.errors, QStringList({"Ogiltig eller orimlig hattstorlek."}));
    QCOMPARE(f.dm->cdsFungi->Sel(), sel);
    QCOMPARE(f.dm->cdsFungi->RecordCount(), 4);
    QVERIFY(KeySpeciesSelection());
    // The question at fault is open with the focus in its edit.
    QTRY_VERIFY(f.Panel(kqHatSize)->Expanded());
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(f.Panel(kqHatSize)->InputEdit()));

    // With no answer at all every complete species is listed.
    f.Frame()->EmptyAll();
    f.Frame()->MakeSelection();
    QCOMPARE(f.dm->cdsFungi->Sel(), QStringList({"(", "Str(FungiData = \"CPLD\")", ")"}));
    QCOMPARE(f.dm->cdsFungi->RecordCount(), 5);
    // Nothing matching shows the page that says so.
    f.Choose(kqHatFungi, 1);
    f.Choose(kqSmell, 1);
    f.Frame()->MakeSelection();
    QCOMPARE(f.dm->cdsFungi->RecordCount(), 0);
    QCOMPARE(f.Frame()->pagesResult->currentWidget(), f.Frame()->tabsNoMatch);
}

void TestKey::failingSelectionShowsEverySpecies() {
    KeyFixture f;
    // A damaged colour list in one record makes the colour term fail while the table loads.
    TExtClientDataSet* fungi = f.dm->cdsFungi;
    QVERIFY(LocateUKey(fungi, f.keys["Kantarell"]));
    fungi->Edit();
    fungi->FieldByName("SporeColor")->SetAsString("gul");
    fungi->Post();
    f.Key()->Navigate();
    f.Panel(kqSporeColor)->SetValue("65535");
    f.Frame()->MakeSelection();
    QCOMPARE(f.errors.size(), 1);
    QVERIFY2(f.errors[0].startsWith("Nyckel-urvalet misslyckades. Samtliga arter kommer att väljas istället. "
                                    "Meddelande: \""),
             qPrintable(f.errors[0]));
    QVERIFY(f.errors[0].contains("gul"));
    QCOMPARE(fungi->Sel(), QStringList());
    QCOMPARE(fungi->RecordCount(), 6);
    QVERIFY(!KeySpeciesSelection());
    QCOMPARE(f.Frame()->pagesResult->currentWidget(), f.Frame()->tabsInfo);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void TestKey::questionsFollowTheCapAnswer() {
    KeyFixture f;
    f.Key()->Navigate();
    f.Choose(kqHatFungi, 0);
    f.Choose(kqHatSubType, 0);  // gills
    // The open question pushes the ones below it down at once.
    QCOMPARE(f.Panel(kqLinedHat)->y(), f.Panel(kqHatSubType)->geometry().bottom() + 1);
    QCOMPARE(f.Panel(kqHatSubType)->height(), 4 * 15 + 41);
    QVERIFY(f.Panel(kqHatSubGrowth)->Active());
    QVERIFY(!f.Panel(kqHatSubGrowth2)->Active());
    f.Choose(kqHatSubGrowth, 2);
    // "Nej": the cap questions keep their answers but add nothing.
    f.Choose(kqHatFungi, 1);
    QVERIFY(!f.Panel(kqHatSubType)->Active());
    QVERIFY(f.Panel(kqHatSubType)->IsEmpty());
    QCOMPARE(f.Panel(kqHatSubType)->GetValue(), QString("1000"));
    QVERIFY(f.Panel(kqBodySize)->Active());
    f.Frame()->MakeSelection();
    QCOMPARE(f.dm->cdsFungi->Sel(), QStringList({"(", "Str(FungiData = \"CPLD\") AND", "Num(HatFungi = 1)", ")"}));
    QCOMPARE(f.Names(), QStringList({"Tegelticka"}));
}

void TestKey::regionsQuestionShowsTheRegionsPicture() {
    QSize asked;
    SetKeyRegionsPictureSource([&](const QSize& size) {
        asked = size;
        QPixmap map(60, size.height());
        map.fill(Qt::darkGreen);
        return map;
    });
    KeyFixture f;
    f.Key()->Navigate();
    SetKeyRegionsPictureSource(nullptr);
    QLabel* picture = f.Frame()->imgRegions;
    QCOMPARE(picture->parentWidget(), static_cast<QWidget*>(f.Panel(kqOccurence)));
    QCOMPARE(asked, QSize(128, 119));
    f.Choose(kqOccurence, 2);
    // Beside the numbers and inside the open question.
    TFRKeyPanel* panel = f.Panel(kqOccurence);
    QVERIFY(picture->isVisible());
    QVERIFY(picture->geometry().right() < panel->Choice()->x());
    QVERIFY(picture->geometry().bottom() < panel->height());
    QCOMPARE(panel->GetValue(), QString("00100000"));
}

void TestKey::settingsAreReadSafely_data() {
    QTest::addColumn<int>("presentation");
    QTest::addColumn<int>("tolerance");
    QTest::addColumn<int>("readPresentation");
    QTest::addColumn<int>("readTolerance");
    QTest::newRow("big pictures, level 5") << 2 << 4 << 2 << 4;
    QTest::newRow("table, level 1") << 1 << 0 << 1 << 0;
    QTest::newRow("out of range") << 7 << 7 << 1 << 2;
    QTest::newRow("negative") << -1 << -1 << 1 << 2;
}

void TestKey::settingsAreReadSafely() {
    QFETCH(int, presentation);
    QFETCH(int, tolerance);
    QFETCH(int, readPresentation);
    QFETCH(int, readTolerance);
    KeyFixture f;
    f.main->inifileMain->WriteInteger("Key/Presentation", presentation);
    f.main->inifileMain->WriteInteger("Key/ColorTolerance", tolerance);
    f.Key()->Navigate();
    QCOMPARE(f.Frame()->Presentation, readPresentation);
    QCOMPARE(f.Frame()->sbtnShowBigPics->isChecked(), readPresentation == 2);
    QCOMPARE(f.Frame()->ColorTolerance, readTolerance);
    // A choice of tolerance is written at once and reaches the colour terms.
    f.Frame()->popupColorTolerance->actions().at(1)->trigger();
    QCOMPARE(f.main->inifileMain->ReadInteger("Key/ColorTolerance"), 1);
    f.Panel(kqSporeColor)->SetValue("255");
    f.Frame()->MakeSelection();
    QVERIFY(f.dm->cdsFungi->Sel().contains("Color(SporeColor,80,OR,255)"));
}

void TestKey::emptyAllKeepsTheSelection() {
    KeyFixture f;
    f.Key()->Navigate();
    f.Choose(kqHatFungi, 1);
    f.Frame()->MakeSelection();
    QCOMPARE(f.Names(), QStringList({"Tegelticka"}));
    f.Frame()->sbtnEmptyAll->click();
    for (TFRKeyPanel* panel : f.Frame()->Panels) QVERIFY(panel->IsEmpty());
    QCOMPARE(f.Names(), QStringList({"Tegelticka"}));
    // The complete species are counted again, so a description completed meanwhile shows.
    TExtClientDataSet* fungi = f.dm->cdsFungi;
    fungi->SetSel({});
    fungi->LoadData();
    QVERIFY(LocateUKey(fungi, f.keys["Ofullständig"]));
    fungi->Edit();
    fungi->FieldByName("FungiData")->SetAsString("CPLD");
    fungi->Post();
    f.Frame()->MakeSelection();
    QCOMPARE(f.Frame()->CompleteCount(), 6);
    QCOMPARE(f.Frame()->lblSelCountTable->text(), QString("   6 (av 6) matchande arter hittade"));
}

void TestKey::tableMarksTheChosenSpeciesAfterBack() {
    KeyFixture f;
    f.Key()->Navigate();
    f.Choose(kqHatFungi, 0);
    f.Frame()->SetPresentation(1);
    f.Frame()->MakeSelection();
    const int row = f.RowOf("Karljohan");
    QVERIFY(row > 0);
    QTableView* grid = f.Frame()->dbgridMain;
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(row, 1)).center());
    QCOMPARE(GetUKey(f.dm->cdsFungi), f.keys["Karljohan"]);
    f.Frame()->OpenSpecies(row);
    QCOMPARE(f.main->CurrentScreen(), f.SpeciesScreen());

    // A new frame: the chosen species is the marked row of the table.
    f.main->History()->Back();
    QCOMPARE(f.main->CurrentScreen(), f.Key());
    QCOMPARE(f.Frame()->pagesResult->currentWidget(), f.Frame()->tabsTable);
    grid = f.Frame()->dbgridMain;
    QVERIFY(grid != nullptr);
    QVERIFY(grid->selectionModel()->isRowSelected(row, QModelIndex()));
    QCOMPARE(grid->selectionModel()->selectedRows().size(), 1);
    for (QSize size : {QSize(800, 600), QSize(1280, 1024)})
        f.Shot(QString("key_table_back_%1x%2").arg(size.width()).arg(size.height()), size);
}

void TestKey::sortingOrdersTheResults() {
    KeyFixture f;
    f.Key()->Navigate();
    f.Choose(kqHatFungi, 0);
    f.Frame()->SetPresentation(2);
    f.Frame()->MakeSelection();
    QCOMPARE(f.Names(), QStringList({"Flugsvamp", "Kantarell", "Karljohan", "Kryddspindling"}));
    f.Frame()->popupSort->actions().at(1)->trigger();  // "Latinskt namn"
    QCOMPARE(KeySpeciesSortOrder(), 2);
    QCOMPARE(f.main->inifileMain->ReadInteger("Fungi/SortOrder"), 2);
    QCOMPARE(f.Names(), QStringList({"Flugsvamp", "Karljohan", "Kantarell", "Kryddspindling"}));
    QListWidget* list = f.Frame()->listboxBigPics;
    QCOMPARE(list->count(), 4);
    QCOMPARE(list->item(1)->text(), f.keys["Karljohan"] + "|Karljohan (Boletus edulis)");
    QCOMPARE(list->item(3)->text(), QString("NOPIC|Kryddspindling (Cortinarius sp.)"));
    // The history item carries the order and the presentation.
    std::unique_ptr<TFRHistoryItem> item(f.Frame()->CreateHistoryItem());
    QCOMPARE(item->Values("SortOrder"), QString("2"));
    QCOMPARE(item->Values("Presentation"), QString("2"));
    QCOMPARE(item->Screen.data(), static_cast<TFRScreen*>(f.Key()));

    // Refilling the list leaves the table on its species, which the list marks.
    QVERIFY(LocateUKey(f.dm->cdsFungi, f.keys["Kantarell"]));
    f.Frame()->popupSort->actions().at(0)->trigger();  // "Svenskt namn"
    QCOMPARE(GetUKey(f.dm->cdsFungi), f.keys["Kantarell"]);
    const int recNo = f.dm->cdsFungi->RecNo();
    QCOMPARE(recNo, 2);
    QCOMPARE(list->currentRow(), recNo - 1);
    QCOMPARE(list->item(recNo - 1)->text().section(u'|', 1), QString("Kantarell (Cantharellus cibarius)"));
    QCOMPARE(list->count(), 4);
}

void TestKey::colourQuestionsUseTheColourDialog() {
    KeyFixture f;
    QList<QColor> offered;
    bool accept = true;
    f.ui.Choosers([&](const UIServices::TChooserRequest& r) {
        offered << r.Color;
        UIServices::TChooserAnswer a;
        a.Accepted = accept;
        a.Color = QColor(200, 100, 50);
        return a;
    });
    f.Key()->Navigate();
    TFRKeyPanel* panel = f.Panel(kqSporeColor);
    QTest::mouseClick(panel->QuestionLabel(), Qt::LeftButton);
    QTRY_VERIFY(panel->ColorButton()->isVisible());
    panel->ColorButton()->click();
    // Without a colour the dialog starts on the panel's own colour; the choice is the answer.
    QCOMPARE(offered, QList<QColor>{ColorFromNumber(TFRKeyPanel::UnansweredColor)});
    QCOMPARE(panel->GetValue(), QString::number(200 | 100 << 8 | 50 << 16));
    QCOMPARE(panel->Color(), TFRKeyPanel::AnsweredColor);
    f.Shot("key_colour_800x600", {800, 600});
    // Cancelling keeps the colour, and the next dialog starts on it.
    accept = false;
    panel->ColorButton()->click();
    QCOMPARE(offered.last(), QColor(200, 100, 50));
    QCOMPARE(panel->GetValue(), QString::number(200 | 100 << 8 | 50 << 16));
    f.Frame()->MakeSelection();
    QVERIFY(f.dm->cdsFungi->Sel().contains(QString("Color(SporeColor,100,OR,%1)").arg(200 | 100 << 8 | 50 << 16)));
    // A typed size in its open question.
    f.Type(kqSporeSize, "12, 8");
    f.Shot("key_edit_800x600", {800, 600});
    QCOMPARE(f.Panel(kqSporeSize)->GetValue(), QString("12, 8"));
}

void TestKey::screenshots() {
    KeyFixture f;
    f.Key()->Navigate();
    f.Shot("key_start_800x600", {800, 600});
    f.Choose(kqHatFungi, 0);
    f.Choose(kqHabitat, 3);
    f.Choose(kqSeason, 7);
    f.Choose(kqSmell, 0);
    f.Frame()->MakeSelection();
    f.Panel(kqMeatColor)->SetValue(QString::number(0xD0E8F0));
    f.Choose(kqHatSubType, 1);  // left open
    for (QSize size : {QSize(800, 600), QSize(1280, 1024)}) {
        const QString suffix = QString("%1x%2").arg(size.width()).arg(size.height());
        f.Frame()->SetPresentation(1);
        f.Shot("key_table_" + suffix, size);
        f.Frame()->SetPresentation(2);
        f.Shot("key_bigpics_" + suffix, size);
    }
    f.Choose(kqHatFungi, 1);
    f.Choose(kqSmell, 1);
    f.Frame()->MakeSelection();
    f.Shot("key_nomatch_800x600", {800, 600});
}

void TestKey::screenshotsOfTheCatalogue() {
    KeyFixture f(true);
    QVERIFY2(f.dm->cdsFungi->RecordCount() > 20, "the catalogue is staged by the build");
    f.Key()->Navigate();
    f.Choose(kqHatFungi, 0);
    f.Choose(kqHatSubType, 1);  // pores
    f.Choose(kqSeason, 8);  // September
    f.Frame()->MakeSelection();
    QVERIFY(f.dm->cdsFungi->RecordCount() > 0);
    f.Frame()->SetPresentation(2);
    QVERIFY(f.Frame()->listboxBigPics->count() > 0);
    f.Shot("key_catalogue_bigpics_800x600", {800, 600});
    f.Shot("key_catalogue_bigpics_1280x1024", {1280, 1024});
    QVERIFY(f.Frame()->DecodedPictures > 0);
    f.Frame()->SetPresentation(1);
    f.Shot("key_catalogue_table_1280x1024", {1280, 1024});
}

QTEST_MAIN(TestKey)
#include "tst_key.moc"
