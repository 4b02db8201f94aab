#include "core/MyUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <unistd.h>

#include "platform/AtomicFile.h"

namespace {

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
        entries.append(
            QFileInfo(folder + QFile::decodeName(QByteArray::fromStdString(it->path().filename().string()))));
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

    // "The file could not be copied (moved) to ...", both names, and the cause when known.
    QString failureText(const QString& from) const {
        const QString what = has(HF_COPY) ? QStringLiteral("Filen \"%1\" kunde inte kopieras till \"%2\"")
                                          : QStringLiteral("Filen \"%1\" kunde inte flyttas till \"%2\"");
        return what.arg(QDir::toNativeSeparators(from), QStringLiteral("%1"));
    }
    [[noreturn]] void fail(const QString& from, const QString& to, const QString& cause) const {
        QString text = failureText(from).arg(QDir::toNativeSeparators(to));
        text += cause.isEmpty() ? QStringLiteral(".") : QStringLiteral(" (%1).").arg(cause);
        throw Exception(text);
    }

    static void removeFolder(const QString& path) {
        if (!QDir().rmdir(path))
            throw Exception(QStringLiteral("Mappen \"%1\" kunde inte tas bort.").arg(QDir::toNativeSeparators(path)));
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
        if (left.isEmpty() ||
            !std::all_of(left.cbegin(), left.cend(), [&](const QFileInfo& e) { return passedOver(e); }))
            removeFolder(path);
        return false;
    }

    static void makeFolder(const QString& path) {
        if (!QDir().mkpath(path))
            throw Exception(QStringLiteral("Mappen \"%1\" kunde inte skapas.").arg(QDir::toNativeSeparators(path)));
    }

    // Copies a file: every step checked, the old destination file whole on failure. The
    // checked copy's own message names both files and the cause.
    void copy(const QString& from, const QString& to) const { CopyFileAtomically(from, to, failureText(from)); }

    // A rename where it can be one; across file systems a checked copy, and the source goes
    // only once its copy is verified.
    void move(const QString& from, const QString& to) const {
        const QFileInfo target(to);
        if (target.isSymLink()) fail(from, to, QStringLiteral("en symbolisk länk står där"));
        if (target.exists()) fail(from, to, QStringLiteral("det finns redan en fil eller mapp med det namnet"));
        const QByteArray source = QFile::encodeName(from);
        if (::rename(source.constData(), QFile::encodeName(to).constData()) == 0) return;
        if (errno != EXDEV) fail(from, to, SystemReason(errno));
        copy(from, to);
        if (::unlink(source.constData()) != 0) {
            const int error = errno;
            QFile::remove(to);
            fail(from, to, SystemReason(error));
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
                    if (QFileInfo(target).isSymLink()) fail(path, target, QStringLiteral("en symbolisk länk står där"));
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
                if (QFileInfo(target).isSymLink()) fail(path, target, QStringLiteral("en symbolisk länk står där"));
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

// The usual causes of a failed rename or removal in Swedish; others in the system's words.
QString SystemReason(int error) {
    switch (error) {
        case ENOSPC:
            return QStringLiteral("disken är full");
        case EACCES:
        case EPERM:
            return QStringLiteral("åtkomst nekad");
        case EROFS:
            return QStringLiteral("skrivskyddat filsystem");
        case ENOENT:
            return QStringLiteral("filen finns inte");
        case EISDIR:
            return QStringLiteral("en mapp står där");
        case EIO:
            return QStringLiteral("läs- eller skrivfel på disken");
        default:
            return QString::fromLocal8Bit(std::strerror(error));
    }
}

// ---- Folder walker ----

void HandleFolders(const QString& source, const QString& dest, TFolderTotals& totals, THandleFolderFlags flags) {
    if (source.isEmpty()) throw Exception(QStringLiteral("Ingen mapp angavs att hantera."));
    const QString src = withSlash(source);
    const QString dst = withSlash(dest.isEmpty() ? QDir::currentPath() : dest);
    const bool copyOrMove = flags.testAnyFlags(HF_COPY | HF_MOVE);
    const QString srcResolved = resolvedFolder(src);
    const QString dstResolved = resolvedFolder(dst);
    if (copyOrMove && srcResolved == dstResolved)
        throw Exception(QStringLiteral("Mappen \"%1\" kan inte kopieras eller flyttas till sig själv.")
                            .arg(QDir::toNativeSeparators(source)));
    int operations = 0;
    for (THandleFolderFlag op : {HF_DELETE, HF_COPY, HF_MOVE, HF_COUNT})
        if (flags.testFlag(op)) ++operations;
    if (operations != 1)
        throw Exception(QStringLiteral("En mapp kan bara räknas, kopieras, raderas eller flyttas, en sak i taget."));
    // Copying into itself would never end, and a move would move the destination away.
    if (copyOrMove && dstResolved.startsWith(srcResolved))
        throw Exception(QStringLiteral("Mappen \"%1\" kan inte kopieras eller flyttas in i sig själv (\"%2\").")
                            .arg(QDir::toNativeSeparators(source), QDir::toNativeSeparators(dest)));

    // A link given as the source would take a delete or a move out of the tree.
    if (flags.testAnyFlags(HF_DELETE | HF_MOVE) &&
        QFileInfo(QDir::cleanPath(QFileInfo(source).absoluteFilePath())).isSymLink())
        throw Exception(QStringLiteral("Mappen \"%1\" är en symbolisk länk och hanteras inte.")
                            .arg(QDir::toNativeSeparators(source)));
    if (!QFileInfo(src).isDir()) return;
    if (copyOrMove) Walk::makeFolder(dst);
    Walk{totals, flags}.run(src, dst);
}

// ---- Article folders ----

namespace {

void CollectArticleFiles(const QString& folder, const QString& prefix, QStringList& files, qint64& total) {
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::Files | QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& fi : entries) {
        const QString name = fi.fileName();
        // Dot names are a system's housekeeping, not article content; links may lead anywhere.
        if (name.startsWith(QLatin1Char('.')) || fi.isSymLink()) continue;
        if (fi.isDir()) {
            CollectArticleFiles(fi.absoluteFilePath(), prefix + name + QLatin1Char('/'), files, total);
        } else if (fi.isFile()) {
            files << prefix + name;
            total += fi.size();
        }
    }
}

}  // namespace

QStringList ArticleFolderFiles(const QString& folder, qint64* totalSize) {
    QStringList files;
    qint64 total = 0;
    if (QFileInfo(folder).isDir()) CollectArticleFiles(folder, QString(), files, total);
    if (totalSize) *totalSize = total;
    return files;
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
            const QStringList entries = QDir(path).entryList((wantFile ? QDir::Files : QDir::Dirs) | QDir::Hidden |
                                                             QDir::NoDotAndDotDot | QDir::NoSymLinks);
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

int Round(double value) {
    const double r = std::nearbyint(value);
    if (!std::isfinite(r) || r < double(INT_MIN) || r > double(INT_MAX))
        throw Exception(QStringLiteral("Ogiltigt flyttal vid avrundning"));
    return int(r);
}
