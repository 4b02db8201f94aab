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
    qint64 FileSize = 0;  // the real size of the file
    qint64 EndPos = 0;  // where the end record lies
    qint64 DataEnd = 0;  // end of the archive: end record + comment
    quint16 ThisDisk = 0;  // number of this disk
    quint16 CentralDisk = 0;  // disk on which the central directory starts
    quint64 EntriesThisDisk = 0;
    quint64 TotalEntries = 0;
    quint64 CentralSize = 0;
    quint64 CentralOffset = 0;  // as recorded in the end record
    qint64 CentralStart = 0;  // where the central directory really starts; -1 when it
        // begins on an earlier disk of a spanned set
    qint64 SfxOffset = 0;  // bytes in front of the archive that the offsets ignore
    QByteArray Comment;
    QByteArray Record;  // the 22 bytes of the end record
    bool Zip64 = false;
    bool TrailingData = false;  // bytes after the comment that are not zero padding to 512
};

// Searches backwards from the end for the end record. A candidate counts only when its
// comment lies inside the file and its central directory's offset and size agree with
// where it stands (directly or shifted by a prefix such as a self-extractor stub), so a
// "PK\5\6" inside a comment or compressed data does not mislead it. The last volume of a
// spanned set whose central directory begins on an earlier disk can't be checked that
// way: such a record counts when its comment ends the file and no checked record holds
// it in its comment. A zip64 end record is used whenever its locator stands right before
// the end record, saturated fields or not. Never
// reads outside the file.
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

// ---- Spanned sets ----
// Why joining or splitting stopped; each reason has its own message in the component.
enum class TJoinError {
    None,
    EndRecord,  // no end record on the last volume
    FirstSignature,  // the first volume doesn't begin with the spanning signature
    CentralRead,
    CentralSignature,
    CentralName,
    CentralExtra,
    CentralComment,
    LocalRead,
    LocalSignature,
    LocalName,
    LocalExtra,
    Data,  // entry data ends early
    Descriptor,  // a data descriptor ends early
    Comment,  // the archive comment ends early
    WriteLocal,
    WriteCentral,
    WriteEnd,
    Write,  // writing entry data (or the spanning signature) failed
    NoVolume,  // the caller gave no volume
    Zip64,  // the set would need zip64 fields
};

// What a span copy reports as it goes. Every member may be left empty.
struct TSpanObserver {
    // An entry of the central directory (by its index there) is about to be copied: where
    // its local header lies in the set (disk from 0, offset on that disk) and its whole
    // size (local header, data and descriptor).
    std::function<void(qsizetype index, const TCentralEntry& entry, int disk, qint64 offset, qint64 size)> Entry;
    // The central directory is about to be copied.
    std::function<void()> Central;
    // A piece of entry data of that many bytes has been copied.
    std::function<void(qint64 bytes)> Piece;
};

// The length of the data descriptor behind an entry's data (flag bit 3), told by its
// signature and by which sizes it holds: 12 or 16 bytes, 20 or 24 with 8-byte sizes
// (written by streaming writers, with or without a zip64 field in the local header).
// `after` holds the bytes that follow the data (24 are enough).
qint64 DescriptorLength(const QByteArray& after, quint64 compressed, quint64 uncompressed, bool zip64Local);

// Joins the volumes of a spanned set into one plain archive written to `out`. `end` is the
// end record found on the set's last volume; `volume(k)` gives the device of disk k (from
// 0), or null to stop. Entries are found by their disk and local-header offset and copied
// in that order (so each disk is wanted once), in pieces of at most 10,240 bytes; their
// sizes come from the central directory, a read that reaches a volume's end goes on at
// the start of the next. The first volume must begin with the spanning signature.
TJoinError JoinVolumes(const TEndOfCentral& end, const std::function<QIODevice*(int)>& volume, QIODevice& out,
                       const TSpanObserver& observer = {});

// Reads the central directory of a spanned set that `end` describes (on the last volume),
// starting on its own disk and going on over the following ones.
TJoinError ReadSpannedCentral(const TEndOfCentral& end, const std::function<QIODevice*(int)>& volume,
                              QList<TCentralEntry>& out);

// Splits the plain archive `in` (its end record `end`) into volumes. `room(k)` tells what
// volume k (from 0) may hold; it is asked again for a volume once that volume is opened,
// and for the next one as an estimate. `volume(k)` opens the device of volume k, or gives
// null to stop. The first volume begins with the spanning signature; local headers,
// central records and the end record never split across volumes, entry data may. Headers
// get their disk numbers and offsets within their volume. `volumes` receives the number of
// volumes written.
TJoinError SplitArchive(QIODevice& in, const TEndOfCentral& end, const std::function<qint64(int)>& room,
                        const std::function<QIODevice*(int)>& volume, int& volumes, const TSpanObserver& observer = {});

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
// Where an entry of the archive may be unpacked below a base folder: SafeRelativePath of
// its decoded name, or an empty text for an entry that must not be written (an unsafe name,
// or a symbolic link, which could lead a later entry out of the folder). The one refusal
// that the unpacking module and the self-extractor share.
QString SafeEntryPath(const TCentralEntry& entry, const QString& decodedName);
// Whether the entry is AES-encrypted in the AE-2 form, whose CRC field is 0 by design.
bool IsAE2Entry(const TCentralEntry& entry);

// ---- Self-extracting archives ----
// The settings header that stands between the extractor stub and the zip data, read by the
// builder when it turns an executable back into a zip and by the stub when it runs.
struct TSfxSettings {
    quint16 Options = 256;  // 1 ask about the command, 2 ask about the files, 4 hide the
        // overwrite choice, 8 run without questions, 16 no success note
    quint8 OverwriteMode = 2;  // 0 always, 1 never, 2 ask
    quint32 MessageType = 0;  // 65 OK/Cancel, 36 Yes/No, 0 a plain note
    QString Caption, DefaultDir, CommandLine, Message;
    // The header, zero-padded to a multiple of 4, followed by its 8-byte trailer.
    QByteArray HeaderBytes() const;
    // Reads the header that ends right before `end` in `data`; false when there is none.
    static bool FromBytes(const QByteArray& data, qsizetype end, TSfxSettings& out);
};

// ---- Removing a file ----
// Removes a file, to the desktop's trash when `toTrash` asks for it and the trash can take
// it: only when the user's data folder exists (else the toolkit's trash would land in the
// current folder), and only counted when the file really arrived in a trash folder; in
// every other case the file is removed for good. True when the file is gone from its place.
bool RemoveFile(const QString& path, bool toTrash);

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
