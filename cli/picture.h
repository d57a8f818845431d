// Still pictures of a run's output mesh, drawn off-screen as the editor's 3D
// view draws it, encoded as PNG.
#pragma once

#include <cstdint>
#include <vector>

namespace dozu {

class QuadMesh;
class turtle;

// The editor's 3D panel as it first opens.
constexpr int kPictureWidth = 746, kPictureHeight = 288;

// The mesh through a camera at its reset orientation, its view centre
// arrived at the turtle's bounds centre; a black wireframe on white, or the
// lit solid. Throws GLError or std::runtime_error.
std::vector<uint8_t> render_png(const turtle& t, QuadMesh& mesh, int width, int height, bool solid);

}  // namespace dozu
