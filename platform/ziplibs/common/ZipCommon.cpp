#include "ZipCommon.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QIODevice>
#include <QStringList>
#include <algorithm>
#include <array>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/Windows1252.h"

namespace zipcommon {

namespace {

// Bytes 0x80-0xFF of code page 850 (Windows-1252 has its own unit).
const char16_t kCP850[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x00C1, 0x00C2, 0x00C0, 0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x00A4, 0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE, 0x00CF, 0x2518, 0x250C,
    0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580, 0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE,
    0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD, 0x00AF, 0x00B4, 0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6,
    0x00A7, 0x00F7, 0x00B8, 0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0};

quint16 U16(const char* p) { return quint16(uchar(p[0]) | (uchar(p[1]) << 8)); }
quint32 U32(const char* p) { return quint32(U16(p)) | (quint32(U16(p + 2)) << 16); }
quint64 U64(const char* p) { return quint64(U32(p)) | (quint64(U32(p + 4)) << 32); }

QByteArray ReadAt(QIODevice& file, qint64 pos, qint64 size) {
    if (pos < 0 || size <= 0 || !file.seek(pos)) return {};
    return file.read(size);
}

bool HasSignature(QIODevice& file, qint64 pos, const char* sig) {
    const QByteArray b = ReadAt(file, pos, 4);
    return b.size() == 4 && b == QByteArray(sig, 4);
}

// Checks a candidate end record at pos (its 22 bytes in rec) and fills the result when the
// central directory it describes fits where it stands. `unchecked` tells a record whose
// directory begins on an earlier disk, which only its place in the file vouches for.
bool AcceptCandidate(QIODevice& file, qint64 size, qint64 pos, const char* rec, TEndOfCentral& out, bool& unchecked) {
    unchecked = false;
    const quint16 commentLen = U16(rec + 20);
    if (pos + 22 + commentLen > size) return false;
    TEndOfCentral e;
    e.FileSize = size;
    e.EndPos = pos;
    e.DataEnd = pos + 22 + commentLen;
    e.ThisDisk = U16(rec + 4);
    e.CentralDisk = U16(rec + 6);
    e.EntriesThisDisk = U16(rec + 8);
    e.TotalEntries = U16(rec + 10);
    e.CentralSize = U32(rec + 12);
    e.CentralOffset = U32(rec + 16);
    qint64 centralEnd = pos;
    // A zip64 end record stands in front of its locator, which stands right before the end
    // record. Writers put them there whenever one entry needs zip64, also when no field of
    // the end record is saturated, so the locator is always looked for.
    if (pos >= 20 + 56) {
        const QByteArray loc = ReadAt(file, pos - 20, 20);
        if (loc.size() == 20 && loc.startsWith(QByteArray("PK\x06\x07", 4))) {
            // The recorded offset ignores a prefix such as a self-extractor stub, so the
            // place right before the locator (a record without extensible data) is tried
            // first; a record counts only when it ends where the locator begins.
            const qint64 locator = pos - 20;
            const quint64 recorded = U64(loc.constData() + 8);
            QList<qint64> places;
            places << locator - 56;
            if (recorded < quint64(locator) && qint64(recorded) != locator - 56) places << qint64(recorded);
            for (qint64 at : places) {
                const QByteArray z = ReadAt(file, at, 56);
                if (z.size() != 56 || !z.startsWith(QByteArray("PK\x06\x06", 4))) continue;
                const quint64 recordSize = U64(z.constData() + 4);
                if (recordSize < 44 || recordSize > quint64(locator) ||
                    quint64(at) + 12 + recordSize != quint64(locator))
                    continue;
                e.Zip64 = true;
                e.ThisDisk = quint16(qMin<quint32>(U32(z.constData() + 16), 0xFFFF));
                e.CentralDisk = quint16(qMin<quint32>(U32(z.constData() + 20), 0xFFFF));
                e.EntriesThisDisk = U64(z.constData() + 24);
                e.TotalEntries = U64(z.constData() + 32);
                e.CentralSize = U64(z.constData() + 40);
                e.CentralOffset = U64(z.constData() + 48);
                centralEnd = at;
                break;
            }
        }
    }
    if (e.CentralDisk < e.ThisDisk) {
        // The last volume of a set holds at most the directory's tail, and its end record
        // ends the file.
        if (e.DataEnd != size || e.EntriesThisDisk > e.TotalEntries || quint64(centralEnd) > e.CentralSize)
            return false;
        e.CentralStart = -1;
        e.Record = QByteArray(rec, 22);
        if (commentLen > 0) e.Comment = ReadAt(file, pos + 22, commentLen);
        e.Found = true;
        unchecked = true;
        out = e;
        return true;
    }
    if (e.CentralSize > quint64(centralEnd)) return false;
    const qint64 start = centralEnd - qint64(e.CentralSize);
    if (quint64(start) < e.CentralOffset) return false;
    // A central header takes at least 46 bytes.
    if (e.TotalEntries > e.CentralSize / 46 && e.ThisDisk == e.CentralDisk) return false;
    if (e.CentralSize > 0 && !HasSignature(file, start, "PK\x01\x02")) return false;
    e.CentralStart = start;
    e.SfxOffset = start - qint64(e.CentralOffset);
    e.Record = QByteArray(rec, 22);
    if (commentLen > 0) e.Comment = ReadAt(file, pos + 22, commentLen);
    if (e.DataEnd < size) {
        const qint64 extra = size - e.DataEnd;
        bool zeroPad = size % 512 == 0 && extra < 512;
        if (zeroPad) {
            const QByteArray tail = ReadAt(file, e.DataEnd, extra);
            zeroPad = tail.size() == extra && tail.count('\0') == extra;
        }
        e.TrailingData = !zeroPad;
    }
    e.Found = true;
    out = e;
    return true;
}

}  // namespace

TEndOfCentral FindEndOfCentral(QIODevice& file) {
    TEndOfCentral none;
    const qint64 size = file.size();
    none.FileSize = size;
    if (size < 22) return none;
    // The comment is at most 65,535 bytes; a little more is read so that zero padding up to
    // a multiple of 512 behind the archive does not hide its end record.
    const qint64 n = qMin<qint64>(size, 65535 + 22 + 512);
    const QByteArray tail = ReadAt(file, size - n, n);
    if (tail.size() != n) return none;
    const char* b = tail.constData();
    TEndOfCentral unchecked;
    for (qint64 i = n - 22; i >= 0; --i) {
        if (b[i] != 'P' || b[i + 1] != 'K' || b[i + 2] != 5 || b[i + 3] != 6) continue;
        TEndOfCentral found;
        bool isUnchecked = false;
        if (!AcceptCandidate(file, size, size - n + i, b + i, found, isUnchecked)) continue;
        if (isUnchecked) {
            // A checked record further back that holds this one in its comment is the real one.
            if (!unchecked.Found) unchecked = found;
            continue;
        }
        if (!unchecked.Found || found.DataEnd > unchecked.EndPos) return found;
    }
    if (unchecked.Found) return unchecked;
    none = TEndOfCentral();
    none.FileSize = size;
    return none;
}

TCentralError ReadCentralDirectory(QIODevice& file, const TEndOfCentral& end, QList<TCentralEntry>& out) {
    out.clear();
    if (!end.Found || end.CentralStart < 0) return TCentralError::Seek;
    if (!file.seek(end.CentralStart)) return TCentralError::Seek;
    const qint64 stop = end.CentralStart + qint64(end.CentralSize);
    qint64 pos = end.CentralStart;
    for (quint64 i = 0; i < end.TotalEntries; ++i) {
        if (pos + 46 > stop) return TCentralError::ShortHeader;
        const QByteArray h = file.read(46);
        if (h.size() != 46) return TCentralError::ShortHeader;
        const char* p = h.constData();
        if (U32(p) != 0x02014B50u) return TCentralError::Signature;
        TCentralEntry e;
        e.VersionMadeBy = quint8(p[4]);
        e.HostSystem = quint8(p[5]);
        e.VersionNeeded = U16(p + 6);
        e.Flags = U16(p + 8);
        e.Method = U16(p + 10);
        e.Time = U16(p + 12);
        e.Date = U16(p + 14);
        e.Crc = U32(p + 16);
        e.CompressedSize = U32(p + 20);
        e.UncompressedSize = U32(p + 24);
        e.NameLength = U16(p + 28);
        e.ExtraLength = U16(p + 30);
        e.CommentLength = U16(p + 32);
        e.DiskStart = U16(p + 34);
        e.InternalAttributes = U16(p + 36);
        e.ExternalAttributes = U32(p + 38);
        e.LocalHeaderOffset = U32(p + 42);
        pos += 46;
        if (pos + e.NameLength > stop) return TCentralError::ShortName;
        e.RawName = file.read(e.NameLength);
        if (e.RawName.size() != e.NameLength) return TCentralError::ShortName;
        pos += e.NameLength;
        if (pos + e.ExtraLength > stop) return TCentralError::ShortExtra;
        e.Extra = file.read(e.ExtraLength);
        if (e.Extra.size() != e.ExtraLength) return TCentralError::ShortExtra;
        pos += e.ExtraLength;
        if (pos + e.CommentLength > stop) return TCentralError::ShortComment;
        e.RawComment = file.read(e.CommentLength);
        if (e.RawComment.size() != e.CommentLength) return TCentralError::ShortComment;
        pos += e.CommentLength;
        // Zip64: the fields that overflowed follow in the extra block 0x0001, in this order.
        for (qsizetype x = 0; x + 4 <= e.Extra.size();) {
            const quint16 tag = U16(e.Extra.constData() + x);
            const quint16 len = U16(e.Extra.constData() + x + 2);
            if (x + 4 + len > e.Extra.size()) break;
            if (tag == 0x0001) {
                const char* d = e.Extra.constData() + x + 4;
                qsizetype k = 0;
                auto take = [&](quint64& field) {
                    if (k + 8 <= len) {
                        field = U64(d + k);
                        k += 8;
                    }
                };
                if (e.UncompressedSize == 0xFFFFFFFFu) take(e.UncompressedSize);
                if (e.CompressedSize == 0xFFFFFFFFu) take(e.CompressedSize);
                if (e.LocalHeaderOffset == 0xFFFFFFFFu) take(e.LocalHeaderOffset);
                if (e.DiskStart == 0xFFFF && k + 4 <= len) e.DiskStart = U32(d + k);
                break;
            }
            x += 4 + len;
        }
        out.append(e);
    }
    return TCentralError::None;
}

namespace {
void Set16(char* p, quint16 v) {
    p[0] = char(v & 0xFF);
    p[1] = char(v >> 8);
}
void Set32(char* p, quint32 v) {
    Set16(p, quint16(v & 0xFFFF));
    Set16(p + 2, quint16(v >> 16));
}
bool WriteAll(QIODevice& out, const QByteArray& b) { return out.write(b) == b.size(); }
}  // namespace

qint64 ZipDataStart(QIODevice& in, const TEndOfCentral& end) {
    QList<TCentralEntry> central;
    if (ReadCentralDirectory(in, end, central) != TCentralError::None) return -1;
    qint64 start = end.CentralStart;
    for (const TCentralEntry& c : central) {
        const qint64 real = qint64(qMin<quint64>(c.LocalHeaderOffset, quint64(end.FileSize))) + end.SfxOffset;
        start = qMin(start, real);
    }
    return qBound<qint64>(0, start, end.CentralStart);
}

TMoveResult MoveZipData(QIODevice& in, const TEndOfCentral& end, qint64 dataStart, QIODevice& out, qint64 lead) {
    if (!end.Found || dataStart < 0 || dataStart > end.CentralStart) return MoveNoZip;
    if (end.Zip64 || end.TotalEntries >= 0xFFFF) return MoveNeedsZip64;
    const qint64 shift = lead - dataStart;
    const qint64 newCentral = end.CentralStart + shift;
    if (newCentral < 0 || newCentral + qint64(end.CentralSize) + 22 + end.Comment.size() > qint64(0xFFFFFFFF))
        return MoveNeedsZip64;
    // The entries' data, as it is.
    constexpr qint64 kBlock = 196608;
    if (!in.seek(dataStart)) return MoveReadError;
    for (qint64 left = end.CentralStart - dataStart; left > 0;) {
        const QByteArray b = in.read(qMin(left, kBlock));
        if (b.isEmpty()) return MoveReadError;
        if (!WriteAll(out, b)) return MoveShortWrite;
        left -= b.size();
    }
    // The central directory, each header's local offset moved.
    QList<TCentralEntry> central;
    switch (ReadCentralDirectory(in, end, central)) {
        case TCentralError::None:
            break;
        case TCentralError::Signature:
            return MoveNoZip;
        default:
            return MoveReadError;
    }
    if (!in.seek(end.CentralStart)) return MoveReadError;
    for (const TCentralEntry& c : central) {
        QByteArray h = in.read(46);
        if (h.size() != 46) return MoveReadError;
        if (U32(h.constData()) != 0x02014B50u) return MoveNoZip;
        const quint32 stored = U32(h.constData() + 42);
        if (stored == 0xFFFFFFFFu || U32(h.constData() + 20) == 0xFFFFFFFFu || U32(h.constData() + 24) == 0xFFFFFFFFu)
            return MoveNeedsZip64;
        const qint64 moved = qint64(stored) + end.SfxOffset + shift;
        if (moved < 0 || moved > qint64(0xFFFFFFFE)) return MoveNeedsZip64;
        Set32(h.data() + 42, quint32(moved));
        const QByteArray rest = in.read(qint64(c.NameLength) + c.ExtraLength + c.CommentLength);
        if (rest.size() != qint64(c.NameLength) + c.ExtraLength + c.CommentLength) return MoveReadError;
        if (!WriteAll(out, h) || !WriteAll(out, rest)) return MoveShortWrite;
    }
    QByteArray rec = end.Record;
    if (rec.size() != 22) return MoveNoZip;
    Set32(rec.data() + 16, quint32(newCentral));
    if (!WriteAll(out, rec) || !WriteAll(out, end.Comment)) return MoveShortWrite;
    return MoveOk;
}

namespace {
const QByteArray kSpanSignature("PK\x07\x08", 4);

bool HasZip64Field(const QByteArray& extra) {
    for (qsizetype x = 0; x + 4 <= extra.size(); x += 4 + U16(extra.constData() + x + 2))
        if (U16(extra.constData() + x) == 0x0001) return true;
    return false;
}

// Whether a descriptor of the short form (4-byte sizes) holds the entry's sizes.
bool DescriptorFits32(const QByteArray& after, quint64 compressed, quint64 uncompressed) {
    const qsizetype at = after.startsWith(kSpanSignature) ? 4 : 0;
    return after.size() >= at + 12 && U32(after.constData() + at + 4) == compressed &&
        U32(after.constData() + at + 8) == uncompressed;
}

// A central header written from its fields, with its disk and local-header offset.
QByteArray CentralHeaderBytes(const TCentralEntry& c, quint16 disk, quint32 offset) {
    QByteArray h(46, '\0');
    char* p = h.data();
    Set32(p, 0x02014B50u);
    p[4] = char(c.VersionMadeBy);
    p[5] = char(c.HostSystem);
    Set16(p + 6, c.VersionNeeded);
    Set16(p + 8, c.Flags);
    Set16(p + 10, c.Method);
    Set16(p + 12, c.Time);
    Set16(p + 14, c.Date);
    Set32(p + 16, c.Crc);
    Set32(p + 20, quint32(c.CompressedSize));
    Set32(p + 24, quint32(c.UncompressedSize));
    Set16(p + 28, quint16(c.RawName.size()));
    Set16(p + 30, quint16(c.Extra.size()));
    Set16(p + 32, quint16(c.RawComment.size()));
    Set16(p + 34, disk);
    Set16(p + 36, c.InternalAttributes);
    Set32(p + 38, c.ExternalAttributes);
    Set32(p + 42, offset);
    return h + c.RawName + c.Extra + c.RawComment;
}

// An end record for a directory of `entries` records (`onDisk` of them on this disk).
QByteArray EndRecordBytes(quint16 disk, quint16 centralDisk, quint16 onDisk, quint16 entries, quint32 centralSize,
                          quint32 centralOffset, const QByteArray& comment) {
    QByteArray rec(22, '\0');
    Set32(rec.data(), 0x06054B50u);
    Set16(rec.data() + 4, disk);
    Set16(rec.data() + 6, centralDisk);
    Set16(rec.data() + 8, onDisk);
    Set16(rec.data() + 10, entries);
    Set32(rec.data() + 12, centralSize);
    Set32(rec.data() + 16, centralOffset);
    Set16(rec.data() + 20, quint16(comment.size()));
    return rec + comment;
}

// Entries too large for the 32-bit fields of a set (or of the joined archive).
bool NeedsZip64(const TCentralEntry& c) {
    return c.CompressedSize >= 0xFFFFFFFFu || c.UncompressedSize >= 0xFFFFFFFFu || c.LocalHeaderOffset >= 0xFFFFFFFFu ||
        c.DiskStart >= 0xFFFF;
}

TJoinError CentralErrorOf(TCentralError e) {
    switch (e) {
        case TCentralError::None:
            return TJoinError::None;
        case TCentralError::Seek:
        case TCentralError::ShortHeader:
            return TJoinError::CentralRead;
        case TCentralError::Signature:
            return TJoinError::CentralSignature;
        case TCentralError::ShortName:
            return TJoinError::CentralName;
        case TCentralError::ShortExtra:
            return TJoinError::CentralExtra;
        case TCentralError::ShortComment:
            return TJoinError::CentralComment;
    }
    return TJoinError::CentralRead;
}

// Reads a set disk by disk: a read that reaches the end of a volume goes on at the start
// of the next one. Disks are opened only when reading reaches them.
class TSpanInput {
public:
    TSpanInput(const std::function<QIODevice*(int)>& volume, int lastDisk) : m_volume(volume), m_last(lastDisk) {}
    bool Seek(qint64 disk, qint64 pos) {
        if (disk < 0 || disk > m_last || pos < 0) return false;
        m_disk = int(disk);
        m_pos = pos;
        return true;
    }
    int Disk() const { return m_disk; }
    qint64 Pos() const { return m_pos; }
    bool NoVolume() const { return m_noVolume; }
    // n bytes from the current place on; fewer where the set ends or a volume fails.
    QByteArray Read(qint64 n) {
        QByteArray out;
        while (n > 0) {
            QIODevice* dev = m_volume(m_disk);
            if (!dev) {
                m_noVolume = true;
                break;
            }
            const qint64 size = dev->size();
            if (m_pos > size) break;
            if (m_pos == size) {
                if (m_disk >= m_last) break;
                ++m_disk;
                m_pos = 0;
                continue;
            }
            if (!dev->seek(m_pos)) break;
            const QByteArray b = dev->read(qMin(n, size - m_pos));
            if (b.isEmpty()) break;
            out += b;
            m_pos += b.size();
            n -= b.size();
        }
        return out;
    }

private:
    const std::function<QIODevice*(int)>& m_volume;
    int m_last;
    int m_disk = 0;
    qint64 m_pos = 0;
    bool m_noVolume = false;
};

}  // namespace

qint64 DescriptorLength(const QByteArray& after, quint64 compressed, quint64 uncompressed, bool zip64Local) {
    const bool sig = after.startsWith(kSpanSignature);
    const qint64 shortLen = sig ? 16 : 12, longLen = sig ? 24 : 20;
    if (zip64Local) return longLen;
    if (DescriptorFits32(after, compressed, uncompressed)) return shortLen;
    const qsizetype at = sig ? 4 : 0;
    const bool fits64 = after.size() >= at + 20 && U64(after.constData() + at + 4) == compressed &&
        U64(after.constData() + at + 12) == uncompressed;
    return fits64 ? longLen : shortLen;
}

TJoinError ReadSpannedCentral(const TEndOfCentral& end, const std::function<QIODevice*(int)>& volume,
                              QList<TCentralEntry>& out) {
    out.clear();
    if (!end.Found) return TJoinError::EndRecord;
    if (end.Zip64) return TJoinError::Zip64;
    TSpanInput input(volume, end.ThisDisk);
    if (!input.Seek(end.CentralDisk, qint64(end.CentralOffset))) return TJoinError::CentralRead;
    QByteArray bytes = input.Read(qint64(end.CentralSize));
    if (input.NoVolume()) return TJoinError::NoVolume;
    if (bytes.size() != qint64(end.CentralSize)) return TJoinError::CentralRead;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    TEndOfCentral here = end;
    here.CentralStart = 0;
    return CentralErrorOf(ReadCentralDirectory(buffer, here, out));
}

TJoinError JoinVolumes(const TEndOfCentral& end, const std::function<QIODevice*(int)>& volume, QIODevice& out,
                       const TSpanObserver& observer) {
    QList<TCentralEntry> central;
    if (const TJoinError r = ReadSpannedCentral(end, volume, central); r != TJoinError::None) return r;
    if (end.Record.size() != 22 || end.Comment.size() != qsizetype(U16(end.Record.constData() + 20)))
        return TJoinError::Comment;
    if (central.size() >= 0xFFFF) return TJoinError::Zip64;
    for (const TCentralEntry& c : central)
        if (NeedsZip64(c)) return TJoinError::Zip64;
    TSpanInput input(volume, end.ThisDisk);
    auto failed = [&](TJoinError why) { return input.NoVolume() ? TJoinError::NoVolume : why; };
    input.Seek(0, 0);
    if (input.Read(4) != kSpanSignature) return failed(TJoinError::FirstSignature);
    // Entries in the order they lie in the set, so each disk is wanted once.
    QList<qsizetype> order;
    for (qsizetype i = 0; i < central.size(); ++i) order << i;
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        return std::pair(central[a].DiskStart, central[a].LocalHeaderOffset) <
            std::pair(central[b].DiskStart, central[b].LocalHeaderOffset);
    });
    constexpr qint64 kPiece = 10240;
    QList<qint64> written(central.size());
    qint64 pos = 0;
    for (qsizetype i : order) {
        const TCentralEntry& c = central[i];
        if (!input.Seek(c.DiskStart, qint64(c.LocalHeaderOffset))) return TJoinError::LocalRead;
        const QByteArray local = input.Read(30);
        if (local.size() != 30) return failed(TJoinError::LocalRead);
        if (U32(local.constData()) != 0x04034B50u) return TJoinError::LocalSignature;
        const QByteArray name = input.Read(U16(local.constData() + 26));
        if (name.size() != U16(local.constData() + 26)) return failed(TJoinError::LocalName);
        const QByteArray extra = input.Read(U16(local.constData() + 28));
        if (extra.size() != U16(local.constData() + 28)) return failed(TJoinError::LocalExtra);
        const qint64 dataLen = qint64(c.CompressedSize);
        if (observer.Entry)
            observer.Entry(i, c, int(c.DiskStart), qint64(c.LocalHeaderOffset),
                           30 + name.size() + extra.size() + dataLen);
        if (pos > qint64(0xFFFFFFFE)) return TJoinError::Zip64;
        written[i] = pos;
        if (out.write(local + name + extra) != local.size() + name.size() + extra.size()) return TJoinError::WriteLocal;
        pos += local.size() + name.size() + extra.size();
        for (qint64 done = 0; done < dataLen;) {
            const QByteArray piece = input.Read(qMin(kPiece, dataLen - done));
            if (piece.isEmpty()) return failed(TJoinError::Data);
            if (out.write(piece) != piece.size()) return TJoinError::Write;
            done += piece.size();
            pos += piece.size();
            if (observer.Piece) observer.Piece(piece.size());
        }
        if (c.Flags & 8) {
            // Read no further than the descriptor needs, so no disk is asked for in vain.
            const bool zip64Local = HasZip64Field(extra);
            QByteArray desc = input.Read(4);
            desc += input.Read(desc.startsWith(kSpanSignature) ? 12 : 8);
            const qint64 shortLen = desc.size();
            if (shortLen != (desc.startsWith(kSpanSignature) ? 16 : 12)) return failed(TJoinError::Descriptor);
            const int afterShort = input.Disk();
            const qint64 afterShortPos = input.Pos();
            if (zip64Local || !DescriptorFits32(desc, c.CompressedSize, c.UncompressedSize)) desc += input.Read(8);
            const qint64 len = DescriptorLength(desc, c.CompressedSize, c.UncompressedSize, zip64Local);
            if (desc.size() < len) return failed(TJoinError::Descriptor);
            if (len < desc.size()) {
                desc.truncate(len);
                input.Seek(afterShort, afterShortPos);
            }
            if (out.write(desc) != desc.size()) return TJoinError::Descriptor;
            pos += desc.size();
        }
    }
    if (observer.Central) observer.Central();
    const qint64 centralStart = pos;
    for (qsizetype i = 0; i < central.size(); ++i) {
        const QByteArray h = CentralHeaderBytes(central[i], 0, quint32(written[i]));
        if (out.write(h) != h.size()) return TJoinError::WriteCentral;
        pos += h.size();
    }
    if (pos > qint64(0xFFFFFFFF)) return TJoinError::Zip64;
    const QByteArray rec = EndRecordBytes(0, 0, quint16(central.size()), quint16(central.size()),
                                          quint32(pos - centralStart), quint32(centralStart), end.Comment);
    if (out.write(rec) != rec.size()) return TJoinError::WriteEnd;
    return TJoinError::None;
}

