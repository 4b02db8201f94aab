#pragma once
// Writes land survey raster map files (*.rik) in both header forms and both tile codings.
// The program itself only reads such files; the writer serves the sample sheet generator,
// the tests' fixtures and the benchmarks. Header only, so each of them can include it.
#include <QByteArray>

#include <array>
#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace rikwriter {

struct Sheet {
    QByteArray Title;
    bool ShortForm = false;  // writes ScaleDivisor and leaves TileRows out
    // Edges as stored: in the short form before the reader moves them.
    double YMin = 0, XMin = 0, YMax = 0, XMax = 0;
    qint32 ScaleDenominator = 0;
    float ScaleValue = 1;
    qint32 ScaleDivisor = 1;
    qint32 BlockWidth = 50, BlockHeight = 50, TileColumns = 1, TileRows = 1;
    std::array<uint8_t, 768> Palette{};
    std::vector<QByteArray> Tiles;  // tile data in index order
};

inline void PutInt16(QByteArray& out, qint16 v) {
    out.append(char(v & 0xFF));
    out.append(char((v >> 8) & 0xFF));
}
inline void PutInt32(QByteArray& out, qint32 v) {
    for (int i = 0; i < 4; ++i) out.append(char((uint32_t(v) >> (8 * i)) & 0xFF));
}
inline void PutSingle(QByteArray& out, float v) {
    qint32 bits;
    std::memcpy(&bits, &v, 4);
    PutInt32(out, bits);
}
inline void PutDouble(QByteArray& out, double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    for (int i = 0; i < 8; ++i) out.append(char((bits >> (8 * i)) & 0xFF));
}

// Fields 1 to 16: everything before the offset table.
inline QByteArray HeaderBytes(const Sheet& s) {
    QByteArray out;
    PutInt16(out, qint16(s.Title.size()));
    out.append(s.Title);
    PutInt16(out, 0);
    PutDouble(out, s.YMin);
    PutDouble(out, s.XMin);
    PutDouble(out, s.YMax);
    PutDouble(out, s.XMax);
    PutInt32(out, s.ScaleDenominator);
    PutSingle(out, s.ScaleValue);
    if (s.ShortForm) PutInt32(out, s.ScaleDivisor);
    PutInt32(out, s.BlockWidth);
    PutInt32(out, s.BlockHeight);
    PutInt32(out, s.TileColumns);
    if (!s.ShortForm) PutInt32(out, s.TileRows);
    PutInt16(out, 0);
    out.append(reinterpret_cast<const char*>(s.Palette.data()), qsizetype(s.Palette.size()));
    return out;
}

// The whole file: header, one offset per tile of s.Tiles, and the tiles.
inline QByteArray Write(const Sheet& s) {
    QByteArray out = HeaderBytes(s);
    qint64 offset = out.size() + 4 * qint64(s.Tiles.size());
    for (const QByteArray& tile : s.Tiles) {
        PutInt32(out, qint32(offset));
        offset += tile.size();
    }
    for (const QByteArray& tile : s.Tiles) out.append(tile);
    return out;
}

// Run lengths, rows top-down, runs of at most 256 pixels that never cross a row's end.
inline QByteArray EncodeRLE(const uint8_t* index, int w, int h) {
    QByteArray out;
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = index + size_t(y) * w;
        for (int x = 0; x < w;) {
            int n = 1;
            while (x + n < w && n < 256 && row[x + n] == row[x]) ++n;
            out.append(char(n - 1));
            out.append(char(row[x]));
            x += n;
        }
    }
    return out;
}

struct LZWOptions {
    // A clear code is written once the reader's table has this many entries (0: never; the
    // table then stops growing at 8192 entries).
    uint32_t ClearAt = 0;
    // The alignment the reader must use after a clear code: 0 or +1.
    int Adjustment = 0;
};

namespace detail {

struct BitWriter {
    std::vector<uint8_t> Bytes;
    int BitOffset = 0;  // 0: the next code starts a new byte
    void Put(uint32_t code, int width) {
        for (int i = 0; i < width; ++i) {
            if (BitOffset == 0) Bytes.push_back(0);
            Bytes.back() |= uint8_t(((code >> i) & 1u) << BitOffset);
            BitOffset = (BitOffset + 1) & 7;
        }
    }
};

// Bytes written after a clear code so that the reader's skip (one byte, then every byte equal
// to the one 13 before it, then the adjustment) lands on the next code, whose first byte is
// next. False when no such filling exists.
inline bool FillAfterClear(std::vector<uint8_t>& d, uint8_t next, int adjustment) {
    const size_t p = d.size();
    auto stopsAt = [&](const std::vector<uint8_t>& c) {
        size_t i = p;
        while (i < c.size() && i >= 13 && c[i] == c[i - 13]) ++i;
        return i;
    };
    if (adjustment == 1) {
        d.push_back(p >= 13 ? uint8_t(~d[p - 13]) : 0);
        return true;
    }
    if (adjustment != 0) return false;
    for (size_t k = 0; k < 13; ++k) {
        std::vector<uint8_t> c = d;
        bool copies = true;
        for (size_t j = 0; j < k; ++j) {
            if (p + j < 13) copies = false;
            c.push_back(copies ? c[p + j - 13] : 0);
        }
        if (!copies) break;
        c.push_back(next);
        if (stopsAt(c) == p + k) {
            c.pop_back();
            d.swap(c);
            return true;
        }
    }
    return false;
}

}  // namespace detail

