// TSglPanel on a real X server with the system's GL driver.
#include <QApplication>
#include <QCursor>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <stdexcept>

#include "glpanel/scrgl_loader.h"
#include "glpanel/scrgl_window_system.h"
#include "panel_fixture.h"

using namespace dozu;
using x11test::LogCapture;
using x11test::WaitFor;

namespace {

QObject* Holder(const QWidget* form) { return form->property("ScrGLSubclass").value<QObject*>(); }

// Whether `expected` appears in `lines` in this order, other lines between.
bool InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& expected) {
    size_t next = 0;
    for (const std::string& line : lines)
        if (next < expected.size() && line == expected[next]) ++next;
    return next == expected.size();
}

}  // namespace

TEST_F(PanelTest, FirstPaintCreatesTheContextAndRaisesInitBeforePaint) {
    LogCapture log;
    int format = 0, depth = 0, dbl = -2;
    panel->OnGLPixelFormat = [&](TSglPanel*, TSglDC dc, int& num, int, int d, int db, int) {
        EXPECT_NE(dc, nullptr);
        format = num;
        depth = d;
        dbl = db;
    };
    ShowAndInit();
    EXPECT_TRUE(panel->GLHandleAllocated());
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[0], "init");
    EXPECT_EQ(events[1], "paint");
    EXPECT_GT(format, 0);
    EXPECT_EQ(depth, 16);
    EXPECT_EQ(dbl, 1);
    EXPECT_TRUE(InOrder(log.info, {"About to load library", "Loaded library", "Choosing pixel format",
                                   "Got pixel format; setting it...", "Set pixel format; creating context...",
                                   "Created context. Making it current...", "Made it current", "Entering mode...",
                                   "Entered mode. Initing...", "Done init"}));
    EXPECT_TRUE(log.error.empty());
    EXPECT_STREQ(getenv("FX_GLIDE_NO_SPLASH"), "1");
    EXPECT_EQ(Holder(form.get()), panel);

    ASSERT_TRUE(Repaint());
    EXPECT_EQ(Count("init"), 1);
    EXPECT_TRUE(panel->SwapBuffers());
}

TEST_F(PanelTest, SwappedFramesReachTheScreen) {
    panel->SetColor(QColor(255, 0, 255));
    ShowAndInit();
    ASSERT_TRUE(Repaint());
    ASSERT_TRUE(panel->SwapBuffers());
    const QPoint at = panel->mapToGlobal(QPoint(0, 0));
    const QImage shot = panel->screen()->grabWindow(0, at.x(), at.y(), panel->width(), panel->height()).toImage();
    ASSERT_FALSE(shot.isNull());
    for (const QPoint p : {QPoint(2, 2), QPoint(panel->width() - 3, panel->height() - 3)})
        EXPECT_EQ(shot.pixelColor(p).name().toStdString(), "#fe00fe") << p.x() << "," << p.y();
}

TEST_F(PanelTest, DriverPathWithTheSameFileNameChangesNothing) {
    ShowAndInit();
    panel->SetglDriver("/some/other/folder/OpenGL32.DLL");
    EXPECT_EQ(panel->glDriver(), "opengl32.dll");
    EXPECT_TRUE(panel->GLHandleAllocated());
    ASSERT_TRUE(Repaint());
    EXPECT_EQ(Count("init"), 1);
    EXPECT_EQ(Count("destroy"), 0);
}

TEST_F(PanelTest, DepthToItsOwnValueKeepsTheContextAnotherDropsIt) {
    int depth = 0;
    panel->OnGLPixelFormat = [&](TSglPanel*, TSglDC, int&, int, int d, int, int) { depth = d; };
    panel->SetColor(QColor(0, 0, 255));
    ShowAndInit();
    panel->SetglDepth(16);
    EXPECT_TRUE(panel->GLHandleAllocated());
    EXPECT_EQ(Count("destroy"), 0);

    panel->SetglDepth(24);
    EXPECT_FALSE(panel->GLHandleAllocated());
    EXPECT_EQ(Count("destroy"), 1);
    ASSERT_TRUE(Repaint());
    EXPECT_EQ(Count("init"), 2);
    EXPECT_EQ(depth, 24);
    // The new context draws: its window took the new pixel format.
    EXPECT_EQ(PixelAfterPaint(5, 5), (std::array<int, 3>{0, 0, 254}));
}

