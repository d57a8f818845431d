#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <tuple>

#include "scene/camera.h"
#include "scene/view_aids.h"
#include "turtle/turtle.h"

using namespace dozu;

namespace {

// The projection of a 55 degree perspective, column-major.
void perspective(double P[16], double aspect) {
    const double f = 1.0 / std::tan(55.0 * M_PI / 360.0), n = 0.125, far = 100.0;
    for (int i = 0; i < 16; ++i) P[i] = 0;
    P[0] = f / aspect;
    P[5] = f;
    P[10] = (far + n) / (n - far);
    P[11] = -1;
    P[14] = 2 * far * n / (n - far);
}

// A camera measured on a 400 x 300 view of a model of radius 1.
Camera measured() {
    Camera c;
    double P[16];
    perspective(P, 400.0 / 300.0);
    c.measure(P, 400, 300, 1.0f);
    return c;
}

}  // namespace

TEST(Camera, PanAndZoom) {
    Camera c;
    c.mouse_down(kButtonRight, 100, 100);
    c.mouse_move(140, 140);
    EXPECT_FLOAT_EQ(c.pan_x, 1.0f);
    EXPECT_FLOAT_EQ(c.pan_y, 1.0f);
    c.mouse_up();
    c.mouse_move(0, 0);
    EXPECT_FLOAT_EQ(c.pan_x, 1.0f);  // no button: only the ball follows

    c.mouse_down(kButtonMiddle, 10, 10);
    c.mouse_move(30, 50);
    EXPECT_FLOAT_EQ(c.zoom, 1.0f);
    EXPECT_FLOAT_EQ(c.pan_x, 1.5f);
    EXPECT_FLOAT_EQ(c.pan_y, 1.0f);
    float t[3];
    c.translation(t);
    EXPECT_FLOAT_EQ(t[0], 1.5f);
    EXPECT_FLOAT_EQ(t[1], -1.0f);
    EXPECT_FLOAT_EQ(t[2], -6.0f);

    c.reset();
    EXPECT_EQ(c.pan_x, 0.0f);
    EXPECT_EQ(c.zoom, 0.0f);
}

TEST(Camera, WheelZoomsAsAMiddleDragDoes) {
    Camera c;
    c.wheel(-120);  // a notch down moves away, as a drag down does
    EXPECT_FLOAT_EQ(c.zoom + 5, 5 / 0.9f);
    c.wheel(240);
    EXPECT_FLOAT_EQ(c.zoom + 5, 5 * 0.9f);
    for (int i = 0; i < 100; ++i) c.wheel(120);
    EXPECT_GT(c.zoom + 5, 0.125f);  // the eye never reaches the model's origin
    c.zoom = -7;                    // a middle drag went through it
    c.wheel(-120);
    EXPECT_GT(c.zoom + 5, 0.125f);
}

TEST(Camera, MeasureAndBall) {
    Camera c = measured();
    EXPECT_FLOAT_EQ(c.screen_center_x, 200.0f);
    EXPECT_FLOAT_EQ(c.screen_center_y, 150.0f);
    // One unit at distance 5 under a 55 degree field of view of 300 pixels.
    const double expected = 150.0 / std::tan(55.0 * M_PI / 360.0) / 5.0;
    EXPECT_NEAR(c.screen_radius, expected, 1e-3);
    c.mouse_move(200 - int(c.screen_radius), 150);
    EXPECT_NEAR(c.ball_x, 0.75f, 0.01f);  // the rim is at 0.75, +x to the left
    EXPECT_FLOAT_EQ(c.ball_y, 0.0f);

    // A view without area measures nothing: the last values stay finite.
    double P[16];
    perspective(P, 400.0 / 0.0);
    c.measure(P, 400, 0, 1.0f);
    EXPECT_FLOAT_EQ(c.screen_center_y, 150.0f);
    EXPECT_NEAR(c.screen_radius, expected, 1e-3);
}

