#include <QtTest>

#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

#include "controls/FRInfoPanel.h"
#include "core/FRIniFile.h"
#include "shell/unitBrowseFolder.h"
#include "shell/unitColorChoice.h"
#include "shell/unitMain.h"
#include "shell/unitSaveCompleted.h"
#include "platform/UIServices.h"
#include "support/TestSupport.h"

namespace {

// A main window on a program folder of its own, holding the colour memory.
struct MainWindow {
    QTemporaryDir dir;
    std::unique_ptr<TformFRMain> window;
    MainWindow() {
        SetProgramFolder(dir.path());
        QDir().mkpath(dir.path() + "/Data/Res");
        QFile::copy(testsupport::ProgramDir() + "/Data/Res/Districts.dat", dir.path() + "/Data/Res/Districts.dat");
        window = std::make_unique<TformFRMain>();
    }
    ~MainWindow() {
        window.reset();
        SetProgramFolder(QString());
    }
    QList<int>& Memory() { return window->PrevColors; }
};

QList<int> Numbers(int count, int step) {
    QList<int> list;
    for (int i = 0; i < count; ++i) list << i * step;
    return list;
}

QList<int> VisibleCells(const TformColorChoice* d) {
    QList<int> shown;
    for (TColorCell* c : d->Cells)
        if (c->isVisible()) shown << c->Index();
    return shown;
}

QRect MarkerAround(int cell) { return TformColorChoice::CellRect(cell).adjusted(-2, -2, 2, 2); }

QColor Preview(const TformColorChoice* d) { return d->panelColor->palette().color(QPalette::Window); }

void Screenshot(QWidget* dialog, const QString& name) {
    const QImage image = dialog->grab().toImage();
    QVERIFY(image.save(testsupport::ArtefactDir() + "/" + name));
    // Fits a screen of 800 x 600 with room for the title bar.
    QVERIFY2(image.width() <= 800 && image.height() <= 560, qPrintable(name));
}

template <class D>
D* As(QDialog* dialog) {
    auto* d = qobject_cast<D*>(dialog);
    if (!d) qFatal("unexpected dialog");
    return d;
}

}  // namespace

