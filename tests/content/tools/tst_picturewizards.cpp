#include <QtTest>

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTcpSocket>

#include "content/species/pictures/FungiPicImages.h"
#include "content/tools/unitLPWizard.h"
#include "content/tools/unitSSWizard.h"
#include "core/FRIConnection.h"
#include "core/ProgramFolders.h"
#include "core/UKeyStringlist.h"
#include "platform/AtomicFile.h"
#include "platform/DataSetScopes.h"
#include "content/FungiTestSupport.h"

namespace {

QByteArray Jpeg(int width, int height, QRgb colour) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return fungipics::JpegBytes(image);
}

QString Native(const QString& path) { return QDir::toNativeSeparators(path); }

// Volumes made of temporary folders.
class TFolderVolumes : public TSSVolumes {
public:
    QStringList roots;
    qint64 free = qint64(1) << 40;
    QStringList Roots() const override { return roots; }
    qint64 BytesFree(const QString&) const override { return free; }
};

// The species of the tests, with their names as the main window lists them.
struct PictureFixture : FungiFixture {
    TUKeyStringlist names;
    QString kantarell, stensopp, flugsvamp;

    PictureFixture() {
        kantarell = Species("Kantarell", "Cantharellus cibarius");
        stensopp = Species("Stensopp", "Boletus edulis");
        flugsvamp = Species("Vitflugsvamp", "Amanita virosa");
        names.Sort();
    }
    QString Species(const QString& swedish, const QString& latin) {
        const QString key = AddSpecies(swedish, latin);
        names.AddUKey(swedish, key);
        names.AddUKey(latin, key);
        return key;
    }
    TExtClientDataSet* Pics() const { return dm->cdsFungiPics; }
    // A value of a picture or species record, wherever the tables stand.
    static QVariant Stored(TExtClientDataSet* table, const QString& key, const QString& field) {
        TClientDataSet* stored = table->InternalDataSet();
        const int row = stored->FindRecordIndex("UKey", key);
        return row < 0 ? QVariant() : stored->RecordValue(row, stored->FieldByName(field)->Index());
    }
    int PicCount(const QString& species) const { return Stored(dm->cdsFungi, species, "PicCount").toInt(); }
    int StoredPictures() const { return Pics()->InternalDataSet()->RecordCount(); }
    QStringList Messages() const {
        QStringList texts;
        for (const auto& m : UIServices::MessageLog()) texts << m.Text;
        return texts;
    }
};

// ---- The CD import ----

// A "CD" on the second of two volumes, with the index records of its edition.
struct CDFixture : PictureFixture {
    QTemporaryDir volumes;
    TFolderVolumes fake;
    QString pictures;  // the CD's picture folder
    QList<QString> indexKeys;

