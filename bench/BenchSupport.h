#pragma once
// What the benchmarks share: a reporter that keeps each benchmark's time per iteration for the
// ratios printed after the run, and the start of a run.
#include <benchmark/benchmark.h>

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

// Reads the benchmark options and runs every benchmark; false when an option is not known.
inline bool Run(int& argc, char** argv, benchmark::BenchmarkReporter& reporter) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return false;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    return true;
}

}  // namespace benchsupport
