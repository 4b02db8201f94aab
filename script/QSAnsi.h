#pragma once
// Eight-bit text of the script files and of the calculator's character codes: Windows-1252
// (Latin-1 with its own characters at 128..159).
#include <QByteArray>
#include <QChar>
#include <QString>

QChar AnsiToChar(unsigned char code);
QString AnsiToString(const QByteArray& bytes);
// Characters that Windows-1252 cannot hold become "?".
QByteArray StringToAnsi(const QString& text);
