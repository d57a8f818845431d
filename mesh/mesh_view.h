// A mesh as the writers and the mesh debugger walk it: vertex records with
// a stride and quads of four vertex numbers, over storage that someone else
// owns.
#pragma once

#include <cstdint>

namespace dozu {

class QuadMesh;

// Vertex records with a stride, and quads in the turtle's winding
// (clockwise seen from outside).
struct MeshView {
    const float* records = nullptr;
    uint32_t vertex_count = 0;
    int stride = 0;  // floats per record
    int normal = 0;  // float offsets inside a record
    int position = 0;
    const uint32_t* indices = nullptr;
    uint32_t index_count = 0;
};

// The output mesh in display form (converts it, once).
MeshView output_mesh_view(QuadMesh& mesh);

}  // namespace dozu