TEST(Camera, ProjectToWindow) {
    double P[16];
    perspective(P, 1.0);
    const float origin[3] = {0, 0, -5};
    const WindowPoint p = project_to_window(P, 200, 100, origin);
    EXPECT_FLOAT_EQ(p.x, 100.0f);
    EXPECT_FLOAT_EQ(p.y, 50.0f);
    const float above[3] = {0, 1, -5};
    EXPECT_LT(project_to_window(P, 200, 100, above).y, 50.0f);  // y counts from the top
}

TEST(Camera, LeftDragSpinsAndCoasts) {
    Camera c = measured();
    // A press and release without motion adds no Rotation.
    c.mouse_move(200, 150);
    c.mouse_down(kButtonLeft, 200, 150);
    c.trackball_frame();
    c.trackball_frame();
    c.mouse_up();
    EXPECT_EQ(c.trackball.speed, 0.0f);

    c.mouse_down(kButtonLeft, 200, 150);
    c.trackball_frame();
    c.mouse_move(230, 150);
    c.trackball_frame();
    const float spin = c.trackball.speed;
    EXPECT_GT(spin, 0.0f);
    EXPECT_NEAR(c.trackball.axis_y, -1.0f, 1e-6);  // a drag to the right turns about -y
    // Held still, the spin is braked to 0.09 of its speed per paint.
    c.trackball_frame();
    EXPECT_FLOAT_EQ(c.trackball.speed, spin * 0.09f);
    c.mouse_move(260, 150);
    c.trackball_frame();
    c.mouse_up();
    const float released = c.trackball.speed;
    const quaternion before = c.orientation;
    c.trackball_frame();
    EXPECT_FLOAT_EQ(c.trackball.speed, released * 0.8f);
    c.trackball_frame();
    EXPECT_FLOAT_EQ(c.trackball.speed, released * 0.8f * 0.8f);
    EXPECT_NE(c.orientation.y, before.y);

    // A reset sets the orientation back; the spin goes on from there.
    c.reset();
    EXPECT_FLOAT_EQ(c.orientation.w, -0.7071090f);
    c.trackball_frame();
    EXPECT_GT(c.trackball.speed, 0.0f);
    EXPECT_NE(c.orientation.y, 0.0f);

    // Settling ends a coast and the glide, but not a drag's spin.
    const float m[3] = {1e6f, -3, 2};
    c.mouse_down(kButtonLeft, 200, 150);
    c.trackball_frame();
    c.mouse_move(230, 150);
    c.trackball_frame();
    c.settle(m);
    EXPECT_GT(c.trackball.speed, 0.0f);
    c.mouse_up();
    c.settle(m);
    EXPECT_TRUE(c.settled(m));
}

TEST(Camera, EmptyModelAddsNoRotation) {
    Camera c;
    double P[16];
    perspective(P, 1.0);
    c.measure(P, 300, 300, 0.0f);
    EXPECT_EQ(c.screen_radius, 0.0f);
    c.mouse_down(kButtonLeft, 10, 10);
    c.mouse_move(10, 10);
    c.trackball_frame();
    c.mouse_move(40, 80);
    c.trackball_frame();
    EXPECT_EQ(c.trackball.speed, 0.0f);
    EXPECT_TRUE(std::isfinite(c.orientation.w));
}

TEST(Camera, OrientationRotation) {
    Camera c;
    Rotation r = c.orientation_rotation();
    ASSERT_TRUE(r.apply);
    EXPECT_NEAR(r.degrees, 270.00036f, 1e-3);
    EXPECT_NEAR(r.axis[0], 1.0f, 1e-5);
    EXPECT_EQ(r.axis[1], 0.0f);

    c.orientation = {1, 0, 0, 0};
    EXPECT_FALSE(c.orientation_rotation().apply);
    // An orientation that drifted past |w| = 1 gives no NaN.
    c.orientation = {1.0000002f, 1e-7f, 0, 0};
    r = c.orientation_rotation();
    EXPECT_TRUE(std::isfinite(r.degrees));
    EXPECT_TRUE(std::isfinite(r.axis[0]));
    EXPECT_EQ(r.degrees, 0.0f);
}

