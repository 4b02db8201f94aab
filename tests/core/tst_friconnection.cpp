#include <QtTest>

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>

#include "core/FRIConnection.h"
#include "shell/unitInetProgress.h"
#include "platform/AtomicFile.h"
#include "support/TestSupport.h"

namespace {

QByteArray PngBytes() {
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(QColor(200, 120, 40));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A small HTTP server on 127.0.0.1, run by the test in its own event loop: the path of a
// request chooses the answer.
class TLocalServer : public QObject {
public:
    TLocalServer() {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { Read(socket); });
            }
        });
    }
    QString Url(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
    }
    bool Listening() const { return m_server.isListening(); }
    QByteArray picture = PngBytes();

private:
    static QByteArray Answer(const QByteArray& status, const QByteArray& headers, const QByteArray& body,
                             bool length = true) {
        QByteArray out = "HTTP/1.1 " + status + "\r\n" + headers;
        if (length) out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
        out += "Connection: close\r\n\r\n";
        return out + body;
    }
    void Read(QTcpSocket* socket) {
        QByteArray& request = m_requests[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n")) return;
        const QByteArray path = request.split(' ').value(1);
        QByteArray reply;
        bool close = true;
        if (path == "/pic") {
            reply = Answer("200 OK", "Content-Type: image/png\r\n", picture);
        } else if (path == "/chunkless") {
            reply = Answer("200 OK", "Content-Type: image/png\r\n", picture, false);
        } else if (path == "/moved") {
            reply = Answer("302 Found", "Location: /pic\r\n", {});
        } else if (path == "/tofile") {
            reply = Answer("302 Found", "Location: file:///etc/hostname\r\n", {});
        } else if (path == "/missing") {
            reply = Answer("404 Not Found", {}, "saknas");
        } else if (path == "/big") {
            reply = Answer("200 OK", {}, QByteArray(5000, 'x'));
        } else if (path == "/bigchunkless") {
            reply = Answer("200 OK", {}, QByteArray(5000, 'x'), false);
        } else if (path == "/html") {
            reply = Answer("200 OK", "Content-Type: text/html\r\n", "<html><body>Ingen bild</body></html>");
        } else if (path == "/text") {
            reply = Answer("200 OK", "Content-Type: text/plain; charset=ISO-8859-1\r\n",
                           QByteArray("Kantarell \xe5\xe4\xf6"));
        } else if (path == "/partial") {
            // A promised body that stops half-way and stays open.
            reply = "HTTP/1.1 200 OK\r\nContent-Length: 900\r\n\r\n" + QByteArray(100, 'y');
            close = false;
        } else {
            close = false;  // "/stall": read, never answer
        }
        socket->write(reply);
        if (close) socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_requests;
};

// What the progress window was told, kept after the window has gone.
struct TProgressLog {
    int windows = 0;
    int open = 0;
    QString caption;
    QString info;
    qint64 maximum = -1;
    qint64 position = -1;
    int busy = 0;
    int busyCalls = 0;
};

class TLoggingProgress : public TInetProgressView {
public:
    TLoggingProgress(TFRIConnection& connection, TProgressLog& log) : window(&connection), m_log(log) {
        ++m_log.windows;
        ++m_log.open;
        window.show();
    }
    ~TLoggingProgress() override { --m_log.open; }
    void SetCaption(const QString& text) override { window.SetCaption(m_log.caption = text); }
    void SetInfo(const QString& text) override { window.SetInfo(m_log.info = text); }
    void SetMaximum(qint64 maximum) override { window.SetMaximum(m_log.maximum = maximum); }
    void SetPosition(qint64 position) override { window.SetPosition(m_log.position = position); }
    TformInetProgress window;

private:
    TProgressLog& m_log;
};

TFRIConnectionUI LoggingUI(TProgressLog& log, bool clickCancel = false) {
    TFRIConnectionUI ui;
    ui.CreateProgress = [&log, clickCancel](TFRIConnection& connection) -> std::unique_ptr<TInetProgressView> {
        auto view = std::make_unique<TLoggingProgress>(connection, log);
        if (clickCancel) {
            // The user's click, as soon as the transfer's loop runs.
            QPushButton* button = view->window.btnCancel;
            QMetaObject::invokeMethod(
                button, [button] { button->click(); }, Qt::QueuedConnection);
        }
        return view;
    };
    ui.SetBusyCursor = [&log](bool busy) {
        log.busy += busy ? 1 : -1;
        ++log.busyCalls;
    };
    return ui;
}

QString PictureCheck(const QString& file) {
    QImageReader reader(file);
    return reader.canRead() ? QString() : QStringLiteral("Den hämtade filen är ingen bild.");
}

const QString FailurePrefix = TFRIConnection::FailureMessage(QString()).chopped(1);

}  // namespace

