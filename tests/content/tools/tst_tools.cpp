// The tools screen and the database check and repair wizard.
#include <QtTest>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

#include "shell/ScreenTestHost.h"
#include "content/RepairTestSupport.h"
#include "content/tools/RepairCheck.h"
#include "content/tools/unitFrameTools.h"
#include "content/tools/unitLPWizard.h"
#include "content/tools/unitRepairWizard.h"
#include "content/tools/unitSSWizard.h"
#include "content/tools/unitToolScreen.h"
#include "controls/FRToolPanel.h"
#include "controls/FlatPageControl.h"
#include "shell/unitMain.h"
#include "support/TestSupport.h"
#include "support/VisualTestSupport.h"

using namespace repairtest;

namespace {

// The sample database, a logged-in user and the tools screen in a stand-in main window.
struct Fixture {
    testsupport::UIServicesGuard ui;
    QTemporaryDir dir;
    TDatabase db{dir.path()};
    TSample sample;
    std::unique_ptr<TestMainWindow> window;
    TFRToolScreen* screen = nullptr;
    int fungiReloads = 0;
    QList<UIServices::TShownMessage> messages;
    QList<QDialog*> dialogs;

    explicit Fixture(bool administrator = true) {
        sample = BuildSample(db);
        SelectCurrentUser(administrator ? sample.U1 : sample.U2);
        TDMServices* services = TDMServices::Of(db.dm.get());
        services->QuickSelection().Complete = true;
        services->Hooks.UpdateFungiScreen = [this] { ++fungiReloads; };
        ui.Messages([this](const UIServices::TShownMessage& m) {
            messages << m;
            return UIServices::TMsgResult::OK;
        });
        window = std::make_unique<TestMainWindow>();
        window->show();
        screen = static_cast<TFRToolScreen*>(CreateToolScreen(window.get(), db.dm.get()));
        screen->Activate(QString());
    }
    ~Fixture() {
        window.reset();
        if (TDMServices* services = TDMServices::Of(db.dm.get())) services->Hooks.UpdateFungiScreen = nullptr;
    }
    TframeTools* Frame() const { return screen->ToolsFrame(); }
    TDM* DM() const { return db.dm.get(); }
    // The dialogs the tiles open are handed to the action instead of being run.
    void OnDialog(const std::function<void(QDialog*)>& action) {
        ui.Dialogs([this, action](QDialog* dialog) {
            dialogs << dialog;
            if (action) action(dialog);
        });
    }
};

QString Texts(const TFRToolPanel* tile) { return tile->Text().join(QLatin1Char('|')); }

void SaveShot(QWidget* widget, const QString& name) {
    QCoreApplication::processEvents();
    QVERIFY(widget->grab().save(testsupport::ArtefactDir() + "/" + name));
}

}  // namespace

class TestTools : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void frame_tilesInOrder();
    void databaseTile_onlyForTheAdministrator();
    void pictureTiles_openTheirWizards();
    void wizardTiles_reapplyTheQuickSelection_data();
    void wizardTiles_reapplyTheQuickSelection();
    void wizard_runsToTheReport();
    void wizard_stoppedWhileRunning_data();
    void wizard_stoppedWhileRunning();
    void inTheMainWindow();
};

void TestTools::frame_tilesInOrder() {
    Fixture f;
    QVERIFY(f.Frame());
    QCOMPARE(frameTools.data(), f.Frame());
    QCOMPARE(f.screen->MenuButton()->text(), QString("Verktyg"));
    QCOMPARE(f.screen->MenuButton()->toolTip(),
             QString("Verktyg för säkerhetskopiering, databasreparation, bildimport m.m."));
    QCOMPARE(f.Frame()->panelFrameHeader->text(), QString("   Verktyg"));
    const QList<TFRToolPanel*> tiles = f.Frame()->panelTools->findChildren<TFRToolPanel*>();
    QCOMPARE(tiles.size(), 3);
    QCOMPARE(tiles.at(0), f.Frame()->toolpDatabaseControl);
    QCOMPARE(tiles.at(1), f.Frame()->toolpSSImport);
    QCOMPARE(tiles.at(2), f.Frame()->toolpLinkPicDownload);
    QCOMPARE(tiles.at(0)->HeaderCaption(), QString("Kontroll och reparation av Mykotekshallens databas"));
    QCOMPARE(tiles.at(1)->HeaderCaption(), QString("Import av svampbilder från SMFs programvara Sveriges svampar"));
    QCOMPARE(tiles.at(2)->HeaderCaption(), QString("Nedladdning av samtliga länkade bilder från Internet"));
    QVERIFY(Texts(tiles.at(0)).startsWith("   Detta verktyg är endast tillgängligt för administratören."));
    QCOMPARE(tiles.at(1)->Text().size(), 2);
    QVERIFY(Texts(tiles.at(1)).contains("mer än 1300 bilder.|   Om Du har tillgång"));
    QCOMPARE(tiles.at(2)->Text().size(), 2);
    QVERIFY(Texts(tiles.at(2)).endsWith("för att återuppta den vid ett senare tillfälle."));
    // Every line of a tile fits inside it.
    QCoreApplication::processEvents();
    for (TFRToolPanel* tile : tiles) QVERIFY(tile->height() >= tile->heightForWidth(tile->width()));
    // Releasing the frame forgets it.
    f.screen->Deactivate();
    QTRY_VERIFY(frameTools.isNull());
}

