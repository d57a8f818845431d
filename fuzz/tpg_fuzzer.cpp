// Bytes -> a .tpg program file loaded as the batch tool loads it -> its
// save and load round trip -> a run -> every mesh writer into memory, each
// output read back and held against the mesh it was written from.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "check.h"
#include "editor/byte_sink.h"
#include "editor/mesh_export.h"
#include "editor/program.h"
#include "export_readback.h"
#include "program_run.h"

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
    fuzz::check(again.LoadProgramBytes(saved).skipped_count == 0,
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

void check_exports(const CompactMesh& mesh, const ExportOptions& options) {
    for (size_t v = 0; v < mesh.normals.size(); v += 3) {
        const float* n = &mesh.normals[v];
        const double length = std::sqrt(double(n[0]) * n[0] + double(n[1]) * n[1] + double(n[2]) * n[2]);
        fuzz::check(std::fabs(length - 1) < 1e-5,
                    "normal " + std::to_string(v / 3) + " of length " + std::to_string(length));
    }
    for (const MeshFormatInfo& format : mesh_formats()) {
        StringSink sink;
        write_mesh(sink, mesh, format.format, options);
        const std::string difference = fuzz::readback_difference(format.format, sink.bytes, mesh, options);
        fuzz::check(difference.empty(), std::string(format.title) + " does not read back: " + difference);
    }
}

// The compacted mesh keeps the order of the vertices that stay: its
// positions are a subsequence of the output mesh's.
void check_compact(const MeshView& view, const CompactMesh& mesh) {
    size_t next = 0;
    for (uint32_t v = 0; v < view.vertex_count && next < mesh.positions.size(); ++v) {
        const float* p = view.records + size_t(v) * size_t(view.stride) + view.position;
        if (std::equal(p, p + 3, &mesh.positions[next])) next += 3;
    }
    fuzz::check(next == mesh.positions.size(), "a compacted vertex is not one of the mesh's, in order");
    fuzz::check(mesh.quads.size() <= view.index_count, "compacting made quads");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes_in, size_t size) {
    const std::vector<uint8_t> bytes(bytes_in, bytes_in + size);
    if (bytes.size() > kMaxProgramFileSize) return -1;
    const ProgramFileData data = parse_program_file(bytes);
    if (!within_caps(data)) return -1;

    Program program;
    const LoadReport report = program.LoadProgramBytes(bytes);
    fuzz::check(report.skipped_count == data.skipped_count && report.skipped.size() == data.skipped.size(),
                "the load skips other step bytes than the file's parse");
    check_round_trip(program, bytes, data);

    const auto run = fuzz::run_checked(program.lines());
    const ExportOptions options = export_options(program.table);
    const MeshView output = output_mesh_view(run->interp.output_mesh());
    const CompactMesh mesh = compact(output);
    check_compact(output, mesh);
    check_exports(mesh, options);
    // The turtle's own lists, as --input-mesh writes them, in one format.
    const CompactMesh input = compact(input_mesh_view(run->t));
    StringSink sink;
    write_mesh(sink, input, MeshFormat::ply, options);
    const std::string difference = fuzz::readback_difference(MeshFormat::ply, sink.bytes, input, options);
    fuzz::check(difference.empty(), "the input mesh's PLY does not read back: " + difference);
    return 0;
}
