#include <QtTest>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolButton>
#include <memory>

#include "shell/ScreenTestHost.h"
#include "content/recipes/FoodPictures.h"
#include "content/recipes/unitFoodScreen.h"
#include "content/recipes/unitFrameFoods.h"
#include "core/ExtClientDataSet.h"
#include "core/FRIniFile.h"
#include "core/ProgramFolders.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "platform/ClientDataSet.h"
#include "platform/Exception.h"
#include "support/TestSupport.h"
#include "support/VisualTestSupport.h"

using testsupport::ExceptionText;
using testsupport::NoException;
using UIServices::TMsgResult;

namespace {

const QString kMe = "060AAAAAAAAAAAAAAA";
const QString kOther = "060BBBBBBBBBBBBBBB";

// A data module in a temporary program folder (optionally with the shipped recipes) and
// the recipe screen in a stand-in main window, with the logged-in user's contact key kMe.
struct Fixture {
    testsupport::UIServicesGuard ui;
    QTemporaryDir dir;
    std::unique_ptr<TDM> dm;
    TFRIniFile settings;
    std::unique_ptr<TestMainWindow> window;
    TFRFoodScreen* screen = nullptr;
    QStringList boxes;
    TMsgResult answer = TMsgResult::Yes;

    explicit Fixture(bool shipped = false) {
        SetProgramFolder(dir.path());
        if (shipped) {
            const QString staged = qEnvironmentVariable("MYKO_BUILD_DIR") + "/resources/";
            QDir().mkpath(dir.path() + "/Data/Db");
            QDir().mkpath(dir.path() + "/Data/Pics");
            for (const char* name : {"Db/FoodTypes.dat", "Db/Foods.dat", "Db/FoodTexts.dat", "Pics/_NoFoodPic.bmp",
                                     "Pics/_NoFoodPic_sml.bmp"})
                QFile::copy(staged + name, dir.path() + "/Data/" + name);
        }
        dm = std::make_unique<TDM>(dir.path());
        TDMServices::Install(dm.get());
        settings.SetDefaults(TFRIniFile::ProgramDefaults());
        settings.SetFilename(dir.path() + "/settings.ini");
        settings.Open();
        ui.Messages([this](const UIServices::TShownMessage& m) {
            boxes << m.Caption + ": " + m.Text;
            return answer;
        });
        window = std::make_unique<TestMainWindow>();
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        screen = static_cast<TFRFoodScreen*>(CreateFoodScreen(window.get(), dm.get(), &settings));
    }
    ~Fixture() {
        // A recipe left in editing by a failed check goes before the tables do.
        if (dm->cdsFoods->State() != TDataSetState::dsBrowse) dm->cdsFoods->Cancel();
        window.reset();
        SetProgramFolder(QString());
    }
    void Open() {
        screen->Activate(QString());
        Frame()->CurrentContactKey = [] { return kMe; };
        Frame()->UpdateFrame();
    }
    TframeFoods* Frame() const { return screen->FoodFrame(); }

    QString AddCategory(const QString& name) {
        TExtClientDataSet* t = dm->cdsFoodTypes;
        t->Append();
        t->FieldByName("CatIndex")->SetAsInteger(t->RecordCount());
        t->FieldByName("CategoryName")->SetAsString(name);
        t->FieldByName("InsertHeader")->SetAsString("Ny " + name.toLower());
        t->FieldByName("EditHeader")->SetAsString("Ändra " + name.toLower());
        t->Post();
        return GetUKey(t);
    }
    // A recipe in the current category.
    QString AddRecipe(const QString& name, const QString& author, int serves = 4) {
        TExtClientDataSet* t = dm->cdsFoods;
        t->Append();
        t->FieldByName("MasterUKey")->SetAsString(GetUKey(dm->cdsFoodTypes));
        t->FieldByName("FoodName")->SetAsString(name);
        t->FieldByName("ServeCount")->SetAsInteger(serves);
        t->FieldByName("PrepTime")->SetAsInteger(10);
        t->FieldByName("CookingTime")->SetAsInteger(20);
        t->FieldByName("CreatedBy")->SetAsString(author);
        t->Post();
        return GetUKey(t);
    }
    // Chooses this file in the next file dialog.
    void ChooseFile(const QString& file) {
        ui.Choosers([file](const UIServices::TChooserRequest&) {
            UIServices::TChooserAnswer a;
            a.Accepted = true;
            a.Files = {file};
            return a;
        });
    }
    void Fill(const QString& name, const QString& serves, const QString& prep, const QString& cook) {
        Frame()->editFoodName->setText(name);
        Frame()->editServeCount->setText(serves);
        Frame()->editPrepTime->setText(prep);
        Frame()->editCookingTime->setText(cook);
    }
    int TextRows(const QString& key) const {
        TClientDataSet t;
        t.LoadFromFile(dm->cdsFoodTexts->Filename());
        int n = 0;
        for (t.First(); !t.Eof(); t.Next()) n += t.FieldByName("MasterUKey")->AsString() == key;
        t.Close();
        return n;
    }
};

QString SavePicture(const QString& path, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(200, 120, 40));
    image.save(path);
    return path;
}

}  // namespace

