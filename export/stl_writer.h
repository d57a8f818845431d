// Binary STL: the triangles with facet normals from their positions.
#pragma once

#include "export/compact_mesh.h"
#include "export/export_options.h"

namespace dozu {

class ByteSink;

void write_stl(ByteSink& sink, const CompactMesh& mesh, const ExportOptions& options);

}  // namespace dozu
