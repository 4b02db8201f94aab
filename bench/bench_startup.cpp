// Start-up as the user meets it: the program block started on a program folder holding the
// database of a well-used installation and one user without a password, from the start to the
// main window's first paint. Beside it the sum of the status texts' minimum times, which
// start-up should exceed only by what the main window's first paint costs.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDirIterator>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "content/unitContentScreens.h"
#include "core/unitDM.h"
#include "core/unitMain.h"
#include "core/unitStartup.h"
#include "platform/Application.h"
#include "platform/Clock.h"
#include "platform/UIServices.h"
#include "BenchTables.h"

namespace {

// The shipped files of the build's program folder (MYKO_PROGRAM_DIR, else "program" beside the
// folder of the benchmarks).
QString ShippedProgramFolder() {
    const QString given = qEnvironmentVariable("MYKO_PROGRAM_DIR");
    if (!given.isEmpty()) return given;
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../program");
}

struct ProgramFolder {
    QTemporaryDir dir;
    QString path;
    bool ok = false;
    ProgramFolder() {
        path = dir.path() + QStringLiteral("/");
        const QString shipped = ShippedProgramFolder();
        for (const char* sub : {"Data/Res", "Data/Scripts", "Data/Pics"}) {
            const QString from = shipped + QLatin1Char('/') + QLatin1String(sub);
            QDirIterator it(from, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString file = it.next();
                const QString to = path + QLatin1String(sub) + QLatin1Char('/') + QDir(from).relativeFilePath(file);
                QDir().mkpath(QFileInfo(to).absolutePath());
                QFile::copy(file, to);
            }
        }
        if (!QFileInfo::exists(path + QStringLiteral("Data/Res/Districts.dat"))) {
            std::fprintf(stderr, "No program folder at %s (set MYKO_PROGRAM_DIR)\n", qPrintable(shipped));
            return;
        }
        benchtables::GenerateDatabase(path);
        // One user without a password, logged in directly.
        TDM dm(path);
        dm.cdsUsers->Append();
        dm.cdsUsers->FieldByName(QStringLiteral("UserName"))->SetAsString(QStringLiteral("Svampplockare"));
        dm.cdsUsers->Post();
        ok = dm.StartupErrors().isEmpty();
    }
};

ProgramFolder& Folder() {
    static ProgramFolder folder;
    return folder;
}

// Stops the loop at the first paint of the main window or of anything inside it.
class FirstPaint : public QObject {
public:
    FirstPaint(QWidget* window, QEventLoop* loop) : m_window(window), m_loop(loop) { qApp->installEventFilter(this); }
    ~FirstPaint() override { qApp->removeEventFilter(this); }
    bool Painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!Painted && event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->window() == m_window) {
            Painted = true;
            m_loop->quit();
        }
        return false;
    }

private:
    QWidget* m_window;
    QEventLoop* m_loop;
};

int StatusTextsMs() {
    int sum = 0;
    for (const char* text : {TProgramBlock::InitDatabaseText, TProgramBlock::InitUserInterfaceText,
                             TProgramBlock::SpeciesListText, TProgramBlock::ContactListText,
                             TProgramBlock::PlacesPerFungiText, TProgramBlock::UserSettingsText,
                             TProgramBlock::SpeciesSelectionText})
        sum += QString::fromUtf8(text).section(QLatin1Char(','), 0, 0).toInt();
    return sum;
}

std::vector<double> g_samples;
int g_messages = 0;

void BM_StartToFirstPaint(benchmark::State& state) {
    ProgramFolder& folder = Folder();
    if (!folder.ok) {
        state.SkipWithError("the program folder could not be prepared");
        return;
    }
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        const auto start = Clock::now();
        bool painted = false;
        {
            TProgramBlock block(folder.path);
            if (block.StartUp() != TProgramBlock::TStartResult::LoggedIn) break;
            QEventLoop loop;
            FirstPaint watcher(block.MainForm(), &loop);
            block.MainForm()->show();
            if (!watcher.Painted) loop.exec();
            painted = watcher.Painted;
            const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            state.SetIterationTime(ms / 1000.0);
            g_samples.push_back(ms);
        }
        if (!painted) break;
    }
    if (g_samples.size() < size_t(state.iterations())) state.SkipWithError("start-up did not reach the main window");
}
BENCHMARK(BM_StartToFirstPaint)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Mykotekshallen"));
    TApplication::SetTitle(QStringLiteral("Mykotekshallen"));
    RegisterCoreScreens();
    RegisterContentScreens();
    Clock::SetSkipWaits(false);
    // A box would wait for a hand that is not there: each is counted and answered.
    UIServices::SetMessageHook([](const UIServices::TShownMessage& message) {
        ++g_messages;
        std::fprintf(stderr, "box: %s\n", qPrintable(message.Text));
        return UIServices::TMsgResult::OK;
    });
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    if (!g_samples.empty()) {
        std::vector<double> sorted = g_samples;
        std::sort(sorted.begin(), sorted.end());
        const double median = sorted[sorted.size() / 2];
        const int texts = StatusTextsMs();
        std::printf("\nStart to the main window's first paint (%d species, %d pictures, %d text rows, %d finds, "
                    "%d places): median %.0f ms, first %.0f ms\n",
                    benchtables::kSpecies, benchtables::kPictures, benchtables::kTextRows, benchtables::kFinds,
                    benchtables::kPlaces, median, g_samples.front());
        std::printf("Sum of the status texts' minimum times: %d ms; start-up exceeds it by %.0f ms (%.2f x)\n", texts,
                    median - texts, median / texts);
    }
    if (g_messages > 0) std::printf("%d message boxes were shown during start-up\n", g_messages);
    benchmark::Shutdown();
    return 0;
}
