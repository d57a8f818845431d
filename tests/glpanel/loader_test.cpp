// The driver loader and its log: real libraries are loaded, the system's
// generic one and fake drivers built beside these tests.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "glpanel/scrgl_gl.h"
#include "glpanel/scrgl_loader.h"
#include "glpanel/scrgl_log.h"

using namespace dozu;

namespace {

struct Lines {
    std::vector<std::string> info, error;
};

// Splits "sgl:<ms> - <message>" into its two parts; false for other lines.
bool ParseLine(const std::string& line, long& ms, std::string& message) {
    const size_t dash = line.find(" - ");
    if (line.rfind("sgl:", 0) != 0 || dash == std::string::npos || dash == 4) return false;
    const std::string digits = line.substr(4, dash - 4);
    if (digits.find_first_not_of("0123456789") != std::string::npos) return false;
    ms = std::stol(digits);
    message = line.substr(dash + 3);
    return true;
}

void to_info(const char* line, void* lines) { static_cast<Lines*>(lines)->info.push_back(line); }
void to_error(const char* line, void* lines) { static_cast<Lines*>(lines)->error.push_back(line); }

// Captures the log while it lives; the lines keep their "sgl:<ms> - " prefix.
class LogLines : public Lines {
public:
    LogLines() { SetMessageProc(to_info, to_error, static_cast<Lines*>(this)); }
    ~LogLines() { SetMessageProc(nullptr, nullptr, nullptr); }
    std::vector<std::string> Messages() const {
        std::vector<std::string> messages;
        for (const std::string& line : info) messages.push_back(line.substr(line.find(" - ") + 3));
        return messages;
    }
};

class LoaderTest : public ::testing::Test {
protected:
    void TearDown() override { sglFreeLibrary(); }
};

}  // namespace

TEST(SglLog, LinesCarryMillisecondsAndGoToTheSinkOfTheirLevel) {
    sglLog(0, "nobody listens");  // no sink: nothing happens
    LogLines log;
    sglLog(0, "first");
    sglLog(1, "broken");
    sglLog(0, "second");
    ASSERT_EQ(log.info.size(), 2u);
    ASSERT_EQ(log.error.size(), 1u);
    long first_ms = -1, second_ms = -1, error_ms = -1;
    std::string first, second, error;
    ASSERT_TRUE(ParseLine(log.info[0], first_ms, first)) << log.info[0];
    ASSERT_TRUE(ParseLine(log.info[1], second_ms, second)) << log.info[1];
    ASSERT_TRUE(ParseLine(log.error[0], error_ms, error)) << log.error[0];
    EXPECT_EQ(first, "first");
    EXPECT_EQ(second, "second");
    EXPECT_EQ(error, "broken");
    EXPECT_LE(first_ms, second_ms);

    SetMessageProc(nullptr, to_error, static_cast<Lines*>(&log));
    sglLog(0, "info goes nowhere");
    sglLog(1, "error still arrives");
    EXPECT_EQ(log.info.size(), 2u);
    EXPECT_EQ(log.error.size(), 2u);
}

TEST(SglEntryTable, HoldsSeventyGLNamesThenEightWindowSystemNamesBoundToGLX) {
    EXPECT_EQ(sglGLEntryCount, 70);
    EXPECT_EQ(sglEntryCount, 78);
    EXPECT_STREQ(sglEntryName(0), "glAlphaFunc");
    EXPECT_STREQ(sglEntryName(sglEntry_glFrustum), "glFrustum");
    EXPECT_STREQ(sglEntryName(69), "glRectf");
    const std::vector<std::pair<std::string, std::string>> window_system = {
        {"wglCreateContext", "glXCreateNewContext"},
        {"wglDeleteContext", "glXDestroyContext"},
        {"wglMakeCurrent", "glXMakeCurrent"},
        {"wglSwapLayerBuffers", "glXSwapBuffers"},
        {"wglSwapBuffers", "glXSwapBuffers"},
        {"wglChoosePixelFormat", "glXChooseFBConfig"},
        {"wglDescribePixelFormat", "glXGetFBConfigAttrib"},
        {"wglSetPixelFormat", "glXGetVisualFromFBConfig"},
    };
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(sglEntryName(70 + i), window_system[size_t(i)].first);
        EXPECT_EQ(sglEntrySymbol(70 + i), window_system[size_t(i)].second);
    }
    EXPECT_EQ(sglRequiredEntryCount, 74);
}

