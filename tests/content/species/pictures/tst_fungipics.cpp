// The species pictures: the grid of thumbnails with its buttons, a new picture from a file or
// the clipboard with its thumbnail and main picture, the marker, saving without re-encoding,
// deleting, linked pictures and the source link.
#include <QtTest>

#include <QClipboard>
#include <QGuiApplication>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QToolButton>

#include "content/FungiTestSupport.h"
#include "content/species/pictures/FungiPicImages.h"
#include "content/species/pictures/unitFrameFungiPicDetails.h"
#include "content/species/pictures/unitFrameFungiPics.h"
#include "controls/FREdits.h"
#include "controls/FRMemos.h"
#include "controls/FRSearchPanel.h"
#include "controls/FRTitlePicture.h"
#include "core/FRIConnection.h"
#include "core/ProgramFolders.h"
#include "platform/DataSetScopes.h"
#include "platform/ShellServices.h"
#include "platform/UIServices.h"

namespace {

QImage Picture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    // A pattern, so that re-encoding would show in the bytes.
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, (x ^ y) & 0xFF));
    return image;
}

QByteArray Jpeg(const QImage& image, int quality) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", quality);
    return bytes;
}

// Answers the one request on 127.0.0.1 with the prepared answer.
class TPictureServer : public QObject {
public:
    explicit TPictureServer(const QByteArray& body) {
        m_server.listen(QHostAddress::LocalHost, 0);
        const QByteArray answer =
            "HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: " + QByteArray::number(body.size()) +
            "\r\nConnection: close\r\n\r\n" + body;
        connect(&m_server, &QTcpServer::newConnection, this, [this, answer] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, socket, [socket, answer] {
                    if (!socket->readAll().contains("\r\n\r\n")) return;
                    socket->write(answer);
                    socket->disconnectFromHost();
                });
            }
        });
    }
    QString Url() const { return QStringLiteral("http://127.0.0.1:%1/kantarell.jpg").arg(m_server.serverPort()); }

private:
    QTcpServer m_server;
};

struct PicsFixture : FungiFixture {
    QString species, me;
    PicsFixture() {
        SelectCurrentUser(AddUserWithContact("Cecilia").first);
        me = GetCurrentUserContactUKey();
        // The stock pictures the build draws into the program folder.
        QDir().mkpath(Folder() + "Data/Pics");
        for (const QString& name : QDir(testsupport::ProgramDir() + "/Data/Pics").entryList({"_*.bmp"}, QDir::Files))
            QFile::copy(testsupport::ProgramDir() + "/Data/Pics/" + name, Folder() + "Data/Pics/" + name);
        species = AddSpecies("Kantarell", "Cantharellus cibarius");
        static_cast<void>(LocateUKey(Fungi(), species));
    }
    // A user mirrored by a contact: the user's and the contact's keys.
    QPair<QString, QString> AddUserWithContact(const QString& name) {
        const QString user = AddUser(name);
        if (!LocateUKey(Users(), user)) return {};
        Users()->Edit();
        const QString contact = CopyUserToContact(QString());
        Users()->FieldByName("ContactUKey")->SetAsString(contact);
        Users()->Post();
        return {user, contact};
    }
    TExtClientDataSet* Pics() const { return dm->cdsFungiPics; }
    // A stored picture of the species with its files.
    QString AddPicture(const FieldValues& values, const QImage& image = Picture(400, 300), int quality = 90) {
        const QString key = AddDetail(Pics(), species, values);
        if (!image.isNull()) {
            testsupport::WriteBytes(GetFungiPicFile(key), Jpeg(image, quality));
            testsupport::WriteBytes(GetFungiPicThumbFile(key), fungipics::BmpBytes(fungipics::Thumbnail(image)));
        }
        return key;
    }
    // The grid's frame goes while a picture is shown, and a new one comes back.
    TframeFungiPics* Grid() const { return qobject_cast<TframeFungiPics*>(screen->PicScreen->Frame()); }
    TframeFungiPics* ShowGrid() {
        if (!screen->Frame() || !screen->Frame()->isVisible()) screen->Activate(QString());
        static_cast<void>(LocateUKey(Fungi(), species));
        Frame()->ShowSubScreen(4);
        screen->UpdateFrame();
        return qobject_cast<TframeFungiPics*>(screen->PicScreen->Frame());
    }
    TframeFungiPicDetails* Details() const {
        return qobject_cast<TframeFungiPicDetails*>(screen->PicDetailScreen->Frame());
    }
    int RefCount(const QString& contact) const {
        return FileValue(dm->cdsContacts->Filename(), contact, "RefCount").toInt();
    }
    bool Navigation() const { return window->NavigationEnabled(); }
    QStringList Files(const QString& folder) const { return QDir(folder).entryList(QDir::Files | QDir::Hidden); }
};

}  // namespace