TJoinError SplitArchive(QIODevice& in, const TEndOfCentral& end, const std::function<qint64(int)>& room,
                        const std::function<QIODevice*(int)>& volume, int& volumes, const TSpanObserver& observer) {
    volumes = 0;
    if (!end.Found) return TJoinError::EndRecord;
    if (end.Zip64 || end.TotalEntries >= 0xFFFF) return TJoinError::Zip64;
    QList<TCentralEntry> central;
    if (const TJoinError r = CentralErrorOf(ReadCentralDirectory(in, end, central)); r != TJoinError::None) return r;
    for (const TCentralEntry& c : central)
        if (NeedsZip64(c)) return TJoinError::Zip64;
    int disk = -1;
    qint64 used = 0, cap = 0;
    QIODevice* out = nullptr;
    auto next = [&]() {
        ++disk;
        used = 0;
        out = volume(disk);
        if (!out) return false;
        volumes = disk + 1;
        cap = room(disk);
        return true;
    };
    // A piece that must stay whole goes on a fresh volume when it doesn't fit in this one.
    auto place = [&](qint64 size) { return used == 0 || used + size <= cap || next(); };
    auto whole = [&](const QByteArray& b, TJoinError why) {
        if (!place(b.size())) return TJoinError::NoVolume;
        if (b.size() > cap || out->write(b) != b.size()) return why;
        used += b.size();
        return TJoinError::None;
    };
    if (!next()) return TJoinError::NoVolume;
    if (const TJoinError r = whole(kSpanSignature, TJoinError::Write); r != TJoinError::None) return r;
    // Entries in file order, each found by its own header offset.
    QList<qsizetype> order;
    for (qsizetype i = 0; i < central.size(); ++i) order << i;
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        return central[a].LocalHeaderOffset < central[b].LocalHeaderOffset;
    });
    QList<int> diskOf(central.size());
    QList<qint64> offsetOf(central.size());
    constexpr qint64 kPiece = 65536;
    for (qsizetype i : order) {
        const TCentralEntry& c = central[i];
        const qint64 from = qint64(c.LocalHeaderOffset) + end.SfxOffset;
        const QByteArray local = ReadAt(in, from, 30);
        if (local.size() != 30) return TJoinError::LocalRead;
        if (U32(local.constData()) != 0x04034B50u) return TJoinError::LocalSignature;
        const qint64 nameLen = U16(local.constData() + 26), extraLen = U16(local.constData() + 28);
        const QByteArray name = ReadAt(in, from + 30, nameLen);
        if (name.size() != nameLen) return TJoinError::LocalName;
        const QByteArray extra = ReadAt(in, from + 30 + nameLen, extraLen);
        if (extra.size() != extraLen) return TJoinError::LocalExtra;
        const QByteArray head = local + name + extra;
        const qint64 dataLen = qint64(c.CompressedSize);
        const qint64 descLen = (c.Flags & 8)
            ? DescriptorLength(ReadAt(in, from + head.size() + dataLen, 24), c.CompressedSize, c.UncompressedSize,
                               HasZip64Field(extra))
            : 0;
        if (!place(head.size())) return TJoinError::NoVolume;
        diskOf[i] = disk;
        offsetOf[i] = used;
        if (observer.Entry) observer.Entry(i, c, disk, used, head.size() + dataLen + descLen);
        if (const TJoinError r = whole(head, TJoinError::WriteLocal); r != TJoinError::None) return r;
        // The data may run on over the following volumes.
        for (qint64 done = 0; done < dataLen + descLen;) {
            if (used >= cap && !next()) return TJoinError::NoVolume;
            const qint64 take = std::min<qint64>({dataLen + descLen - done, cap - used, kPiece});
            const QByteArray piece = ReadAt(in, from + head.size() + done, take);
            const TJoinError why = done + take > dataLen ? TJoinError::Descriptor : TJoinError::Data;
            if (piece.size() != take) return why;
            if (out->write(piece) != take) return why == TJoinError::Data ? TJoinError::Write : why;
            used += take;
            done += take;
            if (observer.Piece) observer.Piece(take);
        }
    }
    if (observer.Central) observer.Central();
    // The central directory, its records whole, then the end record. They go together onto
    // one volume where they fit in one, so the last volume alone tells where its set's
    // directory is.
    QList<QByteArray> headers;
    qint64 tail = 22 + end.Comment.size();
    for (qsizetype i = 0; i < central.size(); ++i) {
        headers << CentralHeaderBytes(central[i], quint16(diskOf[i]), quint32(offsetOf[i]));
        tail += headers.last().size();
    }
    if (tail <= room(disk + 1) && used + tail > cap && !next()) return TJoinError::NoVolume;
    int centralDisk = -1;
    qint64 centralOffset = 0, centralSize = 0;
    int countDisk = -1;
    quint16 countOnDisk = 0;
    for (const QByteArray& h : headers) {
        if (!place(h.size())) return TJoinError::NoVolume;
        if (centralDisk < 0) {
            centralDisk = disk;
            centralOffset = used;
        }
        if (const TJoinError r = whole(h, TJoinError::WriteCentral); r != TJoinError::None) return r;
        centralSize += h.size();
        if (disk != countDisk) {
            countDisk = disk;
            countOnDisk = 0;
        }
        ++countOnDisk;
    }
    if (!place(22 + end.Comment.size())) return TJoinError::NoVolume;
    if (centralDisk < 0) {
        centralDisk = disk;
        centralOffset = used;
    }
    return whole(EndRecordBytes(quint16(disk), quint16(centralDisk), countDisk == disk ? countOnDisk : quint16(0),
                                quint16(central.size()), quint32(centralSize), quint32(centralOffset), end.Comment),
                 TJoinError::WriteEnd);
}

