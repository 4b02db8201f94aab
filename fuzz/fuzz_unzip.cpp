// Extraction: any bytes taken as an archive and unpacked into a scratch folder through the
// component and the unpacking module; nothing may appear outside that folder.
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "zip/ZipMstr.h"

namespace {
// The modules lie in the program folder beside the fuzz folder of the build.
QString ProgramFolder() {
    const QString exe = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    return QDir::cleanPath(QFileInfo(exe).absolutePath() + QStringLiteral("/../program"));
}

QStringList Entries(const QString& dir) {
    QStringList out;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) out << it.next();
    out.sort();
    return out;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int argc = 1;
    static char name[] = "fuzz_unzip";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    static QTemporaryDir scratch;
    static TZipArchiver* zip = [] {
        auto* z = new TZipArchiver;
        z->SetUnattended(true);
        z->SetDLLDirectory(ProgramFolder());
        z->OnPasswordError = [](QObject*, bool, QString& pw, const QString&, quint32& repeat, TPasswordButton& action) {
            pw = QStringLiteral("fel");
            repeat = 1;
            action = TPasswordButton::mbOK;
        };
        // Held loaded across inputs.
        if (!z->LoadUnzLib()) {
            std::fprintf(stderr, "libunzlib.so hittades inte i %s\n", qPrintable(ProgramFolder()));
            abort();
        }
        return z;
    }();
    (void)app;

    const QString root = scratch.path();
    const QString archive = root + QStringLiteral("/in.zip");
    const QString base = root + QStringLiteral("/bas");
    {
        QFile f(archive);
        if (!f.open(QIODevice::WriteOnly) || f.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
            abort();
    }
    QDir().mkpath(base);
    zip->SetZipFileName(archive);
    zip->SetPassword(QStringLiteral("pw"));
    zip->SetExtrBaseDir(base);
    zip->SetExtrOptions(Zip::ExtrDirNames | Zip::ExtrOverWrite);
    zip->Extract();
    if (zip->IsBusy()) abort();

    if (Entries(root) != QStringList{base, archive}) {
        std::fprintf(stderr, "något skrevs utanför mappen: %s\n", qPrintable(Entries(root).join(QLatin1Char(' '))));
        abort();
    }
    QDir(base).removeRecursively();
    QFile::remove(archive);
    return 0;
}
