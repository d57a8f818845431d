// The 3D view's drawing, in OpenGL 1.1 and without a window: the GL state
// set once per context, the projection, the model through the camera, and
// the overlay of the mouse gesture in progress. The editor's paint and the
// batch tool's pictures draw the same scene with it.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/camera.h"
#include "scene/view_aids.h"

namespace dozu {

constexpr double kFieldOfViewDegrees = 55.0;  // vertical

class QuadMesh;
class turtle;

// Culling off, white background, black wireframe, light 0 and the front
// material (lighting itself stays off).
void scene_init_gl();
// Lit, filled front faces with depth test, or the black wireframe again.
void scene_set_solid(bool solid);
// A part of a w x h picture, drawn into a viewport of its own size: the
// rectangle from (x, y), counted from the bottom left. Empty (the default)
// stands for the whole picture.
struct PictureTile {
    int x = 0, y = 0, width = 0, height = 0;
    bool whole() const { return width <= 0 || height <= 0; }
};

// Viewport and 55 degree perspective for a w x h view (or the tile of it);
// clears to white and sets the drawing colour to black.
void scene_begin(int w, int h, const PictureTile& tile = {});
// The model through the camera: placement, one trackball frame when
// animate is set, rotation, the view centre's glide to the model, the view
// aids that the options ask for, the mesh and the overlay.
void scene_draw(Camera& camera, const turtle& t, QuadMesh& mesh, int w, int h, bool animate,
                const ViewOptions& options = {}, const PictureTile& tile = {});
// A w x h picture of what scene_draw shows, drawn in tiles of at most the
// view's size into the back buffer (which it leaves spoilt), as RGB rows
// from the top. The camera is a copy: it neither glides nor spins.
std::vector<uint8_t> scene_render_picture(Camera camera, const turtle& t, QuadMesh& mesh,
                                          const ViewOptions& options, int w, int h, int view_w, int view_h);
// The w x h picture in the back buffer as RGBA rows from the bottom, and
// such a picture drawn into the back buffer again.
std::vector<uint8_t> scene_read_picture(int w, int h);
void scene_draw_picture(const std::vector<uint8_t>& rgba, int w, int h);

}  // namespace dozu
