#include "core/MyUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>

#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <limits>
#include <unistd.h>

#include "platform/AtomicFile.h"

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

// ---- Folder walker ----

QString withSlash(const QString& path) {
    QString p = path;
    if (p.endsWith(QLatin1Char('\\'))) p.chop(1);
    return p.endsWith(QLatin1Char('/')) ? p : p + QLatin1Char('/');
}

// The absolute path with the existing part's symbolic links resolved, ending in "/".
QString resolvedFolder(const QString& path) {
    const QString abs = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QString head = abs;
    QString rest;
    for (;;) {
        const QString canonical = QFileInfo(head).canonicalFilePath();
        if (!canonical.isEmpty()) return withSlash(QDir::cleanPath(canonical + rest));
        const qsizetype slash = head.lastIndexOf(QLatin1Char('/'));
        if (slash <= 0) break;
        rest.prepend(head.mid(slash));
        head.truncate(slash);
    }
    return withSlash(abs);
}

[[noreturn]] void raiseUnreadableFolder(const QString& path) {
    throw Exception(QStringLiteral("Mappen \"%1\" kunde inte läsas.").arg(QDir::toNativeSeparators(path)));
}

// The entries of a folder; a folder that cannot be listed raises instead of looking empty.
QFileInfoList listFolder(const QString& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::directory_iterator it(fs::path(QFile::encodeName(folder).toStdString()), ec);
    if (ec) raiseUnreadableFolder(folder);
    QFileInfoList entries;
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec) raiseUnreadableFolder(folder);
        entries.append(QFileInfo(folder + QFile::decodeName(QByteArray::fromStdString(it->path().filename().string()))));
    }
    if (ec) raiseUnreadableFolder(folder);
    return entries;
}

struct Walk {
    TFolderTotals& totals;
    THandleFolderFlags flags;

    bool has(THandleFolderFlag flag) const { return flags.testFlag(flag); }

    void addFile(const QString& path, qint64 size) {
        ++totals.Files;
        totals.Bytes += size;
        if (totals.List) totals.List->append(path);
    }

    [[noreturn]] void fail(const QString& from, const QString& to) const {
        const char* what = has(HF_COPY) ? "CopyFile" : "MoveFile";
        throw Exception(QStringLiteral("Error in HandleFolders. %1 failed. Source: \"%2\", destination: \"%3\"")
                            .arg(QLatin1String(what), from, to));
    }

    static void removeFolder(const QString& path) {
        if (!QDir().rmdir(path))
            throw Exception(
                QStringLiteral("Mappen \"%1\" kunde inte tas bort.").arg(QDir::toNativeSeparators(path)));
    }

    // Whether the walk left this entry of a walked folder where it is on purpose. A
    // subfolder left there was handled already (its own removal reported any failure).
    bool passedOver(const QFileInfo& entry) const {
        if (entry.isSymLink() || !(entry.isDir() || entry.isFile())) return !(has(HF_DELETE) && has(HF_FILES));
        return entry.isDir() || !has(HF_FILES);
    }

    // Removes a folder whose content was walked. False when it still holds only what the
    // walk passes over on purpose (links, files when files are not handled): it stays, and
    // that is no failure. Anything else left in it is.
    bool removeHandled(const QString& path) const {
        if (QDir().rmdir(path)) return true;
        const QFileInfoList left = listFolder(path + QLatin1Char('/'));
        if (left.isEmpty() || !std::all_of(left.cbegin(), left.cend(), [&](const QFileInfo& e) { return passedOver(e); }))
            removeFolder(path);
        return false;
    }

    static void makeFolder(const QString& path) {
        if (!QDir().mkpath(path))
            throw Exception(
                QStringLiteral("Mappen \"%1\" kunde inte skapas.").arg(QDir::toNativeSeparators(path)));
    }

    // Copies a file: every step checked, the old destination file whole on failure.
    void copy(const QString& from, const QString& to) const {
        try {
            CopyFileAtomically(from, to);
        } catch (const Exception&) {
            fail(from, to);
        }
    }

    // A rename where it can be one; across file systems a checked copy, and the source goes
    // only once its copy is verified.
    void move(const QString& from, const QString& to) const {
        const QFileInfo target(to);
        if (target.exists() || target.isSymLink()) fail(from, to);
        const QByteArray source = QFile::encodeName(from);
        if (::rename(source.constData(), QFile::encodeName(to).constData()) == 0) return;
        if (errno != EXDEV) fail(from, to);
        copy(from, to);
        if (::unlink(source.constData()) != 0) {
            QFile::remove(to);
            fail(from, to);
        }
    }