class TestFungiPics : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void newPicture_data();
    void newPicture();
    void unreadableFileChangesNothing();
    void markerDraggedStaysInside_data();
    void markerDraggedStaysInside();
    void savingWithoutNewPixelsKeepsTheFiles_data();
    void savingWithoutNewPixelsKeepsTheFiles();
    void failedPostLeavesNoFile();
    void deleteRemovesFilesAndUses_data();
    void deleteRemovesFilesAndUses();
    void gridTilesAndButtons();
    void linkedPictureIsDownloadedByDoubleClick();
    void missingPictureShowsTheStockPicture();
    void missingStockPictureIsTold();
    void sourceLinkOpensOnlyWebAddresses_data();
    void sourceLinkOpensOnlyWebAddresses();
    void realSizeAndFullPage();
};

void TestFungiPics::newPicture_data() {
    QTest::addColumn<bool>("fromFile");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("thumbnail");
    QTest::addColumn<QRect>("marker");
    QTest::newRow("portrait from a file") << true << QSize(300, 400) << QSize(68, 90) << QRect(0, 50, 300, 300);
    QTest::newRow("landscape from the clipboard")
        << false << QSize(640, 480) << QSize(90, 68) << QRect(80, 0, 480, 480);
}

void TestFungiPics::newPicture() {
    QFETCH(bool, fromFile);
    QFETCH(QSize, size);
    QFETCH(QSize, thumbnail);
    QFETCH(QRect, marker);
    PicsFixture f;
    const QImage source = Picture(size.width(), size.height());
    TframeFungiPics* grid = f.ShowGrid();
    QVERIFY(grid);
    QVERIFY(grid->sbtnNew->isEnabled());
    QVERIFY(!f.me.isEmpty());
    const int usesBefore = f.RefCount(f.me);
    if (fromFile) {
        QTemporaryDir outside;
        const QString file = outside.filePath("svamp.jpg");
        QVERIFY(testsupport::WriteBytes(file, Jpeg(source, 95)));
        UIServices::SetChooserHook([&](const UIServices::TChooserRequest& r) {
            // Never chosen before: the dialog opens in its own folder.
            [&] { QCOMPARE(r.Folder, QString()); }();
            return UIServices::TChooserAnswer{true, {file}, {}};
        });
        grid->NewFromFileClick();
        QCOMPARE(f.settings->ReadString(PicFromFileDirKey), outside.path());
    } else {
        QGuiApplication::clipboard()->setImage(source);
        grid->NewFromClipboardClick();
    }
    TframeFungiPicDetails* d = f.Details();
    QVERIFY(d);
    TExtClientDataSet* pics = f.Pics();
    QCOMPARE(pics->State(), TDataSetState::dsInsert);
    QVERIFY(!f.Navigation());
    QVERIFY(d->panelFrameHeader->text().endsWith("Kantarell (Cantharellus cibarius) - inmatning av ny bild"));
    // The defaults of a new picture.
    QCOMPARE(pics->FieldByName("PicType")->AsString(), QString("PERSONAL"));
    QVERIFY(pics->FieldByName("NoteTextLocked")->AsBoolean());
    QCOMPARE(pics->FieldByName("PicDate")->AsDate(), QDate::currentDate());
    QCOMPARE(pics->FieldByName("CreatedBy")->AsString(), f.me);
    QCOMPARE(d->searchPhotographer->Edit->text(), QString("Cecilia"));
    QCOMPARE(d->lblSize->text(), QString("%1 x %2 bildpunkter").arg(size.width()).arg(size.height()));
    // The marker starts as the largest centred square.
    QVERIFY(d->sbtnMarker->isVisible());
    d->sbtnMarker->click();
    QVERIFY(d->imgPicture->MarkerVisible());
    QCOMPARE(d->imgPicture->Marker(), marker);

    const QString key = GetUKey(pics);
    d->btnSaveClick();
    QCOMPARE(pics->State(), TDataSetState::dsBrowse);
    QVERIFY(f.Navigation());
    QCOMPARE(QImage(GetFungiPicFile(key)).size(), size);
    QCOMPARE(QImage(GetFungiPicThumbFile(key)).size(), thumbnail);
    QCOMPARE(QImage(GetMainPicFile(f.species)).size(), QSize(211, 211));
    QCOMPARE(pics->FieldByName("MainPicX1")->AsInteger(), marker.left());
    QCOMPARE(pics->FieldByName("MainPicY2")->AsInteger(), marker.top() + marker.height());
    QVERIFY(pics->FieldByName("IsMainPic")->AsBoolean());
    QVERIFY(f.Fungi()->FieldByName("HasPic")->AsBoolean());
    QCOMPARE(f.Fungi()->FieldByName("PicCount")->AsInteger(), 1);
    // The photographer and the creator are both uses of the user's contact.
    QCOMPARE(pics->FieldByName("Photographer")->AsString(), " UKEY=" + f.me);
    QCOMPARE(f.RefCount(f.me), usesBefore + 2);
    // Back on the grid with the new picture's tile checked.
    QCOMPARE(f.screen->FungiFrame()->CurrentSubScreen(), f.screen->PicScreen);
    grid = f.Grid();
    QCOMPARE(grid->CheckedIndex(), 0);
    QVERIFY(grid->Tiles().at(0)->Checked());
    QCOMPARE(grid->Tiles().at(0)->Picture().size(), thumbnail);
}

