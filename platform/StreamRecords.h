#pragma once
// Binary stream records, as the program's files and the script files hold them (integers are
// 4 bytes, little-endian):
//   integer  4 bytes
//   string   integer length N (0..65536), then N bytes of UTF-8 text
//   file     string "BOFFILE", integer size, integer date-time stamp (DOS date and time
//            words, local time), the content, string "EOFFILE"
#include <QDateTime>
#include <QString>

class QIODevice;

void StreamWriteInteger(QIODevice& stream, qint32 value);
qint32 StreamReadInteger(QIODevice& stream);
// Raises "Fel i StreamSaveString. Ogiltig stränglängd (%d)" for a text longer than
// 65,536 bytes.
void StreamSaveString(QIODevice& stream, const QString& text);
// Only lengths of 0..65,536 that the stream still holds are accepted.
QString StreamLoadString(QIODevice& stream);
void StreamSaveFile(QIODevice& stream, const QString& fileName);
// Writes the file through a temporary file; the target is replaced only once the whole
// record, "EOFFILE" included, has been read.
void StreamLoadFile(QIODevice& stream, const QString& fileName);

// The packed file-date form: DOS date word (high) and time word (low), local time,
// 2-second resolution. Dates outside 1980..2107 are clamped; an invalid stamp gives an
// invalid QDateTime.
qint32 DateTimeToFileDate(const QDateTime& when);
QDateTime FileDateToDateTime(qint32 stamp);
