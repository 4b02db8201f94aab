#pragma once
// What the benchmarks share: a reporter that keeps each benchmark's time per iteration for the
// ratios printed after the run, the start of a run, and the memory in use.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace benchsupport {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> times;  // per iteration, in the benchmark's own time unit
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                times[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

// Bytes the heap has handed out and not yet got back (mmapped blocks included).
inline double LiveHeapBytes() {
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks) + double(info.hblkhd);
}

// A line of /proc/self/status in kB ("VmRSS", "VmHWM"), 0 when there is none.
inline long StatusKb(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(status, line))
        if (line.compare(0, prefix.size(), prefix) == 0) return std::atol(line.c_str() + prefix.size());
    return 0;
}

// Reads the benchmark options and runs every benchmark; false when an option is not known.
inline bool Run(int& argc, char** argv, benchmark::BenchmarkReporter& reporter) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return false;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    return true;
}

}  // namespace benchsupport