void TestFungiPics::unreadableFileChangesNothing() {
    PicsFixture f;
    TframeFungiPics* grid = f.ShowGrid();
    QTemporaryDir outside;
    const QString file = outside.filePath("trasig.jpg");
    QVERIFY(testsupport::WriteBytes(file, "ingen bild alls"));
    const QString message = testsupport::ExceptionText([&] { f.screen->PicDetailScreen->NewFromFile(file); });
    QVERIFY2(message.contains("kunde inte läsas"), qPrintable(message));
    QCOMPARE(f.Pics()->State(), TDataSetState::dsBrowse);
    QCOMPARE(f.Pics()->RecordCount(), 0);
    QVERIFY(f.Navigation());
    QCOMPARE(f.screen->FungiFrame()->CurrentSubScreen(), f.screen->PicScreen);
    // An empty clipboard likewise.
    QGuiApplication::clipboard()->clear();
    QCOMPARE(testsupport::ExceptionText([&] { f.screen->PicDetailScreen->NewFromClipboard(); }),
             QString("Urklippet innehåller ingen bild."));
    QCOMPARE(f.Pics()->RecordCount(), 0);
    QVERIFY(grid->isVisible());
}

void TestFungiPics::markerDraggedStaysInside_data() {
    QTest::addColumn<bool>("handle");
    QTest::addColumn<QPoint>("drag");  // in the view's pixels; the picture is shown at half size
    QTest::addColumn<QRect>("marker");
    // The picture is 800 x 600, its marker starts as the centred square (100, 0, 600, 600).
    QTest::newRow("moved left") << false << QPoint(-20, 0) << QRect(60, 0, 600, 600);
    QTest::newRow("moved past the left edge") << false << QPoint(-300, 40) << QRect(0, 0, 600, 600);
    QTest::newRow("moved past the right edge") << false << QPoint(300, 0) << QRect(200, 0, 600, 600);
    QTest::newRow("shrunk by the larger offset") << true << QPoint(-50, -60) << QRect(100, 0, 500, 500);
    QTest::newRow("the larger offset decides") << true << QPoint(-50, -10) << QRect(100, 0, 580, 580);
    QTest::newRow("grown past the bottom") << true << QPoint(5, 40) << QRect(100, 0, 600, 600);
}