TEST_F(PanelTest, UnloadableDriverGivesExactlyOneErrorUntilInvalidated) {
    LogCapture log;
    panel->SetglDriver("libdozu-no-such-driver.so.7");
    form->show();
    ASSERT_TRUE(WaitFor([&] { return !errors.empty(); }));
    for (int i = 0; i < 3; ++i) {
        panel->repaint();
        x11test::Pump(20);
    }
    EXPECT_EQ(errors, std::vector<std::string>{"Error loading library libdozu-no-such-driver.so.7"});
    EXPECT_EQ(log.error, errors);
    EXPECT_EQ(paints, 0);
    EXPECT_FALSE(panel->GLHandleAllocated());

    panel->InvalidateGLHandle();
    panel->repaint();
    ASSERT_TRUE(WaitFor([&] { return errors.size() == 2; }));
}

TEST_F(PanelTest, ColorClearsColourAndDepthBeforePaintAndNoColourNeverClears) {
    ShowAndInit();
    // The handler clears to green and does not swap: the back buffer keeps it.
    paintHook = [] {
        glClearColor(0, 1, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    };
    ASSERT_TRUE(Repaint());
    EXPECT_EQ(PixelAfterPaint(5, 5), (std::array<int, 3>{0, 255, 0}));

    panel->SetColor(QColor(255, 0, 0));  // paints at once
    float depth_clear = 0;
    paintHook = [&] {
        unsigned char px[4] = {};
        glReadPixels(5, 5, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
        glReadPixels(5, 5, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth_clear);
        EXPECT_EQ(px[0], 254);  // 255/256
        EXPECT_EQ(px[1], 0);
        glClearDepth(0.25);
        glClear(GL_DEPTH_BUFFER_BIT);
        glClearDepth(1.0);
    };
    ASSERT_TRUE(Repaint());
    ASSERT_TRUE(Repaint());
    paintHook = nullptr;
    EXPECT_FLOAT_EQ(depth_clear, 1.0f);
}

TEST_F(PanelTest, ResizeResetsTheViewportAndTheDrawingFollows) {
    panel->SetColor(QColor(0, 255, 0));
    ShowAndInit();
    const int before = resizes;
    panel->resize(200, 150);
    ASSERT_TRUE(WaitFor([&] { return resizes > before; }));
    EXPECT_EQ(panel->ClientWidth(), 200);
    EXPECT_EQ(panel->ClientHeight(), 150);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 200);
    EXPECT_EQ(viewport[3], 150);
    // A software driver takes the window's new size at the next swap.
    ASSERT_TRUE(Repaint());
    EXPECT_TRUE(panel->SwapBuffers());
    EXPECT_EQ(PixelAfterPaint(195, 145), (std::array<int, 3>{0, 254, 0}));
}

TEST_F(PanelTest, MovingTheFormResetsTheViewportAndRaisesOnResize) {
    ShowAndInit();
    LogCapture log;
    glViewport(0, 0, 1, 1);
    const int before = resizes;
    form->move(form->x() + 30, form->y() + 20);
    ASSERT_TRUE(WaitFor([&] {
        panel->update();
        return resizes > before;
    }));
    EXPECT_TRUE(log.HasInfo("The window has moved!"));
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], panel->ClientWidth());
    EXPECT_EQ(viewport[3], panel->ClientHeight());
}

TEST_F(PanelTest, SurvivesBeingReparented) {
    panel->SetColor(QColor(0, 0, 255));
    ShowAndInit();
    auto other = std::make_unique<QWidget>();
    other->setGeometry(320, 60, 200, 160);
    other->show();
    panel->setParent(other.get());
    panel->show();
    EXPECT_EQ(Holder(form.get()), nullptr);
    ASSERT_TRUE(WaitFor([&] {
        panel->update();
        return Count("init") == 2;
    }));
    EXPECT_EQ(Holder(other.get()), panel);
    EXPECT_EQ(PixelAfterPaint(5, 5), (std::array<int, 3>{0, 0, 254}));

    form.reset();
    EXPECT_EQ(PixelAfterPaint(5, 5), (std::array<int, 3>{0, 0, 254}));
    LogCapture log;
    other.reset();  // takes the panel along
    EXPECT_TRUE(log.HasInfo("~TSglPanel. Finished destructor."));
}

