#include "core/FRIConnection.h"

#include "platform/AtomicFile.h"
#include "platform/Exception.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QScopeGuard>
#include <QStringDecoder>
#include <QUrl>

namespace {

bool IsWebScheme(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

QString MiB(qint64 bytes) {
    return QString::number(static_cast<double>(bytes) / (1024.0 * 1024.0), 'f', 1)
        .replace(QLatin1Char('.'), QLatin1Char(','));
}

// The reason for a failed request, in words the user can act on.
QString NetworkCause(QNetworkReply::NetworkError error) {
    switch (error) {
        case QNetworkReply::ConnectionRefusedError:
            return QStringLiteral("Servern tog inte emot anslutningen.");
        case QNetworkReply::RemoteHostClosedError:
            return QStringLiteral("Servern stängde anslutningen i förtid.");
        case QNetworkReply::HostNotFoundError:
            return QStringLiteral("Servern hittades inte.");
        case QNetworkReply::TimeoutError:
        case QNetworkReply::OperationCanceledError:
            return QStringLiteral("Servern svarade inte i tid.");
        case QNetworkReply::SslHandshakeFailedError:
            return QStringLiteral("Den säkra anslutningen kunde inte upprättas.");
        case QNetworkReply::TooManyRedirectsError:
            return QStringLiteral("Servern hänvisade vidare för många gånger.");
        case QNetworkReply::InsecureRedirectError:
        case QNetworkReply::ProtocolUnknownError:
            return QStringLiteral("Servern hänvisade vidare till en otillåten adress.");
        case QNetworkReply::TemporaryNetworkFailureError:
        case QNetworkReply::NetworkSessionFailedError:
            return QStringLiteral("Nätverket är inte tillgängligt.");
        case QNetworkReply::ProxyConnectionRefusedError:
        case QNetworkReply::ProxyConnectionClosedError:
        case QNetworkReply::ProxyNotFoundError:
        case QNetworkReply::ProxyTimeoutError:
        case QNetworkReply::ProxyAuthenticationRequiredError:
            return QStringLiteral("Proxyservern kunde inte användas.");
        default:
            return QStringLiteral("Nätverksfel nummer %1.").arg(static_cast<int>(error));
    }
}

}  // namespace

TFRIConnection::TFRIConnection(QObject* parent) : QObject(parent), m_http(std::make_unique<QNetworkAccessManager>()) {}

TFRIConnection::~TFRIConnection() = default;

QString TFRIConnection::FailureMessage(const QString& cause) {
    return QStringLiteral(
               "Nedladdning från HTTP-server misslyckades. Kontrollera Din Internet-anslutning. "
               "Meddelande: \"%1\"")
        .arg(cause);
}

void TFRIConnection::SetStatusText(const QString& text) {
    if (text == m_statusText) return;
    m_statusText = text;
    if (m_progress) m_progress->SetCaption(text);
}

void TFRIConnection::SetDetailText(const QString& text) {
    if (text == m_detailText) return;
    m_detailText = text;
    if (m_progress) m_progress->SetInfo(text);
}

bool TFRIConnection::Connected() const { return m_reply && m_reply->isRunning(); }

bool TFRIConnection::Disconnect() {
    if (Connected()) {
        if (m_abortCause.isEmpty()) m_abortCause = QStringLiteral("Nedladdningen avbröts.");
        m_reply->abort();
    }
    return !Connected();
}

void TFRIConnection::Busy(bool busy) {
    if (m_ui.SetBusyCursor) m_ui.SetBusyCursor(busy);
}

void TFRIConnection::WorkBegin(qint64 expected) {
    if (m_quiet) {
        if (OnWorkBegin) OnWorkBegin(expected);
        return;
    }
    if (!m_progress && m_ui.CreateProgress) m_progress = m_ui.CreateProgress(*this);
    if (!m_progress) return;
    m_progress->SetCaption(m_statusText);
    m_progress->SetInfo(m_detailText);
    m_progress->SetPosition(0);
    m_progress->SetMaximum(expected);
}

void TFRIConnection::Work(qint64 count) {
    if (m_quiet) {
        if (OnWork) OnWork(count);
    } else if (m_progress) {
        m_progress->SetPosition(count);
    }
}

void TFRIConnection::WorkEnd() {
    if (m_quiet) {
        if (OnWorkEnd) OnWorkEnd();
    } else {
        m_progress.reset();
    }
}

void TFRIConnection::Fetch(const QString& address, const std::function<bool(const QByteArray&)>& sink) {
    if (m_reply) throw Exception(FailureMessage(QStringLiteral("En annan nedladdning pågår redan.")));
    const QUrl url(address.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || !IsWebScheme(url))
        throw Exception(FailureMessage(QStringLiteral("\"%1\" är ingen http- eller https-adress.").arg(address)));

    QNetworkRequest request(url);
    // Every hop is looked at here, so that no redirect leaves http/https or drops from
    // https to http.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(m_maxRedirects);
    request.setTransferTimeout(m_timeout);

    m_abortCause.clear();
    std::unique_ptr<QNetworkReply> reply(m_http->get(request));
    QNetworkReply* r = reply.get();
    m_reply = r;
    auto clear = qScopeGuard([this] { m_reply = nullptr; });

    bool begun = false;
    qint64 received = 0;
    auto abortWith = [this, r](const QString& cause) {
        if (m_abortCause.isEmpty()) m_abortCause = cause;
        r->abort();
    };
    const QString tooLarge = QStringLiteral("Svaret är större än %1 MiB.").arg(MiB(m_maxBytes));

    connect(r, &QNetworkReply::redirected, r, [r, abortWith](const QUrl& target) {
        const QUrl to = r->url().resolved(target);
        const bool downgrade =
            r->url().scheme().toLower() == QLatin1String("https") && to.scheme().toLower() != QLatin1String("https");
        if (!IsWebScheme(to) || downgrade) {
            abortWith(
                QStringLiteral("Servern hänvisade vidare till en otillåten adress (%1).").arg(to.toDisplayString()));
            return;
        }
        Q_EMIT r->redirectAllowed();
    });
    connect(r, &QNetworkReply::metaDataChanged, r, [this, r, abortWith, tooLarge] {
        const QVariant length = r->header(QNetworkRequest::ContentLengthHeader);
        const int status = r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status >= 300 && status < 400) return;
        if (length.isValid() && length.toLongLong() > m_maxBytes) abortWith(tooLarge);
    });
    auto take = [&, r] {
        const QByteArray piece = r->readAll();
        if (!m_abortCause.isEmpty()) return;
        if (!begun) {
            begun = true;
            const QVariant length = r->header(QNetworkRequest::ContentLengthHeader);
            WorkBegin(length.isValid() ? length.toLongLong() : 0);
        }
        received += piece.size();
        if (received > m_maxBytes) {
            abortWith(tooLarge);
            return;
        }
        if (!sink(piece)) {
            abortWith(QStringLiteral("Den hämtade filen kunde inte skrivas."));
            return;
        }
        Work(received);
    };
    connect(r, &QNetworkReply::readyRead, r, take);

