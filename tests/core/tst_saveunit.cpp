#include <QtTest>
#include "support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <functional>
#include <memory>

#include "core/ExtClientDataSet.h"
#include "core/PendingFile.h"
#include "core/SaveUnit.h"
#include "core/unitDM.h"
#include "platform/AtomicFile.h"

namespace {

// Copies a folder tree as it stands: what a kill at this moment would leave on disk.
void CopyTree(const QString& from, const QString& to) {
    QDirIterator it(from, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = to + path.mid(from.size());
        QDir().mkpath(QFileInfo(target).absolutePath());
        QFile::copy(path, target);
    }
}

QStringList Journals(const QString& program) {
    return QDir(program + "Data/Db").entryList({"*.journal*"}, QDir::Files);
}

// The values of one field of every record of a table file, sorted.
QStringList Column(const QString& file, const char* field) {
    TClientDataSet t;
    t.LoadFromFile(file);
    QStringList values;
    for (t.First(); !t.Eof(); t.Next()) values << t.FieldByName(field)->AsString();
    values.sort();
    return values;
}

QByteArray Bytes(const QString& path) { return testsupport::ReadBytes(path); }

}  // namespace

class TestSaveUnit : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString Program() const { return m_dir->path() + "/program/"; }
    QString Db(const QString& program, const char* table) const { return program + "Data/Db/" + table; }

    // A place with one visit: the tables a visit's save spans.
    static QString AddPlace(TDM& dm, const QString& name) {
        dm.cdsPlaces->Append();
        dm.cdsPlaces->FieldByName("PlaceName")->SetAsString(name);
        dm.cdsPlaces->Post();
        return GetUKey(dm.cdsPlaces);
    }
    // A visit of the current place with its finds, posted in the tables (not yet in files
    // while a unit is open).
    static QString AddVisit(TDM& dm, const QString& weather, const QStringList& finds) {
        dm.cdsPlaceVisits->Append();
        dm.cdsPlaceVisits->FieldByName("Weather")->SetAsString(weather);
        dm.cdsPlaceVisits->Post();
        const QString visit = GetUKey(dm.cdsPlaceVisits);
        for (const QString& name : finds) {
            dm.cdsPlaceFinds->Append();
            dm.cdsPlaceFinds->FieldByName("FungiName")->SetAsString(name);
            dm.cdsPlaceFinds->Post();
        }
        return visit;
    }

