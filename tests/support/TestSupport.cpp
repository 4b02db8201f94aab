#include "TestSupport.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <utility>

#include "core/FRIniFile.h"
#include "platform/Clock.h"
#include "platform/Exception.h"

namespace testsupport {
static QString envOr(const char* name, const QString& fallback) {
    const QByteArray v = qgetenv(name);
    return v.isEmpty() ? fallback : QString::fromLocal8Bit(v);
}
QString ArtefactDir() {
    // Never the current folder: a test started by hand in the source tree would leave its
    // pictures there to be committed.
    const QString dir = envOr("MYKO_BUILD_DIR", QDir::tempPath() + "/mykotekshallen-tests") + "/artefacts";
    QDir().mkpath(dir);
    return dir;
}
QString SourceDir() { return envOr("MYKO_SOURCE_DIR", QDir::currentPath()); }
QString ProgramDir() { return envOr("MYKO_PROGRAM_DIR", QDir::currentPath() + "/program"); }
QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
bool WriteBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
QString ExceptionText(const std::function<void()>& action) {
    try {
        action();
    } catch (const Exception& e) {
        return e.Message();
    }
    return NoException;
}
QString FailureText(const std::function<void()>& action) {
    const QString text = ExceptionText(action);
    return text == NoException ? QString() : text;
}

std::unique_ptr<TFRIniFile> IniStoreOn(const QString& path, const QByteArray& content) {
    if (!WriteBytes(path, content)) QTest::qFail("the settings file could not be written", __FILE__, __LINE__);
    auto store = std::make_unique<TFRIniFile>(nullptr, QStringLiteral("inifileMain"));
    store->SetDefaults(TFRIniFile::ProgramDefaults());
    store->SetFilename(path);
    store->Open();
    return store;
}

ClockGuard::ClockGuard(std::optional<QDateTime> now, bool skipWaits) {
    Clock::SetFixedNow(std::move(now));
    Clock::SetSkipWaits(skipWaits);
}
ClockGuard::~ClockGuard() {
    Clock::SetFixedNow(std::nullopt);
    Clock::SetSkipWaits(false);
}
void ClockGuard::SetNow(const QDateTime& now) { Clock::SetFixedNow(now); }
}  // namespace testsupport
