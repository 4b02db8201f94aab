#include "TestSupport.h"
#include <QDir>

namespace testsupport {
static QString envOr(const char* name, const QString& fallback) {
    const QByteArray v = qgetenv(name);
    return v.isEmpty() ? fallback : QString::fromLocal8Bit(v);
}
QString ArtefactDir() {
    const QString dir = envOr("MYKO_BUILD_DIR", QDir::currentPath()) + "/artefacts";
    QDir().mkpath(dir);
    return dir;
}
QString SourceDir() { return envOr("MYKO_SOURCE_DIR", QDir::currentPath()); }
QString ProgramDir() { return envOr("MYKO_PROGRAM_DIR", QDir::currentPath() + "/program"); }
}
