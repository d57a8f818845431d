// A form with one GL panel on the test's own X server, recording the
// panel's events.
#pragma once

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <QColor>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "glpanel/scrgl.h"
#include "support/x11_environment.h"

// A form whose native window a test can destroy.
class TestForm : public QWidget {
public:
    using QWidget::destroy;
};

class PanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<TestForm>();
        form->setGeometry(40, 40, 240, 180);
        panel = new dozu::TSglPanel(form.get());
        panel->setGeometry(10, 10, 160, 120);
        Watch(panel);
    }

    void TearDown() override { form.reset(); }

    void Watch(dozu::TSglPanel* p) {
        p->OnGLInit = [this](dozu::TSglPanel*) { events.push_back("init"); };
        p->OnGLPaint = [this](dozu::TSglPanel*) {
            events.push_back("paint");
            ++paints;
            if (paintHook) paintHook();
        };
        p->OnGLDestroy = [this](dozu::TSglPanel*) { events.push_back("destroy"); };
        p->OnGLError = [this](dozu::TSglPanel*, const std::string& e) { errors.push_back(e); };
        p->OnResize = [this](dozu::TSglPanel*) { ++resizes; };
    }

    // Shows the form and waits for the panel's first paint with a context.
    void ShowAndInit() {
        form->show();
        ASSERT_TRUE(x11test::WaitFor([&] { return paints > 0; })) << "no paint with a context";
    }

    // Paints the panel once more and waits for it.
    bool Repaint() {
        const int before = paints;
        const size_t errors_before = errors.size();
        panel->repaint();
        return x11test::WaitFor([&] { return paints > before || errors.size() > errors_before; }, 2000);
    }

    int Count(const std::string& event) const { return int(std::count(events.begin(), events.end(), event)); }

    // The back buffer's pixel at (x, y) from the bottom left, read in the
    // next paint.
    std::array<int, 3> PixelAfterPaint(int x, int y) {
        std::array<int, 3> rgb{-1, -1, -1};
        paintHook = [&] {
            unsigned char px[4] = {};
            glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
            rgb = {px[0], px[1], px[2]};
        };
        Repaint();
        paintHook = nullptr;
        return rgb;
    }

    std::unique_ptr<TestForm> form;
    dozu::TSglPanel* panel = nullptr;
    std::vector<std::string> events;
    std::vector<std::string> errors;
    std::function<void()> paintHook;
    int paints = 0;
    int resizes = 0;
};
