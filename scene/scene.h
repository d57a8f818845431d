// The 3D view's drawing, in OpenGL 1.1 and without a window: the GL state
// set once per context, the projection, the model through the camera, and
// the overlay of the mouse gesture in progress. The editor's paint and the
// batch tool's pictures draw the same scene with it.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/camera.h"

namespace dozu {

constexpr double kFieldOfViewDegrees = 55.0;  // vertical

class QuadMesh;
class turtle;

// Culling off, white background, black wireframe, light 0 and the front
// material (lighting itself stays off).
void scene_init_gl();
// Lit, filled front faces with depth test, or the black wireframe again.
void scene_set_solid(bool solid);
// Viewport and 55 degree perspective for a w x h view; clears to white and
// sets the drawing colour to black.
void scene_begin(int w, int h);
// The model through the camera: placement, one trackball frame when
// animate is set, rotation, the view centre's glide to the model, the mesh
// and the overlay.
void scene_draw(Camera& camera, const turtle& t, QuadMesh& mesh, int w, int h, bool animate);
// The w x h picture in the back buffer as RGBA rows from the bottom, and
// such a picture drawn into the back buffer again.
std::vector<uint8_t> scene_read_picture(int w, int h);
void scene_draw_picture(const std::vector<uint8_t>& rgba, int w, int h);

}  // namespace dozu
