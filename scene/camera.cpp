#include "scene/camera.h"

#include <algorithm>
#include <cmath>

namespace dozu {

namespace {

constexpr float kPanPerPixel = 0.025f;
constexpr float kBallScale = 0.75f;
constexpr float kEyeDistance = 5.0f;
constexpr float kResetHalfAngle = 0.785395026f;
constexpr float kWheelStep = 0.9f;        // eye distance kept per notch up
constexpr float kMinEyeDistance = 0.25f;  // twice the near plane
constexpr double kFitMargin = 1.1;
constexpr double kNear = 0.125, kFar = 100.0;

// Angles of a ball position, when it lies inside the sphere.
bool ball_angles(float x, float y, float& ax, float& ay) {
    if (!(1 - y * y > 0) || !(1 - x * x > 0)) return false;
    const float s = x / std::sqrt(1 - y * y);
    const float t = y / std::sqrt(1 - x * x);
    if (!(std::fabs(s) < 1) || !(std::fabs(t) < 1)) return false;
    ax = std::asin(s);
    ay = std::asin(t);
    return true;
}

}  // namespace

void trackball_update(TrackballState& T, float bx, float by, float g, float d) {
    if (T.primed) {
        float du = 0, dv = 0, px, py, cx, cy;
        if (ball_angles(T.last_x, T.last_y, px, py) && ball_angles(bx, by, cx, cy)) {
            du = cy - py;
            dv = cx - px;
        }
        T.speed = (1 - g) * (1 - d) * T.speed;
        T.axis_x = T.speed * T.axis_x + g * du;
        T.axis_y = T.speed * T.axis_y + g * dv;
        T.speed = std::sqrt(T.axis_x * T.axis_x + T.axis_y * T.axis_y);
        if (T.speed != 0) {
            T.axis_x /= T.speed;
            T.axis_y /= T.speed;
        }
    }
    T.last_x = bx;
    T.last_y = by;
    T.primed = true;
}

WindowPoint project_to_window(const double P[16], int w, int h, const float p[3]) {
    double clip[4];
    for (int r = 0; r < 4; ++r) clip[r] = P[r] * p[0] + P[4 + r] * p[1] + P[8 + r] * p[2] + P[12 + r];
    const double nx = clip[0] / clip[3], ny = clip[1] / clip[3];
    return {float(w * (nx + 1) / 2), float(h * (1 - ny) / 2)};
}

void Camera::wheel(int delta) {
    const float distance = std::max(zoom + kEyeDistance, kMinEyeDistance);
    zoom = std::max(distance * std::pow(kWheelStep, float(delta) / 120.0f), kMinEyeDistance) - kEyeDistance;
}

void Camera::wheel_at(int delta, float x, float y, int w, int h, double fov_degrees) {
    const float before = std::max(zoom + kEyeDistance, kMinEyeDistance);
    wheel(delta);
    if (w <= 0 || h <= 0) return;
    const float after = zoom + kEyeDistance;
    // The eye-space point under the mouse on the plane of the model's
    // origin; scaling the model's translation about the eye by after /
    // before keeps it on the same ray.
    const double tan_half = std::tan(fov_degrees * M_PI / 360.0);
    const double qx = (2.0 * x / w - 1) * tan_half * (double(w) / h) * before;
    const double qy = (1 - 2.0 * y / h) * tan_half * before;
    const double k = double(after) / before - 1;
    pan_x = float(pan_x + qx * k);
    pan_y = float(pan_y - qy * k);
}

void Camera::turn(float right_degrees, float up_degrees) {
    // Rotations about the eye's y and x axes, applied after the
    // orientation, as the trackball's are.
    auto about = [](float degrees, float ax, float ay) {
        const double h = double(degrees) * M_PI / 360.0;
        const float s = float(std::sin(h));
        return quaternion{float(std::cos(h)), s * ax, s * ay, 0};
    };
    orientation = quaternion_product(about(right_degrees, 0, 1), orientation);
    orientation = quaternion_product(about(up_degrees, -1, 0), orientation);
}

quaternion standard_view(StandardView view) {
    const float r = float(std::sqrt(0.5));
    switch (view) {
        case StandardView::front: return {-r, r, 0, 0};
        case StandardView::top: return {1, 0, 0, 0};
        case StandardView::right: return {0.5f, -0.5f, -0.5f, -0.5f};
        case StandardView::start: break;
    }
    Camera c;
    return c.orientation;
}

void Camera::fit(const float center[3], float radius, double aspect, double fov_degrees) {
    const double half_height = fov_degrees * M_PI / 360.0;
    const double half_width = std::atan(std::tan(half_height) * (aspect > 0 ? aspect : 1.0));
    const double distance = kFitMargin * double(radius) / std::sin(std::min(half_height, half_width));
    pan_x = pan_y = 0;
    zoom = float(std::max(distance, double(kMinEyeDistance))) - kEyeDistance;
    for (int i = 0; i < 3; ++i) view_center[i] = center[i];
}

void Camera::mouse_down(uint8_t button, int x, int y) {
    drag_active = true;
    drag_button = button;
    drag_origin_x = x;
    drag_origin_y = y;
    drag_origin_pan_x = pan_x;
    drag_origin_pan_y = pan_y;
    drag_origin_zoom = zoom;
}

void Camera::mouse_up() { drag_active = false; }

void Camera::mouse_move(int x, int y) {
    if (drag_active && (drag_button == kButtonRight || drag_button == kButtonMiddle)) {
        pan_x = float(x - drag_origin_x) * kPanPerPixel + drag_origin_pan_x;
        if (drag_button == kButtonRight)
            pan_y = float(y - drag_origin_y) * kPanPerPixel + drag_origin_pan_y;
        else
            zoom = float(y - drag_origin_y) * kPanPerPixel + drag_origin_zoom;
    }
    const float k = kBallScale / screen_radius;
    ball_x = (screen_center_x - float(x)) * k;
    ball_y = (screen_center_y - float(y)) * k;
}

void Camera::reset() {
    const float h = kResetHalfAngle;
    orientation = {-float(std::cos(double(h))), float(std::sin(double(h))), 0, 0};
    pan_x = pan_y = zoom = 0;
}

void Camera::translation(float t[3]) const {
    t[0] = pan_x;
    t[1] = -pan_y;
    t[2] = -(zoom + kEyeDistance);
}

void Camera::measure(const double projection[16], int w, int h, float r) {
    if (w <= 0 || h <= 0) return;
    float t[3];
    translation(t);
    const WindowPoint c = project_to_window(projection, w, h, t);
    const float edge[3] = {t[0] + r, t[1], t[2]};
    const WindowPoint e = project_to_window(projection, w, h, edge);
    if (!std::isfinite(c.x) || !std::isfinite(c.y) || !std::isfinite(e.x)) return;
    screen_center_x = c.x;
    screen_center_y = c.y;
    screen_radius = std::fabs(e.x - c.x);
}

void Camera::trackball_frame() {
    const bool rotating = drag_active && drag_button == kButtonLeft;
    trackball_update(trackball, ball_x, ball_y, rotating ? 0.9f : 0.0f, rotating ? 0.1f : 0.2f);
    const float h = trackball.speed / 2;
    const float s = float(std::sin(double(h)));
    const quaternion q{-float(std::cos(double(h))), s * trackball.axis_x, s * trackball.axis_y, 0};
    orientation = quaternion_product(q, orientation);
}

Rotation Camera::orientation_rotation() const {
    const quaternion& o = orientation;
    if (o.x == 0 && o.y == 0 && o.z == 0) return {false, 0, {0, 0, 0}};
    // The orientation is never renormalised and may drift past |w| = 1.
    const float alpha = std::acos(std::clamp(o.w, -1.0f, 1.0f));
    const float s = std::sin(alpha);
    const float div = s != 0 ? s : 1.0f;  // the axis only needs a direction
    return {true, alpha * 114.59156f, {o.x / div, o.y / div, o.z / div}};
}

bool Camera::settled(const float m[3]) const {
    if (trackball.speed * std::max(screen_radius, 1.0f) >= 0.01f) return false;
    for (int i = 0; i < 3; ++i)
        if (std::fabs(view_center[i] - m[i]) > 1e-6f * (1 + std::fabs(m[i]))) return false;
    return true;
}

void Camera::settle(const float m[3]) {
    for (int i = 0; i < 3; ++i) view_center[i] = m[i];
    if (!(drag_active && drag_button == kButtonLeft)) trackball.speed = 0;
}

void Camera::recenter(const float m[3]) {
    for (int i = 0; i < 3; ++i) view_center[i] = (m[i] + view_center[i] + view_center[i] + view_center[i]) * 0.25f;
}

DepthRange depth_range(double centre_distance, double radius) {
    const double reach = centre_distance + radius;
    if (!(reach > kFar) || !std::isfinite(reach)) return {kNear, kFar};
    const double far_plane = reach * 1.01;
    // An eye inside the sphere can have the model anywhere in front of it.
    const double near_plane = std::max({kNear, (centre_distance - radius) / 2, far_plane * 1e-6});
    return {near_plane, far_plane};
}

}  // namespace dozu
