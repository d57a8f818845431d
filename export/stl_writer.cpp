#include "export/stl_writer.h"

#include <cmath>
#include <cstring>
#include <string_view>

#include "io/byte_sink.h"
#include "io/out_buffer.h"

namespace dozu {

void write_stl(ByteSink& sink, const CompactMesh& mesh, const ExportOptions& options) {
    OutBuffer out(sink);
    char title[80] = {};
    const char text[] = "binary STL written by dozu";
    std::memcpy(title, text, sizeof text - 1);
    out.put(std::string_view(title, sizeof title));
    out.put_u32(uint32_t(mesh.triangle_count()));  // at most two per quad of 32-bit indices
    mesh.for_each_triangle([&](const uint32_t*, const uint32_t* c) {
        const std::array<float, 3> p = position(mesh, c[0], options), q = position(mesh, c[1], options),
                                   s = position(mesh, c[2], options);
        const double u[3] = {double(q[0]) - p[0], double(q[1]) - p[1], double(q[2]) - p[2]};
        const double w[3] = {double(s[0]) - p[0], double(s[1]) - p[1], double(s[2]) - p[2]};
        double n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
        double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (!(len > 0) || !std::isfinite(len)) {
            // No area to face anywhere: the corners' normals tell.
            const std::array<float, 3> corner[3] = {mesh.normal(c[0]), mesh.normal(c[1]), mesh.normal(c[2])};
            for (size_t i = 0; i < 3; ++i) {
                n[i] = 0;
                for (size_t k = 0; k < 3; ++k) n[i] += corner[k][i];
            }
            len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        }
        for (double& x : n) x = len > 0 ? x / len : 0.0;
        for (const double x : n) out.put_f32(float(x));
        for (const auto& v : {p, q, s})
            for (const float x : v) out.put_f32(x);
        out.put_u16(0);
    });
    out.flush();
}

}  // namespace dozu
