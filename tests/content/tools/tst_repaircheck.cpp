// The check and repair of the database, without a window (the picture work needs the GUI
// application, on the offscreen platform).
#include <QtTest>

#include <QGuiApplication>
#include <QDir>
#include <QScopeGuard>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cmath>
#include <csignal>
#include <cstring>

#include "content/RepairTestSupport.h"
#include "content/tools/RepairCheck.h"
#include "core/ExtClientDataSet.h"
#include "core/SaveUnit.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "shell/unitUserScreen.h"
#include "support/TestSupport.h"

using namespace repairtest;

namespace {

const QString kDashes(66, QLatin1Char('-'));

QString Table(const QString& name) { return QStringLiteral("   Tabell %1 (100%)...").arg(name); }

// Every reference to each contact, counted from the table files the way the program
// counts them: CreatedBy and CompletedBy, the " UKEY=" of photographers and participants,
// the users' contact keys. Group membership is no reference.
QHash<QString, int> ReferencesInFiles(TDatabase& db) {
    QHash<QString, int> refs;
    for (const TDM::TTableInfo& info : TDM::Catalogue()) {
        if (!info.AutoSave) continue;
        TClientDataSet table;
        table.LoadFromFile(db.TableFile(info.TableName));
        for (table.First(); !table.Eof(); table.Next()) {
            for (const char* field : {"CreatedBy", "CompletedBy"})
                if (TField* f = table.FindField(field); f && !f->AsString().isEmpty()) ++refs[f->AsString()];
            for (const char* field : {"Photographer", "Individual"})
                if (TField* f = table.FindField(field); f && f->AsString().startsWith(kRef))
                    ++refs[f->AsString().mid(kRef.size())];
            if (info.TableName == "cdsUsers") ++refs[table.FieldByName("ContactUKey")->AsString()];
        }
    }
    return refs;
}

QList<int> Numbers(const TRepairCheck::TCounters& c) {
    return {c.Contacts,    c.BrokenDetails,      c.MissingContacts, c.CorrectedRefCounts,
            c.OrphanFiles, c.CorrectedPicCounts, c.MissingFiles};
}

// Whether every table has its master link, AutoSave and NoTimestamp as designed, and its
// bound controls are told of changes again.
QString TablesRestored(TDM* dm) {
    for (const TDM::TTableInfo& info : TDM::Catalogue()) {
        TExtClientDataSet* table = dm->Table(info.TableName);
        TDataSource* master = info.Master.isEmpty() ? nullptr : dm->Source(info.Master);
        if (table->AutoSave() != info.AutoSave || table->NoTimestamp || table->ControlsDisabled() ||
            (master && table->MasterSource() != master))
            return info.TableName;
    }
    return QString();
}

// Run as a child process: opens the database of the folder and runs the check, killing
// itself when the given line is written during the step of the contact references.
int RunKilledCheck(const QString& folder, const QString& killAt) {
    TDatabase db(folder);
    TRepairCheck check(db.dm.get());
    bool inStep3 = false;
    check.OnReportLine = [&](const QString& line) {
        if (line == QStringLiteral("Kontrollerar databasens kontaktreferenser...")) inStep3 = true;
        if (inStep3 && line.startsWith(killAt)) std::raise(SIGKILL);
    };
    check.Run();
    return 3;  // not killed
}

}  // namespace

class TestRepairCheck : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void emptyDatabase_reportOf71Lines();
    void sample_repairedAndSecondRunClean();
    void progress_aboutTwentyLinesPerTable_data();
    void progress_aboutTwentyLinesPerTable();
    void unreadableTables_passedOverAndKept();
    void stop_endsRunAndRestoresTables();
    void failure_endsRunAndRestoresTables();
    void killedInStep3_leavesEveryFileWhole_data();
    void killedInStep3_leavesEveryFileWhole();
    void stepKilledBetweenItsFiles_landsWhole();
};

