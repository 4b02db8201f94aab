#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "core/MyUtils.h"
#include "shell/unitMain.h"
#include "platform/UIServices.h"
#include "support/FileAccess.h"
#include "support/TestSupport.h"
#include "zip/ZipMstr.h"

namespace {

const QString kZipError = QString::fromUtf8("Fel vid Zip-komprimering. Meddelande: ");
const QString kUnzipError = QString::fromUtf8("Fel vid uppackning av zip-arkiv. Meddelande: ");

struct Folder {
    QTemporaryDir dir;
    QString path(const QString& rel = QString()) const { return rel.isEmpty() ? dir.path() : dir.path() + "/" + rel; }
    void write(const QString& rel, const QByteArray& bytes) const {
        QDir().mkpath(QFileInfo(path(rel)).absolutePath());
        QVERIFY(testsupport::WriteBytes(path(rel), bytes));
    }
};

// Every file below a folder, relative and "/" separated, sorted.
QStringList FilesBelow(const QString& folder) {
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

QStringList StoredNames(const TZipArchiver& zip) {
    QStringList names;
    for (const ZipDirEntry& e : zip.ZipContents()) names << QString(e.FileName).replace('\\', '/');
    names.sort();
    return names;
}

// Writes an archive with python's zipfile, which lets a test store names the program never
// writes itself. kind: "name" stores an entry under that name, "link" a symbolic link.
void WriteArchive(const QString& file, const QString& kind, const QString& name) {
    const QString py = QStandardPaths::findExecutable("python3");
    if (py.isEmpty()) QFAIL("python3 saknas; installera det med ./dev");
    const QString script = QStringLiteral(
        "import sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1], 'w')\n"
        "z.writestr('main.htm', '<p>Hej</p>')\n"
        "if sys.argv[2] == 'link':\n"
        "    i = zipfile.ZipInfo(sys.argv[3]); i.create_system = 3; i.external_attr = 0o120777 << 16\n"
        "    z.writestr(i, '/etc/passwd')\n"
        "else:\n"
        "    z.writestr(sys.argv[3], 'utanför')\n"
        "z.close()\n"
        "if sys.argv[2] == 'big':\n"
        "    # the directory claims 2 GiB for every entry\n"
        "    b = bytearray(open(sys.argv[1], 'rb').read()); i = b.find(b'PK\\x01\\x02')\n"
        "    while i >= 0:\n"
        "        b[i + 24:i + 28] = (0x7FFFFFFF).to_bytes(4, 'little'); i = b.find(b'PK\\x01\\x02', i + 4)\n"
        "    open(sys.argv[1], 'wb').write(b)\n");
    QProcess p;
    p.start(py, {"-c", script, file, kind, name});
    QVERIFY(p.waitForFinished(30000));
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
}

}  // namespace

class TestZipService : public QObject {
    Q_OBJECT
    Folder m_program;
    std::unique_ptr<TformFRMain> m_main;

private Q_SLOTS:
    void init() {
        SetProgramFolder(m_program.path());
        UIServices::SetMessageHook([](const UIServices::TShownMessage&) { return UIServices::TMsgResult::OK; });
        m_main = std::make_unique<TformFRMain>();
        m_main->zipMain->SetDLLDirectory(testsupport::ProgramDir());
    }
    void cleanup() {
        m_main.reset();
        UIServices::SetMessageHook({});
        SetProgramFolder(QString());
    }

    void componentIsSetUpForUnattendedWork() {
        TZipArchiver* z = m_main->zipMain;
        QCOMPARE(z->objectName(), QString("zipMain"));
        QCOMPARE(z->AddCompLevel(), 9);
        QVERIFY(z->Unattended());
        QVERIFY(!z->Verbose() && !z->Trace());
        QCOMPARE(z->MinZipLibVers(), 172);
        QCOMPARE(z->MinUnzLibVers(), 172);
        QCOMPARE(int(z->AddStoreSuffixes().toInt()), int(Zip::AddStoreDefault));
    }

