// PNG encoding with libpng's simplified writer, which reports failures by
// its return value: no setjmp or longjmp crosses our code.
#include "cli/png_writer.h"

#include <png.h>

#include <cstring>
#include <memory>
#include <string>

namespace dozu {

std::vector<uint8_t> encode_png(const std::vector<uint8_t>& rgb, int width, int height) {
    if (width <= 0 || height <= 0 || rgb.size() != size_t(width) * size_t(height) * 3)
        throw std::runtime_error("PNG encoder: " + std::to_string(rgb.size()) + " bytes are no " +
                                 std::to_string(width) + " x " + std::to_string(height) + " RGB picture");
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGB;
    // The largest PNG that libpng can make of this picture, so that one pass
    // of compression is enough.
    png_alloc_size_t size = PNG_IMAGE_PNG_SIZE_MAX(image);
    const std::unique_ptr<uint8_t[]> buffer(new uint8_t[size]);
    if (!png_image_write_to_memory(&image, buffer.get(), &size, 0, rgb.data(), 0, nullptr)) {
        const std::string message = image.message;
        png_image_free(&image);
        throw std::runtime_error("PNG encoder: " + message);
    }
    return std::vector<uint8_t>(buffer.get(), buffer.get() + size);
}

}  // namespace dozu
