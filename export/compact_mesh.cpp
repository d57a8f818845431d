#include "export/compact_mesh.h"

#include <algorithm>
#include <cmath>

namespace dozu {

namespace {

// Shorter display normals point nowhere reliable: rounding alone shifts
// them by about 1e-6.
constexpr double kTinyNormal = 1e-4;

void set_bit(std::vector<uint64_t>& bits, uint64_t i) { bits[i >> 6] |= uint64_t(1) << (i & 63); }

}  // namespace

CompactMesh::CompactMesh(const MeshView& view) : view_(view) {
    const uint32_t V = view.vertex_count;
    const size_t words = (size_t(V) + 63) / 64;
    std::vector<uint64_t> finite(words, 0);
    for (uint32_t v = 0; v < V; ++v) {
        const float* p = position(v);
        if (std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2])) set_bit(finite, v);
    }

    used_.assign(words, 0);
    const uint64_t quads = view.index_count / 4;
    std::vector<uint64_t> kept((quads + 63) / 64, 0);
    for (uint64_t q = 0; q < quads; ++q) {
        const uint32_t* c = view.indices + 4 * q;
        bool ok = true;
        for (int k = 0; k < 4; ++k) ok = ok && c[k] < V && bit(finite, c[k]);
        if (!ok) continue;
        set_bit(kept, q);
        ++quad_count_;
        for (int k = 0; k < 4; ++k) set_bit(used_, c[k]);
        // The two triangles, (c0 c3 c2) and (c0 c2 c1), each if it names
        // three distinct vertices.
        triangle_count_ +=
            (c[0] != c[3] && c[3] != c[2] && c[2] != c[0]) + (c[0] != c[2] && c[2] != c[1] && c[1] != c[0]);
    }
    if (quad_count_ != quads) quads_kept_ = std::move(kept);

    rank_.resize(words);
    for (size_t w = 0; w < words; ++w) {
        rank_[w] = vertex_count_;
        vertex_count_ += uint32_t(__builtin_popcountll(used_[w]));
    }
    all_vertices_ = vertex_count_ == V;

    // Normals too short to have a direction take the area-weighted mean of
    // the normals of the quads around them.
    for_each_vertex([&](uint32_t v) {
        const float* n = record(v) + view_.normal;
        const double length = std::sqrt(double(n[0]) * n[0] + double(n[1]) * n[1] + double(n[2]) * n[2]);
        if (!(length > kTinyNormal) || !std::isfinite(length)) mean_vertices_.push_back(v);
    });
    if (mean_vertices_.empty()) return;
    mean_normal_.assign(words, 0);
    for (const uint32_t v : mean_vertices_) set_bit(mean_normal_, v);
    // A counter-clockwise quad's diagonals span twice its area vector,
    // which points outside.
    std::vector<double> sums(3 * mean_vertices_.size(), 0.0);
    for_each_quad([&](const uint32_t*, const uint32_t* c) {
        const float *a = position(c[0]), *b = position(c[1]), *cc = position(c[2]), *d = position(c[3]);
        const double e[3] = {double(cc[0]) - a[0], double(cc[1]) - a[1], double(cc[2]) - a[2]};
        const double f[3] = {double(d[0]) - b[0], double(d[1]) - b[1], double(d[2]) - b[2]};
        const double area[3] = {e[1] * f[2] - e[2] * f[1], e[2] * f[0] - e[0] * f[2], e[0] * f[1] - e[1] * f[0]};
        for (int k = 0; k < 4; ++k) {
            if (!bit(mean_normal_, c[k])) continue;
            const size_t slot = size_t(std::lower_bound(mean_vertices_.begin(), mean_vertices_.end(), c[k]) -
                                       mean_vertices_.begin());
            for (int i = 0; i < 3; ++i) sums[3 * slot + size_t(i)] += area[i];
        }
    });
    mean_normals_.resize(mean_vertices_.size());
    for (size_t slot = 0; slot < mean_vertices_.size(); ++slot) {
        const double* s = &sums[3 * slot];
        const double length = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
        std::array<float, 3>& n = mean_normals_[slot];
        if (length > 0 && std::isfinite(length)) {
            for (int i = 0; i < 3; ++i) n[size_t(i)] = float(s[i] / length);
        } else {  // only flat quads around it: any direction is as good
            n = {0, 0, 1};
        }
    }
}

std::array<float, 3> CompactMesh::normal(uint32_t v) const {
    if (!mean_normal_.empty() && bit(mean_normal_, v)) {
        const auto at = std::lower_bound(mean_vertices_.begin(), mean_vertices_.end(), v);
        return mean_normals_[size_t(at - mean_vertices_.begin())];
    }
    const float* n = record(v) + view_.normal;
    const double length = std::sqrt(double(n[0]) * n[0] + double(n[1]) * n[1] + double(n[2]) * n[2]);
    return {float(n[0] / length), float(n[1] / length), float(n[2] / length)};
}

CompactMesh compact(const MeshView& view) { return CompactMesh(view); }

}  // namespace dozu
