#include "program_run.h"

#include <algorithm>
#include <cstring>

#include "check.h"
#include "geometry/random.h"

namespace dozu::fuzz {

void ProgramCost::add(std::string_view line, uint64_t times) {
    text += (line.size() + 1) * times;
    for (const char c : line) {
        geometry += times * (c == '^' || c == '=' || c == 'B' || c == 'T');
        extrusions += times * (c == 'X');
        subdivisions += times * (c == 'D');
    }
}

bool ProgramCost::within_caps() const {
    // Each geometry statement makes at most a ring of 4 vertices and 5
    // quads; an extrusion moves every vertex made before it, and a
    // subdivision makes 4 quads of one. A harness run stays within a few
    // hundred thousand records' worth of work and well under a second.
    constexpr uint64_t kMaxText = 64 * 1024, kMaxQuadWork = 1 << 15, kMaxExtrusionWork = 1 << 22;
    if (text > kMaxText || extrusions * geometry * 4 > kMaxExtrusionWork) return false;
    uint64_t quads = geometry * 5;
    for (uint64_t d = 0; d < subdivisions && quads <= kMaxQuadWork; ++d) quads *= 4;
    return quads <= kMaxQuadWork || subdivisions == 0;
}

namespace {

void check_run(const Run& run, size_t line_count) {
    const QuadMesh& mesh = run.interp.output_mesh();
    check(mesh.vertices.size() % QuadMesh::kRecordFloats == 0 && mesh.indices.size() % 4 == 0,
          "the output mesh holds part of a record or of a quad");
    check(
        std::all_of(mesh.indices.begin(), mesh.indices.end(), [&](uint32_t i) { return i < mesh.vertex_count(); }),
        "an output quad names a vertex the mesh does not hold");
    bool fatal = false;
    for (const Message& m : run.messages) {
        check(m.tag >= 0 && (size_t(m.tag) < line_count || m.tag == 0),
              "message \"" + m.text + "\" tagged with line " + std::to_string(m.tag));
        fatal = fatal || message_kind(m.text) == MessageKind::fatal;
    }
    check(run.ok == !fatal, "the run's success and its fatal messages disagree");
}

bool same_mesh(const QuadMesh& a, const QuadMesh& b) {
    return a.indices == b.indices && a.vertices.size() == b.vertices.size() &&
           (a.vertices.empty() || std::memcmp(a.vertices.data(), b.vertices.data(), a.vertices.size() * 4) == 0);
}

}  // namespace

std::unique_ptr<Run> run_checked(LineView lines) {
    auto run = std::make_unique<Run>();
    const int count = int(std::min<size_t>(lines.size(), INT32_MAX));
    set_random_state(0);
    run->ok = run->interp.run(lines, run->messages, count);
    check_run(*run, lines.size());

    // Statements before the first init act on whatever the turtle held
    // after the run before: only a run that begins with init need repeat.
    if (lines.empty()) return run;
    const size_t start = lines[0].find_first_of("*=^RSYO+pqBT[]DX");
    if (start == std::string_view::npos || lines[0][start] != '*') return run;
    const QuadMesh first = run->interp.output_mesh();
    const MessageList first_messages = run->messages;
    set_random_state(0);
    const bool ok = run->interp.run(lines, run->messages, count);
    check(ok == run->ok && same_mesh(first, run->interp.output_mesh()),
          "a second run of the same program on the same turtle makes another model");
    check(std::equal(first_messages.begin(), first_messages.end(), run->messages.begin(), run->messages.end(),
                     [](const Message& a, const Message& b) { return a.text == b.text && a.tag == b.tag; }),
          "a second run of the same program gives other messages");
    return run;
}

}  // namespace dozu::fuzz
