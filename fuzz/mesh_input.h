// The subdivision fuzzer's input: a quad mesh in a small binary form.
//
//   byte 0     flags: bits 0-1 the number of levels less one; bit 2 set,
//              indices are taken modulo the vertex count; bit 3 set, each
//              index is one byte, else two (little-endian)
//   bytes 1-2  vertex count, bytes 3-4 quad count (little-endian)
//   then       4 indices per quad
//   then       8 little-endian floats per vertex record
//
// Bytes that are missing read as zero, except vertex records: those that
// the input does not give are made from a fixed sequence of floats of many
// magnitudes (weight 1), so that a sum taken in another order rounds
// differently.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "mesh/quad_mesh.h"

namespace dozu::fuzz {

struct MeshInput {
    int levels = 1;
    QuadMesh mesh;
};

enum : uint8_t { kWrapIndices = 4, kByteIndices = 8 };

// The counts in the header, before anything is made of them.
inline uint32_t mesh_input_vertices(const uint8_t* data, size_t size) {
    return (size > 1 ? data[1] : 0u) | (size > 2 ? data[2] : 0u) << 8;
}
inline uint32_t mesh_input_quads(const uint8_t* data, size_t size) {
    return (size > 3 ? data[3] : 0u) | (size > 4 ? data[4] : 0u) << 8;
}

inline MeshInput decode_mesh_input(const uint8_t* data, size_t size) {
    size_t at = 0;
    auto byte = [&]() -> uint32_t { return at < size ? data[at++] : (at++, 0u); };
    auto u16 = [&] {
        const uint32_t lo = byte();
        return lo | byte() << 8;
    };
    MeshInput in;
    const uint32_t flags = byte();
    in.levels = 1 + int(flags & 3);
    const uint32_t V = u16(), Q = u16();
    in.mesh.indices.resize(4 * size_t(Q));
    for (uint32_t& i : in.mesh.indices) {
        i = flags & kByteIndices ? byte() : u16();
        if (flags & kWrapIndices) i = V ? i % V : 0;
    }
    in.mesh.vertices.resize(size_t(V) * QuadMesh::kRecordFloats);
    uint32_t state = 0x9E3779B9u ^ (V << 16) ^ Q;
    for (size_t f = 0; f < in.mesh.vertices.size(); ++f) {
        float& x = in.mesh.vertices[f];
        if (at + 4 <= size) {
            std::memcpy(&x, data + at, 4);
            at += 4;
            continue;
        }
        state = state * 1664525u + 1013904223u;
        const int slot = int(f % QuadMesh::kRecordFloats);
        x = slot == 3 || slot == 7 ? 1.0f
                                   : std::ldexp(float(int32_t(state) >> 8) / float(1 << 23), int(state % 41) - 20);
    }
    return in;
}

// The inverse, for seeds: every record given, two-byte indices as they are.
inline std::vector<uint8_t> encode_mesh_input(const QuadMesh& mesh, int levels) {
    std::vector<uint8_t> out;
    auto u16 = [&](uint32_t v) {
        out.push_back(uint8_t(v));
        out.push_back(uint8_t(v >> 8));
    };
    out.push_back(uint8_t(levels - 1));
    u16(mesh.vertex_count());
    u16(mesh.index_count() / 4);
    for (uint32_t i = 0; i < mesh.index_count() / 4 * 4; ++i) u16(mesh.indices[i]);
    const size_t floats = size_t(mesh.vertex_count()) * QuadMesh::kRecordFloats;
    const uint8_t* records = reinterpret_cast<const uint8_t*>(mesh.vertices.data());
    out.insert(out.end(), records, records + 4 * floats);
    return out;
}

}  // namespace dozu::fuzz