bool IsOEMName(TNameCodePage codePage, int hostSystem, int versionMadeBy) {
    if (codePage == TNameCodePage::OEM) return true;
    if (codePage == TNameCodePage::Auto && hostSystem == 0) return true;
    return hostSystem == 6 || (hostSystem == 11 && versionMadeBy == 50);
}

static QString FromTable(const QByteArray& raw, const char16_t* table) {
    QString s;
    s.reserve(raw.size());
    for (char c : raw) {
        const uchar u = uchar(c);
        s.append(u < 128 ? QChar(u) : QChar(table[u - 128]));
    }
    return s;
}

QString FromCP850(const QByteArray& raw) { return FromTable(raw, kCP850); }
QString FromCP1252(const QByteArray& raw) { return Windows1252::Decode(raw); }

QByteArray ToCP850(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c.unicode() < 128) {
            out.append(char(c.unicode()));
            continue;
        }
        char mapped = '_';
        for (int i = 0; i < 128; ++i)
            if (kCP850[i] == c.unicode()) {
                mapped = char(128 + i);
                break;
            }
        out.append(mapped);
    }
    return out;
}

static bool IsValidUtf8(const QByteArray& raw) {
    const auto* p = reinterpret_cast<const uchar*>(raw.constData());
    const qsizetype n = raw.size();
    for (qsizetype i = 0; i < n;) {
        const uchar c = p[i];
        int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > n) return false;
        if (len == 2 && c < 0xC2) return false;
        for (int k = 1; k < len; ++k)
            if ((p[i + k] & 0xC0) != 0x80) return false;
        if (len == 3 && ((c == 0xE0 && p[i + 1] < 0xA0) || (c == 0xED && p[i + 1] >= 0xA0))) return false;
        if (len == 4 && ((c == 0xF0 && p[i + 1] < 0x90) || c > 0xF4 || (c == 0xF4 && p[i + 1] >= 0x90))) return false;
        i += len;
    }
    return true;
}

