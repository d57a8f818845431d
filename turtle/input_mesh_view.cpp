#include "turtle/input_mesh_view.h"

#include "turtle/turtle.h"

namespace dozu {

MeshView input_mesh_view(const turtle& t) {
    static_assert(sizeof(vertex) == 6 * sizeof(float));
    return {reinterpret_cast<const float*>(t.vertex_data()),
            t.vertex_count(),
            6,
            0,
            3,
            t.index_data(),
            t.index_count()};
}

}  // namespace dozu
