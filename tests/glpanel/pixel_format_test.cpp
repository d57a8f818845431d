// The pixel-format score and choice, on made-up descriptor tables.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "glpanel/scrgl_pixel_format.h"

using namespace dozu;

namespace {

// A software format without anything: it scores 0 against kWanted.
TSglPixelFormatDescriptor Bare() {
    TSglPixelFormatDescriptor pfd;
    pfd.generic = true;
    return pfd;
}

TSglPixelFormatDescriptor Window(int color, int depth, bool dbl) {
    TSglPixelFormatDescriptor pfd;
    pfd.supportOpenGL = pfd.drawToWindow = pfd.rgba = true;
    pfd.generic = true;
    pfd.colorBits = color;
    pfd.depthBits = depth;
    pfd.doubleBuffer = dbl;
    return pfd;
}

struct Wanted {
    int color = 24, depth = 24, dbl = 1, acc = 1;
};

struct Row {
    std::string name;
    TSglPixelFormatDescriptor pfd;
    Wanted wanted;
    int score;
};

template <typename Change>
TSglPixelFormatDescriptor With(Change change) {
    TSglPixelFormatDescriptor pfd = Bare();
    change(pfd);
    return pfd;
}

}  // namespace

TEST(SglPixelFormatScore, EveryRowOfThePointsTable) {
    const std::vector<Row> rows = {
        {"nothing", Bare(), {}, 0},
        {"OpenGL and window", With([](auto& p) { p.supportOpenGL = p.drawToWindow = true; }), {}, 0x8000},
        {"OpenGL without window", With([](auto& p) { p.supportOpenGL = true; }), {}, 0},
        {"window without OpenGL", With([](auto& p) { p.drawToWindow = true; }), {}, 0},
        {"depth wanted, some depth", With([](auto& p) { p.depthBits = 8; }), {}, 0x4000},
        {"any depth", Bare(), {24, -1, 1, 1}, 0x4000 + 0x400},
        {"no depth wanted, none there", Bare(), {24, 0, 1, 1}, 0x400},
        {"no depth wanted, some there", With([](auto& p) { p.depthBits = 8; }), {24, 0, 1, 1}, 0},
        {"double buffering wanted", With([](auto& p) { p.doubleBuffer = true; }), {}, 0x2000},
        {"single buffering wanted", Bare(), {24, 24, 0, 1}, 0x2000},
        {"single wanted, double there", With([](auto& p) { p.doubleBuffer = true; }), {24, 24, 0, 1}, 0},
        {"any buffering", Bare(), {24, 24, -1, 1}, 0x2000},
        {"software wanted", Bare(), {24, 24, 1, 0}, 0x1000},
        {"any acceleration", Bare(), {24, 24, 1, -1}, 0x1000},
        {"generic accelerated", With([](auto& p) { p.genericAccelerated = true; }), {}, 0x1000 + 0x40},
        {"generic accelerated is not software",
         With([](auto& p) { p.genericAccelerated = true; }),
         {24, 24, 1, 0},
         0x40},
        {"full hardware", With([](auto& p) { p.generic = false; }), {}, 0x1000 + 0x40 + 2},
        {"any colour", Bare(), {-1, 24, 1, 1}, 0x800},
        {"colour as wanted", With([](auto& p) { p.colorBits = 24; }), {}, 0x800 + 0x20},
        {"depth as wanted", With([](auto& p) { p.depthBits = 24; }), {}, 0x4000 + 0x400 + 0x10},
        {"RGBA", With([](auto& p) { p.rgba = true; }), {}, 0x80},
        {"colour of 32 bits", With([](auto& p) { p.colorBits = 32; }), {}, 0x20},
        {"colour of 16 bits", With([](auto& p) { p.colorBits = 16; }), {}, 0x20 + 8},
        {"colour of 15 bits", With([](auto& p) { p.colorBits = 15; }), {}, 0},
        {"depth of 32 bits", With([](auto& p) { p.depthBits = 32; }), {}, 0x4000 + 0x10},
        {"depth of 16 bits", With([](auto& p) { p.depthBits = 16; }), {}, 0x4000 + 0x10 + 4},
        {"bitmap", With([](auto& p) { p.drawToBitmap = true; }), {}, 1},
    };
    for (const Row& row : rows) {
        const Wanted& w = row.wanted;
        EXPECT_EQ(sglScorePixelFormat(row.pfd, w.color, w.depth, w.dbl, w.acc), row.score) << row.name;
    }
}

TEST(SglPickPixelFormat, EqualScoresKeepTheLowerNumber) {
    const auto format = Window(24, 24, true);
    EXPECT_EQ(sglPickPixelFormat({format, format}, nullptr, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(sglPickPixelFormat({Window(8, 0, true), format, format}, nullptr, nullptr, nullptr, nullptr), 2);
}

TEST(SglPickPixelFormat, NoDepthWantedPrefersNoDepthButExcludesNothing) {
    int depth = 0;
    EXPECT_EQ(sglPickPixelFormat({Window(24, 24, true), Window(24, 0, true)}, nullptr, &depth, nullptr, nullptr),
              2);
    EXPECT_EQ(depth, 0);

    depth = 0;
    EXPECT_EQ(sglPickPixelFormat({Window(24, 24, true)}, nullptr, &depth, nullptr, nullptr), 1);
    EXPECT_EQ(depth, 24);
}

TEST(SglPickPixelFormat, WritesTheWinnersValuesBack) {
    auto hardware = Window(32, 24, false);
    hardware.generic = false;
    int color = 32, depth = 24, dbl = 0, acc = 1;
    EXPECT_EQ(sglPickPixelFormat({Window(16, 16, true), hardware}, &color, &depth, &dbl, &acc), 2);
    EXPECT_EQ(color, 32);
    EXPECT_EQ(depth, 24);
    EXPECT_EQ(dbl, 0);
    EXPECT_EQ(acc, 1);

    // Software formats report acceleration 0; double buffering reads 1.
    color = -1, depth = -1, dbl = -1, acc = -1;
    EXPECT_EQ(sglPickPixelFormat({Window(24, 16, true)}, &color, &depth, &dbl, &acc), 1);
    EXPECT_EQ(color, 24);
    EXPECT_EQ(depth, 16);
    EXPECT_EQ(dbl, 1);
    EXPECT_EQ(acc, 0);

    auto helped = Window(24, 16, true);
    helped.genericAccelerated = true;
    acc = 0;
    sglPickPixelFormat({helped}, nullptr, nullptr, nullptr, &acc);
    EXPECT_EQ(acc, 1);
}

TEST(SglPickPixelFormat, AbsentWantedValuesMeanAnyColourDepth16AnyBufferingAndHardware) {
    auto hardware = Window(24, 24, true);
    hardware.generic = false;
    // Depth 16 exactly beats a deeper buffer.
    EXPECT_EQ(
        sglPickPixelFormat({Window(24, 24, true), Window(24, 16, false)}, nullptr, nullptr, nullptr, nullptr), 2);
    // Hardware beats software on equal terms.
    EXPECT_EQ(sglPickPixelFormat({Window(24, 24, true), hardware}, nullptr, nullptr, nullptr, nullptr), 2);
}

TEST(SglPickPixelFormat, NoFormatsGiveZeroAndLeaveTheValues) {
    int color = 24, depth = 16, dbl = 1, acc = 1;
    EXPECT_EQ(sglPickPixelFormat({}, &color, &depth, &dbl, &acc), 0);
    EXPECT_EQ(color, 24);
    EXPECT_EQ(depth, 16);
    EXPECT_EQ(dbl, 1);
    EXPECT_EQ(acc, 1);
}
