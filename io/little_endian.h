// Integers as little-endian bytes, the order of every binary field dozu
// writes (PLY, STL, GLB, ZIP).
#pragma once

#include <cstdint>

namespace dozu {

// Writes the n low bytes of v to p, lowest first.
inline void put_little_endian(char* p, uint64_t v, int n) {
    for (int i = 0; i < n; ++i) p[i] = char((v >> (8 * i)) & 0xFF);
}

}  // namespace dozu
