// Reads every mesh format that dozu writes back from memory and compares it
// with the mesh it was written from: the same floats, bit for bit, the same
// faces. glTF is read by tinygltf's loader and 3MF unpacked by libzip; the
// rest are read here from their layout.
#pragma once

#include <string>

#include "editor/mesh_export.h"

namespace dozu::fuzz {

// Empty when the bytes read back as the mesh; otherwise what differs.
std::string readback_difference(MeshFormat format, const std::string& bytes, const CompactMesh& mesh,
                                const ExportOptions& options);

}  // namespace dozu::fuzz