void TestRepairCheck::emptyDatabase_reportOf71Lines() {
    QTemporaryDir dir;
    TDatabase db(dir.path());
    TRepairCheck check(db.dm.get());
    QStringList written;
    check.OnReportLine = [&](const QString& line) { written << line; };
    QCOMPARE(check.Run(), TRepairCheck::TOutcome::Completed);

    QStringList expected{"Läser in kontaktlistan...", "Kontrollerar master-detail relationer..."};
    for (const char* name : {"Svenska namn", "Latinska namn", "Svampbilder", "Fyndplatser", "Förväxlingssvampar",
                             "Arttexter", "Kontaktgruppsrader", "Recept", "Receptrader", "Internet-resurstexter",
                             "Svamputflykter", "Utflyktsdeltagare", "Utflyktsfynd", "Fria texter"})
        expected << Table(QString::fromUtf8(name));
    expected << "Kontrollerar databasens kontaktreferenser...";
    for (const char* name : {"Artbeskrivningar",
                             "Svenska namn",
                             "Latinska namn",
                             "Svampbilder",
                             "Fyndplatser",
                             "Förväxlingssvampar",
                             "Användare",
                             "Kontakter",
                             "Arttexter",
                             "Kontaktgrupper",
                             "Kontaktgruppsrader",
                             "Receptkategorier",
                             "Recept",
                             "Receptrader",
                             "Kartor",
                             "Internet-resurser",
                             "Internet-resurstexter",
                             "Svampställen",
                             "Svamputflykter",
                             "Utflyktsdeltagare",
                             "Utflyktsfynd",
                             "Svampvetenskap",
                             "Fria texter"})
        expected << Table(QString::fromUtf8(name));
    expected << "Korrigerar kontaktreferenser..."
             << "Kontrollerar förekomst av överblivna data- och bildfiler..."
             << "   Användarbilder (100%)..."
             << "   Svampbilder, fullstorlek (100%)..."
             << "   Svampbilder, miniatyrer (100%)..."
             << "   Svampbilder, huvudbilder (100%)..."
             << "   Receptbilder, fullstorlek (100%)..."
             << "   Receptbilder, miniatyrer (100%)..."
             << "   Kontaktbilder (100%)..."
             << "   Internetbilder (100%)..."
             << "Kontrollerar arternas uppgift om bildantal (100%)..."
             << "Kontrollerar förekomst av saknade data- och bildfiler..."
             << "   Användarbilder (100%)..."
             << "   Svampbilder, huvudbilder (100%)..."
             << "   Receptbilder, fullstorlek (100%)..."
             << "   Receptbilder, miniatyrer (100%)..."
             << "   Kontaktbilder (100%)..."
             << "   Internetbilder (100%)..."
             << "   Svampbilder, fullstorlek (100%)..."
             << ""
             << "Kontrollen är nu slutförd. Resultat: " << kDashes << "Det finns 0 kontakter i databasen..."
             << "0 poster med brutna master-detail relationer hittades och raderades..."
             << "0 poster innehöll referenser till kontakter som inte kunde hittas..."
             << "0 kontakter hade felaktig referensuppgift som nu korrigerats..."
             << "0 herrelösa bild- eller datafiler hittades och raderades..."
             << "0 artbeskrivningar hade felaktig antalsuppgift på svampbilderna, som nu korrigerats..."
             << "0 poster hänvisade till bild- eller datafiler som inte kunde hittas..." << kDashes
             << "Klicka på \"Hjälp\" för mer information om rapportens olika delar, eller klicka på \"Avsluta\" för "
                "att stänga det här fönstret.";
    QCOMPARE(check.ReportLines().size(), 71);
    QCOMPARE(check.ReportLines(), expected);
    // Each walk's line was written first with 0 and then replaced.
    QCOMPARE(written.count("   Tabell Kontakter (0%)..."), 1);
    QCOMPARE(written.count("*   Tabell Kontakter (100%)..."), 1);
    // The empty database gained nothing: no contact stands in for a removed one.
    QCOMPARE(db.dm->cdsContacts->InternalDataSet()->RecordCount(), 0);
    QCOMPARE(TablesRestored(db.dm.get()), QString());
}

