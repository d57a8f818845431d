// In-place operations on 3-vectors: three consecutive floats anywhere in memory,
// including the normal and position fields inside a mesh's vertex records.
#pragma once

namespace dozu {

// pi as the nearest single-precision value; the turtle's angles are
// multiples of it, and its exact value is part of every model's floats.
constexpr float kPi = 3.14159274f;

void vec3_add(float* target, const float* source);
void vec3_copy(float* target, const float* source);
void vec3_scale(float* target, float s);

}  // namespace dozu