TEST(Camera, RecenterGlides) {
    Camera c;
    const float m[3] = {4, -8, 0};
    c.recenter(m);
    EXPECT_FLOAT_EQ(c.view_center[0], 1.0f);
    EXPECT_FLOAT_EQ(c.view_center[1], -2.0f);
    c.recenter(m);
    EXPECT_FLOAT_EQ(c.view_center[0], 1.75f);
}

TEST(Camera, DepthRangeHoldsTheModel) {
    // The fixed planes while they hold the bounding sphere, a bad distance too.
    for (const auto& [distance, radius] : {std::pair{5.0, 3.0}, {95.0, 5.0}, {NAN, 1.0}, {INFINITY, 1.0}}) {
        const DepthRange d = depth_range(distance, radius);
        EXPECT_EQ(d.near_plane, 0.125);
        EXPECT_EQ(d.far_plane, 100.0);
    }
    // A model fitted into the view (2.4 radii away) or far off, and an eye
    // inside a large one: the sphere lies between the planes, and the depth
    // buffer's range is not spent far from the model.
    for (const auto& [distance, radius] : {std::pair{238.0, 100.0}, {2e7, 8e6}, {500.0, 10.0}, {10.0, 1e4}}) {
        const DepthRange d = depth_range(distance, radius);
        EXPECT_GE(d.far_plane, distance + radius);
        EXPECT_LT(d.far_plane, 1.02 * (distance + radius));
        EXPECT_GE(d.near_plane, 0.125);
        EXPECT_LE(d.near_plane, std::max(distance - radius, 0.125));
        if (distance > 2 * radius) EXPECT_LT(d.far_plane / d.near_plane, 10 * distance / (distance - radius));
    }
}

namespace {

// A model direction as the view shows it: the camera's rotation applied by
// Rodrigues' formula, as glRotatef turns it.
std::array<double, 3> shown(const Camera& c, std::array<double, 3> v) {
    const Rotation r = c.orientation_rotation();
    if (!r.apply) return v;
    const double n = std::hypot(r.axis[0], r.axis[1], r.axis[2]);
    const double k[3] = {r.axis[0] / n, r.axis[1] / n, r.axis[2] / n};
    const double a = r.degrees * M_PI / 180, cs = std::cos(a), sn = std::sin(a);
    const double dot = k[0] * v[0] + k[1] * v[1] + k[2] * v[2];
    const double cross[3] = {k[1] * v[2] - k[2] * v[1], k[2] * v[0] - k[0] * v[2], k[0] * v[1] - k[1] * v[0]};
    std::array<double, 3> out;
    for (int i = 0; i < 3; ++i) out[size_t(i)] = v[size_t(i)] * cs + cross[i] * sn + k[i] * dot * (1 - cs);
    return out;
}

void expect_shown(const Camera& c, std::array<double, 3> model, std::array<double, 3> eye) {
    const std::array<double, 3> s = shown(c, model);
    for (size_t i = 0; i < 3; ++i) EXPECT_NEAR(s[i], eye[i], 1e-4) << "axis " << i;
}

}  // namespace

// Eye x right, y up, z towards the viewer.
TEST(Camera, StandardViewsAndKeyTurns) {
    Camera c;
    c.orientation = standard_view(StandardView::front);
    expect_shown(c, {0, 0, 1}, {0, 1, 0});   // +z up the screen
    expect_shown(c, {0, 1, 0}, {0, 0, -1});  // +y into it
    expect_shown(c, {1, 0, 0}, {1, 0, 0});
    const quaternion start = c.orientation;
    c.orientation = standard_view(StandardView::start);
    expect_shown(c, {0, 0, 1}, {0, 1, 0});  // the start is a front view
    EXPECT_EQ(c.orientation.w, Camera().orientation.w);
    EXPECT_NE(c.orientation.w, start.w);  // ... 0.00036 degrees off it

    c.orientation = standard_view(StandardView::top);
    expect_shown(c, {0, 1, 0}, {0, 1, 0});
    expect_shown(c, {0, 0, 1}, {0, 0, 1});
    c.orientation = standard_view(StandardView::right);
    expect_shown(c, {1, 0, 0}, {0, 0, 1});
    expect_shown(c, {0, 0, 1}, {0, 1, 0});
    expect_shown(c, {0, 1, 0}, {1, 0, 0});

    // From the top: the front turns right, then up.
    c.orientation = standard_view(StandardView::top);
    c.turn(90, 0);
    expect_shown(c, {0, 0, 1}, {1, 0, 0});
    c.orientation = standard_view(StandardView::top);
    c.turn(0, 90);
    expect_shown(c, {0, 0, 1}, {0, 1, 0});
    c.turn(0, -90);
    c.turn(-45, 0);
    c.turn(45, 0);
    expect_shown(c, {0, 0, 1}, {0, 0, 1});
}