void TestRepairCheck::sample_repairedAndSecondRunClean() {
    QTemporaryDir dir;
    TDatabase db(dir.path());
    TDM* dm = db.dm.get();
    const TSample s = BuildSample(db);
    SelectCurrentUser(s.U2);
    const QVariant findBStamp = Stored(dm->cdsFungiFinds, s.FindB, "Timestamp");
    auto species = [&] {
        QVariantList values;
        for (const char* field : {"HasPic", "PicCount", "Timestamp"}) values << Stored(dm->cdsFungi, s.F1, field);
        return values;
    };
    const QVariantList f1Before = species();
    QVariantList f1AfterStep2;

    TRepairCheck check(dm);
    check.OnReportLine = [&](const QString& line) {
        if (line == QStringLiteral("Kontrollerar databasens kontaktreferenser...")) f1AfterStep2 = species();
    };
    QCOMPARE(check.Run(), TRepairCheck::TOutcome::Completed);
    QCOMPARE(Numbers(check.Counters()), (QList<int>{2, 1, 2, 2, 3, 1, 3}));
    const QStringList report = check.ReportLines();
    QCOMPARE(report.mid(report.size() - 9, 7),
             (QStringList{"Det finns 2 kontakter i databasen...",
                          "1 poster med brutna master-detail relationer hittades och raderades...",
                          "2 poster innehöll referenser till kontakter som inte kunde hittas...",
                          "2 kontakter hade felaktig referensuppgift som nu korrigerats...",
                          "3 herrelösa bild- eller datafiler hittades och raderades...",
                          "1 artbeskrivningar hade felaktig antalsuppgift på svampbilderna, som nu korrigerats...",
                          "3 poster hänvisade till bild- eller datafiler som inte kunde hittas..."}));
    QCOMPARE(TablesRestored(dm), QString());

    // Step 2: the picture of the species that is gone went, and nothing of another species.
    // (It was marked as its species' main picture, and the current species was another.)
    QVERIFY(!FileKeys(db.TableFile("cdsFungiPics")).contains(s.Orphan));
    QCOMPARE(f1AfterStep2, f1Before);
    QCOMPARE(Stored(dm->cdsFungi, s.F1, "HasPic").toBool(), true);
    QVERIFY(QFile::exists(db.File(TKeyFile::MainPic, s.F1)));

    // Step 3: references to contacts that are gone name the stand-in, Timestamps untouched.
    QCOMPARE(Stored(dm->cdsFungiFinds, s.FindB, "CreatedBy").toString(), kPlaceholder);
    QCOMPARE(Stored(dm->cdsFungiFinds, s.FindB, "Timestamp"), findBStamp);
    QCOMPARE(Stored(dm->cdsContacts, kPlaceholder, "UserName").toString(), TRepairCheck::PlaceholderContactName);
    QCOMPARE(Stored(dm->cdsFungiPics, s.Link, "Photographer").toString(), QString("Anna"));
    // Cecilia's own contact is made again, copied from her, and she is the one logged in.
    const QString mirror = Stored(dm->cdsUsers, s.U2, "ContactUKey").toString();
    QVERIFY(mirror != kGoneUserContact);
    QCOMPARE(Stored(dm->cdsContacts, mirror, "UserName").toString(), QString("Cecilia"));
    QCOMPARE(Stored(dm->cdsContacts, mirror, "UserUKey").toString(), s.U2);
    QCOMPARE(GetCurrentUserContactUKey(), mirror);
    const QStringList rows = FileKeys(db.TableFile("cdsContactGroupRows"));
    QVERIFY(rows.contains(s.LiveRow));
    QVERIFY(!rows.contains(s.DeadRow));

    // Step 4: every count is the number of references.
    const QHash<QString, int> refs = ReferencesInFiles(db);
    for (const QString& key : FileKeys(db.TableFile("cdsContacts")))
        QCOMPARE(Stored(dm->cdsContacts, key, "RefCount").toInt(), refs.value(key));
    QCOMPARE(refs.value(s.C1), 4);
    QCOMPARE(refs.value(s.C2), 2);

    // Step 5: the stray files went; the user's picture and other files stayed.
    QVERIFY(!QFile::exists(db.File(TKeyFile::FungiPic, kStrayPicture)));
    QVERIFY(!QFile::exists(db.File(TKeyFile::MainPic, kStrayMainPicture)));
    QVERIFY(!QFile::exists(db.File(TKeyFile::ContactPic, kStrayContactPicture)));
    QVERIFY(QFile::exists(db.File(TKeyFile::ContactPic, s.U1)));
    QVERIFY(QFile::exists(KeyFileFolder(db.Folder, TKeyFile::ContactPic) + "Läs mig.txt"));

    // Steps 6 and 7: counts by species, missing files.
    QCOMPARE(Stored(dm->cdsFungi, s.F1, "PicCount").toInt(), 1);
    QCOMPARE(Stored(dm->cdsFungi, s.F2, "PicCount").toInt(), 1);
    QCOMPARE(Stored(dm->cdsFungiPics, s.Link, "PicDownloaded").toBool(), false);
    QVERIFY(FileKeys(db.TableFile("cdsFungiPics")).contains(s.Link));
    QVERIFY(!FileKeys(db.TableFile("cdsFungiPics")).contains(s.Personal));
    QCOMPARE(Stored(dm->cdsFungi, s.F2, "HasPic").toBool(), false);
    QCOMPARE(Stored(dm->cdsFungiPics, s.NoThumb, "IsMainPic").toBool(), false);
    QVERIFY(QFile::exists(db.File(TKeyFile::FungiPicThumb, s.NoThumb)));

    // What the run wrote is in the files: a data module that opens them anew agrees.
    TRepairCheck again(dm);
    QCOMPARE(again.Run(), TRepairCheck::TOutcome::Completed);
    QCOMPARE(Numbers(again.Counters()), (QList<int>{4, 0, 0, 0, 0, 0, 0}));
}

