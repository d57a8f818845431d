#include "geometry/quaternion.h"

namespace dozu {

quaternion quaternion_product(const quaternion& a, const quaternion& b) {
    quaternion r;
    r.w = a.w * b.w - (a.x * b.x + a.y * b.y + a.z * b.z);
    r.x = (a.y * b.z - a.z * b.y) + a.w * b.x + b.w * a.x;
    r.y = (a.z * b.x - a.x * b.z) + a.w * b.y + b.w * a.y;
    r.z = (a.x * b.y - a.y * b.x) + a.w * b.z + b.w * a.z;
    return r;
}

void vec3_cross(float out[3], const float a[3], const float b[3]) {
    const float x = a[1] * b[2] - a[2] * b[1];
    const float y = a[2] * b[0] - a[0] * b[2];
    const float z = a[0] * b[1] - a[1] * b[0];
    out[0] = x;
    out[1] = y;
    out[2] = z;
}

}  // namespace dozu
