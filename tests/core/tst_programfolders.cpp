#include <QtTest>

#include "core/ProgramFolders.h"
#include "platform/Exception.h"
#include "support/TestSupport.h"

namespace {

struct ProgramFolder {
    QTemporaryDir dir;
    ProgramFolder() { SetProgramFolder(dir.path()); }
    ~ProgramFolder() { SetProgramFolder(QString()); }
};

}  // namespace

class TestProgramFolders : public QObject {
    Q_OBJECT

    QString m_pathRoot;

private Q_SLOTS:
    void pathBuilders_data() {
        QTest::addColumn<QString>("built");
        QTest::addColumn<QString>("expected");
        ProgramFolder folder;
        const QString k = "020ABCDEFGHIJKLMNO";
        QTest::newRow("KnowBaseFile") << GetKnowBaseFile(k) << "Data/KnowBase/" + k + ".dat";
        QTest::newRow("FoodPicFile") << GetFoodPicFile(k) << "Data/Pics/FoodPics/FP" + k + ".jpg";
        QTest::newRow("FoodPicThumbFile") << GetFoodPicThumbFile(k) << "Data/Pics/FoodPics/FPTN" + k + ".bmp";
        QTest::newRow("PicsPath") << GetPicsPath("Logo.bmp") << "Data/Pics/Logo.bmp";
        QTest::newRow("ContactPicFile") << GetContactPicFile(k) << "Data/Pics/ContactPics/US" + k + ".jpg";
        QTest::newRow("MainPicFile") << GetMainPicFile(k) << "Data/Pics/MainPics/MP" + k + ".jpg";
        QTest::newRow("InternetPicFile") << GetInternetPicFile(k) << "Data/Pics/InternetPics/IP" + k + ".bmp";
        QTest::newRow("FungiPicFile") << GetFungiPicFile(k) << "Data/Pics/FungiPics/Pic" + k + ".jpg";
        // Thumbnails: one spelling of the folder for files and folder alike.
        QTest::newRow("FungiPicThumbFile") << GetFungiPicThumbFile(k) << "Data/Pics/FungiPicThumbs/Tn" + k + ".bmp";
        QTest::newRow("FungiPicThumbFolder") << GetFungiPicThumbFolder() << "Data/Pics/FungiPicThumbs/";
        // Temporary articles: one spelling for the packed files and the folder emptied at quit.
        QTest::newRow("TempKnowBaseFile") << GetTempKnowBaseFile(k) << "Temp/KnowBase/" + k + ".dat";
        QTest::newRow("TempKnowBaseFolder") << GetTempKnowBaseFolder() << "Temp/KnowBase/";
        QTest::newRow("ContactPicFolder") << GetContactPicFolder() << "Data/Pics/ContactPics/";
        QTest::newRow("FungiPicFolder") << GetFungiPicFolder() << "Data/Pics/FungiPics/";
        QTest::newRow("FoodPicFolder") << GetFoodPicFolder() << "Data/Pics/FoodPics/";
        QTest::newRow("InternetPicFolder") << GetInternetPicFolder() << "Data/Pics/InternetPics/";
        QTest::newRow("MainPicFolder") << GetMainPicFolder() << "Data/Pics/MainPics/";
        QTest::newRow("ScriptFolder") << GetScriptFolder() << "Data/Scripts/";
        QTest::newRow("ResFile") << GetResFile("Districts.dat") << "Data/Res/Districts.dat";
        QTest::newRow("DatabaseFolder") << GetDatabaseFolder() << "Data/Db/";
        // Every row is checked against the folder it was built in.
        m_pathRoot = GetProgramFolder();
    }
    void pathBuilders() {
        QFETCH(QString, built);
        QFETCH(QString, expected);
        QVERIFY(m_pathRoot.endsWith('/'));
        QCOMPARE(built, m_pathRoot + expected);
    }

    void programFolderFollowsTheTestAndDefaultsToTheExecutable() {
        {
            ProgramFolder folder;
            QCOMPARE(GetProgramFolder(), QDir(folder.dir.path()).absolutePath() + "/");
            QVERIFY(GetMainPicFile("A").startsWith(GetProgramFolder()));
        }
        QCOMPARE(GetProgramFolder(), QCoreApplication::applicationDirPath() + "/");
    }

