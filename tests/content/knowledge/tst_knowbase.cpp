#include <QDir>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include "content/knowledge/unitArticleView.h"
#include "content/knowledge/unitFrameSciences.h"
#include "content/knowledge/unitScienceScreen.h"
#include "controls/FREdits.h"
#include "controls/FRMemos.h"
#include "shell/UserTestSupport.h"
#include "shell/FRHistory.h"
#include "shell/unitSimpleInfo.h"
#include "platform/AtomicFile.h"
#include "zip/ZipMstr.h"

namespace {

using UIServices::TMsgResult;

QStringList FilesBelow(const QString& folder) {
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

// The knowledge-base screen in a main window over a data module of its own, with a
// logged-in user whose contact key is known.
struct KnowBase : UserFixture {
    std::unique_ptr<TformFRMain> main;
    TFRScienceScreen* screen = nullptr;
    QString userContact;
    QString chosenFile;  // what the open dialog answers
    int questions = 0;
    TMsgResult answer = TMsgResult::Yes;

    KnowBase() {
        const QString user = AddUser(QString::fromUtf8("Åsa Öberg"));
        Users()->Edit();
        userContact = CopyUserToContact(QString());
        Users()->FieldByName("ContactUKey")->SetAsString(userContact);
        Users()->Post();
        SelectCurrentUser(user);
        ui.Messages([this](const UIServices::TShownMessage& m) {
            if (m.Buttons == UIServices::TMsgButtons::YesNo) ++questions;
            return m.Buttons == UIServices::TMsgButtons::YesNo ? answer : TMsgResult::OK;
        });
        ui.Choosers([this](const UIServices::TChooserRequest&) {
            UIServices::TChooserAnswer a;
            a.Accepted = !chosenFile.isEmpty();
            a.Files = QStringList{chosenFile};
            return a;
        });
        TformFRMain::ClearScreenFactories();
        main = std::make_unique<TformFRMain>();
        main->SetDataModule(dm.get());
        main->zipMain->SetDLLDirectory(testsupport::ProgramDir());
        main->resize(800, 600);
        RegisterScienceScreen();
        main->CreateScreens();
        screen = qobject_cast<TFRScienceScreen*>(main->Screen(ssScience));
        main->show();
        screen->Navigate();
    }
    ~KnowBase() {
        SetArticleOpenUrlHook({});
        main.reset();
        TformFRMain::ClearScreenFactories();
    }
    TframeSciences* frame() const { return screen->ScienceFrame(); }
    TExtClientDataSet* table() const { return dm->cdsKnowbase; }

    QString AddRecord(int type, const QString& name, const QString& master = QString(),
                      const QString& createdBy = QString()) {
        table()->Append();
        table()->FieldByName("ItemType")->SetAsInteger(type);
        table()->FieldByName("ItemName")->SetAsString(name);
        table()->FieldByName("MasterUKey")->SetAsString(master);
        table()->FieldByName("CreatedBy")->SetAsString(createdBy);
        table()->Post();
        return table()->FieldByName("UKey")->AsString();
    }
    void Refill() {
        screen->FillTree(frame()->treeviewMain);
        screen->UpdateFrame();
    }
    void Select(const QString& key) {
        QTreeWidgetItem* node = frame()->NodeOfKey(key);
        QVERIFY(node);
        frame()->treeviewMain->setCurrentItem(node);
        QCOMPARE(GetUKey(table()), key);
    }
    // An article folder with main.htm and the given extra files.
    QString ArticleFolder(const QString& name, const QMap<QString, QByteArray>& files) {
        const QString folder = dir.path() + "/källor/" + name;
        for (auto it = files.begin(); it != files.end(); ++it) {
            QDir().mkpath(QFileInfo(folder + "/" + it.key()).absolutePath());
            testsupport::WriteBytes(folder + "/" + it.key(), it.value());
        }
        return folder;
    }
    void Fetch(const QString& folder) {
        chosenFile = folder + "/main.htm";
        frame()->btnGetDataClick();
    }
    // A new article from a folder, saved; its key.
    QString SavedArticle(const QString& name, const QString& folder) {
        frame()->NewItemClick(0);
        Fetch(folder);
        TypeInto(frame()->dbeditItemName, name);
        frame()->btnSaveClick();
        return GetUKey(table());
    }
};

}  // namespace

class TestKnowBase : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void treeSortsGroupsFirstInSwedishOrderAndSurvivesBrokenParents() {
        KnowBase kb;
        const QString gOdd = kb.AddRecord(0, QString::fromUtf8("Ödesvampar"));
        const QString gBj = kb.AddRecord(0, QString::fromUtf8("Björkskog"));
        const QString gAng = kb.AddRecord(0, QString::fromUtf8("Ängar"));
        kb.AddRecord(1, "Abborrsopp");
        const QString child = kb.AddRecord(1, QString::fromUtf8("Ängsvaxskivling"), gAng);
        kb.AddRecord(0, "Zebra", gAng);
        kb.AddRecord(1, QString::fromUtf8("Föräldralös"), "150XXXXXXXXXXXXXXX");
        // A record that is its own parent, and two that point at each other.
        const QString self = kb.AddRecord(1, "Egen förälder");
        kb.table()->Edit();
        kb.table()->FieldByName("MasterUKey")->SetAsString(self);
        kb.table()->Post();
        const QString a = kb.AddRecord(0, "Cirkel A");
        const QString b = kb.AddRecord(0, "Cirkel B", a);
        QVERIFY(LocateUKey(kb.table(), a));
        kb.table()->Edit();
        kb.table()->FieldByName("MasterUKey")->SetAsString(b);
        kb.table()->Post();
        kb.Refill();

