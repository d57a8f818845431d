// The main window on a private X server with the system's real GL.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <QApplication>
#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <vector>

#include "editor/file_io.h"
#include "glpanel/scrgl.h"
#include "temp_dir.h"
#include "viewer/debug_mesh.h"
#include "viewer/main_window.h"
#include "x11_environment.h"

using namespace dozu;

namespace {

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        form.FormDebugMesh = &debugger;
        form.show();
        ASSERT_TRUE(x11test::WaitFor([&] { return form.runs() > 0; })) << "no paint ran the program";
    }

    void click(int tag) {
        QTest::mouseClick(form.FrameProgram->findChild<QPushButton*>(QString("Button%1").arg(tag)), Qt::LeftButton);
    }

    // The scene as the next paint draws it, read back from the frame buffer.
    std::vector<uint8_t> render(int& w, int& h) {
        form.RenderScene();
        glFinish();
        w = form.SglPanel->ClientWidth();
        h = form.SglPanel->ClientHeight();
        std::vector<uint8_t> rgb(size_t(w) * size_t(h) * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        return rgb;
    }

    TFormMain form;
    TFormDebugMesh debugger;
};

}  // namespace

TEST_F(MainWindow, CaptionSizeAndStartHints) {
    EXPECT_EQ(form.windowTitle().remove("[*]"), "DOZU - 3D model encoder");
    EXPECT_FALSE(form.isWindowModified());
    EXPECT_EQ(form.centralWidget()->width(), 746);
    EXPECT_EQ(form.centralWidget()->height(), 515);
    EXPECT_EQ(form.PanelBot->height(), 227);
    EXPECT_EQ(form.FrameProgram->LBMessages->count(), 2);
    EXPECT_EQ(form.RefreshGL->interval(), 25);
    EXPECT_TRUE(form.RefreshGL->isActive());
}

TEST_F(MainWindow, RunsAfterAChangeOnly) {
    const int before = form.runs();
    for (int i = 0; i < 5; ++i) {
        form.SglPanel->repaint();
        x11test::Pump(10);
    }
    EXPECT_EQ(form.runs(), before);
    for (int tag : {1, 6, 4, 2, 17}) click(tag);
    ASSERT_TRUE(x11test::WaitFor([&] { return form.runs() > before; }));
    EXPECT_EQ(form.FrameProgram->LBMessages->count(), 0);
    EXPECT_EQ(form.Interpreter().output_mesh().vertex_count(), 12u);
}

TEST_F(MainWindow, DrawsABlackWireframeOnWhite) {
    for (int tag : {1, 6, 4, 2, 17}) click(tag);
    ASSERT_TRUE(x11test::WaitFor([&] { return form.Interpreter().output_mesh().vertex_count() == 12u; }));
    // Let the view centre glide onto the model.
    x11test::Pump(400);
    int w = 0, h = 0;
    const std::vector<uint8_t> rgb = render(w, h);
    ASSERT_GT(w * h, 0);
    size_t black = 0, other = 0;
    int min_x = w, max_x = -1, min_y = h, max_y = -1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = &rgb[(size_t(y) * size_t(w) + size_t(x)) * 3];
            if (p[0] == 0 && p[1] == 0 && p[2] == 0) {
                ++black;
                min_x = std::min(min_x, x);
                max_x = std::max(max_x, x);
                min_y = std::min(min_y, y);
                max_y = std::max(max_y, y);
            } else if (!(p[0] == 255 && p[1] == 255 && p[2] == 255)) {
                ++other;
            }
        }
    EXPECT_GT(black, 200u);
    EXPECT_EQ(other, 0u);
    EXPECT_LT(black, size_t(w) * size_t(h) / 10);
    // The model sits in the middle of the view.
    EXPECT_NEAR((min_x + max_x) / 2.0, w / 2.0, w / 10.0);
    EXPECT_NEAR((min_y + max_y) / 2.0, h / 2.0, h / 10.0);
}

TEST_F(MainWindow, SolidSwitchTogglesTheGLStateAndBack) {
    auto state = [] {
        GLint modes[2];
        glGetIntegerv(GL_POLYGON_MODE, modes);
        return std::vector<int>{glIsEnabled(GL_DEPTH_TEST), glIsEnabled(GL_NORMALIZE), glIsEnabled(GL_LIGHTING),
                                glIsEnabled(GL_LIGHT0), modes[0], modes[1]};
    };
    const std::vector<int> start = state();
    EXPECT_EQ(start, (std::vector<int>{0, 0, 0, 0, GL_LINE, GL_LINE}));
    form.MISolid->trigger();
    EXPECT_TRUE(form.MISolid->isChecked());
    EXPECT_EQ(state(), (std::vector<int>{1, 1, 1, 1, GL_FILL, GL_LINE}));
    form.MISolid->trigger();
    EXPECT_FALSE(form.MISolid->isChecked());
    EXPECT_EQ(state(), start);
}

