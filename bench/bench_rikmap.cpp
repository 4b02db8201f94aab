// Decoding speed of raster map sheets: a sheet the size of a real one, 8000 x 8000 pixels in
// 32 x 32 tiles of 250 x 250, every tile a picture of its own, once RLE and once LZW (with clear
// codes), decoded tile by tile into palette indices, and through the map component (file read,
// decoding, 24-bit tile bitmap); and the tiles of one 1920 x 1080 view drawn with the component.
// The floor is a copy of the whole decoded sheet as 24-bit pixels (192 MB, far beyond the
// caches, as the decoded sheet is); every case prints its megapixels per second.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "controls/FRRIKMap.h"
#include "tools/rik/RikWriter.h"
#include "BenchSupport.h"

namespace {

constexpr int kBlock = 250;
constexpr int kTiles = 32;
constexpr double kSheetPixels = double(kBlock) * kBlock * kTiles * kTiles;

// A map-like picture: land and water areas, contour lines, roads, text-like specks.
std::vector<uint8_t> TilePicture(int seed) {
    std::mt19937 rng(uint32_t(seed) * 7919u + 1);
    std::vector<uint8_t> px(size_t(kBlock) * kBlock);
    const double ox = seed * 37.0, oy = seed * 91.0;
    for (int y = 0; y < kBlock; ++y)
        for (int x = 0; x < kBlock; ++x) {
            const double fx = (x + ox) / 60.0, fy = (y + oy) / 45.0;
            const double h = std::sin(fx) * std::cos(fy * 1.3) + 0.5 * std::sin(fx * 2.1 + fy);
            uint8_t v = h < -0.6 ? 1 : (h < 0.3 ? 2 : 3);  // water, forest, open land
            if (std::fabs(std::fmod(h * 10 + 20, 2.0)) < 0.12) v = 4;  // contour
            if ((x + 2 * y + seed) % 113 < 2 || (3 * x - y + 500) % 171 < 3) v = 5;  // roads
            px[size_t(y) * kBlock + x] = v;
        }
    for (int k = 0; k < 60; ++k) {  // names: small dark clusters
        const int x = int(rng() % (kBlock - 8)), y = int(rng() % (kBlock - 6));
        for (int dy = 0; dy < 6; ++dy)
            for (int dx = 0; dx < 8; ++dx)
                if (rng() % 3 == 0) px[size_t(y + dy) * kBlock + x + dx] = 6;
    }
    return px;
}

struct SheetFile {
    QTemporaryDir dir;
    QString path;
    std::vector<QByteArray> tiles;  // the tile data in sheet order
    qint64 bytes = 0;
    explicit SheetFile(bool lzw) {
        std::vector<std::vector<uint8_t>> pictures;
        pictures.reserve(size_t(kTiles) * size_t(kTiles));
        for (int u = 0; u < kTiles * kTiles; ++u) pictures.push_back(TilePicture(u));
        const rikwriter::Sheet s = rikwriter::SampleSheet(kBlock, kTiles, pictures, lzw, 1);
        tiles = s.Tiles;
        const QByteArray data = rikwriter::Write(s);
        bytes = data.size();
        path = dir.filePath(lzw ? "lzw.rik" : "rle.rik");
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size()) std::abort();
    }
};

const SheetFile& Sheet(bool lzw) {
    static const SheetFile rle(false), lzwSheet(true);
    return lzw ? lzwSheet : rle;
}