TEST(Camera, WheelKeepsThePointUnderTheMouse) {
    const int w = 400, h = 300;
    double P[16];
    perspective(P, double(w) / h);
    const double tan_half = std::tan(55.0 * M_PI / 360.0);
    for (const auto& [x, y, delta] :
         {std::tuple{50, 40, 120}, {390, 290, -360}, {200, 150, 240}, {10, 250, 120}}) {
        Camera c;
        c.pan_x = 0.3f;
        c.pan_y = -0.2f;
        c.zoom = 1.5f;
        float t[3];
        c.translation(t);
        // The model point on the origin's plane that the mouse is over.
        const double d = -t[2];
        const double q[3] = {(2.0 * x / w - 1) * tan_half * w / h * d, (1 - 2.0 * y / h) * tan_half * d, -d};
        const double m[3] = {q[0] - t[0], q[1] - t[1], q[2] - t[2]};
        c.wheel_at(delta, float(x), float(y), w, h, 55.0);
        EXPECT_NE(c.zoom, 1.5f);
        c.translation(t);
        const float moved[3] = {float(m[0] + t[0]), float(m[1] + t[1]), float(m[2] + t[2])};
        const WindowPoint at = project_to_window(P, w, h, moved);
        EXPECT_NEAR(at.x, x, 0.01) << x << "," << y;
        EXPECT_NEAR(at.y, y, 0.01) << x << "," << y;
    }
}

// The grid reaches past the turtle's footprint in nice steps, and the
// marker runs from the turtle along its heading, a fair part of the model.
TEST(ViewAids, GridAndMarkerFitTheModel) {
    for (float far : {0.0f, 0.3f, 7.0f, 260.0f, 1e5f}) {
        turtle t;
        t.state.position[0] = -far;
        t.state.position[1] = far / 3;
        t.record_position();
        t.state.position[1] = 2 * far;
        t.state.position[2] = far;
        t.record_position();
        const GroundGrid g = ground_grid(t);
        EXPECT_GE(g.half_width(), 2 * far) << far;
        EXPECT_LE(g.half_width(), 2 * far * 1.25f * 1.5f + 1.5f) << far;
        EXPECT_LE(g.half_lines, 6);
        const float mantissa = g.step / std::pow(10.0f, std::floor(std::log10(g.step) + 1e-4f));
        EXPECT_TRUE(std::fabs(mantissa - 1) < 1e-3 || std::fabs(mantissa - 2) < 1e-3 ||
                    std::fabs(mantissa - 5) < 1e-3)
            << g.step;

        t.state.size = 0.1f;
        t.state.heading[0] = 0, t.state.heading[1] = 0, t.state.heading[2] = 2;  // not unit
        const float r = t.bounds_radius();
        const TurtleMarker m = turtle_marker(t.state, r);
        const float len = m.tip[2] - m.base[2];
        EXPECT_EQ(m.base[1], 2 * far);
        EXPECT_EQ(m.tip[0], m.base[0]);
        if (r > 0) {
            EXPECT_GE(len, 0.1f * r);
            EXPECT_LE(len, 0.4f * r);
        } else {
            EXPECT_GT(len, 0);
        }
    }
}
