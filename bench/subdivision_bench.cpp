// One subdivision level of turtle models, by dozu and by OpenSubdiv on the
// same meshes, with recycled and with fresh memory; the peak heap of one
// level; whole program runs.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "bench_sizes.h"
#include "heap.h"
#include "interpreter/interpreter.h"
#include "mesh/subdivision.h"
#include "models.h"
#include "opensubdiv_refine.h"
#include "turtle/turtle.h"

namespace dozu::bench {

namespace {

template <typename Floats>
size_t mesh_bytes(const Floats& vertices, const std::vector<uint32_t>& indices) {
    return vertices.size() * sizeof(float) + indices.size() * sizeof(uint32_t);
}

size_t quad_count(const std::unique_ptr<QuadMesh>& m) { return m->index_count() / 4; }
size_t quad_count(const RefinedMesh& m) { return m.indices.size() / 4; }

long minor_faults() {
    rusage r;
    getrusage(RUSAGE_SELF, &r);
    return r.ru_minflt;
}

// Calls per timed batch: a small mesh is refined many times between two
// readings of the clock, whose cost (over a microsecond here) would weigh on
// a single call.
size_t batch_size(const QuadMesh& in) {
    return std::max<size_t>(1, size_t(kBatchQuads) / std::max<size_t>(1, in.index_count() / 4));
}

void set_counters(benchmark::State& state, const QuadMesh& in, size_t batch, size_t out_quads, long faults) {
    const double calls = double(state.iterations()) * double(batch);
    state.counters["faults"] = double(faults) / calls;
    state.counters["in_quads"] = double(in.index_count() / 4);
    state.counters["out_quads"] = double(out_quads);
    // Seconds per output quad, shown as e.g. "12.3ns".
    state.counters[kTimePerOutQuad] = benchmark::Counter(
        double(out_quads * batch), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Each timed batch refines inputs made while the clock was stopped; each
// output is released as the next call begins, as a caller replacing its
// mesh does. With fresh memory, each batch starts from a heap without free
// pages.
template <typename Input, typename Refine>
void time_batches(benchmark::State& state, bool fresh, Input input, Refine refine) {
    const QuadMesh& in = chain_model(uint32_t(state.range(0)));
    const size_t batch = batch_size(in);
    std::vector<decltype(input(in))> inputs;
    size_t out_quads = 0;
    long paused_faults = 0;
    const long faults = minor_faults();
    for (auto _ : state) {
        state.PauseTiming();
        const long before = minor_faults();
        inputs.assign(batch, input(in));
        if (fresh) release_free_memory();
        paused_faults += minor_faults() - before;
        state.ResumeTiming();
        for (auto& i : inputs) {
            const auto out = refine(std::move(i));
            out_quads = quad_count(out);
            benchmark::DoNotOptimize(out_quads);
        }
    }
    set_counters(state, in, batch, out_quads, minor_faults() - faults - paused_faults);
}

// As the interpreter calls it: the caller keeps its mesh.
void time_dozu(benchmark::State& state, bool fresh) {
    time_batches(
        state, fresh, [](const QuadMesh& in) { return &in; }, [](const QuadMesh* m) { return subdivide(*m); });
}

void time_opensubdiv(benchmark::State& state, bool fresh) {
    time_batches(
        state, fresh, [](const QuadMesh& in) { return &in; },
        [](const QuadMesh* m) { return opensubdiv_refine(*m); });
}

void BM_subdivide_dozu(benchmark::State& state) {
    use_recycled_memory();
    time_dozu(state, false);
}

void BM_subdivide_opensubdiv(benchmark::State& state) {
    use_recycled_memory();
    time_opensubdiv(state, false);
}

void BM_subdivide_dozu_fresh(benchmark::State& state) {
    use_fresh_memory();
    time_dozu(state, true);
}

void BM_subdivide_opensubdiv_fresh(benchmark::State& state) {
    use_fresh_memory();
    time_opensubdiv(state, true);
}

// Heap bytes that one level adds at its worst (the working data and the
// output), against the output mesh's own size.
template <typename Refine>
void measure_peak(benchmark::State& state, Refine refine) {
    const QuadMesh& in = chain_model(uint32_t(state.range(0)));
    double peak = 0, out_bytes = 0;
    for (auto _ : state) {
        const size_t base = reset_heap_peak();
        out_bytes = double(refine(in));
        peak = double(heap_peak_bytes() - base);
    }
    state.counters["peak_bytes"] = peak;
    state.counters["out_bytes"] = out_bytes;
    state.counters[kPeakPerOut] = peak / out_bytes;
}

void BM_peak_memory_dozu(benchmark::State& state) {
    measure_peak(state, [](const QuadMesh& in) {
        auto out = subdivide(in);
        return mesh_bytes(out->vertices, out->indices);
    });
}

void BM_peak_memory_opensubdiv(benchmark::State& state) {
    measure_peak(state, [](const QuadMesh& in) {
        RefinedMesh out = opensubdiv_refine(in);
        return mesh_bytes(out.vertices, out.indices);
    });
}

// As the interpreter calls it from run to run: into the same output mesh
// with the same working arrays, so that after the first call no page is new.
void BM_subdivide_dozu_warm(benchmark::State& state) {
    use_recycled_memory();
    const QuadMesh& in = chain_model(uint32_t(state.range(0)));
    const size_t batch = batch_size(in);
    QuadMesh out;
    SubdivisionScratch scratch;
    subdivide(in, out, scratch);
    const long faults = minor_faults();
    for (auto _ : state)
        for (size_t i = 0; i < batch; ++i) subdivide(in, out, scratch);
    set_counters(state, in, batch, out.index_count() / 4, minor_faults() - faults);
}

// Repeated runs of one model in one interpreter, as the editor runs it after
// each change: the chain alone, and the chain with one "D". Their difference
// is the subdivision inside the interpreter.
void time_repeated_runs(benchmark::State& state, bool subdivided) {
    std::vector<std::string> lines = chain_program(uint32_t(state.range(0)));
    if (subdivided) lines.push_back("D ");
    turtle t;
    interpreter ip(t);
    MessageList messages;
    ip.run(lines, messages, int(lines.size()));
    const long faults = minor_faults();
    for (auto _ : state)
        if (!ip.run(lines, messages, int(lines.size()))) state.SkipWithError("the program failed");
    state.counters["faults"] = double(minor_faults() - faults) / double(state.iterations());
    state.counters["out_quads"] = double(ip.output_mesh().index_count() / 4);
}

void BM_run_repeated(benchmark::State& state) {
    use_recycled_memory();
    time_repeated_runs(state, true);
}

void BM_run_repeated_unsubdivided(benchmark::State& state) {
    use_recycled_memory();
    time_repeated_runs(state, false);
}

// A whole run: the turtle lays the chain, the flush copies it, two "D".
void BM_run_program(benchmark::State& state) {
    use_recycled_memory();
    std::vector<std::string> lines = chain_program(uint32_t(state.range(0)));
    lines.insert(lines.end(), {"D ", "D "});
    turtle t;
    interpreter ip(t);
    MessageList messages;
    for (auto _ : state) {
        if (!ip.run(lines, messages, int(lines.size()))) state.SkipWithError("the program failed");
        benchmark::DoNotOptimize(ip.output_mesh().vertex_data());
    }
    state.counters["lines"] = double(lines.size());
    state.counters["out_quads"] = double(ip.output_mesh().index_count() / 4);
}

// Times are the process's CPU time (page faults included), which others
// working on the same machine disturb less than the wall clock.
void input_sizes(benchmark::internal::Benchmark* b) {
    b->ArgName("in_quads");
    for (int64_t n : kInputQuads) b->Arg(n);
    b->Unit(benchmark::kMillisecond);
}

void ratio_size(benchmark::internal::Benchmark* b) {
    b->ArgName("in_quads")->Arg(kRatioQuads)->Iterations(1)->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(BM_subdivide_dozu)->Apply(input_sizes);
BENCHMARK(BM_subdivide_opensubdiv)->Apply(input_sizes);
BENCHMARK(BM_subdivide_dozu_warm)->Apply(input_sizes);
BENCHMARK(BM_subdivide_dozu_fresh)->Apply(input_sizes);
BENCHMARK(BM_subdivide_opensubdiv_fresh)->Apply(input_sizes);
BENCHMARK(BM_peak_memory_dozu)->Apply(ratio_size);
BENCHMARK(BM_peak_memory_opensubdiv)->Apply(ratio_size);
BENCHMARK(BM_run_repeated)->ArgName("in_quads")->Arg(25000)->Arg(kRatioQuads)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_run_repeated_unsubdivided)
    ->ArgName("in_quads")
    ->Arg(25000)
    ->Arg(kRatioQuads)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_run_program)->ArgName("in_quads")->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace dozu::bench
