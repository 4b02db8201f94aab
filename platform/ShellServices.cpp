#include "platform/ShellServices.h"

#include <QDesktopServices>
#include <QStandardPaths>
#include <QtGlobal>

namespace ShellServices {

namespace {
TOpenHook g_hook;
QList<QUrl> g_log;

// Whether the desktop has any program to hand the URL to, looked for as the toolkit looks for
// one: the desktop's opener, a browser named in the environment or an installed browser.
bool HasLauncher(const QUrl& url) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    for (const char* opener : {"xdg-open", "gnome-open", "kfmclient"})
        if (!QStandardPaths::findExecutable(QLatin1String(opener)).isEmpty()) return true;
    const QString scheme = url.scheme().toLower();
    if (url.isLocalFile() || scheme == QLatin1String("mailto")) return false;
    for (const char* variable : {"DEFAULT_BROWSER", "BROWSER"})
        if (!qEnvironmentVariableIsEmpty(variable)) return true;
    for (const char* browser : {"firefox", "mozilla", "google-chrome", "chromium", "opera"})
        if (!QStandardPaths::findExecutable(QLatin1String(browser)).isEmpty()) return true;
    return false;
#else
    Q_UNUSED(url);
    return true;
#endif
}
}  // namespace

TOpenResult Open(const QUrl& url) {
    if (g_hook) {
        g_log.append(url);
        return g_hook(url);
    }
    if (QDesktopServices::openUrl(url)) return TOpenResult::Opened;
    return HasLauncher(url) ? TOpenResult::Failed : TOpenResult::NoHandler;
}

bool OpenUrl(const QUrl& url) { return Open(url) == TOpenResult::Opened; }

void SetOpenHook(TOpenHook hook) { g_hook = std::move(hook); }
bool HasOpenHook() { return bool(g_hook); }
const QList<QUrl>& OpenLog() { return g_log; }
void ClearOpenLog() { g_log.clear(); }

}  // namespace ShellServices