        QTreeWidget* tree = kb.frame()->treeviewMain;
        QStringList top;
        for (int i = 0; i < tree->topLevelItemCount(); ++i) top << tree->topLevelItem(i)->text(0);
        // Of the two in a circle one stays on top and carries the other; nothing is lost.
        QCOMPARE(top,
                 (QStringList{"Björkskog", "Cirkel A", QString::fromUtf8("Ängar"), QString::fromUtf8("Ödesvampar"),
                              "Abborrsopp", "Egen förälder", QString::fromUtf8("Föräldralös")}));
        QTreeWidgetItem* ang = kb.frame()->NodeOfKey(gAng);
        QCOMPARE(ang->childCount(), 2);
        QCOMPARE(ang->child(0)->text(0), QString("Zebra"));
        QCOMPARE(kb.frame()->NodeOfKey(child)->parent(), ang);
        QCOMPARE(kb.frame()->NodeOfKey(b)->parent(), kb.frame()->NodeOfKey(a));
        QVERIFY(kb.frame()->NodeOfKey(gOdd) && kb.frame()->NodeOfKey(gBj));
        QCOMPARE(kb.frame()->panelFrameHeader->text(), QString::fromUtf8("   Svampvetenskap - översikt"));
    }

    void newArticleIsFetchedSavedAndShown() {
        KnowBase kb;
        const QString folder = kb.ArticleFolder("kantarell",
                                                {{"main.htm", "<h1>Kantarell</h1><a href=\"sporer.htm\">Sporer</a>"},
                                                 {"sporer.htm", "<p>Sporavtryck</p>"}});
        kb.frame()->NewItemClick(0);
        TframeSciences* f = kb.frame();
        QVERIFY(!kb.main->NavigationEnabled());
        QVERIFY(!f->treeviewMain->isEnabled());
        QCOMPARE(f->btnGetData->text(), QString::fromUtf8("Hämta artikeldata..."));
        QCOMPARE(f->panelFetchedData->text(), QString::fromUtf8("Ej hämtat"));
        QCOMPARE(f->editCreatedBy->text(), QString::fromUtf8("Åsa Öberg"));
        QCOMPARE(f->EditNode->text(0), QString("Ny artikel"));
        // Without data the article cannot be saved.
        QCOMPARE(testsupport::ExceptionText([&] { f->btnSaveClick(); }),
                 QString::fromUtf8("Artikeldata har inte hämtats. Artikeln kan inte sparas!"));
        QApplication::processEvents();
        QVERIFY(kb.main->grab().save(testsupport::ArtefactDir() + "/knowbase_new_800x600.png"));
        // Through the button the same error reaches the standard error box.
        f->btnSave->click();
        QCOMPARE(UIServices::MessageLog().last().Text,
                 QString::fromUtf8("Artikeldata har inte hämtats. Artikeln kan inte sparas!"));
        QCOMPARE(UIServices::MessageLog().last().Icon, UIServices::TMsgIcon::Error);
        QVERIFY(f->btnGetData->hasFocus() || !kb.main->isActiveWindow());
        kb.Fetch(folder);
        QCOMPARE(f->panelFetchedData->text(), QString("OK"));
        QCOMPARE(IniFile()->ReadString("Settings/ArticleFolder"), folder + "/");
        TypeInto(f->dbeditItemName, "Kantarell");
        QCOMPARE(f->EditNode->text(0), QString("Kantarell"));
        f->btnSaveClick();
        const QString key = GetUKey(kb.table());
        QVERIFY(kb.main->NavigationEnabled());
        QVERIFY(QFileInfo::exists(GetKnowBaseFile(key)));
        QVERIFY(!QFileInfo::exists(GetTempKnowBaseFile(key)));
        QCOMPARE(kb.table()->FieldByName("CreatedBy")->AsString(), kb.userContact);

        QVERIFY(f->sbtnOpen->isEnabled());
        f->sbtnOpenClick();
        QVERIFY(f->ShowingArticle);
        QVERIFY(f->panelBrowser->isVisible() && !f->panelList->isVisible());
        QCOMPARE(f->panelFrameHeader->text(), QString("   Svampvetenskap - Kantarell"));
        QCOMPARE(QFileInfo(f->webMain->CurrentFile()).fileName(), QString("main.htm"));
        QVERIFY(f->webMain->toPlainText().contains("Kantarell"));
        // A link inside the article stays in the view; one to the web goes to the browser.
        QList<QUrl> opened;
        SetArticleOpenUrlHook([&](const QUrl& u) { opened << u; });
        f->webMain->LinkClicked(QUrl("sporer.htm"));
        QCOMPARE(QFileInfo(f->webMain->CurrentFile()).fileName(), QString("sporer.htm"));
        f->webMain->LinkClicked(QUrl("../../../../etc/passwd"));
        QCOMPARE(QFileInfo(f->webMain->CurrentFile()).fileName(), QString("sporer.htm"));
        f->webMain->LinkClicked(QUrl("https://www.giftinformation.se/"));
        QCOMPARE(opened, QList<QUrl>{QUrl("https://www.giftinformation.se/")});
        f->sbtnBackClick();
        QVERIFY(!f->ShowingArticle && f->panelList->isVisible());
        QCOMPARE(GetUKey(kb.table()), key);
    }

