#include "controls/FRRIKDecode.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/Exception.h"

namespace {

constexpr qint64 kInt32Min = std::numeric_limits<qint32>::min();
constexpr qint64 kInt32Max = std::numeric_limits<qint32>::max();

// Reads little-endian fields, never past the file's size.
class FieldReader {
public:
    FieldReader(QIODevice& in, qint64 fileSize) : m_in(in), m_pos(in.pos()), m_size(fileSize) {}

    qint64 Pos() const { return m_pos; }
    qint64 Left() const { return m_size - m_pos; }

    void Read(void* to, qint64 n) {
        if (n < 0 || n > Left()) throw Exception(QStringLiteral("Kartfilen tar slut i förtid."));
        if (n == 0) return;
        if (m_in.read(static_cast<char*>(to), n) != n) throw Exception(QStringLiteral("Kartfilen kunde inte läsas."));
        m_pos += n;
    }
    QByteArray Bytes(qint64 n) {
        if (n < 0 || n > Left()) throw Exception(QStringLiteral("Kartfilen tar slut i förtid."));
        QByteArray bytes(qsizetype(n), Qt::Uninitialized);
        Read(bytes.data(), n);
        return bytes;
    }
    qint16 Int16() {
        uint8_t b[2];
        Read(b, 2);
        return qint16(uint16_t(b[0] | (b[1] << 8)));
    }
    qint32 Int32() {
        uint8_t b[4];
        Read(b, 4);
        return qint32(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24);
    }
    float Single() {
        const qint32 bits = Int32();
        float value;
        std::memcpy(&value, &bits, 4);
        return value;
    }
    double Double() {
        uint8_t b[8];
        Read(b, 8);
        uint64_t bits = 0;
        for (int i = 7; i >= 0; --i) bits = bits << 8 | b[i];
        double value;
        std::memcpy(&value, &bits, 8);
        return value;
    }

private:
    QIODevice& m_in;
    qint64 m_pos;
    qint64 m_size;
};

[[noreturn]] void BadEdges() { throw Exception(QStringLiteral("Kartans gränser är ogiltiga.")); }

// An edge rounded half to even; anything that cannot become a coordinate is refused.
qint64 RoundedEdge(double value) {
    if (!std::isfinite(value) || std::fabs(value) > 1e15) BadEdges();
    return qint64(std::nearbyint(value));
}

qint32 ShiftedEdge(qint64 rounded, bool shortForm, qint64 shift) {
    const qint64 v = rounded + (shortForm ? shift : 0);
    if (v < kInt32Min || v > kInt32Max) BadEdges();
    return qint32(v);
}

void CheckBlockSize(qint32 size) {
    if (size < 50 || size > 1000) throw Exception(RIKInvalidBlocksize);
}

// Round half to even of a derived count or size, refused unless it is at least 1 and fits.
qint32 PositiveRounded(double value, const QString& message) {
    if (!std::isfinite(value)) throw Exception(message);
    const double r = std::nearbyint(value);
    if (r < 1 || r > double(kInt32Max)) throw Exception(message);
    return qint32(r);
}

}  // namespace

