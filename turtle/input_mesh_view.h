// The turtle's own vertex and quad lists as a mesh view, for the mesh
// debugger and --input-mesh.
#pragma once

#include "mesh/mesh_view.h"

namespace dozu {

class turtle;

MeshView input_mesh_view(const turtle& t);

}  // namespace dozu