void TestTools::databaseTile_onlyForTheAdministrator() {
    for (const bool administrator : {false, true}) {
        Fixture f(administrator);
        QString caption;
        f.OnDialog([&](QDialog* dialog) { caption = dialog->windowTitle(); });
        f.Frame()->toolpDatabaseControlClick();
        if (!administrator) {
            QCOMPARE(f.messages.size(), 1);
            QCOMPARE(f.messages.first().Text, QString("Den här funktionen är endast tillgänglig för administratören."));
            QVERIFY(f.dialogs.isEmpty());
            QCOMPARE(f.fungiReloads, 0);
        } else {
            QVERIFY(f.messages.isEmpty());
            QCOMPARE(f.dialogs.size(), 1);
            QCOMPARE(caption, QString("Kontroll och reparation av Mykotekshallens databas"));
        }
    }
}

void TestTools::pictureTiles_openTheirWizards() {
    // Anyone may import and download pictures; each tile runs its own wizard.
    Fixture f(false);
    QStringList captions;
    f.OnDialog([&](QDialog* dialog) {
        QVERIFY(qobject_cast<TformSSWizard*>(dialog) || qobject_cast<TformLPWizard*>(dialog));
        captions << dialog->windowTitle();
    });
    f.Frame()->toolpSSImportClick();
    f.Frame()->toolpLinkPicDownloadClick();
    QCOMPARE(captions,
             QStringList({"Bildimport från SMFs programvara Sveriges svampar",
                          "Nedladdning av länkade svampbilder från Internet"}));
    QVERIFY(f.messages.isEmpty());
}

void TestTools::wizardTiles_reapplyTheQuickSelection_data() {
    QTest::addColumn<int>("tile");
    QTest::addColumn<bool>("selected");
    QTest::newRow("repair, no selection") << 0 << false;
    QTest::newRow("repair, a selection") << 0 << true;
    QTest::newRow("download, no selection") << 2 << false;
    QTest::newRow("download, a selection") << 2 << true;
}

void TestTools::wizardTiles_reapplyTheQuickSelection() {
    QFETCH(int, tile);
    QFETCH(bool, selected);
    Fixture f;
    TExtClientDataSet* fungi = f.DM()->cdsFungi;
    const QStringList own{QStringLiteral("Str(SwedishName = \"Kantarell\")")};
    fungi->SetSel(selected ? own : QStringList());
    fungi->LoadData();
    f.OnDialog({});
    if (tile == 0)
        f.Frame()->toolpDatabaseControlClick();
    else
        f.Frame()->toolpLinkPicDownloadClick();
    if (selected) {
        QCOMPARE(fungi->Sel(), own);
        QCOMPARE(f.fungiReloads, 0);
    } else {
        QCOMPARE(fungi->Sel(), TDMServices::QuickSelectionLines(TDMServices::Of(f.DM())->QuickSelection()));
        QVERIFY(!fungi->Sel().isEmpty());
        QCOMPARE(f.fungiReloads, 1);
    }
}

void TestTools::wizard_runsToTheReport() {
    Fixture f;
    TformRepairWizard* seen = nullptr;
    f.OnDialog([&](QDialog* dialog) {
        auto* wizard = qobject_cast<TformRepairWizard*>(dialog);
        QVERIFY(wizard);
        seen = wizard;
        QCOMPARE(wizard->State(), TformRepairWizard::TState::Info);
        QCOMPARE(wizard->fpcMain->ShownPage(), wizard->tabsInfo);
        QCOMPARE(wizard->btnNext->text(), QString("Starta"));
        QVERIFY(wizard->btnNext->isEnabled() && wizard->btnCancel->isEnabled());
        QVERIFY(!wizard->btnPrevious->isEnabled());
        QVERIFY(wizard->width() <= 800 && wizard->height() <= 600);
        SaveShot(wizard, "repairwizard_info.png");

        wizard->btnNextClick();
        QCOMPARE(wizard->State(), TformRepairWizard::TState::Done);
        QCOMPARE(wizard->fpcMain->ShownPage(), wizard->tabsRepairing);
        QCOMPARE(wizard->lblP2->text(), QString("Kontrollen är slutförd!"));
        QCOMPARE(wizard->btnNext->text(), QString("Avsluta"));
        QVERIFY(wizard->btnNext->isEnabled());
        QVERIFY(!wizard->btnCancel->isEnabled() && !wizard->btnPrevious->isEnabled());
        QVERIFY(!wizard->panelP2_2->isVisible());
        QCOMPARE(wizard->memoReport->toPlainText(), wizard->ReportLines().join('\n'));
        QVERIFY(wizard->ReportLines().contains("3 herrelösa bild- eller datafiler hittades och raderades..."));
        SaveShot(wizard, "repairwizard_report.png");
        wizard->resize(wizard->minimumSize());
        SaveShot(wizard, "repairwizard_report_small.png");

        wizard->btnHelp->click();
        QCOMPARE(f.messages.size(), 1);
        QCOMPARE(f.messages.first().Caption, QString("Mykotekshallen - Hjälp"));
        QVERIFY(f.messages.first().Text.contains("Borttagen kontakt"));

        wizard->btnNextClick();
        QCOMPARE(wizard->result(), int(QDialog::Accepted));
    });
    f.Frame()->toolpDatabaseControlClick();
    QVERIFY(seen);
    QVERIFY(!QFile::exists(f.db.File(TKeyFile::FungiPic, kStrayPicture)));
    // The walked species table has its quick selection again.
    QVERIFY(!f.DM()->cdsFungi->Sel().isEmpty());
}

