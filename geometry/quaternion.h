// Quaternions (w, x, y, z) and the cross product, which turn the turtle and
// the camera.
#pragma once

namespace dozu {

struct quaternion {
    float w, x, y, z;
};

// Hamilton product a·b: w = a.w·b.w - a.v·b.v, v = a.v × b.v + a.w·b.v + b.w·a.v.
quaternion quaternion_product(const quaternion& a, const quaternion& b);

void vec3_cross(float out[3], const float a[3], const float b[3]);

}  // namespace dozu
