// The zip component: loading its two library modules and calling them.
#include "zip/ZipMstr.h"
#include "zip/ZipMstrShared.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QSet>
#include <QRandomGenerator>

#include <dlfcn.h>

#include <cstring>
#include <deque>
#include <optional>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/ziplibs/ZipLibApi.h"
#include "platform/ziplibs/common/ZipCommon.h"
#include "zip/ZipPrompts.h"

using namespace Zip;  // the component's option bits

using namespace zipmsg;
using namespace zipmaster;

// ---- Libraries ----

bool TZipArchiver::ZipLibLoaded() const { return m_zipLib->Library.isLoaded(); }
bool TZipArchiver::UnzLibLoaded() const { return m_unzLib->Library.isLoaded(); }
bool TZipArchiver::LoadZipLib() { return LoadLib(*m_zipLib); }
bool TZipArchiver::LoadUnzLib() { return LoadLib(*m_unzLib); }
void TZipArchiver::UnloadZipLib() { UnloadLib(*m_zipLib); }
void TZipArchiver::UnloadUnzLib() { UnloadLib(*m_unzLib); }

bool TZipArchiver::LoadLib(TLib& lib) {
    if (lib.Library.isLoaded()) UnloadLib(lib);
    const QString appDir = QCoreApplication::applicationDirPath();
    QString path;
    if (!m_dllDirectory.isEmpty()) {
        path = PathConcat(m_dllDirectory, lib.FileName());
        if (!QFileInfo::exists(path)) {
            const QString underProgram = PathConcat(appDir, path);
            path = m_dllDirectory.startsWith(QLatin1Char('.')) && QFileInfo::exists(underProgram) ? underProgram
                                                                                                  : QString();
        }
    }
    // Without a folder the program's own folder comes first, then the system's search.
    if (path.isEmpty() && QFileInfo::exists(PathConcat(appDir, lib.FileName())))
        path = PathConcat(appDir, lib.FileName());
    if (path.isEmpty())
        path = lib.FileName();
    else
        path = QFileInfo(path).absoluteFilePath();
    lib.Library.setFileName(path);
    lib.Library.setLoadHints(QLibrary::ResolveAllSymbolsHint);
    if (!lib.Library.load()) {
        lib.Exec = nullptr;
        lib.VersionFn = nullptr;
        ShowZipMessage(lib.MsgBase() + 4);
    } else {
        lib.Path = path;
        lib.Exec = reinterpret_cast<void*>(lib.Library.resolve(lib.ExecName()));
        lib.VersionFn = reinterpret_cast<ZipLibVersionFn>(lib.Library.resolve(lib.VersionName()));
        // The module's real file, as the system loaded it.
        Dl_info info;
        void* any = lib.Exec ? lib.Exec : reinterpret_cast<void*>(lib.VersionFn);
        if (any && dladdr(any, &info) && info.dli_fname)
            lib.Path = QFileInfo(QFile::decodeName(info.dli_fname)).absoluteFilePath();
        if (m_trace) ShowZipInfo(lib.MsgBase() + 1, QStringLiteral(" ") + lib.Path);
        if (!lib.Exec) ShowZipMessage(lib.MsgBase() + 2);
        if (!lib.VersionFn) ShowZipMessage(lib.MsgBase() + 3);
    }
    lib.Version = (lib.Library.isLoaded() && lib.Exec && lib.VersionFn) ? lib.VersionFn() : 0;
    if (lib.Version == 0) {
        UnloadLib(lib);
        ShowZipMessage(lib.MsgBase() + 4, QStringLiteral(" unloaded"));
        return false;
    }
    return true;
}

void TZipArchiver::UnloadLib(TLib& lib) {
    if (lib.Library.isLoaded()) lib.Library.unload();
    lib.Exec = nullptr;
    lib.VersionFn = nullptr;
    lib.Version = 0;
}

QString TZipArchiver::LibPath(TLib& lib) {
    if (lib.Library.isLoaded()) return lib.Path;
    if (!LoadLib(lib)) return QString();
    const QString path = lib.Path;
    UnloadLib(lib);
    return path;
}

QString TZipArchiver::GetZipLibPath() { return LibPath(*m_zipLib); }
QString TZipArchiver::GetUnzLibPath() { return LibPath(*m_unzLib); }

bool TZipArchiver::EnsureLib(TLib& lib, bool& loadedHere) {
    loadedHere = false;
    if (lib.Library.isLoaded() && lib.VersionFn) {
        lib.Version = lib.VersionFn();
    } else {
        if (!LoadLib(lib)) return false;
        loadedHere = true;
    }
    const int minimum = lib.IsZip ? m_minZipLibVers : m_minUnzLibVers;
    if (lib.Version < minimum) {
        ShowZipMessage(lib.MsgBase() + 5, lib.Path);
        UnloadLib(lib);
        loadedHere = false;
        return false;
    }
    if (m_verbose || m_trace)
        DoMessage(0,
                  (lib.IsZip ? QStringLiteral("Loaded ZipLib ver: ") : QStringLiteral("Loaded UnzLib ver: ")) +
                      QString::number(lib.Version) + QStringLiteral(" from ") + lib.Path);
    return true;
}
