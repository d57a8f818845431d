// The window-system binding of OpenGL under the GL layer, on X11 with GLX.
//
// A device context (TSglDC) is a canvas on a toolkit window: the X display,
// that window (the host), and once a pixel format is set, a GL window of the
// format's visual that fills the host. Pixel formats are the framebuffer
// configs that have an X visual and can draw to a window, numbered from 1 in
// the driver's order. A format can be set once per canvas; a new canvas gets
// a new GL window. Every call runs under an X error trap, and last_error()
// tells the first X error of the last failing call.
//
// Only the implementation file sees the X11 and GLX headers.
#pragma once

#include <string>

#include "glpanel/scrgl_pixel_format.h"

namespace dozu {

struct TSglContext;
using TSglRC = TSglContext*;

namespace glplatform {

// A canvas on the window `window` of the X display `display` (an Xlib
// Display*), the given size in pixels. Null when either is missing.
TSglDC open_canvas(void* display, unsigned long window, int width, int height);
// A canvas on a new, tiny top-level window that does not take the focus, on
// a display connection of its own (the one the environment names).
TSglDC open_popup_canvas(const char* class_name, const char* title);
// Destroys the GL window and, for a pop-up canvas, its window and display.
void close_canvas(TSglDC dc);
void resize_canvas(TSglDC dc, int width, int height);
// The GL window, 0 until a format is set.
unsigned long canvas_gl_window(TSglDC dc);
// Whether an event of the display's connection (an xcb_generic_event_t)
// tells that part of the canvas's GL window was exposed.
bool canvas_exposed(TSglDC dc, const void* xcb_event);
// A connection to an X display (the environment's for null), held while it
// lives. A server that resets when its last client leaves, as Xvfb does by
// default, would otherwise be between resets when the next client connects.
class DisplayHold {
public:
    explicit DisplayHold(const char* name);
    ~DisplayHold();
    DisplayHold(const DisplayHold&) = delete;
    DisplayHold& operator=(const DisplayHold&) = delete;
    bool answered() const { return display_ != nullptr; }

private:
    void* display_;
};

// `library` is where the GLX functions are taken from.
// Returns the number of formats (0 on failure); fills `pfd` when `format`
// is one of them.
int describe_format(TSglDC dc, void* library, int format, TSglPixelFormatDescriptor* pfd);
// The first format the driver matches to the descriptor's request, or 0.
int choose_format(TSglDC dc, void* library, const TSglPixelFormatDescriptor& wanted);
// Creates the canvas's GL window with the format's visual. Fails when a
// format was set already or the number is not a format.
bool set_format(TSglDC dc, void* library, int format);

// The driver's own entry points (glXCreateNewContext, glXDestroyContext,
// glXMakeCurrent, glXSwapBuffers) are passed in.
TSglRC create_context(TSglDC dc, void* create_new_context);
bool delete_context(TSglRC rc, void* destroy_context);
// A null context releases the current one.
bool make_current(TSglDC dc, TSglRC rc, void* make_current);
bool swap_buffers(TSglDC dc, void* swap_buffers);

std::string last_error();

}  // namespace glplatform
}  // namespace dozu