QString DecodeName(const QByteArray& raw, quint16 flags, int hostSystem, int versionMadeBy, TNameCodePage codePage) {
    if (flags & 0x0800) return QString::fromUtf8(raw);
    bool ascii = true;
    for (char c : raw)
        if (uchar(c) >= 128) {
            ascii = false;
            break;
        }
    if (ascii) return QString::fromLatin1(raw);
    if (IsOEMName(codePage, hostSystem, versionMadeBy)) return FromCP850(raw);
    if (IsValidUtf8(raw)) return QString::fromUtf8(raw);
    return FromCP1252(raw);
}

QString SafeRelativePath(const QString& name) {
    QString n = name;
    n.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (n.isEmpty() || n.startsWith(QLatin1Char('/'))) return {};
    if (n.size() >= 2 && n[1] == QLatin1Char(':') && n[0].isLetter()) return {};
    for (QChar c : n)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) return {};
    QStringList parts;
    for (const QString& part : n.split(QLatin1Char('/'))) {
        if (part.isEmpty() || part == QLatin1String(".")) continue;
        if (part == QLatin1String("..")) return {};
        parts << part;
    }
    return parts.join(QLatin1Char('/'));
}

QString SafeEntryPath(const TCentralEntry& entry, const QString& decodedName) {
    const bool unixHost = entry.HostSystem == 3;
    if (unixHost && S_ISLNK((entry.ExternalAttributes >> 16) & 0xFFFF)) return {};
    return SafeRelativePath(decodedName);
}