class TestFoods : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void validation_data();
    void validation();
    void listEntries();
    void richTextRoundTrip();
    void onlyTheAuthorChanges();
    void historyRestoresCategoryAndRecipe();
    void pictureFollowsTheRecord();
    void deleteAsksAndRemovesRowsAndFiles();
    void cancelledNewRecipeLeavesNothing();
    void categoryIndexFromSettings();
    void noCategories();
    void thumbnailSize_data();
    void thumbnailSize();
    void shippedRecipes();
};

void TestFoods::validation_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("serves");
    QTest::addColumn<QString>("prep");
    QTest::addColumn<QString>("cook");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focused");
    QTest::newRow("no name") << "  "
                             << "4"
                             << "10"
                             << "10"
                             << "Receptet måste ha ett namn!"
                             << "editFoodName";
    QTest::newRow("no servings") << "Soppa"
                                 << "0"
                                 << "10"
                                 << "10"
                                 << "Ogiltigt portionsantal!"
                                 << "editServeCount";
    QTest::newRow("servings no number") << "Soppa"
                                        << "fyra"
                                        << "10"
                                        << "10"
                                        << "Ogiltigt portionsantal!"
                                        << "editServeCount";
    QTest::newRow("negative preparation") << "Soppa"
                                          << "4"
                                          << "-1"
                                          << "10"
                                          << "Ogiltig förberedelsetid!"
                                          << "editPrepTime";
    QTest::newRow("no cooking time") << "Soppa"
                                     << "4"
                                     << "0"
                                     << ""
                                     << "Ogiltig tillagningstid!"
                                     << "editCookingTime";
    QTest::newRow("zero minutes") << "Soppa"
                                  << "4"
                                  << "0"
                                  << "0" << NoException << "";
}

void TestFoods::validation() {
    QFETCH(QString, name);
    QFETCH(QString, serves);
    QFETCH(QString, prep);
    QFETCH(QString, cook);
    QFETCH(QString, message);
    QFETCH(QString, focused);
    Fixture f;
    f.AddCategory("Soppor");
    f.Open();
    f.screen->NewRecipe();
    QVERIFY(f.Frame()->Editing());
    QVERIFY(!f.window->sbtnQuit->isEnabled());
    f.Fill(name, serves, prep, cook);
    QCOMPARE(ExceptionText([&] { f.Frame()->btnSaveClick(); }), message);
    if (message == NoException) {
        QVERIFY(!f.Frame()->Editing());
        QVERIFY(f.window->sbtnQuit->isEnabled());
        QCOMPARE(f.dm->cdsFoods->RecordCount(), 1);
        QCOMPARE(f.dm->cdsFoods->FieldByName("CreatedBy")->AsString(), kMe);
        QCOMPARE(f.Frame()->lblTimes->text(), QString("0 min. förberedelsetid, 0 min. tillagningstid"));
        QCOMPARE(f.Frame()->panelFrameHeader->text(), QString("   Svamp i maten - Soppor (1 av 1)"));
    } else {
        QVERIFY(f.Frame()->Editing());
        const QMap<QString, QLineEdit*> edits = {{"editFoodName", f.Frame()->editFoodName},
                                                 {"editServeCount", f.Frame()->editServeCount},
                                                 {"editPrepTime", f.Frame()->editPrepTime},
                                                 {"editCookingTime", f.Frame()->editCookingTime}};
        QVERIFY(edits[focused]->hasFocus());
        QCOMPARE(f.Frame()->panelFrameHeader->text(), QString("   Svamp i maten - Ny soppor"));
    }
}

