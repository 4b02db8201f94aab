#include "platform/ShellServices.h"

#include <QDesktopServices>

namespace ShellServices {

namespace {
TOpenHook g_hook;
QList<QUrl> g_log;
}  // namespace

bool OpenUrl(const QUrl& url) {
    if (g_hook) {
        g_log.append(url);
        return g_hook(url);
    }
    return QDesktopServices::openUrl(url);
}

void SetOpenHook(TOpenHook hook) { g_hook = std::move(hook); }
bool HasOpenHook() { return bool(g_hook); }
const QList<QUrl>& OpenLog() { return g_log; }
void ClearOpenLog() { g_log.clear(); }

}  // namespace ShellServices
