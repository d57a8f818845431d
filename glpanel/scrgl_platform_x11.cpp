// X11 and GLX behind the window-system layer of the GL panel.
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <xcb/xproto.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "glpanel/scrgl_platform.h"
#include "glpanel/scrgl_system.h"

namespace dozu {

struct TSglCanvas {
    Display* display = nullptr;
    int screen = 0;
    Window host = 0;
    bool owns_display = false;  // a pop-up canvas: host and display are its own
    int width = 1;
    int height = 1;

    // The formats, read from `formats_library` once.
    void* formats_library = nullptr;
    std::vector<GLXFBConfig> configs;
    std::vector<TSglPixelFormatDescriptor> descriptors;

    int format = 0;
    GLXFBConfig config = nullptr;
    Window gl_window = 0;
    Colormap colormap = 0;
};

struct TSglContext {
    Display* display = nullptr;
    GLXContext context = nullptr;
};

namespace glplatform {

namespace {

using GetFBConfigsFn = GLXFBConfig* (*)(Display*, int, int*);
using GetFBConfigAttribFn = int (*)(Display*, GLXFBConfig, int, int*);
using GetVisualFromFBConfigFn = XVisualInfo* (*)(Display*, GLXFBConfig);
using ChooseFBConfigFn = GLXFBConfig* (*)(Display*, int, const int*, int*);
using QueryExtensionsStringFn = const char* (*)(Display*, int);
using GetProcAddressFn = void* (*)(const GLubyte*);
using QueryRendererIntegerFn = Bool (*)(Display*, int, int, int, unsigned*);
using QueryRendererStringFn = const char* (*)(Display*, int, int, int);
using CreateNewContextFn = GLXContext (*)(Display*, GLXFBConfig, int, GLXContext, Bool);
using DestroyContextFn = void (*)(Display*, GLXContext);
using MakeCurrentFn = Bool (*)(Display*, GLXDrawable, GLXContext);
using SwapBuffersFn = void (*)(Display*, GLXDrawable);

// GLX_MESA_query_renderer
constexpr int kRendererDeviceId = 0x8184;
constexpr int kRendererAccelerated = 0x8186;

std::string g_last_error;
std::string g_trapped;
Display* g_current_display = nullptr;

template <typename Fn>
Fn symbol(void* library, const char* name) {
    return reinterpret_cast<Fn>(glsystem::find_symbol(library, name));
}

template <typename Fn>
Fn entry(void* pointer) {
    return reinterpret_cast<Fn>(pointer);
}

bool fail(const std::string& why) {
    g_last_error = why;
    return false;
}

int trap_handler(Display* display, XErrorEvent* event) {
    if (g_trapped.empty()) {
        char text[256] = {};
        XGetErrorText(display, event->error_code, text, sizeof text);
        g_trapped = std::string(text) + " (X request " + std::to_string(event->request_code) + "." +
                    std::to_string(event->minor_code) + ")";
    }
    return 0;
}

// Catches the X errors of the requests made while it lives. Toolkits
// install handlers that swallow errors, and Xlib's default one exits.
class ErrorTrap {
public:
    explicit ErrorTrap(Display* display) : display_(display) {
        XSync(display_, False);
        g_trapped.clear();
        previous_ = XSetErrorHandler(trap_handler);
    }
    ~ErrorTrap() { XSetErrorHandler(previous_); }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    // Waits until the server has answered everything sent so far.
    bool ok() {
        XSync(display_, False);
        if (g_trapped.empty()) return true;
        g_last_error = g_trapped;
        return false;
    }

private:
    Display* display_;
    XErrorHandler previous_ = nullptr;
};

bool names_software_renderer(const char* device) {
    if (!device) return false;
    for (const char* name : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"})
        if (std::strstr(device, name)) return true;
    return false;
}

// Whether the screen's renderer is a software one (the "generic" renderer).
bool software_renderer(Display* display, int screen, void* library) {
    const auto extensions = symbol<QueryExtensionsStringFn>(library, "glXQueryExtensionsString");
    auto proc = symbol<GetProcAddressFn>(library, "glXGetProcAddressARB");
    if (!proc) proc = symbol<GetProcAddressFn>(library, "glXGetProcAddress");
    if (!extensions || !proc) return false;
    const char* names = extensions(display, screen);
    if (!names || !std::strstr(names, "GLX_MESA_query_renderer")) return false;

    const auto integer = reinterpret_cast<QueryRendererIntegerFn>(
        proc(reinterpret_cast<const GLubyte*>("glXQueryRendererIntegerMESA")));
    unsigned accelerated = 2;
    if (integer && integer(display, screen, 0, kRendererAccelerated, &accelerated) && accelerated <= 1)
        return accelerated == 0;
    const auto string = reinterpret_cast<QueryRendererStringFn>(
        proc(reinterpret_cast<const GLubyte*>("glXQueryRendererStringMESA")));
    return string && names_software_renderer(string(display, screen, 0, kRendererDeviceId));
}

int attribute(GetFBConfigAttribFn get, Display* display, GLXFBConfig config, int name) {
    int value = 0;
    if (get(display, config, name, &value) != Success) return 0;
    return value;
}

bool enumerate_formats(TSglCanvas& dc, void* library) {
    if (dc.formats_library == library && !dc.configs.empty()) return true;
    const auto get_configs = symbol<GetFBConfigsFn>(library, "glXGetFBConfigs");
    const auto get_attribute = symbol<GetFBConfigAttribFn>(library, "glXGetFBConfigAttrib");
    if (!get_configs || !get_attribute) return fail("the GL library cannot list framebuffer configs");

    dc.configs.clear();
    dc.descriptors.clear();
    ErrorTrap trap(dc.display);
    int count = 0;
    GLXFBConfig* all = get_configs(dc.display, dc.screen, &count);
    const bool generic = all && software_renderer(dc.display, dc.screen, library);
    for (int i = 0; all && i < count; ++i) {
        const GLXFBConfig config = all[i];
        const int drawable = attribute(get_attribute, dc.display, config, GLX_DRAWABLE_TYPE);
        if (!attribute(get_attribute, dc.display, config, GLX_VISUAL_ID) || !(drawable & GLX_WINDOW_BIT)) continue;
        TSglPixelFormatDescriptor pfd;
        pfd.supportOpenGL = true;
        pfd.drawToWindow = true;
        pfd.drawToBitmap = (drawable & GLX_PIXMAP_BIT) != 0;
        pfd.doubleBuffer = attribute(get_attribute, dc.display, config, GLX_DOUBLEBUFFER) != 0;
        pfd.rgba = (attribute(get_attribute, dc.display, config, GLX_RENDER_TYPE) & GLX_RGBA_BIT) != 0;
        pfd.generic = generic;
        pfd.colorBits = attribute(get_attribute, dc.display, config, GLX_BUFFER_SIZE);
        pfd.depthBits = attribute(get_attribute, dc.display, config, GLX_DEPTH_SIZE);
        dc.configs.push_back(config);
        dc.descriptors.push_back(pfd);
    }
    if (all) XFree(all);
    if (!trap.ok()) return false;
    if (dc.configs.empty()) return fail("the display offers no framebuffer config for windows");
    dc.formats_library = library;
    return true;
}

void destroy_gl_window(TSglCanvas& dc) {
    ErrorTrap trap(dc.display);
    if (dc.gl_window) XDestroyWindow(dc.display, dc.gl_window);
    if (dc.colormap) XFreeColormap(dc.display, dc.colormap);
    // The window may be gone with its host already; nothing is left to do.
    trap.ok();
    dc.gl_window = 0;
    dc.colormap = 0;
}

}  // namespace

TSglDC open_canvas(void* display, unsigned long window, int width, int height) {
    if (!display || !window) {
        fail("no X display or window");
        return nullptr;
    }
    auto* dc = new TSglCanvas;
    dc->display = static_cast<Display*>(display);
    dc->host = window;
    dc->width = std::max(1, width);
    dc->height = std::max(1, height);
    XWindowAttributes attributes{};
    {
        ErrorTrap trap(dc->display);
        if (XGetWindowAttributes(dc->display, window, &attributes) && trap.ok())
            dc->screen = XScreenNumberOfScreen(attributes.screen);
        else
            dc->screen = DefaultScreen(dc->display);
    }
    return dc;
}

TSglDC open_popup_canvas(const char* class_name, const char* title) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        fail("cannot open the X display");
        return nullptr;
    }
    auto* dc = new TSglCanvas;
    dc->display = display;
    dc->owns_display = true;
    dc->screen = DefaultScreen(display);
    ErrorTrap trap(display);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;  // stays on top and never takes the focus
    // X has no windows of size 0.
    dc->host = XCreateWindow(display, RootWindow(display, dc->screen), 0, 0, 1, 1, 0, CopyFromParent, InputOutput,
                             nullptr, CWOverrideRedirect, &attributes);
    XStoreName(display, dc->host, title);
    XClassHint hint{const_cast<char*>(class_name), const_cast<char*>(class_name)};
    XSetClassHint(display, dc->host, &hint);
    XMapWindow(display, dc->host);
    if (!trap.ok()) {
        close_canvas(dc);
        return nullptr;
    }
    return dc;
}

void close_canvas(TSglDC dc) {
    if (!dc) return;
    destroy_gl_window(*dc);
    if (dc->owns_display) {
        {
            ErrorTrap trap(dc->display);
            if (dc->host) XDestroyWindow(dc->display, dc->host);
            trap.ok();
        }
        if (g_current_display == dc->display) g_current_display = nullptr;
        XCloseDisplay(dc->display);
    }
    delete dc;
}

void resize_canvas(TSglDC dc, int width, int height) {
    if (!dc) return;
    dc->width = std::max(1, width);
    dc->height = std::max(1, height);
    if (!dc->gl_window) return;
    ErrorTrap trap(dc->display);
    XResizeWindow(dc->display, dc->gl_window, unsigned(dc->width), unsigned(dc->height));
    trap.ok();
}

unsigned long canvas_gl_window(TSglDC dc) { return dc ? dc->gl_window : 0; }

bool canvas_exposed(TSglDC dc, const void* xcb_event) {
    if (!dc || !dc->gl_window || !xcb_event) return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(xcb_event);
    if ((event->response_type & 0x7F) != XCB_EXPOSE) return false;
    return static_cast<const xcb_expose_event_t*>(xcb_event)->window == dc->gl_window;
}

DisplayHold::DisplayHold(const char* name) : display_(XOpenDisplay(name)) {}

DisplayHold::~DisplayHold() {
    if (display_) XCloseDisplay(static_cast<Display*>(display_));
}

int describe_format(TSglDC dc, void* library, int format, TSglPixelFormatDescriptor* pfd) {
    if (!dc || !enumerate_formats(*dc, library)) return 0;
    const int count = int(dc->descriptors.size());
    if (pfd && format >= 1 && format <= count) *pfd = dc->descriptors[size_t(format) - 1];
    return count;
}

int choose_format(TSglDC dc, void* library, const TSglPixelFormatDescriptor& wanted) {
    if (!dc || !enumerate_formats(*dc, library)) return 0;
    const auto choose = symbol<ChooseFBConfigFn>(library, "glXChooseFBConfig");
    if (!choose) return fail("the GL library cannot choose framebuffer configs");
    const int request[] = {GLX_DRAWABLE_TYPE,
                           wanted.drawToBitmap ? GLX_WINDOW_BIT | GLX_PIXMAP_BIT : GLX_WINDOW_BIT,
                           GLX_RENDER_TYPE,
                           wanted.rgba ? GLX_RGBA_BIT : GLX_COLOR_INDEX_BIT,
                           GLX_DOUBLEBUFFER,
                           wanted.doubleBuffer ? True : False,
                           GLX_BUFFER_SIZE,
                           wanted.colorBits,
                           GLX_DEPTH_SIZE,
                           wanted.depthBits,
                           None};
    ErrorTrap trap(dc->display);
    int count = 0;
    GLXFBConfig* matches = choose(dc->display, dc->screen, request, &count);
    int number = 0;
    for (int i = 0; matches && i < count && number == 0; ++i) {
        const auto at = std::find(dc->configs.begin(), dc->configs.end(), matches[i]);
        if (at != dc->configs.end()) number = int(at - dc->configs.begin()) + 1;
    }
    if (matches) XFree(matches);
    if (!trap.ok()) return 0;
    return number;
}

bool set_format(TSglDC dc, void* library, int format) {
    if (!dc) return fail("no device context");
    if (dc->format) return fail("a pixel format is set on this window already");
    if (!enumerate_formats(*dc, library)) return false;
    if (format < 1 || format > int(dc->configs.size()))
        return fail("there is no pixel format " + std::to_string(format));
    const auto get_visual = symbol<GetVisualFromFBConfigFn>(library, "glXGetVisualFromFBConfig");
    if (!get_visual) return fail("the GL library cannot tell the visual of a framebuffer config");

    const GLXFBConfig config = dc->configs[size_t(format) - 1];
    ErrorTrap trap(dc->display);
    XVisualInfo* visual = get_visual(dc->display, config);
    if (!visual) return fail("pixel format " + std::to_string(format) + " has no X visual");
    // The GL window gets the format's own visual: a GL surface of another
    // visual than its window's cannot be shown.
    dc->colormap = XCreateColormap(dc->display, dc->host, visual->visual, AllocNone);
    XSetWindowAttributes attributes{};
    attributes.colormap = dc->colormap;
    attributes.border_pixel = 0;
    attributes.background_pixmap = None;
    // Exposures only, so that the owner can repaint what other windows hid.
    attributes.event_mask = ExposureMask;
    dc->gl_window = XCreateWindow(dc->display, dc->host, 0, 0, unsigned(dc->width), unsigned(dc->height), 0,
                                  visual->depth, InputOutput, visual->visual,
                                  CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask, &attributes);
    XFree(visual);
    char owndc[] = "Owndc";
    XClassHint window_class{owndc, owndc};
    XSetClassHint(dc->display, dc->gl_window, &window_class);
    // No input is selected on the GL window: mouse events go on to the host.
    XMapWindow(dc->display, dc->gl_window);
    if (!trap.ok()) {
        const std::string error = g_last_error;
        destroy_gl_window(*dc);
        return fail(error);
    }
    dc->format = format;
    dc->config = config;
    return true;
}

TSglRC create_context(TSglDC dc, void* create_new_context) {
    const auto create = entry<CreateNewContextFn>(create_new_context);
    if (!dc || !dc->config || !create) {
        fail(!create ? "the driver cannot create contexts" : "no pixel format is set");
        return nullptr;
    }
    ErrorTrap trap(dc->display);
    const GLXContext context = create(dc->display, dc->config, GLX_RGBA_TYPE, nullptr, True);
    const bool clean = trap.ok();
    if (!context) {
        if (clean) fail("the driver created no context");
        return nullptr;
    }
    return new TSglContext{dc->display, context};
}

bool delete_context(TSglRC rc, void* destroy_context) {
    const auto destroy = entry<DestroyContextFn>(destroy_context);
    if (!rc) return fail("no context");
    if (!destroy) {
        delete rc;
        return fail("the driver cannot delete contexts");
    }
    ErrorTrap trap(rc->display);
    destroy(rc->display, rc->context);
    const bool ok = trap.ok();
    delete rc;
    return ok;
}

bool make_current(TSglDC dc, TSglRC rc, void* make_current) {
    const auto make = entry<MakeCurrentFn>(make_current);
    if (!make) return fail("the driver cannot make contexts current");
    Display* display = rc ? rc->display : dc ? dc->display : g_current_display;
    if (!display) return true;  // nothing is current, so nothing is to release
    if (rc && !(dc && dc->gl_window)) return fail("the window has no pixel format");
    ErrorTrap trap(display);
    const Bool made = make(display, rc ? dc->gl_window : None, rc ? rc->context : nullptr);
    if (!trap.ok()) return false;
    if (!made) return fail("glXMakeCurrent failed");
    g_current_display = rc ? display : nullptr;
    return true;
}

bool swap_buffers(TSglDC dc, void* swap_buffers) {
    const auto swap = entry<SwapBuffersFn>(swap_buffers);
    if (!swap) return fail("the driver cannot swap buffers");
    if (!dc || !dc->gl_window) return fail("the window has no pixel format");
    // No trap here: its two round trips to the server on every frame cost
    // more than a frame's drawing of a small model. Errors are trapped
    // around the set-up, where they can happen.
    swap(dc->display, dc->gl_window);
    return true;
}

std::string last_error() { return g_last_error; }

}  // namespace glplatform
}  // namespace dozu