void TestFoods::listEntries() {
    QCOMPARE(FoodServingsText(6), QString("6 portioner"));
    QCOMPARE(FoodTimesText(15, 40), QString("15 min. förberedelsetid, 40 min. tillagningstid"));
    Fixture f;
    f.AddCategory("Varmrätter");
    f.AddRecipe("Svamppaj", kMe, 6);
    f.AddRecipe("Kantarellstuvning", kOther, 2);
    f.Open();
    QCOMPARE(f.Frame()->pagesMain->currentWidget(), f.Frame()->tabsBrowse);
    QCOMPARE(f.Frame()->listFoods->count(), 2);
    // Ordered by name within the category.
    QListWidgetItem* first = f.Frame()->listFoods->item(0);
    QCOMPARE(first->data(TFoodListDelegate::NameRole).toString(), QString("Kantarellstuvning"));
    QCOMPARE(first->data(TFoodListDelegate::ServingsRole).toString(), QString("2 portioner"));
    QCOMPARE(first->data(TFoodListDelegate::TimesRole).toString(),
             QString("10 min. förberedelsetid, 20 min. tillagningstid"));
    f.Frame()->listFoods->setCurrentRow(1);
    QCOMPARE(f.dm->cdsFoods->FieldByName("FoodName")->AsString(), QString("Svamppaj"));
    f.Frame()->btnShowClick();
    QCOMPARE(f.Frame()->pagesMain->currentWidget(), f.Frame()->tabsRecipe);
    QCOMPARE(f.Frame()->panelFrameHeader->text(), QString("   Svamp i maten - Varmrätter (2 av 2)"));
    QVERIFY(f.Frame()->btnPrior->isEnabled());
    QVERIFY(!f.Frame()->btnNext->isEnabled());
    QCOMPARE(History()->GetItem(History()->Count() - 1)->Values("ShowingInfo"), QString("0"));
    f.Frame()->btnPriorClick();
    QCOMPARE(f.Frame()->lblFoodName->text(), QString("Kantarellstuvning"));
    QCOMPARE(f.Frame()->lblServings->text(), QString("2 portioner"));
}

void TestFoods::richTextRoundTrip() {
    Fixture f;
    f.AddCategory("Soppor");
    f.Open();
    f.screen->NewRecipe();
    f.Fill("Svampsoppa", "4", "10", "30");
    QTextEdit* memo = f.Frame()->memoIngredients;
    const QString longLine = QString("smör, grädde och älgört till en sås som räcker åt många ").repeated(4).trimmed();
    memo->setPlainText("Svampen\n300 g blandsvamp, rensad och skivad\n" + longLine);
    memo->setFocus();
    QTextCursor cursor(memo->document());
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    memo->setTextCursor(cursor);
    f.Frame()->btnHeaderClick();
    f.Frame()->memoPreparation->setPlainText("Fräs svampen i smör.\nHäll på grädden och låt koka.");
    for (const QSize size : {QSize(800, 600), QSize(1280, 1024)}) {
        f.window->resize(size);
        QCoreApplication::processEvents();
        QVERIFY(f.window->grab().save(
            QString("%1/foods_edit_%2x%3.png").arg(testsupport::ArtefactDir()).arg(size.width()).arg(size.height())));
    }
    QCOMPARE(ExceptionText([&] { f.Frame()->btnSaveClick(); }), NoException);

    // The rows hold the editor's HTML in pieces of the row width.
    const QString key = GetUKey(f.dm->cdsFoods);
    QVERIFY(f.TextRows(key) > 2);
    TDMServices* services = TDMServices::Of(f.dm.get());
    for (const QString& row : services->LoadTextRows(f.dm->cdsFoodTexts, int(TFoodTextFlag::Ingredients)))
        QVERIFY(!row.isEmpty());

    // Read back into a fresh frame: text, letters and the header survive.
    f.Frame()->btnBackToListClick();
    f.window->HideCurrentScreen();
    f.Open();
    f.Frame()->btnShowClick();
    QTextEdit* shown = f.Frame()->memoIngredients;
    QCOMPARE(shown->toPlainText(), "Svampen\n300 g blandsvamp, rensad och skivad\n" + longLine);
    QVERIFY(shown->isReadOnly());
    const QTextBlock header = shown->document()->firstBlock();
    const QTextCharFormat headerFormat = header.begin().fragment().charFormat();
    QCOMPARE(headerFormat.fontWeight(), int(QFont::Black));
    QCOMPARE(headerFormat.fontPointSize(), 12.0);
    QVERIFY(header.next().begin().fragment().charFormat().fontWeight() < int(QFont::Bold));
    // The scripts get plain text.
    QCOMPARE(f.Frame()->ScriptExternal("matingredienser"), "Svampen\n300 g blandsvamp, rensad och skivad\n" + longLine);
    QCOMPARE(f.Frame()->ScriptExternal("mattillagning"),
             QString("Fräs svampen i smör.\nHäll på grädden och låt koka."));
    QCOMPARE(f.Frame()->ScriptExternal("okänd"), QString());
}