TRIKHeader ReadRIKHeaderFields(QIODevice& in, qint64 fileSize, const std::function<void(qint64, qint64)>& onEdges) {
    TRIKHeader h;
    FieldReader r(in, fileSize);

    const qint16 titleLength = r.Int16();
    if (titleLength < 0) throw Exception(QStringLiteral("Kartans titel har en ogiltig längd."));
    h.Title = r.Bytes(titleLength);
    r.Int16();

    // The form is known from the first edge; it decides the shifts of all four.
    const qint64 yMin = RoundedEdge(r.Double());
    h.ShortForm = yMin < RIKShortFormLimit;
    h.YMin = ShiftedEdge(yMin, h.ShortForm, RIKShortShiftYMin);
    h.XMin = ShiftedEdge(RoundedEdge(r.Double()), h.ShortForm, RIKShortShiftXMin);
    h.YMax = ShiftedEdge(RoundedEdge(r.Double()), h.ShortForm, RIKShortShiftYMax);
    if (h.YMax <= h.YMin) BadEdges();
    h.FileXMax = ShiftedEdge(RoundedEdge(r.Double()), h.ShortForm, RIKShortShiftXMax);
    if (onEdges) onEdges(qint64(h.FileXMax) - h.XMin, qint64(h.YMax) - h.YMin);

    h.ScaleDenominator = r.Int32();
    h.ScaleValue = r.Single();
    if (h.ShortForm) {
        h.ScaleDivisor = r.Int32();
        h.MetresPerPixel = h.ScaleDivisor == 0 ? 0.0 : double(h.ScaleValue) / double(h.ScaleDivisor);
    } else {
        h.MetresPerPixel = h.ScaleValue;
    }
    if (!std::isfinite(h.MetresPerPixel) || !(h.MetresPerPixel > 0))
        throw Exception(QStringLiteral("Kartans skala är ogiltig."));

    h.BlockWidth = r.Int32();
    CheckBlockSize(h.BlockWidth);
    h.BlockHeight = r.Int32();
    CheckBlockSize(h.BlockHeight);

    const QString badSize = QStringLiteral("Kartans rutstorlek är ogiltig.");
    h.TileWidthM = PositiveRounded(h.BlockWidth * h.MetresPerPixel, badSize);
    h.TileHeightM = PositiveRounded(h.BlockHeight * h.MetresPerPixel, badSize);

    const QString badCount = QStringLiteral("Kartans antal rutor är ogiltigt.");
    h.TileColumns = r.Int32();
    if (h.TileColumns < 1) throw Exception(badCount);
    if (h.ShortForm)
        h.TileRows = PositiveRounded((double(h.YMax) - h.YMin) / (h.BlockHeight * h.MetresPerPixel), badCount);
    else
        h.TileRows = r.Int32();
    if (h.TileRows < 1) throw Exception(badCount);
    r.Int16();

    const qint64 xMax = qint64(h.XMin) + qint64(h.TileColumns) * h.TileWidthM;
    if (xMax > kInt32Max) BadEdges();
    h.XMax = qint32(xMax);
    h.CentreY = qint32((qint64(h.YMin) + h.YMax) / 2);
    h.CentreX = qint32((qint64(h.XMin) + h.XMax) / 2);
    h.CodedRowLength = h.BlockWidth + 2 * (h.BlockWidth / 250);

    r.Read(h.Palette.data(), qint64(h.Palette.size()));

    const qint64 count = h.TileCount();
    if (count > kInt32Max || count * 4 > r.Left())
        throw Exception(QStringLiteral("Kartans rutförteckning ryms inte i filen."));
    h.TileOffsets.resize(size_t(count));
    const QByteArray table = r.Bytes(count * 4);
    const auto* t = reinterpret_cast<const uint8_t*>(table.constData());
    for (qint64 i = 0; i < count; ++i, t += 4)
        h.TileOffsets[size_t(i)] =
            qint32(uint32_t(t[0]) | uint32_t(t[1]) << 8 | uint32_t(t[2]) << 16 | uint32_t(t[3]) << 24);
    h.TableEnd = r.Pos();

    // The coding is read from the first tile that has bytes; a file whose tiles are all empty
    // shows white whichever it is.
    for (qint64 i = 0; i < count; ++i) {
        qint64 start = 0, length = 0;
        if (!RIKTileRange(h, i, fileSize, start, length) || length == 0) continue;
        if (!in.seek(start)) throw Exception(QStringLiteral("Kartfilen kunde inte läsas."));
        // Detection never needs more than two bytes per pixel of one row.
        const qint64 need = std::min<qint64>(length, 2 * qint64(h.BlockWidth));
        FieldReader tile(in, start + need);
        const QByteArray bytes = tile.Bytes(need);
        h.Coding = DetectRIKCoding(reinterpret_cast<const uint8_t*>(bytes.constData()), bytes.size(), h.BlockWidth);
        break;
    }
    return h;
}

bool RIKTileRange(const TRIKHeader& header, qint64 index, qint64 fileSize, qint64& start, qint64& length) {
    const qint64 count = header.TileCount();
    if (index < 0 || index >= count) return false;
    start = header.TileOffsets[size_t(index)];
    const qint64 end = index + 1 < count ? qint64(header.TileOffsets[size_t(index + 1)]) : fileSize;
    length = end - start;
    // A tile of any coding stays well below eight bytes per coded pixel.
    const qint64 bound = 8 * qint64(header.CodedRowLength) * header.BlockHeight + 65536;
    return start >= header.TableEnd && end <= fileSize && length >= 0 && length <= bound;
}

