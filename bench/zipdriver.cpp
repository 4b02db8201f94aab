// The zip component as a small command-line program, for bench_zip: it packs a folder into
// an archive, or unpacks an archive into a folder, as the main window's zip service does, and
// links nothing but the component, so that its start costs what a small tool's start costs.
//
//     zipdriver pack ARCHIVE FOLDER
//     zipdriver unpack ARCHIVE FOLDER
//
// Exit code 0 on success, 1 when the component reports an error, 2 on a wrong call.
#include <QCoreApplication>
#include <QDir>

#include <cstdio>

#include "zip/ZipMstr.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s pack|unpack ARCHIVE FOLDER\n", argv[0]);
        return 2;
    }
    QCoreApplication app(argc, argv);
    const QString what = QString::fromLocal8Bit(argv[1]), archive = QString::fromLocal8Bit(argv[2]),
                  folder = QString::fromLocal8Bit(argv[3]);
    if (what != QLatin1String("pack") && what != QLatin1String("unpack")) return 2;
    TZipArchiver z;
    z.SetUnattended(true);
    // The library modules lie in the program folder beside the build's bench folder.
    z.SetDLLDirectory(QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../program")));
    z.SetZipFileName(archive);
    int result = 0;
    if (what == QLatin1String("pack")) {
        z.SetRootDir(folder);
        z.SetAddOptions(Zip::AddDirNames);
        z.SetFSpecArgs({QStringLiteral(">*.*")});
        result = z.Add();
    } else {
        z.SetExtrBaseDir(folder);
        z.SetExtrOptions(Zip::ExtrDirNames | Zip::ExtrOverWrite);
        result = z.Extract();
    }
    if (result != 0) std::fprintf(stderr, "%s\n", qPrintable(z.Message()));
    return result == 0 ? 0 : 1;
}