void TestRepairCheck::progress_aboutTwentyLinesPerTable_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<QList<int>>("percentages");
    QTest::newRow("empty") << 0 << QList<int>{0, 100};
    // Halves go to the even neighbour.
    QTest::newRow("8 rows") << 8 << QList<int>{0, 12, 25, 38, 50, 62, 75, 88, 100, 100};
    QList<int> every;
    for (int n = 0; n <= 19; ++n) every << int(std::nearbyint(n * 100.0 / 19));
    every << 100;
    QTest::newRow("19 rows, every row") << 19 << every;
    QList<int> second{0};
    for (int n = 2; n <= 44; n += 2) second << int(std::nearbyint(n * 100.0 / 45));
    second << 100;
    QTest::newRow("45 rows, every second row") << 45 << second;
}

void TestRepairCheck::progress_aboutTwentyLinesPerTable() {
    QFETCH(int, rows);
    QFETCH(QList<int>, percentages);
    QTemporaryDir dir;
    TDatabase db(dir.path());
    for (int i = 0; i < rows; ++i) Add(db.dm->cdsMaps, {{"MapName", QString("Karta %1").arg(i)}});
    TRepairCheck check(db.dm.get());
    QList<int> seen;
    bool inStep3 = false;
    const QRegularExpression line(QStringLiteral("^\\*?   Tabell Kartor \\((\\d+)%\\)\\.\\.\\.$"));
    check.OnReportLine = [&](const QString& text) {
        if (text == QStringLiteral("Kontrollerar databasens kontaktreferenser...")) inStep3 = true;
        const QRegularExpressionMatch match = line.match(text);
        if (inStep3 && match.hasMatch()) seen << match.captured(1).toInt();
    };
    QCOMPARE(check.Run(), TRepairCheck::TOutcome::Completed);
    QCOMPARE(seen, percentages);
}

void TestRepairCheck::unreadableTables_passedOverAndKept() {
    QTemporaryDir dir;
    TSample s;
    {
        TDatabase db(dir.path());
        s = BuildSample(db);
    }
    const QByteArray damaged("Inte en tabellfil");
    const QString db1 = dir.path() + "/Data/Db/";
    QVERIFY(testsupport::WriteBytes(db1 + "FungiPics.dat", damaged));
    QVERIFY(testsupport::WriteBytes(db1 + "Contacts.dat", damaged));

    TDatabase db(dir.path());
    QVERIFY(!db.dm->StartupErrors().isEmpty());
    TRepairCheck check(db.dm.get());
    QCOMPARE(check.Run(), TRepairCheck::TOutcome::Completed);
    const QStringList report = check.ReportLines();
    QVERIFY(report.contains("   Tabell Svampbilder: tabellfilen kunde inte läsas, tabellen hoppades över..."));
    QVERIFY(report.contains("   Kontakter: tabellfilen kunde inte läsas, steget hoppades över..."));
    QVERIFY(report.contains("   Svampbilder, fullstorlek: tabellfilen kunde inte läsas, steget hoppades över..."));
    QVERIFY(report.contains("   Kontaktbilder: tabellfilen kunde inte läsas, steget hoppades över..."));

    // The pictures of the tables that could not be read stay, and so do the files.
    QVERIFY(QFile::exists(db.File(TKeyFile::FungiPic, kStrayPicture)));
    QVERIFY(QFile::exists(db.File(TKeyFile::FungiPic, s.NoThumb)));
    QVERIFY(QFile::exists(db.File(TKeyFile::ContactPic, kStrayContactPicture)));
    QVERIFY(QFile::exists(db.File(TKeyFile::ContactPic, s.U1)));
    QCOMPARE(testsupport::ReadBytes(db1 + "FungiPics.dat"), damaged);
    QCOMPARE(testsupport::ReadBytes(db1 + "Contacts.dat"), damaged);
    // Without the contacts no reference is taken for one to a removed contact.
    QCOMPARE(Stored(db.dm->cdsFungiFinds, s.FindB, "CreatedBy").toString(), kGoneFindAuthor);
    QCOMPARE(Stored(db.dm->cdsUsers, s.U2, "ContactUKey").toString(), kGoneUserContact);
    // The tables that could be read were checked.
    QVERIFY(!QFile::exists(db.File(TKeyFile::MainPic, kStrayMainPicture)));
    QCOMPARE(check.Counters().OrphanFiles, 1);
}

