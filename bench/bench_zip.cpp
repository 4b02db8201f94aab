// Packing and unpacking a folder through the zip component against Debian's zip -9 and unzip
// on the same files, measured in turn in the same run. Both sides run as a whole process:
// the component through its small command-line driver (zipdriver), so each pays one start.
// The component's time inside this process is printed beside it. Goals:
// the article folder packs in at most the time of zip -9, 100,000 small files pack in at
// most 1.2 times it and unpack in at most the time of unzip, large files unpack in at most
// the time of unzip.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "zip/ZipMstr.h"

namespace {

using Clock = std::chrono::steady_clock;

QByteArray Noise(qsizetype size, quint32 seed) {
    QByteArray b(size, Qt::Uninitialized);
    quint32 x = seed * 2654435761u + 7;
    for (qsizetype i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b[i] = char(x);
    }
    return b;
}

QByteArray Html(qsizetype size, int seed) {
    QByteArray b;
    b.reserve(size + 200);
    int i = seed;
    while (b.size() < size) {
        b += "<p class=\"art\">Kantarell nr " + QByteArray::number(i) +
            " växer i mossig barrskog från juli till oktober; hatten är " + QByteArray::number(i % 97) + " mm.</p>\n";
        ++i;
    }
    b.truncate(size);
    return b;
}

// Every file of the run lies in one folder, "bench_zip-<pid>-XXXXXX" in $TMPDIR. It is removed
// when the run ends: normally, on a failed write of the test files, and when the run is
// stopped by a signal (the handler starts "rm -rf", which is safe in a signal handler, and
// then dies of the signal as it would have). A run that could do nothing (killed with
// SIGKILL) leaves its folder behind; the next run removes such folders whose process is gone.
std::unique_ptr<QTemporaryDir> g_root;
char g_rootPath[4096] = "";

void RemoveRoot() {
    g_root.reset();
    g_rootPath[0] = '\0';
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "bench_zip: %s\n", what);
    RemoveRoot();
    std::exit(1);
}

extern "C" void OnStopSignal(int sig) {
    if (g_rootPath[0] != '\0') {
        const pid_t child = ::fork();
        if (child == 0) {
            char rm[] = "rm", rf[] = "-rf";
            char* argv[] = {rm, rf, g_rootPath, nullptr};
            ::execv("/bin/rm", argv);
            ::_exit(127);
        }
        if (child > 0)
            while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {}
    }
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

// Folders of earlier runs whose process no longer exists.
void RemoveStaleRoots() {
    const QByteArray tmp = QFile::encodeName(QDir::tempPath());
    DIR* d = ::opendir(tmp.constData());
    if (!d) return;
    const QByteArray prefix = "bench_zip-";
    while (const dirent* e = ::readdir(d)) {
        const QByteArray name(e->d_name);
        if (!name.startsWith(prefix)) continue;
        const QList<QByteArray> parts = name.mid(prefix.size()).split('-');
        bool ok = false;
        const long pid = parts.size() == 2 && parts[1].size() == 6 ? parts[0].toLong(&ok) : 0;
        if (!ok || pid <= 0 || pid == long(::getpid())) continue;
        if (::kill(pid_t(pid), 0) == 0 || errno != ESRCH) continue;
        const QString path = QDir::tempPath() + "/" + QFile::decodeName(name);
        struct stat st;
        if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
            continue;
        QDir(path).removeRecursively();
    }
    ::closedir(d);
}

void MakeRoot() {
    RemoveStaleRoots();
    g_root = std::make_unique<QTemporaryDir>(QDir::tempPath() + QString("/bench_zip-%1-XXXXXX").arg(::getpid()));
    const QByteArray path = QFile::encodeName(g_root->path());
    if (!g_root->isValid() || size_t(path.size()) >= sizeof g_rootPath) Fail("no temporary folder");
    std::memcpy(g_rootPath, path.constData(), size_t(path.size()) + 1);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) ::signal(sig, OnStopSignal);
}

void Write(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) Fail("a test file could not be written");
}

struct TFolder {
    QString Base;  // the case's own folder below the run's
    QString Dir;  // what is packed
};

std::vector<std::unique_ptr<TFolder>> g_folders;

