#pragma once
// Small helpers shared by the tests.
#include <QString>
#include <QByteArray>
#include <QTemporaryDir>
#include <QDateTime>
#include <functional>
#include <memory>
#include <optional>

class TFRIniFile;

namespace testsupport {
// The folder that screenshots and other artefacts of the tests are written to: artefacts/ in
// the build folder (MYKO_BUILD_DIR, which CTest sets), else below the system's temporary folder.
QString ArtefactDir();
// The source tree (for fixtures shipped under data/ or tests/).
QString SourceDir();
// The laid-out program folder of the build (Data/Res and friends).
QString ProgramDir();
// The whole content of a file, empty when it cannot be read.
QByteArray ReadBytes(const QString& path);
// Writes a file (and its folder); false when that fails.
bool WriteBytes(const QString& path, const QByteArray& bytes);
// The message of the Exception that the action raises, or NoException when it raises none.
inline const QString NoException = QStringLiteral("<no exception>");
QString ExceptionText(const std::function<void()>& action);
// The message of the Exception that the action raises, empty when it raises none.
QString FailureText(const std::function<void()>& action);
// A settings store opened on a file that is first written with the given text, with the
// program's defaults.
std::unique_ptr<TFRIniFile> IniStoreOn(const QString& path, const QByteArray& content);

// Fixes the clock (and optionally skips its waits) for as long as it lives; the real clock
// comes back when it goes, also when a test fails half-way.
class ClockGuard {
public:
    explicit ClockGuard(std::optional<QDateTime> now = std::nullopt, bool skipWaits = false);
    ~ClockGuard();
    ClockGuard(const ClockGuard&) = delete;
    ClockGuard& operator=(const ClockGuard&) = delete;
    void SetNow(const QDateTime& now);
};
}  // namespace testsupport