void TestRepairCheck::stop_endsRunAndRestoresTables() {
    QTemporaryDir dir;
    TDatabase db(dir.path());
    BuildSample(db);
    TRepairCheck check(db.dm.get());
    bool inStep3 = false;
    check.OnReportLine = [&](const QString& line) {
        if (line == QStringLiteral("Kontrollerar databasens kontaktreferenser...")) inStep3 = true;
        if (inStep3 && line.startsWith(QStringLiteral("   Tabell Fyndplatser"))) check.RequestStop();
    };
    QCOMPARE(check.Run(), TRepairCheck::TOutcome::Stopped);
    const QStringList report = check.ReportLines();
    const int heading = int(report.indexOf("Kontrollen avbruten. Resultat så långt: "));
    QVERIFY(heading > 0);
    QCOMPARE(report.mid(heading + 1),
             (QStringList{kDashes, "Det finns 2 kontakter i databasen...",
                          "1 poster med brutna master-detail relationer hittades och raderades...", kDashes,
                          "Klicka på \"Avsluta\" för att stänga det här fönstret."}));
    QVERIFY(!report.contains("   Tabell Användare (0%)...") && !report.contains("Korrigerar kontaktreferenser..."));
    QCOMPARE(TablesRestored(db.dm.get()), QString());
    // The later steps did not run.
    QVERIFY(QFile::exists(db.File(TKeyFile::FungiPic, kStrayPicture)));
}

void TestRepairCheck::failure_endsRunAndRestoresTables() {
    QTemporaryDir dir;
    TDatabase db(dir.path());
    const TSample s = BuildSample(db);
    const QString finds = db.TableFile("cdsFungiFinds");
    const QByteArray damaged("Inte en tabellfil");
    TRepairCheck check(db.dm.get());
    bool inStep3 = false;
    check.OnReportLine = [&](const QString& line) {
        if (line == QStringLiteral("Kontrollerar databasens kontaktreferenser...")) inStep3 = true;
        // The finds' file is damaged while their walk runs: saving the repairs fails.
        if (inStep3 && line == QStringLiteral("*   Tabell Fyndplatser (50%)..."))
            QVERIFY(testsupport::WriteBytes(finds, damaged));
    };
    QCOMPARE(check.Run(), TRepairCheck::TOutcome::Failed);
    QVERIFY(!check.FailureMessage().isEmpty());
    const QStringList report = check.ReportLines();
    QVERIFY(report.contains(
        QStringLiteral("Kontrollen avbröts av ett fel (%1). Resultat så långt: ").arg(check.FailureMessage())));
    QCOMPARE(report.last(), QString("Klicka på \"Avsluta\" för att stänga det här fönstret."));
    QCOMPARE(TablesRestored(db.dm.get()), QString());
    QCOMPARE(testsupport::ReadBytes(finds), damaged);
    // The tables walked before kept what was done to them.
    QVERIFY(!FileKeys(db.TableFile("cdsFungiPics")).contains(s.Orphan));
}

