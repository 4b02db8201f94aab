#include "platform/StreamRecords.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <algorithm>
#include <limits>

#include "platform/AtomicFile.h"
#include "platform/Exception.h"

namespace {

constexpr qint32 kMaxStringLength = 65536;
constexpr qint64 kChunk = 64 * 1024;
const char* const kBeginFile = "BOFFILE";
const char* const kEndFile = "EOFFILE";

void writeAll(QIODevice& stream, const QByteArray& bytes, const char* routine) {
    if (stream.write(bytes) != bytes.size())
        throw Exception(QStringLiteral("Fel i %1. Skrivningen misslyckades!").arg(QLatin1String(routine)));
}

// Reads up to Count bytes; fewer only when the stream ends.
QByteArray readUpTo(QIODevice& stream, qint64 count) {
    QByteArray bytes;
    while (bytes.size() < count) {
        const QByteArray part = stream.read(count - bytes.size());
        if (part.isEmpty()) break;
        bytes += part;
    }
    return bytes;
}

// Whether a stream that knows its size still holds Count bytes (a sequential one is
// taken at its word until it runs dry).
bool holds(QIODevice& stream, qint64 count) { return stream.isSequential() || stream.bytesAvailable() >= count; }

[[noreturn]] void raiseStringLength(qint32 length) {
    throw Exception(QStringLiteral("Error in StreamLoadString. Invalid stringlength (%1)").arg(length));
}

[[noreturn]] void raiseNoMarker() {
    throw Exception(QStringLiteral("Error in StreamLoadFile. \"BOFFILE\" / \"EOFFILE\" not found!"));
}

void expectMarker(QIODevice& stream, const char* marker) {
    QString text;
    try {
        text = StreamLoadString(stream);
    } catch (const Exception&) {
        raiseNoMarker();
    }
    if (text != QLatin1String(marker)) raiseNoMarker();
}

}  // namespace

void StreamWriteInteger(QIODevice& stream, qint32 value) {
    const quint32 v = quint32(value);
    const char bytes[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char((v >> 24) & 0xFF)};
    writeAll(stream, QByteArray(bytes, 4), "StreamWriteInteger");
}

qint32 StreamReadInteger(QIODevice& stream) {
    const QByteArray bytes = readUpTo(stream, 4);
    if (bytes.size() != 4) throw Exception(QStringLiteral("Fel i StreamReadInteger. Oväntat slut på strömmen!"));
    const auto* b = reinterpret_cast<const uchar*>(bytes.constData());
    return qint32(quint32(b[0]) | quint32(b[1]) << 8 | quint32(b[2]) << 16 | quint32(b[3]) << 24);
}

void StreamSaveString(QIODevice& stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    // A longer record could not be read back.
    if (bytes.size() > kMaxStringLength)
        throw Exception(QStringLiteral("Fel i StreamSaveString. Ogiltig stränglängd (%1)").arg(bytes.size()));
    StreamWriteInteger(stream, qint32(bytes.size()));
    writeAll(stream, bytes, "StreamSaveString");
}

QString StreamLoadString(QIODevice& stream) {
    const qint32 length = StreamReadInteger(stream);
    if (length < 0 || length > kMaxStringLength || !holds(stream, length)) raiseStringLength(length);
    const QByteArray bytes = readUpTo(stream, length);
    if (bytes.size() != length) raiseStringLength(length);
    return QString::fromUtf8(bytes);
}

void StreamSaveFile(QIODevice& stream, const QString& fileName) {
    const QFileInfo info(fileName);
    if (!info.exists() || info.isDir()) throw Exception(QStringLiteral("Error in StreamSaveFile. File not found!"));
    if (info.size() > std::numeric_limits<qint32>::max())
        throw Exception(QStringLiteral("Fel i StreamSaveFile. Filen \"%1\" är för stor!").arg(fileName));
    QFile file(fileName);
    const auto unreadable = [&] {
        return Exception(QStringLiteral("Fel i StreamSaveFile. Filen \"%1\" kunde inte läsas!").arg(fileName));
    };
    if (!file.open(QIODevice::ReadOnly)) throw unreadable();
    const qint64 size = info.size();
    StreamSaveString(stream, QLatin1String(kBeginFile));
    StreamWriteInteger(stream, qint32(size));
    StreamWriteInteger(stream, DateTimeToFileDate(info.lastModified()));
    for (qint64 done = 0; done < size;) {
        const QByteArray part = file.read(std::min(kChunk, size - done));
        if (part.isEmpty()) throw unreadable();
        writeAll(stream, part, "StreamSaveFile");
        done += part.size();
    }
    StreamSaveString(stream, QLatin1String(kEndFile));
}

void StreamLoadFile(QIODevice& stream, const QString& fileName) {
    expectMarker(stream, kBeginFile);
    qint32 size = 0;
    qint32 stamp = 0;
    try {
        size = StreamReadInteger(stream);
        stamp = StreamReadInteger(stream);
    } catch (const Exception&) {
        raiseNoMarker();
    }
    if (size < 0 || !holds(stream, size)) raiseNoMarker();

    TAtomicFile out(fileName);
    out.Open();
    for (qint64 done = 0; done < size;) {
        const QByteArray part = stream.read(std::min(kChunk, qint64(size) - done));
        if (part.isEmpty()) raiseNoMarker();  // the temporary file goes with Out
        out.Write(part);
        done += part.size();
    }
    // Without its end marker the record is not taken: the target stays as it was.
    expectMarker(stream, kEndFile);
    const QDateTime when = FileDateToDateTime(stamp);
    if (when.isValid()) out.SetModificationTime(when);
    out.Commit();
}

qint32 DateTimeToFileDate(const QDateTime& when) {
    QDate date(1980, 1, 1);
    QTime time(0, 0);
    if (when.isValid()) {
        const QDateTime local = when.toLocalTime();
        if (local.date().year() > 2107) {
            date = QDate(2107, 12, 31);
            time = QTime(23, 59, 58);
        } else if (local.date().year() >= 1980) {
            date = local.date();
            time = local.time();
        }
    }
    const quint32 dateWord = quint32(date.year() - 1980) << 9 | quint32(date.month()) << 5 | quint32(date.day());
    const quint32 timeWord = quint32(time.hour()) << 11 | quint32(time.minute()) << 5 | quint32(time.second() / 2);
    return qint32(dateWord << 16 | timeWord);
}

QDateTime FileDateToDateTime(qint32 stamp) {
    const quint32 v = quint32(stamp);
    const quint32 dateWord = v >> 16;
    const quint32 timeWord = v & 0xFFFF;
    const QDate date(int(1980 + (dateWord >> 9)), int((dateWord >> 5) & 15), int(dateWord & 31));
    const int hour = int(timeWord >> 11), minute = int((timeWord >> 5) & 63), second = int(timeWord & 31) * 2;
    if (!date.isValid() || !QTime::isValid(hour, minute, second)) return QDateTime();
    return QDateTime(date, QTime(hour, minute, second), Qt::LocalTime);
}