    // Subfolders keep their names, dot names and linked folders stay out, and unpacking into
    // a folder that does not exist brings the whole tree back.
    void packsRelativeNamesAndUnpacksTheTree() {
        Folder src, outside;
        src.write("main.htm", "<p>Kantarell</p>");
        src.write(QString::fromUtf8("bilder/skivor å.png"), QByteArray(3000, 'x'));
        src.write("bilder/djup/spor.htm", "<p>Sporer</p>");
        src.write(".hemlig", "nej");
        src.write(".git/config", "nej");
        src.write("bilder/.DS_Store", "nej");
        outside.write("lankad.htm", "nej");
        QVERIFY(QFile::link(outside.path(), src.path("lank")));
        QVERIFY(QFile::link(outside.path("lankad.htm"), src.path("lank.htm")));

        const QStringList expected{"bilder/djup/spor.htm", QString::fromUtf8("bilder/skivor å.png"), "main.htm"};
        qint64 total = 0;
        QStringList listed = ArticleFolderFiles(src.path(), &total);
        listed.sort();
        QCOMPARE(listed, expected);
        QCOMPARE(total, qint64(16 + 3000 + 13));

        const QString archive = m_program.path("Temp/KnowBase/A.dat");
        m_main->ZipFolder(src.path(), archive);
        QCOMPARE(StoredNames(*m_main->zipMain), expected);

        const QString out = m_program.path("Temp/Knowbase/ny/nivå");
        QVERIFY(!QFileInfo::exists(out));
        m_main->UnzipTo(archive, out);
        QCOMPARE(FilesBelow(out), expected);
        QCOMPARE(testsupport::ReadBytes(out + QString::fromUtf8("/bilder/skivor å.png")), QByteArray(3000, 'x'));
        QCOMPARE(testsupport::ReadBytes(out + "/bilder/djup/spor.htm"), QByteArray("<p>Sporer</p>"));
    }

    // A second pack to the same file holds only the second folder.
    void secondPackReplacesTheArchive() {
        Folder first, second, out;
        first.write("main.htm", "första");
        first.write("gammal.htm", "bort");
        second.write("main.htm", "andra");
        const QString archive = m_program.path("Temp/KnowBase/B.dat");
        m_main->ZipFolder(first.path(), archive);
        m_main->ZipFolder(second.path(), archive);
        QCOMPARE(StoredNames(*m_main->zipMain), QStringList{"main.htm"});
        m_main->UnzipTo(archive, out.path());
        QCOMPARE(FilesBelow(out.path()), QStringList{"main.htm"});
        QCOMPARE(testsupport::ReadBytes(out.path("main.htm")), QByteArray("andra"));
    }

    void failedPackRaisesAndLeavesNoArchive() {
        Folder src;
        src.write("main.htm", "x");
        // A file where the archive's folder should be.
        m_program.write("Temp/spärr", "fil");
        const QString archive = m_program.path(QString::fromUtf8("Temp/spärr/C.dat"));
        const QString text = testsupport::ExceptionText([&] { m_main->ZipFolder(src.path(), archive); });
        QVERIFY2(text.startsWith(kZipError), qPrintable(text));
        QVERIFY(!QFileInfo::exists(archive));
        // An empty folder has nothing to pack: an error, not an empty success.
        Folder empty;
        const QString emptyArchive = m_program.path("Temp/KnowBase/D.dat");
        QVERIFY(
            testsupport::ExceptionText([&] { m_main->ZipFolder(empty.path(), emptyArchive); }).startsWith(kZipError));
        QVERIFY(!QFileInfo::exists(emptyArchive));
    }