void TestFungiPics::markerDraggedStaysInside() {
    QFETCH(bool, handle);
    QFETCH(QPoint, drag);
    QFETCH(QRect, marker);
    TFungiPicView view;
    // 800 x 600 fitted into 408 x 308 is drawn at 400 x 300 from (4, 4).
    view.resize(408, 308);
    view.SetPicture(Picture(800, 600));
    view.SetMarkerVisible(true);
    view.show();
    QCOMPARE(view.ShownRect(), QRect(4, 4, 400, 300));
    QCOMPARE(view.Marker(), QRect(100, 0, 600, 600));
    const QPoint from = handle ? view.HandleRect().center() : view.MarkerRect().center();
    QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(&view, from + drag);
    QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, from + drag);
    QCOMPARE(view.Marker(), marker);
    QVERIFY(QRect(0, 0, 800, 600).contains(view.Marker()));
}

void TestFungiPics::savingWithoutNewPixelsKeepsTheFiles_data() {
    QTest::addColumn<bool>("mainPicture");
    QTest::newRow("a note changed") << false;
    QTest::newRow("the main picture saved with its square unmoved") << true;
}

void TestFungiPics::savingWithoutNewPixelsKeepsTheFiles() {
    QFETCH(bool, mainPicture);
    PicsFixture f;
    const QString key = f.AddPicture({{"PicIndex", 1},
                                      {"PicType", "PERSONAL"},
                                      {"CreatedBy", f.me},
                                      {"MainPicSource", mainPicture},
                                      {"IsMainPic", mainPicture},
                                      {"MainPicX1", 20},
                                      {"MainPicY1", 30},
                                      {"MainPicX2", 220},
                                      {"MainPicY2", 230}},
                                     Picture(400, 300), 95);
    if (mainPicture) {
        TEditScope edit(f.Fungi());
        f.Fungi()->FieldByName("HasPic")->SetAsBoolean(true);
        edit.Post();
        QVERIFY(testsupport::WriteBytes(GetMainPicFile(f.species), "huvudbilden som den var"));
    }
    const QByteArray picture = testsupport::ReadBytes(GetFungiPicFile(key));
    const QByteArray thumbnail = testsupport::ReadBytes(GetFungiPicThumbFile(key));
    TframeFungiPics* grid = f.ShowGrid();
    QVERIFY(grid->sbtnEdit->isEnabled());
    grid->sbtnEdit->click();
    TframeFungiPicDetails* d = f.Details();
    QCOMPARE(f.Pics()->State(), TDataSetState::dsEdit);
    QVERIFY(d->panelFrameHeader->text().endsWith("editering av bild"));
    QCOMPARE(d->sbtnMarker->isChecked(), mainPicture);
    // The marker shows the stored square.
    if (mainPicture) QCOMPARE(d->imgPicture->Marker(), QRect(20, 30, 200, 200));
    d->dbmemoNoteText->setPlainText("Fotograferad vid bäcken");
    f.Pics()->FieldByName("NoteText")->SetAsString("Fotograferad vid bäcken");
    d->btnSaveClick();
    QCOMPARE(f.Pics()->State(), TDataSetState::dsBrowse);
    QCOMPARE(f.Pics()->FieldByName("NoteText")->AsString(), QString("Fotograferad vid bäcken"));
    QCOMPARE(testsupport::ReadBytes(GetFungiPicFile(key)), picture);
    QCOMPARE(testsupport::ReadBytes(GetFungiPicThumbFile(key)), thumbnail);
    if (mainPicture) QCOMPARE(testsupport::ReadBytes(GetMainPicFile(f.species)), QByteArray("huvudbilden som den var"));
}

void TestFungiPics::failedPostLeavesNoFile() {
    PicsFixture f;
    f.ShowGrid();
    QGuiApplication::clipboard()->setImage(Picture(200, 100));
    f.screen->PicDetailScreen->NewFromClipboard();
    TframeFungiPicDetails* d = f.Details();
    d->sbtnMarker->click();
    const TDataSetNotifyEvent before = f.Pics()->BeforePost;
    f.Pics()->BeforePost = [](TClientDataSet*) { throw Exception("Posten kunde inte sparas."); };
    QCOMPARE(testsupport::ExceptionText([&] { d->btnSaveClick(); }), QString("Posten kunde inte sparas."));
    f.Pics()->BeforePost = before;
    // Nothing beside the record: no picture, no thumbnail, no main picture, no temporary file.
    QCOMPARE(f.Files(GetFungiPicFolder()), QStringList());
    QCOMPARE(f.Files(GetFungiPicThumbFolder()), QStringList());
    QVERIFY(!QFile::exists(GetMainPicFile(f.species)));
    QCOMPARE(f.Pics()->State(), TDataSetState::dsInsert);
    d->btnCancelClick();
    QCOMPARE(f.Pics()->RecordCount(), 0);
    QVERIFY(f.Navigation());
}