    void namesThatWouldLeaveTheirFolderAreRefused_data() {
        QTest::addColumn<int>("builder");
        QTest::addColumn<QString>("name");
        QTest::newRow("empty key") << 0 << "";
        QTest::newRow("parent step") << 0 << "../x";
        QTest::newRow("slash in key") << 0 << "a/b";
        QTest::newRow("backslash") << 0 << "a\\b";
        QTest::newRow("parent alone") << 1 << "..";
        QTest::newRow("absolute") << 2 << "/etc/passwd";
        QTest::newRow("sub path escaping") << 2 << "Maps/../../x";
        QTest::newRow("drive") << 2 << "C:x";
    }
    void namesThatWouldLeaveTheirFolderAreRefused() {
        QFETCH(int, builder);
        QFETCH(QString, name);
        ProgramFolder folder;
        try {
            switch (builder) {
                case 0:
                    GetFungiPicFile(name);
                    break;
                case 1:
                    GetKnowBaseFile(name);
                    break;
                default:
                    GetResFile(name);
                    break;
            }
            QFAIL("no exception");
        } catch (const Exception& e) {
            QCOMPARE(e.Message(), QString::fromUtf8("Ogiltigt namn i sökväg: \"%1\"").arg(name));
        }
        // A sub path that stays below its folder is fine.
        QCOMPARE(GetPicsPath("Stock/Logo.bmp"), GetProgramFolder() + "Data/Pics/Stock/Logo.bmp");
    }

    void keyFilesBelowAGivenFolder() {
        // A data module's own folder, whatever the program folder is.
        QCOMPARE(KeyFilePath("/tmp/a", TKeyFile::FungiPic, "K1"), QString("/tmp/a/Data/Pics/FungiPics/PicK1.jpg"));
        QCOMPARE(KeyFilePath("/tmp/a/", TKeyFile::UserSettings, "K1"), QString("/tmp/a/Data/Users/K1.ini"));
        QCOMPARE(KeyFileFolder("/tmp/a", TKeyFile::FoodPicThumb), QString("/tmp/a/Data/Pics/FoodPics/"));
        QCOMPARE(DatabaseFolderOf("/tmp/a"), QString("/tmp/a/Data/Db/"));
        QCOMPARE(testsupport::ExceptionText([] { KeyFilePath("/tmp/a", TKeyFile::MainPic, "../K1"); }),
                 QString::fromUtf8("Ogiltigt namn i sökväg: \"../K1\""));
    }

    void pathNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("plain");
        QTest::addColumn<bool>("subPath");
        QTest::newRow("key") << "020ABCDEFGHIJKLMNO" << true << true;
        QTest::newRow("Swedish name") << "Ängssvampar" << true << true;
        QTest::newRow("blank inside") << "Min karta" << true << true;
        QTest::newRow("sub path") << "Stock/Logo.bmp" << false << true;
        QTest::newRow("empty") << "" << false << false;
        QTest::newRow("dot") << "." << false << false;
        QTest::newRow("parent") << ".." << false << false;
        QTest::newRow("parent inside") << "Maps/../x" << false << false;
        QTest::newRow("absolute") << "/etc/passwd" << false << false;
        QTest::newRow("trailing slash") << "Maps/" << false << false;
        QTest::newRow("backslash") << "a\\b" << false << false;
        QTest::newRow("drive") << "C:x" << false << false;
        QTest::newRow("wildcard") << "a*" << false << false;
        QTest::newRow("line break") << "a\nb" << false << false;
        QTest::newRow("NUL") << QString(QChar(0)) << false << false;
    }
    void pathNames() {
        QFETCH(QString, name);
        QFETCH(bool, plain);
        QFETCH(bool, subPath);
        QCOMPARE(IsValidPathName(name), plain);
        QCOMPARE(IsValidPathName(name, TPathName::SubPath), subPath);
        const QString failure = testsupport::ExceptionText([&] { CheckPathName(name); });
        QCOMPARE(failure == testsupport::NoException, plain);
    }
};

QTEST_GUILESS_MAIN(TestProgramFolders)
#include "tst_programfolders.moc"