TRIKCoding DetectRIKCoding(const uint8_t* data, qsizetype size, int blockWidth) {
    qint64 sum = 0;
    for (qsizetype i = 0; i + 1 < size && sum < blockWidth; i += 2) sum += qint64(data[i]) + 1;
    return sum == blockWidth ? TRIKCoding::RLE : TRIKCoding::LZW;
}

namespace {

void StartTile(int w, int h, bool redFill, TRIKTile& tile) {
    tile.Width = w;
    tile.Height = h;
    tile.Index.resize(size_t(w) * h);
    tile.Reached.resize(size_t(w) * h);
    tile.RedFill = redFill;
    tile.Failed = false;
}

}  // namespace

void TRIKTileDecoder::MarkFailed(int blockWidth, int blockHeight, TRIKTile& tile) {
    StartTile(blockWidth, blockHeight, false, tile);
    std::fill(tile.Reached.begin(), tile.Reached.end(), uint8_t(0));
    tile.Failed = true;
}

void TRIKTileDecoder::Decode(TRIKCoding coding, const uint8_t* data, qsizetype size, int blockWidth, int blockHeight,
                             int codedRowLength, TRIKTile& tile) {
    if (size <= 0) {
        StartTile(blockWidth, blockHeight, false, tile);
        std::fill(tile.Reached.begin(), tile.Reached.end(), uint8_t(0));
        return;
    }
    if (coding == TRIKCoding::RLE) {
        DecodeRLE(data, size, blockWidth, blockHeight, tile);
        return;
    }
    for (int adjustment : {0, -1, 1}) {
        try {
            DecodeLZW(data, size, blockWidth, blockHeight, codedRowLength, adjustment, tile);
            return;
        } catch (const Exception&) {}
    }
    // The last attempt's pixels stay; the square marks the tile as unreadable.
    tile.Failed = true;
}

void TRIKTileDecoder::DecodeRLE(const uint8_t* data, qsizetype size, int blockWidth, int blockHeight, TRIKTile& tile) {
    StartTile(blockWidth, blockHeight, false, tile);
    uint8_t* index = tile.Index.data();
    qsizetype i = 0;
    size_t reached = 0;  // pixels set, in row order
    for (int y = 0; y < blockHeight && i + 2 <= size; ++y) {
        uint8_t* row = index + size_t(y) * blockWidth;
        int x = 0;
        while (x < blockWidth && i + 2 <= size) {
            const int run = int(data[i]) + 1;
            const int n = std::min(run, blockWidth - x);  // the part beyond the row is dropped
            std::memset(row + x, data[i + 1], size_t(n));
            i += 2;
            x += n;
        }
        reached += size_t(x);
    }
    uint8_t* mask = tile.Reached.data();
    std::memset(mask, 1, reached);
    std::memset(mask + reached, 0, tile.Reached.size() - reached);
}