    void damagedArticleFileRaisesOnOpen() {
        KnowBase kb;
        const QString key = kb.SavedArticle("Flugsvamp", kb.ArticleFolder("a", {{"main.htm", "<p>a</p>"}}));
        QVERIFY(testsupport::WriteBytes(GetKnowBaseFile(key), "trasig fil, ingen zip"));
        // The status window disables the main window while it shows; a failure must hide it.
        formSimpleInfo = new TformSimpleInfo("1.0.0");
        formSimpleInfo->SetMainWindow(kb.main.get());
        const QString text = testsupport::ExceptionText([&] { kb.frame()->sbtnOpenClick(); });
        QCOMPARE(text,
                 QStringLiteral("Fel vid uppackning av zip-arkiv. Meddelande: Filen \"%1\" är skadad eller ingen "
                                "zip-fil och kan inte packas upp.")
                     .arg(QDir::toNativeSeparators(GetKnowBaseFile(key))));
        QVERIFY(!kb.frame()->ShowingArticle);
        QVERIFY(!formSimpleInfo->isVisible());
        QVERIFY(kb.main->isEnabled());
        delete formSimpleInfo.data();
    }

    void secondFetchReplacesTheFirst() {
        KnowBase kb;
        const QString first = kb.ArticleFolder("första", {{"main.htm", "1"}, {"bilder/gammal.png", "g"}});
        const QString second = kb.ArticleFolder("andra", {{"main.htm", "2"}, {"ny.htm", "n"}});
        kb.frame()->NewItemClick(0);
        kb.Fetch(first);
        kb.Fetch(second);
        TypeInto(kb.frame()->dbeditItemName, "Andra");
        kb.frame()->btnSaveClick();
        kb.frame()->sbtnOpenClick();
        QCOMPARE(FilesBelow(GetTempKnowBaseFolder()), (QStringList{"main.htm", "ny.htm"}));
    }

