// Directory reading: any bytes taken as an archive give a listing or the reader's messages,
// never a read outside the file or an error code from a mere warning.
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

#include "zip/ZipMstr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int argc = 1;
    static char name[] = "fuzz_zipdir";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    static QTemporaryDir scratch;
    (void)app;
    const QString archive = scratch.path() + QStringLiteral("/in.zip");
    {
        QFile f(archive);
        if (!f.open(QIODevice::WriteOnly) || f.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
            abort();
    }
    TZipArchiver zip;
    zip.SetUnattended(true);
    int lastSeq = 0;
    zip.OnNewName = [&](QObject*, int seq, const ZipDirEntry&) {
        if (seq <= lastSeq) abort();  // sequence numbers only grow
        lastSeq = seq;
    };
    for (bool dirs : {false, true}) {
        zip.SetUseDirOnlyEntries(dirs);
        lastSeq = 0;
        zip.SetZipFileName(archive);
        // A listing either stands with its file name or was refused with a message id.
        if (zip.ErrCode() == 0 && zip.ZipFileName().isEmpty()) abort();
        if (zip.ErrCode() != 0 && (zip.GetCount() != 0 || !zip.ZipFileName().isEmpty())) abort();
        if (zip.SFXOffset() < 0 || zip.SFXOffset() > qint64(size)) abort();
        QByteArray end;
        lastSeq = 0;
        zip.SetZipFileName(archive);
        if (!zip.ZipFileName().isEmpty() && !zip.ReadEndOfCentral(end, false)) abort();
    }
    return 0;
}
