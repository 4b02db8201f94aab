#include <QtTest>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QToolButton>
#include <memory>

#include "shell/ScreenTestHost.h"
#include "content/internet/unitFrameInternets.h"
#include "content/recipes/unitFoodScreen.h"
#include "content/recipes/unitFrameFoods.h"
#include "content/internet/unitInternetScreen.h"
#include "controls/FRToolPanel.h"
#include "core/ExtClientDataSet.h"
#include "core/FRIniFile.h"
#include "core/ProgramFolders.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "shell/unitMain.h"
#include "platform/ClientDataSet.h"
#include "platform/Exception.h"
#include "platform/ShellServices.h"
#include "support/TestSupport.h"
#include "support/VisualTestSupport.h"

using testsupport::ExceptionText;
using testsupport::NoException;

namespace {

// What the launcher was asked to do.
struct ShellLog {
    QList<QUrl> Urls;
    QString Program;
    QStringList Arguments;
    bool Answer = true;

    ShellLog() {
        InternetShell::SetOpenUrlHook([this](const QUrl& url) {
            Urls << url;
            return Answer;
        });
        InternetShell::SetStartProgramHook([this](const QString& program, const QStringList& args, const QString&) {
            Program = program;
            Arguments = args;
            return Answer;
        });
    }
    ~ShellLog() {
        InternetShell::SetOpenUrlHook({});
        InternetShell::SetStartProgramHook({});
    }
};

bool MakeFile(const QString& path, bool executable) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    f.write("#!/bin/sh\n");
    f.close();
    QFile::Permissions p = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (executable) p |= QFileDevice::ExeOwner;
    return f.setPermissions(p);
}

// A data module in a temporary program folder (optionally with the shipped resource tables)
// and the internet screen in a stand-in main window.
struct Fixture {
    testsupport::UIServicesGuard ui;
    QTemporaryDir dir;
    std::unique_ptr<TDM> dm;
    TFRIniFile settings;
    std::unique_ptr<TestMainWindow> window;
    TFRInternetScreen* screen = nullptr;

    explicit Fixture(bool shipped = false, const QString& startLevel = QString()) {
        SetProgramFolder(dir.path());
        if (shipped) {
            const QString staged = qEnvironmentVariable("MYKO_BUILD_DIR") + "/resources/";
            QDir().mkpath(dir.path() + "/Data/Db");
            QDir().mkpath(dir.path() + "/Data/Pics");
            for (const char* name : {"Db/Internet.dat", "Db/InternetTexts.dat"})
                QFile::copy(staged + name, dir.path() + "/Data/" + name);
            for (const char* name : {"Pics/_IPActionSubMenu.bmp", "Pics/_IPActionUndefined.bmp"})
                QFile::copy(staged + name, dir.path() + "/Data/" + name);
        }
        dm = std::make_unique<TDM>(dir.path());
        TDMServices::Install(dm.get());
        settings.SetDefaults(TFRIniFile::ProgramDefaults());
        settings.SetFilename(dir.path() + "/settings.ini");
        settings.Open();
        if (!startLevel.isNull()) settings.WriteString("Internet/MasterUKey", startLevel);
        window = std::make_unique<TestMainWindow>();
        window->show();
        screen = static_cast<TFRInternetScreen*>(CreateInternetScreen(window.get(), dm.get(), &settings));
    }
    ~Fixture() {
        window.reset();
        SetProgramFolder(QString());
    }
    void Open() { screen->Activate(QString()); }
    TframeInternets* Frame() const { return screen->InternetFrame(); }

    QString Add(const QString& master, int index, const QString& header, int action = iaSubMenu,
                const QString& data = QString(), bool sortDesc = false, const QString& text = QString()) {
        TExtClientDataSet* items = dm->cdsInternet;
        items->Append();
        items->FieldByName("MasterUKey")->SetAsString(master);
        items->FieldByName("ItemIndex")->SetAsInteger(index);
        items->FieldByName("Header")->SetAsString(header);
        items->FieldByName("Action")->SetAsInteger(action);
        items->FieldByName("SortDesc")->SetAsBoolean(sortDesc);
        items->FieldByName("RowData")->SetAsString(data);
        items->Post();
        const QString key = GetUKey(items);
        if (!text.isEmpty()) TDMServices::Of(dm.get())->SaveTextRows({text}, dm->cdsInternetTexts, 120, 0);
        return key;
    }