    void cancelledFetchIsNeverSaved() {
        KnowBase kb;
        const QString key = kb.SavedArticle("Sopp", kb.ArticleFolder("gammal", {{"main.htm", "gammal"}}));
        const QByteArray stored = testsupport::ReadBytes(GetKnowBaseFile(key));
        kb.frame()->sbtnEditClick();
        QCOMPARE(kb.frame()->btnGetData->text(), QString::fromUtf8("Uppdatera artikeldata..."));
        QCOMPARE(kb.frame()->panelFetchedData->text(), QString("OK"));
        kb.Fetch(kb.ArticleFolder("ny", {{"main.htm", "ny"}}));
        kb.frame()->btnCancelClick();
        QVERIFY(kb.main->NavigationEnabled());
        kb.frame()->sbtnEditClick();
        kb.frame()->btnSaveClick();
        QCOMPARE(testsupport::ReadBytes(GetKnowBaseFile(key)), stored);
        // A cancelled new article leaves no node and no file.
        const int before = kb.table()->RecordCount();
        kb.frame()->NewItemClick(0);
        const QString newKey = GetUKey(kb.table());
        kb.Fetch(kb.ArticleFolder("x", {{"main.htm", "x"}}));
        kb.frame()->btnCancelClick();
        QCOMPARE(kb.table()->RecordCount(), before);
        QVERIFY(!kb.frame()->NodeOfKey(newKey));
        QVERIFY(!QFileInfo::exists(GetTempKnowBaseFile(newKey)));
    }

    // A full disk while a fetched article replaces the stored one: the stored file stays as it
    // was, nothing is left beside it, the fetched data is still there, and the message names
    // the file and the cause.
    void fullDiskKeepsStoredArticle() {
        KnowBase kb;
        const QString key = kb.SavedArticle("Sopp", kb.ArticleFolder("gammal", {{"main.htm", "gammal"}}));
        const QString target = GetKnowBaseFile(key);
        const QByteArray stored = testsupport::ReadBytes(target);
        kb.frame()->sbtnEditClick();
        kb.Fetch(kb.ArticleFolder("ny", {{"main.htm", "ny text"}}));
        const QByteArray fetched = testsupport::ReadBytes(GetTempKnowBaseFile(key));
        QVERIFY(!fetched.isEmpty() && fetched != stored);
        AtomicFileFaults::FailNext(TWriteStep::Flush);
        auto clear = qScopeGuard([] { AtomicFileFaults::Clear(); });
        QCOMPARE(
            testsupport::ExceptionText([&] { kb.frame()->btnSaveClick(); }),
            QString::fromUtf8("Filen \"%1\" kunde inte sparas (disken är full)").arg(QDir::toNativeSeparators(target)));
        QVERIFY(!AtomicFileFaults::Armed());
        QCOMPARE(testsupport::ReadBytes(target), stored);
        QCOMPARE(QDir(QFileInfo(target).absolutePath()).entryList(QDir::Files),
                 QStringList{QFileInfo(target).fileName()});
        QCOMPARE(testsupport::ReadBytes(GetTempKnowBaseFile(key)), fetched);
    }

    void fetchChecksFolder_data() {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("asked");
        QTest::newRow("exakt 5 MiB") << qint64(5) * 1024 * 1024 << false;
        QTest::newRow("6 MiB") << qint64(6) * 1024 * 1024 << true;
    }
    void fetchChecksFolder() {
        QFETCH(qint64, size);
        QFETCH(bool, asked);
        KnowBase kb;
        // Dot files do not count: they are not packed.
        const QString folder = kb.ArticleFolder("stor",
                                                {{"main.htm", ""},
                                                 {"bilder/data.bin", QByteArray(size, 'x')},
                                                 {".cache/stor", QByteArray(2 * 1024 * 1024, 'y')}});
        kb.frame()->NewItemClick(0);
        kb.answer = TMsgResult::No;
        kb.Fetch(folder);
        QCOMPARE(kb.questions, asked ? 1 : 0);
        QCOMPARE(kb.screen->DataFetched, !asked);
        if (asked)
            QCOMPARE(
                UIServices::MessageLog().last().Text,
                QString::fromUtf8("Sökvägen Du har angivit för artikeln innehåller över 5Mb data. Vill Du fortsätta?"));
        // A folder without main.htm.
        QVERIFY(QFile::remove(folder + "/main.htm"));
        testsupport::WriteBytes(folder + "/index.htm", "x");
        kb.chosenFile = folder + "/index.htm";
        QCOMPARE(testsupport::ExceptionText([&] { kb.frame()->btnGetDataClick(); }),
                 QString::fromUtf8("Filen \"main.htm\" kunde inte hittas i angiven sökväg!"));
    }

