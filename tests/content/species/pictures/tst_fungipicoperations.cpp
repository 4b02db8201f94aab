#include <QtTest>

#include <QImage>
#include <QTcpServer>
#include <QTcpSocket>

#include "content/species/pictures/FungiPicImages.h"
#include "content/species/pictures/FungiPicOperations.h"
#include "core/FRIConnection.h"
#include "core/ProgramFolders.h"
#include "platform/DataSetScopes.h"
#include "content/FungiTestSupport.h"

namespace {

QImage Picture(int width, int height, QRgb colour) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// Answers every request on 127.0.0.1 with the one prepared answer and closes.
class TOneAnswerServer : public QObject {
public:
    explicit TOneAnswerServer(QByteArray answer) : m_answer(std::move(answer)) {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    m_request += socket->readAll();
                    if (!m_request.contains("\r\n\r\n")) return;
                    socket->write(m_answer);
                    socket->disconnectFromHost();
                });
            }
        });
    }
    QString Url() const { return QStringLiteral("http://127.0.0.1:%1/svamp.jpg").arg(m_server.serverPort()); }

private:
    QTcpServer m_server;
    QByteArray m_answer;
    QByteArray m_request;
};

QByteArray Answer(const QByteArray& status, const QByteArray& body) {
    return "HTTP/1.1 " + status + "\r\nContent-Length: " + QByteArray::number(body.size()) +
        "\r\nConnection: close\r\n\r\n" + body;
}

}  // namespace

class TestFungiPicOperations : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void mainPictureReplacesTheOldOne() {
        FungiFixture f;
        const QString species = f.AddSpecies("Kantarell", "Cantharellus cibarius");
        TExtClientDataSet* pics = f.dm->cdsFungiPics;
        const QString first = f.AddDetail(pics, species, {{"PicIndex", 1}, {"IsMainPic", true}});
        const QString second = f.AddDetail(
            pics, species, {{"PicIndex", 2}, {"MainPicX1", 5}, {"MainPicY1", 5}, {"MainPicX2", 5}, {"MainPicY2", 5}});
        {
            TEditScope edit(f.Fungi());
            f.Fungi()->FieldByName("HasPic")->SetAsBoolean(true);
            edit.Post();
        }
        QVERIFY(testsupport::WriteBytes(GetFungiPicFile(second),
                                        fungipics::JpegBytes(Picture(400, 300, qRgb(200, 30, 30)))));
        QVERIFY(testsupport::WriteBytes(GetMainPicFile(species), "gammal huvudbild"));

        QVERIFY(LocateUKey(pics, second));
        QCOMPARE(testsupport::ExceptionText([&] { fungipics::MakeMainPicture(pics, f.Fungi()); }),
                 testsupport::NoException);

        // The degenerate marker gave the centred square, stretched to the main picture's size.
        QImage made;
        QVERIFY(made.load(GetMainPicFile(species)));
        QCOMPARE(made.size(), QSize(211, 211));
        QCOMPARE(GetUKey(pics), second);
        QVERIFY(pics->FieldByName("IsMainPic")->AsBoolean());
        QVERIFY(LocateUKey(pics, first));
        QVERIFY(!pics->FieldByName("IsMainPic")->AsBoolean());
        QVERIFY(f.Fungi()->FieldByName("HasPic")->AsBoolean());
    }

    void unreadablePictureLeavesTheMainPicture() {
        FungiFixture f;
        const QString species = f.AddSpecies("Kantarell", "Cantharellus cibarius");
        TExtClientDataSet* pics = f.dm->cdsFungiPics;
        const QString key = f.AddDetail(pics, species, {{"PicIndex", 1}});
        QVERIFY(testsupport::WriteBytes(GetFungiPicFile(key), "trasig bild"));
        QVERIFY(testsupport::WriteBytes(GetMainPicFile(species), "gammal huvudbild"));
        QVERIFY(LocateUKey(pics, key));
        QVERIFY(testsupport::ExceptionText([&] {
                    fungipics::MakeMainPicture(pics, f.Fungi());
                }).contains("kunde inte läsas"));
        QCOMPARE(testsupport::ReadBytes(GetMainPicFile(species)), QByteArray("gammal huvudbild"));
        QVERIFY(!pics->FieldByName("IsMainPic")->AsBoolean());
        QVERIFY(!f.Fungi()->FieldByName("HasPic")->AsBoolean());
    }

    void downloadOfALinkedPicture_data() {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("cause");
        QTest::newRow("a picture") << Answer("200 OK", fungipics::JpegBytes(Picture(300, 150, qRgb(20, 160, 20))))
                                   << QString();
        QTest::newRow("server error") << Answer("500 Internal Server Error", "fel") << "Servern svarade 500";
        QTest::newRow("not a picture") << Answer("200 OK", "<html>ingen bild</html>") << "ingen bild";
    }
    void downloadOfALinkedPicture() {
        QFETCH(QByteArray, answer);
        QFETCH(QString, cause);
        TOneAnswerServer server(answer);
        FungiFixture f;
        const QString species = f.AddSpecies("Kantarell", "Cantharellus cibarius");
        TExtClientDataSet* pics = f.dm->cdsFungiPics;
        const QString key =
            f.AddDetail(pics, species, {{"PicIndex", 1}, {"PicType", "LINK"}, {"PicURL", server.Url()}});
        // Files of an earlier download that a failure must leave as they are.
        const QByteArray oldPicture = fungipics::JpegBytes(Picture(40, 30, qRgb(1, 2, 3)));
        const QByteArray oldThumbnail = fungipics::BmpBytes(Picture(40, 30, qRgb(1, 2, 3)));
        QVERIFY(testsupport::WriteBytes(GetFungiPicFile(key), oldPicture));
        QVERIFY(testsupport::WriteBytes(GetFungiPicThumbFile(key), oldThumbnail));
        TFRIConnection connection;
        connection.SetQuiet(true);
        QVERIFY(LocateUKey(pics, key));
        const QString message = testsupport::ExceptionText([&] { fungipics::DownloadWebPicture(connection, pics); });
        if (cause.isEmpty()) {
            QCOMPARE(message, testsupport::NoException);
            QCOMPARE(QImage(GetFungiPicFile(key)).size(), QSize(300, 150));
            QCOMPARE(QImage(GetFungiPicThumbFile(key)).size(), QSize(90, 45));
            QVERIFY(pics->FieldByName("PicDownloaded")->AsBoolean());
        } else {
            QVERIFY2(message.startsWith("Nedladdning från HTTP-server misslyckades") && message.contains(cause),
                     qPrintable(message));
            QCOMPARE(testsupport::ReadBytes(GetFungiPicFile(key)), oldPicture);
            QCOMPARE(testsupport::ReadBytes(GetFungiPicThumbFile(key)), oldThumbnail);
            QCOMPARE(QDir(GetFungiPicFolder()).entryList(QDir::Files | QDir::Hidden).size(), 1);
            QVERIFY(!pics->FieldByName("PicDownloaded")->AsBoolean());
        }
        QCOMPARE(connection.StatusText(), QString("Mykotekshallen - Nedladdning av WWW-bild"));
        QCOMPARE(connection.DetailText(), QString("Laddar ner WWW-bild..."));
    }
};

QTEST_MAIN(TestFungiPicOperations)
#include "tst_fungipicoperations.moc"
