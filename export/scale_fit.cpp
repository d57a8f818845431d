#include "export/scale_fit.h"

#include <cmath>

namespace dozu {

ScaleFit scale_fit(const CompactMesh& mesh, double scale) {
    const ExportOptions options{scale, {}};
    bool nonzero = false, stays = false, finite = true;
    mesh.for_each_vertex([&](uint32_t v) {
        const float* p = mesh.position(v);
        const std::array<float, 3> written = position(mesh, v, options);
        for (int i = 0; i < 3; ++i) {
            finite = finite && std::isfinite(written[size_t(i)]);
            nonzero = nonzero || p[i] != 0;
            stays = stays || written[size_t(i)] != 0;
        }
    });
    if (!finite) return ScaleFit::too_large;
    return nonzero && !stays ? ScaleFit::too_small : ScaleFit::fits;
}

}  // namespace dozu
