#include "turtle/turtle.h"

#include <bit>
#include <cfloat>
#include <cmath>

#include "geometry/quaternion.h"
#include "geometry/vectors.h"

namespace dozu {

namespace {

stack_frame start_frame() {
    stack_frame f{};
    f.heading[2] = 1.0f;
    f.up[0] = 1.0f;
    for (uint32_t i = 0; i < 4; ++i) f.base_ring[i] = i;
    f.top_ring_start = 4;
    return f;
}

// The vector part of q ⊗ (0, v) ⊗ q̄.
void rotate(float v[3], const quaternion& q, const quaternion& q_bar) {
    const quaternion p = quaternion_product(quaternion_product(q, {0.0f, v[0], v[1], v[2]}), q_bar);
    v[0] = p.x;
    v[1] = p.y;
    v[2] = p.z;
}

float length(const float v[3]) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

}  // namespace

turtle::turtle() : state{} {}

void turtle::init_stack_frame() {
    vertices.clear();
    indices.clear();
    stack.clear();
    state = start_frame();
    bounds_valid = false;
    for (int i = 0; i < 3; ++i) {
        bounds_min[i] = FLT_MAX;
        bounds_max[i] = -FLT_MAX;
    }
}

void turtle::face_corners(int n, uint32_t out[4]) const {
    const uint32_t t = state.top_ring_start;
    if (n == 4) {
        for (uint32_t i = 0; i < 4; ++i) out[i] = t + i;
        return;
    }
    const int k = state.base_offset;
    const int n1 = (n + 1) & 3;
    out[0] = state.base_ring[(n - k) & 3];
    out[1] = state.base_ring[(n1 - k) & 3];
    out[2] = t + uint32_t(n1);
    out[3] = t + uint32_t(n);
}

void turtle::emit_face(int n) {
    uint32_t c[4];
    face_corners(n, c);
    indices.insert(indices.end(), c, c + 4);
}

void turtle::close_cell() {
    for (int n = 4; n >= 0; --n)
        if (!(state.face_flags & (1u << n))) emit_face(n);
    state.face_flags = 0;
}

void turtle::push() {
    stack.push_back(state);
    state.face_flags |= kFacePushed;
}

void turtle::pop() {
    if (stack.empty()) return;
    const uint32_t n = state.next_vertex;
    close_cell();
    state = stack.back();
    stack.pop_back();
    state.next_vertex = n;
}

void turtle::record_position() {
    bounds_valid = true;
    for (int i = 0; i < 3; ++i) {
        const float p = state.position[i];
        if (p > bounds_max[i]) bounds_max[i] = p;
        if (p < bounds_min[i]) bounds_min[i] = p;
    }
}

void turtle::bounds_center(float out[3]) const {
    for (int i = 0; i < 3; ++i) out[i] = bounds_valid ? (bounds_min[i] + bounds_max[i]) * 0.5f : 0.0f;
}

float turtle::bounds_radius() const {
    if (!bounds_valid) return 0.0f;
    float m[3], a[3], b[3];
    bounds_center(m);
    for (int i = 0; i < 3; ++i) {
        a[i] = bounds_max[i] - m[i];
        b[i] = m[i] - bounds_min[i];
    }
    const float la = length(a), lb = length(b);
    return lb >= la ? lb : la;
}

void turtle::add_radius(float v) { state.radius = state.radius + v; }
void turtle::add_size(float v) { state.size = state.size + v; }
void turtle::add_angle(float v) { state.angle = state.angle + v; }
void turtle::wind(int8_t d) { state.wind = uint8_t(state.wind + d); }

void turtle::step() {
    stack_frame& s = state;
    float d[3];
    for (int i = 0; i < 3; ++i) {
        d[i] = s.size * s.heading[i];
        s.position[i] = s.position[i] + d[i];
    }
    record_position();

    float m[3], side[3], a[3], b[3];
    for (int i = 0; i < 3; ++i) m[i] = s.position[i] + 0.5f * d[i];
    vec3_cross(side, s.heading, s.up);
    for (int i = 0; i < 3; ++i) {
        a[i] = s.up[i] + side[i];
        b[i] = s.up[i] - side[i];
    }
    const float r = s.radius;
    vertex ring[4];
    for (int i = 0; i < 3; ++i) {
        ring[0].normal[i] = a[i];
        ring[0].position[i] = m[i] + r * a[i];
        ring[1].normal[i] = b[i];
        ring[1].position[i] = m[i] + r * b[i];
        ring[2].normal[i] = -a[i];
        ring[2].position[i] = m[i] - r * a[i];
        ring[3].normal[i] = -b[i];
        ring[3].position[i] = m[i] - r * b[i];
    }
    vertices.insert(vertices.end(), ring, ring + 4);
    s.next_vertex += 4;
}

void turtle::first() {
    step();
    step();
}

uint32_t turtle::open_faces(uint16_t face_flags) { return 5 - uint32_t(std::popcount(face_flags & 0x1Fu)); }

turtle::Turn turtle::pending_turn() const {
    unsigned k = state.wind;
    float theta = state.angle;
    if (!(theta >= 0.0f)) {
        theta = -theta;
        k += 2;
    }
    k &= 3;
    const float quarter_pi = kPi * 0.25f;
    return {k, theta, quarter_pi >= theta ? 4 : int(k)};
}

// Bit 5 is only ever set with a saved state on the stack; without one the
// cell is closed now.
bool turtle::go_closes_cell() const { return (state.face_flags & ~0x1Fu) == 0 || stack.empty(); }

uint32_t turtle::quads_of_go() const {
    return go_closes_cell() ? open_faces(uint16_t(state.face_flags | (1u << pending_turn().exit))) : 0;
}

void turtle::go() {
    stack_frame& s = state;
    const auto [k, theta, e] = pending_turn();
    s.angle = 0.0f;

    if (go_closes_cell()) {
        s.face_flags |= uint16_t(1u << e);
        close_cell();
    } else {
        stack.back().face_flags |= uint16_t(1u << e);
        s.face_flags = 0;
    }
    uint32_t exit_face[4];
    face_corners(e, exit_face);
    for (int i = 0; i < 4; ++i) s.base_ring[i] = exit_face[i];
    s.base_offset = uint8_t(e & 3);
    s.top_ring_start = s.next_vertex;

    float side[3], axis[3];
    vec3_cross(side, s.heading, s.up);
    for (int i = 0; i < 3; ++i) {
        switch (k) {
            case 0: axis[i] = -side[i]; break;
            case 1: axis[i] = -s.up[i]; break;
            case 2: axis[i] = side[i]; break;
            default: axis[i] = s.up[i]; break;
        }
    }
    // Rounding leaves side a little off unit length; an axis that is not
    // unit scales both vectors with every turn, and the error compounds
    // until a model of a few dozen turns collapses or overflows. The unit
    // axis keeps the lengths.
    const float axis_length = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
    if (axis_length > 0)
        for (float& x : axis) x /= axis_length;
    const float h = theta * 0.5f;
    const float c = float(std::cos(double(h)));
    const float sn = float(std::sin(double(h)));
    const quaternion q{-c, sn * axis[0], sn * axis[1], sn * axis[2]};
    const quaternion q_bar{-c, -sn * axis[0], -sn * axis[1], -sn * axis[2]};
    rotate(s.heading, q, q_bar);
    rotate(s.up, q, q_bar);
    step();
}

void turtle::bot() {
    const uint32_t t = state.top_ring_start;
    indices.insert(indices.end(), {t - 1, t - 2, t - 3, t - 4});
}

void turtle::fix() { close_cell(); }

}  // namespace dozu
