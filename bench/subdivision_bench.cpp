// One subdivision level of turtle models, by dozu and by OpenSubdiv on the
// same meshes; the peak heap of one level; a whole program run.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "alloc_counter.h"
#include "bench_sizes.h"
#include "interpreter/interpreter.h"
#include "mesh/subdivision.h"
#include "models.h"
#include "opensubdiv_refine.h"
#include "turtle/turtle.h"

namespace dozu::bench {

namespace {

size_t mesh_bytes(const std::vector<float>& vertices, const std::vector<uint32_t>& indices) {
    return vertices.size() * sizeof(float) + indices.size() * sizeof(uint32_t);
}

void set_quad_counters(benchmark::State& state, const QuadMesh& in, size_t out_quads) {
    state.counters["in_quads"] = double(in.index_count() / 4);
    state.counters["out_quads"] = double(out_quads);
    // Seconds per output quad, shown as e.g. "12.3ns".
    state.counters[kTimePerOutQuad] = benchmark::Counter(
        double(out_quads), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The caller keeps its mesh and subdivide gets a copy, as in the interpreter;
// the copy is part of the cost.
void BM_subdivide_dozu(benchmark::State& state) {
    const QuadMesh& in = chain_model(uint32_t(state.range(0)));
    size_t out_quads = 0;
    for (auto _ : state) {
        auto out = subdivide(in);
        benchmark::DoNotOptimize(out->vertex_data());
        out_quads = out->index_count() / 4;
    }
    set_quad_counters(state, in, out_quads);
}

void BM_subdivide_opensubdiv(benchmark::State& state) {
    const QuadMesh& in = chain_model(uint32_t(state.range(0)));
    size_t out_quads = 0;
    for (auto _ : state) {
        RefinedMesh out = opensubdiv_refine(in);
        benchmark::DoNotOptimize(out.vertices.data());
        out_quads = out.indices.size() / 4;
    }
    set_quad_counters(state, in, out_quads);
}

// Heap bytes that one level adds at its worst (the input copy, the working
// data and the output), against the output mesh's own size.
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

// A whole run: the turtle lays the chain, the flush copies it, two "D".
void BM_run_program(benchmark::State& state) {
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

void input_sizes(benchmark::internal::Benchmark* b) {
    b->ArgName("in_quads");
    for (int64_t n : kInputQuads) b->Arg(n);
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}

}  // namespace

BENCHMARK(BM_subdivide_dozu)->Apply(input_sizes);
BENCHMARK(BM_subdivide_opensubdiv)->Apply(input_sizes);
BENCHMARK(BM_peak_memory_dozu)->ArgName("in_quads")->Arg(kRatioQuads)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_peak_memory_opensubdiv)
    ->ArgName("in_quads")
    ->Arg(kRatioQuads)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_run_program)->ArgName("in_quads")->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace dozu::bench
