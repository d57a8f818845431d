// 3MF: one object of the triangles, in millimetres.
#pragma once

#include "export/compact_mesh.h"
#include "export/export_options.h"

namespace dozu {

class ByteSink;

void write_3mf(ByteSink& sink, const CompactMesh& mesh, const ExportOptions& options);

}  // namespace dozu
