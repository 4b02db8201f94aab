#pragma once
// The shell services: handing a URL or a file to the desktop (the mail program for a
// "mailto:" URL, the browser for a web address, the viewer for a file). Tests replace the
// desktop with a hook that records what would have been opened.
#include <QList>
#include <QUrl>
#include <functional>

namespace ShellServices {

// What became of an open: opened, refused because the desktop has no program for such a URL
// at all (no web browser, no mail program, nothing for the file), or failed otherwise.
enum class TOpenResult { Opened, NoHandler, Failed };

// Asks the desktop to open the URL.
TOpenResult Open(const QUrl& url);
// The same; true when it was opened.
bool OpenUrl(const QUrl& url);

// ---- Answering in tests ----
// While a hook is set nothing reaches the desktop: the hook gets the URL and returns the
// result, and every URL is appended to the log.
using TOpenHook = std::function<TOpenResult(const QUrl&)>;
void SetOpenHook(TOpenHook hook);
bool HasOpenHook();
const QList<QUrl>& OpenLog();
void ClearOpenLog();

}  // namespace ShellServices