private Q_SLOTS:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }
    void cleanup() {
        TSaveUnit::StepHook = nullptr;
        AtomicFileFaults::Clear();
        m_dir.reset();
    }

    // Nothing reaches a file before the commit; then every table and file of the unit does,
    // and no journal stays.
    void savesWaitForTheCommit() {
        TDM dm(Program());
        AddPlace(dm, "Storskogen");
        const QByteArray visitsBefore = Bytes(dm.cdsPlaceVisits->Filename());
        const QByteArray findsBefore = Bytes(dm.cdsPlaceFinds->Filename());
        const QString picture = Program() + "Data/Pics/FungiPics/PicX.jpg";
        {
            TSaveUnit unit(&dm);
            AddVisit(dm, "Sol", {"Kantarell", "Karljohan"});
            TPendingFile file;
            file.Write(picture, "bild");
            file.Commit();
            QCOMPARE(Bytes(dm.cdsPlaceVisits->Filename()), visitsBefore);
            QCOMPARE(Bytes(dm.cdsPlaceFinds->Filename()), findsBefore);
            QVERIFY(!QFileInfo::exists(picture));
            unit.Commit();
            QVERIFY(unit.Committed());
        }
        QCOMPARE(Column(dm.cdsPlaceFinds->Filename(), "FungiName"), QStringList({"Kantarell", "Karljohan"}));
        QCOMPARE(Column(dm.cdsPlaceVisits->Filename(), "Weather"), QStringList({"Sol"}));
        QCOMPARE(Bytes(picture), QByteArray("bild"));
        QVERIFY(Journals(Program()).isEmpty());
        QCOMPARE(QDir(Program() + "Data/Pics/FungiPics").entryList(QDir::Files), QStringList({"PicX.jpg"}));
        // After the commit the tables save at each post again.
        dm.cdsPlaceVisits->Edit();
        dm.cdsPlaceVisits->FieldByName("Weather")->SetAsString("Regn");
        dm.cdsPlaceVisits->Post();
        QCOMPARE(Column(dm.cdsPlaceVisits->Filename(), "Weather"), QStringList({"Regn"}));
    }

    // A kill at any point of a commit leaves either nothing of the save or, once its journal
    // is written, all of it after the next start; a journal applied again changes nothing.
    void killAtEveryStepLandsWholeOrNotAtAll() {
        const QString snapshots = m_dir->path() + "/at";
        QStringList taken;
        {
            TDM dm(Program());
            AddPlace(dm, "Storskogen");
            TSaveUnit::StepHook = [&](int step) {
                const QString to = QStringLiteral("%1/%2/").arg(snapshots).arg(step < 0 ? QStringLiteral("end")
                                                                                        : QString::number(step));
                CopyTree(Program(), to);
                taken << to;
            };
            // Before the journal: the state before the save.
            CopyTree(Program(), snapshots + "/before/");
            taken.prepend(snapshots + "/before/");
            TSaveUnit unit(&dm);
            AddVisit(dm, "Sol", {"Kantarell", "Karljohan", "Trattkantarell"});
            TPendingFile file;
            file.Write(Program() + "Data/Pics/MainPics/MPX.jpg", "huvudbild");
            file.Commit();
            unit.Commit();
        }
        TSaveUnit::StepHook = nullptr;
        // before, 1 (the journal), 2 (the visits' file), 3 (the finds' file too), end (the
        // picture in place, the journal not yet gone).
        QCOMPARE(taken.size(), 5);
        for (const QString& program : std::as_const(taken)) {
            const bool before = program.endsWith("/before/");
            for (int start = 0; start < 2; ++start) {
                TDM dm(program);
                QVERIFY2(dm.StartupErrors().isEmpty(), qPrintable(dm.StartupErrors().join('\n')));
                QCOMPARE(dm.cdsPlaces->RecordCount(), 1);
                QCOMPARE(dm.cdsPlaceVisits->InternalDataSet()->RecordCount(), before ? 0 : 1);
                QCOMPARE(Column(dm.cdsPlaceFinds->Filename(), "FungiName"),
                         before ? QStringList() : QStringList({"Kantarell", "Karljohan", "Trattkantarell"}));
                QCOMPARE(Bytes(program + "Data/Pics/MainPics/MPX.jpg"),
                         before ? QByteArray() : QByteArray("huvudbild"));
                QVERIFY2(Journals(program).isEmpty(), qPrintable(program));
                // Nothing waits beside the pictures any more.
                QCOMPARE(QDir(program + "Data/Pics/MainPics").entryList(QDir::Files),
                         before ? QStringList() : QStringList({"MPX.jpg"}));
            }
        }
    }

    // A failure before the journal (a full disk) writes nothing: the tables are read back as
    // their files hold them and the waiting file goes.
    void failureBeforeTheJournalChangesNothing() {
        TDM dm(Program());
        AddPlace(dm, "Storskogen");
        const QByteArray visits = Bytes(dm.cdsPlaceVisits->Filename());
        const QByteArray finds = Bytes(dm.cdsPlaceFinds->Filename());
        QString error;
        {
            TSaveUnit unit(&dm);
            AddVisit(dm, "Sol", {"Kantarell"});
            TPendingFile file;
            file.Write(Program() + "Data/Pics/MainPics/MPX.jpg", "huvudbild");
            file.Commit();
            AtomicFileFaults::FailNext(TWriteStep::Flush);
            error = testsupport::ExceptionText([&] { unit.Commit(); });
            QVERIFY(!unit.Committed());
        }
        QVERIFY2(error.startsWith("Sparningen kunde inte påbörjas: journalfilen") && error.endsWith("(disken är full)"),
                 qPrintable(error));
        QCOMPARE(Bytes(dm.cdsPlaceVisits->Filename()), visits);
        QCOMPARE(Bytes(dm.cdsPlaceFinds->Filename()), finds);
        QCOMPARE(dm.cdsPlaceVisits->RecordCount(), 0);
        QCOMPARE(dm.cdsPlaceFinds->InternalDataSet()->RecordCount(), 0);
        QVERIFY(!dm.cdsPlaceFinds->InternalDataSet()->HasUnsavedChanges());
        QVERIFY(QDir(Program() + "Data/Pics/MainPics").entryList(QDir::Files).isEmpty());
        QVERIFY(Journals(Program()).isEmpty());
    }

    // A unit left without its commit (an exception on the way) puts everything back too.
    void unitLeftByAnExceptionPutsBack() {
        TDM dm(Program());
        AddPlace(dm, "Storskogen");
        try {
            TSaveUnit unit(&dm);
            AddVisit(dm, "Sol", {"Kantarell"});
            throw Exception("avbrutet");
        } catch (const Exception&) {}
        QCOMPARE(dm.cdsPlaceVisits->RecordCount(), 0);
        QVERIFY(!dm.cdsPlaceVisits->InternalDataSet()->HasUnsavedChanges());
        QVERIFY(Column(dm.cdsPlaceFinds->Filename(), "FungiName").isEmpty());
        // The next post saves as usual, with nothing of the abandoned save.
        AddVisit(dm, "Regn", {});
        QCOMPARE(Column(dm.cdsPlaceVisits->Filename(), "Weather"), QStringList({"Regn"}));
        QVERIFY(Column(dm.cdsPlaceFinds->Filename(), "FungiName").isEmpty());
    }

    // A table file that refuses its part after the journal: the save stands, the rest is
    // written at the next start, and a later save of a table that did take its part is not
    // undone by the journal.
    void fileThatFailsAfterTheJournalIsWrittenAtTheNextStart() {
        const QString finds = Db(Program(), "PlaceFinds.dat");
        QString error;
        {
            TDM dm(Program());
            AddPlace(dm, "Storskogen");
            TSaveUnit::StepHook = [&](int step) {
                // Once the visits are in their file, the finds' file is taken away.
                if (step == 2) QVERIFY(QFile::rename(finds, finds + ".away"));
            };
            {
                TSaveUnit unit(&dm);
                AddVisit(dm, "Sol", {"Kantarell", "Karljohan"});
                error = testsupport::ExceptionText([&] { unit.Commit(); });
                QVERIFY(unit.Committed());
            }
            TSaveUnit::StepHook = nullptr;
            QVERIFY2(error.startsWith("Sparningen är gjord men kunde inte skrivas färdigt") &&
                         error.contains("PlaceFinds.dat") && error.contains("nästa gång"),
                     qPrintable(error));
            QCOMPARE(Journals(Program()).size(), 1);
            // Memory holds the whole save; a later change of the visit reaches its file.
            QCOMPARE(dm.cdsPlaceFinds->InternalDataSet()->RecordCount(), 2);
            dm.cdsPlaceVisits->Edit();
            dm.cdsPlaceVisits->FieldByName("Weather")->SetAsString("Regn");
            dm.cdsPlaceVisits->Post();
            QVERIFY(QFile::rename(finds + ".away", finds));
        }
        TDM dm(Program());
        QVERIFY2(dm.StartupErrors().isEmpty(), qPrintable(dm.StartupErrors().join('\n')));
        QCOMPARE(Column(finds, "FungiName"), QStringList({"Kantarell", "Karljohan"}));
        QCOMPARE(Column(Db(Program(), "PlaceVisits.dat"), "Weather"), QStringList({"Regn"}));
        QVERIFY(Journals(Program()).isEmpty());
    }

    // A journal that does not read back whole is not applied: it is told, kept aside, and
    // the tables stay as their files hold them.
    void damagedJournalIsToldAndKept() {
        QString journal;
        {
            TDM dm(Program());
            AddPlace(dm, "Storskogen");
            TSaveUnit::StepHook = [&](int step) {
                if (step != 1) return;
                CopyTree(Program(), m_dir->path() + "/killed/");
            };
            TSaveUnit unit(&dm);
            AddVisit(dm, "Sol", {"Kantarell"});
            TPendingFile file;
            file.Write(Program() + "Data/Pics/MainPics/MPX.jpg", "huvudbild");
            file.Commit();
            unit.Commit();
        }
        TSaveUnit::StepHook = nullptr;
        const QString killed = m_dir->path() + "/killed/";
        QCOMPARE(Journals(killed).size(), 1);
        journal = killed + "Data/Db/" + Journals(killed).first();
        QByteArray bytes = Bytes(journal);
        bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x10);
        QVERIFY(testsupport::WriteBytes(journal, bytes));
        const QByteArray finds = Bytes(Db(killed, "PlaceFinds.dat"));
        TDM dm(killed);
        QCOMPARE(dm.StartupErrors().size(), 1);
        QVERIFY2(dm.StartupErrors().first().contains("är skadad och har inte förts in") &&
                     dm.StartupErrors().first().contains(QFileInfo(journal).fileName() + ".damaged"),
                 qPrintable(dm.StartupErrors().first()));
        QCOMPARE(Bytes(Db(killed, "PlaceFinds.dat")), finds);
        QCOMPARE(Bytes(journal + ".damaged"), bytes);
        // The picture that waited for it stays too, for whoever rescues the save.
        QCOMPARE(QDir(killed + "Data/Pics/MainPics").entryList(QDir::Files).size(), 1);
    }

    // The program's own left-overs go at start; other files stay.
    void leftOverTemporaryFilesGoAtStart() {
        const QStringList left = {"Data/Pics/FungiPics/PicA.jpg.x1Y2z3.tmp",
                                  "Data/Pics/FungiPicThumbs/TnA.bmp.AbCdEf.tmp",
                                  "Data/Pics/MainPics/MPA.jpg.q9W8e7.new", "Data/Db/Save0001.journal.r5T6y7.tmp",
                                  "Data/Users/010A.ini.Zz00Zz.tmp"};
        const QStringList kept = {"Data/Pics/FungiPics/PicA.jpg", "Data/Pics/FungiPics/notes.tmp",
                                  "Data/Pics/FungiPics/PicB.jpg.toolong7.tmp", "Data/Pics/FungiPics/PicC.jpg.new"};
        for (const QString& name : left + kept) QVERIFY(testsupport::WriteBytes(Program() + name, "x"));
        TDM dm(Program());
        QVERIFY(dm.StartupErrors().isEmpty());
        for (const QString& name : left) QVERIFY2(!QFileInfo::exists(Program() + name), qPrintable(name));
        for (const QString& name : kept) QVERIFY2(QFileInfo::exists(Program() + name), qPrintable(name));
    }

    // Two journals left with parts for the same table: the newer part, which holds all the
    // table had not got, is the one applied.
    void newerPartOfTheSameTableWins() {
        const QString finds = Db(Program(), "PlaceFinds.dat");
        {
            TDM dm(Program());
            AddPlace(dm, "Storskogen");
            int failing = 0;
            TSaveUnit::StepHook = [&](int step) {
                // The finds' file (the second of each unit) refuses both saves.
                if (step == 2 && failing++ < 2) QVERIFY(QFile::rename(finds, finds + ".away"));
                if (step == 3 && QFileInfo::exists(finds + ".away")) QVERIFY(QFile::rename(finds + ".away", finds));
            };
            for (const char* weather : {"Sol", "Regn"}) {
                TSaveUnit unit(&dm);
                AddVisit(dm, weather, {QString::fromLatin1(weather) + "-fynd"});
                testsupport::ExceptionText([&] { unit.Commit(); });
            }
            TSaveUnit::StepHook = nullptr;
            QCOMPARE(Journals(Program()).size(), 2);
        }
        TDM dm(Program());
        QVERIFY2(dm.StartupErrors().isEmpty(), qPrintable(dm.StartupErrors().join('\n')));
        QCOMPARE(Column(finds, "FungiName"), QStringList({"Regn-fynd", "Sol-fynd"}));
        QCOMPARE(Column(Db(Program(), "PlaceVisits.dat"), "Weather"), QStringList({"Regn", "Sol"}));
        QVERIFY(Journals(Program()).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSaveUnit)
#include "tst_saveunit.moc"