void TestFungiPics::deleteRemovesFilesAndUses_data() {
    QTest::addColumn<bool>("confirmed");
    QTest::newRow("confirmed") << true;
    QTest::newRow("not confirmed") << false;
}

void TestFungiPics::deleteRemovesFilesAndUses() {
    QFETCH(bool, confirmed);
    PicsFixture f;
    const QString other = f.AddPicture({{"PicIndex", 1}, {"PicType", "APP"}, {"Photographer", "Mykotekshallen"}});
    const QString key = f.AddPicture({{"PicIndex", 2},
                                      {"PicType", "PERSONAL"},
                                      {"CreatedBy", f.me},
                                      {"Photographer", " UKEY=" + f.me},
                                      {"IsMainPic", true}});
    {
        TEditScope edit(f.Fungi());
        f.Fungi()->FieldByName("HasPic")->SetAsBoolean(true);
        edit.Post();
    }
    QVERIFY(testsupport::WriteBytes(GetMainPicFile(f.species), Jpeg(Picture(211, 211), 90)));
    const int uses = f.RefCount(f.me);
    TframeFungiPics* grid = f.ShowGrid();
    grid->TileClick(1);
    QCOMPARE(GetUKey(f.Pics()), key);
    QVERIFY(grid->sbtnDelete->isEnabled());
    f.AnswerBoxes(confirmed ? UIServices::TMsgResult::Yes : UIServices::TMsgResult::No);
    UIServices::ClearMessageLog();
    grid->sbtnDelete->click();
    QCOMPARE(UIServices::MessageLog().size(), 1);
    QCOMPARE(UIServices::MessageLog().at(0).Text,
             QString("Du är på väg att radera den markerade bilden! Skall raderingen genomföras?"));
    QCOMPARE(UIServices::MessageLog().at(0).Caption, QString("Mykotekshallen - Bekräfta radering"));
    QCOMPARE(UIServices::MessageLog().at(0).Icon, UIServices::TMsgIcon::Warning);
    if (!confirmed) {
        QCOMPARE(f.Pics()->RecordCount(), 2);
        QVERIFY(QFile::exists(GetFungiPicFile(key)) && QFile::exists(GetFungiPicThumbFile(key)));
        QCOMPARE(f.RefCount(f.me), uses);
        return;
    }
    QCOMPARE(f.Pics()->RecordCount(), 1);
    QCOMPARE(grid->Tiles().size(), 1);
    QVERIFY(!QFile::exists(GetFungiPicFile(key)));
    QVERIFY(!QFile::exists(GetFungiPicThumbFile(key)));
    QVERIFY(!QFile::exists(GetMainPicFile(f.species)));
    QVERIFY(QFile::exists(GetFungiPicFile(other)));
    QVERIFY(!f.Fungi()->FieldByName("HasPic")->AsBoolean());
    QCOMPARE(f.Fungi()->FieldByName("PicCount")->AsInteger(), 1);
    // The photographer's use and the creator's use both go.
    QCOMPARE(f.RefCount(f.me), uses - 2);
}

