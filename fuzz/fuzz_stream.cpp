// Stream-record reader: any bytes read as integer, string and file records either give
// records or the records' errors; a file record that fails leaves its target untouched.
#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

#include "core/MyUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("target.dat"));
    const QByteArray old("old content");
    {
        QFile f(target);
        if (!f.open(QIODevice::WriteOnly) || f.write(old) != old.size()) abort();
    }

    // The first byte chooses the record kinds to read, two bits per record.
    const uint8_t plan = data[0];
    QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    for (int step = 0; step < 16 && !buffer.atEnd(); ++step) {
        const int kind = (plan >> (2 * (step % 4))) & 3;
        const qint64 at = buffer.pos();
        try {
            if (kind == 0) {
                StreamReadInteger(buffer);
                if (buffer.pos() != at + 4) abort();
            } else if (kind == 1) {
                const QString text = StreamLoadString(buffer);
                if (buffer.pos() - at - 4 > 65536) abort();
            } else {
                StreamLoadFile(buffer, target);
                const QByteArray written = [&] {
                    QFile f(target);
                    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
                }();
                // BOFFILE, size, stamp, content, EOFFILE
                if (buffer.pos() - at != 11 + 8 + written.size() + 11) abort();
                QFile f(target);
                if (!f.open(QIODevice::WriteOnly) || f.write(old) != old.size()) abort();
            }
        } catch (const Exception&) {
            QFile f(target);
            if (!f.open(QIODevice::ReadOnly) || f.readAll() != old) abort();
            break;
        }
    }
    return 0;
}
