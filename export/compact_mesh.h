// Writing meshes for other tools. A mesh is first compacted: quads that name
// a missing vertex or a vertex with a non-finite position are left out, then
// every vertex that no remaining quad names, and the quads are renumbered,
// keeping the order of the vertices that stay. The compacted mesh is what
// every writer takes: its quads run counter-clockwise seen from outside and
// its normals are of unit length, so that no format has to mend either. It
// copies nothing: writers walk it and stream what they make into a sink, so
// that an export needs little memory beyond the mesh, whatever its size.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "mesh/mesh_view.h"

namespace dozu {

// The view's vertices and quads that a file holds, numbered from 0. The
// view's storage must outlive it. A few bits per vertex and quad record
// which stay and how they are numbered.
class CompactMesh {
public:
    explicit CompactMesh(const MeshView& view);

    uint32_t vertex_count() const { return vertex_count_; }
    uint64_t quad_count() const { return quad_count_; }
    // Two per quad, split along its first diagonal; a triangle that names a
    // vertex twice is left out.
    uint64_t triangle_count() const { return triangle_count_; }

    // A vertex by its index in the view.
    const float* position(uint32_t v) const { return record(v) + view_.position; }
    // Of unit length. One of about zero length (a cap's centre) or not
    // finite is the area-weighted mean of the normals of its quads.
    std::array<float, 3> normal(uint32_t v) const;

    // Calls f(v) with the view's index of every vertex that stays, in order;
    // or of those among the view's vertices first to last - 1.
    template <typename F>
    void for_each_vertex(F&& f) const {
        for_each_vertex(0, view_.vertex_count, f);
    }
    template <typename F>
    void for_each_vertex(uint32_t first, uint32_t last, F&& f) const;
    // Calls f(number, v) for every quad that stays, in order: its corners
    // counter-clockwise seen from outside, numbered in the file and in the
    // view (four of each); or for those among the view's quads first to
    // last - 1.
    template <typename F>
    void for_each_quad(F&& f) const {
        for_each_quad(0, view_.index_count / 4, f);
    }
    template <typename F>
    void for_each_quad(uint32_t first, uint32_t last, F&& f) const;
    uint32_t view_vertices() const { return view_.vertex_count; }
    uint32_t view_quads() const { return view_.index_count / 4; }
    // The same for the two triangles of each quad (three of each).
    template <typename F>
    void for_each_triangle(F&& f) const;

private:
    const float* record(uint32_t v) const { return view_.records + size_t(v) * size_t(view_.stride); }
    static bool bit(const std::vector<uint64_t>& bits, uint64_t i) { return bits[i >> 6] >> (i & 63) & 1; }
    uint32_t number(uint32_t v) const {
        if (all_vertices_) return v;
        const uint64_t below = (uint64_t(1) << (v & 63)) - 1;
        return rank_[v >> 6] + uint32_t(__builtin_popcountll(used_[v >> 6] & below));
    }

    MeshView view_;
    std::vector<uint64_t> used_;                      // vertices that stay, a bit each
    std::vector<uint32_t> rank_;                      // vertices that stay before each word of used_
    std::vector<uint64_t> quads_kept_;                // a bit per quad; empty when all stay
    std::vector<uint64_t> mean_normal_;               // a bit per vertex whose normal is made from its quads
    std::vector<uint32_t> mean_vertices_;             // those vertices, ascending
    std::vector<std::array<float, 3>> mean_normals_;  // and their normals
    uint32_t vertex_count_ = 0;
    uint64_t quad_count_ = 0, triangle_count_ = 0;
    bool all_vertices_ = false;
};

CompactMesh compact(const MeshView& view);

template <typename F>
void CompactMesh::for_each_vertex(uint32_t first, uint32_t last, F&& f) const {
    for (uint32_t v = first; v < last; ++v)
        if (all_vertices_ || bit(used_, v)) f(v);
}

template <typename F>
void CompactMesh::for_each_quad(uint32_t first, uint32_t last, F&& f) const {
    for (uint64_t q = first; q < last; ++q) {
        if (!quads_kept_.empty() && !bit(quads_kept_, q)) continue;
        // The turtle lays its quads clockwise seen from outside: taken
        // backwards from the same first corner, they run counter-clockwise.
        const uint32_t* c = view_.indices + 4 * q;
        const uint32_t v[4] = {c[0], c[3], c[2], c[1]};
        const uint32_t n[4] = {number(v[0]), number(v[1]), number(v[2]), number(v[3])};
        f(n, v);
    }
}

template <typename F>
void CompactMesh::for_each_triangle(F&& f) const {
    for_each_quad([&](const uint32_t* n, const uint32_t* v) {
        // The numbering keeps distinct vertices distinct.
        if (v[0] != v[1] && v[1] != v[2] && v[2] != v[0]) {
            const uint32_t tn[3] = {n[0], n[1], n[2]}, tv[3] = {v[0], v[1], v[2]};
            f(tn, tv);
        }
        if (v[0] != v[2] && v[2] != v[3] && v[3] != v[0]) {
            const uint32_t tn[3] = {n[0], n[2], n[3]}, tv[3] = {v[0], v[2], v[3]};
            f(tn, tv);
        }
    });
}

}  // namespace dozu