    QStringList Headers() const {
        QStringList headers;
        for (TFRToolPanel* p : Frame()->VisiblePanels()) {
            if (p->isVisible()) headers << p->HeaderCaption();
        }
        return headers;
    }
    TFRToolPanel* Panel(const QString& header) const {
        for (TFRToolPanel* p : Frame()->VisiblePanels())
            if (p->HeaderCaption() == header) return p;
        return nullptr;
    }
    // A click on the panel's button square, as the user makes it.
    void Click(const QString& header) const {
        TFRToolPanel* p = Panel(header);
        QVERIFY2(p, qPrintable(header));
        QTest::mousePress(p, Qt::LeftButton, {}, QPoint(20, 20));
        QTest::mouseRelease(p, Qt::LeftButton, {}, QPoint(20, 20));
    }
    void Back() const { QTest::mouseClick(Frame()->sbtnBack, Qt::LeftButton); }
};

}  // namespace

class TestInternet : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void levelsKeepTheirOrderDownAndBack();
    void historyRestoresLevelAndOrder();
    void emptyLevel();
    void startLevelFromSettings();
    void actions_data();
    void actions();
    void failingActionShowsItsMessage();
    void desktopWithoutAProgram_data();
    void desktopWithoutAProgram();
    void panelTextAndPictures();
    void shippedResources();
    void inTheMainWindow();
};

void TestInternet::levelsKeepTheirOrderDownAndBack() {
    Fixture f;
    // Items of the same position are ordered by header, descending where the parent says so.
    const QString fungi = f.Add({}, 0, "Svampar", iaSubMenu, {}, true);
    f.Add({}, 1, "Övrigt", iaLink, "https://example.se/");
    f.Add(fungi, 0, "Alfa");
    const QString beta = f.Add(fungi, 0, "Beta");
    f.Add(fungi, 0, "Gamma");
    f.Add(beta, 0, "Ett");
    f.Add(beta, 1, "Två");
    f.Open();
    QCOMPARE(f.Headers(), QStringList({"Svampar", "Övrigt"}));
    QVERIFY(!f.Frame()->sbtnBack->isEnabled());

    f.Click("Svampar");
    QCOMPARE(f.Headers(), QStringList({"Gamma", "Beta", "Alfa"}));
    QVERIFY(f.Frame()->sbtnBack->isEnabled());
    f.Click("Beta");
    QCOMPARE(f.Headers(), QStringList({"Ett", "Två"}));
    QCOMPARE(f.dm->cdsInternet->IndexName(), QString("main"));
    // The surplus third panel goes once the click has returned.
    QTRY_COMPARE(f.Frame()->PanelCount(), 2);

    // Back: the parent level shows in the order it had when it was entered.
    f.Back();
    QCOMPARE(f.Headers(), QStringList({"Gamma", "Beta", "Alfa"}));
    QCOMPARE(f.dm->cdsInternet->IndexName(), QString("main_inv"));
    f.Back();
    QCOMPARE(f.Headers(), QStringList({"Svampar", "Övrigt"}));
    QCOMPARE(f.Frame()->CurrentMasterUKey, QString());
    QVERIFY(!f.Frame()->sbtnBack->isEnabled());
    // Back from the top keeps the top.
    f.Frame()->sbtnBackClick();
    QCOMPARE(f.Headers(), QStringList({"Svampar", "Övrigt"}));
}

void TestInternet::historyRestoresLevelAndOrder() {
    Fixture f;
    const QString fungi = f.Add({}, 0, "Svampar", iaSubMenu, {}, true);
    f.Add(fungi, 0, "Alfa");
    const QString beta = f.Add(fungi, 0, "Beta");
    f.Add(beta, 0, "Ett");
    f.Open();
    f.Click("Svampar");
    f.Click("Beta");
    QVERIFY(History()->CanBack());
    QCOMPARE(History()->GetItem(0)->Title, QString("Till Internet-resurser"));
    QCOMPARE(History()->GetItem(1)->Values("CurrentMasterUKey"), fungi);
    QCOMPARE(History()->GetItem(1)->Values("IndexName"), QString("main_inv"));

    History()->Back();
    QCOMPARE(f.Frame()->CurrentMasterUKey, fungi);
    QCOMPARE(f.Headers(), QStringList({"Beta", "Alfa"}));
    History()->Back();
    QCOMPARE(f.Headers(), QStringList({"Svampar"}));
    History()->Forward();
    History()->Forward();
    QCOMPARE(f.Frame()->CurrentMasterUKey, beta);
    QCOMPARE(f.Headers(), QStringList({"Ett"}));
}

