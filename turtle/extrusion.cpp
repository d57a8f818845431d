#include "turtle/extrusion.h"

#include <cstddef>

#include "geometry/random.h"
#include "geometry/vectors.h"

namespace dozu {

void set_extrusion_parameter(extrusion_parameters& p, int slot, float v) { (slot == 0 ? p.offset : p.scale) = v; }

void extrude(const extrusion_parameters& p, float* records, uint32_t count, const StopFlag* stop) {
    for (uint32_t i = 0; i < count; ++i) {
        if ((i & 0xFFFF) == 0) check_stop(stop);
        float* r = records + std::size_t(i) * 8;
        const float k = (random_symmetric() + p.offset) * p.scale;
        float moved[3];
        vec3_copy(moved, r);
        vec3_scale(moved, k);
        vec3_add(r + 4, moved);
    }
}

}  // namespace dozu
