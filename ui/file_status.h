// What the status bar says once a file was written: its name and what it
// holds, so that a save or an export is confirmed where the user looks.
#pragma once

#include <QString>
#include <cstddef>

#include "export/compact_mesh.h"
#include "export/mesh_format.h"

namespace dozu {

// "Saved chain.tpg: 25 lines", or for the compiled output
// "Saved chain.bin (compiled): 25 lines".
QString saved_status(const QString& path, size_t lines, bool compiled);
// "Exported chain.glb: 56 vertices, 108 triangles", or quads for the
// formats that keep them.
QString exported_status(const QString& path, const CompactMesh& mesh, MeshFormat format);

}  // namespace dozu
