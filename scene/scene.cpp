#include "scene/scene.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

#include "mesh/quad_mesh.h"
#include "turtle/turtle.h"

namespace dozu {

namespace {

// A light from the viewer's upper left, a mid-blue diffuse colour and a
// small, tight highlight: faces turned from the light darken, so the
// shape reads on the white background.
const GLfloat kLightPosition[4] = {-0.4f, 0.5f, 1, 0};
const GLfloat kLightDiffuse[4] = {0.8f, 0.8f, 0.8f, 1};
const GLfloat kLightSpecular[4] = {1, 1, 1, 1};
const GLfloat kLightAmbient[4] = {0.2f, 0.2f, 0.2f, 1};
const GLfloat kMaterialDiffuse[4] = {0.45f, 0.45f, 0.8f, 1};
const GLfloat kMaterialSpecular[4] = {0.35f, 0.35f, 0.35f, 1};
const GLfloat kMaterialShininess = 24.0f;
const GLfloat kMaterialAmbient[4] = {0.6f, 0.6f, 1.0f, 1.0f};
const GLfloat kOverlayX[3] = {0.9f, 0.8f, 0.8f};
const GLfloat kOverlayY[3] = {0.8f, 0.9f, 0.8f};
const GLfloat kOverlayZ[3] = {0.8f, 0.8f, 0.9f};
constexpr float kDegreesToRadians = 0.01745329f;

void draw_overlay(const Camera& camera, float r) {
    if (!camera.drag_active) return;
    const uint8_t button = camera.drag_button;
    if (button == kButtonRight || button == kButtonMiddle) {
        glBegin(GL_LINES);
        glColor3fv(kOverlayX);
        glVertex3f(-r, 0, 0);
        glVertex3f(r, 0, 0);
        if (button == kButtonRight) {
            glColor3fv(kOverlayY);
            glVertex3f(0, -r, 0);
            glVertex3f(0, r, 0);
        } else {
            glColor3fv(kOverlayZ);
            glVertex3f(0, 0, -r);
            glVertex3f(0, 0, r);
        }
        glEnd();
        return;
    }
    const GLfloat* colours[3] = {kOverlayX, kOverlayY, kOverlayZ};
    for (int circle = 0; circle < 3; ++circle) {
        glColor3fv(colours[circle]);
        glBegin(GL_LINE_STRIP);
        for (int degrees = 0; degrees <= 360; degrees += 5) {
            const float a = float(degrees) * kDegreesToRadians;
            const float s = r * std::sin(a), c = r * std::cos(a);
            if (circle == 0)
                glVertex3f(0, s, c);
            else if (circle == 1)
                glVertex3f(s, 0, c);
            else
                glVertex3f(s, c, 0);
        }
        glEnd();
    }
}

void set_projection(int w, int h, DepthRange depth, const PictureTile& tile) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (!tile.whole()) {
        // The tile's part of the picture's clip space stretched over its
        // own: x' = (x + 1) w / tw - 2 tx / tw - 1, and so for y.
        const double sx = double(w) / tile.width, sy = double(h) / tile.height;
        glTranslated(sx - 2.0 * tile.x / tile.width - 1, sy - 2.0 * tile.y / tile.height - 1, 0);
        glScaled(sx, sy, 1);
    }
    // A view without height keeps a finite aspect: nothing is seen anyway.
    gluPerspective(kFieldOfViewDegrees, h > 0 ? double(w) / double(h) : double(w), depth.near_plane,
                   depth.far_plane);
    glMatrixMode(GL_MODELVIEW);
}

}  // namespace

void scene_init_gl() {
    glDisable(GL_CULL_FACE);
    glClearColor(1, 1, 1, 1);
    glColor4f(0, 0, 0, 1);
    glPolygonMode(GL_FRONT, GL_LINE);
    glPolygonMode(GL_BACK, GL_LINE);
    glLightfv(GL_LIGHT0, GL_POSITION, kLightPosition);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, kLightDiffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, kLightSpecular);
    glLightfv(GL_LIGHT0, GL_AMBIENT, kLightAmbient);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, kMaterialDiffuse);
    glMaterialfv(GL_FRONT, GL_SPECULAR, kMaterialSpecular);
    glMaterialf(GL_FRONT, GL_SHININESS, kMaterialShininess);
    glMaterialfv(GL_FRONT, GL_AMBIENT, kMaterialAmbient);
}

void scene_set_solid(bool solid) {
    if (solid) {
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_NORMALIZE);
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        glPolygonMode(GL_FRONT, GL_FILL);
    } else {
        glDisable(GL_LIGHT0);
        glDisable(GL_LIGHTING);
        glDisable(GL_NORMALIZE);
        glDisable(GL_DEPTH_TEST);
        glPolygonMode(GL_FRONT, GL_LINE);
    }
    glPolygonMode(GL_BACK, GL_LINE);
}

