#pragma once
// Free routines shared by the whole program: binary stream records, the folder walker and
// small text, key and version helpers. The keyboard, text-wrapping and picture helpers are
// in MyVisualUtils.
//
// Stream records (integers are 4 bytes, little-endian):
//   integer  4 bytes
//   string   integer length N (0..65536), then N bytes of UTF-8 text
//   file     string "BOFFILE", integer size, integer date-time stamp (DOS date and time
//            words, local time), the content, string "EOFFILE"
#include <QDateTime>
#include <QFlags>
#include <QString>
#include <QStringList>

#include "platform/Exception.h"

class QIODevice;

// ---- Stream records ----
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

// ---- Folder walker ----
enum class THandleFolderFlag {
    Delete = 1,
    Copy = 2,
    Move = 4,
    Recursive = 8,
    Folders = 16,
    Files = 32,
    Count = 64,
};
Q_DECLARE_FLAGS(THandleFolderFlags, THandleFolderFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(THandleFolderFlags)
// The flags by their usual names: HF_COPY | HF_RECURSIVE | HF_FILES.
inline constexpr THandleFolderFlag HF_DELETE = THandleFolderFlag::Delete;
inline constexpr THandleFolderFlag HF_COPY = THandleFolderFlag::Copy;
inline constexpr THandleFolderFlag HF_MOVE = THandleFolderFlag::Move;
inline constexpr THandleFolderFlag HF_RECURSIVE = THandleFolderFlag::Recursive;
inline constexpr THandleFolderFlag HF_FOLDERS = THandleFolderFlag::Folders;
inline constexpr THandleFolderFlag HF_FILES = THandleFolderFlag::Files;
inline constexpr THandleFolderFlag HF_COUNT = THandleFolderFlag::Count;

// What HandleFolders adds to; the caller sets it to zero first.
struct TFolderTotals {
    qint64 Bytes = 0;
    qint64 Files = 0;
    qint64 Folders = 0;
    QStringList* List = nullptr;  // when set, receives the full path of every handled file
};

// Counts, copies, moves or deletes the content of Source (exactly one of HF_COUNT,
// HF_COPY, HF_MOVE, HF_DELETE). Symbolic links met in the walk are never followed: delete
// removes the link itself, the other operations skip it; a source that is a link is refused
// by delete and move. Copy and move refuse a destination equal to or inside the source.
// Every failure raises: a folder that cannot be listed, created or removed, a file whose
// copy could not be verified. A move across file systems copies each file (every step
// checked) and removes the source only after its copy is whole.
void HandleFolders(const QString& source, const QString& dest, TFolderTotals& totals, THandleFolderFlags flags);

// ---- Names from outside ----
// The file or folder below Folder that a relative name ("/" or "\" between its parts) names,
// each part found without regard to case, as on the case-blind file systems that outside data
// (articles, picture CDs) comes from. Empty when there is none, when a part is a symbolic
// link, or when the name would lead out of the folder (absolute, with a drive, too many "..").
enum class TPathKind { File, Folder };
QString ResolvePathNoCase(const QString& folder, const QString& relativeName, TPathKind kind);

// ---- Small helpers ----
// Appends "/" unless the path already ends with "/" or "\".
QString AddTrailingBackslash(const QString& path);
// Items of the program's own version information (0 Comments, 1 CompanyName,
// 2 LegalCopyright, 3 FileDescription, 4 OriginalFileName, 5 FileVersion, 6 InternalName,
// 7 ProductVersion, 8 ProductName, 9 Versionsdatum). Another file carries none, so its
// items are empty. An empty FileName means the program.
QString GetVersionInfoItem(const QString& fileName, int index);
QString ReplaceFirst(const QString& text, const QString& oldText, const QString& newText);
void NextToken(const QString& separator, QString& text, QString& token);
// "hh:mm:ss"; the hours are not limited to 24.
QString MsToTimeStr(quint64 milliseconds);
// Percent-encodes every byte of the UTF-8 text but letters, digits, "-", "_" and "~"
// (so a blank is "%20", a full stop "%2E", a comma "%2C" and the at-sign "%40").
QString EncodeUrlChars(const QString& text);
void SwapIntegers(int& a, int& b);
bool IsIntegerStr(const QString& text);
QString RemoveSpaces(const QString& text);
