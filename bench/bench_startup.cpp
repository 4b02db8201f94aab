// Start-up as the user meets it, measured from exec: this program is started again as a child
// process that runs the program block on a program folder holding the database of a well-used
// installation and one user without a password, and says so at the main window's first paint;
// the time runs from the start of the child to that line. The child runs as the program does
// (the status texts keep their minimum times), and again with those waits skipped (the clock's
// switch that the tests use), which leaves the work alone. Beside it a minimal Qt Widgets
// program (bench/startup_minimal.cpp: an application and one window shown) started and timed
// the same way on the same machine. Goal: the work at most 200 ms beyond the minimal program.
// Each child also gives the processor time it used from exec to that paint, which a machine
// busy with other work stretches far less than the time from exec.
#include <QApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QWidget>

#include <ctime>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "content/unitContentScreens.h"
#include "core/unitDM.h"
#include "shell/unitMain.h"
#include "shell/unitStartup.h"
#include "platform/Application.h"
#include "platform/Clock.h"
#include "platform/UIServices.h"
#include "BenchTables.h"

namespace {

constexpr int kRuns = 7;
constexpr double kGoalMs = 200;
const char* const kPainted = "painted";

// The shipped files of the build's program folder (MYKO_PROGRAM_DIR, else "program" beside the
// folder of the benchmarks).
QString ShippedProgramFolder() {
    const QString given = qEnvironmentVariable("MYKO_PROGRAM_DIR");
    if (!given.isEmpty()) return given;
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../program");
}

// A program folder with the shipped files, the database and one user without a password.
bool PrepareProgramFolder(const QString& path) {
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
        return false;
    }
    benchtables::GenerateDatabase(path);
    TDM dm(path);
    dm.cdsUsers->Append();
    dm.cdsUsers->FieldByName(QStringLiteral("UserName"))->SetAsString(QStringLiteral("Svampplockare"));
    dm.cdsUsers->Post();
    return dm.StartupErrors().isEmpty();
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

// The processor time of this process so far, all its threads.
double ProcessorMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// The child: the program's own start, to the main window's first paint.
int Child(int argc, char** argv, const QString& folder, bool skipWaits) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Mykotekshallen"));
    TApplication::SetTitle(QStringLiteral("Mykotekshallen"));
    RegisterCoreScreens();
    RegisterContentScreens();
    Clock::SetSkipWaits(skipWaits);
    // A box would wait for a hand that is not there: each is told and answered.
    UIServices::SetMessageHook([](const UIServices::TShownMessage& message) {
        std::fprintf(stderr, "box: %s\n", qPrintable(message.Text));
        return UIServices::TMsgResult::OK;
    });
    TProgramBlock block(folder);
    if (block.StartUp() != TProgramBlock::TStartResult::LoggedIn) return 2;
    QEventLoop loop;
    FirstPaint watcher(block.MainForm(), &loop);
    block.MainForm()->show();
    if (!watcher.Painted) loop.exec();
    if (!watcher.Painted) return 3;
    std::printf("%s %.1f\n", kPainted, ProcessorMs());
    std::fflush(stdout);
    return 0;
}

struct TStart {
    double Ms = -1;  // from the start to the line, -1 when it did not come
    double ProcessorMs = 0;  // as the child gives it
};

// Starts a program and waits for its line at the first paint.
TStart TimeToPaint(const QString& program, const QStringList& arguments) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    child.start(program, arguments);
    if (!child.waitForStarted(30000)) return {};
    QByteArray out;
    while (!out.contains('\n')) {
        if (!child.waitForReadyRead(60000)) break;
        out += child.readAllStandardOutput();
    }
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    child.waitForFinished(60000);
    const QList<QByteArray> words = out.trimmed().split(' ');
    if (words.size() != 2 || words[0] != kPainted) return {};
    return {ms, words[1].toDouble()};
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

int StatusTextsMs() {
    int sum = 0;
    for (const char* text :
         {TProgramBlock::InitDatabaseText, TProgramBlock::InitUserInterfaceText, TProgramBlock::SpeciesListText,
          TProgramBlock::ContactListText, TProgramBlock::PlacesPerFungiText, TProgramBlock::UserSettingsText,
          TProgramBlock::SpeciesSelectionText})
        sum += QString::fromUtf8(text).section(QLatin1Char(','), 0, 0).toInt();
    return sum;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--child") == 0)
        return Child(argc, argv, QString::fromLocal8Bit(argv[2]),
                     argc >= 4 && std::strcmp(argv[3], "--skip-waits") == 0);

    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/");
    if (!PrepareProgramFolder(folder)) {
        std::fprintf(stderr, "the program folder could not be prepared\n");
        return 1;
    }
    const QString self = QCoreApplication::applicationFilePath();
    const QString minimal = QCoreApplication::applicationDirPath() + QStringLiteral("/startup_minimal");
    std::vector<double> total, work, bare, totalCpu, workCpu, bareCpu;
    // In turn, so that all three meet the same conditions of the machine.
    for (int run = 0; run < kRuns; ++run) {
        const TStart a = TimeToPaint(self, {QStringLiteral("--child"), folder});
        const TStart b = TimeToPaint(self, {QStringLiteral("--child"), folder, QStringLiteral("--skip-waits")});
        const TStart c = TimeToPaint(minimal, {});
        if (a.Ms < 0 || b.Ms < 0 || c.Ms < 0) {
            std::fprintf(stderr, "a start did not reach its first paint\n");
            return 1;
        }
        total.push_back(a.Ms);
        work.push_back(b.Ms);
        bare.push_back(c.Ms);
        totalCpu.push_back(a.ProcessorMs);
        workCpu.push_back(b.ProcessorMs);
        bareCpu.push_back(c.ProcessorMs);
    }
    const double t = Median(total), w = Median(work), m = Median(bare);
    const double tc = Median(totalCpu), wc = Median(workCpu), mc = Median(bareCpu);
    std::printf(
        "Start from exec to the main window's first paint (%d species, %d pictures, %d text rows, %d finds, "
        "%d places), medians of %d starts; time from exec, and processor time:\n",
        benchtables::kSpecies, benchtables::kPictures, benchtables::kTextRows, benchtables::kFinds,
        benchtables::kPlaces, kRuns);
    std::printf("  as the user meets it:           %6.0f ms  %6.0f ms (the status texts wait at least %d ms)\n", t, tc,
                StatusTextsMs());
    std::printf("  the work, waits skipped:        %6.0f ms  %6.0f ms\n", w, wc);
    std::printf("  a minimal Qt Widgets program:   %6.0f ms  %6.0f ms\n", m, mc);
    std::printf("  work beyond the minimal program: %5.0f ms  %6.0f ms (goal %.0f ms at most: %.2f x, %.2f x)\n", w - m,
                wc - mc, kGoalMs, (w - m) / kGoalMs, (wc - mc) / kGoalMs);
    return 0;
}