    void deleteRefusesGroupsWithChildren() {
        KnowBase kb;
        const QString group = kb.AddRecord(0, "Grupp", QString(), kb.userContact);
        const QString child = kb.AddRecord(1, "Barn", group, kb.userContact);
        kb.Refill();
        kb.Select(group);
        QCOMPARE(testsupport::ExceptionText([&] { kb.frame()->sbtnDeleteClick(); }),
                 QString::fromUtf8(
                     "Artikelgruppen kan inte raderas eftersom den fortfarande innehåller underliggande artiklar!"));
        QVERIFY(LocateUKey(kb.table(), group));
        kb.Select(child);
        kb.frame()->sbtnDeleteClick();
        QCOMPARE(UIServices::MessageLog().last().Text,
                 QString::fromUtf8("Du är på väg att radera artikeln \"Barn\". Skall raderingen genomföras?"));
        QVERIFY(!LocateUKey(kb.table(), child));
        kb.Select(group);
        kb.frame()->sbtnDeleteClick();
        QCOMPARE(kb.table()->RecordCount(), 0);
        QCOMPARE(kb.frame()->treeviewMain->topLevelItemCount(), 0);
        QVERIFY(kb.frame()->sbtnNew->isEnabled());
        QVERIFY(!kb.frame()->sbtnEdit->isEnabled() && !kb.frame()->sbtnDelete->isEnabled() &&
                !kb.frame()->sbtnOpen->isEnabled());
    }

    // Only the creator may change an item; anyone may delete or read it.
    void rightsFollowTheCreator_data() {
        QTest::addColumn<int>("creator");  // 0 nobody, 1 the user, 2 someone else
        QTest::addColumn<bool>("mayEdit");
        QTest::addColumn<QString>("shown");
        QTest::newRow("programmet") << 0 << false << "Mykotekshallen";
        QTest::newRow("egen") << 1 << true << QString::fromUtf8("Åsa Öberg");
        QTest::newRow("annans") << 2 << false << "Bertil";
    }
    void rightsFollowTheCreator() {
        QFETCH(int, creator);
        QFETCH(bool, mayEdit);
        QFETCH(QString, shown);
        KnowBase kb;
        kb.Contacts()->Append();
        kb.Contacts()->FieldByName("UserName")->SetAsString("Bertil");
        kb.Contacts()->Post();
        const QString other = kb.Contacts()->FieldByName("UKey")->AsString();
        const QString key = kb.AddRecord(1, "Artikel", QString(),
                                         creator == 0       ? QString()
                                             : creator == 1 ? kb.userContact
                                                            : other);
        kb.Refill();
        kb.Select(key);
        QCOMPARE(kb.frame()->sbtnEdit->isEnabled(), mayEdit);
        QVERIFY(kb.frame()->sbtnDelete->isEnabled());
        QVERIFY(kb.frame()->sbtnOpen->isEnabled());
        QCOMPARE(kb.frame()->editCreatedBy->text(), shown);
        QVERIFY(kb.frame()->editCreatedBy->isVisible());
    }

    void cancelledEditRestoresTheCaption() {
        KnowBase kb;
        const QString key = kb.AddRecord(0, "Grupp", QString(), kb.userContact);
        kb.Refill();
        kb.Select(key);
        kb.frame()->sbtnEditClick();
        TypeInto(kb.frame()->dbeditItemName, "Annat namn");
        QCOMPARE(kb.frame()->NodeOfKey(key)->text(0), QString("Annat namn"));
        kb.frame()->btnCancelClick();
        QCOMPARE(kb.frame()->NodeOfKey(key)->text(0), QString("Grupp"));
        QCOMPARE(kb.table()->FieldByName("ItemName")->AsString(), QString("Grupp"));
    }

