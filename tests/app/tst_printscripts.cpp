// The program's own print scripts, end to end: the program starts on a folder with the shipped
// catalogue, recipes and scripts, each script is printed from its frame's print button to a PDF
// file, and the PDF's text is read back. Every page is also turned into a PNG picture in the
// build folder (artefacts/print_*.png, beside the PDF files) for a person to look at.
#include <QtTest>
#include <QAction>
#include <QComboBox>
#include <QDirIterator>
#include <QMenu>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QToolButton>

#include "content/contacts/unitContactScreen.h"
#include "content/unitContentScreens.h"
#include "content/recipes/unitFoodScreen.h"
#include "content/contacts/unitFrameContacts.h"
#include "content/recipes/unitFrameFoods.h"
#include "content/species/unitFrameFungi.h"
#include "content/places/unitFramePlaces.h"
#include "content/species/unitFungiScreen.h"
#include "content/places/unitPlaceScreen.h"
#include "controls/FRMemos.h"
#include "core/ExtClientDataSet.h"
#include "core/ProgramFolders.h"
#include "shell/UserTestSupport.h"
#include "core/unitDM.h"
#include "shell/unitFirstUser.h"
#include "shell/unitFrameUsers.h"
#include "shell/unitMain.h"
#include "shell/unitStartup.h"
#include "shell/unitUserScreen.h"
#include "platform/UIServices.h"
#include "support/TestSupport.h"

namespace {

void CopyTree(const QString& from, const QString& to) {
    QDirIterator it(from, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString target = to + "/" + QDir(from).relativeFilePath(file);
        QDir().mkpath(QFileInfo(target).absolutePath());
        QFile::copy(file, target);
    }
}

// A program folder with the shipped files: resources, scripts, stock pictures, the species
// catalogue with its main pictures, the recipes.
struct ShippedFolder {
    QTemporaryDir dir;
    ShippedFolder() {
        const QString build = qEnvironmentVariable("MYKO_BUILD_DIR");
        for (const char* sub : {"Data/Res", "Data/Scripts", "Data/Pics"})
            CopyTree(testsupport::ProgramDir() + "/" + sub, path(sub));
        CopyTree(build + "/catalogue/Db", path("Data/Db"));
        for (const char* pics : {"MainPics", "FungiPics", "FungiPicThumbs"})
            CopyTree(build + "/catalogue/" + pics, path(QString("Data/Pics/") + pics));
        CopyTree(build + "/resources/Db", path("Data/Db"));
    }
    QString path(const QString& relative) const { return dir.path() + "/" + relative; }
};

// The text of a PDF file, pages separated by form feeds.
QString PdfText(const QString& pdf) {
    QProcess run;
    run.start("pdftotext", {"-layout", pdf, "-"});
    if (!run.waitForFinished(60000)) return QString();
    return QString::fromUtf8(run.readAllStandardOutput());
}

// Each page of the PDF as artefacts/<name>-<n>.png; the number of pages.
int PdfToPictures(const QString& pdf, const QString& name) {
    const QString prefix = testsupport::ArtefactDir() + "/" + name;
    for (const QString& old : QDir(testsupport::ArtefactDir()).entryList({name + "-*.png"}))
        QFile::remove(testsupport::ArtefactDir() + "/" + old);
    QProcess run;
    run.start("pdftoppm", {"-png", "-r", "80", pdf, prefix});
    if (!run.waitForFinished(60000) || run.exitCode() != 0) return 0;
    return int(QDir(testsupport::ArtefactDir()).entryList({name + "-*.png"}).size());
}

}  // namespace

class TestPrintScripts : public QObject {
    Q_OBJECT

    std::unique_ptr<ShippedFolder> m_folder;
    std::unique_ptr<TProgramBlock> m_block;
    std::unique_ptr<testsupport::ClockGuard> m_clock;
    QStringList m_errors;

    TformFRMain* main() const { return m_block->MainForm(); }
    TDM* dm() const { return m_block->DM(); }

    // Presses the print button, picks the script of the title from the menu and prints it to
    // a PDF file; its text is returned and its pages become pictures.
    QString Print(QAbstractButton* button, const QString& title, const QString& name, int* pages = nullptr) {
        [&] { QVERIFY2(button->isEnabled(), qPrintable(title)); }();
        if (!button->isEnabled()) return QString();
        main()->popupPrint->clear();
        button->click();
        QAction* chosen = nullptr;
        for (QAction* item : main()->popupPrint->actions())
            if (item->text() == title) chosen = item;
        main()->popupPrint->hide();
        [&] { QVERIFY2(chosen, qPrintable(title)); }();
        if (!chosen) return QString();
        const QString pdf = testsupport::ArtefactDir() + "/" + name + ".pdf";
        UIServices::SetDialogHook([pdf](QDialog* dialog) {
            auto* print = qobject_cast<QPrintDialog*>(dialog);
            if (!print) return;
            print->printer()->setOutputFormat(QPrinter::PdfFormat);
            print->printer()->setOutputFileName(pdf);
            print->done(QDialog::Accepted);
        });
        chosen->trigger();
        UIServices::SetDialogHook({});
        const int count = PdfToPictures(pdf, name);
        if (pages) *pages = count;
        return PdfText(pdf);
    }