bool IsAE2Entry(const TCentralEntry& entry) {
    if (entry.Method != 99) return false;
    const QByteArray& x = entry.Extra;
    for (qsizetype at = 0; at + 4 <= x.size();) {
        const quint16 tag = U16(x.constData() + at);
        const quint16 len = U16(x.constData() + at + 2);
        if (at + 4 + len > x.size()) break;
        // Vendor version (1 = AE-1, 2 = AE-2), "AE", strength, the real method.
        if (tag == 0x9901 && len >= 7 && x.mid(at + 6, 2) == "AE") return U16(x.constData() + at + 4) == 2;
        at += 4 + len;
    }
    return false;
}

namespace {

// Whether `moved` lies in the "files" folder of a trash: the user's own, or one at the top
// of a mounted file system (".Trash-<uid>" or ".Trash/<uid>").
bool InTrashFolder(const QString& moved, const QString& dataHome) {
    if (!QDir::isAbsolutePath(moved)) return false;
    const QFileInfo info(moved);
    if (!info.exists() && !info.isSymLink()) return false;
    const QString files = QDir::cleanPath(info.absolutePath());
    if (QFileInfo(files).fileName() != QLatin1String("files")) return false;
    const QString trash = QDir::cleanPath(QFileInfo(files).absolutePath());
    if (trash == QDir::cleanPath(dataHome + QStringLiteral("/Trash"))) return true;
    const QString uid = QString::number(::getuid());
    const QString name = QFileInfo(trash).fileName();
    return name == QStringLiteral(".Trash-") + uid ||
        (name == uid && QFileInfo(QFileInfo(trash).absolutePath()).fileName() == QLatin1String(".Trash"));
}

}  // namespace

