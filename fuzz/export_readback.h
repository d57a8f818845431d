// Reads every mesh format that dozu writes back from memory and compares it
// with the mesh it was written from: the same floats, bit for bit, the same
// faces. glTF is read by tinygltf's loader and 3MF unpacked by libzip; the
// rest are read here from their layout.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/mesh_format.h"

namespace dozu::fuzz {

// What a file must hold, as plain arrays: the compacted mesh's vertices in
// their file order (positions scaled), its quads and its triangles.
struct ExpectedMesh {
    std::vector<float> positions, normals;  // x y z per vertex
    std::vector<uint32_t> quads, triangles;
};
ExpectedMesh expected_mesh(const CompactMesh& mesh, const ExportOptions& options);

// Empty when the bytes read back as the mesh; otherwise what differs.
std::string readback_difference(MeshFormat format, const std::string& bytes, const ExpectedMesh& mesh);

}  // namespace dozu::fuzz
