#pragma once
// What the zip component and both library modules share: the one end-of-central-directory
// finder, entry-name decoding and checking, Windows-style wildcard matching and CRC-32.
#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>
#include <functional>

class QIODevice;

namespace zipcommon {

// ---- End of central directory ----
struct TEndOfCentral {
    bool Found = false;
    qint64 FileSize = 0;          // the real size of the file
    qint64 EndPos = 0;            // where the end record lies
    qint64 DataEnd = 0;           // end of the archive: end record + comment
    quint16 ThisDisk = 0;         // number of this disk
    quint16 CentralDisk = 0;      // disk on which the central directory starts
    quint64 EntriesThisDisk = 0;
    quint64 TotalEntries = 0;
    quint64 CentralSize = 0;
    quint64 CentralOffset = 0;    // as recorded in the end record
    qint64 CentralStart = 0;      // where the central directory really starts
    qint64 SfxOffset = 0;         // bytes in front of the archive that the offsets ignore
    QByteArray Comment;
    QByteArray Record;            // the 22 bytes of the end record
    bool Zip64 = false;
    bool TrailingData = false;    // bytes after the comment that are not zero padding to 512
};

// Searches backwards from the end for the end record. A candidate counts only when its
// comment lies inside the file and its central directory's offset and size agree with
// where it stands (directly or shifted by a prefix such as a self-extractor stub), so a
// "PK\5\6" inside a comment or compressed data does not mislead it. Zip64 records are
// followed when the end record points to them. Never reads outside the file.
TEndOfCentral FindEndOfCentral(QIODevice& file);

// One header of the central directory, as stored (sizes and offset widened by zip64).
struct TCentralEntry {
    quint8 VersionMadeBy = 0;
    quint8 HostSystem = 0;
    quint16 VersionNeeded = 0;
    quint16 Flags = 0;
    quint16 Method = 0;
    quint16 Time = 0, Date = 0;
    quint32 Crc = 0;
    quint64 CompressedSize = 0;
    quint64 UncompressedSize = 0;
    quint16 NameLength = 0, ExtraLength = 0, CommentLength = 0;
    quint32 DiskStart = 0;
    quint16 InternalAttributes = 0;
    quint32 ExternalAttributes = 0;
    quint64 LocalHeaderOffset = 0;
    QByteArray RawName, Extra, RawComment;
};

// Why reading the central directory stopped.
enum class TCentralError { None, Seek, ShortHeader, Signature, ShortName, ShortExtra, ShortComment };

// Reads the central directory that the end record describes, header by header; stops at
// the first fault. Never reads outside the file, never trusts a count beyond what fits.
TCentralError ReadCentralDirectory(QIODevice& file, const TEndOfCentral& end, QList<TCentralEntry>& out);

// ---- Moving an archive ----
// Results of MoveZipData.
enum TMoveResult { MoveOk = 0, MoveShortWrite = -2, MoveReadError = -3, MoveNoZip = -102, MoveNeedsZip64 = -103 };
// Copies the archive that `end` describes in `in`, from `dataStart` (the first byte of `in`
// to keep) to the end of its comment, to the current position of `out`, where `lead` bytes
// stand in front of it. Every local-header offset of the central directory and the
// directory's own offset are moved to count from the start of `out`; the end record keeps
// the archive comment. Archives that need zip64 fields are refused, as the 32-bit offsets
// could not hold them.
TMoveResult MoveZipData(QIODevice& in, const TEndOfCentral& end, qint64 dataStart, QIODevice& out, qint64 lead);
// Where the zip data of `in` begins: the smallest real local-header position (0 for an
// archive without entries); -1 when the directory can't be read.
qint64 ZipDataStart(QIODevice& in, const TEndOfCentral& end);

// ---- Joining a spanned set ----
// Why joining stopped.
enum class TJoinError { None, EndRecord, FirstSignature, CentralRead, CentralSignature, LocalRead, LocalSignature,
                        Data, Write, Zip64 };
// Joins the volumes of a spanned set, in disk order (the first beginning with the spanning
// signature, the last holding the end record), into one plain archive written to `out`.
// Entries are found by their disk and local-header offset, their sizes taken from the
// central directory and a data descriptor recognised by its signature; every read stays
// inside the volumes.
TJoinError JoinVolumes(const QList<QIODevice*>& volumes, QIODevice& out);

// Splits the plain archive `in` (its end record `end`) into volumes of at most `firstRoom`
// bytes for the first and `room` for the others. `volume(k)` gives the device of disk k
// (from 0), or null to stop. The first volume begins with the spanning signature; local
// headers, central records and the end record never split across volumes, entry data may.
// Headers get the disk numbers and offsets within their volume. `volumes` receives the
// number of volumes written.
TJoinError SplitArchive(QIODevice& in, const TEndOfCentral& end, qint64 firstRoom, qint64 room,
                        const std::function<QIODevice*(int)>& volume, int& volumes);

// ---- Names ----
// How the eight-bit names of the archive are read.
enum class TNameCodePage { Auto, None, OEM };
// True when the name of an entry is taken as OEM (CP850): with OEM asked for, or in the
// automatic mode for a DOS host (0); always for hosts 6 (OS/2 HPFS) and 11 (NTFS) with
// version 5.0.
bool IsOEMName(TNameCodePage codePage, int hostSystem, int versionMadeBy);
// Decodes a stored name or comment: flag bit 11 means UTF-8; else an OEM name is CP850;
// else valid UTF-8 is UTF-8; else Windows-1252.
QString DecodeName(const QByteArray& raw, quint16 flags, int hostSystem, int versionMadeBy,
                   TNameCodePage codePage = TNameCodePage::Auto);
QString FromCP850(const QByteArray& raw);
QByteArray ToCP850(const QString& text);  // characters CP850 lacks become '_'
QString FromCP1252(const QByteArray& raw);

// Cleans an entry name for writing below a base folder: "\" counts as "/", empty and "."
// components are dropped. Returns the relative path with "/" or an empty text when the
// name must not be written (a ".." component, a leading separator, a drive prefix, a
// control character, nothing left).
QString SafeRelativePath(const QString& name);

// ---- Wildcards ----
// Windows-style matching, without regard to case: "*" any run, "?" one character; "*.*"
// matches every name, also those without a dot.
bool WildcardMatch(const QString& pattern, const QString& name);
bool HasWildcards(const QString& text);

// ---- CRC-32 (as in zip) ----
quint32 Crc32(quint32 crc, const char* data, qint64 size);

// ---- DOS date and time ----
// The local time of a DOS date/time pair; an invalid pair gives 1980-01-01.
qint64 DosToUnixTime(quint16 dosDate, quint16 dosTime);

}  // namespace zipcommon
