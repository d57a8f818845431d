// The editor's paint in one still frame: a fresh camera, no spin, the view
// centre where its glide ends, drawn into an off-screen context.
#include "cli/picture.h"

#include "cli/offscreen_gl.h"
#include "cli/png_writer.h"
#include "scene/camera.h"
#include "scene/scene.h"
#include "turtle/turtle.h"

namespace dozu {

std::vector<uint8_t> render_png(const turtle& t, QuadMesh& mesh, int width, int height, bool solid) {
    OffscreenGL gl(width, height);
    scene_init_gl();
    scene_set_solid(solid);
    scene_begin(width, height);
    Camera camera;
    t.bounds_center(camera.view_center);
    scene_draw(camera, t, mesh, width, height, false);
    return encode_png(gl.read_rgb(), width, height);
}

}  // namespace dozu