TEST_F(MainWindow, LeftDragLeavesASpinThatDecays) {
    for (int tag : {1, 6, 4, 2, 17, 17}) click(tag);
    x11test::Pump(200);
    QWidget* panel = form.SglPanel;
    const QPoint c(panel->width() / 2, panel->height() / 2);
    QTest::mousePress(panel, Qt::LeftButton, {}, c);
    x11test::Pump(60);
    for (int i = 1; i <= 4; ++i) {
        QTest::mouseMove(panel, c + QPoint(10 * i, 0));
        x11test::Pump(40);
    }
    EXPECT_TRUE(form.camera().drag_active);
    QTest::mouseRelease(panel, Qt::LeftButton, {}, c + QPoint(40, 0));
    EXPECT_FALSE(form.camera().drag_active);
    form.SglPanel->repaint();
    const float spin = form.camera().trackball.speed;
    EXPECT_GT(spin, 0.0f);
    form.SglPanel->repaint();
    EXPECT_FLOAT_EQ(form.camera().trackball.speed, spin * 0.8f);
    const quaternion before = form.camera().orientation;
    form.SglPanel->repaint();
    EXPECT_NE(form.camera().orientation.w, before.w);
}

TEST_F(MainWindow, DebugItemsFillTheMeshDebugger) {
    for (int tag : {1, 6, 4, 2, 17}) click(tag);
    ASSERT_TRUE(x11test::WaitFor([&] { return form.Interpreter().output_mesh().vertex_count() == 12u; }));
    form.MIDebugInMesh->trigger();
    EXPECT_TRUE(debugger.isVisible());
    EXPECT_EQ(debugger.listing().vertex_lines(), 12u * 7);
    EXPECT_EQ(debugger.listing().index_lines(), 16u);
    form.MIDebugOutMesh->trigger();
    EXPECT_EQ(debugger.listing().vertex_lines(), 12u * 7);
}

TEST_F(MainWindow, FailedLoadShowsAMessageAndKeepsRefreshing) {
    click(1);
    QString shown;
    QTimer::singleShot(200, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->accept();
        }
    });
    EXPECT_FALSE(form.LoadFile("/nonexistent/dir/p.tpg"));
    EXPECT_TRUE(shown.contains("p.tpg")) << shown.toStdString();
    EXPECT_TRUE(form.RefreshGL->isActive());
    EXPECT_EQ(form.FrameProgram->program().lines().size(), 1u);
}

TEST_F(MainWindow, ExportsTheOutputMeshByExtension) {
    for (int tag : {1, 6, 4, 2, 13, 17, 14}) click(tag);
    ASSERT_TRUE(x11test::WaitFor([&] { return form.Interpreter().output_mesh().index_count() == 40u; }));
    auto* file_menu = qobject_cast<QMenu*>(form.MISaveCompiled->parent());
    ASSERT_NE(file_menu, nullptr);
    const QList<QAction*> items = file_menu->actions();
    ASSERT_GT(items.indexOf(form.MIExportMesh), items.indexOf(form.MISaveCompiled));
    EXPECT_EQ(form.MIExportMesh->text(), "&Export Mesh...");

    const dozu::testing::TempDir temp;
    const QString dir = QString::fromStdString(temp.path().string());
    form.ExportMeshTo(dir + "/m.OBJ");
    form.ExportMeshTo(dir + "/m.ply");
    form.ExportMeshTo(dir + "/m.stl");
    QFile obj(dir + "/m.OBJ"), ply(dir + "/m.ply"), stl(dir + "/m.stl");
    ASSERT_TRUE(obj.open(QIODevice::ReadOnly));
    ASSERT_TRUE(ply.open(QIODevice::ReadOnly));
    ASSERT_TRUE(stl.open(QIODevice::ReadOnly));
    EXPECT_EQ(obj.readAll().count("\nf "), 10);
    EXPECT_TRUE(ply.readAll().startsWith("ply\n"));
    EXPECT_EQ(stl.size(), 84 + 20 * 50);
    EXPECT_THROW(form.ExportMeshTo(dir + "/m.txt"), FileError);
    EXPECT_FALSE(QFile::exists(dir + "/m.txt"));
}