void TestRepairCheck::killedInStep3_leavesEveryFileWhole_data() {
    QTest::addColumn<QString>("killAt");
    QTest::newRow("finds walked, not saved") << "*   Tabell Fyndplatser (100%)";
    QTest::newRow("users begin") << "   Tabell Användare (";
    QTest::newRow("users walked, not saved") << "*   Tabell Användare (100%)";
    QTest::newRow("contacts begin") << "   Tabell Kontakter (";
}

void TestRepairCheck::killedInStep3_leavesEveryFileWhole() {
    QFETCH(QString, killAt);
    QTemporaryDir dir;
    TSample s;
    QHash<QString, QStringList> before;
    {
        TDatabase db(dir.path());
        s = BuildSample(db);
        for (const TDM::TTableInfo& info : TDM::Catalogue())
            if (info.AutoSave) before.insert(info.TableName, FileKeys(db.TableFile(info.TableName)));
    }
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--kill-child"), dir.path(), killAt});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);

    TDatabase db(dir.path());
    QCOMPARE(db.dm->StartupErrors(), QStringList());
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        const QStringList now = FileKeys(db.TableFile(it.key()));
        for (const QString& key : it.value()) {
            // Only the picture of the species that is gone went, in step 2.
            if (key == s.Orphan) continue;
            QVERIFY2(now.contains(key), qPrintable(it.key() + ": " + key));
        }
    }
}

namespace {
// Every record of every table file below the folder, as text, by table.
QMap<QString, QStringList> TableContents(const QString& folder) {
    QMap<QString, QStringList> contents;
    for (const QFileInfo& file : QDir(folder + "/Data/Db").entryInfoList({"*.dat"}, QDir::Files)) {
        TClientDataSet table;
        table.LoadFromFile(file.absoluteFilePath());
        QStringList rows;
        for (table.First(); !table.Eof(); table.Next()) {
            QStringList values;
            for (int i = 0; i < table.FieldCount(); ++i) values << table.Fields(i)->AsString();
            rows << values.join('|');
        }
        rows.sort();
        contents.insert(file.fileName(), rows);
    }
    return contents;
}

void CopyTree(const QString& from, const QString& to) {
    QDirIterator it(from, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = to + path.mid(from.size());
        QDir().mkpath(QFileInfo(target).absolutePath());
        QFile::copy(path, target);
    }
}
}  // namespace

// A step of the check changes several tables (the contact references: the stand-in contact,
// the references in finds, pictures, users and group rows). Killed once the first of those
// files is written, the next start finds the whole step done, exactly as when it got through.
void TestRepairCheck::stepKilledBetweenItsFiles_landsWhole() {
    QTemporaryDir dir;
    const QString killed = dir.path() + "/killed", done = dir.path() + "/done";
    {
        TDatabase db(dir.path() + "/program");
        BuildSample(db);
        TRepairCheck check(db.dm.get());
        bool inStep3 = false;
        check.OnReportLine = [&](const QString& line) {
            if (line == QStringLiteral("Kontrollerar databasens kontaktreferenser...")) inStep3 = true;
            if (line == QStringLiteral("Korrigerar kontaktreferenser...")) inStep3 = false;
        };
        TSaveUnit::StepHook = [&](int step) {
            if (!inStep3) return;
            if (step == 2) CopyTree(db.Folder, killed);
            if (step == -1) CopyTree(db.Folder, done);
        };
        const auto unhook = qScopeGuard([] { TSaveUnit::StepHook = nullptr; });
        QCOMPARE(check.Run(), TRepairCheck::TOutcome::Completed);
    }
    QVERIFY(QFileInfo::exists(killed) && QFileInfo::exists(done));
    // Cut off, the files hold part of the step.
    QVERIFY(TableContents(killed) != TableContents(done));
    QVERIFY(!QDir(killed + "/Data/Db").entryList({"*.journal"}, QDir::Files).isEmpty());
    for (const QString& folder : {killed, done}) {
        TDatabase db(folder);
        QCOMPARE(db.dm->StartupErrors(), QStringList());
    }
    QCOMPARE(TableContents(killed), TableContents(done));
    QVERIFY(QDir(killed + "/Data/Db").entryList({"*.journal*"}, QDir::Files).isEmpty());
}

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--kill-child") == 0) {
        QGuiApplication app(argc, argv);
        return RunKilledCheck(QString::fromLocal8Bit(argv[2]), QString::fromUtf8(argv[3]));
    }
    QGuiApplication app(argc, argv);
    TestRepairCheck test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_repaircheck.moc"