bool RemoveFile(const QString& path, bool toTrash) {
    if (toTrash) {
        const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        if (!dataHome.isEmpty() && QDir::isAbsolutePath(dataHome) && QFileInfo(dataHome).isDir()) {
            QString moved;
            if (QFile::moveToTrash(path, &moved)) {
                if (InTrashFolder(moved, dataHome) && !QFileInfo::exists(path)) return true;
                // It went somewhere that is no trash: take it away again, with its note.
                if (!moved.isEmpty() && !QFileInfo::exists(path)) {
                    const QFileInfo m(QFileInfo(moved).absoluteFilePath());
                    QFile::remove(QDir(m.absolutePath() + QStringLiteral("/../info"))
                                      .filePath(m.fileName() + QStringLiteral(".trashinfo")));
                    return QFile::remove(m.absoluteFilePath());
                }
            }
        }
    }
    if (QFile::remove(path)) return true;
    return !QFileInfo::exists(path) && !QFileInfo(path).isSymLink();
}

namespace {
constexpr quint32 kSfxHeaderSig = 0x01005A44u;  // "DZ" 0 1
constexpr quint32 kSfxTrailerSig = 0x010A5A44u;  // "DZ" 10 1
void PutLE16(QByteArray& b, quint16 v) {
    b.append(char(v & 0xFF));
    b.append(char(v >> 8));
}
void PutLE32(QByteArray& b, quint32 v) {
    PutLE16(b, quint16(v & 0xFFFF));
    PutLE16(b, quint16(v >> 16));
}
}  // namespace

