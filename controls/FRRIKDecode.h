#pragma once
// Decoding of the land survey's raster map files (*.rik): the header with its two forms, the
// coding detection and the two tile codings. Nothing here draws: a tile is decoded into
// palette indices and a mask of the pixels the tile's data reached; FRRIKMap turns that into
// a bitmap. Every count and offset read from a file is checked against the file before it is
// used, so a damaged or hostile file can only give an error or a failed tile.
#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

enum class TRIKCoding { RLE, LZW };

// Everything the header tells, with the values derived from it.
struct TRIKHeader {
    QByteArray Title;  // 8-bit text as stored
    bool ShortForm = false;
    // Edges in RT90 metres (Y northwards, X eastwards), rounded and, in the short form, moved.
    qint32 YMin = 0;
    qint32 XMin = 0;
    qint32 YMax = 0;
    qint32 XMax = 0;  // XMin + TileColumns * TileWidthM
    qint32 FileXMax = 0;  // the east edge as the file gives it (only the scroll range uses it)
    qint32 ScaleDenominator = 0;
    float ScaleValue = 0;
    qint32 ScaleDivisor = 0;  // 0 in the long form, which has no divisor
    double MetresPerPixel = 0;
    qint32 BlockWidth = 0;
    qint32 BlockHeight = 0;
    qint32 TileColumns = 0;
    qint32 TileRows = 0;
    qint32 TileWidthM = 0;
    qint32 TileHeightM = 0;
    qint32 CentreX = 0;
    qint32 CentreY = 0;
    qint32 CodedRowLength = 0;
    std::array<uint8_t, 768> Palette{};  // red, green, blue for each index
    std::vector<qint32> TileOffsets;
    qint64 TableEnd = 0;  // first byte after the offset table: no tile may start before it
    TRIKCoding Coding = TRIKCoding::RLE;

    qint64 TileCount() const { return qint64(TileColumns) * TileRows; }
};

// The messages of the reader.
inline const QString RIKInvalidMapfilePrefix = QStringLiteral("Invalid mapfile. Message: ");
inline const QString RIKInvalidBlocksize = QStringLiteral("Invalid blocksize");
inline const QString RIKHighCode = QStringLiteral("Hög kod!");
inline const QString RIKOutsideArea = QStringLiteral("Utanför området!");

// The short form moves its edges by these amounts.
constexpr qint64 RIKShortFormLimit = 4000000;
constexpr qint64 RIKShortShiftYMin = 4002995;
constexpr qint64 RIKShortShiftYMax = 5004000;
constexpr qint64 RIKShortShiftXMin = 201000;
constexpr qint64 RIKShortShiftXMax = 302005;

// Reads fields 1 to 17 from the device's current position (the file's start) and detects the
// coding. fileSize bounds every read. onEdges, when set, gets the horizontal and vertical
// scroll extents (file XMax - XMin, YMax - YMin) as soon as the edges are known. Raises an
// Exception with the bare message (the caller adds the "Invalid mapfile" prefix).
TRIKHeader ReadRIKHeaderFields(QIODevice& in, qint64 fileSize, const std::function<void(qint64, qint64)>& onEdges = {});

// The byte range of tile index in a file of fileSize bytes. False when the range is not a
// sane one: it starts before the end of the offset table, ends before it starts or beyond the
// file, or is larger than any tile of this block size can be.
bool RIKTileRange(const TRIKHeader& header, qint64 index, qint64 fileSize, qint64& start, qint64& length);

// Coding detection over the bytes of one tile: pairs of a count and a skipped byte are summed
// (count + 1 each) until the sum reaches the block width; exactly the width means RLE. Data
// that ends before the width is reached is not RLE.
TRIKCoding DetectRIKCoding(const uint8_t* data, qsizetype size, int blockWidth);

// One decoded tile: row 0 at the top.
struct TRIKTile {
    int Width = 0;
    int Height = 0;
    std::vector<uint8_t> Index;  // palette index of each pixel
    std::vector<uint8_t> Reached;  // 1 where the tile's data set the pixel
    bool RedFill = false;  // pixels not reached are red (LZW) instead of white
    bool Failed = false;  // every attempt failed: the tile carries the red square
};

// Decodes tiles, keeping its work buffers from tile to tile.
class TRIKTileDecoder {
public:
    // Decodes the bytes of one tile in the given coding. An LZW tile whose decoding fails is
    // tried again with the alignment adjustments -1 and +1; when all three fail the tile is
    // marked Failed. An empty tile is all white. Never raises.
    void Decode(TRIKCoding coding, const uint8_t* data, qsizetype size, int blockWidth, int blockHeight,
                int codedRowLength, TRIKTile& tile);
    // The tile of a range that cannot be read: white and marked Failed.
    static void MarkFailed(int blockWidth, int blockHeight, TRIKTile& tile);

    // Run lengths: pairs of count and palette index, rows top-down. Data that ends early
    // leaves the rest unreached.
    static void DecodeRLE(const uint8_t* data, qsizetype size, int blockWidth, int blockHeight, TRIKTile& tile);
    // The LZW code stream with the given alignment adjustment after clear codes. Raises
    // "Hög kod!" for a code the table cannot explain. A stream that ends early leaves the rest
    // unreached.
    void DecodeLZW(const uint8_t* data, qsizetype size, int blockWidth, int blockHeight, int codedRowLength,
                   int adjustment, TRIKTile& tile);

private:
    std::vector<uint8_t> m_padded;
    std::vector<uint8_t> m_stream;
    std::vector<uint16_t> m_prefix;
    std::vector<uint16_t> m_length;
    std::vector<uint8_t> m_suffix;
    std::vector<uint8_t> m_first;
};