class TestFRIConnection : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    // Each test row works in a folder of its own.
    QString Folder() const {
        return m_dir.filePath(QString(QTest::currentTestFunction()) + "-" + QTest::currentDataTag());
    }
    QString Target(const QString& name) const {
        QDir().mkpath(Folder());
        return Folder() + "/" + name;
    }
    QStringList Files() const { return QDir(Folder()).entryList(QDir::Files | QDir::Hidden); }

private Q_SLOTS:
    void downloadReplacesFile_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("sizeKnown");
        QTest::newRow("with length") << "/pic" << true;
        QTest::newRow("size unknown") << "/chunkless" << false;
        QTest::newRow("redirected") << "/moved" << true;
    }
    void downloadReplacesFile() {
        QFETCH(QString, path);
        QFETCH(bool, sizeKnown);
        TLocalServer server;
        QVERIFY(server.Listening());
        const QString target = Target("Pic1.jpg");
        QVERIFY(testsupport::WriteBytes(target, "gammal bild"));

        TProgressLog log;
        TFRIConnection connection;
        connection.SetUI(LoggingUI(log));
        connection.SetStatusText("Hämtar bild");
        connection.SetDetailText("Kantarell");
        QCOMPARE(testsupport::ExceptionText([&] { connection.DownloadToFile(server.Url(path), target, PictureCheck); }),
                 testsupport::NoException);

        QCOMPARE(testsupport::ReadBytes(target), server.picture);
        QCOMPARE(Files(), QStringList{"Pic1.jpg"});
        QCOMPARE(log.windows, 1);
        QCOMPARE(log.open, 0);
        QCOMPARE(log.caption, QString("Hämtar bild"));
        QCOMPARE(log.info, QString("Kantarell"));
        QCOMPARE(log.maximum, sizeKnown ? server.picture.size() : 0);
        QCOMPARE(log.position, server.picture.size());
        QCOMPARE(log.busy, 0);
        QVERIFY(log.busyCalls > 0);
        QVERIFY(!connection.Connected());
        QVERIFY(QFileInfo(target).permission(QFileDevice::ReadOther));
    }

    void failureLeavesOldFile_data() {
        QTest::addColumn<QString>("address");  // a path on the server, or a whole address
        QTest::addColumn<int>("timeout");
        QTest::addColumn<QString>("cause");
        QTest::newRow("error status") << "/missing" << 30000 << "Servern svarade 404 Not Found.";
        QTest::newRow("stalled server") << "/stall" << 200 << "Servern svarade inte i tid.";
        QTest::newRow("stalled body") << "/partial" << 200 << "Servern svarade inte i tid.";
        QTest::newRow("redirect to file") << "/tofile" << 30000 << "otillåten adress";
        QTest::newRow("too large, announced") << "/big" << 30000 << "Svaret är större än";
        QTest::newRow("too large, unannounced") << "/bigchunkless" << 30000 << "Svaret är större än";
        QTest::newRow("not a picture") << "/html" << 30000 << "Den hämtade filen är ingen bild.";
        QTest::newRow("no server") << "closed" << 30000 << "Servern tog inte emot anslutningen.";
        QTest::newRow("not http") << "file:///etc/hostname" << 30000 << "ingen http- eller https-adress";
    }
    void failureLeavesOldFile() {
        QFETCH(QString, address);
        QFETCH(int, timeout);
        QFETCH(QString, cause);
        TLocalServer server;
        QVERIFY(server.Listening());
        QString url = address.startsWith('/') ? server.Url(address) : address;
        if (address == "closed") {
            // A port that was just free again.
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            url = QStringLiteral("http://127.0.0.1:%1/pic").arg(probe.serverPort());
            probe.close();
        }
        const QString target = Target("Pic2.jpg");
        const QByteArray old = "gammal bild\0med nolla";
        QVERIFY(testsupport::WriteBytes(target, old));

        TProgressLog log;
        TFRIConnection connection;
        connection.SetUI(LoggingUI(log));
        connection.SetTimeout(timeout);
        connection.SetMaxBytes(1000);
        const QString message =
            testsupport::ExceptionText([&] { connection.DownloadToFile(url, target, PictureCheck); });

        QVERIFY2(message.startsWith(FailurePrefix), qPrintable(message));
        QVERIFY2(message.contains(cause), qPrintable(message));
        QCOMPARE(testsupport::ReadBytes(target), old);
        QCOMPARE(Files(), QStringList{"Pic2.jpg"});
        QCOMPARE(log.open, 0);
        QCOMPARE(log.busy, 0);
        QVERIFY(!connection.Connected());
    }

    // A full disk or a refused folder at any step of writing the download: the old file stays
    // byte for byte, nothing is left beside it, and the message names the file and the cause.
    void writeFailureLeavesOldFile_data() {
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("cause");
        QTest::newRow("temporary file") << int(TWriteStep::Open) << "kunde inte skapas. (åtkomst nekad)";
        QTest::newRow("write") << int(TWriteStep::Write) << "kunde inte skrivas. (disken är full)";
        QTest::newRow("last flush") << int(TWriteStep::Flush) << "kunde inte skrivas. (disken är full)";
        QTest::newRow("rename") << int(TWriteStep::Rename) << "kunde inte ersättas. (åtkomst nekad)";
    }
    void writeFailureLeavesOldFile() {
        QFETCH(int, step);
        QFETCH(QString, cause);
        TLocalServer server;
        QVERIFY(server.Listening());
        const QString target = Target("Pic4.jpg");
        QVERIFY(testsupport::WriteBytes(target, "gammal bild"));
        TFRIConnection connection;
        TProgressLog log;
        connection.SetUI(LoggingUI(log));
        AtomicFileFaults::FailNext(TWriteStep(step));
        auto clear = qScopeGuard([] { AtomicFileFaults::Clear(); });
        const QString message =
            testsupport::ExceptionText([&] { connection.DownloadToFile(server.Url("/pic"), target, PictureCheck); });
        QVERIFY(!AtomicFileFaults::Armed());
        QVERIFY2(message.startsWith(FailurePrefix), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("Filen \"%1\" %2").arg(QDir::toNativeSeparators(target), cause)),
                 qPrintable(message));
        QCOMPARE(testsupport::ReadBytes(target), QByteArray("gammal bild"));
        QCOMPARE(Files(), QStringList{"Pic4.jpg"});
        QCOMPARE(log.busy, 0);
        QVERIFY(!connection.Connected());
    }

    void cancelEndsTransfer_data() {
        QTest::addColumn<bool>("quiet");
        QTest::newRow("button of the progress window") << false;
        QTest::newRow("caller's handler in quiet mode") << true;
    }
    void cancelEndsTransfer() {
        QFETCH(bool, quiet);
        TLocalServer server;
        const QString target = Target("Pic3.jpg");
        QVERIFY(testsupport::WriteBytes(target, "gammal bild"));

        TProgressLog log;
        TFRIConnection connection;
        connection.SetUI(LoggingUI(log, true));
        connection.SetQuiet(quiet);
        qint64 expected = -1;
        bool ended = false;
        connection.OnWorkBegin = [&](qint64 size) { expected = size; };
        connection.OnWork = [&](qint64) { QVERIFY(connection.Disconnect()); };
        connection.OnWorkEnd = [&] { ended = true; };
        const QString message =
            testsupport::ExceptionText([&] { connection.DownloadToFile(server.Url("/partial"), target); });

        QCOMPARE(message, TFRIConnection::FailureMessage("Nedladdningen avbröts."));
        QCOMPARE(testsupport::ReadBytes(target), QByteArray("gammal bild"));
        QCOMPARE(Files(), QStringList{"Pic3.jpg"});
        QCOMPARE(log.windows, quiet ? 0 : 1);
        QCOMPARE(log.open, 0);
        QCOMPARE(expected, quiet ? 900 : -1);
        QCOMPARE(ended, quiet);
        QCOMPARE(log.busyCalls, quiet ? 0 : 2);
    }

    void getTextIsQuietForTheCall() {
        TLocalServer server;
        TProgressLog log;
        TFRIConnection connection;
        connection.SetUI(LoggingUI(log));
        QString text;
        QCOMPARE(testsupport::ExceptionText([&] { text = connection.GetText(server.Url("/text")); }),
                 testsupport::NoException);
        QCOMPARE(text, QString("Kantarell åäö"));
        QVERIFY(!connection.Quiet());
        QCOMPARE(log.windows, 0);
        QCOMPARE(log.busy, 0);
        QCOMPARE(log.busyCalls, 2);

        // A failure restores the same, and says why.
        const QString message = testsupport::ExceptionText([&] { connection.GetText(server.Url("/missing")); });
        QCOMPARE(message, TFRIConnection::FailureMessage("Servern svarade 404 Not Found."));
        QVERIFY(!connection.Quiet());
        QCOMPARE(log.busy, 0);
    }

    void progressWindowShowsTheConnection() {
        TFRIConnection connection;
        TformInetProgress window(&connection);
        window.SetCaption("Hämtar bilder från webben");
        window.SetInfo("Flugsvamp (Amanita muscaria)");
        window.SetMaximum(200);
        window.SetPosition(50);
        window.show();
        QCOMPARE(window.windowTitle(), QString("Hämtar bilder från webben"));
        QCOMPARE(window.lblInfo->text(), QString("Flugsvamp (Amanita muscaria)"));
        QCOMPARE(window.progbarMain->value(), 25 * 2);
        QCOMPARE(window.btnCancel->text(), QString("Avbryt"));
        // Sizes beyond the bar's int range still fit.
        window.SetMaximum(qint64(6) << 30);
        window.SetPosition(qint64(3) << 30);
        QCOMPARE(window.progbarMain->value() * 2, window.progbarMain->maximum());
        QVERIFY(window.grab().save(testsupport::ArtefactDir() + "/inetprogress.png"));
    }
};

QTEST_MAIN(TestFRIConnection)
#include "tst_friconnection.moc"