    CDFixture() {
        const QString cd = volumes.path() + "/cdrom";
        QDir().mkpath(volumes.path() + "/disk");
        fake.roots = {volumes.path() + "/disk", cd};
        pictures = cd + "/Svampar/BILDER/";
        QVERIFY(testsupport::WriteBytes(pictures + "cd1.TXT", "SMF"));
        QVERIFY(testsupport::WriteBytes(pictures + "kant1.jpg", Jpeg(400, 200, qRgb(230, 160, 20))));
        QVERIFY(testsupport::WriteBytes(pictures + "STENSOPP.JPG", Jpeg(200, 400, qRgb(120, 70, 30))));
        QVERIFY(testsupport::WriteBytes(pictures + "trasig.jpg", "ingen bild alls"));
        // A CD's files are read-only; the copies are not.
        QFile::setPermissions(pictures + "kant1.jpg", QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);

        Header("1", 4, 10);
        Header("CD \"2\"", 1, 10);
        // The index is ordered by Art: the unknown species is record 4.
        Index("1", "Cantharellus cibarius", "kant1.jpg", "1998-09-12", "Uppsala", "", "", "Under gran");
        Index("1", "Boletus edulis", "stensopp.jpg", "31/13/98", "Lund", "Kalle", "Ek", "");
        Index("1", "Amanita virosa", "trasig.jpg", "1999-08-01", "", "", "", "");
        Index("1", "Okänd okändus", "okand.jpg", "", "", "", "", "");
        Index("CD \"2\"", "Cantharellus cibarius", "kant1.jpg", "", "", "", "", "");
    }
    void Header(const QString& release, int pictures, int mb) {
        TExtClientDataSet* t = dm->cdsSSImportHeader;
        TEditScope append(t, TEditScope::Append);
        t->FieldByName("Release")->SetAsString(release);
        t->FieldByName("PicCount")->SetAsInteger(pictures);
        t->FieldByName("HdSpace")->SetAsInteger(mb);
        t->FieldByName("CDIdentPaths")->SetAsString("\\SVAMPAR\\BILDER\\CD1.TXT");
        t->FieldByName("CDPath")->SetAsString("\\SVAMPAR\\BILDER\\");
        append.Post();
    }
    void Index(const QString& cd, const QString& art, const QString& file, const QString& date, const QString& place,
               const QString& collector, const QString& substrate, const QString& note) {
        TExtClientDataSet* t = dm->cdsSSImport;
        TEditScope append(t, TEditScope::Append);
        indexKeys << GetUKey(t);
        const QList<QPair<const char*, QString>> values{
            {"CD", cd},       {"Art", art},       {"Filnamn", file},       {"Datum", date},
            {"Lokal", place}, {"Arr", collector}, {"Substrat", substrate}, {"Anteckning", note}};
        for (const auto& [field, value] : values) t->FieldByName(field)->SetAsString(value);
        append.Post();
    }
    QString PictureKey(int index) const { return SSPictureKey("02D", indexKeys[index]); }

    // The wizard from the first page to the end of the import of edition 1.
    void Import(TformSSWizard& wizard, bool forced) {
        wizard.SetVolumes(&fake);
        wizard.btnNext->click();
        QCOMPARE(wizard.Page(), TformSSWizard::pgDrive);
        (forced ? wizard.radioForcedYes : wizard.radioForcedNo)->setChecked(true);
        wizard.btnNext->click();
        QCOMPARE(wizard.Page(), TformSSWizard::pgProgress);
    }
};

// ---- The link download ----

// Pictures on 127.0.0.1: the path of a request chooses the answer; "/stall" never answers and
// "/abort" calls the test back and never answers either.
class TPictureServer : public QObject {
public:
    std::function<void()> onAbortRequest;
    QByteArray picture = Jpeg(320, 160, qRgb(200, 150, 30));

    TPictureServer() {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { Answer(socket); });
            }
        });
    }
    QString Url(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
    }

private:
    void Answer(QTcpSocket* socket) {
        QByteArray& request = m_requests[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n")) return;
        const QByteArray path = request.split(' ').value(1);
        auto reply = [socket](const QByteArray& status, const QByteArray& type, const QByteArray& body) {
            socket->write("HTTP/1.1 " + status + "\r\nContent-Type: " + type + "\r\nContent-Length: " +
                          QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
            socket->disconnectFromHost();
        };
        if (path.endsWith(".jpg") && path.startsWith("/svamp"))
            reply("200 OK", "image/jpeg", picture);
        else if (path == "/text.jpg")
            reply("200 OK", "text/html", "<html><body>Sidan finns inte</body></html>");
        else if (path == "/halv.jpg")
            reply("200 OK", "image/jpeg", picture.left(40));
        else if (path == "/abort" && onAbortRequest)
            onAbortRequest();
        else if (path != "/stall" && path != "/abort")
            reply("404 Not Found", "text/plain", "saknas");
    }

    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_requests;
};

struct LinkFixture : PictureFixture {
    TPictureServer server;
    TFRIConnection connection;

    LinkFixture() {
        // Long enough for a slow machine (a sanitized build under load); the test of a stalled
        // reply sets a shorter one.
        connection.SetTimeout(10000);
    }
    QString Link(const QString& species, const QString& path, bool mainSource = false, int index = 1) {
        return AddDetail(Pics(), species,
                         {{"PicIndex", index},
                          {"PicType", "LINK"},
                          {"PicURL", server.Url(path)},
                          {"PicSource", "Svampbilder på nätet"},
                          {"MainPicSource", mainSource}});
    }
    bool Downloaded(const QString& key) const { return Stored(Pics(), key, "PicDownloaded").toBool(); }
};

void SaveShots(QDialog& dialog, const QString& name) {
    if (qgetenv("QT_QPA_PLATFORM") != "offscreen") return;
    for (const QSize size : {dialog.minimumSize(), QSize(800, 600), QSize(1280, 1024)}) {
        // The dialog at its smallest, and grown as large as each screen allows.
        const QSize shown = size == dialog.minimumSize() ? size : QSize(size.width() - 80, size.height() - 80);
        dialog.resize(shown);
        QVERIFY(dialog.grab().save(testsupport::ArtefactDir() +
                                   QStringLiteral("/%1_%2x%3.png").arg(name).arg(shown.width()).arg(shown.height())));
    }
}

// A run is stopped with "Avbryt" or by closing the window.
void WaysToStop() {
    QTest::addColumn<bool>("byClosing");
    QTest::newRow("Avbryt") << false;
    QTest::newRow("closing the window") << true;
}

}  // namespace

