#include "geometry/random.h"

#include <bit>

namespace dozu {

namespace {
uint32_t g_state = 0;
}

uint32_t random_uint32() {
    g_state = g_state * 1664525u + 1u;
    return g_state;
}

float random_symmetric() {
    const uint32_t r = random_uint32();
    // Exponent of 2.0 with the low 23 bits as mantissa: a float in [2, 4).
    const float two_to_four = std::bit_cast<float>((r & 0x7FFFFFu) | 0x40000000u);
    return two_to_four - 3.0f;
}

uint32_t random_state() { return g_state; }
void set_random_state(uint32_t state) { g_state = state; }

}  // namespace dozu
