#pragma once
// Free routines shared by the whole program: the folder walker and small text, key and
// version helpers, and the binary stream records (platform/StreamRecords.h, which the script
// engine uses as well). The keyboard, text-wrapping and picture helpers are in MyVisualUtils.
#include <QDateTime>
#include <QFlags>
#include <QString>
#include <QStringList>

#include "platform/Exception.h"
#include "platform/StreamRecords.h"

class QIODevice;

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
// The usual causes of a failed file operation in Swedish; others in the system's words.
QString SystemReason(int error);

void HandleFolders(const QString& source, const QString& dest, TFolderTotals& totals, THandleFolderFlags flags);

// ---- Article folders ----
// The files that packing a folder takes: every file below it, with the names relative to it
// ("/" separated), skipping every name that begins with "." and never following a symbolic
// link. Their sizes add up into totalSize when it is given.
QStringList ArticleFolderFiles(const QString& folder, qint64* totalSize = nullptr);

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

// Round: to the nearest integer, a tie to the even one. A value that is not a number or
// lies outside the integer range raises "Ogiltigt flyttal vid avrundning".
int Round(double value);
