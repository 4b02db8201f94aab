#include <QtTest>

#include <sys/stat.h>
#include "support/TestSupport.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/FRIniFile.h"
#include "platform/AtomicFile.h"

namespace {

QByteArray readBytes(const QString& path) { return testsupport::ReadBytes(path); }

void writeBytes(const QString& path, const QByteArray& bytes) { QVERIFY(testsupport::WriteBytes(path, bytes)); }

QString failureOf(const std::function<void()>& action) { return testsupport::FailureText(action); }

}  // namespace

class TestFRIniFile : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

    // A store opened on a file holding the given text, with the program's defaults.
    std::unique_ptr<TFRIniFile> storeOn(const QString& name, const QByteArray& content) {
        return testsupport::IniStoreOn(path(name), content);
    }

private Q_SLOTS:
    void failureTextsAreTheFixedList() {
        const QStringList expected = {
            QStringLiteral("Filnamn måste anges"),
            QStringLiteral("Fönsterpekare är NIL"),
            QStringLiteral("Ingen aktiv sektion i INI-fil"),
            QStringLiteral("Sektion \"%s\" kunde ej hittas"),
            QStringLiteral("Läsning av heltalsvärde misslyckades"),
            QStringLiteral("Läsning av sträng misslyckades"),
            QStringLiteral("Läsning av booleskt värde misslyckades"),
            QStringLiteral("Sparning av fönsterposition misslyckades"),
        };
        QCOMPARE(FRIniErrorTexts(), expected);
    }

    void programDefaultsHoldTheirValues() {
        TFRIniFile store;
        store.SetDefaults(TFRIniFile::ProgramDefaults());
        QCOMPARE(store.ReadInteger("Settings/LastVisitedScreen"), 0);
        QCOMPARE(store.ReadInteger("Backup/SplitSize"), 650);
        QCOMPARE(store.ReadString("Fungi/LastVisited"), QString());
        QCOMPARE(store.ReadString("Maps/PlaceSelection"), QStringLiteral("NONE"));
        QCOMPARE(store.ReadString("QuickSelection/Season"), QStringLiteral("000000000000"));
        QCOMPARE(store.ReadString("QuickSelection/Habitat"), QStringLiteral("000000000000000"));
        QCOMPARE(store.ReadString("QuickSelection/CountryPart"), QStringLiteral("00000000"));
        QCOMPARE(store.ReadBool("FungiFindPresets/PositionLocked"), true);
        QCOMPARE(store.ReadBool("EFHandler/Minimized"), false);
        // Every block ends with an empty line.
        const QStringList lines = TFRIniFile::ProgramDefaults();
        for (qsizetype i = 1; i < lines.size(); ++i)
            if (lines[i].startsWith('[')) QVERIFY2(lines[i - 1].isEmpty(), qPrintable(lines[i]));
        QVERIFY(lines.last().isEmpty());
    }

    void reads_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("failure");
        const QString noString = QStringLiteral("Läsning av sträng misslyckades");
        const QString noInt = QStringLiteral("Läsning av heltalsvärde misslyckades");
        const QString noBool = QStringLiteral("Läsning av booleskt värde misslyckades");
        QTest::newRow("default from empty file") << QByteArray() << "string"
                                                 << "Maps/PlaceColor"
                                                 << "255"
                                                 << "";
        QTest::newRow("file beats default") << QByteArray("[Maps]\nPlaceColor=123\n\n") << "int"
                                            << "Maps/PlaceColor"
                                            << "123"
                                            << "";
        QTest::newRow("other key of section falls back") << QByteArray("[Maps]\nPlaceColor=123\n") << "int"
                                                         << "Maps/FindSize"
                                                         << "15"
                                                         << "";
        QTest::newRow("names without regard to case") << QByteArray("[mAPS]\nplacecolor=7\n") << "int"
                                                      << "MAPS/PLACECOLOR"
                                                      << "7"
                                                      << "";
        QTest::newRow("key trimmed, value as written") << QByteArray("[A]\n  Name  = två ord \n") << "string"
                                                       << "A/Name"
                                                       << " två ord "
                                                       << "";
        QTest::newRow("first equals sign splits") << QByteArray("[A]\nUrl=a=b\n") << "string"
                                                  << "A/Url"
                                                  << "a=b"
                                                  << "";
        QTest::newRow("CRLF file") << QByteArray("[A]\r\nK=v\r\n\r\n") << "string"
                                   << "A/K"
                                   << "v"
                                   << "";
        QTest::newRow("stray carriage returns") << QByteArray("[A]\nK=v\r\r\n") << "string"
                                                << "A/K"
                                                << "v"
                                                << "";
        QTest::newRow("UTF-8 BOM") << QByteArray("\xEF\xBB\xBF[A]\nK=å\n") << "string"
                                   << "A/K"
                                   << "å"
                                   << "";
        QTest::newRow("bool non-zero") << QByteArray("[A]\nB=-3\n") << "bool"
                                       << "A/B"
                                       << "true"
                                       << "";
        QTest::newRow("bool zero") << QByteArray("[A]\nB=0\n") << "bool"
                                   << "A/B"
                                   << "false"
                                   << "";
        QTest::newRow("key nowhere") << QByteArray("[Maps]\n") << "string"
                                     << "Maps/Nothing"
                                     << "" << noString;
        QTest::newRow("key nowhere as integer") << QByteArray() << "int"
                                                << "Maps/Nothing"
                                                << "" << noInt;
        QTest::newRow("not a number") << QByteArray("[A]\nN=12x\n") << "int"
                                      << "A/N"
                                      << "" << noInt;
        QTest::newRow("empty is no number") << QByteArray() << "int"
                                            << "Fungi/LastVisited"
                                            << "" << noInt;
        QTest::newRow("not a bool") << QByteArray("[A]\nB=yes\n") << "bool"
                                    << "A/B"
                                    << "" << noBool;
        QTest::newRow("section nowhere") << QByteArray() << "string"
                                         << "Nowhere/Key"
                                         << ""
                                         << "Sektion \"Nowhere\" kunde ej hittas";
        QTest::newRow("section nowhere as integer") << QByteArray() << "int"
                                                    << "Nowhere/Key"
                                                    << "" << noInt;
        QTest::newRow("section nowhere as bool") << QByteArray() << "bool"
                                                 << "Nowhere/Key"
                                                 << "" << noBool;
        QTest::newRow("bare key without section") << QByteArray() << "string"
                                                  << "PlaceColor"
                                                  << ""
                                                  << "Ingen aktiv sektion i INI-fil";
    }
    void reads() {
        QFETCH(QByteArray, content);
        QFETCH(QString, kind);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, failure);
        auto store = storeOn("reads.ini", content);
        QString got;
        const QString error = failureOf([&] {
            if (kind == "string")
                got = store->ReadString(key);
            else if (kind == "int")
                got = QString::number(store->ReadInteger(key));
            else
                got = store->ReadBool(key) ? "true" : "false";
        });
        QCOMPARE(error, failure);
        if (failure.isEmpty()) QCOMPARE(got, value);
        // A path read leaves no section active.
        QCOMPARE(store->ActiveSection(), QString());

        // The read with a fallback never raises: the same value, or the fallback where the
        // plain read fails.
        QString fallen;
        QCOMPARE(failureOf([&] {
                     if (kind == "string")
                         fallen = store->ReadString(key, QStringLiteral("reserv"));
                     else if (kind == "int")
                         fallen = QString::number(store->ReadInteger(key, -77));
                     else
                         fallen = store->ReadBool(key, true) ? "true" : "false";
                 }),
                 QString());
        const QString fallback = kind == "string" ? QStringLiteral("reserv") : kind == "int" ? "-77" : "true";
        QCOMPARE(fallen, failure.isEmpty() ? value : fallback);
        QCOMPARE(store->ActiveSection(), QString());
    }

    void writes_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("flushed");
        QTest::newRow("section from defaults goes to the end")
            << QByteArray("[Settings]\nLastVisitedScreen=2\n\n") << "Fungi/SortOrder"
            << "3"
            << QByteArray(
                   "[Settings]\nLastVisitedScreen=2\n\n[Fungi]\nLastVisited=\nSortOrder=3\nSubScreenIndex=4\n\n");
        QTest::newRow("replaces the line, section moves to the end")
            << QByteArray("[A]\nx=1\ny=2\n\n[B]\nz=3\n\n") << "a/X"
            << "9" << QByteArray("[B]\nz=3\n\n[A]\nX=9\ny=2\n\n");
        QTest::newRow("new key before the closing empty line") << QByteArray("[A]\nx=1\n\n[B]\ny=2\n") << "A/z"
                                                               << "3" << QByteArray("[B]\ny=2\n[A]\nx=1\nz=3\n\n");
        QTest::newRow("block without closing empty line gets one") << QByteArray("[A]\nx=1\n[B]\ny=2\n") << "A/z"
                                                                   << "3" << QByteArray("[B]\ny=2\n[A]\nx=1\nz=3\n\n");
        QTest::newRow("section nowhere is created") << QByteArray("[A]\nx=1\n\n") << "New/k"
                                                    << "v" << QByteArray("[A]\nx=1\n\n[New]\nk=v\n\n");
        QTest::newRow("key trimmed") << QByteArray() << "N/  key  "
                                     << " v " << QByteArray("[N]\nkey= v \n\n");
        QTest::newRow("line break cannot start a section")
            << QByteArray() << "N/k"
            << "a\r\n[Evil]\nx=1" << QByteArray("[N]\nk=a [Evil] x=1\n\n");
        QTest::newRow("NUL would make the file unreadable")
            << QByteArray() << "N/k" << QString("a") + QChar(0) + "b" << QByteArray("[N]\nk=a b\n\n");
        QTest::newRow("lines before the first section stay") << QByteArray("; kommentar\n[A]\nx=1\n") << "A/x"
                                                             << "2" << QByteArray("; kommentar\n[A]\nx=2\n\n");
        QTest::newRow("UTF-8 value") << QByteArray() << "N/k"
                                     << "Blödsopp åäö" << QByteArray("[N]\nk=Blödsopp åäö\n\n");
    }
    void writes() {
        QFETCH(QByteArray, content);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, flushed);
        auto store = storeOn("writes.ini", content);
        store->WriteString(key, value);
        QCOMPARE(store->ReadString(key), QString(value).replace("\r\n", " ").replace('\n', ' ').replace(QChar(0), ' '));
        store->Flush();
        QCOMPARE(readBytes(path("writes.ini")), flushed);
        QVERIFY(!store->IsOpen());
        QCOMPARE(store->Filename(), QString());
    }

    void bareKeysWorkOnTheSelectedSection() {
        auto store = storeOn("bare.ini", "[Maps]\nPlaceColor=1\n\n[Other]\nk=v\n\n");
        QCOMPARE(store->SelectSection("maps"), true);
        QCOMPARE(store->ReadInteger("PlaceColor"), 1);
        QCOMPARE(store->ReadInteger("FindColor"), 255);  // from the defaults' copy
        store->WriteInteger("PlaceSize", 20);
        store->WriteBool("Dragging", true);
        store->CloseSection();
        QCOMPARE(failureOf([&] { store->ReadString("PlaceColor"); }), QStringLiteral("Ingen aktiv sektion i INI-fil"));
        QCOMPARE(failureOf([&] { store->WriteString("PlaceColor", "1"); }),
                 QStringLiteral("Ingen aktiv sektion i INI-fil"));
        QCOMPARE(store->SelectSection("Key"), true);  // only in the defaults
        QCOMPARE(store->SelectSection("Nowhere"), false);  // nowhere: an empty block
        store->Flush();
        QCOMPARE(readBytes(path("bare.ini")),
                 QByteArray("[Other]\nk=v\n\n[Maps]\nPlaceColor=1\nPlaceSize=20\nDragging=1\n\n"));
    }

    void duplicateSectionsKeepTheFirstBlock() {
        auto store = storeOn("dup.ini",
                             "[Maps]\nPlaceColor=1\n\n[Fungi]\nSortOrder=2\n\n[MAPS]\nPlaceColor=2\nExtra=x\n\n"
                             "[maps]\nPlaceColor=3\n[Key]\nPresentation=0\n");
        QCOMPARE(store->ReadInteger("Maps/PlaceColor"), 1);
        QCOMPARE(failureOf([&] { store->ReadString("Maps/Extra"); }), QStringLiteral("Läsning av sträng misslyckades"));
        QCOMPARE(store->ReadInteger("Key/Presentation"), 0);
        store->Flush();
        const QByteArray saved = readBytes(path("dup.ini"));
        QCOMPARE(saved.count("[Maps]") + saved.count("[MAPS]") + saved.count("[maps]"), 1);
        QVERIFY(saved.contains("[Fungi]\nSortOrder=2\n"));
    }

    void failedWriteStepLeavesTheOldFile_data() {
        QTest::addColumn<TWriteStep>("step");
        QTest::newRow("open") << TWriteStep::Open;
        QTest::newRow("write") << TWriteStep::Write;
        QTest::newRow("flush") << TWriteStep::Flush;
        QTest::newRow("commit") << TWriteStep::Commit;
        QTest::newRow("rename") << TWriteStep::Rename;
    }
    void failedWriteStepLeavesTheOldFile() {
        QFETCH(TWriteStep, step);
        const QString folder = path(QStringLiteral("step-%1").arg(QTest::currentDataTag()));
        const QString file = folder + "/user.ini";
        const QByteArray old("[Settings]\nLastVisitedScreen=3\n\n[Maps]\nPlaceColor=77\n\n");
        writeBytes(file, old);
        TFRIniFile store;
        store.SetFilename(file);
        store.Open();
        store.WriteInteger("Settings/LastVisitedScreen", 9);
        AtomicFileFaults::FailNext(step);
        const QString error = failureOf([&] { store.Flush(); });
        AtomicFileFaults::Clear();
        QVERIFY2(error.startsWith(QString::fromUtf8(FRIniSaveFailedText).arg(file)), qPrintable(error));
        QCOMPARE(readBytes(file), old);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"user.ini"});
        // Nothing was lost in memory either: the next flush saves the change.
        QVERIFY(store.IsOpen());
        store.Flush();
        store.SetFilename(file);
        store.Open();
        QCOMPARE(store.ReadInteger("Settings/LastVisitedScreen"), 9);
        QCOMPARE(store.ReadInteger("Maps/PlaceColor"), 77);
    }

    // Files written by older versions and other tools: the values are read as they were
    // meant and stay the same across a rewrite.
    void foreignTextFormsAreRead_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("province");
        QTest::newRow("two byte-order marks")
            << QByteArray(
                   "\xEF\xBB\xBF\xEF\xBB\xBF[Place]\nSelProvince=Sk\xC3\xA5ne\n\n[Place]\nSelProvince=Lappland\n")
            << QStringLiteral("Skåne");
        QTest::newRow("mark before a later header")
            << QByteArray("[Fungi]\nSortOrder=2\n\xEF\xBB\xBF[Place]\nSelProvince=Uppland\n")
            << QStringLiteral("Uppland");
        QTest::newRow("Windows-1252") << QByteArray(
                                             "[Place]\r\nSelProvince=\xD6land \x96 S\xF6"
                                             "dra\r\nSelDistrict=\xC5s\r\n")
                                      << QStringLiteral("Öland – Södra");
        QTest::newRow("CR line ends") << QByteArray("[Fungi]\rSortOrder=2\r\r[Place]\rSelProvince=G\xC3\xA4strikland\r")
                                      << QStringLiteral("Gästrikland");
    }
    void foreignTextFormsAreRead() {
        QFETCH(QByteArray, content);
        QFETCH(QString, province);
        const QString name = QStringLiteral("foreign-%1.ini").arg(QTest::currentDataTag()).replace(' ', '_');
        auto store = storeOn(name, content);
        QCOMPARE(store->ReadString("Place/SelProvince"), province);
        // An unrelated change and a flush keep the value; the file is UTF-8 without marks.
        store->WriteInteger("Maps/PlaceColor", 5);
        store->Flush();
        const QByteArray saved = readBytes(path(name));
        QVERIFY(!saved.contains("\xEF\xBB\xBF"));
        QVERIFY(!saved.contains('\r'));
        QVERIFY(saved.contains(("SelProvince=" + province).toUtf8()));
        QCOMPARE(QFileInfo::exists(path(name) + ".bak"), false);
        store->SetFilename(path(name));
        store->Open();
        QCOMPARE(store->ReadString("Place/SelProvince"), province);
        QCOMPARE(store->ReadInteger("Maps/PlaceColor"), 5);
    }

    void manyDuplicateSectionsKeepTheFirstOfEach() {
        QByteArray content;
        for (int i = 0; i < 20000; ++i)
            content += QByteArray("[S") + QByteArray::number(i % 7) + "]\nK=" + QByteArray::number(i) + "\n\n";
        auto store = storeOn("manydup.ini", content);
        for (int s = 0; s < 7; ++s) QCOMPARE(store->ReadInteger(QStringLiteral("S%1/K").arg(s)), s);
        store->Flush();
        QCOMPARE(readBytes(path("manydup.ini")).count("[S"), 7);
    }

    void missingFileIsCreatedWithItsFolderOnFlush() {
        const QString file = path("Data/Users/NYANVANDARE.ini");
        TFRIniFile store;
        store.SetDefaults(TFRIniFile::ProgramDefaults());
        store.SetFilename(file);
        store.Open();
        QVERIFY(store.IsOpen());
        QVERIFY(!QFileInfo::exists(file));
        QCOMPARE(store.ReadInteger("Maps/PlaceColor"), 255);
        store.WriteInteger("Settings/LastVisitedScreen", 4);
        store.Flush();
        QCOMPARE(readBytes(file),
                 QByteArray("[Settings]\nLastVisitedScreen=4\nDatabaseIndex=0\nFactError=0\n"
                            "CompleteButton=0\n\n"));
    }

    void openAndFilenameFailures() {
        TFRIniFile store;
        QCOMPARE(failureOf([&] { store.Open(); }), QStringLiteral("Filnamn måste anges"));
        // A flush of a closed store does nothing.
        store.SetFilename(path("never.ini"));
        store.Flush();
        QVERIFY(!QFileInfo::exists(path("never.ini")));
    }

    void reopeningKeepsTheFileName() {
        auto store = storeOn("reopen.ini", "[A]\nx=1\n");
        store->WriteString("A/x", "2");
        store->Open();
        QCOMPARE(store->Filename(), path("reopen.ini"));
        QVERIFY(store->IsOpen());
        QCOMPARE(store->ReadString("A/x"), QStringLiteral("2"));
        QCOMPARE(readBytes(path("reopen.ini")), QByteArray("[A]\nx=2\n\n"));
    }

    void changingTheFileNameFlushesFirst() {
        auto store = storeOn("first.ini", QByteArray());
        store->WriteString("A/x", "1");
        store->SetFilename(path("second.ini"));
        QCOMPARE(readBytes(path("first.ini")), QByteArray("[A]\nx=1\n\n"));
        QVERIFY(!store->IsOpen());
        QCOMPARE(store->Filename(), path("second.ini"));
        store->Open();
        QCOMPARE(failureOf([&] { store->ReadString("A/x"); }), QStringLiteral("Sektion \"A\" kunde ej hittas"));
    }

    void readingDefaultsOrMissingSectionsLeavesTheFileAlone() {
        auto store = storeOn("quiet.ini", "[A]\nx=1\n\n");
        QCOMPARE(store->ReadString("Maps/PlaceColor"), QStringLiteral("255"));
        failureOf([&] { store->ReadString("Nowhere/x"); });
        store->Flush();
        QCOMPARE(readBytes(path("quiet.ini")), QByteArray("[A]\nx=1\n\n"));
    }

    void unreadableFileIsReportedAndKeptAsBackup_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("binary") << QByteArray("\x00\x01\x02[Maps]", 8);
    }
    void unreadableFileIsReportedAndKeptAsBackup() {
        QFETCH(QByteArray, content);
        const QString file = path("broken.ini");
        QFile::remove(file + ".bak");
        writeBytes(file, content);
        // A file nobody may read (which is often why it could not be read).
        QVERIFY(QFile::setPermissions(file, QFileDevice::Permissions()));
        TFRIniFile store;
        store.SetDefaults(TFRIniFile::ProgramDefaults());
        store.SetFilename(file);
        const QString error = failureOf([&] { store.Open(); });
        // Where the old file is kept is told.
        QCOMPARE(error, QString::fromUtf8(FRIniUnreadableText).arg(file, file + ".bak"));
        QVERIFY(error.endsWith(QStringLiteral("sparas som \"%1.bak\".").arg(file)));
        QVERIFY(store.IsOpen());
        QCOMPARE(store.ReadInteger("Maps/PlaceColor"), 255);
        QCOMPARE(readBytes(file), content);  // untouched until the flush
        store.WriteInteger("Maps/PlaceColor", 1);
        store.Flush();
        QCOMPARE(readBytes(file + ".bak"), content);
        QVERIFY(readBytes(file).startsWith("[Maps]\nAutozoom=1\nDragging=0\nPlaceSelection=NONE\nPlaceColor=1\n"));
        // The new file can be read again: it has the mode of a new file, not the old one's.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(file).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), int(0666 & ~mask));
        // A second unreadable file does not overwrite the first backup.
        writeBytes(file, content + "x");
        store.SetFilename(file);
        QCOMPARE(failureOf([&] { store.Open(); }), QString::fromUtf8(FRIniUnreadableText).arg(file, file + ".bak2"));
        store.Flush();
        QCOMPARE(readBytes(file + ".bak"), content);
        QCOMPARE(readBytes(file + ".bak2"), content + "x");
        QFile::remove(file + ".bak");
        QFile::remove(file + ".bak2");
    }

    void failedSaveKeepsTheStoreOpen() {
        // The folder of the file cannot be created while a plain file stands in its place.
        const QString folder = path("blocked");
        const QString file = folder + "/s.ini";
        TFRIniFile store;
        store.SetFilename(file);
        store.Open();
        store.WriteString("A/x", "1");
        writeBytes(folder, "not a folder");
        QCOMPARE(failureOf([&] { store.Flush(); }), QString::fromUtf8(FRIniSaveFailedText).arg(file));
        QVERIFY(store.IsOpen());
        QCOMPARE(store.Filename(), file);
        QFile::remove(folder);
        store.Flush();
        QCOMPARE(readBytes(file), QByteArray("[A]\nx=1\n\n"));
    }

    void crashWhileWritingLeavesTheOldFile() {
        const QString file = path("crash.ini");
        const QByteArray old("[Settings]\nLastVisitedScreen=3\n\n");
        writeBytes(file, old);
        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            // The child dies of the file-size limit in the middle of writing the new file.
            struct rlimit limit = {512, 512};
            setrlimit(RLIMIT_FSIZE, &limit);
            signal(SIGXFSZ, SIG_DFL);
            TFRIniFile store;
            store.SetFilename(file);
            store.Open();
            for (int i = 0; i < 200; ++i) store.WriteString(QStringLiteral("Big/Key%1").arg(i), QString(40, 'x'));
            store.WriteString("Settings/LastVisitedScreen", "9");
            try {
                store.Flush();
            } catch (...) {}
            _exit(0);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY2(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ, "the child should have died while writing");
        QCOMPARE(readBytes(file), old);
        // The store opens the old file whole, whatever the crash left beside it.
        TFRIniFile store;
        store.SetFilename(file);
        store.Open();
        QCOMPARE(store.ReadInteger("Settings/LastVisitedScreen"), 3);
        store.WriteInteger("Settings/LastVisitedScreen", 5);
        store.Flush();
        QCOMPARE(readBytes(file), QByteArray("[Settings]\nLastVisitedScreen=5\n\n"));
    }
};

QTEST_GUILESS_MAIN(TestFRIniFile)
#include "tst_frinifile.moc"
