// The 3dfx decisions and the driver descriptions, without a display.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "glpanel/scrgl_driver_list.h"
#include "glpanel/scrgl_screen.h"

using namespace dozu;

TEST(Sgl3dfxRenderSize, FollowsTheScreenHeight) {
    EXPECT_EQ(sgl3dfxRenderSize(-1), (TSglSize{512, 384}));
    EXPECT_EQ(sgl3dfxRenderSize(439), (TSglSize{512, 384}));
    EXPECT_EQ(sgl3dfxRenderSize(440), (TSglSize{640, 480}));
    EXPECT_EQ(sgl3dfxRenderSize(539), (TSglSize{640, 480}));
    EXPECT_EQ(sgl3dfxRenderSize(540), (TSglSize{800, 600}));
    EXPECT_EQ(sgl3dfxRenderSize(679), (TSglSize{800, 600}));
    EXPECT_EQ(sgl3dfxRenderSize(680), (TSglSize{1024, 758}));
    EXPECT_EQ(sgl3dfxRenderSize(1200), (TSglSize{1024, 758}));
}

TEST(SglConfinedCursor, MapsTheScreenIntoThePanelAndBack) {
    const TSglSize panel{640, 480}, screen{1280, 960};
    const TSglPoint origin{100, 50};
    EXPECT_EQ(sglConfinedCursor({640, 480}, panel, screen, origin), (TSglPoint{420, 290}));
    EXPECT_EQ(sglReleasedCursor({420, 290}, panel, screen, origin), (TSglPoint{640, 480}));
    EXPECT_EQ(sglConfinedAcceleration(10, panel, screen), 5);
    // A panel or screen of no size leaves the cursor where it can be.
    EXPECT_EQ(sglConfinedCursor({5, 5}, panel, {0, 0}, origin), origin);
    EXPECT_EQ(sglReleasedCursor({5, 5}, {0, 0}, screen, origin), (TSglPoint{5, 5}));
}

TEST(SglDriverDetails, CutsTheCompanyOutOfTheDescriptionAndFinds3dfx) {
    const auto plain = sglDriverDetails("/x/libGL.so.1", "Mesa", "Mesa GL driver", "22.3");
    EXPECT_EQ(plain.fileDescription, "GL driver");
    EXPECT_FALSE(plain.is3dfx);

    // Only the company and the one character after it go.
    const auto inside = sglDriverDetails("/x/a.so", "3Dfx", "Voodoo 3Dfx-OpenGL ICD", "1.0");
    EXPECT_EQ(inside.fileDescription, "Voodoo OpenGL ICD");
    EXPECT_TRUE(inside.is3dfx);

    EXPECT_TRUE(sglDriverDetails("/x/b.so", "", "", "3DFX build 7").is3dfx);
    EXPECT_EQ(sglDriverDetails("/x/c.so", "", "text", "").fileDescription, "text");
    // Linux libraries carry no version resource.
    EXPECT_FALSE(sglIsDriver3dfx(FAKE_GL_3DFX));
    EXPECT_EQ(sglReadDriverDetails(FAKE_GL_3DFX).companyName, "");
}

TEST(SglDriverShieldedStringList, IgnoresDuplicatesAndTellsOfEveryChange) {
    TSglDriverShieldedStringList list;
    int changes = 0;
    list.OnChange = [&] { ++changes; };
    EXPECT_EQ(list.Add("a"), 0);
    EXPECT_EQ(list.Add("b"), 1);
    EXPECT_EQ(list.Add("a"), 0);
    EXPECT_EQ(changes, 2);
    list.Assign({"x", "y", "x"});
    EXPECT_EQ(list.Lines(), (std::vector<std::string>{"x", "y"}));
    list.Delete(0);
    list.Clear();
    EXPECT_EQ(changes, 5);
}

TEST(SglDriverList, SearchesTheLinuxCounterpartsOfTheDefaultPatterns) {
    TSglDriverList drivers;
    EXPECT_EQ(drivers.GetSearchPath().Lines(),
              (std::vector<std::string>{"<project>/libGL*.so*", "<project>/*3dfx*GL*.so*", "<windows>/libGL*.so*",
                                        "<system>/libGL*.so*"}));
}
