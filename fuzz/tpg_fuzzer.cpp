// Bytes -> a .tpg program file loaded as the batch tool loads it, and read
// by the C runtime's reader, which must agree -> its save and load round
// trip -> a run -> every mesh writer into memory, each output read back and
// held against the mesh it was written from.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "check.h"
#include "export/mesh_format.h"
#include "export_readback.h"
#include "io/byte_sink.h"
#include "program/program.h"
#include "program_run.h"
#include "support/tpg_reference.h"
#include "turtle/input_mesh_view.h"

namespace {

using namespace dozu;

// The program's lines are its codes repeated step by step: counted here
// from the table and the steps, before the load makes them.
bool within_caps(const ProgramFileData& data) {
    CommandTable table;
    apply_table_cells(table, data);
    uint64_t uses[CommandTable::kButtons + 1] = {};
    for (const uint8_t tag : data.steps) ++uses[tag];
    fuzz::ProgramCost cost;
    for (int tag = 1; tag <= CommandTable::kButtons; ++tag) cost.add(table.interpreter_code(tag), uses[tag]);
    return cost.within_caps();
}

// Saving keeps the table and the steps: loading the saved file gives them
// back, and a file saved as it was read is the same bytes.
void check_round_trip(const Program& program, const std::vector<uint8_t>& bytes, const ProgramFileData& data) {
    const std::vector<uint8_t> saved = encode_program_file(program.table, program.steps());
    Program again;
    fuzz::check(again.load_program_bytes(saved).skipped_count == 0,
                "a saved program file holds step bytes that its load skips");
    fuzz::check(again.table == program.table, "the saved and loaded table differs from the one saved");
    fuzz::check(again.steps() == program.steps() && again.lines().strings() == program.lines().strings(),
                "the saved and loaded steps differ from the ones saved");
    // A file with all its cells and only button tags as steps, each button
    // with a code, is saved as it was.
    size_t separators = 0;
    for (size_t i = 0; i < bytes.size() && separators < kTableCells; ++i) separators += bytes[i] == kCellEnd;
    if (separators == kTableCells && data.skipped_count == 0 && program.steps().size() == data.steps.size())
        fuzz::check(saved == bytes, "a program file saved unchanged after its load is not the same bytes");
}

// The model's name and scale come from the titles of buttons 1 and 2, so
// that the fuzzer reaches names with any bytes and scales up to the
// largest float, as the batch tool takes them from its command line.
ExportOptions export_options(const CommandTable& table) {
    ExportOptions options;
    options.name = table.title(1);
    const double scale = std::strtod(table.title(2).c_str(), nullptr);
    if (scale > 0 && std::isfinite(float(scale))) options.scale = scale;
    return options;
}

void check_exports(const fuzz::ExpectedMesh& mesh) {
    for (size_t v = 0; v < mesh.normals.size(); v += 3) {
        const float* n = &mesh.normals[v];
        const double length = std::sqrt(double(n[0]) * n[0] + double(n[1]) * n[1] + double(n[2]) * n[2]);
        fuzz::check(std::fabs(length - 1) < 1e-5,
                    "normal " + std::to_string(v / 3) + " of length " + std::to_string(length));
    }
}

void check_writers(const CompactMesh& compacted, const ExportOptions& options) {
    const fuzz::ExpectedMesh mesh = fuzz::expected_mesh(compacted, options);
    check_exports(mesh);
    for (const MeshFormatInfo& format : mesh_formats()) {
        StringSink sink;
        write_mesh(sink, compacted, format.format, options);
        const std::string difference = fuzz::readback_difference(format.format, sink.bytes, mesh);
        fuzz::check(difference.empty(), std::string(format.title) + " does not read back: " + difference);
    }
}

// The compaction told plainly: a quad stays when its corners name vertices
// with finite positions, a vertex when a quad that stays names it, both
// keep their order, and each quad is taken backwards from its first corner.
void check_compact(const MeshView& view, const CompactMesh& mesh) {
    auto p = [&](uint32_t v) { return view.records + size_t(v) * size_t(view.stride) + view.position; };
    std::vector<uint32_t> number(view.vertex_count, UINT32_MAX), kept;
    for (uint32_t q = 0; q < view.index_count / 4; ++q) {
        const uint32_t* c = view.indices + 4 * q;
        if (std::all_of(c, c + 4, [&](uint32_t v) {
                return v < view.vertex_count && std::isfinite(p(v)[0]) && std::isfinite(p(v)[1]) &&
                       std::isfinite(p(v)[2]);
            })) {
            kept.push_back(q);
            for (int k = 0; k < 4; ++k) number[c[k]] = 0;
        }
    }
    std::vector<uint32_t> vertices, quads;
    for (uint32_t v = 0, next = 0; v < view.vertex_count; ++v)
        if (number[v] == 0) {
            number[v] = next++;
            vertices.push_back(v);
        }
    for (const uint32_t q : kept)
        for (const int k : {0, 3, 2, 1}) quads.push_back(number[view.indices[4 * q + uint32_t(k)]]);

    std::vector<uint32_t> got_vertices, got_quads;
    mesh.for_each_vertex([&](uint32_t v) { got_vertices.push_back(v); });
    mesh.for_each_quad([&](const uint32_t* n, const uint32_t*) { got_quads.insert(got_quads.end(), n, n + 4); });
    fuzz::check(got_vertices == vertices && mesh.vertex_count() == vertices.size(),
                "the compacted mesh keeps other vertices");
    fuzz::check(got_quads == quads && mesh.quad_count() == kept.size(), "the compacted mesh keeps other quads");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes_in, size_t size) {
    const std::vector<uint8_t> bytes(bytes_in, bytes_in + size);
    if (bytes.size() > kMaxProgramFileSize) return -1;
    const ProgramFileData data = parse_program_file(bytes);
    if (!within_caps(data)) return -1;
    fuzz::check(testing::tpg_by_runtime(bytes) == testing::tpg_by_editor(bytes),
                "the runtime reads the file otherwise than the editor");

    Program program;
    const LoadReport report = program.load_program_bytes(bytes);
    fuzz::check(report.skipped_count == data.skipped_count && report.skipped.size() == data.skipped.size(),
                "the load skips other step bytes than the file's parse");
    check_round_trip(program, bytes, data);

    const auto run = fuzz::run_checked(program.lines());
    const ExportOptions options = export_options(program.table);
    const MeshView output = output_mesh_view(run->interp.output_mesh());
    const CompactMesh mesh = compact(output);
    check_compact(output, mesh);
    check_writers(mesh, options);
    // The turtle's own lists, as --input-mesh writes them, in one format.
    const MeshView input_view = input_mesh_view(run->t);
    const CompactMesh input = compact(input_view);
    check_compact(input_view, input);
    StringSink sink;
    write_mesh(sink, input, MeshFormat::ply, options);
    const std::string difference =
        fuzz::readback_difference(MeshFormat::ply, sink.bytes, fuzz::expected_mesh(input, options));
    fuzz::check(difference.empty(), "the input mesh's PLY does not read back: " + difference);
    return 0;
}
