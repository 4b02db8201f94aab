#include "content/knowledge/unitArticleView.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include "controls/FRGuard.h"
#include "core/MyUtils.h"

namespace {

TOpenUrlHook& UrlHook() {
    static TOpenUrlHook hook;
    return hook;
}

// An article page is at most this large; anything bigger is not an article page.
constexpr qint64 MaxPageSize = qint64(16) * 1024 * 1024;

}  // namespace

void SetArticleOpenUrlHook(TOpenUrlHook hook) { UrlHook() = std::move(hook); }

void OpenArticleUrl(const QUrl& url) {
    if (UrlHook())
        UrlHook()(url);
    else
        QDesktopServices::openUrl(url);
}

QString ResolveArticleFile(const QString& folder, const QString& relativeName) {
    // Article files come from a case-blind file system; their links may differ in case.
    return ResolvePathNoCase(folder, relativeName, TPathKind::File);
}

TArticleBrowser::TArticleBrowser(QWidget* parent) : QTextBrowser(parent) {
    setObjectName(QStringLiteral("webMain"));
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setReadOnly(true);
    document()->setDocumentMargin(12);
    connect(this, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) { Guarded([&] { LinkClicked(url); }); });
}

void TArticleBrowser::Navigate(const QString& folder, const QString& page) {
    m_folder = QDir(folder).absolutePath();
    const QString file = ResolveArticleFile(m_folder, page);
    ShowFile(file, QString());
}

void TArticleBrowser::Clear() {
    m_file.clear();
    clear();
}

void TArticleBrowser::ShowFile(const QString& file, const QString& fragment) {
    m_file = file;
    QByteArray bytes;
    QFile f(file);
    if (!file.isEmpty() && f.size() <= MaxPageSize && f.open(QIODevice::ReadOnly)) bytes = f.readAll();
    if (file.isEmpty() || bytes.isNull()) {
        setHtml(QStringLiteral("<p>Sidan kunde inte hittas i artikeln.</p>"));
        return;
    }
    // Relative pictures and links resolve against the page's own folder.
    document()->setBaseUrl(QUrl::fromLocalFile(file));
    const QString html = QString::fromUtf8(bytes);
    if (file.endsWith(QLatin1String(".htm"), Qt::CaseInsensitive) ||
        file.endsWith(QLatin1String(".html"), Qt::CaseInsensitive))
        setHtml(html);
    else
        setPlainText(html);
    if (!fragment.isEmpty()) scrollToAnchor(fragment);
}

void TArticleBrowser::LinkClicked(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https")) {
        OpenArticleUrl(url);
        return;
    }
    if (!scheme.isEmpty() && scheme != QLatin1String("file")) return;
    if (url.path().isEmpty() && url.hasFragment()) {
        scrollToAnchor(url.fragment());
        return;
    }
    // A link inside the article: relative to the page shown, never leaving the folder.
    QString target = url.isLocalFile() ? url.toLocalFile() : url.path();
    if (!QDir::isAbsolutePath(target)) target = QFileInfo(m_file).absolutePath() + QLatin1Char('/') + target;
    const QString relative = QDir(m_folder).relativeFilePath(QDir::cleanPath(target));
    const QString file = ResolveArticleFile(m_folder, relative);
    if (file.isEmpty()) return;
    ShowFile(file, url.fragment());
}

QVariant TArticleBrowser::loadResource(int type, const QUrl& name) {
    // Only files of the article itself: no network, nothing outside the folder.
    if (!name.scheme().isEmpty() && !name.isLocalFile()) return QVariant();
    QString target = name.isLocalFile() ? name.toLocalFile() : name.path();
    if (!QDir::isAbsolutePath(target)) target = QFileInfo(m_file).absolutePath() + QLatin1Char('/') + target;
    const QString file = ResolveArticleFile(m_folder, QDir(m_folder).relativeFilePath(QDir::cleanPath(target)));
    if (file.isEmpty()) return QVariant();
    QFile f(file);
    if (f.size() > MaxPageSize || !f.open(QIODevice::ReadOnly)) return QVariant();
    const QByteArray bytes = f.readAll();
    if (type == QTextDocument::ImageResource) {
        QImage image;
        image.loadFromData(bytes);
        return image;
    }
    return bytes;
}