TFolder* NewFolder(const QString& name) {
    g_folders.push_back(std::make_unique<TFolder>());
    TFolder* t = g_folders.back().get();
    t->Base = g_root->path() + "/" + name + "-fall";
    t->Dir = t->Base + "/" + name;
    if (!QDir().mkpath(t->Dir)) Fail("no folder for a case");
    return t;
}

// An article: a main page, a few pages and pictures.
TFolder* Article() {
    static TFolder* f = [] {
        TFolder* t = NewFolder("artikel");
        Write(t->Dir + "/main.htm", Html(60 * 1024, 1));
        for (int i = 0; i < 6; ++i) Write(t->Dir + QString("/sidor/sida%1.htm").arg(i), Html(15 * 1024, i));
        for (int i = 0; i < 8; ++i) Write(t->Dir + QString("/bilder/bild%1.jpg").arg(i), Noise(40 * 1024, i));
        return t;
    }();
    return f;
}

// About 100 MB: half text, half incompressible, in files of 5 MB.
TFolder* Large() {
    static TFolder* f = [] {
        TFolder* t = NewFolder("stor");
        for (int i = 0; i < 10; ++i) Write(t->Dir + QString("/text%1.htm").arg(i), Html(5 * 1024 * 1024, i));
        for (int i = 0; i < 10; ++i) Write(t->Dir + QString("/data%1.bin").arg(i), Noise(5 * 1024 * 1024, i));
        return t;
    }();
    return f;
}

// 100,000 files of 10 to 200 bytes in 100 folders.
TFolder* Small() {
    static TFolder* f = [] {
        TFolder* t = NewFolder("sma");
        quint32 x = 12345;
        for (int d = 0; d < 100; ++d) {
            const QString dir = t->Dir + QString("/mapp%1").arg(d);
            QDir().mkpath(dir);
            for (int i = 0; i < 1000; ++i) {
                x = x * 1103515245u + 12345u;
                const int size = 10 + int((x >> 16) % 191);
                QFile file(dir + QString("/f%1.txt").arg(i));
                const QByteArray b = Html(size, d * 1000 + i);
                if (!file.open(QIODevice::WriteOnly) || file.write(b) != b.size())
                    Fail("a test file could not be written");
            }
        }
        return t;
    }();
    return f;
}

