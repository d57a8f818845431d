// PNG encoding in memory of 8-bit RGB pictures, with libpng.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace dozu {

// rgb holds width x height pixels of 3 bytes, rows from top to bottom
// without padding. Throws std::runtime_error when libpng refuses.
std::vector<uint8_t> encode_png(const std::vector<uint8_t>& rgb, int width, int height);

}  // namespace dozu