TEST_F(LoaderTest, DriverWithoutFrustumAndPopMatrixIsRefusedWithTheLogLine) {
    LogLines log;
    EXPECT_EQ(sglLoadLibrary(FAKE_GL_PARTIAL), nullptr);
    EXPECT_EQ(log.Messages(), std::vector<std::string>{std::string("Failed to load ") + FAKE_GL_PARTIAL +
                                                       ": glFrustrum.glPopMatric."});
    EXPECT_EQ(sglLibraryHandle(), nullptr);
    for (int i = 0; i < sglEntryCount; ++i) EXPECT_EQ(sglEntryPointer(i), nullptr) << i;
    // Without a driver the wrappers do nothing and answer zero.
    sglBegin(GL_QUADS);
    EXPECT_EQ(sglGetError(), GLenum(0));
    EXPECT_EQ(sglGetString(GL_VENDOR), nullptr);
}

TEST_F(LoaderTest, MissingWindowSystemEntriesAreListedFirstWithoutFullStops) {
    LogLines log;
    EXPECT_EQ(sglLoadLibrary(FAKE_GL_NO_MAKECURRENT), nullptr);
    EXPECT_EQ(log.Messages(), std::vector<std::string>{std::string("Failed to load ") + FAKE_GL_NO_MAKECURRENT +
                                                       ": glMakeCurrentglBegin."});
}

TEST_F(LoaderTest, NameWith3dfxInAnyCaseSetsThe3dfxStyleAndTheGenericDriverClearsIt) {
    LogLines log;
    void* fake = sglLoadLibrary(FAKE_GL_3DFX);
    ASSERT_NE(fake, nullptr);
    EXPECT_TRUE(log.info.empty());
    EXPECT_TRUE(sglUses3dfxStyle());
    EXPECT_EQ(sglDriverName(), FAKE_GL_3DFX);
    EXPECT_NE(sglEntryPointer(sglEntry_glFrustum), nullptr);
    EXPECT_NE(sglEntryPointer(sglEntry_wglCreateContext), nullptr);
    // Optional entries the fake lacks stay empty.
    EXPECT_EQ(sglEntryPointer(sglEntry_wglChoosePixelFormat), nullptr);

    void* generic = sglLoadLibrary("OpenGL32.DLL");
    ASSERT_NE(generic, nullptr) << "the system's libGL.so.1 should load";
    EXPECT_NE(generic, fake);
    EXPECT_FALSE(sglUses3dfxStyle());
    for (int i = 0; i < sglRequiredEntryCount; ++i) EXPECT_NE(sglEntryPointer(i), nullptr) << i;
}

TEST_F(LoaderTest, UnloadableDriverFailsSilentlyAndLeavesNoStaleEntries) {
    ASSERT_NE(sglLoadLibrary("opengl32.dll"), nullptr);
    LogLines log;
    EXPECT_EQ(sglLoadLibrary("/nonexistent/libGL-missing.so.1"), nullptr);
    EXPECT_TRUE(log.info.empty());
    EXPECT_EQ(sglDriverName(), "/nonexistent/libGL-missing.so.1");
    EXPECT_EQ(sglLibraryHandle(), nullptr);
    EXPECT_EQ(sglEntryPointer(sglEntry_glBegin), nullptr);
    sglClear(GL_COLOR_BUFFER_BIT);  // must not call into the unloaded driver

    ASSERT_NE(sglLoadLibrary("opengl32.dll"), nullptr);
    sglFreeLibrary();
    EXPECT_EQ(sglLibraryHandle(), nullptr);
    EXPECT_EQ(sglEntryPointer(sglEntry_glClear), nullptr);
}