    void damagedArchiveRaises_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("inte ett arkiv") << 0;
        QTest::newRow("avkortat") << 1;
        QTest::newRow("skadat innehåll") << 2;
        QTest::newRow("saknas") << 3;
        QTest::newRow("får inte läsas") << 4;
    }
    void damagedArchiveRaises() {
        QFETCH(int, kind);
        Folder src, out;
        src.write("main.htm", QByteArray(20000, 'k') + "slut");
        const QString archive = m_program.path("Temp/KnowBase/E.dat");
        m_main->ZipFolder(src.path(), archive);
        QByteArray bytes = testsupport::ReadBytes(archive);
        if (kind == 0) bytes = "Det här är ingen zip-fil alls, bara text.";
        if (kind == 1) bytes = bytes.left(bytes.size() / 2);
        if (kind == 2)
            for (int i = 60; i < 90; ++i) bytes[i] = char(bytes[i] ^ 0x5A);
        if (kind == 3)
            QFile::remove(archive);
        else
            QVERIFY(testsupport::WriteBytes(archive, bytes));
        if (kind == 4) QVERIFY(QFile::setPermissions(archive, QFileDevice::Permissions()));
        QString text;
        {
            testsupport::TFileAccessAsUser asUser;
            text = testsupport::ExceptionText([&] { m_main->UnzipTo(archive, out.path()); });
        }
        // An unpacking is not called a compression, and a file that is there is not called missing.
        QVERIFY2(text.startsWith(kUnzipError), qPrintable(text));
        QVERIFY2(!text.contains("existerar inte"), qPrintable(text));
        const QString named = QDir::toNativeSeparators(archive);
        if (kind <= 1)
            QCOMPARE(
                text,
                kUnzipError +
                    QStringLiteral("Filen \"%1\" är skadad eller ingen zip-fil och kan inte packas upp.").arg(named));
        if (kind == 3) QCOMPARE(text, kUnzipError + QStringLiteral("Filen \"%1\" finns inte.").arg(named));
        if (kind == 4)
            QCOMPARE(text, kUnzipError + QStringLiteral("Filen \"%1\" kunde inte läsas (åtkomst nekad).").arg(named));
        QVERIFY(!m_main->zipMain->IsBusy());
    }

    void unsafeArchiveWritesNothing_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("name");
        QTest::newRow("förälder") << "name"
                                  << "../x";
        QTest::newRow("djupt") << "name"
                               << "bilder/../../x";
        QTest::newRow("absolut") << "name"
                                 << "/tmp/x";
        QTest::newRow("länk") << "link"
                              << "x";
        QTest::newRow("för stort") << "big"
                                   << "stor.htm";
    }
    void unsafeArchiveWritesNothing() {
        QFETCH(QString, kind);
        QFETCH(QString, name);
        Folder work;
        const QString archive = work.path("art.dat");
        WriteArchive(archive, kind, name);
        const QString target = work.path("Temp/Knowbase");
        const QString text = testsupport::ExceptionText([&] { m_main->UnzipTo(archive, target); });
        QVERIFY2(text.startsWith(kUnzipError), qPrintable(text));
        // Refused by the directory check, before the unpacking library ran.
        QVERIFY2(text.contains(kind == "big" ? QString::fromUtf8("för stort") : QString::fromUtf8("otillåtet namn")),
                 qPrintable(text));
        QCOMPARE(FilesBelow(work.path()), QStringList{"art.dat"});
    }

    void closingWaitsForTheComponent() {
        Folder src;
        src.write("main.htm", "x");
        bool refusedWhileBusy = false;
        m_main->zipMain->OnProgress = [&](QObject*, ProgressType, const QString&, quint32) {
            refusedWhileBusy = !m_main->FormCloseQuery();
        };
        m_main->ZipFolder(src.path(), m_program.path("Temp/KnowBase/F.dat"));
        QVERIFY(refusedWhileBusy);
        QVERIFY(m_main->FormCloseQuery());
    }
};

QTEST_MAIN(TestZipService)
#include "tst_zipservice.moc"
