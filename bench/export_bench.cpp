// Exports of a large model: how fast the writers make their bytes (into a
// sink that keeps none), how fast a whole file is written (through the
// temporary file, flushed to disk), and how much memory an export adds to
// the process at its peak, against the size of the mesh.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "bench_sizes.h"
#include "export/mesh_format.h"
#include "interpreter/interpreter.h"
#include "io/byte_sink.h"
#include "io/file_io.h"
#include "models.h"
#include "turtle/turtle.h"

namespace dozu::bench {

namespace {

class CountingSink final : public ByteSink {
public:
    using ByteSink::write;
    void write(const void* data, size_t size) override {
        benchmark::DoNotOptimize(data);
        bytes += size;
    }
    uint64_t bytes = 0;
};

// A chain subdivided once to about the given number of output quads, run
// by the interpreter and kept in display form for every benchmark.
struct LargeModel {
    turtle t;
    interpreter ip{t};
    MeshView view;
    double mesh_bytes = 0;
};

LargeModel& large_model(int64_t out_quads) {
    static std::map<int64_t, std::unique_ptr<LargeModel>> models;
    std::unique_ptr<LargeModel>& m = models[out_quads];
    if (!m) {
        m = std::make_unique<LargeModel>();
        std::vector<std::string> lines = chain_program(uint32_t(out_quads / 4));
        lines.push_back("D ");
        MessageList messages;
        m->ip.run(lines, messages, int(lines.size()));
        const QuadMesh& mesh = m->ip.output_mesh();
        m->mesh_bytes = double(mesh.vertices.size() * sizeof(float) + mesh.indices.size() * sizeof(uint32_t));
        m->view = output_mesh_view(m->ip.output_mesh());
    }
    return *m;
}

// The process's resident memory now and at its peak since the last reset,
// in bytes, as the kernel counts them.
size_t status_bytes(const char* field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field, 0) == 0)
            return size_t(std::strtoull(line.c_str() + std::strlen(field), nullptr, 10)) * 1024;
    return 0;
}

void reset_peak() { std::ofstream("/proc/self/clear_refs") << "5"; }

const MeshFormat kFormats[] = {MeshFormat::obj, MeshFormat::ply,  MeshFormat::stl,
                               MeshFormat::glb, MeshFormat::gltf, MeshFormat::three_mf};

void BM_export_encode(benchmark::State& state) {
    const MeshFormat format = kFormats[state.range(1)];
    LargeModel& m = large_model(state.range(0));
    uint64_t bytes = 0;
    for (auto _ : state) {
        CountingSink sink;
        write_mesh(sink, compact(m.view), format, ExportOptions());
        bytes = sink.bytes;
    }
    state.SetLabel(mesh_format_info(format).extension);
    state.counters["file_MB"] = double(bytes) / 1e6;
    state.counters["MB_per_s"] =
        benchmark::Counter(double(bytes) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_export_file(benchmark::State& state) {
    const MeshFormat format = kFormats[state.range(1)];
    LargeModel& m = large_model(state.range(0));
    char dir[] = "/tmp/dozu-bench-XXXXXX";
    if (!mkdtemp(dir)) return state.SkipWithError("no temporary folder");
    const std::string path = std::string(dir) + "/model." + mesh_format_info(format).extension;
    double peak = 0, bytes = 0;
    for (auto _ : state) {
        reset_peak();
        const size_t before = status_bytes("VmRSS:");
        write_mesh_file(path, compact(m.view), format, ExportOptions());
        peak = double(status_bytes("VmHWM:") - before);
        state.PauseTiming();
        std::ifstream file(path, std::ios::binary | std::ios::ate);
        bytes = double(file.tellg());
        std::remove(path.c_str());
        state.ResumeTiming();
    }
    rmdir(dir);
    state.SetLabel(mesh_format_info(format).extension);
    state.counters["out_quads"] = double(m.view.index_count / 4);
    state.counters["mesh_MiB"] = m.mesh_bytes / 1048576;
    state.counters["peak_MiB"] = peak / 1048576;
    state.counters["MB_per_s"] = benchmark::Counter(bytes / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace

// The encoders on a million output quads; whole files of sixteen million
// (about 2 GB of OBJ) and of four million for the slower formats. Both are
// timed by the wall clock: OBJ's text is made on helper threads, and for a
// file the disk is part of it.
BENCHMARK(BM_export_encode)
    ->ArgNames({"out_quads", "format"})
    ->ArgsProduct({{1000000}, {0, 1, 2, 3, 4, 5}})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_export_file)
    ->ArgNames({"out_quads", "format"})
    ->Args({kExportQuads, 0})
    ->Args({kExportQuads, 1})
    ->Args({kExportQuads / 4, 3})
    ->Args({kExportQuads / 4, 5})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace dozu::bench
