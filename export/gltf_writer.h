// glTF 2.0, binary (.glb) or JSON with the buffer as a data URI (.gltf):
// one scene, node and mesh of the triangles with POSITION and NORMAL, one
// default material.
#pragma once

#include "export/compact_mesh.h"
#include "export/export_options.h"

namespace dozu {

class ByteSink;

void write_gltf(ByteSink& sink, const CompactMesh& mesh, const ExportOptions& options, bool binary);

}  // namespace dozu
