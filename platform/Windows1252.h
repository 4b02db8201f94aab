#pragma once
// Windows-1252, the eight-bit text of older settings files, map sheet titles, script files and
// zip entry names: Latin-1 but for the printable characters it puts at 0x80..0x9F. The five
// codes it leaves unused there stand for themselves. Header only, so that the zip library
// modules can use it without linking the program's libraries.
#include <QByteArray>
#include <QChar>
#include <QString>

namespace Windows1252 {

// The characters of 0x80..0x9F. Not an inline variable: that would be a unique symbol, which
// keeps a library module that holds it from ever being unloaded.
constexpr char16_t High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                               0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                               0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The character of one code.
constexpr char16_t ToUnicode(unsigned char code) {
    return code >= 0x80 && code < 0xA0 ? High[code - 0x80] : char16_t(code);
}

inline QString Decode(const QByteArray& bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) text[i] = QChar(ToUnicode(uchar(bytes[i])));
    return text;
}

// The code of a character; false when Windows-1252 cannot hold it.
constexpr bool FromUnicode(char16_t c, unsigned char& code) {
    if (c < 0x80 || (c >= 0xA0 && c < 0x100)) {
        code = static_cast<unsigned char>(c);
        return true;
    }
    for (int k = 0; k < 32; ++k) {
        if (High[k] == c) {
            code = static_cast<unsigned char>(0x80 + k);
            return true;
        }
    }
    return false;
}

}  // namespace Windows1252