// The LZW code stream of a tile: five leading bytes, then codes of 9 to 13 bits, least
// significant bit first. Coded rows run bottom-up and are w + 2 * (w div 250) pixels long;
// the extra pixels repeat the row's last one.
inline QByteArray EncodeLZW(const uint8_t* index, int w, int h, const LZWOptions& options = {}) {
    const int crl = w + 2 * (w / 250);
    std::vector<uint8_t> px(size_t(crl) * h);
    for (int r = 0; r < h; ++r) {
        const uint8_t* src = index + size_t(h - 1 - r) * w;
        uint8_t* dst = px.data() + size_t(r) * crl;
        std::memcpy(dst, src, size_t(w));
        std::memset(dst + w, src[w - 1], size_t(crl - w));
    }

    detail::BitWriter out;
    // The leading bytes are not read as codes; they are chosen so that the coding detection,
    // which sums every other byte plus one, steps over the block width and sees LZW.
    uint8_t lead[5] = {0, 0, 0, 0, 0};
    for (int k = 0, sum = 0; k < 3 && sum < w; ++k) {
        const int add = sum + 256 == w ? 255 : 256;
        lead[2 * k] = uint8_t(add - 1);
        sum += add;
    }
    out.Bytes.assign(lead, lead + 5);

    std::unordered_map<uint32_t, uint16_t> dict;
    uint32_t nextCode = 257;  // the writer's table runs one entry ahead of the reader's
    uint32_t readerSize = 257;
    int width = 9;
    bool firstAfterReset = true;
    auto putCode = [&](uint32_t code) {
        out.Put(code, width);
        if (!firstAfterReset) {
            if (readerSize < 8192) ++readerSize;
            if (readerSize == (1u << width) && width < 13) ++width;
        }
        firstAfterReset = false;
    };

    uint32_t cur = px[0];
    for (size_t i = 1; i < px.size(); ++i) {
        const uint8_t c = px[i];
        const uint32_t key = cur << 8 | c;
        const auto found = dict.find(key);
        if (found != dict.end()) {
            cur = found->second;
            continue;
        }
        putCode(cur);
        if (nextCode < 8192) dict.emplace(key, uint16_t(nextCode++));
        // A clear code that would end on a byte boundary is put off to a later code.
        if (options.ClearAt && readerSize >= options.ClearAt && (out.BitOffset + width) % 8 != 0) {
            detail::BitWriter trial = out;
            trial.Put(256, width);
            trial.BitOffset = 0;
            if (detail::FillAfterClear(trial.Bytes, c, options.Adjustment)) {
                out = std::move(trial);
                dict.clear();
                nextCode = 257;
                readerSize = 257;
                width = 9;
                firstAfterReset = true;
            }
        }
        cur = c;
    }
    putCode(cur);
    return QByteArray(reinterpret_cast<const char*>(out.Bytes.data()), qsizetype(out.Bytes.size()));
}

// A square sheet at 1:10000 (2.5 m a pixel) in the south of Sweden, `tiles` x `tiles` tiles
// of `block` pixels; tile i shows picture (i * stride) mod count, coded with LZW (with clear
// codes) or RLE. What the benchmarks measure on.
inline Sheet SampleSheet(int block, int tiles, const std::vector<std::vector<uint8_t>>& pictures, bool lzw,
                         int stride) {
    Sheet s;
    s.Title = "Prov";
    s.YMin = 6500000;
    s.XMin = 1500000;
    s.YMax = 6500000 + tiles * block * 2.5;
    s.XMax = 1500000 + tiles * block * 2.5;
    s.ScaleDenominator = 10000;
    s.ScaleValue = 2.5f;
    s.BlockWidth = s.BlockHeight = block;
    s.TileColumns = s.TileRows = tiles;
    for (int i = 0; i < 768; ++i) s.Palette[size_t(i)] = uint8_t(i * 53);
    std::vector<QByteArray> coded;
    coded.reserve(pictures.size());
    for (const std::vector<uint8_t>& px : pictures)
        coded.push_back(lzw ? EncodeLZW(px.data(), block, block, {4096, 0}) : EncodeRLE(px.data(), block, block));
    for (int i = 0; i < tiles * tiles; ++i) s.Tiles.push_back(coded[size_t(i * stride) % coded.size()]);
    return s;
}

}  // namespace rikwriter