    void run(const QString& src, const QString& dst) {
        const QFileInfoList entries = listFolder(src);
        for (const QFileInfo& entry : entries) {
            const QString name = entry.fileName();
            const QString path = src + name;
            const QString target = dst + name;
            if (entry.isSymLink() || !(entry.isDir() || entry.isFile())) {
                // Links (and devices, pipes, sockets) are never followed nor read.
                if (has(HF_DELETE) && has(HF_FILES) && QFile::remove(path)) addFile(path, 0);
                continue;
            }
            if (entry.isDir()) {
                if (!has(HF_FOLDERS)) continue;
                if (has(HF_COPY) || has(HF_MOVE)) {
                    if (QFileInfo(target).isSymLink()) fail(path, target);
                    makeFolder(target);
                    if (has(HF_RECURSIVE)) run(path + QLatin1Char('/'), target + QLatin1Char('/'));
                    // A folder moved without descending keeps its content and stays.
                    if (has(HF_MOVE) && !(has(HF_RECURSIVE) ? removeHandled(path) : QDir().rmdir(path))) continue;
                    ++totals.Folders;
                } else if (has(HF_DELETE)) {
                    run(path + QLatin1Char('/'), target + QLatin1Char('/'));
                    if (!removeHandled(path)) continue;
                    ++totals.Folders;
                } else {
                    if (has(HF_RECURSIVE)) run(path + QLatin1Char('/'), target + QLatin1Char('/'));
                    ++totals.Folders;
                }
                continue;
            }
            if (!has(HF_FILES)) continue;
            const qint64 size = entry.size();
            if (has(HF_COPY)) {
                if (QFileInfo(target).isSymLink()) fail(path, target);
                copy(path, target);
            } else if (has(HF_MOVE)) {
                move(path, target);
            } else if (has(HF_DELETE)) {
                // A file that will not go is passed over; its folder then reports the failure.
                if (!QFile::remove(path)) continue;
            }
            addFile(path, size);
        }
    }
};

QString buildDate() {
    const QDate date = QDate::fromString(QString::fromLatin1(__DATE__).simplified(), QStringLiteral("MMM d yyyy"));
    return date.isValid() ? date.toString(QStringLiteral("yyyy-MM-dd")) : QString();
}

}  // namespace

// ---- Stream records ----

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

// ---- Folder walker ----

void HandleFolders(const QString& source, const QString& dest, TFolderTotals& totals, THandleFolderFlags flags) {
    if (source.isEmpty()) throw Exception(QStringLiteral("Fel i HandleFolders. Källmapp saknas"));
    const QString src = withSlash(source);
    const QString dst = withSlash(dest.isEmpty() ? QDir::currentPath() : dest);
    const bool copyOrMove = flags.testAnyFlags(HF_COPY | HF_MOVE);
    const QString srcResolved = resolvedFolder(src);
    const QString dstResolved = resolvedFolder(dst);
    if (copyOrMove && srcResolved == dstResolved)
        throw Exception(QStringLiteral("Error in HandleFolders. Source equals Dest"));
    int operations = 0;
    for (THandleFolderFlag op : {HF_DELETE, HF_COPY, HF_MOVE, HF_COUNT})
        if (flags.testFlag(op)) ++operations;
    if (operations != 1)
        throw Exception(QStringLiteral(
            "Error in HandleFolders. Must use exactly one flag of type HF_COUNT, HF_COPY, HF_DELETE or HF_MOVE"));
    // Copying into itself would never end, and a move would move the destination away.
    if (copyOrMove && dstResolved.startsWith(srcResolved))
        throw Exception(QStringLiteral("Fel i HandleFolders. Målmappen ligger i källmappen"));

    // A link given as the source would take a delete or a move out of the tree.
    if (flags.testAnyFlags(HF_DELETE | HF_MOVE) && QFileInfo(QDir::cleanPath(QFileInfo(source).absoluteFilePath())).isSymLink())
        throw Exception(QStringLiteral("Mappen \"%1\" är en symbolisk länk och hanteras inte.")
                            .arg(QDir::toNativeSeparators(source)));
    if (!QFileInfo(src).isDir()) return;
    if (copyOrMove) Walk::makeFolder(dst);
    Walk{totals, flags}.run(src, dst);
}

