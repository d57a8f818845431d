#include "scene/view_aids.h"

#include <algorithm>
#include <cmath>

#include "geometry/quaternion.h"
#include "turtle/turtle.h"

namespace dozu {

namespace {

constexpr float kMarkerCells = 2.5f;                     // the arrow's length in cell sizes
constexpr float kMarkerMin = 0.15f, kMarkerMax = 0.35f;  // of the model's radius
constexpr float kMarkerAlone = 0.5f;                     // without a model or a cell size
constexpr float kHeadLength = 0.35f, kHeadWidth = 0.18f, kFinLength = 0.4f;
constexpr float kGridMargin = 1.25f;
constexpr int kGridSteps = 5;  // about this many lines from the origin out

float length(const float v[3]) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

void unit(float v[3]) {
    const float l = length(v);
    if (l > 0 && std::isfinite(l))
        for (int i = 0; i < 3; ++i) v[i] /= l;
}

// The smallest of 1, 2 and 5 times a power of ten not below x (x > 0).
float nice_step(float x) {
    const float decade = std::pow(10.0f, std::floor(std::log10(x)));
    for (float m : {1.0f, 2.0f, 5.0f, 10.0f})
        if (m * decade >= x) return m * decade;
    return 10 * decade;
}

}  // namespace

TurtleMarker turtle_marker(const stack_frame& s, float model_radius) {
    float cell = kMarkerCells * std::max(std::fabs(s.size), std::fabs(s.radius));
    if (!std::isfinite(cell)) cell = 0;
    float len = cell > 0 ? cell : kMarkerAlone;
    if (model_radius > 0 && std::isfinite(model_radius))
        len = std::clamp(cell, kMarkerMin * model_radius, kMarkerMax * model_radius);

    float heading[3] = {s.heading[0], s.heading[1], s.heading[2]};
    float up[3] = {s.up[0], s.up[1], s.up[2]};
    unit(heading);
    unit(up);
    float side[3];
    vec3_cross(side, heading, up);

    TurtleMarker m;
    float neck[3];
    for (int i = 0; i < 3; ++i) {
        m.base[i] = s.position[i];
        m.tip[i] = s.position[i] + len * heading[i];
        neck[i] = m.tip[i] - kHeadLength * len * heading[i];
        m.fin[i] = s.position[i] + kFinLength * len * up[i];
    }
    const float w = kHeadWidth * len;
    for (int i = 0; i < 3; ++i) {
        m.head[0][i] = neck[i] + w * up[i];
        m.head[1][i] = neck[i] + w * side[i];
        m.head[2][i] = neck[i] - w * up[i];
        m.head[3][i] = neck[i] - w * side[i];
    }
    return m;
}

GroundGrid ground_grid(const turtle& t) {
    float reach = t.bounds_radius();
    if (t.bounds_valid)
        for (int i = 0; i < 2; ++i)
            reach = std::max({reach, std::fabs(t.bounds_min[i]), std::fabs(t.bounds_max[i])});
    if (!(reach > 0) || !std::isfinite(reach)) reach = 1;
    reach *= kGridMargin;
    const float step = nice_step(reach / kGridSteps);
    return {step, int(std::ceil(reach / step))};
}

}  // namespace dozu
