#include "mesh/quad_mesh.h"

namespace dozu {

QuadMesh::QuadMesh(const QuadMesh& other)
    : display_ready(false), vertices(other.vertices), indices(other.indices) {}

QuadMesh& QuadMesh::operator=(const QuadMesh& other) {
    if (this != &other) {
        display_ready = false;
        vertices = other.vertices;
        indices = other.indices;
    }
    return *this;
}

int QuadMesh::add_vertex(const float normal[3], const float position[3]) {
    vertices.insert(vertices.end(),
                    {normal[0], normal[1], normal[2], 1.0f, position[0], position[1], position[2], 1.0f});
    return int(vertex_count()) - 1;
}

void QuadMesh::add_quad(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    indices.insert(indices.end(), {a, b, c, d});
}

void QuadMesh::to_display_form() {
    if (display_ready) return;
    for (float *r = vertices.data(), *end = r + vertices.size(); r != end; r += kRecordFloats) {
        const float inv = 1.0f / r[3];
        r[0] *= inv;
        r[1] *= inv;
        r[2] *= inv;
        r[3] = r[4] * inv;
        r[4] = r[5] * inv;
        r[5] = r[6] * inv;
    }
    display_ready = true;
}

}  // namespace dozu
