// What every writer is told, whatever its format.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "export/compact_mesh.h"

namespace dozu {

struct ExportOptions {
    double scale = 1.0;         // every position is multiplied by it (positive)
    std::string name = "dozu";  // the model's name, where a format keeps one
};

// A vertex's position as written (v: its index in the view).
inline std::array<float, 3> position(const CompactMesh& mesh, uint32_t v, const ExportOptions& options) {
    const float* p = mesh.position(v);
    return {float(p[0] * options.scale), float(p[1] * options.scale), float(p[2] * options.scale)};
}

}  // namespace dozu
