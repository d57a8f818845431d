#include "mesh/mesh_view.h"

#include "mesh/quad_mesh.h"

namespace dozu {

MeshView output_mesh_view(QuadMesh& mesh) {
    mesh.to_display_form();
    return {mesh.vertex_data(), mesh.vertex_count(), QuadMesh::kRecordFloats, 0, 3,
            mesh.index_data(),  mesh.index_count()};
}

}  // namespace dozu
