// Wavefront OBJ: v lines, vn lines, then f a//a b//b c//c d//d (1-based);
// every float printed so that it reads back as the same single value.
#pragma once

#include "export/compact_mesh.h"
#include "export/export_options.h"

namespace dozu {

class ByteSink;

void write_obj(ByteSink& sink, const CompactMesh& mesh, const ExportOptions& options);

}  // namespace dozu