class TestPictureWizards : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cdImportTwiceSkipsWhatIsThere();
    void cdImportWhenCopiesFail_data();
    void cdImportWhenCopiesFail();
    void cdSearchAndDiskSpace();
    void cdImportAborted_data();
    void cdImportAborted();
    void linkDownload();
    void linkDownload_speciesOutsideTheSelection_data();
    void linkDownload_speciesOutsideTheSelection();
    void linkDownloadAborted_data();
    void linkDownloadAborted();
};

void TestPictureWizards::cdImportTwiceSkipsWhatIsThere() {
    CDFixture f;
    f.AnswerBoxes(UIServices::TMsgResult::OK);
    {
        TformSSWizard wizard(f.dm.get(), f.names);
        QCOMPARE(wizard.radioReleases.size(), 2);
        QCOMPARE(wizard.radioReleases[0]->text(), QStringLiteral("Utgåva 1, 4 bilder   (10 Mb hårddiskutrymme krävs)"));
        QVERIFY(wizard.radioReleases[0]->isChecked());
        QVERIFY(wizard.lblReleaseInfo->text().startsWith("Det finns för närvarande 2 utgåvor av SMFs"));
        wizard.SetVolumes(&f.fake);
        SaveShots(wizard, "ssimport_release");
        wizard.btnNext->click();
        SaveShots(wizard, "ssimport_drive");
        // The CD is in the second volume; its folders are found whatever their case.
        QCOMPARE(wizard.editPath->text(), Native(f.pictures));
        QCOMPARE(wizard.lblDriveQuestion->text(),
                 QStringLiteral("Vad är den fullständiga sökvägen till bilderna i utgåva 1?"));
        QCOMPARE(wizard.btnNext->text(), QStringLiteral("Importera"));
        wizard.btnNext->click();

        const TSSImport& run = wizard.Import();
        QCOMPARE(run.Imported, 2);
        QCOMPARE(run.Skipped, 0);
        QCOMPARE(run.Failures,
                 QStringList({QStringLiteral("Bilden \"%1\" kunde inte läsas.").arg(Native(f.pictures + "trasig.jpg")),
                              QStringLiteral("Kunde ej hitta art Okänd okändus (post 4)")}));
        QCOMPARE(f.Messages(), QStringList{"Importen är slutförd!"});
        QCOMPARE(wizard.lblPicNo->text(), QStringLiteral("4"));
        QCOMPARE(wizard.lblPicCount->text(), QStringLiteral("av 4"));
        QCOMPARE(wizard.lblFailCount->text(), QStringLiteral("2"));
        QCOMPARE(wizard.listFailures->count(), 2);
        SaveShots(wizard, "ssimport_progress");
    }

    // The picture records, their files and the counts of their species.
    const QString kant = f.PictureKey(0), sten = f.PictureKey(1);
    QCOMPARE(kant, "02D" + f.indexKeys[0].right(15));
    QCOMPARE(f.StoredPictures(), 2);
    QCOMPARE(f.PicCount(f.kantarell), 1);
    QCOMPARE(f.PicCount(f.stensopp), 1);
    QCOMPARE(f.PicCount(f.flugsvamp), 0);
    TExtClientDataSet* pics = f.Pics();
    QCOMPARE(f.Stored(pics, kant, "MasterUKey").toString(), f.kantarell);
    QCOMPARE(f.Stored(pics, kant, "PicType").toString(), QStringLiteral("EXTERN"));
    QCOMPARE(f.Stored(pics, kant, "PicDate").toDate(), QDate(1998, 9, 12));
    QCOMPARE(f.Stored(pics, kant, "PicIndex").toInt(), 2003);
    QCOMPARE(f.Stored(pics, kant, "PicSource").toString(), QStringLiteral("Sveriges svampar, utgåva 1"));
    QCOMPARE(f.Stored(pics, kant, "PicSourceURL").toString(), TSSImport::SocietyUrl);
    QCOMPARE(f.Stored(pics, kant, "Photographer").toString(), QStringLiteral("-"));
    QCOMPARE(f.Stored(pics, kant, "NoteText").toString(),
             QStringLiteral("Lokal: Uppsala\r\nAnteckning: Under gran\r\n"));
    QVERIFY(f.Stored(pics, kant, "NoteTextLocked").toBool());
    QVERIFY(!f.Stored(pics, kant, "MainPicSource").toBool());
    QCOMPARE(f.Stored(pics, sten, "NoteText").toString(),
             QStringLiteral("Lokal: Lund\r\nArr.: Kalle\r\nSubstrat: Ek\r\n"));
    QVERIFY(f.Stored(pics, sten, "PicDate").isNull());  // "31/13/98" is no date
    QCOMPARE(testsupport::ReadBytes(GetFungiPicFile(kant)), testsupport::ReadBytes(f.pictures + "kant1.jpg"));
    QVERIFY(QFile::permissions(GetFungiPicFile(kant)) & QFile::WriteOwner);
    QCOMPARE(QImage(GetFungiPicThumbFile(kant)).size(), QSize(90, 45));
    QCOMPARE(QImage(GetFungiPicThumbFile(sten)).size(), QSize(45, 90));
    QVERIFY(!QFile::exists(GetFungiPicFile(f.PictureKey(2))));
    QVERIFY(QDir(GetFungiPicFolder()).entryList({"*.tmp"}, QDir::Files | QDir::Hidden).isEmpty());

    // A second run finds every picture it imported and appends nothing.
    UIServices::ClearMessageLog();
    TformSSWizard again(f.dm.get(), f.names);
    f.Import(again, false);
    QCOMPARE(again.Import().Imported, 0);
    QCOMPARE(again.Import().Skipped, 2);
    QCOMPARE(again.Import().Failures.size(), 2);
    QCOMPARE(f.StoredPictures(), 2);
    QCOMPARE(f.PicCount(f.kantarell), 1);
}