    QEventLoop loop;
    connect(r, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!r->isFinished()) loop.exec();
    // The rest of a body that arrived with the end.
    if (m_abortCause.isEmpty() && r->error() == QNetworkReply::NoError && r->bytesAvailable() > 0) take();
    if (begun || m_abortCause.isEmpty()) {
        if (!begun) WorkBegin(0);
        WorkEnd();
    }

    QString cause = m_abortCause;
    const int status = r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (cause.isEmpty() && r->error() != QNetworkReply::NoError) {
        if (status >= 400)
            cause = QStringLiteral("Servern svarade %1 %2.")
                        .arg(status)
                        .arg(r->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString())
                        .replace(QStringLiteral(" ."), QStringLiteral("."));
        else
            cause = NetworkCause(r->error());
    }
    if (cause.isEmpty() && (status < 200 || status >= 300)) cause = QStringLiteral("Servern svarade %1.").arg(status);
    if (!cause.isEmpty()) throw Exception(FailureMessage(cause));
    m_lastContentType = r->header(QNetworkRequest::ContentTypeHeader).toString();
}

void TFRIConnection::DownloadToFile(const QString& address, const QString& fileName, const TFileCheck& check) {
    if (!m_quiet) Busy(true);
    auto cursor = qScopeGuard([this, quiet = m_quiet] {
        if (!quiet) Busy(false);
    });

    const QFileInfo info(fileName);
    // The body waits beside the target; it replaces the old file only when it is whole.
    TAtomicFile file(info.absoluteFilePath(), QStringLiteral("Filen \"%1\" kunde inte skapas."));
    file.SetPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::ReadOther);
    try {
        file.Open();
    } catch (const Exception& e) {
        throw Exception(FailureMessage(e.Message()));
    }
    file.SetFailureText(QStringLiteral("Filen \"%1\" kunde inte skrivas."));
    // A failed write ends the transfer and is what the caller hears of.
    QString writeFailure;
    try {
        Fetch(address, [&file, &writeFailure](const QByteArray& piece) {
            try {
                file.Write(piece);
                return true;
            } catch (const Exception& e) {
                writeFailure = e.Message();
                return false;
            }
        });
    } catch (const Exception& e) {
        if (writeFailure.isEmpty()) throw;
        throw Exception(FailureMessage(writeFailure));
    }
    try {
        file.Finish();
    } catch (const Exception& e) {
        throw Exception(FailureMessage(e.Message()));
    }
    if (check) {
        const QString refused = check(file.TemporaryName());
        if (!refused.isEmpty()) throw Exception(FailureMessage(refused));
    }
    file.SetFailureText(QStringLiteral("Filen \"%1\" kunde inte ersättas."));
    try {
        file.Rename();
    } catch (const Exception& e) {
        throw Exception(FailureMessage(e.Message()));
    }
}

QString TFRIConnection::GetText(const QString& address) {
    const bool wasQuiet = m_quiet;
    m_quiet = true;
    Busy(true);
    auto restore = qScopeGuard([this, wasQuiet] {
        Busy(false);
        m_quiet = wasQuiet;
    });
    QByteArray body;
    Fetch(address, [&body](const QByteArray& piece) {
        body += piece;
        return true;
    });
    // The charset the server names, else UTF-8.
    QString charset;
    for (const QString& part : m_lastContentType.split(QLatin1Char(';'))) {
        const QString p = part.trimmed();
        if (p.startsWith(QLatin1String("charset="), Qt::CaseInsensitive))
            charset = p.mid(8).remove(QLatin1Char('"')).trimmed();
    }
    const QByteArray name = charset.isEmpty() ? QByteArray("UTF-8") : charset.toLatin1();
    QStringDecoder decoder(name.constData());
    if (!decoder.isValid()) decoder = QStringDecoder(QStringDecoder::Utf8);
    return decoder.decode(body);
}