void TestInternet::emptyLevel() {
    Fixture f;
    f.Open();
    QVERIFY(f.Frame()->VisiblePanels().isEmpty());
    QVERIFY(f.Frame()->lblNoItems->isVisible());
    QCOMPARE(f.Frame()->lblNoItems->text(), QString("Inga ytterligare resurser här!"));

    // A submenu without children is an empty level too, with the way back open.
    f.Add({}, 0, "Tom meny");
    f.Frame()->UpdateFrame();
    QVERIFY(!f.Frame()->lblNoItems->isVisible());
    f.Click("Tom meny");
    QVERIFY(f.Frame()->lblNoItems->isVisible());
    QVERIFY(f.Frame()->sbtnBack->isEnabled());
    QTRY_COMPARE(f.Frame()->PanelCount(), 0);
}

void TestInternet::startLevelFromSettings() {
    {
        // A remembered level that no longer exists shows as an empty level.
        Fixture f(false, "130XXXXXXXXXXXXXXX");
        f.Add({}, 0, "Svampar");
        f.Open();
        QVERIFY(f.Headers().isEmpty());
        QVERIFY(f.Frame()->lblNoItems->isVisible());
        f.Back();
        QCOMPARE(f.Headers(), QStringList({"Svampar"}));
    }
    Fixture f;
    const QString fungi = f.Add({}, 0, "Svampar", iaSubMenu, {}, true);
    f.Add(fungi, 0, "Alfa");
    f.Add(fungi, 0, "Beta");
    f.settings.WriteString("Internet/MasterUKey", fungi);
    f.Open();
    QCOMPARE(f.Headers(), QStringList({"Beta", "Alfa"}));
}

void TestInternet::actions_data() {
    // "%p" stands for the program folder, "%o" for a folder outside it, "%r" for the path
    // from the program folder to a program in that outside folder.
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("openedUrl");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    const QString noLink = "Länken \"%1\" kunde inte öppnas. Den är kanske inte giltig längre!";
    const QString noExe = "Körning av EXE-fil \"%1\" misslyckades. Mykotekshallen kan behöva installeras om!";
    QTest::newRow("web address") << int(iaLink) << "https://www.svampar.se/"
                                 << "https://www.svampar.se/" << QString() << QStringList() << QString();
    QTest::newRow("bare web address") << int(iaLink) << "www.svampar.se"
                                      << "http://www.svampar.se" << QString() << QStringList() << QString();
    QTest::newRow("ftp address") << int(iaLink) << "ftp://ftp.example.se/svamp"
                                 << "ftp://ftp.example.se/svamp" << QString() << QStringList() << QString();
    QTest::newRow("local document") << int(iaLink) << "%o/notes.txt"
                                    << "file://%o/notes.txt" << QString() << QStringList() << QString();
    QTest::newRow("executable file") << int(iaLink) << "%o/tool" << QString() << QString() << QStringList()
                                     << noLink.arg("%o/tool");
    QTest::newRow("desktop entry") << int(iaLink) << "%o/start.desktop" << QString() << QString() << QStringList()
                                   << noLink.arg("%o/start.desktop");
    QTest::newRow("missing file") << int(iaLink) << "%o/gone.txt" << QString() << QString() << QStringList()
                                  << noLink.arg("%o/gone.txt");
    QTest::newRow("script address") << int(iaLink) << "javascript:alert(1)" << QString() << QString() << QStringList()
                                    << noLink.arg("javascript:alert(1)");
    QTest::newRow("mail") << int(iaMail) << "info@svampar.se"
                          << "mailto:info@svampar.se" << QString() << QStringList() << QString();
    QTest::newRow("no mail address") << int(iaMail) << "" << QString() << QString() << QStringList()
                                     << "Mailhanteraren kunde inte öppnas!";
    QTest::newRow("program of the folder")
        << int(iaRunExe) << "#progdir#Tools/update.sh --kontroll \"två ord\"" << QString() << "%p/Tools/update.sh"
        << QStringList({"--kontroll", "två ord"}) << QString();
    QTest::newRow("program outside the folder")
        << int(iaRunExe) << "%o/tool" << QString() << QString() << QStringList() << noExe.arg("%o/tool");
    QTest::newRow("climbing out of the folder")
        << int(iaRunExe) << "#progdir#%r" << QString() << QString() << QStringList() << noExe.arg("#progdir#%r");
    QTest::newRow("link out of the folder") << int(iaRunExe) << "#progdir#Tools/escape" << QString() << QString()
                                            << QStringList() << noExe.arg("#progdir#Tools/escape");
    QTest::newRow("not a program") << int(iaRunExe) << "#progdir#Tools/readme.txt" << QString() << QString()
                                   << QStringList() << noExe.arg("#progdir#Tools/readme.txt");
    QTest::newRow("event") << int(iaRunEvent) << "whatever" << QString() << QString() << QStringList() << QString();
}

