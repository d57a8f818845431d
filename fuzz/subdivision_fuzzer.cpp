// Bytes -> a quad mesh -> subdivision, level after level, each level held
// bit for bit against the plain transcription of the rules, and the input
// left as it was. Each level is made twice: into a fresh mesh, and into an
// output mesh and working arrays that every input before this one has used
// already, as the interpreter reuses them from run to run.
#include <cstdint>
#include <stdexcept>

#include "check.h"
#include "mesh/subdivision.h"
#include "mesh_input.h"
#include "support/subdivision_reference.h"

namespace {

// The reference's pair table grows with the square of the vertex count, and
// each level four times the quads: a level past these is not run.
constexpr uint32_t kMaxVertices = 1024;
constexpr uint32_t kMaxQuads = 1 << 13;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace dozu;
    if (fuzz::mesh_input_vertices(data, size) > kMaxVertices || fuzz::mesh_input_quads(data, size) > kMaxQuads)
        return -1;
    fuzz::MeshInput in = fuzz::decode_mesh_input(data, size);
    QuadMesh level = std::move(in.mesh);
    for (int depth = 1; depth <= in.levels; ++depth) {
        if (level.vertex_count() > kMaxVertices || level.index_count() / 4 > kMaxQuads) break;
        const QuadMesh before = level;
        bool refused = false, reference_refused = false;
        static SubdivisionScratch scratch;
        static QuadMesh reused;
        std::unique_ptr<QuadMesh> fast;
        bool reuse_refused = false;
        try {
            fast = subdivide(level);
        } catch (const std::out_of_range&) {
            refused = true;
        }
        try {
            subdivide(level, reused, scratch);
        } catch (const std::out_of_range&) {
            reuse_refused = true;
        }
        QuadMesh reference;
        try {
            reference = testing::reference_subdivide(level);
        } catch (const std::out_of_range&) {
            reference_refused = true;
        }
        fuzz::check(refused == reference_refused && reuse_refused == refused,
                    "subdivide refuses a mesh that the rules take, or the reverse");
        fuzz::check(
            testing::first_difference(level, before).empty() && level.display_ready == before.display_ready,
            "subdivide changed its input");
        if (refused) break;
        const std::string difference = testing::first_difference(*fast, reference);
        fuzz::check(difference.empty(),
                    "level " + std::to_string(depth) + " differs from the rules: " + difference);
        fuzz::check(!fast->display_ready, "subdivide's result is not in accumulation form");
        const std::string reuse_difference = testing::first_difference(reused, reference);
        fuzz::check(
            reuse_difference.empty() && !reused.display_ready,
            "level " + std::to_string(depth) + " into reused storage differs from the rules: " + reuse_difference);
        level = std::move(*fast);
    }
    return 0;
}
