// In-place operations on 3-vectors: three consecutive floats anywhere in memory,
// including the normal and position fields inside a mesh's vertex records.
#pragma once

namespace dozu {

void vec3_add(float* target, const float* source);
void vec3_copy(float* target, const float* source);
void vec3_scale(float* target, float s);

}  // namespace dozu