void TestFoods::onlyTheAuthorChanges() {
    Fixture f;
    f.AddCategory("Varmrätter");
    f.AddRecipe("Andras recept", kOther);
    f.Open();
    QVERIFY(f.Frame()->btnShow->isEnabled());
    QVERIFY(!f.Frame()->btnEdit->isEnabled());
    QVERIFY(!f.Frame()->btnDelete->isEnabled());
    f.screen->EditRecipe();
    f.Frame()->btnDeleteClick();
    QVERIFY(!f.Frame()->Editing());
    QCOMPARE(f.dm->cdsFoods->RecordCount(), 1);
    QVERIFY(f.boxes.isEmpty());

    f.AddRecipe("Eget recept", kMe);
    f.Frame()->UpdateFrame();
    QVERIFY(f.Frame()->btnEdit->isEnabled());
    f.screen->EditRecipe();
    QVERIFY(f.Frame()->Editing());
    QCOMPARE(f.Frame()->editFoodName->text(), QString("Eget recept"));
    QCOMPARE(f.Frame()->panelFrameHeader->text(), QString("   Svamp i maten - Ändra varmrätter"));
    f.Frame()->btnCancelClick();
    QVERIFY(f.window->sbtnQuit->isEnabled());
}

void TestFoods::historyRestoresCategoryAndRecipe() {
    Fixture f;
    f.AddCategory("Förrätter");
    const QString soups = f.AddCategory("Soppor");
    f.AddRecipe("Ärtsoppa med svamp", kMe);
    const QString chosen = f.AddRecipe("Svampsoppa", kMe);
    f.settings.WriteInteger("Food/GroupIndex", 2);
    f.Open();
    // In Swedish order "Ärtsoppa" comes after "Svampsoppa".
    f.Frame()->listFoods->setCurrentRow(0);
    f.Frame()->btnShowClick();
    f.Frame()->btnBackToListClick();
    TFRHistoryItem* shown = History()->GetItem(History()->Count() - 1);
    QCOMPARE(shown->Title, QString("Till Svamp i maten"));
    QCOMPARE(shown->Values("TypeUKey"), soups);
    QCOMPARE(shown->Values("FoodUKey"), chosen);
    QCOMPARE(shown->Values("ShowingInfo"), QString("1"));
    QTest::mouseClick(f.Frame()->CategoryButtons()[0], Qt::LeftButton);
    QCOMPARE(f.Frame()->listFoods->count(), 0);

    History()->Back();
    History()->Back();
    QVERIFY(f.Frame()->CategoryButtons()[1]->isChecked());
    QCOMPARE(f.Frame()->pagesMain->currentWidget(), f.Frame()->tabsRecipe);
    QCOMPARE(f.Frame()->lblFoodName->text(), QString("Svampsoppa"));
}