// ---- Names from outside ----

QString ResolvePathNoCase(const QString& folder, const QString& relativeName, TPathKind kind) {
    QString name = relativeName;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (name.startsWith(QLatin1Char('/')) || name.contains(QLatin1Char(':'))) return QString();
    QStringList parts;
    for (const QString& part : name.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String(".")) continue;
        if (part == QLatin1String("..")) {
            if (parts.isEmpty()) return QString();
            parts.removeLast();
            continue;
        }
        parts << part;
    }
    if (parts.isEmpty()) return QString();
    QString path = QDir(folder).absolutePath();
    for (int i = 0; i < parts.size(); ++i) {
        const bool wantFile = kind == TPathKind::File && i == parts.size() - 1;
        const QFileInfo exact(path + QLatin1Char('/') + parts[i]);
        QString found;
        if (exact.exists() && !exact.isSymLink() && exact.isFile() == wantFile) {
            found = parts[i];
        } else {
            const QStringList entries = QDir(path).entryList(
                (wantFile ? QDir::Files : QDir::Dirs) | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks);
            for (const QString& entry : entries)
                if (entry.compare(parts[i], Qt::CaseInsensitive) == 0) {
                    found = entry;
                    break;
                }
        }
        if (found.isEmpty()) return QString();
        path += QLatin1Char('/') + found;
    }
    const QFileInfo result(path);
    return (kind == TPathKind::File ? result.isFile() : result.isDir()) ? path : QString();
}

// ---- Small helpers ----

QString AddTrailingBackslash(const QString& path) {
    if (path.endsWith(QLatin1Char('/')) || path.endsWith(QLatin1Char('\\'))) return path;
    return path + QLatin1Char('/');
}

QString GetVersionInfoItem(const QString& fileName, int index) {
    const QString program = QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
    if (!fileName.isEmpty()) {
        const QString wanted = QFileInfo(fileName).canonicalFilePath();
        if (wanted.isEmpty() || wanted != QFileInfo(program).canonicalFilePath()) return QString();
    }
    const QString name = QStringLiteral("Mykotekshallen");
    switch (index) {
    case 3:  // FileDescription
    case 4:  // OriginalFileName
    case 6:  // InternalName
    case 8:  // ProductName
        return name;
    case 5:  // FileVersion
    case 7:  // ProductVersion
        return QStringLiteral(MYKO_VERSION);
    case 9:  // Versionsdatum
        return buildDate();
    default:  // Comments, CompanyName, LegalCopyright
        return QString();
    }
}

QString ReplaceFirst(const QString& text, const QString& oldText, const QString& newText) {
    if (oldText.isEmpty()) return text;
    const qsizetype at = text.indexOf(oldText);
    if (at < 0) return text;
    QString result = text;
    return result.replace(at, oldText.size(), newText);
}

void NextToken(const QString& separator, QString& text, QString& token) {
    const qsizetype at = separator.isEmpty() ? -1 : text.indexOf(separator);
    if (at < 0) {
        token = text;
        text.clear();
        return;
    }
    token = text.left(at);
    text = text.mid(at + separator.size());
}

QString MsToTimeStr(quint64 milliseconds) {
    const quint64 hours = milliseconds / 3600000;
    const quint64 minutes = milliseconds / 60000 % 60;
    const quint64 seconds = milliseconds / 1000 % 60;
    return QStringLiteral("%1:%2:%3")
        .arg(hours, 2, 10, QLatin1Char('0'))
        .arg(minutes, 2, 10, QLatin1Char('0'))
        .arg(seconds, 2, 10, QLatin1Char('0'));
}

QString EncodeUrlChars(const QString& text) {
    static const char hex[] = "0123456789ABCDEF";
    QString result;
    for (const char ch : text.toUtf8()) {
        const auto c = uchar(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
            c == '~') {
            result += QLatin1Char(char(c));
        } else {
            result += QLatin1Char('%');
            result += QLatin1Char(hex[c >> 4]);
            result += QLatin1Char(hex[c & 15]);
        }
    }
    return result;
}

void SwapIntegers(int& a, int& b) { std::swap(a, b); }

bool IsIntegerStr(const QString& text) {
    bool ok = false;
    text.toInt(&ok, 10);
    return ok;
}

QString RemoveSpaces(const QString& text) {
    QString result = text;
    return result.remove(QLatin1Char(' '));
}