bool Tool(const QString& tool, const QStringList& args, const QString& cwd) {
    QProcess p;
    p.setWorkingDirectory(cwd);
    p.start(QStandardPaths::findExecutable(tool), args);
    return p.waitForFinished(600000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QString ProgramFolder() { return QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../program"); }

TZipArchiver& Zip() {
    static TZipArchiver* z = [] {
        auto* a = new TZipArchiver;
        a->SetUnattended(true);
        a->SetDLLDirectory(ProgramFolder());
        return a;
    }();
    return *z;
}

// The component as a whole process: the small driver beside this program (zipdriver.cpp),
// which links only the component and what it needs.
bool Self(const QStringList& args) {
    QProcess p;
    p.start(QCoreApplication::applicationDirPath() + "/zipdriver", args);
    return p.waitForFinished(600000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

struct TFigure {
    double Mine = 0, Inside = 0, Theirs = 0;
    const char* Peer = "";
    double Goal = 0;
};
std::map<std::string, TFigure> g_figures;

double Secs(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

void PackInTurn(benchmark::State& state, TFolder* folder, const std::string& name, double goal) {
    if (QStandardPaths::findExecutable("zip").isEmpty()) {
        state.SkipWithError("zip saknas");
        return;
    }
    const QString out = folder->Base + "/ut.zip", ref = folder->Base + "/ref.zip";
    Clock::duration mine{}, inside{}, theirs{};
    for (auto _ : state) {
        QFile::remove(out);
        const auto t0 = Clock::now();
        if (!Self({"pack", out, folder->Dir})) state.SkipWithError("Add misslyckades");
        const auto t1 = Clock::now();
        QFile::remove(out);
        TZipArchiver& z = Zip();
        z.SetZipFileName(out);
        z.SetRootDir(folder->Dir);
        z.SetAddOptions(Zip::AddDirNames);
        z.SetFSpecArgs({">*.*"});
        const auto t2 = Clock::now();
        if (z.Add() != 0) state.SkipWithError("Add misslyckades");
        const auto t3 = Clock::now();
        QFile::remove(ref);
        const auto t4 = Clock::now();
        if (!Tool("zip", {"-9", "-q", "-r", "-D", ref, "."}, folder->Dir)) state.SkipWithError("zip misslyckades");
        theirs += Clock::now() - t4;
        mine += t1 - t0;
        inside += t3 - t2;
    }
    const double n = double(state.iterations());
    state.counters["ratio"] = Secs(mine) / Secs(theirs);
    state.counters["zip_s"] = Secs(theirs) / n;
    g_figures["pack " + name] = {Secs(mine) / n, Secs(inside) / n, Secs(theirs) / n, "zip -9", goal};
}

void UnpackInTurn(benchmark::State& state, TFolder* folder, const std::string& name, double goal) {
    if (QStandardPaths::findExecutable("unzip").isEmpty() || QStandardPaths::findExecutable("zip").isEmpty()) {
        state.SkipWithError("zip eller unzip saknas");
        return;
    }
    const QString ref = folder->Base + "/ref-in.zip";
    if (!QFileInfo::exists(ref) && !Tool("zip", {"-9", "-q", "-r", "-D", ref, "."}, folder->Dir)) {
        state.SkipWithError("zip misslyckades");
        return;
    }
    const QString a = folder->Base + "/a", b = folder->Base + "/b";
    Clock::duration mine{}, inside{}, theirs{};
    for (auto _ : state) {
        QDir(a).removeRecursively();
        const auto t0 = Clock::now();
        if (!Self({"unpack", ref, a})) state.SkipWithError("Extract misslyckades");
        const auto t1 = Clock::now();
        QDir(a).removeRecursively();
        TZipArchiver& z = Zip();
        z.SetZipFileName(ref);
        z.SetExtrBaseDir(a);
        z.SetExtrOptions(Zip::ExtrDirNames | Zip::ExtrOverWrite);
        const auto t2 = Clock::now();
        if (z.Extract() != 0) state.SkipWithError("Extract misslyckades");
        const auto t3 = Clock::now();
        QDir(b).removeRecursively();
        QDir().mkpath(b);
        const auto t4 = Clock::now();
        if (!Tool("unzip", {"-q", "-o", ref, "-d", b}, b)) state.SkipWithError("unzip misslyckades");
        theirs += Clock::now() - t4;
        mine += t1 - t0;
        inside += t3 - t2;
    }
    QDir(a).removeRecursively();
    QDir(b).removeRecursively();
    const double n = double(state.iterations());
    state.counters["ratio"] = Secs(mine) / Secs(theirs);
    state.counters["unzip_s"] = Secs(theirs) / n;
    g_figures["unpack " + name] = {Secs(mine) / n, Secs(inside) / n, Secs(theirs) / n, "unzip", goal};
}

void BM_PackArticle(benchmark::State& s) { PackInTurn(s, Article(), "article", 1.0); }
void BM_UnpackArticle(benchmark::State& s) { UnpackInTurn(s, Article(), "article", 0); }
void BM_PackLarge(benchmark::State& s) { PackInTurn(s, Large(), "100 MB", 0); }
void BM_UnpackLarge(benchmark::State& s) { UnpackInTurn(s, Large(), "100 MB", 1.0); }
void BM_PackSmall(benchmark::State& s) { PackInTurn(s, Small(), "100,000 files", 1.2); }
void BM_UnpackSmall(benchmark::State& s) { UnpackInTurn(s, Small(), "100,000 files", 1.0); }
BENCHMARK(BM_PackArticle)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_UnpackArticle)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_PackLarge)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_UnpackLarge)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PackSmall)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_UnpackSmall)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
    int result = 0;
    {
        QCoreApplication app(argc, argv);
        MakeRoot();
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        std::printf("\n%-22s %12s %12s %12s  %-7s %6s %6s\n", "case", "component s", "(in process)", "peer s", "peer",
                    "ratio", "goal");
        for (const auto& [name, f] : g_figures) {
            char goal[16] = "";
            if (f.Goal > 0) std::snprintf(goal, sizeof goal, "<= %.2f", f.Goal);
            std::printf("%-22s %12.3f %12.3f %12.3f  %-7s %6.2f %6s\n", name.c_str(), f.Mine, f.Inside, f.Theirs,
                        f.Peer, f.Mine / f.Theirs, goal);
        }
        std::printf("Both sides are whole processes (the component through bench/zipdriver).\n");
        benchmark::Shutdown();
        g_folders.clear();
        RemoveRoot();
    }
    return result;
}
