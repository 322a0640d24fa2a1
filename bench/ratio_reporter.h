// ratio_reporter.h - runs a benchmark program and, after the usual console report, prints each
// relayKit/baseline ratio of real time per iteration (the median over --benchmark_repetitions).
// A program whose benchmark reported an error exits with 1. With RELAYKIT_BENCH_SMOKE set in the
// environment every fixed count shrinks to one: a smoke run that proves each benchmark still runs.
#ifndef RELAYKIT_BENCH_RATIO_REPORTER_H
#define RELAYKIT_BENCH_RATIO_REPORTER_H

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace ratio {

// The fixed iteration or repetition count of a benchmark: one in a smoke run.
inline int Count(int full) { return std::getenv("RELAYKIT_BENCH_SMOKE") != nullptr ? 1 : full; }

struct Pair {
    // Benchmark function names without arguments or /real_time; a run on several threads is
    // named with "/threads:N" added.
    const char *mine;
    const char *base;
};

class Reporter : public benchmark::ConsoleReporter {
  public:
    explicit Reporter(std::vector<Pair> pairs) : pairs_(std::move(pairs)) {}

    void ReportRuns(const std::vector<Run> &runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.error_occurred) failed_ = true;
            if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
            std::string name = run.run_name.function_name;
            if (run.threads > 1) name += "/threads:" + std::to_string(run.threads);
            times_[name].push_back(run.real_accumulated_time / static_cast<double>(run.iterations));
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        for (const Pair &pair : pairs_) {
            const double mine = Median(pair.mine);
            const double base = Median(pair.base);
            if (mine <= 0 || base <= 0) continue;
            std::printf("ratio %-32s / %-32s %.2f\n", pair.mine, pair.base, mine / base);
        }
    }

    // True when a benchmark stopped with an error (SkipWithError).
    bool Failed() const { return failed_; }

  private:
    double Median(const std::string &name) {
        auto it = times_.find(name);
        if (it == times_.end() || it->second.empty()) return 0;
        std::vector<double> &times = it->second;
        std::sort(times.begin(), times.end());
        return times[times.size() / 2];
    }

    std::vector<Pair> pairs_;
    std::map<std::string, std::vector<double>> times_;
    bool failed_ = false;
};

// The main of a benchmark program that reports ratios.
inline int Main(int argc, char **argv, std::vector<Pair> pairs) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    Reporter reporter(std::move(pairs));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.Failed() ? 1 : 0;
}

} // namespace ratio

#endif // RELAYKIT_BENCH_RATIO_REPORTER_H