void TestFoods::pictureFollowsTheRecord() {
    Fixture f;
    f.AddCategory("Soppor");
    const QString key = f.AddRecipe("Soppa", kMe);
    f.Open();
    const QString source = SavePicture(f.dir.path() + "/svamp.jpg", QSize(400, 200));
    f.Frame()->btnShowClick();
    f.screen->EditRecipe();
    f.ChooseFile(source);
    f.Frame()->btnPicFromFileClick();
    QVERIFY(f.Frame()->PictureChanged());
    // Nothing is written before the save.
    QVERIFY(!QFileInfo::exists(GetFoodPicFile(key)));
    QCOMPARE(ExceptionText([&] { f.Frame()->btnSaveClick(); }), NoException);
    QVERIFY(f.dm->cdsFoods->FieldByName("HasPic")->AsBoolean());
    QCOMPARE(QImage(GetFoodPicThumbFile(key)).size(), QSize(90, 45));
    QCOMPARE(f.settings.ReadString("Settings/FoodPicFolder"), QFileInfo(source).absolutePath());

    // A save of other fields leaves the picture file as it is.
    const QByteArray stored = testsupport::ReadBytes(GetFoodPicFile(key));
    f.screen->EditRecipe();
    f.Frame()->editFoodName->setText("Bättre soppa");
    QCOMPARE(ExceptionText([&] { f.Frame()->btnSaveClick(); }), NoException);
    QCOMPARE(testsupport::ReadBytes(GetFoodPicFile(key)), stored);

    // Removing the picture and saving deletes both files.
    f.screen->EditRecipe();
    f.Frame()->btnRemovePicClick();
    QVERIFY(QFileInfo::exists(GetFoodPicFile(key)));
    QCOMPARE(ExceptionText([&] { f.Frame()->btnSaveClick(); }), NoException);
    QVERIFY(!f.dm->cdsFoods->FieldByName("HasPic")->AsBoolean());
    QVERIFY(!QFileInfo::exists(GetFoodPicFile(key)));
    QVERIFY(!QFileInfo::exists(GetFoodPicThumbFile(key)));

    // A failing save leaves the files untouched.
    f.screen->EditRecipe();
    f.ChooseFile(source);
    f.Frame()->btnPicFromFileClick();
    f.Frame()->editServeCount->setText("0");
    QCOMPARE(ExceptionText([&] { f.Frame()->btnSaveClick(); }), QString("Ogiltigt portionsantal!"));
    f.Frame()->btnCancelClick();
    QVERIFY(!QFileInfo::exists(GetFoodPicFile(key)));
}

void TestFoods::deleteAsksAndRemovesRowsAndFiles() {
    Fixture f;
    f.AddCategory("Soppor");
    f.Open();
    f.screen->NewRecipe();
    f.Fill("Kantarellsoppa", "4", "10", "20");
    f.Frame()->memoIngredients->setPlainText("Kantareller");
    f.ChooseFile(SavePicture(f.dir.path() + "/bild.bmp", QSize(100, 300)));
    f.Frame()->btnPicFromFileClick();
    QCOMPARE(ExceptionText([&] { f.Frame()->btnSaveClick(); }), NoException);
    const QString key = GetUKey(f.dm->cdsFoods);
    QCOMPARE(QImage(GetFoodPicThumbFile(key)).size(), QSize(30, 90));
    QVERIFY(f.TextRows(key) > 0);

    f.answer = TMsgResult::No;
    f.Frame()->btnDeleteClick();
    QCOMPARE(f.dm->cdsFoods->RecordCount(), 1);
    QCOMPARE(f.boxes,
             QStringList({"Mykotekshallen - Varning: Du är på väg att radera receptet \"Kantarellsoppa\". "
                          "Skall raderingen genomföras?"}));
    f.answer = TMsgResult::Yes;
    f.Frame()->btnDeleteClick();
    QCOMPARE(f.dm->cdsFoods->RecordCount(), 0);
    QCOMPARE(f.TextRows(key), 0);
    QVERIFY(!QFileInfo::exists(GetFoodPicFile(key)));
    QVERIFY(!QFileInfo::exists(GetFoodPicThumbFile(key)));
    // Back on an empty category: no list, nothing to change.
    QCOMPARE(f.Frame()->pagesMain->currentWidget(), f.Frame()->tabsBrowse);
    QVERIFY(!f.Frame()->listFoods->isVisible());
    QVERIFY(f.Frame()->lblNoFoods->isVisible());
    QVERIFY(!f.Frame()->btnEdit->isEnabled());
    QVERIFY(!f.Frame()->btnDelete->isEnabled());
}

void TestFoods::cancelledNewRecipeLeavesNothing() {
    Fixture f;
    f.AddCategory("Soppor");
    f.Open();
    f.screen->NewRecipe();
    f.Fill("Halv", "2", "1", "1");
    f.Frame()->btnCancelClick();
    QCOMPARE(f.dm->cdsFoods->RecordCount(), 0);
    QCOMPARE(f.Frame()->pagesMain->currentWidget(), f.Frame()->tabsBrowse);
    QVERIFY(f.window->sbtnQuit->isEnabled());
}