// ---- Settings header ----

QByteArray TSfxSettings::HeaderBytes() const {
    const QByteArray caption = Caption.toLatin1(), dir = DefaultDir.toLatin1(), cmd = CommandLine.toLatin1(),
                     msg = Message.toLatin1();
    const int textLen = int(caption.size() + dir.size() + cmd.size() + msg.size());
    const quint16 size = quint16((18 + textLen + 3) / 4 * 4);
    QByteArray b;
    PutLE32(b, kSfxHeaderSig);
    PutLE16(b, size);
    PutLE16(b, Options);
    b.append(char(OverwriteMode));
    b.append(char(caption.size()));
    b.append(char(dir.size()));
    b.append(char(cmd.size()));
    b.append('\0');
    b.append(char(msg.size()));
    PutLE32(b, MessageType);
    b += caption + dir + cmd + msg;
    b.append(QByteArray(size - b.size(), '\0'));
    PutLE32(b, kSfxTrailerSig);
    PutLE32(b, size);
    return b;
}

bool TSfxSettings::FromBytes(const QByteArray& data, qsizetype end, TSfxSettings& out) {
    if (end < 8 || end > data.size()) return false;
    const char* t = data.constData() + end - 8;
    if (U32(t) != kSfxTrailerSig) return false;
    const quint32 size = U32(t + 4);
    if (size < 18 || size > quint32(end - 8)) return false;
    const char* h = data.constData() + (end - 8 - qsizetype(size));
    if (U32(h) != kSfxHeaderSig || U16(h + 4) != size) return false;
    const int lens[4] = {uchar(h[9]), uchar(h[10]), uchar(h[11]), uchar(h[13])};
    if (18u + quint32(lens[0] + lens[1] + lens[2] + lens[3]) > size) return false;
    TSfxSettings p;
    p.Options = U16(h + 6);
    p.OverwriteMode = quint8(h[8]);
    p.MessageType = U32(h + 14);
    const char* s = h + 18;
    QString* texts[4] = {&p.Caption, &p.DefaultDir, &p.CommandLine, &p.Message};
    for (int i = 0; i < 4; ++i) {
        *texts[i] = QString::fromLatin1(s, lens[i]);
        s += lens[i];
    }
    out = p;
    return true;
}