void TestPictureWizards::cdImportWhenCopiesFail_data() {
    QTest::addColumn<bool>("existing");
    QTest::addColumn<int>("step");
    // A picture already imported, copied again unconditionally: nothing of it changes.
    QTest::newRow("existing, copy") << true << int(TWriteStep::Write);
    QTest::newRow("existing, put in place") << true << int(TWriteStep::Rename);
    // A new picture: its record goes again and leaves no file.
    QTest::newRow("new, copy") << false << int(TWriteStep::Write);
    QTest::newRow("new, put in place") << false << int(TWriteStep::Rename);
}

void TestPictureWizards::cdImportWhenCopiesFail() {
    QFETCH(bool, existing);
    QFETCH(int, step);
    CDFixture f;
    f.AnswerBoxes(UIServices::TMsgResult::OK);
    const QString sten = f.PictureKey(1);
    QByteArray oldPicture;
    if (existing) {
        TformSSWizard first(f.dm.get(), f.names);
        f.Import(first, false);
        QCOMPARE(first.Import().Imported, 2);
        // The user's own note on the picture shows whether its record was written again.
        QVERIFY(LocateUKey(f.Fungi(), f.stensopp));
        QVERIFY(LocateUKey(f.Pics(), sten));
        TEditScope edit(f.Pics());
        f.Pics()->FieldByName("NoteText")->SetAsString("Min egen notering");
        edit.Post();
        oldPicture = testsupport::ReadBytes(GetFungiPicFile(sten));
    }
    // The stensopp is the first picture written (the broken one before it is refused unread).
    AtomicFileFaults::FailNext(static_cast<TWriteStep>(step));
    auto clear = qScopeGuard([] { AtomicFileFaults::Clear(); });
    TformSSWizard wizard(f.dm.get(), f.names);
    f.Import(wizard, true);

    const TSSImport& run = wizard.Import();
    QCOMPARE(run.Imported, 1);
    QVERIFY(run.Failures.contains(QStringLiteral("Filkopiering \"%1\" -> \"%2\" misslyckades")
                                      .arg(Native(f.pictures + "stensopp.jpg"), Native(GetFungiPicFile(sten)))));
    QCOMPARE(f.StoredPictures(), existing ? 2 : 1);
    QCOMPARE(f.PicCount(f.stensopp), existing ? 1 : 0);
    if (existing) {
        QCOMPARE(testsupport::ReadBytes(GetFungiPicFile(sten)), oldPicture);
        if (step == int(TWriteStep::Write))
            QCOMPARE(f.Stored(f.Pics(), sten, "NoteText").toString(), QStringLiteral("Min egen notering"));
    } else {
        QVERIFY(!f.Stored(f.Pics(), sten, "UKey").isValid());
        QVERIFY(!QFile::exists(GetFungiPicFile(sten)));
        QVERIFY(!QFile::exists(GetFungiPicThumbFile(sten)));
    }
    QVERIFY(QDir(GetFungiPicFolder()).entryList({"*.tmp"}, QDir::Files | QDir::Hidden).isEmpty());
}