void DecodeSheet(benchmark::State& state, bool lzw) {
    const SheetFile& sheet = Sheet(lzw);
    TRIKTileDecoder decoder;
    TRIKTile tile;
    const auto coding = lzw ? TRIKCoding::LZW : TRIKCoding::RLE;
    for (auto _ : state) {
        for (const QByteArray& t : sheet.tiles) {
            decoder.Decode(coding, reinterpret_cast<const uint8_t*>(t.constData()), t.size(), kBlock, kBlock,
                           kBlock + 2, tile);
            benchmark::DoNotOptimize(tile.Index.data());
        }
        if (tile.Failed) state.SkipWithError("a tile failed");
    }
    state.counters["Mpx/s"] = benchmark::Counter(kSheetPixels / 1e6, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["file MB"] = double(sheet.bytes) / 1e6;
}
void BM_DecodeSheetRLE(benchmark::State& state) { DecodeSheet(state, false); }
void BM_DecodeSheetLZW(benchmark::State& state) { DecodeSheet(state, true); }

// Through the component: each tile read from the file (kept open), decoded and turned into the
// 24-bit tile bitmap.
void ComponentSheet(benchmark::State& state, bool lzw) {
    TRIKMap map;
    map.SetFileName(Sheet(lzw).path);
    map.SetKeepOpen(true);
    map.SetActive(true);
    for (auto _ : state) {
        for (int i = 0; i < kTiles * kTiles; ++i) map.DecodeTile(i);
        benchmark::DoNotOptimize(map.TileBitmap().constBits());
    }
    if (!map.TakeFailedTiles().isEmpty()) state.SkipWithError("a tile failed");
    state.counters["Mpx/s"] = benchmark::Counter(kSheetPixels / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}
void BM_ComponentSheetRLE(benchmark::State& state) { ComponentSheet(state, false); }
void BM_ComponentSheetLZW(benchmark::State& state) { ComponentSheet(state, true); }

// One 1920 x 1080 view, placed off the tile grid as a panned view is: 9 x 5 tiles.
constexpr int kViewTiles = 45;
void View(benchmark::State& state, bool lzw) {
    TRIKMap map;
    map.SetFileName(Sheet(lzw).path);
    map.SetActive(true);
    QImage canvas(1920, 1080, QImage::Format_RGB32);
    int tiles = 0;
    for (auto _ : state) {
        QPainter painter(&canvas);
        tiles = 0;
        for (int r = 0, y = -120; y < 1080; ++r, y += kBlock)
            for (int c = 0, x = -90; x < 1920; ++c, x += kBlock) {
                map.DrawTile(painter, kTiles * (10 + r) + 10 + c, x, y);
                ++tiles;
            }
    }
    if (tiles != kViewTiles) state.SkipWithError("the view has another number of tiles");
    state.counters["tiles"] = tiles;
}
void BM_View1920x1080RLE(benchmark::State& state) { View(state, false); }
void BM_View1920x1080LZW(benchmark::State& state) { View(state, true); }

// The floor: the whole decoded sheet copied as 24-bit pixels.
void BM_CopySheetBaseline(benchmark::State& state) {
    const size_t bytes = size_t(kSheetPixels) * 3;
    std::vector<uint8_t> from(bytes), to(bytes);
    for (size_t i = 0; i < bytes; ++i) from[i] = uint8_t(i * 2654435761u >> 24);
    std::memset(to.data(), 0, bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
    }
    state.counters["Mpx/s"] = benchmark::Counter(kSheetPixels / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_CopySheetBaseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeSheetRLE)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeSheetLZW)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComponentSheetRLE)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComponentSheetLZW)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_View1920x1080RLE)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_View1920x1080LZW)->Unit(benchmark::kMillisecond);

using benchsupport::RatioReporter;

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    RatioReporter reporter;
    if (!benchsupport::Run(argc, argv, reporter)) return 1;
    const auto& t = reporter.times;
    if (t.count("BM_CopySheetBaseline")) {
        const double copy = t.at("BM_CopySheetBaseline");
        const double mpx = kSheetPixels / 1e6;
        std::printf("\nsheet of %d x %d pixels, %d x %d distinct tiles of %d x %d (%.0f Mpx)\n", kTiles * kBlock,
                    kTiles * kBlock, kTiles, kTiles, kBlock, kBlock, mpx);
        std::printf("%-22s %8.1f ms  %7.0f Mpx/s  (the floor)\n", "copy of the 24-bit sheet", copy, mpx / copy * 1000);
        for (const char* name :
             {"BM_DecodeSheetRLE", "BM_DecodeSheetLZW", "BM_ComponentSheetRLE", "BM_ComponentSheetLZW"})
            if (t.count(name))
                std::printf("%-22s %8.1f ms  %7.0f Mpx/s  %6.1fx the floor\n", name, t.at(name),
                            mpx / t.at(name) * 1000, t.at(name) / copy);
        const double viewMpx = kViewTiles * double(kBlock) * kBlock / 1e6;
        for (const char* name : {"BM_View1920x1080RLE", "BM_View1920x1080LZW"})
            if (t.count(name))
                std::printf("%-22s %8.2f ms per view (%d tiles)  %7.0f Mpx/s  %6.1fx the floor for its tiles\n", name,
                            t.at(name), kViewTiles, viewMpx / t.at(name) * 1000,
                            t.at(name) / (copy * kViewTiles / (kTiles * kTiles)));
    }
    benchmark::Shutdown();
    return 0;
}