void TestFoods::categoryIndexFromSettings() {
    Fixture f;
    f.AddCategory("Förrätter");
    f.AddCategory("Soppor");
    f.AddRecipe("Svampsoppa", kMe);
    f.settings.WriteInteger("Food/GroupIndex", 99);
    f.Open();
    const QList<QToolButton*> buttons = f.Frame()->CategoryButtons();
    QCOMPARE(buttons.size(), 2);
    QCOMPARE(buttons[1]->text(), QString("Soppor"));
    QCOMPARE(buttons[1]->geometry(), QRect(8, 32, 129, 22));
    QVERIFY(buttons[1]->isChecked());
    QCOMPARE(f.dm->cdsFoodTypes->RecNo(), 2);
    QCOMPARE(f.Frame()->listFoods->count(), 1);

    QTest::mouseClick(buttons[0], Qt::LeftButton);
    QVERIFY(buttons[0]->isChecked() && !buttons[1]->isChecked());
    QCOMPARE(f.Frame()->listFoods->count(), 0);
    QVERIFY(!f.Frame()->btnEdit->isEnabled());
    f.window->HideCurrentScreen();
    QCOMPARE(f.settings.ReadInteger("Food/GroupIndex"), 1);
}

void TestFoods::noCategories() {
    Fixture f;
    f.settings.WriteInteger("Food/GroupIndex", 3);
    f.Open();
    QVERIFY(f.Frame()->CategoryButtons().isEmpty());
    QVERIFY(!f.Frame()->btnNew->isEnabled());
    QVERIFY(!f.Frame()->listFoods->isVisible());
    f.screen->NewRecipe();
    QVERIFY(!f.Frame()->Editing());
    QCOMPARE(f.dm->cdsFoods->RecordCount(), 0);
    f.window->HideCurrentScreen();
    QCOMPARE(f.settings.ReadInteger("Food/GroupIndex"), 3);
}

void TestFoods::thumbnailSize_data() {
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("thumbnail");
    QTest::newRow("wide") << QSize(400, 300) << QSize(90, 68);
    QTest::newRow("tall") << QSize(300, 400) << QSize(68, 90);
    // 90 x 45 / 100 = 40.5 rounds to the even 40.
    QTest::newRow("half to even") << QSize(100, 45) << QSize(90, 40);
    QTest::newRow("small") << QSize(30, 30) << QSize(90, 90);
}

void TestFoods::thumbnailSize() {
    QFETCH(QSize, picture);
    QFETCH(QSize, thumbnail);
    QImage image(picture, QImage::Format_RGB32);
    image.fill(Qt::green);
    QCOMPARE(FoodThumbnail(image).size(), thumbnail);
}

void TestFoods::shippedRecipes() {
    Fixture f(true);
    QVERIFY2(f.dm->cdsFoodTypes->RecordCount() >= 3, "the shipped recipes were not staged");
    f.Open();
    QCOMPARE(f.Frame()->CategoryButtons().first()->text(), QString("Förrätter"));
    QVERIFY(f.Frame()->listFoods->count() > 0);
    // The shipped recipes are nobody's to change.
    QVERIFY(!f.Frame()->btnEdit->isEnabled());
    const QString artefacts = testsupport::ArtefactDir();
    for (const QSize size : {QSize(800, 600), QSize(1280, 1024)}) {
        f.window->resize(size);
        QTest::mouseClick(f.Frame()->CategoryButtons()[2], Qt::LeftButton);
        QCoreApplication::processEvents();
        QVERIFY(f.window->grab().save(
            QString("%1/foods_list_%2x%3.png").arg(artefacts).arg(size.width()).arg(size.height())));
        f.Frame()->listFoods->setCurrentRow(0);
        f.Frame()->btnShowClick();
        QCoreApplication::processEvents();
        QCOMPARE(f.Frame()->lblAuthor->text(), QString("Recept av: Mykotekshallen"));
        QVERIFY(f.Frame()->memoPreparation->toPlainText().contains("förväll", Qt::CaseInsensitive));
        QVERIFY(f.window->grab().save(
            QString("%1/foods_recipe_%2x%3.png").arg(artefacts).arg(size.width()).arg(size.height())));
        f.Frame()->btnBackToListClick();
    }
}

QTEST_MAIN(TestFoods)
#include "tst_foods.moc"
