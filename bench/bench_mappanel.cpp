// The map view's painting: a 1920 x 1080 view over a sheet of 250 x 250 pixel tiles, placed off
// the tile grid as a panned view is (9 x 5 tiles). Measured: rebuilding the view cache cold
// (every tile read and decoded), rebuilding it with the tiles already decoded (panning back),
// and an ordinary repaint (the cache and an overlay). The baseline is one plain copy of a
// 1920 x 1080 32-bit picture.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "controls/FRMapPanel.h"
#include "tools/rik/RikWriter.h"
#include "BenchSupport.h"

namespace {

constexpr int kBlock = 250;
constexpr int kTiles = 40;
constexpr int kUnique = 8;
constexpr int kViewW = 1920, kViewH = 1080;
constexpr int kViewTiles = 45;

// Land, water, contour lines and roads, different for each seed.
std::vector<uint8_t> TilePicture(int seed) {
    std::vector<uint8_t> px(size_t(kBlock) * kBlock);
    for (int y = 0; y < kBlock; ++y)
        for (int x = 0; x < kBlock; ++x) {
            const double fx = (x + seed * 37.0) / 60.0, fy = (y + seed * 91.0) / 45.0;
            const double h = std::sin(fx) * std::cos(fy * 1.3) + 0.5 * std::sin(fx * 2.1 + fy);
            uint8_t v = h < -0.6 ? 1 : (h < 0.3 ? 2 : 3);
            if (std::fabs(std::fmod(h * 10 + 20, 2.0)) < 0.12) v = 4;
            if ((x + 2 * y + seed) % 113 < 2) v = 5;
            px[size_t(y) * kBlock + x] = v;
        }
    return px;
}

struct SheetFile {
    QTemporaryDir dir;
    QString path;
    explicit SheetFile(bool lzw) {
        std::vector<std::vector<uint8_t>> pictures;
        pictures.reserve(kUnique);
        for (int u = 0; u < kUnique; ++u) pictures.push_back(TilePicture(u));
        const rikwriter::Sheet s = rikwriter::SampleSheet(kBlock, kTiles, pictures, lzw, 5);
        path = dir.filePath(lzw ? "lzw.rik" : "rle.rik");
        const QByteArray data = rikwriter::Write(s);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size()) std::abort();
    }
};

const SheetFile& Sheet(bool lzw) {
    static const SheetFile rle(false), lzwSheet(true);
    return lzw ? lzwSheet : rle;
}

// A panel with a 1920 x 1080 surface over the sheet, centred off the tile grid.
struct View {
    TFRMapPanel panel;
    QImage target{kViewW, kViewH, QImage::Format_RGB32};
    explicit View(bool lzw) {
        panel.resize(kViewW + 16, kViewH + 16);
        panel.RIKMap().SetFileName(Sheet(lzw).path);
        panel.SetKeepOpen(true);
        panel.RIKMap().SetActive(true);
        panel.OnPaintLayer = [](TFRMapPanel* p, QPainter& c) {
            // An overlay of the usual size: a few dozen finds with their tags.
            c.setPen(QPen(Qt::black, 1));
            c.setBrush(QColor(255, 0, 0));
            for (int i = 0; i < 40; ++i) {
                const QRect r(40 + i * 45, 100 + (i * 97) % 800, 15, 15);
                c.drawEllipse(r);
                p->MapObjects().Add(r, QStringLiteral("FND"), QStringLiteral("Fyndplats: Kantarell"));
            }
        };
        panel.show();
    }
    void Center() { panel.SetCenter(1500000 + 10 * 625 + 137, 6500000 + 20 * 625 + 211); }
    void Paint() { panel.Surface()->render(&target); }
};

void Rebuild(benchmark::State& state, bool lzw, bool warm) {
    View view(lzw);
    view.Center();
    view.Paint();
    const int perView = view.panel.TilesDecoded();
    for (auto _ : state) {
        if (!warm) view.panel.ClearTileCache();
        view.Center();
        view.Paint();
        benchmark::DoNotOptimize(view.target.constBits());
    }
    if (perView != kViewTiles) state.SkipWithError("the view has another number of tiles");
    if (warm && view.panel.TilesDecoded() != perView) state.SkipWithError("a warm rebuild decoded tiles");
    state.counters["tiles"] = perView;
}
void BM_RebuildColdRLE(benchmark::State& state) { Rebuild(state, false, false); }
void BM_RebuildColdLZW(benchmark::State& state) { Rebuild(state, true, false); }
void BM_RebuildWarm(benchmark::State& state) { Rebuild(state, true, true); }

void BM_Repaint(benchmark::State& state) {
    View view(true);
    view.Center();
    view.Paint();
    const int builds = view.panel.ViewCacheBuilds();
    for (auto _ : state) {
        view.Paint();
        benchmark::DoNotOptimize(view.target.constBits());
    }
    if (view.panel.ViewCacheBuilds() != builds) state.SkipWithError("a repaint rebuilt the cache");
}

void BM_CopyViewBaseline(benchmark::State& state) {
    std::vector<uint8_t> from(size_t(kViewW) * kViewH * 4, 7), to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::ClobberMemory();
    }
}

BENCHMARK(BM_CopyViewBaseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RebuildColdRLE)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RebuildColdLZW)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RebuildWarm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Repaint)->Unit(benchmark::kMillisecond);

using benchsupport::RatioReporter;

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    RatioReporter reporter;
    if (!benchsupport::Run(argc, argv, reporter)) return 1;
    const auto& t = reporter.times;
    if (t.count("BM_CopyViewBaseline")) {
        const double copy = t.at("BM_CopyViewBaseline");
        std::printf("\n%d x %d view, %d tiles of %d x %d pixels; plain 32-bit copy of the view %.3f ms\n", kViewW,
                    kViewH, kViewTiles, kBlock, kBlock, copy);
        for (const char* name : {"BM_RebuildColdRLE", "BM_RebuildColdLZW", "BM_RebuildWarm", "BM_Repaint"})
            if (t.count(name)) std::printf("%-20s %8.2f ms  %7.1fx the copy\n", name, t.at(name), t.at(name) / copy);
    }
    benchmark::Shutdown();
    return 0;
}