void TestPictureWizards::cdSearchAndDiskSpace() {
    CDFixture f;
    f.AnswerBoxes(UIServices::TMsgResult::OK);
    TformSSWizard wizard(f.dm.get(), f.names);
    wizard.SetVolumes(&f.fake);
    wizard.btnHelp->click();
    QCOMPARE(UIServices::MessageLog().last().Caption, QStringLiteral("Mykotekshallen - Hjälp"));
    QVERIFY(UIServices::MessageLog().last().Text.contains("SMFs programvara Sveriges svampar"));

    // Too little room for the edition and its 20 MB more: the wizard stays.
    f.fake.free = qint64(29) * 1048576;
    wizard.btnNext->click();
    QCOMPARE(wizard.Page(), TformSSWizard::pgRelease);
    QCOMPARE(UIServices::MessageLog().last().Caption, QStringLiteral("Mykotekshallen - Fel"));
    QCOMPARE(
        UIServices::MessageLog().last().Text,
        QStringLiteral("Det finns inte tillräckligt med ledigt diskutrymme för att installera den valda utgåvan!"));

    // Without the CD in any volume the path stays empty, and a path without the edition's
    // identifying file is refused.
    f.fake.free = qint64(30) * 1048576;
    f.fake.roots = {f.fake.roots.first()};
    wizard.btnNext->click();
    QCOMPARE(wizard.Page(), TformSSWizard::pgDrive);
    QCOMPARE(wizard.editPath->text(), QString());
    wizard.editPath->setText(Native(f.volumes.path() + "/disk"));
    wizard.btnNext->click();
    QCOMPARE(wizard.Page(), TformSSWizard::pgDrive);
    QCOMPARE(UIServices::MessageLog().last().Text,
             QStringLiteral("Bildfiler för utgåva 1 kunde inte hittas i angiven sökväg \"%1\"")
                 .arg(Native(f.volumes.path() + "/disk/")));
    QCOMPARE(f.StoredPictures(), 0);

    // Back to the editions, the second one, whose CD is now in.
    wizard.btnPrevious->click();
    QCOMPARE(wizard.Page(), TformSSWizard::pgRelease);
    wizard.radioReleases[1]->setChecked(true);
    f.fake.roots << f.volumes.path() + "/cdrom";
    wizard.btnNext->click();
    QCOMPARE(wizard.lblDriveQuestion->text(),
             QStringLiteral("Vad är den fullständiga sökvägen till bilderna i utgåva CD \"2\"?"));
    QCOMPARE(wizard.editPath->text(), Native(f.pictures));
    wizard.btnNext->click();
    // Only the records of the edition chosen, its name compared as it stands.
    QCOMPARE(wizard.Import().Imported, 1);
    QCOMPARE(wizard.Import().Failures, QStringList());
    QCOMPARE(f.PicCount(f.kantarell), 1);
    QCOMPARE(f.Stored(f.Pics(), f.PictureKey(4), "PicSource").toString(),
             QStringLiteral("Sveriges svampar, utgåva CD \"2\""));
}

