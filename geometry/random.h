// The process-wide pseudo-random sequence: a linear congruential generator
// modulo 2^32, started at 0 and never reseeded, shared by every caller.
#pragma once

#include <cstdint>

namespace dozu {

uint32_t random_uint32();
float random_symmetric();  // in [-1, 1), from the low 23 bits of one random_uint32

// The generator's state, for tests and for the batch tool.
uint32_t random_state();
void set_random_state(uint32_t state);

}  // namespace dozu
