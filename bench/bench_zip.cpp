// Packing and unpacking a folder through the zip component against Debian's zip -9 and unzip
// on the same files, measured in turn in the same run. Goals: packing at most 1.1 times the
// time of zip -9, unpacking of large files at most the time of unzip.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>

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

void Write(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) std::abort();
}

struct TFolder {
    QTemporaryDir Tmp;
    QString Dir;
};

// An article: a main page, a few pages and pictures.
TFolder* Article() {
    static TFolder* f = [] {
        auto* t = new TFolder;
        t->Dir = t->Tmp.path() + "/artikel";
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
        auto* t = new TFolder;
        t->Dir = t->Tmp.path() + "/stor";
        for (int i = 0; i < 10; ++i) Write(t->Dir + QString("/text%1.htm").arg(i), Html(5 * 1024 * 1024, i));
        for (int i = 0; i < 10; ++i) Write(t->Dir + QString("/data%1.bin").arg(i), Noise(5 * 1024 * 1024, i));
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

TZipArchiver& Zip() {
    static TZipArchiver* z = [] {
        auto* a = new TZipArchiver;
        a->SetUnattended(true);
        a->SetDLLDirectory(QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../program"));
        return a;
    }();
    return *z;
}

std::map<std::string, double> g_ratio;

double Secs(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

void PackInTurn(benchmark::State& state, TFolder* folder, const std::string& name) {
    if (QStandardPaths::findExecutable("zip").isEmpty()) {
        state.SkipWithError("zip saknas");
        return;
    }
    const QString out = folder->Tmp.path() + "/ut.zip", ref = folder->Tmp.path() + "/ref.zip";
    Clock::duration mine{}, theirs{};
    for (auto _ : state) {
        QFile::remove(out);
        QFile::remove(ref);
        TZipArchiver& z = Zip();
        z.SetZipFileName(out);
        z.SetRootDir(folder->Dir);
        z.SetAddOptions(AddDirNames);
        z.SetFSpecArgs({">*.*"});
        const auto t0 = Clock::now();
        if (z.Add() != 0) state.SkipWithError("Add misslyckades");
        const auto t1 = Clock::now();
        if (!Tool("zip", {"-9", "-q", "-r", "-D", ref, "."}, folder->Dir)) state.SkipWithError("zip misslyckades");
        mine += t1 - t0;
        theirs += Clock::now() - t1;
    }
    state.counters["ratio"] = Secs(mine) / Secs(theirs);
    state.counters["zip_s"] = Secs(theirs) / double(state.iterations());
    g_ratio["pack " + name] = Secs(mine) / Secs(theirs);
}

void UnpackInTurn(benchmark::State& state, TFolder* folder, const std::string& name) {
    if (QStandardPaths::findExecutable("unzip").isEmpty() || QStandardPaths::findExecutable("zip").isEmpty()) {
        state.SkipWithError("zip eller unzip saknas");
        return;
    }
    const QString ref = folder->Tmp.path() + "/ref-in.zip";
    if (!QFileInfo::exists(ref) && !Tool("zip", {"-9", "-q", "-r", "-D", ref, "."}, folder->Dir)) {
        state.SkipWithError("zip misslyckades");
        return;
    }
    const QString a = folder->Tmp.path() + "/a", b = folder->Tmp.path() + "/b";
    Clock::duration mine{}, theirs{};
    for (auto _ : state) {
        QDir(a).removeRecursively();
        QDir(b).removeRecursively();
        QDir().mkpath(b);
        TZipArchiver& z = Zip();
        z.SetZipFileName(ref);
        z.SetExtrBaseDir(a);
        z.SetExtrOptions(ExtrDirNames | ExtrOverWrite);
        const auto t0 = Clock::now();
        if (z.Extract() != 0) state.SkipWithError("Extract misslyckades");
        const auto t1 = Clock::now();
        if (!Tool("unzip", {"-q", "-o", ref, "-d", b}, b)) state.SkipWithError("unzip misslyckades");
        mine += t1 - t0;
        theirs += Clock::now() - t1;
    }
    state.counters["ratio"] = Secs(mine) / Secs(theirs);
    state.counters["unzip_s"] = Secs(theirs) / double(state.iterations());
    g_ratio["unpack " + name] = Secs(mine) / Secs(theirs);
}

void BM_PackArticle(benchmark::State& s) { PackInTurn(s, Article(), "article"); }
void BM_UnpackArticle(benchmark::State& s) { UnpackInTurn(s, Article(), "article"); }
void BM_PackLarge(benchmark::State& s) { PackInTurn(s, Large(), "100 MB"); }
void BM_UnpackLarge(benchmark::State& s) { UnpackInTurn(s, Large(), "100 MB"); }
BENCHMARK(BM_PackArticle)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_UnpackArticle)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_PackLarge)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_UnpackLarge)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::printf("\n");
    for (const auto& [name, ratio] : g_ratio)
        std::printf("%-16s component / %s: %.2f\n", name.c_str(), name.rfind("pack", 0) == 0 ? "zip -9" : "unzip", ratio);
    std::printf("Goals: packing <= 1.10, unpacking of large files <= 1.00\n");
    benchmark::Shutdown();
    return 0;
}