void TestInternet::actions() {
    QFETCH(int, action);
    QFETCH(QString, data);
    QFETCH(QString, openedUrl);
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    QTemporaryDir base;
    const QString outside = QDir(base.path()).canonicalPath() + "/outside";
    QVERIFY(MakeFile(outside + "/notes.txt", false));
    QVERIFY(MakeFile(outside + "/tool", true));
    QVERIFY(MakeFile(outside + "/start.desktop", false));
    Fixture f;
    const QString folder = QDir(f.dir.path()).canonicalPath();
    QVERIFY(MakeFile(folder + "/Tools/update.sh", true));
    QVERIFY(MakeFile(folder + "/Tools/readme.txt", false));
    QVERIFY(QFile::link(outside + "/tool", folder + "/Tools/escape"));
    // The program outside, reached from the program folder by climbing out of it.
    const QString climb = QDir(folder).relativeFilePath(outside + "/tool");
    auto fill = [&](QString s) { return s.replace("%p", folder).replace("%o", outside).replace("%r", climb); };
    data = fill(data);

    f.Add({}, 0, "Resurs", action, data);
    f.Open();
    ShellLog shell;
    const QString raised = ExceptionText([&] { f.Frame()->ToolPanelClick(f.Panel("Resurs")); });
    QCOMPARE(raised, message.isEmpty() ? NoException : fill(message));
    QCOMPARE(shell.Urls.isEmpty() ? QString() : shell.Urls.first().toString(), fill(openedUrl));
    QCOMPARE(shell.Program, fill(program));
    QCOMPARE(shell.Arguments, arguments);
}

void TestInternet::failingActionShowsItsMessage() {
    Fixture f;
    f.Add({}, 0, "Gammal länk", iaLink, "https://gammal.example.se/");
    f.Add({}, 1, "E-post", iaMail, "info@example.se");
    f.Open();
    ShellLog shell;
    shell.Answer = false;
    QStringList shown;
    f.ui.Messages([&](const UIServices::TShownMessage& m) {
        shown << m.Text;
        return UIServices::TMsgResult::OK;
    });
    f.Click("Gammal länk");
    f.Click("E-post");
    QCOMPARE(shown,
             QStringList({"Länken \"https://gammal.example.se/\" kunde inte öppnas. Den är kanske inte "
                          "giltig längre!",
                          "Mailhanteraren kunde inte öppnas!"}));
    QCOMPARE(shell.Urls.size(), 2);
}