void TestTools::wizard_stoppedWhileRunning_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("window closed") << "close";
    QTest::newRow("Avbryt") << "cancel";
    QTest::newRow("Escape") << "escape";
}

void TestTools::wizard_stoppedWhileRunning() {
    QFETCH(QString, how);
    Fixture f;
    f.OnDialog([&](QDialog* dialog) {
        auto* wizard = qobject_cast<TformRepairWizard*>(dialog);
        QVERIFY(wizard);
        // Arrives with the first report line, while the check runs.
        QTimer::singleShot(0, wizard, [wizard, how] {
            QCOMPARE(wizard->State(), TformRepairWizard::TState::Running);
            QVERIFY(wizard->panelP2_2->isVisible() && wizard->btnCancel->isEnabled() && !wizard->btnNext->isEnabled());
            if (how == "close")
                wizard->close();
            else if (how == "cancel")
                wizard->btnCancel->click();
            else
                QTest::keyClick(wizard, Qt::Key_Escape);
            // The window stays and shows that it stops.
            QVERIFY(wizard->isVisible());
            QCOMPARE(wizard->State(), TformRepairWizard::TState::Aborted);
            QVERIFY(!wizard->btnNext->isEnabled());
        });
        wizard->btnNextClick();
        QCOMPARE(wizard->State(), TformRepairWizard::TState::Aborted);
        QCOMPARE(wizard->fpcMain->ShownPage(), wizard->tabsRepairAborted);
        QCOMPARE(wizard->btnNext->text(), QString("Avsluta"));
        QVERIFY(wizard->btnNext->isEnabled() && !wizard->btnCancel->isEnabled());
        QVERIFY(wizard->ReportLines().contains("Kontrollen avbruten. Resultat så långt: "));
        if (how == "close") SaveShot(wizard, "repairwizard_aborted.png");
        wizard->btnNextClick();
        QCOMPARE(wizard->result(), int(QDialog::Accepted));
    });
    f.Frame()->toolpDatabaseControlClick();
    QCOMPARE(f.dialogs.size(), 1);
    // The run ended early, and every table has its links and saving back.
    QVERIFY(QFile::exists(f.db.File(TKeyFile::FungiPic, kStrayPicture)));
    for (const TDM::TTableInfo& info : TDM::Catalogue()) {
        TExtClientDataSet* table = f.DM()->Table(info.TableName);
        QVERIFY2(table->AutoSave() == info.AutoSave && !table->NoTimestamp, qPrintable(info.TableName));
        if (!info.Master.isEmpty())
            QVERIFY2(table->MasterSource() == f.DM()->Source(info.Master), qPrintable(info.TableName));
    }
}

void TestTools::inTheMainWindow() {
    testsupport::UIServicesGuard ui;
    ui.AnswerBoxes(UIServices::TMsgResult::OK);  // the test folder has no district file
    QTemporaryDir dir;
    {
        TDatabase db(dir.path());
        TformFRMain main;
        main.SetDataModule(db.dm.get());
        TformFRMain::ClearScreenFactories();
        RegisterToolScreen();
        main.CreateScreens();
        auto* tools = qobject_cast<TFRToolScreen*>(main.Screen(ssTool));
        QVERIFY(tools);
        QVERIFY(!tools->DataSet());
        main.show();
        for (const QSize size : {QSize(800, 600), QSize(1280, 1024)}) {
            main.resize(size);
            tools->Navigate();
            QVERIFY(tools->ToolsFrame());
            QCOMPARE(tools->ToolsFrame()->parentWidget(), main.panelScreenHolder);
            QCoreApplication::processEvents();
            TframeTools* frame = tools->ToolsFrame();
            // The tiles fit the width and show every line of their texts.
            for (TFRToolPanel* tile :
                 {frame->toolpDatabaseControl, frame->toolpSSImport, frame->toolpLinkPicDownload}) {
                QVERIFY(tile->width() <= frame->scrollTools->viewport()->width());
                QVERIFY(tile->height() >= tile->heightForWidth(tile->width()));
            }
            SaveShot(&main, QString("main_tools_%1x%2.png").arg(size.width()).arg(size.height()));
        }
        main.HideCurrentScreen();
    }
    TformFRMain::ClearScreenFactories();
}

QTEST_MAIN(TestTools)
#include "tst_tools.moc"
