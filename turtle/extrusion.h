// The random extrusion: moves every vertex of a mesh along its own stored
// normal by (r + offset) · scale, r drawn from the process-wide sequence.
#pragma once

#include <cstdint>

#include "geometry/stop_flag.h"

namespace dozu {

struct extrusion_parameters {
    float offset = 0.25f;  // slot 0
    float scale = 0.5f;    // slot 1
};

void set_extrusion_parameter(extrusion_parameters& p, int slot, float v);

// records: homogeneous 8-float records in accumulation form. Polls stop and
// throws Stopped when it is set, with only the first vertices moved.
void extrude(const extrusion_parameters& p, float* records, uint32_t count, const StopFlag* stop = nullptr);

}  // namespace dozu
