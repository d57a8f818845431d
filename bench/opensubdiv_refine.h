// What a user would reach for instead of dozu's subdivision: OpenSubdiv's
// uniform Catmull-Clark refinement by one level, interpolating the same
// 8-float records.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/quad_mesh.h"

namespace dozu::bench {

struct RefinedMesh {
    std::vector<float> vertices;    // 8 floats per record
    std::vector<uint32_t> indices;  // 4 per quad
};

// Builds the refiner from the mesh's quads, refines one level and
// interpolates the records; throws when OpenSubdiv rejects the topology.
RefinedMesh opensubdiv_refine(const QuadMesh& mesh);

}  // namespace dozu::bench
