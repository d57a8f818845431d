// The mouse camera of the 3D view: pan and zoom in eye space, a rotation held
// as a quaternion and driven by a trackball with inertia, and a view centre
// that follows the model. The mouse handlers only record positions; all
// motion is applied once per paint. Pure math: the GL calls are the caller's.
#pragma once

#include <cstdint>

#include "geometry/quaternion.h"

namespace dozu {

struct TrackballState {
    float axis_x = 0, axis_y = 0;  // unit spin axis in the eye's x-y plane
    float speed = 0;               // spin angle per paint, radians
    float last_x = 0, last_y = 0;  // ball position at the previous paint
    bool primed = false;
};

// One frame of the trackball: the new delta enters with gain g, the old spin
// is damped by d.
void trackball_update(TrackballState& T, float bx, float by, float g, float d);

struct WindowPoint {
    float x, y;  // pixels, y from the top like mouse coordinates
};

// An eye-space point through the projection matrix (column-major, as GL
// reports it) and the viewport (0, 0, w, h).
WindowPoint project_to_window(const double projection[16], int w, int h, const float p[3]);

enum : uint8_t { kButtonLeft = 0, kButtonRight = 1, kButtonMiddle = 2 };

// Where the eye looks from, the model's +z up the screen as at the start:
// start is the reset's orientation, front looks along +y, top down along
// -z (with +y up the screen), right along -x.
enum class StandardView { start, front, top, right };
quaternion standard_view(StandardView view);

struct Rotation {
    bool apply;
    float degrees;
    float axis[3];
};

struct Camera {
    float pan_x = 0, pan_y = 0, zoom = 0;
    bool drag_active = false;
    uint8_t drag_button = 0;
    int drag_origin_x = 0, drag_origin_y = 0;
    float drag_origin_pan_x = 0, drag_origin_pan_y = 0, drag_origin_zoom = 0;
    float ball_x = 0, ball_y = 0;
    float screen_center_x = 0, screen_center_y = 0;
    float screen_radius = 1.0f;
    TrackballState trackball;
    quaternion orientation{1, 0, 0, 0};
    float view_center[3] = {0, 0, 0};

    Camera() { reset(); }

    void mouse_down(uint8_t button, int x, int y);
    void mouse_up();
    void mouse_move(int x, int y);
    // Orientation and pan back to the start; a spin in progress goes on.
    void reset();
    // The mouse wheel: each notch (120) up brings the eye a tenth closer to
    // the model's origin, down moves it away, as a middle drag up or down.
    void wheel(int delta);
    // The same with the mouse at (x, y) of a w x h view: the model point
    // under the mouse, at the depth of the model's origin, stays under it.
    void wheel_at(int delta, float x, float y, int w, int h, double fov_degrees);
    // Turns the model about the eye's vertical axis (to the right) and its
    // horizontal axis (the front up), as the arrow keys do.
    void turn(float right_degrees, float up_degrees);
    // Frames a model of bounding sphere (center, radius) in a view of the
    // given aspect (width / height) and vertical field of view: no pan, the
    // view centre on the model, the eye just far enough to see all of it.
    void fit(const float center[3], float radius, double aspect, double fov_degrees);

    // The model-view translation of the paint, (pan_x, -pan_y, -(zoom + 5)).
    void translation(float t[3]) const;
    // Measures the model origin and its bounding radius r on screen. A
    // viewport without area measures nothing and keeps the last values.
    void measure(const double projection[16], int w, int h, float r);
    // Advances the spin by one paint and turns the orientation by it.
    void trackball_frame();
    // The rotation that stands for the orientation.
    Rotation orientation_rotation() const;
    // Moves the view centre a quarter of the way to m.
    void recenter(const float m[3]);
    // True when another frame would move nothing that can be seen: the
    // spin turns the model by less than a hundredth of a pixel and the view
    // centre has all but reached m.
    bool settled(const float m[3]) const;
    // Ends the animations at once: the view centre reaches m and a coasting
    // spin stops (a left drag goes on spinning).
    void settle(const float m[3]);
};

// The perspective's near and far planes for a model whose bounding sphere
// has the given radius and its centre at most `centre_distance` from the
// eye: the fixed 0.125 and 100 while they hold the sphere. A larger or
// farther model gets a far plane past the sphere and a near plane halfway
// to its front, so that it is seen whole and the depth test keeps its
// precision on it.
struct DepthRange {
    double near_plane, far_plane;
};
DepthRange depth_range(double centre_distance, double radius);

}  // namespace dozu
