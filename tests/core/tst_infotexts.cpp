#include <QtTest>

#include "core/DatasetNames.h"
#include "core/InfoTexts.h"
#include "core/ProgramFolders.h"
#include "platform/Exception.h"
#include "support/TestSupport.h"

namespace {

// A program folder of its own for one case.
struct ProgramFolder {
    QTemporaryDir dir;
    ProgramFolder() { SetProgramFolder(dir.path()); }
    ~ProgramFolder() { SetProgramFolder(QString()); }
    QString path(const QString& rel) const { return dir.path() + "/" + rel; }
};

}  // namespace

class TestInfoTexts : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void datasetDisplayName_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("display");
        QTest::newRow("upper case") << "CDSFUNGI"
                                    << "Artbeskrivningar";
        QTest::newRow("maps") << "cdsMaps"
                              << "Kartor";
        QTest::newRow("knowledge base") << "cdsKnowbase"
                                        << "Svampvetenskap";
        QTest::newRow("mixed case") << "cdsfungimixups" << QString::fromUtf8("Förväxlingssvampar");
        QTest::newRow("last pair") << "cdsFoodTexts"
                                   << "Receptrader";
        QTest::newRow("not a table") << "cdsNothing"
                                     << "";
        QTest::newRow("not displayed") << "cdsCurrentUser"
                                       << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void datasetDisplayName() {
        QFETCH(QString, name);
        QFETCH(QString, display);
        QCOMPARE(GetDatasetDisplayName(name), display);
    }

    // ---- Info texts ----

    void infoTextFromASharedBlock() {
        ProgramFolder folder;
        QVERIFY(
            testsupport::WriteBytes(folder.path("Data/Res/Texts.dat"),
                                    "[first]\r\nett\r\n[Second]\n[third]\nrad 1\n\nrad 3 med åäö\n[fourth]\nsista\n"));
        QStringList lines{"old"};
        SetInfoText("SECOND", lines);
        QCOMPARE(lines, QStringList({"rad 1", "", QString::fromUtf8("rad 3 med åäö")}));
        SetInfoText("third", lines);
        QCOMPARE(lines, QStringList({"rad 1", "", QString::fromUtf8("rad 3 med åäö")}));
        SetInfoText("first", lines);
        QCOMPARE(lines, QStringList({"ett"}));
        SetInfoText("fourth", lines);
        QCOMPARE(lines, QStringList({"sista"}));
        try {
            SetInfoText("fifth", lines);
            QFAIL("no exception");
        } catch (const Exception& e) {
            QCOMPARE(e.Message(), QString("Etikett \"fifth\" kunde inte hittas vid SetInfoText"));
        }
        // A label must be the whole line.
        QVERIFY_THROWS_EXCEPTION(Exception, SetInfoText("fourt", lines));
    }

    void shippedInfoTextsHaveTheirLabels() {
        SetProgramFolder(testsupport::ProgramDir());
        for (const char* label : {"infocompleting", "infouncomplete", "infouncomplete_hidden", "infofirstuser"}) {
            QStringList lines;
            SetInfoText(label, lines);
            QVERIFY2(!lines.join("").trimmed().isEmpty(), label);
        }
        SetProgramFolder(QString());
    }
};

QTEST_GUILESS_MAIN(TestInfoTexts)
#include "tst_infotexts.moc"
