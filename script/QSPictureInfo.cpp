#include "script/QSPictureInfo.h"

#include <cstdlib>

namespace {

quint32 Byte(const QByteArray& b, qsizetype at) { return quint8(b.at(at)); }
quint32 Le16(const QByteArray& b, qsizetype at) { return Byte(b, at) | Byte(b, at + 1) << 8; }
quint32 Le32(const QByteArray& b, qsizetype at) { return Le16(b, at) | Le16(b, at + 2) << 16; }
quint32 Be16(const QByteArray& b, qsizetype at) { return Byte(b, at) << 8 | Byte(b, at + 1); }

QSize BmpSize(const QByteArray& b) {
    if (b.size() < 26) return QSize();
    const quint32 header = Le32(b, 14);
    if (header == 12) return QSize(int(Le16(b, 18)), int(Le16(b, 20)));
    if (header < 40) return QSize();
    // A negative height stands for rows stored from the top down.
    const qint64 width = qint32(Le32(b, 18)), height = qint32(Le32(b, 22));
    if (width < 0 || width > 1 << 20 || std::llabs(height) > 1 << 20) return QSize();
    return QSize(int(width), int(std::llabs(height)));
}

// Walks the segments up to the first frame header.
QSize JpegSize(const QByteArray& b) {
    qsizetype at = 2;
    while (at + 4 <= b.size()) {
        if (Byte(b, at) != 0xFF) return QSize();
        const quint32 marker = Byte(b, at + 1);
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {  // no length
            at += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) return QSize();  // image data before any frame
        const qsizetype length = Be16(b, at + 2);
        if (length < 2) return QSize();
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (length < 7 || at + 9 > b.size()) return QSize();
            return QSize(int(Be16(b, at + 7)), int(Be16(b, at + 5)));
        }
        at += 2 + length;
    }
    return QSize();
}

}  // namespace

QSize QSPictureSize(const QByteArray& bytes) {
    if (bytes.startsWith("BM")) return BmpSize(bytes);
    if (bytes.startsWith("\xFF\xD8")) return JpegSize(bytes);
    return QSize();
}