    TFRFungiScreen* fungiScreen() const { return static_cast<TFRFungiScreen*>(main()->Screen(ssFungi)); }

    void ShowSpecies(const QString& latin) {
        TFRFungiScreen* screen = fungiScreen();
        screen->Activate(QString());
        QVERIFY(dm()->cdsFungi->Locate("LatinName", latin));
        screen->UpdateFrame();
    }

private Q_SLOTS:
    void initTestCase() {
        RegisterCoreScreens();
        RegisterContentScreens();
        m_clock = std::make_unique<testsupport::ClockGuard>(std::nullopt, true);
        UIServices::SetMessageHook([this](const UIServices::TShownMessage& m) {
            m_errors << m.Text;
            return UIServices::TMsgResult::OK;
        });
        m_folder = std::make_unique<ShippedFolder>();
        UIServices::SetDialogHook([](QDialog* d) {
            if (auto* form = qobject_cast<TformCreateFirstUser*>(d)) {
                TypeInto(form->frameUsers->dbeditUserName, "Greta Gran");
                QTest::mouseClick(form->frameUsers->btnSave, Qt::LeftButton);
            }
        });
        m_block = std::make_unique<TProgramBlock>(m_folder->dir.path());
        QCOMPARE(m_block->StartUp(), TProgramBlock::TStartResult::LoggedIn);
        UIServices::SetDialogHook({});
        main()->show();
        QVERIFY(main()->ScriptCount() >= 6);
        QCOMPARE(m_errors, QStringList());
    }

    void cleanupTestCase() {
        main()->QuitSequence();
        m_block.reset();
        UIServices::SetMessageHook({});
        m_clock.reset();
    }

    void cleanup() {
        const QStringList errors = std::exchange(m_errors, {});
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
    }

    void factSheetOfAnEdibleSpecies() {
        ShowSpecies("Cantharellus cibarius");
        TframeFungi* frame = fungiScreen()->FungiFrame();
        const QString text = Print(frame->btnPrint, "Faktablad", "print_faktablad_kantarell");
        QVERIFY2(text.contains("Kantarell"), qPrintable(text));
        QVERIFY(text.contains("Cantharellus cibarius"));
        QVERIFY(text.contains("Matvärde:"));
        QVERIFY(text.contains("Ät aldrig en svamp enbart på grund av det här faktabladet"));
        QVERIFY(!text.contains("VARNING"));
        QVERIFY(text.contains("Sida 1 av"));
        QVERIFY(text.contains("Förväxlingsarter"));
        // Both deadly giftspindlingar that have been taken for chanterelles are on the sheet.
        QVERIFY(text.contains("Toppig giftspindling"));
        QVERIFY(text.contains("Orangebrun giftspindling"));
    }

    // A deadly species on wood: the sheet names its edible look-alikes, says that the wood does
    // not tell them apart, and that the species is not to be tasted.
    void factSheetOfADeadlySpeciesOnWood() {
        ShowSpecies("Galerina marginata");
        const QString text =
            Print(fungiScreen()->FungiFrame()->btnPrint, "Faktablad", "print_faktablad_gifthatting").simplified();
        QVERIFY2(text.contains("Gifthätting"), qPrintable(text));
        QVERIFY(text.contains("VARNING! DÖDLIGT GIFTIG."));
        QVERIFY(text.contains("Föränderlig tofsskivling"));
        QVERIFY(text.contains("Veden skiljer dem inte åt."));
        QVERIFY(text.contains("Smak: Okänd – arten ska inte smakas"));
    }

    // A fungus that lives on living trees is printed as a parasite of trees, not of other fungi.
    void factSheetOfAParasiteOfTrees() {
        ShowSpecies("Fomes fomentarius");
        const QString text =
            Print(fungiScreen()->FungiFrame()->btnPrint, "Faktablad", "print_faktablad_fnoskticka").simplified();
        QVERIFY2(text.contains("Fnöskticka"), qPrintable(text));
        QVERIFY2(text.contains("som parasit på levande träd eller svampar"), qPrintable(text));
        QVERIFY(!text.contains("på andra svampar"));
    }