void TestPictureWizards::cdImportAborted_data() { WaysToStop(); }

void TestPictureWizards::cdImportAborted() {
    QFETCH(bool, byClosing);
    CDFixture f;
    f.AnswerBoxes(UIServices::TMsgResult::OK);
    TformSSWizard wizard(f.dm.get(), f.names);
    wizard.show();
    int presses = 0;
    // The user asks twice, once the first picture is done: the import stops after it and the
    // wizard closes once it has.
    connect(wizard.gaugeProgress, &QProgressBar::valueChanged, &wizard, [&](int value) {
        if (value != 1) return;
        for (int i = 0; i < 2; ++i) {
            ++presses;
            if (byClosing)
                wizard.close();
            else
                wizard.btnCancel->click();
            QVERIFY(wizard.isVisible() && wizard.Import().Importing);
        }
    });
    f.Import(wizard, false);
    QCOMPARE(presses, 2);
    QVERIFY(wizard.Import().Aborted);
    QCOMPARE(wizard.lblPicNo->text(), QStringLiteral("1"));
    QCOMPARE(f.Messages(), QStringList{"Importen har avbrutits!"});
    QVERIFY(!wizard.isVisible());
    QCOMPARE(wizard.result(), int(QDialog::Rejected));
}

void TestPictureWizards::linkDownload() {
    LinkFixture f;
    f.AnswerBoxes(UIServices::TMsgResult::OK);
    // The stensopp already has its main picture; the kantarell has none.
    {
        QVERIFY(LocateUKey(f.Fungi(), f.stensopp));
        TEditScope edit(f.Fungi());
        f.Fungi()->FieldByName("HasPic")->SetAsBoolean(true);
        edit.Post();
        QVERIFY(testsupport::WriteBytes(GetMainPicFile(f.stensopp), "gammal huvudbild"));
    }
    const QString good = f.Link(f.kantarell, "/svamp1.jpg", true, 1);
    const QString missing = f.Link(f.kantarell, "/saknas.jpg", false, 2);
    const QString stalled = f.Link(f.stensopp, "/stall", false, 1);
    const QString text = f.Link(f.stensopp, "/text.jpg", false, 2);
    const QString half = f.Link(f.stensopp, "/halv.jpg", false, 3);
    const QString second = f.Link(f.stensopp, "/svamp2.jpg", true, 4);
    // Neither a picture of its own nor a link already fetched is pending.
    f.AddDetail(f.Pics(), f.flugsvamp, {{"PicIndex", 1}, {"PicType", "PERSONAL"}});
    f.AddDetail(
        f.Pics(), f.flugsvamp,
        {{"PicIndex", 2}, {"PicType", "LINK"}, {"PicDownloaded", true}, {"PicURL", f.server.Url("/svamp3.jpg")}});
    QCOMPARE(f.PicCount(f.kantarell), 2);
    QCOMPARE(f.PicCount(f.stensopp), 4);
    QVERIFY(LocateUKey(f.Fungi(), f.flugsvamp));

    f.connection.SetTimeout(2000);  // the stalled reply ends soon, the others have time
    TformLPWizard wizard(f.dm.get(), f.connection);
    QCOMPARE(wizard.Download().PendingCount(), 6);
    QCOMPARE(wizard.gaugeTotal->maximum(), 6);
    QCOMPARE(wizard.Page(), TformLPWizard::pgInfo);
    QVERIFY(wizard.btnStart->isEnabled());
    SaveShots(wizard, "lpdownload_info");
    wizard.btnHelp->click();
    QCOMPARE(UIServices::MessageLog().last().Caption, QStringLiteral("Mykotekshallen - Hjälp"));
    UIServices::ClearMessageLog();
    wizard.btnStart->click();

    const TLPDownload& run = wizard.Download();
    QCOMPARE(wizard.Page(), TformLPWizard::pgProgress);
    QCOMPARE(run.Done, 6);
    QCOMPARE(run.Failures, 4);
    QCOMPARE(wizard.lblFailed->text(), QStringLiteral("   4"));
    QCOMPARE(wizard.listFailures->count(), 4);
    QCOMPARE(wizard.gaugeTotal->value(), 6);
    QCOMPARE(wizard.lblFileName->text(), QStringLiteral("   svamp2.jpg"));
    QCOMPARE(wizard.lblSource->text(), QStringLiteral("   Svampbilder på nätet"));
    QCOMPARE(
        wizard.lblSize->text(),
        QStringLiteral("   %1 kb").arg(QString::number(f.server.picture.size() / 1024.0, 'f', 2).replace('.', ',')));
    QVERIFY(run.RunBytes >= 2 * f.server.picture.size());
    QVERIFY(wizard.lblSpeed->text().endsWith(" kb/s"));
    QCOMPARE(f.Messages(), QStringList{"Nedladdningen av länkade svampbilder är slutförd!"});
    QCOMPARE(UIServices::MessageLog().last().Caption, UIServices::DefaultCaption());
    SaveShots(wizard, "lpdownload_progress");

    // The pictures that came are downloaded with their thumbnails; the others stay pending
    // and leave no file.
    QVERIFY(f.Downloaded(good));
    QVERIFY(f.Downloaded(second));
    QCOMPARE(QImage(GetFungiPicThumbFile(good)).size(), QSize(90, 45));
    // A body that only begins like a picture is no picture either.
    for (const QString& key : {missing, stalled, text, half}) {
        QVERIFY(!f.Downloaded(key));
        QVERIFY(!QFile::exists(GetFungiPicFile(key)));
    }
    // The kantarell got its main picture from the marked one; the stensopp kept its own.
    QCOMPARE(QImage(GetMainPicFile(f.kantarell)).size(), QSize(211, 211));
    QVERIFY(f.Stored(f.dm->cdsFungi, f.kantarell, "HasPic").toBool());
    QVERIFY(f.Stored(f.Pics(), good, "IsMainPic").toBool());
    QCOMPARE(testsupport::ReadBytes(GetMainPicFile(f.stensopp)), QByteArray("gammal huvudbild"));
    QVERIFY(!f.Stored(f.Pics(), second, "IsMainPic").toBool());
    QCOMPARE(f.PicCount(f.kantarell), 2);
    QCOMPARE(f.PicCount(f.stensopp), 4);
    QCOMPARE(f.PicCount(f.flugsvamp), 2);
    // The connection and the pictures table are as they were.
    QVERIFY(!f.connection.Quiet());
    QVERIFY(f.Pics()->MasterSource() == f.dm->dsFungi);

    // The next run takes up what failed.
    TformLPWizard next(f.dm.get(), f.connection);
    QCOMPARE(next.Download().PendingCount(), 4);
}