TEST_F(PanelTest, NativeWindowDestroyedAndRecreatedStartsOver) {
    panel->SetColor(QColor(255, 255, 0));
    ShowAndInit();
    form->hide();
    form->destroy();
    EXPECT_FALSE(panel->GLHandleAllocated());
    EXPECT_EQ(Holder(form.get()), nullptr);
    form->show();
    ASSERT_TRUE(WaitFor([&] {
        panel->update();
        return Count("init") == 2;
    }));
    EXPECT_EQ(PixelAfterPaint(5, 5), (std::array<int, 3>{254, 254, 0}));
}

TEST_F(PanelTest, MouseEventsComeInPanelPixelsWithTheToolkitsButtonOrder) {
    struct Click {
        std::string kind;
        int button;
        TShiftState shift;
        int x, y;
    };
    std::vector<Click> clicks;
    panel->OnMouseDown = [&](TSglPanel*, TMouseButton b, TShiftState s, int x, int y) {
        clicks.push_back({"down", b, s, x, y});
    };
    panel->OnMouseUp = [&](TSglPanel*, TMouseButton b, TShiftState s, int x, int y) {
        clicks.push_back({"up", b, s, x, y});
    };
    std::vector<Click> moves;
    panel->OnMouseMove = [&](TSglPanel*, TShiftState s, int x, int y) { moves.push_back({"move", -1, s, x, y}); };
    ShowAndInit();
    struct PressCounter : QObject {
        int presses = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::MouseButtonPress) ++presses;
            return false;
        }
    } form_presses;
    form->installEventFilter(&form_presses);

    QTest::mousePress(panel, Qt::RightButton, Qt::ShiftModifier, QPoint(12, 34));
    QTest::mouseRelease(panel, Qt::RightButton, Qt::ShiftModifier, QPoint(12, 34));
    QTest::mousePress(panel, Qt::MiddleButton, Qt::ControlModifier, QPoint(3, 4));
    QTest::mouseRelease(panel, Qt::MiddleButton, Qt::NoModifier, QPoint(3, 4));
    QTest::mouseDClick(panel, Qt::LeftButton, Qt::NoModifier, QPoint(7, 8));
    ASSERT_GE(clicks.size(), 5u);
    EXPECT_EQ(clicks[0].kind, "down");
    EXPECT_EQ(clicks[0].button, mbRight);
    EXPECT_EQ(clicks[0].shift, ssShift | ssRight);
    EXPECT_EQ(clicks[0].x, 12);
    EXPECT_EQ(clicks[0].y, 34);
    EXPECT_EQ(clicks[1].kind, "up");
    EXPECT_EQ(clicks[1].shift, unsigned(ssShift));
    EXPECT_EQ(clicks[2].button, mbMiddle);
    EXPECT_EQ(clicks[2].shift, ssCtrl | ssMiddle);
    const auto dbl =
        std::find_if(clicks.begin(), clicks.end(), [](const Click& c) { return (c.shift & ssDouble) != 0; });
    ASSERT_NE(dbl, clicks.end());
    EXPECT_EQ(dbl->kind, "down");
    EXPECT_EQ(dbl->button, mbLeft);
    EXPECT_EQ(dbl->x, 7);
    EXPECT_EQ(form_presses.presses, 0) << "the panel keeps its clicks";

    // The real pointer reaches the panel through its GL window.
    moves.clear();
    QCursor::setPos(panel->mapToGlobal(QPoint(40, 30)));
    ASSERT_TRUE(WaitFor([&] { return !moves.empty() && moves.back().x == 40; }));
    EXPECT_EQ(moves.back().y, 30);
    EXPECT_EQ(moves.back().shift, 0u);
}