    void historyAndLostRecords() {
        KnowBase kb;
        const QString first = kb.AddRecord(1, "Första");
        const QString second = kb.AddRecord(1, "Andra");
        kb.Refill();
        kb.Select(first);
        std::unique_ptr<TFRHistoryItem> item(kb.frame()->CreateHistoryItem());
        QCOMPARE(item->Title, QString("Till Svampvetenskap"));
        QCOMPARE(item->UKey, first);
        kb.Select(second);
        kb.frame()->RestoreHistory(item.get());
        QCOMPARE(GetUKey(kb.table()), first);
        QCOMPARE(static_cast<TScienceNode*>(kb.frame()->treeviewMain->currentItem())->UKey(), first);
        // A node whose record has gone.
        auto* lost = new TScienceNode("150XXXXXXXXXXXXXXX", 1, "Borta");
        kb.frame()->treeviewMain->addTopLevelItem(lost);
        QCOMPARE(testsupport::ExceptionText([&] { kb.frame()->treeviewMainClick(lost); }),
                 QString::fromUtf8("Databasposten som är associerad till artikeln kunde inte hittas!"));
        // The refresh itself raises nothing and leaves the table where it stands.
        kb.frame()->treeviewMain->blockSignals(true);
        kb.frame()->treeviewMain->setCurrentItem(lost);
        kb.frame()->treeviewMain->blockSignals(false);
        kb.screen->UpdateFrame();
        QCOMPARE(GetUKey(kb.table()), first);
    }

    // The build gives a program folder the shipped articles it lacks and never replaces
    // what is there.
    void installKeepsWhatIsThere() {
        const QString tool = qEnvironmentVariable("MYKO_BUILD_DIR") + "/tools/genknowbase";
        const QString staging = qEnvironmentVariable("MYKO_BUILD_DIR") + "/knowbase";
        QVERIFY(QFileInfo(tool).isExecutable());
        QTemporaryDir program;
        auto install = [&] {
            QProcess p;
            p.start(tool, {"install", staging, program.path()});
            QVERIFY(p.waitForFinished(30000));
            QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
        };
        install();
        const QStringList files = QDir(program.path() + "/Data/KnowBase").entryList({"*.dat"}, QDir::Files);
        QVERIFY(files.size() >= 4);
        const QString own = program.path() + "/Data/KnowBase/" + files[0];
        const QString gone = program.path() + "/Data/KnowBase/" + files[1];
        QVERIFY(testsupport::WriteBytes(own, "användarens egen version"));
        QVERIFY(QFile::remove(gone));
        const QByteArray table = testsupport::ReadBytes(program.path() + "/Data/Db/Knowbase.dat");
        install();
        QCOMPARE(testsupport::ReadBytes(own), QByteArray("användarens egen version"));
        QVERIFY(QFileInfo::exists(gone));
        QCOMPARE(testsupport::ReadBytes(program.path() + "/Data/Db/Knowbase.dat"), table);
    }

    void dataColumnRows() {
        KnowBase kb;
        const QString group = kb.AddRecord(0, "Grupp", QString(), kb.userContact);
        const QString article = kb.AddRecord(1, "Artikel", group, kb.userContact);
        kb.Refill();
        TframeSciences* f = kb.frame();
        kb.Select(group);
        QVERIFY(!f->lblName->isVisible() && !f->dbeditItemName->isVisible() && !f->btnSave->isVisible());
        QVERIFY(!f->sbtnOpen->isEnabled());
        // Saving a group needs no article data.
        f->sbtnEditClick();
        QCOMPARE(f->dbeditItemName->y(), 15);
        QCOMPARE(f->bevelSeparator->y(), 35);
        QCOMPARE(f->btnSave->y(), 50);
        QCOMPARE(f->btnCancel->y(), 50);
        f->btnSaveClick();
        QVERIFY(kb.main->NavigationEnabled());

        kb.Select(article);
        f->sbtnEditClick();
        TypeInto(f->dbeditAuthor, "Någon annan");
        kb.screen->UpdateFrame();
        const QList<QPair<QWidget*, int>> rows{
            {f->dbeditItemName, 15},    {f->dbmemoDescription, 35}, {f->dbeditSource, 105},
            {f->dbeditAuthor, 125},     {f->editCreatedBy, 145},    {f->btnGetData, 165},
            {f->panelFetchedData, 165}, {f->bevelSeparator, 195},   {f->btnSave, 210}};
        for (const auto& row : rows) QCOMPARE(row.first->y(), row.second);
        // The creator row goes when the author is the creator.
        TypeInto(f->dbeditAuthor, QString::fromUtf8("Åsa Öberg"));
        kb.screen->UpdateFrame();
        QVERIFY(!f->editCreatedBy->isVisible());
        QCOMPARE(f->btnGetData->y(), 145);
        QCOMPARE(f->btnSave->y(), 190);
        f->btnCancelClick();
    }

