// Making the 90-pixel thumbnail (as BMP) and the 211 x 211 main picture from the marker square (as
// JPEG) of a 12-megapixel JPEG, beside two peers doing the same job on the same file:
//  - ImageMagick's /usr/bin/convert (./dev bench installs it), told the size it will need
//    ("-define jpeg:size=...", so that it too decodes at a reduced size), with the measured
//    time of an empty start of the same program (a 1 x 1 picture made and thrown away)
//    taken off, so that the process start does not count;
//  - Qt in this process: QImageReader decoding at the same reduced size, a smooth scale and
//    the same encoder, without our cropping and fitting rules.
// Each is measured in turn in the same run; a ratio below 1 means ours is faster.
#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "content/species/pictures/FungiPicImages.h"

namespace {

using Clock = std::chrono::steady_clock;

const QString kConvert = QStringLiteral("/usr/bin/convert");
constexpr int kWidth = 4000, kHeight = 3000;

struct TPictureFile {
    QTemporaryDir Tmp;
    QString File;
    TPictureFile() {
        // A photograph-like picture: smooth gradients with fine texture, 4000 x 3000.
        QImage image(kWidth, kHeight, QImage::Format_RGB32);
        quint32 x = 12345;
        for (int row = 0; row < image.height(); ++row) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(row));
            for (int col = 0; col < image.width(); ++col) {
                x ^= x << 13;
                x ^= x >> 17;
                x ^= x << 5;
                const int n = int(x & 31);
                line[col] = qRgb((col * 255 / kWidth + n) & 255, (row * 255 / kHeight + n) & 255, (128 + n) & 255);
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

// The reduced sizes both sides decode at: twice the final size, as ours does.
const QSize kThumbnailDecode =
    QSize(kWidth, kHeight).scaled(2 * fungipics::ThumbnailSize, 2 * fungipics::ThumbnailSize, Qt::KeepAspectRatio);
// The whole picture at the scale that gives the centred square twice the main picture's side.
const QSize kMainDecode(kWidth * 2 * fungipics::MainPictureSize / kHeight, 2 * fungipics::MainPictureSize);

QByteArray Encoded(const QImage& picture, const char* format, int quality) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (quality >= 0) writer.setQuality(quality);
    writer.write(picture);
    return bytes;
}

// ---- Ours ----

void BM_Thumbnail(benchmark::State& state) {
    const QString file = Picture().File;
    for (auto _ : state) benchmark::DoNotOptimize(fungipics::BmpBytes(fungipics::ReadThumbnail(file)));
}

void BM_MainPicture(benchmark::State& state) {
    const QString file = Picture().File;
    for (auto _ : state) benchmark::DoNotOptimize(fungipics::JpegBytes(fungipics::ReadMainPicture(file, QRect())));
}

// ---- Qt in this process ----

void BM_QtThumbnail(benchmark::State& state) {
    const QString file = Picture().File;
    for (auto _ : state) {
        QImageReader reader(file);
        reader.setScaledSize(kThumbnailDecode);
        const QImage small = reader.read().scaled(fungipics::ThumbnailSize, fungipics::ThumbnailSize,
                                                  Qt::KeepAspectRatio, Qt::SmoothTransformation);
        benchmark::DoNotOptimize(Encoded(small, "bmp", -1));
    }
}

void BM_QtMainPicture(benchmark::State& state) {
    const QString file = Picture().File;
    for (auto _ : state) {
        QImageReader reader(file);
        reader.setScaledSize(kMainDecode);
        const QImage decoded = reader.read();
        const int side = std::min(decoded.width(), decoded.height());
        const QImage square = decoded.copy((decoded.width() - side) / 2, (decoded.height() - side) / 2, side, side)
                                  .scaled(fungipics::MainPictureSize, fungipics::MainPictureSize, Qt::IgnoreAspectRatio,
                                          Qt::SmoothTransformation);
        benchmark::DoNotOptimize(Encoded(square, "jpg", fungipics::JpegQuality));
    }
}

// ---- ImageMagick ----

bool HaveConvert() { return QFileInfo(kConvert).isExecutable(); }

// Runs convert with the arguments; the wall time of the whole process.
bool RunConvert(const QStringList& arguments, Clock::duration& took) {
    const auto t0 = Clock::now();
    const int rc = QProcess::execute(kConvert, arguments);
    took = Clock::now() - t0;
    return rc == 0;
}

void ConvertCase(benchmark::State& state, const QStringList& arguments) {
    if (!HaveConvert()) {
        state.SkipWithError("/usr/bin/convert saknas (ImageMagick)");
        return;
    }
    for (auto _ : state) {
        Clock::duration took{};
        if (!RunConvert(arguments, took)) {
            state.SkipWithError("convert misslyckades");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(took).count());
    }
}

QString Size(const QSize& size) { return QStringLiteral("%1x%2").arg(size.width()).arg(size.height()); }

// The start of the program alone: a 1 x 1 picture made and thrown away.
void BM_ConvertEmptyStart(benchmark::State& state) {
    ConvertCase(state,
                {QStringLiteral("-size"), QStringLiteral("1x1"), QStringLiteral("xc:white"), QStringLiteral("null:")});
}

void BM_ConvertThumbnail(benchmark::State& state) {
    const QString size = QString::number(fungipics::ThumbnailSize);
    ConvertCase(state,
                {QStringLiteral("-define"), QStringLiteral("jpeg:size=") + Size(kThumbnailDecode), Picture().File,
                 QStringLiteral("-thumbnail"), size + QLatin1Char('x') + size,
                 Picture().Tmp.filePath(QStringLiteral("convert.bmp"))});
}

void BM_ConvertMainPicture(benchmark::State& state) {
    const QString side = QString::number(fungipics::MainPictureSize);
    ConvertCase(state,
                {QStringLiteral("-define"), QStringLiteral("jpeg:size=") + Size(kMainDecode), Picture().File,
                 QStringLiteral("-gravity"), QStringLiteral("center"), QStringLiteral("-crop"),
                 QStringLiteral("%1x%1+0+0").arg(std::min(kMainDecode.width(), kMainDecode.height())),
                 QStringLiteral("+repage"), QStringLiteral("-resize"),
                 side + QLatin1Char('x') + side + QLatin1Char('!'), QStringLiteral("-quality"),
                 QString::number(fungipics::JpegQuality), Picture().Tmp.filePath(QStringLiteral("convert.jpg"))});
}

BENCHMARK(BM_Thumbnail)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_QtThumbnail)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_MainPicture)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_QtMainPicture)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ConvertEmptyStart)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ConvertThumbnail)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ConvertMainPicture)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

class Reporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> times;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                times[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto& t = reporter.times;
    // A run is named after its function with its options after a slash ("/min_time:1.000").
    const auto ms = [&](const char* name) {
        for (const auto& [run, time] : t)
            if (run.substr(0, run.find('/')) == name) return time;
        return 0.0;
    };
    const double start = ms("BM_ConvertEmptyStart");
    std::printf("\n12-megapixel JPEG (%d x %d); ImageMagick's empty start %.1f ms, taken off its figures\n", kWidth,
                kHeight, start);
    const struct {
        const char* what;
        const char* ours;
        const char* qt;
        const char* convert;
    } cases[] = {{"thumbnail, 90 px BMP:     ", "BM_Thumbnail", "BM_QtThumbnail", "BM_ConvertThumbnail"},
                 {"main picture, 211 px JPEG:", "BM_MainPicture", "BM_QtMainPicture", "BM_ConvertMainPicture"}};
    for (const auto& c : cases) {
        const double ours = ms(c.ours), qt = ms(c.qt), convert = ms(c.convert) - start;
        if (ours <= 0) continue;
        std::printf("%s ours %6.2f ms; Qt reader %6.2f ms (%.2fx)", c.what, ours, qt, qt > 0 ? ours / qt : 0.0);
        if (ms(c.convert) > 0 && start > 0)
            std::printf("; convert %6.2f ms less start (%.2fx)\n", convert, ours / convert);
        else
            std::printf("; convert not run (install ImageMagick)\n");
    }
    benchmark::Shutdown();
    return 0;
}
