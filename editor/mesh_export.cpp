#include "editor/mesh_export.h"

#include <cmath>
#include <cstdio>

#include "mesh/quad_mesh.h"
#include "turtle/turtle.h"

namespace dozu {

MeshView output_mesh_view(QuadMesh& mesh) {
    mesh.to_display_form();
    return {mesh.vertex_data(), mesh.vertex_count(), QuadMesh::kRecordFloats, 0, 3,
            mesh.index_data(), mesh.index_count()};
}

MeshView input_mesh_view(const turtle& t) {
    static_assert(sizeof(vertex) == 6 * sizeof(float));
    return {reinterpret_cast<const float*>(t.vertex_data()), t.vertex_count(), 6, 0, 3,
            t.index_data(), t.index_count()};
}

CompactMesh compact(const MeshView& view) {
    constexpr uint32_t kUnused = UINT32_MAX;
    auto record = [&](uint32_t v) { return view.records + size_t(v) * size_t(view.stride); };
    std::vector<uint8_t> finite(view.vertex_count);
    for (uint32_t v = 0; v < view.vertex_count; ++v) {
        const float* r = record(v);
        bool ok = true;
        for (int i = 0; i < 3; ++i)
            ok = ok && std::isfinite(r[view.normal + i]) && std::isfinite(r[view.position + i]);
        finite[v] = ok;
    }

    std::vector<uint32_t> number(view.vertex_count, kUnused);
    std::vector<uint32_t> kept;  // first index of each quad that stays
    for (uint32_t i = 0; i + 4 <= view.index_count; i += 4) {
        bool ok = true;
        for (int k = 0; k < 4; ++k) {
            const uint32_t v = view.indices[i + uint32_t(k)];
            ok = ok && v < view.vertex_count && finite[v];
        }
        if (!ok) continue;
        kept.push_back(i);
        for (int k = 0; k < 4; ++k) number[view.indices[i + uint32_t(k)]] = 0;
    }

    CompactMesh out;
    uint32_t next = 0;
    for (uint32_t v = 0; v < view.vertex_count; ++v) {
        if (number[v] == kUnused) continue;
        number[v] = next++;
        const float* r = record(v);
        out.positions.insert(out.positions.end(), r + view.position, r + view.position + 3);
        out.normals.insert(out.normals.end(), r + view.normal, r + view.normal + 3);
    }
    out.quads.reserve(kept.size() * 4);
    for (uint32_t i : kept)
        for (int k = 0; k < 4; ++k) out.quads.push_back(number[view.indices[i + uint32_t(k)]]);
    return out;
}

std::string encode_obj(const CompactMesh& mesh) {
    std::string out;
    char buf[128];
    auto put3 = [&](const char* key, const float* p) {
        const int n = std::snprintf(buf, sizeof buf, "%s %.9g %.9g %.9g\n", key, double(p[0]), double(p[1]),
                                    double(p[2]));
        out.append(buf, size_t(n));
    };
    const size_t count = mesh.positions.size() / 3;
    out.reserve(count * 90 + mesh.quads.size() * 12);
    for (size_t v = 0; v < count; ++v) put3("v", &mesh.positions[3 * v]);
    for (size_t v = 0; v < count; ++v) put3("vn", &mesh.normals[3 * v]);
    for (size_t i = 0; i + 4 <= mesh.quads.size(); i += 4) {
        const uint32_t a = mesh.quads[i] + 1, b = mesh.quads[i + 1] + 1, c = mesh.quads[i + 2] + 1,
                       d = mesh.quads[i + 3] + 1;
        const int n = std::snprintf(buf, sizeof buf, "f %u//%u %u//%u %u//%u %u//%u\n", a, a, b, b, c, c, d, d);
        out.append(buf, size_t(n));
    }
    return out;
}

}  // namespace dozu
