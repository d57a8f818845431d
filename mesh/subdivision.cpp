#include "mesh/subdivision.h"

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <vector>

namespace dozu {

namespace {

constexpr int R = QuadMesh::kRecordFloats;

inline void accumulate(float* target, const float* source) {
    for (int i = 0; i < R; ++i) target[i] += source[i];
}

// Gives every quad edge slot (4q + k, the edge from corner k to corner k+1
// of quad q) its edge point index. Edges are grouped by their lower vertex
// in one counting pass, so time and memory stay linear in the mesh size
// whatever the vertex degrees; a vertex stamp finds repeats of an edge
// within a group. The first slot of each edge, in slot order, numbers it.
std::vector<uint32_t> number_edge_points(const std::vector<uint32_t>& idx, uint32_t V,
                                         uint32_t first_index, uint32_t& next_index) {
    const size_t slots = idx.size();
    auto corner = [&](size_t s, int step) { return idx[(s & ~size_t(3)) | ((s + step) & 3)]; };

    std::vector<uint32_t> start(size_t(V) + 1, 0);
    for (size_t s = 0; s < slots; ++s) {
        const uint32_t a = idx[s], b = corner(s, 1);
        if (a >= V) throw std::out_of_range("subdivide: quad names a missing vertex");
        ++start[(a < b ? a : b) + 1];
    }
    for (uint32_t v = 0; v < V; ++v) start[v + 1] += start[v];

    struct Entry {
        uint32_t hi;
        uint32_t slot;
    };
    std::vector<Entry> bucket(slots);
    {
        std::vector<uint32_t> fill(start.begin(), start.end() - 1);
        for (size_t s = 0; s < slots; ++s) {
            const uint32_t a = idx[s], b = corner(s, 1);
            const uint32_t lo = a < b ? a : b, hi = a < b ? b : a;
            bucket[fill[lo]++] = {hi, uint32_t(s)};
        }
    }

    // edge[s] first holds the first slot of its edge, then its point index.
    std::vector<uint32_t> edge(slots);
    {
        std::vector<uint32_t> stamp(V, std::numeric_limits<uint32_t>::max());
        std::vector<uint32_t> first_slot(V);
        for (uint32_t lo = 0; lo < V; ++lo) {
            for (uint32_t e = start[lo]; e < start[lo + 1]; ++e) {
                const Entry& en = bucket[e];
                if (stamp[en.hi] != lo) {
                    stamp[en.hi] = lo;
                    first_slot[en.hi] = en.slot;
                }
                edge[en.slot] = first_slot[en.hi];
            }
        }
    }
    next_index = first_index;
    for (size_t s = 0; s < slots; ++s)
        edge[s] = edge[s] == s ? next_index++ : edge[edge[s]];
    return edge;
}

}  // namespace

std::unique_ptr<QuadMesh> subdivide(QuadMesh input) {
    auto out = std::make_unique<QuadMesh>();
    const uint32_t V = input.vertex_count();
    const size_t slots = input.indices.size() & ~size_t(3);
    const uint64_t Q = slots / 4;
    // N <= V + Q + 4Q, all of it a 32-bit index.
    if (uint64_t(V) + 5 * Q > std::numeric_limits<uint32_t>::max())
        throw std::length_error("subdivide: mesh too large for 32-bit indices");
    input.indices.resize(slots);

    uint32_t N = 0;
    const std::vector<uint32_t> edge =
        number_edge_points(input.indices, V, V + uint32_t(Q), N);

    // Topology: quad 4q+k is (u_k, E(u_k,u_k+1), F_q, E(u_k-1,u_k)).
    out->indices.resize(16 * Q);
    uint32_t* o = out->indices.data();
    for (uint64_t q = 0; q < Q; ++q) {
        const uint32_t* u = &input.indices[4 * q];
        const uint32_t* e = &edge[4 * q];
        const uint32_t f = V + uint32_t(q);
        for (int k = 0; k < 4; ++k) {
            uint32_t* quad = o + 16 * q + 4 * k;
            quad[0] = u[k];
            quad[1] = e[k];
            quad[2] = f;
            quad[3] = e[(k + 3) & 3];
        }
    }

    // First pass, in place on the extended input: face and edge points get
    // the sums of their corners.
    std::vector<float>& work = input.vertices;
    work.resize(size_t(N) * R, 0.0f);
    float* w = work.data();
    for (size_t i = 0; i < out->indices.size(); i += 4) {
        const uint32_t* c = o + i;
        const float* c0 = w + size_t(c[0]) * R;
        accumulate(w + size_t(c[1]) * R, c0);
        accumulate(w + size_t(c[2]) * R, c0);
        accumulate(w + size_t(c[3]) * R, c0);
    }

    // Second pass: each corner of each output quad receives its preceding
    // corner, itself and its opposite corner.
    out->vertices.assign(size_t(N) * R, 0.0f);
    float* t = out->vertices.data();
    for (size_t i = 0; i < out->indices.size(); i += 4) {
        const uint32_t* c = o + i;
        for (int k = 0; k < 4; ++k) {
            float* target = t + size_t(c[k]) * R;
            accumulate(target, w + size_t(c[(k + 3) & 3]) * R);
            accumulate(target, w + size_t(c[k]) * R);
            accumulate(target, w + size_t(c[(k + 2) & 3]) * R);
        }
    }
    return out;
}

}  // namespace dozu
