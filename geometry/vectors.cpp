#include "geometry/vectors.h"

namespace dozu {

void vec3_add(float* target, const float* source) {
    for (int i = 0; i < 3; ++i) target[i] = target[i] + source[i];
}

void vec3_copy(float* target, const float* source) {
    for (int i = 0; i < 3; ++i) target[i] = source[i];
}

void vec3_scale(float* target, float s) {
    for (int i = 0; i < 3; ++i) target[i] = target[i] * s;
}

}  // namespace dozu