class TestSharedDialogs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        UIServices::SetMessageHook([](const UIServices::TShownMessage&) { return UIServices::TMsgResult::OK; });
        UIServices::ClearMessageLog();
        UIServices::ClearChooserLog();
    }
    void cleanup() {
        UIServices::SetDialogHook({});
        UIServices::SetChooserHook({});
        QCOMPARE(UIServices::MessageLog().size(), 0);
        UIServices::SetMessageHook({});
    }

    // ---- Save-completed choice ----

    void saveCompleted_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("answer");
        QTest::newRow("Spara och LÅS INTE") << "btnSaveUnlocked" << 1;
        QTest::newRow("Spara och LÅS") << "btnSaveLocked" << 2;
        QTest::newRow("Avbryt") << "btnCancel" << 0;
        QTest::newRow("closed") << "" << 0;
    }
    void saveCompleted() {
        QFETCH(QString, button);
        QFETCH(int, answer);
        TformSaveCompleted form;
        QCOMPARE(form.windowTitle(), QString::fromUtf8("Mykotekshallen - Spara kompletterad art"));
        QCOMPARE(form.btnSaveUnlocked->text(), QString::fromUtf8("Spara och LÅS INTE"));
        QCOMPARE(form.btnSaveLocked->text(), QString::fromUtf8("Spara och LÅS"));
        QCOMPARE(form.btnCancel->text(), QString("Avbryt"));
        bool asked = false;
        UIServices::SetDialogHook([&](QDialog* d) {
            asked = true;
            auto* f = As<TformSaveCompleted>(d);
            QCOMPARE(f->focusWidget(), f->btnSaveUnlocked);
            if (button.isEmpty())
                f->close();
            else
                QTest::mouseClick(f->findChild<QPushButton*>(button), Qt::LeftButton);
        });
        QCOMPARE(form.Execute(), answer);
        QVERIFY(asked);
        // A second run starts afresh.
        UIServices::SetDialogHook([](QDialog* d) { As<TformSaveCompleted>(d)->btnSaveLocked->click(); });
        QCOMPARE(form.Execute(), 2);
    }

    void saveCompleted_screenshot() {
        TformSaveCompleted form;
        UIServices::SetDialogHook([](QDialog* d) { Screenshot(d, "dialog_savecompleted.png"); });
        QCOMPARE(form.Execute(), 0);
    }

    // ---- Colour choice ----

    void colorChoice_rememberedColourLeavesTheMemory() {
        MainWindow main;
        main.Memory() = {255, 65280, 16711680};
        TColor color = 65280;
        TformColorChoice dialog(main.window.get());
        UIServices::SetDialogHook([&](QDialog* d) {
            auto* f = As<TformColorChoice>(d);
            QCOMPARE(f->windowTitle(), QString::fromUtf8("Välj färg"));
            QCOMPARE(VisibleCells(f), QList<int>({0, 1, 2}));
            QCOMPARE(f->Cells[2]->Color(), TColor(16711680));
            QCOMPARE(f->Cells[1]->geometry(), QRect(2 + 48, 2, 41, 41));
            QCOMPARE(f->Cells[17]->geometry(), QRect(2 + 96, 2 + 48, 41, 41));
            QVERIFY(f->shapeMarker->isVisible());
            QCOMPARE(f->shapeMarker->geometry(), MarkerAround(1));
            QCOMPARE(Preview(f), QColor(0, 255, 0));
            QTest::mouseClick(f->Cells[2], Qt::LeftButton);
            QCOMPARE(Preview(f), QColor(0, 0, 255));
            QCOMPARE(f->shapeMarker->geometry(), MarkerAround(2));
            QTest::mouseClick(f->btnOK, Qt::LeftButton);
        });
        QVERIFY(dialog.Execute(color));
        QCOMPARE(color, TColor(16711680));
        QCOMPARE(main.Memory(), QList<int>({255, 65280, 16711680}));
    }

    void colorChoice_emptyMemoryShowsNoCells() {
        MainWindow main;
        TColor color = 255;
        TformColorChoice dialog(main.window.get());
        UIServices::SetDialogHook([&](QDialog* d) {
            auto* f = As<TformColorChoice>(d);
            QCOMPARE(VisibleCells(f), QList<int>());
            QVERIFY(!f->shapeMarker->isVisible());
            QCOMPARE(Preview(f), QColor(255, 0, 0));
            // A click where a hidden cell lies chooses nothing.
            f->cellClick(0);
            QCOMPARE(f->SelectedColor(), TColor(255));
            QTest::mouseClick(f->btnCancel, Qt::LeftButton);
        });
        QVERIFY(!dialog.Execute(color));
        QCOMPARE(color, TColor(255));
        QVERIFY(main.Memory().isEmpty());
    }

    void colorChoice_otherColourJoinsTheMemory_data() {
        QTest::addColumn<QList<int>>("memory");
        QTest::addColumn<QList<int>>("after");
        QTest::newRow("room left: sorted in") << QList<int>{255, 16711680} << QList<int>{255, 65280, 16711680};
        QList<int> full = Numbers(120, 1000);  // 0 ... 119000
        QList<int> fullAfter = full;
        fullAfter.removeLast();
        fullAfter << 65280;
        std::sort(fullAfter.begin(), fullAfter.end());
        QTest::newRow("full: the largest number drops out") << full << fullAfter;
        QList<int> low = Numbers(120, 1);
        QList<int> lowAfter = low;
        lowAfter.removeLast();
        lowAfter << 65280;
        QTest::newRow("full, the new colour the largest: it stays") << low << lowAfter;
    }
    void colorChoice_otherColourJoinsTheMemory() {
        QFETCH(QList<int>, memory);
        QFETCH(QList<int>, after);
        MainWindow main;
        main.Memory() = memory;
        UIServices::SetChooserHook([](const UIServices::TChooserRequest& r) {
            UIServices::TChooserAnswer a;
            a.Accepted = r.Kind == UIServices::TChooserKind::Color;
            a.Color = QColor(0, 255, 0);
            return a;
        });
        TColor color = 8421504;  // grey
        TformColorChoice dialog(main.window.get());
        UIServices::SetDialogHook([&](QDialog* d) {
            auto* f = As<TformColorChoice>(d);
            QTest::mouseClick(f->btnOtherColor, Qt::LeftButton);
            QCOMPARE(UIServices::ChooserLog().size(), 1);
            QCOMPARE(UIServices::ChooserLog().first().Color, QColor(128, 128, 128));
            QCOMPARE(Preview(f), QColor(0, 255, 0));
            QTest::mouseClick(f->btnOK, Qt::LeftButton);
        });
        QVERIFY(dialog.Execute(color));
        QCOMPARE(color, TColor(65280));
        QCOMPARE(main.Memory(), after);
    }

    void colorChoice_cancelledColourDialogKeepsTheChoice() {
        MainWindow main;
        main.Memory() = {255};
        UIServices::SetChooserHook([](const UIServices::TChooserRequest&) { return UIServices::TChooserAnswer(); });
        TColor color = 255;
        TformColorChoice dialog(main.window.get());
        UIServices::SetDialogHook([&](QDialog* d) {
            auto* f = As<TformColorChoice>(d);
            f->btnOtherColorClick();
            QCOMPARE(f->SelectedColor(), TColor(255));
            QVERIFY(f->shapeMarker->isVisible());
            // A double click chooses the cell and closes with OK.
            QTest::mouseDClick(f->Cells[0], Qt::LeftButton);
            QVERIFY(!f->isVisible());
        });
        QVERIFY(dialog.Execute(color));
        QCOMPARE(color, TColor(255));
        QCOMPARE(main.Memory(), QList<int>{255});
    }

    void colorChoice_memoryWrittenBackReadsTheSame() {
        MainWindow main;
        QList<int> memory = Numbers(100, 7);
        main.Memory() = memory;
        {
            TformColorChoice dialog(main.window.get());
            TColor color = 5;  // not remembered: joins on OK
            UIServices::SetDialogHook([](QDialog* d) { As<TformColorChoice>(d)->btnOKClick(); });
            QVERIFY(dialog.Execute(color));
        }
        memory << 5;
        std::sort(memory.begin(), memory.end());
        TFRIniFile* settings = IniFile();
        QVERIFY(settings);
        QCOMPARE(settings->ReadString("Settings/PrevColors0"), QString("0,5,7,14,21,28"));
        QCOMPARE(settings->ReadString("Settings/PrevColors16"), QString("665,672,679,686,693"));
        QCOMPARE(settings->ReadString("Settings/PrevColors17"), QString());
        main.Memory().clear();
        main.window->LoadPrevColors();
        QCOMPARE(main.Memory(), memory);
    }

    // A colour number beyond the 24 colour bits (a colour bar keeps what its field holds)
    // or a palette role joins the memory as the plain colour it shows, so that the key it is
    // written to is read back whole.
    void colorChoice_plainColourNumbersOnly_data() {
        QTest::addColumn<TColor>("given");
        QTest::addColumn<TColor>("chosen");
        QTest::newRow("above 24 bits") << TColor(16777471) << TColor(255);
        QTest::newRow("negative") << TColor(-1) << TColor(16777215);
        QTest::newRow("a system colour") << clWindow << ColorToNumber(ResolveColor(clWindow));
    }
    void colorChoice_plainColourNumbersOnly() {
        QFETCH(TColor, given);
        QFETCH(TColor, chosen);
        MainWindow main;
        main.Memory() = {1, 2, 3, 4, 5};
        TColor color = given;
        {
            TformColorChoice dialog(main.window.get());
            UIServices::SetDialogHook([](QDialog* d) { As<TformColorChoice>(d)->btnOKClick(); });
            QVERIFY(dialog.Execute(color));
        }
        QCOMPARE(color, chosen);
        QList<int> expected = {1, 2, 3, 4, 5, int(chosen)};
        std::sort(expected.begin(), expected.end());
        main.window->LoadPrevColors();
        QCOMPARE(main.Memory(), expected);
    }

    void colorChoice_throughTheMainWindow() {
        MainWindow main;
        main.Memory() = {255, 65280};
        // The colour choice offered by the main window, and its colour dialog.
        UIServices::SetDialogHook([](QDialog* d) {
            auto* f = As<TformColorChoice>(d);
            QCOMPARE(f->parentWidget(), MainForm());
            f->cellClick(1);
            f->btnOKClick();
        });
        TColor color = 255;
        QVERIFY(main.window->ChooseColor(color));
        QCOMPARE(color, TColor(65280));
        UIServices::SetChooserHook([](const UIServices::TChooserRequest& r) {
            UIServices::TChooserAnswer a;
            a.Accepted = true;
            a.Color = r.Color.darker(200);
            return a;
        });
        QVERIFY(main.window->ColorDialogExecute(color));
        QCOMPARE(color, ColorToNumber(QColor(0, 255, 0).darker(200)));
    }

    void colorChoice_screenshot() {
        MainWindow main;
        for (int i = 0; i < 40; ++i)
            main.Memory() << ColorToNumber(QColor::fromHsv((i * 37) % 360, 80 + (i * 53) % 176, 90 + (i * 29) % 166));
        main.window->SortPrevColors();
        TColor color = main.Memory().at(17);
        TformColorChoice dialog(main.window.get());
        UIServices::SetDialogHook([](QDialog* d) { Screenshot(d, "dialog_colorchoice.png"); });
        QVERIFY(!dialog.Execute(color));
    }

    // ---- Folder browser ----

    void browseFolder_cancelGivesAnEmptyFolder() {
        TformBrowseFolder form;
        QString folder = "/tmp/earlier";
        UIServices::SetDialogHook([](QDialog* d) {
            auto* f = As<TformBrowseFolder>(d);
            QCOMPARE(f->windowTitle(), QString::fromUtf8("Sökväg till filplats"));
            // The user's home folder is where the tree starts.
            QCOMPARE(f->SelectedPath(), QDir::cleanPath(QDir::homePath()));
            QVERIFY(f->btnOK->isEnabled());
            QTest::mouseClick(f->btnCancel, Qt::LeftButton);
        });
        QVERIFY(!form.Execute(QString(), TformBrowseFolder::rfMyComputer, folder));
        QCOMPARE(folder, QString());
        QCOMPARE(form.RootPaths(), QStringList{QDir::rootPath()});
    }

    void browseFolder_okGivesTheSelectedFolder() {
        QTemporaryDir dir;
        for (const char* name : {"b", "A", "Svampbilder", ".dold"}) QVERIFY(QDir(dir.path()).mkdir(name));
        QVERIFY(QDir(dir.path() + "/Svampbilder").mkdir("Kantareller"));
        QVERIFY(testsupport::WriteBytes(dir.path() + "/fil.txt", "x"));
        const QString wanted = QDir::cleanPath(dir.path() + "/Svampbilder/Kantareller");
        TformBrowseFolder form;
        UIServices::SetDialogHook([&](QDialog* d) {
            auto* f = As<TformBrowseFolder>(d);
            QCOMPARE(f->windowTitle(), QString::fromUtf8("Välj mapp för bilder"));
            QVERIFY(f->SelectPath(wanted));
            QTreeWidgetItem* base = f->shelltreeviewMain->currentItem()->parent()->parent();
            QStringList names;
            for (int i = 0; i < base->childCount(); ++i) names << base->child(i)->text(0);
            // Folders only, hidden ones left out, in name order without regard to case.
            QCOMPARE(names, QStringList({"A", "b", "Svampbilder"}));
            QTest::mouseClick(f->btnOK, Qt::LeftButton);
        });
        QString folder;
        QVERIFY(form.Execute(QString::fromUtf8("Välj mapp för bilder"), TformBrowseFolder::rfMyComputer, folder));
        QCOMPARE(folder, wanted);
        QVERIFY(!form.SelectPath(dir.path() + "/saknas"));
    }

    void browseFolder_refusesRenaming() {
        TformBrowseFolder form;
        form.ShowRoot(TformBrowseFolder::rfMyComputer);
        form.show();
        QTreeWidgetItem* item = form.shelltreeviewMain->currentItem();
        QVERIFY(item);
        QVERIFY(!(item->flags() & Qt::ItemIsEditable));
        form.shelltreeviewMain->editItem(item);
        form.shelltreeviewMain->setFocus();
        QTest::keyClick(form.shelltreeviewMain, Qt::Key_F2);
        QTest::mouseDClick(form.shelltreeviewMain->viewport(), Qt::LeftButton, {},
                           form.shelltreeviewMain->visualItemRect(item).center());
        QVERIFY(form.shelltreeviewMain->findChildren<QLineEdit*>().isEmpty());
        QCOMPARE(form.SelectedPath(), QDir::cleanPath(QDir::homePath()));
    }

    void browseFolder_networkRootOrTheFileSystem() {
        TformBrowseFolder form;
        form.ShowRoot(TformBrowseFolder::rfNetwork);
        const QStringList volumes = TformBrowseFolder::NetworkVolumes();
        QCOMPARE(form.RootPaths(), volumes.isEmpty() ? QStringList{QDir::rootPath()} : volumes);
        QVERIFY(!form.SelectedPath().isEmpty());
    }

    void browseFolder_networkAndRemovableVolumes_data() {
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<QString>("root");
        QTest::addColumn<bool>("shown");
        QTest::newRow("nfs share") << QByteArray("nfs4") << "/srv/data" << true;
        QTest::newRow("windows share") << QByteArray("cifs") << "/home/anna/delat" << true;
        QTest::newRow("sshfs") << QByteArray("fuse.sshfs") << "/home/anna/server" << true;
        QTest::newRow("usb stick") << QByteArray("vfat") << "/media/anna/KAMERA" << true;
        QTest::newRow("usb disk") << QByteArray("ext4") << "/run/media/anna/Backup" << true;
        QTest::newRow("mounted by hand") << QByteArray("ext4") << "/mnt/cd" << true;
        QTest::newRow("system disk") << QByteArray("ext4") << "/" << false;
        QTest::newRow("memory disk") << QByteArray("tmpfs") << "/run/user/1000" << false;
        QTest::newRow("the mount folder itself") << QByteArray("ext4") << "/mnt/" << false;
        QTest::newRow("a look-alike folder") << QByteArray("ext4") << "/mediabackup" << false;
    }
    void browseFolder_networkAndRemovableVolumes() {
        QFETCH(QByteArray, type);
        QFETCH(QString, root);
        QFETCH(bool, shown);
        QCOMPARE(TformBrowseFolder::IsNetworkOrRemovable(type, root), shown);
    }

    void browseFolder_screenshot() {
        TformBrowseFolder form;
        UIServices::SetDialogHook([](QDialog* d) { Screenshot(d, "dialog_browsefolder.png"); });
        QString folder;
        QVERIFY(!form.Execute(QString(), TformBrowseFolder::rfMyComputer, folder));
    }
};

QTEST_MAIN(TestSharedDialogs)
#include "tst_shareddialogs.moc"
