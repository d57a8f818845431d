// The X11/GLX layer and the driver search on the test's own X server.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QWidget>
#include <memory>

#include "glpanel/scrgl_driver_list.h"
#include "glpanel/scrgl_gl.h"
#include "glpanel/scrgl_loader.h"
#include "glpanel/scrgl_platform.h"
#include "glpanel/scrgl_system.h"
#include "glpanel/scrgl_window_system.h"
#include "support/x11_environment.h"

using namespace dozu;

namespace {

void* XDisplay() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

struct Canvas {
    explicit Canvas(TSglDC dc) : dc(dc) {}
    ~Canvas() { glplatform::close_canvas(dc); }
    TSglDC dc;
};

}  // namespace

TEST(X11Layer, FormatsAreWindowConfigsOfTheSoftwareRendererAndSetOncePerCanvas) {
    QWidget host;
    host.resize(50, 40);
    Canvas canvas(glplatform::open_canvas(XDisplay(), host.winId(), 50, 40));
    ASSERT_NE(canvas.dc, nullptr);
    void* generic = glsystem::generic_library();
    ASSERT_NE(generic, nullptr);

    TSglPixelFormatDescriptor pfd;
    const int count = glplatform::describe_format(canvas.dc, generic, 1, &pfd);
    ASSERT_GT(count, 0);
    EXPECT_TRUE(pfd.supportOpenGL && pfd.drawToWindow);
    EXPECT_TRUE(pfd.generic) << "Xvfb renders in software";

    TSglPixelFormatDescriptor wanted;
    wanted.rgba = wanted.doubleBuffer = true;
    wanted.colorBits = 24;
    wanted.depthBits = 24;
    const int chosen = glplatform::choose_format(canvas.dc, generic, wanted);
    ASSERT_GT(chosen, 0);
    glplatform::describe_format(canvas.dc, generic, chosen, &pfd);
    EXPECT_TRUE(pfd.doubleBuffer);
    EXPECT_GE(pfd.depthBits, 24);

    EXPECT_EQ(glplatform::canvas_gl_window(canvas.dc), 0u);
    ASSERT_TRUE(glplatform::set_format(canvas.dc, generic, chosen)) << glplatform::last_error();
    EXPECT_NE(glplatform::canvas_gl_window(canvas.dc), 0u);
    EXPECT_FALSE(glplatform::set_format(canvas.dc, generic, chosen));
    EXPECT_EQ(glplatform::last_error(), "a pixel format is set on this window already");
    Canvas fresh(glplatform::open_canvas(XDisplay(), host.winId(), 5, 5));
    EXPECT_FALSE(glplatform::set_format(fresh.dc, generic, count + 1));
    EXPECT_EQ(glplatform::last_error(), "there is no pixel format " + std::to_string(count + 1));
}

TEST(X11Layer, XErrorsAreTrappedAndReported) {
    // A window id nobody created: every request on it fails.
    Canvas canvas(glplatform::open_canvas(XDisplay(), 0x3ffff01, 10, 10));
    ASSERT_NE(canvas.dc, nullptr);
    EXPECT_FALSE(glplatform::set_format(canvas.dc, glsystem::generic_library(), 1));
    EXPECT_NE(glplatform::last_error().find("BadWindow"), std::string::npos) << glplatform::last_error();
    EXPECT_EQ(glplatform::canvas_gl_window(canvas.dc), 0u);
}

TEST(X11Layer, ContextsOfTheGenericDriverDrawOnTheirCanvas) {
    ASSERT_NE(sglLoadLibrary("opengl32.dll"), nullptr);
    QWidget host;
    host.resize(30, 30);
    host.show();
    Canvas canvas(glplatform::open_canvas(XDisplay(), host.winId(), 30, 30));
    int depth = 24;
    const int format = sglChoosePixelFormatEx(canvas.dc, nullptr, &depth, nullptr, nullptr);
    ASSERT_GT(format, 0);
    ASSERT_TRUE(sglSetPixelFormat(canvas.dc, format));
    TSglRC rc = sglCreateContext(canvas.dc);
    ASSERT_NE(rc, nullptr) << glplatform::last_error();
    ASSERT_TRUE(sglMakeCurrent(canvas.dc, rc));
    EXPECT_EQ(sglCurrentContext(), rc);
    EXPECT_NE(sglGetString(GL_RENDERER), nullptr);
    EXPECT_TRUE(sglSwapBuffers(canvas.dc));
    EXPECT_TRUE(sglMakeCurrent(canvas.dc, nullptr));
    EXPECT_EQ(sglCurrentContext(), nullptr);
    EXPECT_TRUE(sglDeleteContext(rc));
    sglFreeLibrary();
}

TEST(SglDriverList, ListsEachDriverFileOnceAndNamesTheGenericOneByItsVendor) {
    sglFreeLibrary();
    x11test::LogCapture log;
    TSglDriverList list;
    const std::string system = glsystem::system_library_folder();
    list.SetSearchPath({"<system>/libGL.so.1", system + "/libGL.so*", "/nonexistent/libGL*.so*"});
    const TSglDriverStrings& drivers = list.GetDrivers();
    if (log.HasInfo("Temporarily loading opengl32 to find its vendor information")) {
        EXPECT_TRUE(log.HasInfo("Finished temporary load. Vendor is " + sglVendor() + "."));
    }
    ASSERT_TRUE(sglVendorKnown());
    EXPECT_EQ(sglLibraryHandle(), nullptr) << "the probe unloads what it loaded";

    int generic_lines = 0;
    for (int i = 0; i < drivers.Count(); ++i) {
        if (drivers.Details(i).fileName != system + "/libGL.so.1") continue;
        ++generic_lines;
        EXPECT_EQ(drivers.Line(i), "libGL.so.1 - " + sglVendor() + " " + sglRenderer() + " " + sglVersion());
        EXPECT_FALSE(drivers.Details(i).is3dfx);
    }
    EXPECT_EQ(generic_lines, 1);
    EXPECT_EQ(&list.GetDrivers(), &drivers);

    // A new search path searches again.
    list.SetSearchPath({"/nonexistent/libGL*.so*"});
    EXPECT_EQ(list.GetDrivers().Count(), 0);
}