bool HasWildcards(const QString& text) { return text.contains(QLatin1Char('*')) || text.contains(QLatin1Char('?')); }

bool WildcardMatch(const QString& pattern, const QString& name) {
    if (pattern == QLatin1String("*.*") || pattern == QLatin1String("*")) return true;
    const QString p = pattern.toCaseFolded();
    const QString s = name.toCaseFolded();
    qsizetype pi = 0, si = 0, star = -1, mark = 0;
    while (si < s.size()) {
        if (pi < p.size() && (p[pi] == QLatin1Char('?') || p[pi] == s[si])) {
            ++pi;
            ++si;
        } else if (pi < p.size() && p[pi] == QLatin1Char('*')) {
            star = pi++;
            mark = si;
        } else if (star >= 0) {
            pi = star + 1;
            si = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == QLatin1Char('*')) ++pi;
    // "name.*" also matches "name" without a suffix, as on Windows.
    if (pi + 2 == p.size() && p[pi] == QLatin1Char('.') && p[pi + 1] == QLatin1Char('*')) return true;
    return pi == p.size();
}

namespace {
struct TCrcTables {
    std::array<std::array<quint32, 256>, 8> T{};
    TCrcTables() {
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            T[0][i] = c;
        }
        for (quint32 i = 0; i < 256; ++i)
            for (int t = 1; t < 8; ++t) T[t][i] = (T[t - 1][i] >> 8) ^ T[0][T[t - 1][i] & 0xFF];
    }
};
const TCrcTables& Tables() {
    static const TCrcTables tables;
    return tables;
}
}  // namespace

quint32 Crc32(quint32 crc, const char* data, qint64 size) {
    const auto& T = Tables().T;
    const auto* p = reinterpret_cast<const uchar*>(data);
    crc = ~crc;
    while (size >= 8) {
        const quint32 a = crc ^ (quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24));
        crc = T[7][a & 0xFF] ^ T[6][(a >> 8) & 0xFF] ^ T[5][(a >> 16) & 0xFF] ^ T[4][a >> 24] ^ T[3][p[4]] ^
            T[2][p[5]] ^ T[1][p[6]] ^ T[0][p[7]];
        p += 8;
        size -= 8;
    }
    while (size-- > 0) crc = T[0][(crc ^ *p++) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

qint64 DosToUnixTime(quint16 dosDate, quint16 dosTime) {
    const QDate d(1980 + (dosDate >> 9), (dosDate >> 5) & 15, dosDate & 31);
    const QTime t((dosTime >> 11) & 31, (dosTime >> 5) & 63, (dosTime & 31) * 2);
    if (!d.isValid() || !t.isValid()) return QDateTime(QDate(1980, 1, 1), QTime(0, 0)).toSecsSinceEpoch();
    return QDateTime(d, t).toSecsSinceEpoch();
}

}  // namespace zipcommon
