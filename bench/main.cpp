// The benchmark binary's entry: runs the benchmarks with the usual flags,
// then prints the figures the targets are about (time per output quad at
// each size, its spread, OpenSubdiv over dozu, peak memory over output).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "bench_sizes.h"
#include "runtime_bench.h"

namespace {

using Run = benchmark::BenchmarkReporter::Run;

// Keeps every run it prints, so the summary can take medians over
// repetitions whether or not only the aggregates are reported.
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    using ConsoleReporter::ConsoleReporter;

    void ReportRuns(const std::vector<Run>& reports) override {
        for (const Run& r : reports) {
            if (r.error_occurred) continue;
            Figures& f = figures_[{r.run_name.function_name, argument(r.run_name.args)}];
            if (r.run_type == Run::RT_Iteration)
                f.runs.push_back(r);
            else if (r.aggregate_name == "median")
                f.median = r;
        }
        ConsoleReporter::ReportRuns(reports);
    }

    // The counter's median over the repetitions; nullopt when it did not run.
    std::optional<double> counter(const std::string& function, int64_t arg, const std::string& name) const {
        return pick(function, arg, [&](const Run& r) {
            auto it = r.counters.find(name);
            return it == r.counters.end() ? 0.0 : it->second.value;
        });
    }
    std::optional<double> cpu_ms(const std::string& function, int64_t arg) const {
        return pick(function, arg, [](const Run& r) {
            return r.GetAdjustedCPUTime() * benchmark::GetTimeUnitMultiplier(benchmark::kMillisecond) /
                   benchmark::GetTimeUnitMultiplier(r.time_unit);
        });
    }

private:
    struct Figures {
        std::vector<Run> runs;
        std::optional<Run> median;
    };

    static int64_t argument(const std::string& args) {
        const size_t colon = args.find(':');
        return args.empty() ? 0 : std::stoll(args.substr(colon == std::string::npos ? 0 : colon + 1));
    }

    template <typename Value>
    std::optional<double> pick(const std::string& function, int64_t arg, Value value) const {
        auto it = figures_.find({function, arg});
        if (it == figures_.end()) return std::nullopt;
        if (it->second.median) return value(*it->second.median);
        std::vector<double> v;
        for (const Run& r : it->second.runs) v.push_back(value(r));
        if (v.empty()) return std::nullopt;
        std::sort(v.begin(), v.end());
        const size_t n = v.size();
        return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    }

    std::map<std::pair<std::string, int64_t>, Figures> figures_;
};

const char* verdict(bool met) { return met ? "met" : "MISSED"; }

std::optional<double> ns_per_out_quad(const CollectingReporter& rep, const char* function, int64_t arg) {
    const auto seconds = rep.counter(function, arg, dozu::bench::kTimePerOutQuad);
    return seconds ? std::optional<double>(*seconds * 1e9) : std::nullopt;
}

struct Column {
    const char* title;
    const char* function;
};

// Nanoseconds per output quad for each size and column, the time of the
// first column over the last (OpenSubdiv over dozu), and the spread of the
// first column over the sizes.
void print_table(const CollectingReporter& rep, const char* title, std::initializer_list<Column> columns) {
    using namespace dozu::bench;
    const Column& dozu = *columns.begin();
    const Column& osd = *(columns.end() - 1);
    bool header = false;
    double lo = 0, hi = 0;
    for (int64_t n : kInputQuads) {
        const auto d = ns_per_out_quad(rep, dozu.function, n);
        if (!d) continue;
        if (!header) {
            std::printf("\n%s, ns per output quad\n%10s %10s", title, "in quads", "out quads");
            for (const Column& c : columns) std::printf(" %16s", c.title);
            std::printf(" %10s %12s\n", "OSD/dozu", "dozu faults");
            header = true;
        }
        std::printf("%10lld %10.0f", static_cast<long long>(n),
                    rep.counter(dozu.function, n, "out_quads").value_or(0));
        for (const Column& c : columns) {
            const auto v = ns_per_out_quad(rep, c.function, n);
            v ? std::printf(" %16.2f", *v) : std::printf(" %16s", "-");
        }
        const auto o = ns_per_out_quad(rep, osd.function, n);
        o ? std::printf(" %10.2f", *o / *d) : std::printf(" %10s", "-");
        std::printf(" %12.0f\n", rep.counter(dozu.function, n, "faults").value_or(0));
        lo = lo == 0 ? *d : std::min(lo, *d);
        hi = std::max(hi, *d);
    }
    if (!header) return;
    std::printf("%s from %.0f to %.0f ns per output quad over the sizes: slowest / fastest %.2f\n", dozu.title, lo,
                hi, hi / lo);
    const auto d = ns_per_out_quad(rep, dozu.function, kRatioQuads);
    const auto o = ns_per_out_quad(rep, osd.function, kRatioQuads);
    if (d)
        std::printf("%s at %lld input quads: %.2f ns per output quad (target <= 25: %s)\n", dozu.title,
                    static_cast<long long>(kRatioQuads), *d, verdict(*d <= 25));
    if (d && o)
        std::printf("OpenSubdiv time / %s time at %lld input quads: %.2f (target >= 3: %s)\n", dozu.title,
                    static_cast<long long>(kRatioQuads), *o / *d, verdict(*o / *d >= 3));
}