void scene_begin(int w, int h, const PictureTile& tile) {
    if (tile.whole())
        glViewport(0, 0, w, h);
    else
        glViewport(0, 0, tile.width, tile.height);
    set_projection(w, h, depth_range(0, 0), tile);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor3f(0, 0, 0);
}

void scene_draw(Camera& camera, const turtle& t, QuadMesh& mesh, int w, int h, bool animate,
                const ViewOptions& options, const PictureTile& tile) {
    glLoadIdentity();
    glFrontFace(GL_CW);
    float tr[3];
    camera.translation(tr);
    glTranslatef(tr[0], tr[1], tr[2]);
    float m[3];
    t.bounds_center(m);
    // The model's centre is at tr + R (m - view centre) from the eye.
    const float offset[3] = {m[0] - camera.view_center[0], m[1] - camera.view_center[1],
                             m[2] - camera.view_center[2]};
    const double centre_distance = std::hypot(tr[0], tr[1], tr[2]) + std::hypot(offset[0], offset[1], offset[2]);
    const DepthRange depth = depth_range(centre_distance, t.bounds_radius());
    if (depth.far_plane != depth_range(0, 0).far_plane) set_projection(w, h, depth, tile);
    GLdouble projection[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    camera.measure(projection, w, h, t.bounds_radius());
    if (animate) camera.trackball_frame();

    glPushMatrix();
    const Rotation rot = camera.orientation_rotation();
    if (rot.apply) glRotatef(rot.degrees, rot.axis[0], rot.axis[1], rot.axis[2]);
    camera.recenter(m);
    glTranslatef(-camera.view_center[0], -camera.view_center[1], -camera.view_center[2]);
    const float r = t.bounds_radius();
    // With hidden lines the faces hide the axes and the grid as they hide
    // the wireframe: those come after the faces are in the depth buffer.
    const bool hidden_by_faces = options.hidden_lines && !glIsEnabled(GL_LIGHTING);
    if (options.show_axes_grid && !hidden_by_faces) draw_ground_grid(ground_grid(t), false);
    draw_model(mesh, options);
    if (options.show_axes_grid && hidden_by_faces) draw_ground_grid(ground_grid(t), true);
    if (options.show_turtle) draw_turtle_marker(turtle_marker(t.state, r));
    glPopMatrix();

    draw_overlay(camera, r);
}

std::vector<uint8_t> scene_render_picture(Camera camera, const turtle& t, QuadMesh& mesh,
                                          const ViewOptions& options, int w, int h, int view_w, int view_h) {
    if (w <= 0 || h <= 0 || view_w <= 0 || view_h <= 0) return {};
    camera.drag_active = false;
    std::vector<uint8_t> rgb(size_t(w) * size_t(h) * 3);
    std::vector<uint8_t> part_rgb(size_t(std::min(w, view_w)) * size_t(std::min(h, view_h)) * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    for (int y = 0; y < h; y += view_h)
        for (int x = 0; x < w; x += view_w) {
            const PictureTile tile{x, y, std::min(view_w, w - x), std::min(view_h, h - y)};
            const PictureTile part = tile.width == w && tile.height == h ? PictureTile{} : tile;
            // Every tile from the same camera: the view centre's glide
            // takes the same step in each.
            Camera c = camera;
            scene_begin(w, h, part);
            scene_draw(c, t, mesh, w, h, false, options, part);
            glReadPixels(0, 0, tile.width, tile.height, GL_RGB, GL_UNSIGNED_BYTE, part_rgb.data());
            // Rows from the bottom into rows from the top.
            const size_t row_bytes = size_t(tile.width) * 3;
            for (int row = 0; row < tile.height; ++row)
                std::copy_n(&part_rgb[size_t(row) * row_bytes], row_bytes,
                            &rgb[(size_t(h - 1 - (y + row)) * size_t(w) + size_t(x)) * 3]);
        }
    return rgb;
}

std::vector<uint8_t> scene_read_picture(int w, int h) {
    std::vector<uint8_t> rgba(size_t(std::max(w, 0)) * size_t(std::max(h, 0)) * 4);
    if (rgba.empty()) return rgba;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return rgba;
}

void scene_draw_picture(const std::vector<uint8_t>& rgba, int w, int h) {
    if (w <= 0 || h <= 0 || rgba.size() != size_t(w) * size_t(h) * 4) return;
    glViewport(0, 0, w, h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glRasterPos2f(-1, -1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glDrawPixels(w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glPopAttrib();
}

}  // namespace dozu