    void factSheetOfADeadlySpeciesWarns() {
        ShowSpecies("Amanita phalloides");
        TframeFungi* frame = fungiScreen()->FungiFrame();
        // The notes as the box holds them.
        frame->memoPrivate->setPlainText("Sågs vid \"stora eken\" 2023.\nRör den inte!");
        frame->SaveNotesClick();
        const QString text = Print(frame->btnPrint, "Faktablad", "print_faktablad_lomsk");
        QVERIFY2(text.contains("Lömsk flugsvamp"), qPrintable(text));
        QVERIFY(text.contains("VARNING! DÖDLIGT GIFTIG."));
        QVERIFY(text.contains("Sågs vid \"stora eken\" 2023."));
        QVERIFY(text.contains("Rör den inte!"));
    }

    void speciesListAndPictureOverview() {
        ShowSpecies("Boletus edulis");
        // Two pictures of the species, drawn here.
        for (int i = 0; i < 2; ++i) {
            TExtClientDataSet* pics = dm()->cdsFungiPics;
            pics->Append();
            pics->FieldByName("PicIndex")->SetAsInteger(i);
            pics->FieldByName("PicType")->SetAsString("PERSONAL");
            pics->FieldByName("Photographer")->SetAsString("Greta Gran");
            pics->FieldByName("PicDate")->SetValue(QDate(2023, 9, 10 + i));
            pics->FieldByName("NoteText")->SetAsString(i == 0 ? "Ung karljohan i granskog." : "Hemlig plats.");
            pics->FieldByName("NoteTextLocked")->SetAsBoolean(i == 1);
            pics->Post();
            QImage image(800, 600, QImage::Format_RGB32);
            image.fill(QColor(90, 140, 70));
            QPainter painter(&image);
            painter.setBrush(QColor(120, 70, 30));
            painter.drawEllipse(QRect(200 + 60 * i, 120, 400, 220));
            painter.setBrush(QColor(235, 225, 200));
            painter.drawRect(360 + 60 * i, 300, 80, 220);
            painter.end();
            QDir().mkpath(GetFungiPicFolder());
            QVERIFY(image.save(GetFungiPicFile(pics->FieldByName("UKey")->AsString()), "JPG"));
        }
        fungiScreen()->UpdateFrame();
        TframeFungi* frame = fungiScreen()->FungiFrame();
        // The catalogue's own picture of the species comes first.
        const int pictures = dm()->cdsFungiPics->RecordCount();
        QVERIFY(pictures >= 2);
        const QString overview = Print(frame->btnPrint, "Bildöversikt", "print_bildoversikt");
        QVERIFY2(overview.contains(QString("Bild %1 av %1").arg(pictures)), qPrintable(overview));
        QVERIFY(overview.contains("Fotograf: Mykotekshallen"));
        QVERIFY(overview.contains("Ung karljohan i granskog."));
        QVERIFY(!overview.contains("Hemlig plats."));
        QVERIFY(overview.contains("Fotograf: Greta Gran"));

        int pages = 0;
        const QString list = Print(frame->btnPrint, "Artlista (aktuellt urval)", "print_artlista", &pages);
        QVERIFY2(pages >= 2, qPrintable(QString::number(pages)));
        QVERIFY(list.contains(QString("Sida %1 av %1").arg(pages)));
        QVERIFY(list.contains("Amanita phalloides"));
        QVERIFY(list.contains("Dödligt giftig"));
        // The species table is back on the species shown.
        QCOMPARE(dm()->cdsFungi->FieldByName("LatinName")->AsString(), QString("Boletus edulis"));
    }

    void contactListOfTwoHundred() {
        TExtClientDataSet* contacts = dm()->cdsContacts;
        for (int i = 1; i <= 200; ++i) {
            contacts->Append();
            contacts->FieldByName("UserName")->SetAsString(QString("Kontakt %1 Åström").arg(i, 3, 10, QChar('0')));
            contacts->FieldByName("EMail")->SetAsString(QString("kontakt%1@exempel.se").arg(i));
            contacts->FieldByName("Address")->SetAsString(QString("Svampstigen %1").arg(i));
            contacts->FieldByName("PostalAddress")->SetAsString("123 45 Älvsjö");
            contacts->FieldByName("Country")->SetAsString("SVERIGE");
            contacts->FieldByName("TelephoneMobile")->SetAsString("070-123 45 67");
            contacts->Post();
        }
        auto* screen = static_cast<TFRContactScreen*>(main()->Screen(ssContact));
        screen->Activate(QString());
        TframeContacts* frame = screen->ContactsFrame();
        frame->comboGroups->setCurrentIndex(frame->comboGroups->count() - 1);
        QVERIFY(frame->ShowingAll());
        int pages = 0;
        const QString text = Print(frame->sbtnPrint, "Kontaktlista", "print_kontaktlista", &pages);
        QVERIFY2(pages >= 5, qPrintable(QString::number(pages)));
        QVERIFY(text.contains("Kontaktlista – alla kontakter"));
        QVERIFY(text.contains("Kontakt 001 Åström"));
        QVERIFY(text.contains("Kontakt 200 Åström"));
        QVERIFY(text.contains("123 45 Älvsjö"));
        QVERIFY(text.contains(QString("Sida %1 av %1").arg(pages)));
        QCOMPARE(text.count("Sida "), pages);
    }

