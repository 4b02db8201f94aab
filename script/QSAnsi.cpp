#include "script/QSAnsi.h"

namespace {
// 128..159; the five codes that Windows-1252 leaves free map to themselves.
const char16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                            0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                            0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
}  // namespace

QChar AnsiToChar(unsigned char code) { return QChar(code >= 128 && code < 160 ? kHigh[code - 128] : char16_t(code)); }

QString AnsiToString(const QByteArray& bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) text[i] = AnsiToChar(uchar(bytes[i]));
    return text;
}

QByteArray StringToAnsi(const QString& text) {
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        char out = '?';
        if (c < 128 || (c >= 160 && c < 256)) {
            out = char(c);
        } else {
            for (int k = 0; k < 32; ++k)
                if (kHigh[k] == c) out = char(128 + k);
        }
        bytes[i] = out;
    }
    return bytes;
}
