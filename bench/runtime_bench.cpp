// The C runtime's decode and the interpreter's run on the same programs:
// every example and two large chains subdivided twice. Both start from
// nothing each time (a fresh turtle and interpreter, as the batch tool
// makes them) and end with the mesh in display form, the interpreter's by
// the conversion that its first draw makes.
#include "runtime_bench.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <utility>

#include "geometry/random.h"
#include "interpreter/interpreter.h"
#include "models.h"
#include "program/program.h"
#include "runtime/dozu_runtime.h"
#include "turtle/turtle.h"

namespace dozu::bench {

namespace {

void core_run(benchmark::State& state, const std::vector<std::string>& lines) {
    for (auto _ : state) {
        set_random_state(0);
        turtle t;
        interpreter ip(t);
        MessageList messages;
        ip.run(lines, messages, int(lines.size()));
        ip.output_mesh().to_display_form();
        benchmark::DoNotOptimize(ip.output_mesh().vertex_data());
    }
}

void runtime_decode(benchmark::State& state, const std::string& program) {
    for (auto _ : state) {
        dozu_set_random_state(0);
        dozu_mesh mesh;
        if (dozu_decode(program.data(), program.size(), &mesh, nullptr) == DOZU_ERROR_MEMORY)
            state.SkipWithError("out of memory");
        benchmark::DoNotOptimize(mesh.vertices);
        dozu_mesh_release(&mesh, nullptr);
    }
}

std::vector<std::pair<std::string, std::vector<std::string>>> programs() {
    std::vector<std::pair<std::string, std::vector<std::string>>> list;
    for (const auto& entry : std::filesystem::directory_iterator(DOZU_EXAMPLES)) {
        if (entry.path().extension() != ".tpg") continue;
        Program p;
        p.LoadProgram(entry.path().string());
        list.emplace_back(entry.path().stem().string(), p.lines().strings());
    }
    std::sort(list.begin(), list.end());
    for (uint32_t quads : {1000u, 10000u}) {
        std::vector<std::string> lines = chain_program(quads);
        lines.insert(lines.end(), {"D ", "D "});
        list.emplace_back("chain" + std::to_string(quads) + "DD", lines);
    }
    return list;
}

const bool registered = [] {
    for (const auto& [name, lines] : programs()) {
        std::string joined;
        for (const std::string& l : lines) joined += l;
        benchmark::RegisterBenchmark(("BM_core_run:" + name).c_str(), core_run, lines)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("BM_runtime_decode:" + name).c_str(), runtime_decode, joined)
            ->Unit(benchmark::kMicrosecond);
    }
    return true;
}();

}  // namespace

const std::vector<std::string>& runtime_bench_programs() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> n;
        for (const auto& p : programs()) n.push_back(p.first);
        return n;
    }();
    return names;
}

}  // namespace dozu::bench