    // The articles shipped with the program open, and each tells the reader not to eat on
    // the program's word alone.
    void shippedArticlesOpen() {
        KnowBase kb;
        TClientDataSet shipped;
        shipped.LoadFromFile(testsupport::ProgramDir() + "/Data/Db/Knowbase.dat");
        QStringList articles;
        for (shipped.First(); !shipped.Eof(); shipped.Next()) {
            kb.table()->Append();
            for (const char* field :
                 {"UKey", "MasterUKey", "ItemName", "ItemType", "Source", "Author", "Description", "CreatedBy"})
                kb.table()->FieldByName(field)->SetValue(shipped.FieldByName(field)->Value());
            kb.table()->Post();
            const QString key = shipped.FieldByName("UKey")->AsString();
            if (shipped.FieldByName("ItemType")->AsInteger() == 1) {
                articles << key;
                QDir().mkpath(QFileInfo(GetKnowBaseFile(key)).absolutePath());
                QVERIFY(
                    QFile::copy(testsupport::ProgramDir() + "/Data/KnowBase/" + key + ".dat", GetKnowBaseFile(key)));
            }
        }
        shipped.Close();
        QVERIFY(articles.size() >= 4);
        kb.Refill();
        kb.frame()->treeviewMain->expandAll();
        const QString warning = QString::fromUtf8("Ät aldrig en svamp enbart på det här programmets ord");
        bool poisoning = false;
        for (const QString& key : articles) {
            kb.Select(key);
            kb.frame()->sbtnOpenClick();
            const QString text = kb.frame()->webMain->toPlainText();
            QVERIFY2(text.contains(warning), qPrintable(key));
            if (text.contains("112") && text.contains("Giftinformationscentralen")) poisoning = true;
            kb.frame()->sbtnBackClick();
        }
        QVERIFY(poisoning);

        // Screenshots of the tree with an article chosen and of the open article.
        kb.Select(articles.at(2));
        for (const QSize size : {QSize(800, 600), QSize(1280, 1024)}) {
            kb.main->resize(size);
            kb.frame()->sbtnBackClick();
            QApplication::processEvents();
            const QString suffix = QString("%1x%2").arg(size.width()).arg(size.height());
            QVERIFY(kb.main->grab().save(testsupport::ArtefactDir() + "/knowbase_tree_" + suffix + ".png"));
            kb.frame()->sbtnOpenClick();
            QApplication::processEvents();
            QVERIFY(kb.main->grab().save(testsupport::ArtefactDir() + "/knowbase_article_" + suffix + ".png"));
        }
    }

    void articleFilesAreFoundWithoutRegardToCase() {
        QTemporaryDir dir;
        QDir().mkpath(dir.path() + "/Bilder");
        testsupport::WriteBytes(dir.path() + "/Main.HTM", "x");
        testsupport::WriteBytes(dir.path() + "/Bilder/Spor.PNG", "x");
        QCOMPARE(ResolveArticleFile(dir.path(), "main.htm"), dir.path() + "/Main.HTM");
        QCOMPARE(ResolveArticleFile(dir.path(), "bilder/spor.png"), dir.path() + "/Bilder/Spor.PNG");
        QCOMPARE(ResolveArticleFile(dir.path(), "bilder/../main.htm"), dir.path() + "/Main.HTM");
        QVERIFY(ResolveArticleFile(dir.path(), "../x").isEmpty());
        QVERIFY(ResolveArticleFile(dir.path(), "/etc/passwd").isEmpty());
        QVERIFY(ResolveArticleFile(dir.path(), "saknas.htm").isEmpty());
    }
};

QTEST_MAIN(TestKnowBase)
#include "tst_knowbase.moc"