void TestFungiPics::gridTilesAndButtons() {
    PicsFixture f;
    const QString strangerContact = f.AddUserWithContact("Sven").second;
    QVERIFY(!f.me.isEmpty() && !strangerContact.isEmpty());
    f.AddPicture({{"PicIndex", 1}, {"PicType", "APP"}});
    f.AddPicture({{"PicIndex", 2}, {"PicType", "PERSONAL"}, {"CreatedBy", f.me}});
    f.AddPicture({{"PicIndex", 3}, {"PicType", "PERSONAL"}, {"CreatedBy", strangerContact}});
    // A thumbnail that went missing.
    const QString lost = f.AddPicture({{"PicIndex", 4}, {"PicType", "EXTERN"}});
    QVERIFY(QFile::remove(GetFungiPicThumbFile(lost)));
    TframeFungiPics* grid = f.ShowGrid();
    QCOMPARE(grid->Tiles().size(), 4);
    QCOMPARE(grid->PicsFungiKey(), f.species);
    // A new species checks its first tile.
    QCOMPARE(grid->CheckedIndex(), 0);
    QCOMPARE(grid->Tiles().at(0)->Color(), OtherPicColor);
    QCOMPARE(grid->Tiles().at(1)->Color(), PersonalPicColor);
    QCOMPARE(grid->Tiles().at(0)->CheckedColor(), CheckedPicColor);
    QCOMPARE(grid->Tiles().at(3)->Picture().toImage().convertToFormat(QImage::Format_RGB32),
             fungipics::StockPicture("_BrokenPic_sml.bmp").convertToFormat(QImage::Format_RGB32));
    // Tiles on a pitch of 100 pixels, as many to a row as the grid's width allows.
    const int columns = std::max(1, grid->scrollPics->viewport()->width() / 100);
    QCOMPARE(grid->Tiles().at(1)->pos(), columns > 1 ? QPoint(104, 4) : QPoint(4, 104));
    // "Ändra" only on the user's own pictures.
    const bool expected[] = {false, true, false, false};
    for (int i = 0; i < 4; ++i) {
        grid->TileClick(i);
        QCOMPARE(f.Pics()->RecNo(), i + 1);
        QCOMPARE(grid->sbtnEdit->isEnabled(), expected[i]);
        QVERIFY(grid->sbtnInfo->isEnabled() && grid->sbtnDelete->isEnabled());
    }
    // Showing a picture locks browsing until it is closed, and the closed picture's tile is checked.
    grid->TileClick(2);
    grid->sbtnInfo->click();
    TframeFungiPicDetails* d = f.Details();
    QVERIFY(d->panelFrameHeader->text().endsWith("bild 3 av 4"));
    QVERIFY(!f.Navigation());
    QVERIFY(!d->sbtnMarker->isVisible());
    QVERIFY(d->sbtnPrev->isEnabled() && d->sbtnNext->isEnabled());
    d->sbtnNext->click();
    QVERIFY(d->panelFrameHeader->text().endsWith("bild 4 av 4"));
    QVERIFY(!d->sbtnNext->isEnabled());
    d->btnClose->click();
    QVERIFY(f.Navigation());
    grid = f.Grid();
    QCOMPARE(grid->CheckedIndex(), 3);
    QVERIFY(grid->Tiles().at(3)->Checked());
    // Another species: its own pictures, none checked when it has none.
    const QString empty = f.AddSpecies("Karljohan", "Boletus edulis");
    QVERIFY(LocateUKey(f.Fungi(), empty));
    f.screen->UpdateFrame();
    QCOMPARE(grid->Tiles().size(), 0);
    QCOMPARE(grid->CheckedIndex(), -1);
    QVERIFY(!grid->sbtnInfo->isEnabled() && !grid->sbtnDelete->isEnabled() && !grid->sbtnEdit->isEnabled());
}

void TestFungiPics::linkedPictureIsDownloadedByDoubleClick() {
    PicsFixture f;
    TPictureServer server(Jpeg(Picture(300, 200), 90));
    const QString key = f.AddPicture(
        {{"PicIndex", 1}, {"PicType", "LINK"}, {"PicURL", server.Url()}, {"MainPicSource", true}}, QImage());
    TFRIConnection connection;
    connection.SetQuiet(true);
    f.screen->PicScreen->SetConnection(&connection);
    TframeFungiPics* grid = f.ShowGrid();
    const QImage webSmall = fungipics::StockPicture("_WebPic_sml.bmp").convertToFormat(QImage::Format_RGB32);
    QCOMPARE(grid->Tiles().at(0)->Picture().toImage().convertToFormat(QImage::Format_RGB32), webSmall);
    grid->sbtnInfo->click();
    TframeFungiPicDetails* d = f.Details();
    QVERIFY(f.screen->PicDetailScreen->IsUndownloadedLink());
    QCOMPARE(d->PictureKind(), TframeFungiPicDetails::TPictureKind::Stock);
    QCOMPARE(d->Picture().convertToFormat(QImage::Format_RGB32),
             fungipics::StockPicture("_WebPic_lrg.bmp").convertToFormat(QImage::Format_RGB32));
    QVERIFY(!d->sbtnRealSize->isEnabled());

    d->PictureDoubleClick();
    QVERIFY(!f.screen->PicDetailScreen->IsUndownloadedLink());
    QCOMPARE(d->PictureKind(), TframeFungiPicDetails::TPictureKind::Stored);
    QCOMPARE(d->Picture().size(), QSize(300, 200));
    QCOMPARE(QImage(GetFungiPicThumbFile(key)).size(), QSize(90, 60));
    // Marked as the main-picture source of a species without one: it became the main picture.
    QCOMPARE(QImage(GetMainPicFile(f.species)).size(), QSize(211, 211));
    QVERIFY(f.Fungi()->FieldByName("HasPic")->AsBoolean());
    d->btnCloseClick();
    QCOMPARE(f.Grid()->Tiles().at(0)->Picture().size(), QSize(90, 60));
    f.screen->PicScreen->SetConnection(nullptr);
}