    void placeSheetWithVisits() {
        const QString me = dm()->cdsCurrentUser->FieldByName("ContactUKey")->AsString();
        TExtClientDataSet* places = dm()->cdsPlaces;
        places->Append();
        places->FieldByName("PlaceName")->SetAsString("Granskogen vid Ösjön");
        places->FieldByName("Province")->SetAsString("Jönköpings län");
        places->FieldByName("District")->SetAsString("Eksjö");
        places->FieldByName("PositionX")->SetAsInteger(1467200);
        places->FieldByName("PositionY")->SetAsInteger(6393500);
        places->FieldByName("RouteNote")->SetAsString("Parkera vid vändplanen och gå norrut längs bäcken.");
        places->FieldByName("CreatedBy")->SetAsString(me);
        places->Post();
        const QStringList species{"Kantarell", "Trattkantarell", "Karljohan", "Blodriska"};
        for (int v = 0; v < 2; ++v) {
            TExtClientDataSet* visits = dm()->cdsPlaceVisits;
            visits->Append();
            visits->FieldByName("VisitDate")->SetValue(QDate(2023, 8 + v, 20));
            visits->FieldByName("Weather")->SetAsString(v == 0 ? "Mulet, 14 grader" : "Sol efter regn");
            visits->FieldByName("CreatedBy")->SetAsString(me);
            visits->Post();
            TExtClientDataSet* people = dm()->cdsPlacePeople;
            for (const QString& who : {" UKEY=" + me, QString("Åke Lind")}) {
                people->Append();
                people->FieldByName("Individual")->SetAsString(who);
                people->Post();
            }
            TExtClientDataSet* finds = dm()->cdsPlaceFinds;
            for (int f = 0; f < 2 + v; ++f) {
                finds->Append();
                finds->FieldByName("FungiName")->SetAsString(species[f]);
                finds->FieldByName("BodyCount")->SetAsInteger(3 + f);
                finds->FieldByName("BodyAge")->SetAsInteger(2);
                finds->Post();
            }
        }
        auto* screen = static_cast<TFRPlaceScreen*>(main()->Screen(ssPlace));
        screen->Activate(QString());
        QVERIFY(places->Locate("PlaceName", "Granskogen vid Ösjön"));
        screen->UpdateFrame();
        const QString text = Print(screen->PlacesFrame()->sbtnPrint, "Svampställe med utflykter", "print_svampstalle");
        QVERIFY2(text.contains("Granskogen vid Ösjön"), qPrintable(text));
        QVERIFY(text.contains("Utflykter (2 st)"));
        QVERIFY(text.contains("Greta Gran, Åke Lind"));
        QVERIFY(text.contains("Karljohan"));
        QVERIFY2(text.contains("20 augusti 2023"), qPrintable(text));
        QVERIFY(text.contains("antal 6–10, perfekta"));
    }

    void recipeSheet() {
        auto* screen = static_cast<TFRFoodScreen*>(main()->Screen(ssFood));
        screen->Activate(QString());
        TframeFoods* frame = screen->FoodFrame();
        QVERIFY(dm()->cdsFoods->RecordCount() > 0);
        frame->btnShowClick();
        const QString name = dm()->cdsFoods->FieldByName("FoodName")->AsString();
        const QString text = Print(frame->btnPrint, "Recept", "print_recept");
        QVERIFY2(text.contains(name), qPrintable(text));
        QVERIFY(text.contains("Ingredienser"));
        QVERIFY(text.contains("Tillagning"));
        const QString ingredients = frame->ScriptExternal("matingredienser").section('\n', 0, 0).trimmed();
        QVERIFY2(text.contains(ingredients.left(20)), qPrintable(ingredients));
    }
};

QTEST_MAIN(TestPrintScripts)
#include "tst_printscripts.moc"
