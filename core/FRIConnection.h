#pragma once
// The program's one way onto the network: blocking HTTP GET requests on the GUI thread,
// waited on in a local event loop, either into a file or into a text. Unless it is quiet
// it shows a progress window while data arrives; the window and the hourglass cursor come
// through the user-interface hooks, so this unit needs no GUI library.
//
// Every transfer has an inactivity timeout and a size cap, follows only http and https
// with a bounded number of redirects (never from https down to http), and writes a file
// through a temporary file in the same folder that is renamed into place only when the
// whole body has arrived and passed the caller's check: a failure leaves the old file.
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class QIODevice;
class TFRIConnection;

// The progress window as the connection sees it.
class TInetProgressView {
public:
    virtual ~TInetProgressView() = default;
    virtual void SetCaption(const QString& text) = 0;
    virtual void SetInfo(const QString& text) = 0;
    virtual void SetMaximum(qint64 maximum) = 0;
    virtual void SetPosition(qint64 position) = 0;
};

struct TFRIConnectionUI {
    // Makes and shows the progress window of a transfer; it may call Disconnect.
    std::function<std::unique_ptr<TInetProgressView>(TFRIConnection& connection)> CreateProgress;
    std::function<void(bool busy)> SetBusyCursor;
};

class TFRIConnection : public QObject {
    Q_OBJECT
public:
    explicit TFRIConnection(QObject* parent = nullptr);
    ~TFRIConnection() override;

    void SetUI(TFRIConnectionUI ui) { m_ui = std::move(ui); }

    // Gets the address into the file (made or replaced). The check, when given, looks at
    // the complete temporary file and returns an empty text or why it is refused.
    using TFileCheck = std::function<QString(const QString& temporaryFile)>;
    void DownloadToFile(const QString& address, const QString& fileName, const TFileCheck& check = {});
    // The response body as text; never shows the progress window.
    QString GetText(const QString& address);

    bool Quiet() const { return m_quiet; }
    void SetQuiet(bool quiet) { m_quiet = quiet; }
    QString StatusText() const { return m_statusText; }
    QString DetailText() const { return m_detailText; }
    void SetStatusText(const QString& text);
    void SetDetailText(const QString& text);

    // True while a transfer runs.
    bool Connected() const;
    // Ends a running transfer (from a handler that runs inside it); true when no transfer
    // runs any more.
    bool Disconnect();

    // The caller's events, used only in quiet mode.
    std::function<void(qint64 expected)> OnWorkBegin;
    std::function<void(qint64 count)> OnWork;
    std::function<void()> OnWorkEnd;

    // Limits: the longest wait for any data, the largest body, the most redirects.
    void SetTimeout(int milliseconds) { m_timeout = milliseconds; }
    void SetMaxBytes(qint64 bytes) { m_maxBytes = bytes; }
    void SetMaxRedirects(int count) { m_maxRedirects = count; }
    qint64 MaxBytes() const { return m_maxBytes; }

    // "Nedladdning från HTTP-server misslyckades. ..." with the cause.
    static QString FailureMessage(const QString& cause);

private:
    // Runs one GET, handing every arriving piece of the body to the sink; raises the
    // failure message. The sink returns false when it cannot take the piece.
    void Fetch(const QString& address, const std::function<bool(const QByteArray&)>& sink);
    void WorkBegin(qint64 expected);
    void Work(qint64 count);
    void WorkEnd();
    void Busy(bool busy);

    std::unique_ptr<QNetworkAccessManager> m_http;
    TFRIConnectionUI m_ui;
    QNetworkReply* m_reply = nullptr;
    std::unique_ptr<TInetProgressView> m_progress;
    QString m_statusText;
    QString m_detailText;
    QString m_abortCause;
    QString m_lastContentType;
    bool m_quiet = false;
    int m_timeout = 30000;
    qint64 m_maxBytes = 50LL * 1024 * 1024;
    int m_maxRedirects = 5;
};