void TestInternet::desktopWithoutAProgram_data() {
    // "%o" stands for a folder with a document.
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("data");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("message");
    const int none = int(ShellServices::TOpenResult::NoHandler);
    const int failed = int(ShellServices::TOpenResult::Failed);
    QTest::newRow("web address, no browser")
        << int(iaLink) << "https://www.artportalen.se/" << none
        << "Länken \"https://www.artportalen.se/\" kunde inte öppnas, eftersom det inte finns någon webbläsare "
           "inställd på datorn.";
    QTest::newRow("document, no program for it")
        << int(iaLink) << "%o/notes.txt" << none
        << "Filen \"%o/notes.txt\" kunde inte öppnas, eftersom det inte finns något program för den inställt på "
           "datorn.";
    QTest::newRow("mail link, no mail program")
        << int(iaLink) << "mailto:info@svampar.se" << none
        << "Länken \"mailto:info@svampar.se\" kunde inte öppnas, eftersom det inte finns något e-postprogram "
           "inställt på datorn.";
    QTest::newRow("mail, no mail program")
        << int(iaMail) << "info@svampar.se" << none
        << "Mailhanteraren kunde inte öppnas, eftersom det inte finns något e-postprogram inställt på datorn.";
    QTest::newRow("web address, other failure")
        << int(iaLink) << "https://www.artportalen.se/" << failed
        << "Länken \"https://www.artportalen.se/\" kunde inte öppnas. Den är kanske inte giltig längre!";
    QTest::newRow("mail, other failure") << int(iaMail) << "info@svampar.se" << failed
                                         << "Mailhanteraren kunde inte öppnas!";
}

void TestInternet::desktopWithoutAProgram() {
    QFETCH(int, action);
    QFETCH(QString, data);
    QFETCH(int, answer);
    QFETCH(QString, message);
    QTemporaryDir outside;
    const QString folder = QDir(outside.path()).canonicalPath();
    QVERIFY(MakeFile(folder + "/notes.txt", false));
    data.replace("%o", folder);
    message.replace("%o", folder);
    Fixture f;
    f.Add({}, 0, "Resurs", action, data);
    f.Open();
    // The desktop's own answer, through the shell services.
    ShellServices::ClearOpenLog();
    ShellServices::SetOpenHook([answer](const QUrl&) { return ShellServices::TOpenResult(answer); });
    const QString raised = ExceptionText([&] { f.Frame()->ToolPanelClick(f.Panel("Resurs")); });
    ShellServices::SetOpenHook({});
    QCOMPARE(raised, message);
    QCOMPARE(ShellServices::OpenLog().size(), 1);
    ShellServices::ClearOpenLog();
}

void TestInternet::panelTextAndPictures() {
    Fixture f;
    const QString key = f.Add({}, 0, "Med bild", iaLink, "https://example.se/", false,
                              "Första raden av en lång text som måste delas upp i flera rader för att få plats i "
                              "radtabellen, med å, ä och ö.");
    f.dm->cdsInternet->Edit();
    f.dm->cdsInternet->FieldByName("HasPic")->SetAsBoolean(true);
    f.dm->cdsInternet->Post();
    QImage own(50, 50, QImage::Format_RGB32);
    own.fill(Qt::red);
    QDir().mkpath(GetInternetPicFolder());
    QVERIFY(own.save(GetInternetPicFile(key), "BMP"));
    f.Add({}, 1, "Meny", iaSubMenu, {}, false, "Kort.");
    f.Add({}, 2, "Länk", iaLink, "https://example.se/");
    QImage stock(50, 50, QImage::Format_RGB32);
    stock.fill(Qt::blue);
    QVERIFY(stock.save(GetPicsPath("_IPActionSubMenu.bmp"), "BMP"));
    f.Open();
    QCOMPARE(f.Panel("Med bild")->Text(),
             QStringList({"Första raden av en lång text som måste delas upp i flera rader för att få plats i "
                          "radtabellen, med å, ä och ö."}));
    QCOMPARE(f.Panel("Med bild")->Glyph().toImage().pixelColor(10, 10), QColor(Qt::red));
    QCOMPARE(f.Panel("Meny")->Glyph().toImage().pixelColor(10, 10), QColor(Qt::blue));
    QCOMPARE(f.Panel("Meny")->Text(), QStringList({"Kort."}));
    // Without the stock picture of its action a panel shows none.
    QVERIFY(f.Panel("Länk")->Glyph().isNull());
    QCOMPARE(f.Panel("Meny")->geometry().top(), 69);
    QCOMPARE(f.Panel("Meny")->height(), 67);
}