void TRIKTileDecoder::DecodeLZW(const uint8_t* data, qsizetype size, int blockWidth, int blockHeight,
                                int codedRowLength, int adjustment, TRIKTile& tile) {
    StartTile(blockWidth, blockHeight, true, tile);
    constexpr uint32_t kClear = 256;
    constexpr uint32_t kFirstFree = 257;
    constexpr uint32_t kMaxEntries = 8192;  // 13-bit codes cannot name more
    constexpr int kMaxWidth = 13;

    // A padded copy lets the code reader load four bytes at any index inside the data.
    m_padded.resize(size_t(size) + 4);
    std::memcpy(m_padded.data(), data, size_t(size));
    std::memset(m_padded.data() + size, 0, 4);
    const uint8_t* d = m_padded.data();
    const qint64 bitsAvailable = qint64(size) * 8;

    if (m_prefix.size() < kMaxEntries) {
        m_prefix.resize(kMaxEntries);
        m_length.resize(kMaxEntries);
        m_suffix.resize(kMaxEntries);
        m_first.resize(kMaxEntries);
        for (uint32_t c = 0; c < 256; ++c) {
            m_prefix[c] = 0;
            m_length[c] = 1;
            m_suffix[c] = uint8_t(c);
            m_first[c] = uint8_t(c);
        }
        // The clear code's entry is one placeholder pixel of index 0.
        m_prefix[kClear] = 0;
        m_length[kClear] = 1;
        m_suffix[kClear] = 0;
        m_first[kClear] = 0;
    }
    uint16_t* prefix = m_prefix.data();
    uint16_t* length = m_length.data();
    uint8_t* suffix = m_suffix.data();
    uint8_t* first = m_first.data();

    const qint64 total = qint64(codedRowLength) * blockHeight;
    // The visible part of the top row is the last pixel that can change the tile.
    const qint64 visibleEnd = total - codedRowLength + blockWidth;
    m_stream.resize(size_t(total));
    uint8_t* stream = m_stream.data();
    qint64 pos = 0;

    qint64 byteIndex = 5;
    int bitOffset = 0;
    int width = 9;
    uint32_t tableSize = kFirstFree;

    auto readCode = [&](uint32_t& code) -> bool {
        if (byteIndex < 0) throw Exception(RIKHighCode);
        if (byteIndex * 8 + bitOffset + width > bitsAvailable) return false;
        const uint8_t* p = d + byteIndex;
        const uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
        code = (v >> bitOffset) & ((1u << width) - 1);
        bitOffset += width;
        byteIndex += bitOffset >> 3;
        bitOffset &= 7;
        return true;
    };
    // Writes the entry's pixels at the stream position; pixels past the last row are dropped.
    auto output = [&](uint32_t code) {
        const qint64 len = length[code];
        const qint64 n = std::min(len, total - pos);
        uint32_t c = code;
        for (qint64 k = len; k > n; --k) c = prefix[c];
        for (qint64 k = n - 1; k > 0; --k) {
            stream[pos + k] = suffix[c];
            c = prefix[c];
        }
        stream[pos] = suffix[c];
        pos += n;
    };
    auto add = [&](uint32_t prev, uint8_t pixel) {
        if (tableSize >= kMaxEntries) return;
        prefix[tableSize] = uint16_t(prev);
        suffix[tableSize] = pixel;
        first[tableSize] = first[prev];
        length[tableSize] = uint16_t(length[prev] + 1);
        ++tableSize;
    };

    // Coded rows run bottom-up; each is cut to the block width. A failed attempt keeps what it
    // decoded before the failure.
    auto toTile = [&] {
        uint8_t* index = tile.Index.data();
        uint8_t* mask = tile.Reached.data();
        for (int r = 0; r < blockHeight; ++r) {
            const size_t row = size_t(blockHeight - 1 - r) * blockWidth;
            const qint64 rowStart = qint64(r) * codedRowLength;
            const qint64 got = std::clamp<qint64>(pos - rowStart, 0, blockWidth);
            if (got > 0) std::memcpy(index + row, stream + rowStart, size_t(got));
            std::memset(mask + row, 1, size_t(got));
            std::memset(mask + row + got, 0, size_t(blockWidth - got));
        }
    };

    uint32_t code = 0;
    try {
        if (readCode(code)) {
            if (code >= tableSize) throw Exception(RIKHighCode);
            output(code);
            uint32_t prev = code;
            while (pos < visibleEnd && readCode(code)) {
                if (code == kClear) {
                    tableSize = kFirstFree;
                    width = 9;
                    ++byteIndex;
                    while (byteIndex < size && byteIndex >= 13 && d[byteIndex] == d[byteIndex - 13]) ++byteIndex;
                    byteIndex += adjustment;
                    if (bitOffset != 0)
                        bitOffset = 0;
                    else
                        --byteIndex;
                    if (!readCode(code)) break;
                    if (code >= tableSize) throw Exception(RIKHighCode);
                    output(code);
                    prev = code;
                    continue;
                }
                if (code < tableSize) {
                    output(code);
                    add(prev, first[code]);
                } else if (code == tableSize && tableSize < kMaxEntries) {
                    add(prev, first[prev]);
                    output(code);
                } else {
                    throw Exception(RIKHighCode);
                }
                if (tableSize == (1u << width) && width < kMaxWidth) ++width;
                prev = code;
            }
        }
    } catch (const Exception&) {
        toTile();
        throw;
    }
    toTile();
}
