// An OpenGL context without a window or an X server, with a colour and depth
// buffer of a given size to draw into and read back. The EGL headers stay
// inside this unit.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

namespace dozu {

// The context could not be made or the drawing could not be read back; the
// message is one line that says what is wrong.
class GLError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class OffscreenGL {
public:
    // Creates a desktop OpenGL compatibility context with a width x height
    // framebuffer and makes it current; throws GLError.
    OffscreenGL(int width, int height);
    ~OffscreenGL();
    OffscreenGL(const OffscreenGL&) = delete;
    OffscreenGL& operator=(const OffscreenGL&) = delete;

    // Waits for the drawing and reads it back as 8-bit RGB, rows from top to
    // bottom; throws GLError when GL reported an error.
    std::vector<uint8_t> read_rgb() const;

private:
    struct Egl;
    std::unique_ptr<Egl> egl_;
    int width_, height_;
};

}  // namespace dozu