void TestFungiPics::missingPictureShowsTheStockPicture() {
    PicsFixture f;
    const QString key = f.AddPicture({{"PicIndex", 1}, {"PicType", "PERSONAL"}, {"CreatedBy", f.me}});
    QVERIFY(QFile::remove(GetFungiPicFile(key)));
    const QString damaged = f.AddPicture({{"PicIndex", 2}, {"PicType", "PERSONAL"}, {"CreatedBy", f.me}});
    QVERIFY(testsupport::WriteBytes(GetFungiPicFile(damaged), "trasig"));
    TframeFungiPics* grid = f.ShowGrid();
    grid->TileClick(0);
    grid->sbtnEdit->click();
    TframeFungiPicDetails* d = f.Details();
    QCOMPARE(d->PictureKind(), TframeFungiPicDetails::TPictureKind::Stock);
    QCOMPARE(d->Picture().convertToFormat(QImage::Format_RGB32),
             fungipics::StockPicture("_PicMissing.bmp").convertToFormat(QImage::Format_RGB32));
    // The stand-in is never saved as the picture, nor marked.
    QVERIFY(!d->sbtnMarker->isVisible());
    d->btnSaveClick();
    QVERIFY(!QFile::exists(GetFungiPicFile(key)));
    // A damaged file is told, and the stand-in shown.
    f.Grid()->TileClick(1);
    const QString message = testsupport::ExceptionText([&] { f.screen->PicDetailScreen->ShowPicture(); });
    QVERIFY2(message.contains("kunde inte läsas"), qPrintable(message));
    QCOMPARE(f.Details()->PictureKind(), TframeFungiPicDetails::TPictureKind::Stock);
    QVERIFY(!f.Navigation());
    f.Details()->btnCloseClick();
    QVERIFY(f.Navigation());
}

void TestFungiPics::missingStockPictureIsTold() {
    PicsFixture f;
    f.AddPicture({{"PicIndex", 1}, {"PicType", "LINK"}, {"PicURL", "http://127.0.0.1:9/svamp.jpg"}}, QImage());
    f.AddPicture({{"PicIndex", 2}, {"PicType", "PERSONAL"}});
    QVERIFY(QFile::remove(f.Folder() + "Data/Pics/_WebPic_sml.bmp"));
    QCOMPARE(testsupport::ExceptionText([&] { f.ShowGrid(); }),
             QString("Filen \"BrokenPic.bmp\" kunde inte hittas. Programmet måste installeras om"));
    // The grid is whole all the same: the other tile shows its thumbnail.
    QCOMPARE(f.Grid()->Tiles().size(), 2);
    QVERIFY(f.Grid()->Tiles().at(0)->Picture().isNull());
    QCOMPARE(f.Grid()->Tiles().at(1)->Picture().size(), QSize(90, 68));
}

void TestFungiPics::sourceLinkOpensOnlyWebAddresses_data() {
    QTest::addColumn<QString>("link");
    QTest::addColumn<bool>("opened");
    QTest::newRow("https") << "https://svampar.example.se/kantarell" << true;
    QTest::newRow("http") << "http://svampar.example.se/" << true;
    QTest::newRow("a file") << "file:///etc/passwd" << false;
    QTest::newRow("a script") << "javascript:alert(1)" << false;
    QTest::newRow("a program") << "/usr/bin/xterm" << false;
}