void TestPictureWizards::linkDownload_speciesOutsideTheSelection_data() {
    QTest::addColumn<bool>("mainPictureWritable");
    QTest::newRow("the hidden species gets its main picture") << true;
    QTest::newRow("a main picture that cannot be made leaves the picture pending") << false;
}

// A species the selection hides gets its main picture from its marked link as any other, and
// the selection stays; where the main picture cannot be made, the link stays pending for the
// next run instead of being skipped for good.
void TestPictureWizards::linkDownload_speciesOutsideTheSelection() {
    QFETCH(bool, mainPictureWritable);
    LinkFixture f;
    f.AnswerBoxes(UIServices::TMsgResult::OK);
    const QString link = f.Link(f.flugsvamp, "/svamp1.jpg", true);
    const QStringList selection{"Str(SwedishName = \"Kantarell\")"};
    f.Select(selection);
    QCOMPARE(f.VisibleKeys(), QStringList{f.kantarell});
    if (!mainPictureWritable) {
        // A file where the folder of main pictures should be.
        QDir(GetMainPicFolder()).removeRecursively();
        QVERIFY(testsupport::WriteBytes(QDir::cleanPath(GetMainPicFolder()), "ingen mapp"));
    }

    TformLPWizard wizard(f.dm.get(), f.connection);
    QCOMPARE(wizard.Download().PendingCount(), 1);
    wizard.btnStart->click();
    QCOMPARE(wizard.Download().Done, 1);
    QCOMPARE(wizard.Download().Failures, mainPictureWritable ? 0 : 1);
    QCOMPARE(f.Fungi()->Sel(), selection);
    QCOMPARE(f.VisibleKeys(), QStringList{f.kantarell});
    if (mainPictureWritable) {
        QVERIFY(f.Downloaded(link));
        QCOMPARE(QImage(GetMainPicFile(f.flugsvamp)).size(), QSize(211, 211));
        QVERIFY(f.Stored(f.dm->cdsFungi, f.flugsvamp, "HasPic").toBool());
        QVERIFY(f.Stored(f.Pics(), link, "IsMainPic").toBool());
        // Stored in the file, not only in memory.
        TClientDataSet file;
        file.LoadFromFile(f.Fungi()->Filename());
        QVERIFY(file.Locate("UKey", f.flugsvamp));
        QVERIFY(file.FieldByName("HasPic")->AsBoolean());
    } else {
        QVERIFY(!f.Downloaded(link));
        QVERIFY(!f.Stored(f.dm->cdsFungi, f.flugsvamp, "HasPic").toBool());
        QVERIFY(!f.Stored(f.Pics(), link, "IsMainPic").toBool());
        TformLPWizard next(f.dm.get(), f.connection);
        QCOMPARE(next.Download().PendingCount(), 1);
    }
}

