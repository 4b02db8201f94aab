#include "script/QSAnsi.h"

#include "platform/Windows1252.h"

QChar AnsiToChar(unsigned char code) { return QChar(Windows1252::ToUnicode(code)); }

QString AnsiToString(const QByteArray& bytes) { return Windows1252::Decode(bytes); }

QByteArray StringToAnsi(const QString& text) {
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        unsigned char code = 0;
        bytes[i] = Windows1252::FromUnicode(text[i].unicode(), code) ? char(code) : '?';
    }
    return bytes;
}