// The C runtime's decode time over the interpreter's run, per program.
void print_runtime_table(const CollectingReporter& rep) {
    bool header = false;
    double worst = 0;
    for (const std::string& name : dozu::bench::runtime_bench_programs()) {
        const auto core = rep.cpu_ms("BM_core_run:" + name, 0);
        const auto rt = rep.cpu_ms("BM_runtime_decode:" + name, 0);
        if (!core || !rt) continue;
        if (!header) std::printf("\n%-16s %12s %12s %14s\n", "program", "core us", "runtime us", "runtime/core");
        header = true;
        std::printf("%-16s %12.1f %12.1f %14.2f\n", name.c_str(), *core * 1e3, *rt * 1e3, *rt / *core);
        worst = std::max(worst, *rt / *core);
    }
    if (header)
        std::printf("runtime decode / core run, worst program: %.2f (target <= 1.5: %s)\n", worst,
                    verdict(worst <= 1.5));
}

void print_summary(const CollectingReporter& rep) {
    using namespace dozu::bench;
    std::printf("\nSummary (medians over repetitions)\n");
    print_table(rep, "Recycled memory (large blocks reused from call to call)",
                {{"dozu", "BM_subdivide_dozu"}, {"OpenSubdiv", "BM_subdivide_opensubdiv"}});
    print_table(rep, "Warm memory (the interpreter's own output mesh and working arrays, kept)",
                {{"dozu", "BM_subdivide_dozu_warm"}, {"OpenSubdiv", "BM_subdivide_opensubdiv"}});
    print_table(rep, "Fresh memory (every large block mapped and faulted in anew)",
                {{"dozu", "BM_subdivide_dozu_fresh"}, {"OpenSubdiv", "BM_subdivide_opensubdiv_fresh"}});
    std::printf("\n");
    for (const char* who : {"dozu", "opensubdiv"}) {
        const std::string fn = std::string("BM_peak_memory_") + who;
        const auto peak = rep.counter(fn, kRatioQuads, "peak_bytes");
        const auto out = rep.counter(fn, kRatioQuads, "out_bytes");
        if (!peak || !out) continue;
        const bool is_dozu = std::string(who) == "dozu";
        std::printf("%s peak heap of one level at %lld input quads: %.1f MB, output mesh %.1f MB: %.2f x%s%s\n",
                    who, static_cast<long long>(kRatioQuads), *peak / 1e6, *out / 1e6, *peak / *out,
                    is_dozu ? " (target <= 2: " : "", is_dozu ? (*peak / *out <= 2 ? "met)" : "MISSED)") : "");
    }
    for (int64_t n : {int64_t(25000), kRatioQuads}) {
        const auto with = rep.cpu_ms("BM_run_repeated", n);
        const auto without = rep.cpu_ms("BM_run_repeated_unsubdivided", n);
        const auto out = rep.counter("BM_run_repeated", n, "out_quads");
        const auto osd = ns_per_out_quad(rep, "BM_subdivide_opensubdiv", n);
        if (!with || !without || !out) continue;
        const double ns = (*with - *without) * 1e6 / *out;
        std::printf(
            "repeated runs of one model, %lld input quads: %.2f ms a run, %.0f page faults a run; "
            "its \"D\" %.2f ns per output quad",
            static_cast<long long>(n), *with, rep.counter("BM_run_repeated", n, "faults").value_or(0), ns);
        if (n == kRatioQuads) std::printf(" (target <= 20: %s)", verdict(ns <= 20));
        if (osd)
            std::printf(
                ", OpenSubdiv / it %.2f%s", *osd / ns,
                n == kRatioQuads ? (*osd / ns >= 4 ? " (target >= 4: met)" : " (target >= 4: MISSED)") : "");
        std::printf("\n");
    }
    for (int64_t n : {1000, 10000}) {
        const auto ms = rep.cpu_ms("BM_run_program", n);
        const auto out = rep.counter("BM_run_program", n, "out_quads");
        if (ms && out)
            std::printf("whole run, chain of about %lld quads then D D: %.3f ms, %.0f output quads\n",
                        static_cast<long long>(n), *ms, *out);
    }
    print_runtime_table(rep);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    CollectingReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Color
                                                      : benchmark::ConsoleReporter::OO_None);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    print_summary(reporter);
    benchmark::Shutdown();
}