void TestFungiPics::sourceLinkOpensOnlyWebAddresses() {
    QFETCH(QString, link);
    QFETCH(bool, opened);
    PicsFixture f;
    f.AddPicture({{"PicIndex", 1}, {"PicType", "EXTERN"}, {"PicSource", "Svampföreningen"}, {"PicSourceURL", link}});
    ShellServices::SetOpenHook([](const QUrl&) { return ShellServices::TOpenResult::Opened; });
    ShellServices::ClearOpenLog();
    TframeFungiPics* grid = f.ShowGrid();
    grid->sbtnInfo->click();
    TframeFungiPicDetails* d = f.Details();
    QVERIFY(d->rowSource->isVisible());
    QCOMPARE(d->sbtnSource->isVisible(), opened);
    QCOMPARE(d->lblSourceText->isVisible(), !opened);
    d->SourceClick();
    QCOMPARE(ShellServices::OpenLog().size(), opened ? 1 : 0);
    if (opened) QCOMPARE(ShellServices::OpenLog().at(0).toString(), link);
    ShellServices::SetOpenHook({});
    d->btnCloseClick();
}

void TestFungiPics::realSizeAndFullPage() {
    PicsFixture f;
    f.AddPicture({{"PicIndex", 1}, {"PicType", "PERSONAL"}, {"CreatedBy", f.me}}, Picture(1600, 1200));
    TframeFungiPics* grid = f.ShowGrid();
    // The grid on the full page and back.
    grid->sbtnFullScreen->click();
    QCOMPARE(int(f.screen->PicScreen->SubMode()), 1);
    QCOMPARE(grid->panelFrameHeader->text(), QString("   Svampbilder - Kantarell (Cantharellus cibarius)"));
    QCOMPARE(grid->sbtnFullScreen->text(), QString("Normal"));
    QCOMPARE(f.Frame()->ShownPageName(), QString("tabsExternalFrame"));
    grid->sbtnFullScreen->click();
    QCOMPARE(int(f.screen->PicScreen->SubMode()), 0);
    QCOMPARE(grid->panelFrameHeader->text(), QString("   Svampbilder"));

    grid->sbtnInfo->click();
    TframeFungiPicDetails* d = f.Details();
    QVERIFY(!d->imgPicture->RealSize());
    QVERIFY(d->imgPicture->ShownRect().width() < 1600);
    d->sbtnRealSize->click();
    QVERIFY(d->imgPicture->RealSize());
    QCOMPARE(d->imgPicture->ShownRect(), QRect(0, 0, 1600, 1200));
    QCOMPARE(d->imgPicture->size(), QSize(1600, 1200));
    // Scrolled so that the middle is in view; dragging the picture scrolls it.
    QScrollBar* across = d->scrollPicture->horizontalScrollBar();
    QScrollBar* down = d->scrollPicture->verticalScrollBar();
    QVERIFY(across->maximum() > 200 && down->maximum() > 200);
    QCOMPARE(across->value(), across->maximum() / 2);
    const int x = across->value(), y = down->value();
    const QPoint at(800, 600);
    QTest::mousePress(d->imgPicture, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseMove(d->imgPicture, at + QPoint(-60, -40));
    QTest::mouseRelease(d->imgPicture, Qt::LeftButton, Qt::NoModifier, at + QPoint(-60, -40));
    QCOMPARE(across->value(), x + 60);
    QCOMPARE(down->value(), y + 40);
    // The picture goes to the clipboard whole.
    QGuiApplication::clipboard()->clear();
    d->sbtnClipboard->click();
    QCOMPARE(QGuiApplication::clipboard()->image().size(), QSize(1600, 1200));
    // The choice is kept for the next picture.
    QVERIFY(f.settings->ReadBool("FungiPicDetails/RealSize"));
    d->btnCloseClick();
    f.Grid()->sbtnInfo->click();
    QVERIFY(f.Details()->imgPicture->RealSize());
    f.Details()->btnCloseClick();
}

QTEST_MAIN(TestFungiPics)
#include "tst_fungipics.moc"
