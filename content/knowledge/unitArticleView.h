#pragma once
// The article view of the knowledge base. An article is a folder of HTML files shown
// read-only: nothing in it runs and nothing is fetched from the network. Links to other
// pages of the same folder open in the view; http and https links go to the desktop's
// browser through a hook that tests replace.
#include <QString>
#include <QTextBrowser>
#include <QUrl>
#include <functional>

class QWidget;

// Opens an outside link; by default the desktop's browser (QDesktopServices).
using TOpenUrlHook = std::function<void(const QUrl& url)>;
// An empty hook restores the default.
void SetArticleOpenUrlHook(TOpenUrlHook hook);
void OpenArticleUrl(const QUrl& url);

// The file below folder that a relative name names, found without regard to case; empty
// when there is none or the name would lead out of the folder.
QString ResolveArticleFile(const QString& folder, const QString& relativeName);

// What the knowledge-base frame needs of its browser.
class TArticleView {
public:
    virtual ~TArticleView() = default;
    virtual QWidget* Widget() = 0;
    // Shows a page of the article folder; the folder bounds every later link.
    virtual void Navigate(const QString& folder, const QString& page) = 0;
    virtual void Clear() = 0;
    // The file shown, or empty.
    virtual QString CurrentFile() const = 0;
};

// The view on a QTextBrowser.
class TArticleBrowser : public QTextBrowser, public TArticleView {
    Q_OBJECT
public:
    explicit TArticleBrowser(QWidget* parent = nullptr);

    QWidget* Widget() override { return this; }
    void Navigate(const QString& folder, const QString& page) override;
    void Clear() override;
    QString CurrentFile() const override { return m_file; }

    // What a click on a link does (public so that tests can click without a mouse).
    void LinkClicked(const QUrl& url);
    QVariant loadResource(int type, const QUrl& name) override;

private:
    void ShowFile(const QString& file, const QString& fragment);
    QString m_folder;
    QString m_file;
};
