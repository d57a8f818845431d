#include "glpanel/scrgl_window_system.h"

#include <cctype>

#include "glpanel/scrgl_gl.h"
#include "glpanel/scrgl_loader.h"
#include "glpanel/scrgl_log.h"
#include "glpanel/scrgl_system.h"

namespace dozu {

namespace {

struct Vendor {
    bool known = false;
    bool queried = false;
    std::string vendor;
    std::string renderer;
    std::string version;
};

Vendor& vendor() {
    static Vendor v;
    return v;
}

TSglRC g_current = nullptr;

// The driver when it has the entry, else the system's generic library.
void* library_with(int entry) { return sglEntryPointer(entry) ? sglLibraryHandle() : glsystem::generic_library(); }

std::string gl_string(GLenum name) {
    const GLubyte* text = sglGetString(name);
    return text ? reinterpret_cast<const char*>(text) : "";
}

bool is_generic_driver_name(const std::string& name) {
    std::string lower = name;
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    return lower == "opengl32.dll";
}

}  // namespace

int sglChoosePixelFormat(TSglDC dc, const TSglPixelFormatDescriptor& pfd) {
    return glplatform::choose_format(dc, library_with(sglEntry_wglChoosePixelFormat), pfd);
}

int sglDescribePixelFormat(TSglDC dc, int format, TSglPixelFormatDescriptor* pfd) {
    return glplatform::describe_format(dc, library_with(sglEntry_wglDescribePixelFormat), format, pfd);
}

bool sglSetPixelFormat(TSglDC dc, int format) {
    void* library = sglUses3dfxStyle() && sglEntryPointer(sglEntry_wglSetPixelFormat)
                        ? sglLibraryHandle()
                        : glsystem::generic_library();
    return glplatform::set_format(dc, library, format);
}

TSglRC sglCreateContext(TSglDC dc) {
    return glplatform::create_context(dc, sglEntryPointer(sglEntry_wglCreateContext));
}

bool sglDeleteContext(TSglRC rc) {
    if (rc && rc == g_current) g_current = nullptr;
    return glplatform::delete_context(rc, sglEntryPointer(sglEntry_wglDeleteContext));
}

bool sglMakeCurrent(TSglDC dc, TSglRC rc) {
    if (!glplatform::make_current(dc, rc, sglEntryPointer(sglEntry_wglMakeCurrent))) return false;
    g_current = rc;
    Vendor& v = vendor();
    if (rc && !v.queried && is_generic_driver_name(sglDriverName())) {
        sglLog(0,
               "sglMakeCurrent for the first time... taking the opportunity to get vendor "
               "information.");
        v.vendor = gl_string(GL_VENDOR);
        v.renderer = gl_string(GL_RENDERER);
        v.version = gl_string(GL_VERSION);
        v.known = true;
        v.queried = true;
    }
    return true;
}

bool sglSwapBuffers(TSglDC dc) {
    if (!sglUses3dfxStyle() &&
        glplatform::swap_buffers(dc, glsystem::find_symbol(glsystem::generic_library(), "glXSwapBuffers")))
        return true;
    if (sglLibraryHandle() && sglEntryPointer(sglEntry_wglSwapBuffers))
        return glplatform::swap_buffers(dc, sglEntryPointer(sglEntry_wglSwapBuffers));
    return false;
}

bool sglSwapLayerBuffers(TSglDC dc, unsigned) {
    // GLX has no layer planes: the main plane is swapped.
    return glplatform::swap_buffers(dc, sglEntryPointer(sglEntry_wglSwapLayerBuffers));
}

TSglRC sglCurrentContext() { return g_current; }

bool sglVendorKnown() { return vendor().known; }
bool sglVendorQueried() { return vendor().queried; }
const std::string& sglVendor() { return vendor().vendor; }
const std::string& sglRenderer() { return vendor().renderer; }
const std::string& sglVersion() { return vendor().version; }

}  // namespace dozu
