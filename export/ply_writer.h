// Binary little-endian PLY: x y z nx ny nz floats per vertex, each face a
// list of 4 indices.
#pragma once

#include "export/compact_mesh.h"
#include "export/export_options.h"

namespace dozu {

class ByteSink;

void write_ply(ByteSink& sink, const CompactMesh& mesh, const ExportOptions& options);

}  // namespace dozu
