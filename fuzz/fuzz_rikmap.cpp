// Raster map files: any bytes either give a header whose values hang together and tiles of the
// block size, or the reader's error; nothing is read outside the file or the tile's bytes.
// The first byte chooses the mode: odd reads the rest as one tile of a size and coding taken
// from the next bytes; even reads the rest as a whole file.
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

#include "controls/FRRIKMap.h"
#include "platform/Exception.h"

namespace {

void CheckTile(const TRIKTile& tile, int w, int h) {
    if (tile.Width != w || tile.Height != h) abort();
    if (tile.Index.size() != size_t(w) * h || tile.Reached.size() != size_t(w) * h) abort();
    for (uint8_t r : tile.Reached)
        if (r > 1) abort();
}

void TileMode(const uint8_t* data, size_t size) {
    if (size < 4) return;
    const int w = 50 + (data[0] | (data[1] & 3) << 8) % 951;
    const int h = 50 + data[2] % 200;
    const auto coding = (data[3] & 1) ? TRIKCoding::LZW : TRIKCoding::RLE;
    const int crl = w + 2 * (w / 250);
    static TRIKTileDecoder decoder;
    TRIKTile tile;
    // An exact-size copy, so that a read past the tile's bytes is caught by the sanitizer.
    std::vector<uint8_t> bytes(data + 4, data + size);
    decoder.Decode(coding, bytes.data(), qsizetype(bytes.size()), w, h, crl, tile);
    CheckTile(tile, w, h);
    if (coding == TRIKCoding::RLE && tile.Failed) abort();
}

void FileMode(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("karta.rik"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
            abort();
    }
    TRIKMap map;
    map.SetFileName(path);
    try {
        map.SetActive(true);
    } catch (const Exception& e) {
        if (!e.Message().startsWith(RIKInvalidMapfilePrefix) && !e.Message().startsWith(QStringLiteral("Filen")))
            abort();
        return;
    }
    const TRIKHeader& h = map.Header();
    if (h.YMax <= h.YMin || h.TileWidthM < 1 || h.TileHeightM < 1 || !(h.MetresPerPixel > 0)) abort();
    if (h.BlockWidth < 50 || h.BlockWidth > 1000 || h.BlockHeight < 50 || h.BlockHeight > 1000) abort();
    if (qint64(h.TileOffsets.size()) != map.TileCount() || h.TableEnd > qint64(size)) abort();
    if (qint64(h.XMax) - h.XMin != qint64(h.TileColumns) * h.TileWidthM) abort();
    const qint64 n = std::min<qint64>(map.TileCount(), 16);
    for (int i = 0; i < n; ++i) {
        if (!map.DecodeTile(i)) abort();
        CheckTile(map.Tile(), h.BlockWidth, h.BlockHeight);
        if (map.TileBitmap().width() != h.BlockWidth || map.TileBitmap().height() != h.BlockHeight) abort();
    }
    if (map.TileCount() > 16 && !map.DecodeTile(int(map.TileCount() - 1))) abort();
    map.TakeFailedTiles();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    if (data[0] & 1)
        TileMode(data + 1, size - 1);
    else
        FileMode(data + 1, size - 1);
    return 0;
}
