// The subdivision rules transcribed plainly, for the tests and the fuzzer to
// hold the fast subdivision against, bit for bit: edge points are found in a
// dense table of vertex pairs, and every record is summed one addition at a
// time, output quad by output quad, in the order the rules give. Its table
// grows with the square of the vertex count: for small meshes only.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "mesh/quad_mesh.h"

namespace dozu::testing {

inline QuadMesh reference_subdivide(const QuadMesh& input) {
    constexpr int R = QuadMesh::kRecordFloats;
    const uint64_t V = input.vertex_count();
    const uint64_t Q = input.indices.size() / 4;
    for (uint64_t i = 0; i < 4 * Q; ++i)
        if (input.indices[i] >= V) throw std::out_of_range("reference_subdivide: quad names a missing vertex");

    // Row lo of the table holds the pairs {lo, hi} for hi = lo to V - 1: a
    // quad that names one vertex twice has an edge {i, i}, which gets an
    // edge point like any other.
    std::vector<uint32_t> edge_table(V * (V + 1) / 2, 0xFFFFFFFFu);
    uint32_t next_index = uint32_t(V + Q);
    auto edge_point = [&](uint64_t i, uint64_t j) {
        const uint64_t lo = i < j ? i : j, hi = i < j ? j : i;
        uint32_t& entry = edge_table[lo * (2 * V - lo + 1) / 2 + (hi - lo)];
        if (entry == 0xFFFFFFFFu) entry = next_index++;
        return entry;
    };

    QuadMesh out;
    out.indices.assign(16 * Q, 0);
    for (uint64_t q = 0; q < Q; ++q) {
        const uint32_t* u = &input.indices[4 * q];
        for (uint64_t k = 0; k < 4; ++k) {
            const uint32_t e = edge_point(u[k], u[(k + 1) % 4]);
            out.indices[16 * q + 4 * k + 0] = u[k];
            out.indices[16 * q + 4 * k + 1] = e;
            out.indices[16 * q + 4 * k + 2] = uint32_t(V + q);
            out.indices[16 * q + 4 * ((k + 1) % 4) + 3] = e;
        }
    }
    const uint64_t N = next_index;

    auto accumulate = [](float* t, const float* s) {
        for (int i = 0; i < R; ++i) t[i] = t[i] + s[i];
    };
    std::vector<float> copy(input.vertices.begin(), input.vertices.begin() + long(V * R));
    copy.resize(N * R, 0.0f);
    for (uint64_t o = 0; o < 4 * Q; ++o) {
        const uint32_t* c = &out.indices[4 * o];
        for (int k = 1; k < 4; ++k) accumulate(&copy[c[k] * R], &copy[c[0] * R]);
    }

    out.vertices.assign(N * R, 0.0f);
    for (uint64_t o = 0; o < 4 * Q; ++o) {
        const uint32_t* c = &out.indices[4 * o];
        for (int k = 0; k < 4; ++k) {
            float* t = &out.vertices[c[k] * R];
            accumulate(t, &copy[c[(k + 3) % 4] * R]);
            accumulate(t, &copy[c[k] * R]);
            accumulate(t, &copy[c[(k + 2) % 4] * R]);
        }
    }
    return out;
}

// Empty when the two meshes hold the same indices and the same bits in every
// float (any two NaNs count as equal: which operand's payload a sum keeps
// is the compiler's choice); otherwise where they first differ.
inline std::string first_difference(const QuadMesh& a, const QuadMesh& b) {
    if (a.indices.size() != b.indices.size() || a.vertices.size() != b.vertices.size())
        return "sizes differ: " + std::to_string(a.indices.size()) + " and " + std::to_string(b.indices.size()) +
               " indices, " + std::to_string(a.vertices.size()) + " and " + std::to_string(b.vertices.size()) +
               " floats";
    for (size_t i = 0; i < a.indices.size(); ++i)
        if (a.indices[i] != b.indices[i])
            return "index " + std::to_string(i) + ": " + std::to_string(a.indices[i]) + " and " +
                   std::to_string(b.indices[i]);
    for (size_t i = 0; i < a.vertices.size(); ++i) {
        const float x = a.vertices[i], y = b.vertices[i];
        if (std::memcmp(&x, &y, sizeof x) == 0 || (std::isnan(x) && std::isnan(y))) continue;
        char text[160];
        std::snprintf(text, sizeof text, "vertex %zu float %zu: %a and %a", i / QuadMesh::kRecordFloats,
                      i % QuadMesh::kRecordFloats, double(x), double(y));
        return text;
    }
    return "";
}

}  // namespace dozu::testing