TEST_F(PanelTest, DriverWithoutContextsReportsTheFailureAndTheNextDriverStartsOver) {
    LogCapture log;
    panel->SetglDriver(FAKE_GL_NO_CONTEXT);
    form->show();
    ASSERT_TRUE(WaitFor([&] { return !errors.empty(); }));
    EXPECT_EQ(errors, std::vector<std::string>{"Error creating context: the driver created no context"});

    panel->SetColor(QColor(0, 255, 255));
    panel->SetglDriver("opengl32.dll");
    ASSERT_TRUE(WaitFor([&] {
        panel->update();
        return Count("init") == 1;
    }));
    EXPECT_EQ(PixelAfterPaint(5, 5), (std::array<int, 3>{0, 254, 254}));
    EXPECT_EQ(errors.size(), 1u);
}

TEST_F(PanelTest, A3dfxStyleDriverConfinesTheMouseWhileItsFormIsActive) {
    panel->SetglDriver(FAKE_GL_3DFX);
    ShowAndInit();
    EXPECT_TRUE(sglUses3dfxStyle());
    EXPECT_TRUE(panel->MouseClipped());
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(form.get(), &deactivate);
    EXPECT_FALSE(panel->MouseClipped());
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(form.get(), &activate);
    EXPECT_TRUE(panel->MouseClipped());
    EXPECT_TRUE(panel->SwapBuffers()) << "through the driver's own swap";

    panel->InvalidateGLHandle();
    EXPECT_FALSE(panel->MouseClipped());
    QApplication::sendEvent(form.get(), &activate);
    EXPECT_FALSE(panel->MouseClipped()) << "a form no panel holds is left alone";
}

TEST_F(PanelTest, HandlerExceptionsStayInThePanel) {
    ShowAndInit();
    LogCapture log;
    paintHook = [] { throw std::runtime_error("boom"); };
    ASSERT_TRUE(Repaint());
    ASSERT_TRUE(Repaint());
    paintHook = nullptr;
    EXPECT_EQ(log.error, (std::vector<std::string>{"OnGLPaint failed: boom", "OnGLPaint failed: boom"}));
    EXPECT_TRUE(panel->GLHandleAllocated());
}

TEST_F(PanelTest, OneFormHasOneHolderAndTheDestructorLetsGo) {
    ShowAndInit();
    auto* second = new TSglPanel(form.get());
    second->setGeometry(175, 10, 50, 50);
    bool second_inited = false;
    second->OnGLInit = [&](TSglPanel*) { second_inited = true; };
    second->show();
    ASSERT_TRUE(WaitFor([&] { return second_inited; }));
    EXPECT_EQ(Holder(form.get()), panel);

    LogCapture log;
    delete panel;
    panel = nullptr;
    EXPECT_EQ(Holder(form.get()), nullptr);
    EXPECT_EQ(Count("destroy"), 0) << "no events for an owner that may be gone";
    EXPECT_TRUE(InOrder(log.info, {"~TSglPanel... commencing destructor.",
                                   "DestroyWindowHandle... but first, destroying the GL handle",
                                   "~TSglPanel. Finished destructor."}));
    // The other panel goes on drawing.
    int drawn = 0;
    second->OnGLPaint = [&](TSglPanel*) { ++drawn; };
    second->repaint();
    ASSERT_TRUE(WaitFor([&] { return drawn > 0; }));
}

TEST_F(PanelTest, VendorIsReadOnceAndOnlyForTheGenericDriverName) {
    if (sglVendorQueried()) GTEST_SKIP() << "the vendor was read earlier in this process";
    LogCapture log;
    panel->SetglDriver("libGL.so.1");
    ShowAndInit();
    EXPECT_FALSE(sglVendorQueried());

    panel->SetglDriver("opengl32.dll");
    ASSERT_TRUE(WaitFor([&] {
        panel->update();
        return Count("init") == 2;
    }));
    EXPECT_TRUE(sglVendorKnown());
    EXPECT_FALSE(sglVendor().empty());
    EXPECT_FALSE(sglRenderer().empty());
    panel->InvalidateGLHandle();
    ASSERT_TRUE(WaitFor([&] {
        panel->update();
        return Count("init") == 3;
    }));
    EXPECT_EQ(log.CountInfo("sglMakeCurrent for the first time... taking the opportunity to get "
                            "vendor information."),
              1);
}