void TestPictureWizards::linkDownloadAborted_data() { WaysToStop(); }

void TestPictureWizards::linkDownloadAborted() {
    QFETCH(bool, byClosing);
    LinkFixture f;
    f.AnswerBoxes(UIServices::TMsgResult::OK);
    const QString first = f.Link(f.kantarell, "/svamp1.jpg");
    const QString interrupted = f.Link(f.kantarell, "/abort", false, 2);
    const QString last = f.Link(f.stensopp, "/svamp2.jpg");
    TformLPWizard wizard(f.dm.get(), f.connection);
    wizard.show();
    // The user stops the run while the second picture is on its way.
    f.server.onAbortRequest = [&] {
        if (byClosing)
            wizard.close();
        else
            wizard.btnCancel->click();
    };
    wizard.btnStart->click();

    QVERIFY(wizard.Download().Aborted);
    QCOMPARE(wizard.Download().Done, 2);
    QCOMPARE(wizard.Download().Failures, 0);
    QVERIFY(f.Downloaded(first));
    QVERIFY(!f.Downloaded(interrupted));
    QVERIFY(!f.Downloaded(last));
    QVERIFY(!QFile::exists(GetFungiPicFile(interrupted)));
    QCOMPARE(f.Messages(), QStringList{"Nedladdningen har avbrutits!"});
    QVERIFY(wizard.isVisible());
    // Once stopped, "Avbryt" closes the wizard.
    wizard.btnCancel->click();
    QVERIFY(!wizard.isVisible());
    TformLPWizard next(f.dm.get(), f.connection);
    QCOMPARE(next.Download().PendingCount(), 2);
}

QTEST_MAIN(TestPictureWizards)
#include "tst_picturewizards.moc"