void TestInternet::shippedResources() {
    Fixture f(true);
    QVERIFY2(f.dm->cdsInternet->RecordCount() > 5, "the shipped resources were not staged");
    // Every shipped link is one the frame opens.
    TExtClientDataSet* items = f.dm->cdsInternet;
    for (items->First(); !items->Eof(); items->Next()) {
        if (items->FieldByName("Action")->AsInteger() != iaLink) continue;
        const QString data = items->FieldByName("RowData")->AsString();
        const auto url = InternetShell::LinkTarget(data);
        QVERIFY2(url && url->scheme() == "https", qPrintable(data));
    }
    f.Open();
    QCOMPARE(f.Headers().first(), QString("Giftinformationscentralen"));
    QVERIFY(f.Panel("Svampföreningar och artkunskap"));
    QVERIFY(!f.Panel("Giftinformationscentralen")->Text().isEmpty());
    QVERIFY(!f.Panel("Svampföreningar och artkunskap")->Glyph().isNull());
    f.Click("Svampföreningar och artkunskap");
    QVERIFY(f.Panel("Sveriges Mykologiska Förening"));
    QVERIFY(f.Panel("SLU Artdatabanken"));
    f.Back();

    const QString artefacts = testsupport::ArtefactDir();
    for (const QSize size : {QSize(800, 600), QSize(1280, 1024)}) {
        f.window->resize(size);
        QCoreApplication::processEvents();
        QVERIFY(f.Frame()->panelHolder->width() <= f.Frame()->scrollPanels->viewport()->width());
        const QString file = QString("%1/internet_%2x%3.png").arg(artefacts).arg(size.width()).arg(size.height());
        QVERIFY(f.window->grab().save(file));
    }
}

void TestInternet::inTheMainWindow() {
    testsupport::UIServicesGuard ui;
    ui.AnswerBoxes(UIServices::TMsgResult::OK);  // the test folder has no district file
    QTemporaryDir dir;
    SetProgramFolder(dir.path());
    const QString staged = qEnvironmentVariable("MYKO_BUILD_DIR") + "/resources/";
    QDir().mkpath(dir.path() + "/Data/Db");
    QDir().mkpath(dir.path() + "/Data/Pics");
    for (const char* name :
         {"Db/Internet.dat", "Db/InternetTexts.dat", "Db/FoodTypes.dat", "Db/Foods.dat", "Db/FoodTexts.dat",
          "Pics/_IPActionSubMenu.bmp", "Pics/_IPActionUndefined.bmp", "Pics/_NoFoodPic.bmp", "Pics/_NoFoodPic_sml.bmp"})
        QVERIFY(QFile::copy(staged + name, dir.path() + "/Data/" + name));
    {
        TDM dm(dir.path());
        TDMServices::Install(&dm);
        TformFRMain main;
        main.SetDataModule(&dm);
        TformFRMain::ClearScreenFactories();
        RegisterInternetScreen();
        RegisterFoodScreen();
        main.CreateScreens();
        auto* internet = qobject_cast<TFRInternetScreen*>(main.Screen(ssInternet));
        auto* food = qobject_cast<TFRFoodScreen*>(main.Screen(ssFood));
        QVERIFY(internet && food);
        QCOMPARE(internet->MenuButton()->text(), QString("Internet-resurser"));
        QCOMPARE(food->MenuButton()->text(), QString("Svamp i maten"));
        main.show();
        for (const QSize size : {QSize(800, 600), QSize(1280, 1024)}) {
            main.resize(size);
            internet->Navigate();
            QVERIFY(internet->InternetFrame());
            QCOMPARE(internet->InternetFrame()->parentWidget(), main.panelScreenHolder);
            QCoreApplication::processEvents();
            const QString suffix = QString("%1x%2.png").arg(size.width()).arg(size.height());
            QVERIFY(main.grab().save(testsupport::ArtefactDir() + "/main_internet_" + suffix));
            food->Navigate();
            QVERIFY(food->FoodFrame());
            QVERIFY(food->FoodFrame()->listFoods->count() > 0);
            QCoreApplication::processEvents();
            QVERIFY(main.grab().save(testsupport::ArtefactDir() + "/main_foods_" + suffix));
        }
        main.HideCurrentScreen();
    }
    TformFRMain::ClearScreenFactories();
    SetProgramFolder(QString());
}

QTEST_MAIN(TestInternet)
#include "tst_internet.moc"
