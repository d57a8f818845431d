// Off-screen OpenGL through EGL on Mesa's surfaceless platform, which needs
// no X server or other window system: a pbuffer surface is the framebuffer.
#include "cli/offscreen_gl.h"

#define EGL_NO_X11
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <cstdio>
#include <cstring>
#include <string>

#ifdef __SANITIZE_ADDRESS__
#include "glpanel/keep_libraries_loaded.h"
#endif

namespace dozu {

namespace {

std::string egl_error_text() {
    const EGLint e = eglGetError();
    switch (e) {
        case EGL_NOT_INITIALIZED: return "EGL_NOT_INITIALIZED";
        case EGL_BAD_ACCESS: return "EGL_BAD_ACCESS";
        case EGL_BAD_ALLOC: return "EGL_BAD_ALLOC";
        case EGL_BAD_ATTRIBUTE: return "EGL_BAD_ATTRIBUTE";
        case EGL_BAD_CONFIG: return "EGL_BAD_CONFIG";
        case EGL_BAD_CONTEXT: return "EGL_BAD_CONTEXT";
        case EGL_BAD_DISPLAY: return "EGL_BAD_DISPLAY";
        case EGL_BAD_MATCH: return "EGL_BAD_MATCH";
        case EGL_BAD_PARAMETER: return "EGL_BAD_PARAMETER";
        case EGL_BAD_SURFACE: return "EGL_BAD_SURFACE";
        default: {
            char hex[16];
            std::snprintf(hex, sizeof hex, "0x%04X", unsigned(e));
            return std::string("EGL error ") + hex;
        }
    }
}

[[noreturn]] void fail(const std::string& what) { throw GLError(what + " (" + egl_error_text() + ")"); }

bool has_extension(const char* list, const char* name) {
    if (!list) return false;
    const size_t n = std::strlen(name);
    for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += n)
        if ((p == list || p[-1] == ' ') && (p[n] == ' ' || p[n] == '\0')) return true;
    return false;
}

}  // namespace

struct OffscreenGL::Egl {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLSurface surface = EGL_NO_SURFACE;
    EGLContext context = EGL_NO_CONTEXT;

    ~Egl() {
        if (display == EGL_NO_DISPLAY) return;
#ifdef __SANITIZE_ADDRESS__
        keep_libraries_loaded();
#endif
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (context != EGL_NO_CONTEXT) eglDestroyContext(display, context);
        if (surface != EGL_NO_SURFACE) eglDestroySurface(display, surface);
        eglTerminate(display);
        eglReleaseThread();
    }
};

OffscreenGL::OffscreenGL(int width, int height) : egl_(std::make_unique<Egl>()), width_(width), height_(height) {
    if (!has_extension(eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS), "EGL_MESA_platform_surfaceless"))
        throw GLError(
            "EGL has no surfaceless platform (EGL_MESA_platform_surfaceless); "
            "is Mesa's libegl-mesa0 installed?");
    const auto get_platform_display =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!get_platform_display) fail("EGL has no eglGetPlatformDisplayEXT");
    egl_->display = get_platform_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (egl_->display == EGL_NO_DISPLAY) fail("EGL has no surfaceless display");
    EGLint major = 0, minor = 0;
    if (!eglInitialize(egl_->display, &major, &minor)) fail("cannot initialise EGL's surfaceless display");
    if (!eglBindAPI(EGL_OPENGL_API)) fail("EGL offers no desktop OpenGL");

    const EGLint config_attributes[] = {EGL_SURFACE_TYPE,
                                        EGL_PBUFFER_BIT,
                                        EGL_RENDERABLE_TYPE,
                                        EGL_OPENGL_BIT,
                                        EGL_RED_SIZE,
                                        8,
                                        EGL_GREEN_SIZE,
                                        8,
                                        EGL_BLUE_SIZE,
                                        8,
                                        EGL_DEPTH_SIZE,
                                        16,
                                        EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    if (!eglChooseConfig(egl_->display, config_attributes, &config, 1, &configs))
        fail("cannot choose an EGL config");
    if (configs < 1) fail("EGL has no OpenGL pbuffer config with 8-bit colour and a depth buffer");

    EGLint max_width = 0, max_height = 0;
    eglGetConfigAttrib(egl_->display, config, EGL_MAX_PBUFFER_WIDTH, &max_width);
    eglGetConfigAttrib(egl_->display, config, EGL_MAX_PBUFFER_HEIGHT, &max_height);
    if (width > max_width || height > max_height)
        throw GLError("a " + std::to_string(width) + " x " + std::to_string(height) +
                      " picture is larger than the GL driver's largest, " + std::to_string(max_width) + " x " +
                      std::to_string(max_height));
    const EGLint surface_attributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    egl_->surface = eglCreatePbufferSurface(egl_->display, config, surface_attributes);
    if (egl_->surface == EGL_NO_SURFACE)
        fail("cannot create a " + std::to_string(width) + " x " + std::to_string(height) + " EGL pbuffer");

    // Without attributes EGL asks for OpenGL 1.0, which Mesa answers with a
    // compatibility context: the fixed-function calls of the scene work.
    egl_->context = eglCreateContext(egl_->display, config, EGL_NO_CONTEXT, nullptr);
    if (egl_->context == EGL_NO_CONTEXT) fail("cannot create an OpenGL context");
    if (!eglMakeCurrent(egl_->display, egl_->surface, egl_->surface, egl_->context))
        fail("cannot make the OpenGL context current");
    if (!glGetString(GL_VERSION)) throw GLError("the OpenGL context does not answer");
}

OffscreenGL::~OffscreenGL() = default;

std::vector<uint8_t> OffscreenGL::read_rgb() const {
    glFinish();
    const size_t row = size_t(width_) * 3;
    std::vector<uint8_t> bottom_up(row * size_t(height_));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_RGB, GL_UNSIGNED_BYTE, bottom_up.data());
    if (const GLenum e = glGetError(); e != GL_NO_ERROR) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%04X", unsigned(e));
        throw GLError(std::string("OpenGL failed to draw or read the picture (GL error ") + hex + ")");
    }
    std::vector<uint8_t> top_down(bottom_up.size());
    for (int y = 0; y < height_; ++y)
        std::memcpy(top_down.data() + size_t(y) * row, bottom_up.data() + size_t(height_ - 1 - y) * row, row);
    return top_down;
}

}  // namespace dozu
