// The GL half of QuadMesh: built only into targets that link OpenGL.
#include <GL/gl.h>

#include "mesh/quad_mesh.h"

namespace dozu {

void QuadMesh::draw() {
    to_display_form();
    if (vertex_count() == 0) return;
    glInterleavedArrays(GL_N3F_V3F, kRecordFloats * sizeof(float), vertex_data());
    glDrawElements(GL_QUADS, GLsizei(index_count()), GL_UNSIGNED_INT, index_data());
}

}  // namespace dozu
