// Making the thumbnail and the main picture of a 12-megapixel JPEG, beside ImageMagick's
// "convert -thumbnail 90x90" on the same file when it is installed (./dev bench installs it),
// measured in turn in the same run. Goal: thumbnail / convert <= 1 (the JPEG is decoded at a
// reduced size).
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>

#include "content/FungiPicImages.h"

namespace {

using Clock = std::chrono::steady_clock;
double Secs(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

struct TPictureFile {
    QTemporaryDir Tmp;
    QString File;
    TPictureFile() {
        // A photograph-like picture: smooth gradients with fine texture, 4000 x 3000.
        QImage image(4000, 3000, QImage::Format_RGB32);
        quint32 x = 12345;
        for (int row = 0; row < image.height(); ++row) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(row));
            for (int col = 0; col < image.width(); ++col) {
                x ^= x << 13;
                x ^= x >> 17;
                x ^= x << 5;
                const int n = int(x & 31);
                line[col] = qRgb((col * 255 / 4000 + n) & 255, (row * 255 / 3000 + n) & 255, (128 + n) & 255);
            }
        }
        File = Tmp.filePath("Pic12MP.jpg");
        const QByteArray bytes = fungipics::JpegBytes(image);
        QFile f(File);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) std::abort();
    }
};

TPictureFile& Picture() {
    static TPictureFile picture;
    return picture;
}

double g_thumbnail = 0, g_convert = 0;

void BM_Thumbnail(benchmark::State& state) {
    const QString file = Picture().File;
    Clock::duration total{};
    for (auto _ : state) {
        const auto t0 = Clock::now();
        benchmark::DoNotOptimize(fungipics::BmpBytes(fungipics::ReadThumbnail(file)));
        total += Clock::now() - t0;
    }
    g_thumbnail = Secs(total) / double(state.iterations());
}

void BM_MainPicture(benchmark::State& state) {
    const QString file = Picture().File;
    for (auto _ : state) {
        benchmark::DoNotOptimize(fungipics::JpegBytes(fungipics::ReadMainPicture(file, QRect())));
    }
}

void BM_ConvertThumbnail(benchmark::State& state) {
    const QString convert = QStandardPaths::findExecutable("convert");
    if (convert.isEmpty()) {
        state.SkipWithError("convert saknas (ImageMagick)");
        return;
    }
    const QString out = Picture().Tmp.filePath("convert.bmp");
    Clock::duration total{};
    for (auto _ : state) {
        const auto t0 = Clock::now();
        if (QProcess::execute(convert, {Picture().File, "-thumbnail", "90x90", out}) != 0) {
            state.SkipWithError("convert misslyckades");
            return;
        }
        total += Clock::now() - t0;
    }
    g_convert = Secs(total) / double(state.iterations());
}

BENCHMARK(BM_Thumbnail)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_MainPicture)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ConvertThumbnail)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::printf("\n");
    if (g_convert > 0)
        std::printf("thumbnail of 12 MP / convert -thumbnail 90x90: %.2f (goal <= 1.00)\n", g_thumbnail / g_convert);
    else
        std::printf("convert (ImageMagick) not installed: no ratio\n");
    benchmark::Shutdown();
    return 0;
}
