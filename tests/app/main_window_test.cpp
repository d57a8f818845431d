// The main window on a private X server with the system's real GL.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUndoStack>
#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "app/identity.h"
#include "app/main_window.h"
#include "export/mesh_format.h"
#include "geometry/random.h"
#include "glpanel/scrgl.h"
#include "io/file_io.h"
#include "support/temp_dir.h"
#include "support/x11_environment.h"
#include "ui/debug_mesh.h"
#include "ui/export_dialog.h"
#include "ui/path_bytes.h"

using namespace dozu;
using dozu::testing::read_bytes;

namespace {

// The user's settings (recent files) go to the test's own folder.
struct PrivateSettings {
    explicit PrivateSettings(const dozu::testing::TempDir& dir) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(dir / "config"));
    }
};

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        form.FormDebugMesh = &debugger;
        form.ask_unsaved = [](const QString&) { return QMessageBox::Discard; };
        form.show();
        ASSERT_TRUE(x11test::WaitFor([&] { return form.runs() > 0; })) << "no paint ran the program";
    }

    void click(int tag) {
        QTest::mouseClick(form.FrameProgram->findChild<QPushButton*>(QString("Button%1").arg(tag)),
                          Qt::LeftButton);
    }

    // The scene as the next paint draws it, read back from the frame buffer.
    std::vector<uint8_t> render(int& w, int& h) {
        form.render_scene();
        glFinish();
        w = form.SglPanel->ClientWidth();
        h = form.SglPanel->ClientHeight();
        std::vector<uint8_t> rgb(size_t(w) * size_t(h) * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        return rgb;
    }

    // What the X server shows of the view, and a window that covers it.
    QImage view_on_screen() {
        const QRect view(form.SglPanel->mapToGlobal(QPoint(0, 0)), form.SglPanel->size());
        return QGuiApplication::primaryScreen()
            ->grabWindow(0, view.x(), view.y(), view.width(), view.height())
            .toImage();
    }
    std::unique_ptr<QWidget> red_cover(const QRect& area) {
        auto cover = std::make_unique<QWidget>(nullptr, Qt::ToolTip);
        cover->setStyleSheet("background: #ff0000");
        cover->setGeometry(area);
        cover->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(cover.get()));
        x11test::Pump(200);
        return cover;
    }

    // Non-white pixels of a rendered picture: their bounding box and count.
    struct Ink {
        int min_x, max_x, min_y, max_y;
        size_t count;
    };
    static Ink ink(const std::vector<uint8_t>& rgb, int w, int h) {
        Ink k{w, -1, h, -1, 0};
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const uint8_t* p = &rgb[(size_t(y) * size_t(w) + size_t(x)) * 3];
                if (p[0] == 255 && p[1] == 255 && p[2] == 255) continue;
                ++k.count;
                k.min_x = std::min(k.min_x, x);
                k.max_x = std::max(k.max_x, x);
                k.min_y = std::min(k.min_y, y);
                k.max_y = std::max(k.max_y, y);
            }
        return k;
    }

    QString path(const std::string& name) const { return QString::fromStdString(temp / name); }
    // A modal message box's text, answered with its default button.
    static void answer_message_box(QString& text) {
        QTimer::singleShot(200, [&text] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                text = box->text();
                box->accept();
            }
        });
    }

    dozu::testing::TempDir temp;
    PrivateSettings settings{temp};
    TFormMain form;
    TFormDebugMesh debugger;
};

}  // namespace

TEST_F(MainWindow, CaptionSizeAndStartHints) {
    EXPECT_EQ(form.windowTitle().remove("[*]"), "Untitled - DOZU - 3D model encoder");
    EXPECT_FALSE(form.isWindowModified());
    EXPECT_EQ(form.centralWidget()->width(), 746);
    EXPECT_EQ(form.centralWidget()->height(), 515);
    EXPECT_EQ(form.PanelBot->height(), 227);
    EXPECT_EQ(form.FrameProgram->LBMessages->count(), 2);
    // No line 1 to select in a program without lines.
    EXPECT_EQ(form.FrameProgram->LBMessages->item(0)->text(),
              "hint: initialize, grow radius and size and make a first step");
    EXPECT_EQ(form.RefreshGL->interval(), 25);
    EXPECT_TRUE(form.RefreshGL->isActive());
}

TEST_F(MainWindow, ApplicationIconAndDesktopName) {
    set_application_identity();
    EXPECT_EQ(QGuiApplication::desktopFileName(), "dozu");
    EXPECT_EQ(QCoreApplication::applicationName(), "dozu");
    // Drawn from the SVG: the icon engine is installed.
    const QImage icon = QApplication::windowIcon().pixmap(48, 48).toImage();
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.pixelColor(24, 1), QColor(Qt::white));
    EXPECT_EQ(form.windowIcon().cacheKey(), QApplication::windowIcon().cacheKey());
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
        return std::vector<int>{glIsEnabled(GL_DEPTH_TEST),
                                glIsEnabled(GL_NORMALIZE),
                                glIsEnabled(GL_LIGHTING),
                                glIsEnabled(GL_LIGHT0),
                                modes[0],
                                modes[1]};
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
    EXPECT_FALSE(form.load_file("/nonexistent/dir/p.tpg"));
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
    form.export_mesh_to(dir + "/m.OBJ");
    form.export_mesh_to(dir + "/m.ply");
    form.export_mesh_to(dir + "/m.stl");
    QFile obj(dir + "/m.OBJ"), ply(dir + "/m.ply"), stl(dir + "/m.stl");
    ASSERT_TRUE(obj.open(QIODevice::ReadOnly));
    ASSERT_TRUE(ply.open(QIODevice::ReadOnly));
    ASSERT_TRUE(stl.open(QIODevice::ReadOnly));
    EXPECT_EQ(obj.readAll().count("\nf "), 10);
    EXPECT_TRUE(ply.readAll().startsWith("ply\n"));
    EXPECT_EQ(stl.size(), 84 + 20 * 50);
    EXPECT_THROW(form.export_mesh_to(dir + "/m.txt"), FileError);
    EXPECT_FALSE(QFile::exists(dir + "/m.txt"));
}

TEST_F(MainWindow, UnsavedChangesAreAskedAboutAndClosingEndsTheDebuggerToo) {
    QStringList asked;
    QMessageBox::StandardButton answer = QMessageBox::Cancel;
    form.ask_unsaved = [&](const QString& name) {
        asked << name;
        return answer;
    };
    form.MINew->trigger();
    EXPECT_TRUE(asked.isEmpty());  // nothing to lose
    click(1);
    EXPECT_TRUE(form.isWindowModified());
    form.MINew->trigger();
    form.close();
    EXPECT_EQ(asked, (QStringList{"\"Untitled\"", "\"Untitled\""}));
    EXPECT_EQ(form.FrameProgram->program().lines().size(), 1u);
    EXPECT_TRUE(form.isVisible());

    // Save As names the window; Save then writes that file without asking.
    form.FrameProgram->exec_file_dialog = [&](QFileDialog*) { return path("p.tpg"); };
    form.MISaveAs->trigger();
    EXPECT_EQ(form.windowTitle(), "p.tpg[*] - DOZU - 3D model encoder");
    EXPECT_FALSE(form.isWindowModified());
    form.FrameProgram->exec_file_dialog = [](QFileDialog*) -> QString {
        ADD_FAILURE() << "a dialog";
        return {};
    };
    click(2);
    answer = QMessageBox::Save;
    form.MINew->trigger();
    EXPECT_EQ(read_bytes(temp / "p.tpg").size(), 425u);
    EXPECT_TRUE(form.FrameProgram->program().lines().empty());
    EXPECT_EQ(form.windowTitle().remove("[*]"), "Untitled - DOZU - 3D model encoder");

    // Closing with the debugger open ends both windows: nothing keeps the
    // application running.
    click(1);
    answer = QMessageBox::Discard;
    form.MIDebugOutMesh->trigger();
    ASSERT_TRUE(debugger.isVisible());
    QTimer give_up;
    give_up.setSingleShot(true);
    QObject::connect(&give_up, &QTimer::timeout, qApp, [] { QApplication::exit(1); });
    give_up.start(3000);
    QTimer::singleShot(0, &form, [&] { form.close(); });
    EXPECT_EQ(QApplication::exec(), 0) << "closing the main window did not end the event loop";
    give_up.stop();
    EXPECT_FALSE(debugger.isVisible());
}

// A read-only program file (no write bit: refused for root too) is not
// replaced: an error box says why, and the program stays unsaved.
TEST_F(MainWindow, SaveOverAReadOnlyFileIsRefused) {
    std::filesystem::copy_file(DOZU_EXAMPLES "/tube.tpg", temp / "ro.tpg");
    std::filesystem::permissions(temp / "ro.tpg", std::filesystem::perms(0444));
    click(1);
    form.FrameProgram->exec_file_dialog = [&](QFileDialog*) { return path("ro.tpg"); };
    QString shown;
    answer_message_box(shown);
    form.MISaveAs->trigger();
    EXPECT_EQ(shown.toStdString(), "cannot write \"" + (temp / "ro.tpg") + "\": the file is read-only");
    EXPECT_TRUE(form.isWindowModified());
    EXPECT_EQ(read_bytes(temp / "ro.tpg"), read_bytes(DOZU_EXAMPLES "/tube.tpg"));
}

TEST_F(MainWindow, RecentFilesAndDroppedFiles) {
    std::filesystem::copy_file(DOZU_EXAMPLES "/tube.tpg", temp / "a.tpg");
    std::filesystem::copy_file(DOZU_EXAMPLES "/chain.tpg", temp / "b.tpg");
    ASSERT_TRUE(form.load_file(path("a.tpg")));
    ASSERT_TRUE(form.load_file(path("b.tpg")));
    auto recent = [&] {
        QStringList files;
        for (QAction* a : form.MIRecentFiles->actions()) files << a->data().toString();
        return files;
    };
    EXPECT_EQ(recent(), (QStringList{path("b.tpg"), path("a.tpg")}));

    QMimeData program, text;
    program.setUrls({QUrl::fromLocalFile(path("a.tpg"))});
    text.setUrls({QUrl::fromLocalFile(path("notes.txt"))});
    QDragEnterEvent refused(QPoint(50, 50), Qt::CopyAction, &text, Qt::LeftButton, {});
    QApplication::sendEvent(&form, &refused);
    EXPECT_FALSE(refused.isAccepted());
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &program, Qt::LeftButton, {});
    QApplication::sendEvent(&form, &enter);
    EXPECT_TRUE(enter.isAccepted());
    click(4);  // a change to be asked about
    bool asked = false;
    form.ask_unsaved = [&](const QString&) {
        asked = true;
        return QMessageBox::Discard;
    };
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &program, Qt::LeftButton, {});
    QApplication::sendEvent(&form, &drop);
    ASSERT_TRUE(x11test::WaitFor([&] { return form.document().file_name() == path("a.tpg"); }));
    EXPECT_TRUE(asked);
    EXPECT_EQ(form.FrameProgram->program().lines().size(), 12u);
    EXPECT_EQ(recent(), (QStringList{path("a.tpg"), path("b.tpg")}));

    // A recent file that is gone says so and leaves the list.
    std::filesystem::remove(temp / "b.tpg");
    QString shown;
    answer_message_box(shown);
    form.MIRecentFiles->actions().at(1)->trigger();
    EXPECT_TRUE(shown.contains("b.tpg")) << shown.toStdString();
    EXPECT_EQ(recent(), QStringList{path("a.tpg")});
    EXPECT_EQ(form.document().file_name(), path("a.tpg"));
}

TEST_F(MainWindow, StatusBarFigures) {
    for (int tag : {1, 6, 4, 2, 17}) click(tag);
    ASSERT_TRUE(x11test::WaitFor([&] { return form.StatusMesh->text() == "12 vertices, 4 quads"; }))
        << form.StatusMesh->text().toStdString();
    EXPECT_EQ(form.StatusError->text(), "no errors");
    EXPECT_TRUE(QRegularExpression("^run \\d+(\\.\\d\\d)? ms$").match(form.StatusTime->text()).hasMatch())
        << form.StatusTime->text().toStdString();
    click(16);  // "]" without "[": an error in line 6
    ASSERT_TRUE(x11test::WaitFor([&] { return form.StatusError->text() == "first error in line 6"; }))
        << form.StatusError->text().toStdString();
    EXPECT_EQ(form.FrameProgram->LBMessages->item(0)->text(), "6: error: stack underflow, pop statement ignored");
}

TEST_F(MainWindow, GLErrorsGoToStandardError) {
    ::testing::internal::CaptureStderr();
    form.SglPanel->GLError("no visual for the view");
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("dozu: OpenGL: no visual for the view"), std::string::npos) << err;
    EXPECT_TRUE(form.statusBar()->currentMessage().contains("no visual for the view"));
}

TEST_F(MainWindow, MinimumSizeKeepsTheViewAndButtonsUsable) {
    form.resize(100, 100);
    x11test::Pump(100);
    EXPECT_GE(form.SglPanel->height(), 100);
    EXPECT_GE(form.SglPanel->width(), 150);
    for (QPushButton* b : form.FrameProgram->Buttons) {
        // The right column's last pixel lies beyond the panel, as it always did.
        const QRect shown = b->visibleRegion().boundingRect();
        EXPECT_EQ(shown.height(), b->height()) << b->objectName().toStdString();
        EXPECT_GE(shown.width(), b->width() - 1) << b->objectName().toStdString();
    }
}

TEST_F(MainWindow, RepeatableRandom) {
    ASSERT_TRUE(form.load_file(DOZU_EXAMPLES "/rock.tpg"));
    auto next_run = [&] {
        const int before = form.runs();
        form.FrameProgram->program().request_run();
        EXPECT_TRUE(x11test::WaitFor([&] { return form.runs() > before; }));
        const MeshView v = output_mesh_view(form.Interpreter().output_mesh());
        return std::vector<float>(v.records, v.records + size_t(v.vertex_count) * size_t(v.stride));
    };
    const std::vector<float> first = next_run();
    EXPECT_NE(next_run(), first);  // the sequence runs on
    form.MIRepeatableRandom->trigger();
    const std::vector<float> repeated = next_run();
    EXPECT_EQ(next_run(), repeated);

    // What the batch tool makes: a fresh run from 0.
    Program p;
    p.LoadProgram(DOZU_EXAMPLES "/rock.tpg");
    turtle t;
    interpreter i(t);
    MessageList messages;
    set_random_state(0);
    i.run(p.lines(), messages, int(p.lines().size()));
    const MeshView v = output_mesh_view(i.output_mesh());
    EXPECT_EQ(std::vector<float>(v.records, v.records + size_t(v.vertex_count) * size_t(v.stride)), repeated);
}

TEST_F(MainWindow, WheelZoomsAndZoomToFitFramesTheModel) {
    for (int tag : {1, 6, 4, 2, 13, 17, 17, 17, 17, 17, 17, 14}) click(tag);
    ASSERT_TRUE(x11test::WaitFor([&] { return form.Interpreter().output_mesh().vertex_count() > 12; }));
    const QPointF at(form.SglPanel->width() / 2, form.SglPanel->height() / 2);
    QWheelEvent away(at, form.SglPanel->mapToGlobal(at), {}, QPoint(0, -120), Qt::NoButton, {}, Qt::NoScrollPhase,
                     false);
    QApplication::sendEvent(form.SglPanel, &away);
    EXPECT_GT(form.camera().zoom, 0.0f);

    int w = 0, h = 0;
    for (float zoom : {-4.0f, 60.0f}) {  // too close to see it all, then a speck
        form.camera().zoom = zoom;
        form.MIZoomFit->trigger();
        const std::vector<uint8_t> rgb = render(w, h);
        const Ink k = ink(rgb, w, h);
        ASSERT_GT(k.count, 0u);
        EXPECT_GT(k.min_x, 0);
        EXPECT_GT(k.min_y, 0);
        EXPECT_LT(k.max_x, w - 1);
        EXPECT_LT(k.max_y, h - 1);
        EXPECT_GT(std::max(double(k.max_x - k.min_x) / w, double(k.max_y - k.min_y) / h), 0.5);
    }
    // A model whose fitted view lies past the default far plane is seen whole.
    for (int i = 0; i < 300; ++i) click(17);
    ASSERT_TRUE(x11test::WaitFor([&] { return form.Turtle().bounds_radius() > 75; }));
    form.MIZoomFit->trigger();
    const Ink k = ink(render(w, h), w, h);
    EXPECT_GT(std::max(double(k.max_x - k.min_x) / w, double(k.max_y - k.min_y) / h), 0.5);
}

TEST_F(MainWindow, SolidModelHasContrastOnWhite) {
    ASSERT_TRUE(form.load_file(DOZU_EXAMPLES "/blob.tpg"));
    ASSERT_TRUE(x11test::WaitFor([&] { return form.Interpreter().output_mesh().vertex_count() > 100; }));
    form.MISolid->trigger();
    form.MIZoomFit->trigger();
    int w = 0, h = 0;
    const std::vector<uint8_t> rgb = render(w, h);
    double sum = 0, sum2 = 0;
    size_t n = 0;
    for (size_t i = 0; i < rgb.size(); i += 3) {
        if (rgb[i] == 255 && rgb[i + 1] == 255 && rgb[i + 2] == 255) continue;
        const double luma = (0.299 * rgb[i] + 0.587 * rgb[i + 1] + 0.114 * rgb[i + 2]) / 255;
        sum += luma;
        sum2 += luma * luma;
        ++n;
    }
    ASSERT_GT(n, size_t(w) * size_t(h) / 20);
    const double mean = sum / double(n), spread = std::sqrt(sum2 / double(n) - mean * mean);
    // Well darker than the white around it, with shades that show the form.
    EXPECT_LT(mean, 0.7);
    EXPECT_GT(spread, 0.05);
}

TEST_F(MainWindow, ViewRepaintsWhatADialogUncoversWithoutARun) {
    for (int tag : {1, 6, 4, 2, 17}) click(tag);
    ASSERT_TRUE(x11test::WaitFor([&] { return form.Interpreter().output_mesh().vertex_count() == 12u; }));
    x11test::Pump(300);
    const QRect view(form.SglPanel->mapToGlobal(QPoint(0, 0)), form.SglPanel->size());
    auto red_pixels = [&] {
        const QImage shot = view_on_screen();
        int red = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                red += c.red() > 200 && c.green() < 50 && c.blue() < 50;
            }
        return red;
    };
    int runs_during = -1, red_after = -1;
    const int runs_before = form.runs();
    form.FrameProgram->program().request_run();  // a run is due, but not while the dialog is up
    form.FrameProgram->exec_file_dialog = [&](QFileDialog*) {
        const auto cover =
            red_cover(view.adjusted(view.width() / 4, view.height() / 4, -view.width() / 4, -view.height() / 4));
        EXPECT_GT(red_pixels(), 1000);
        cover->hide();
        x11test::Pump(300);
        red_after = red_pixels();
        runs_during = form.runs();
        return QString();
    };
    form.MILoad->trigger();
    EXPECT_EQ(red_after, 0);
    EXPECT_EQ(runs_during, runs_before);
    EXPECT_TRUE(x11test::WaitFor([&] { return form.runs() > runs_before; }));
}

TEST_F(MainWindow, ACancelledRunLeavesTheLastModelAndNoOtherTrace) {
    ASSERT_TRUE(form.load_file(DOZU_EXAMPLES "/rock.tpg"));
    ASSERT_TRUE(
        x11test::WaitFor([&] { return !form.running() && form.Interpreter().output_mesh().vertex_count(); }));
    const FloatArray rock = form.Interpreter().output_mesh().vertices;
    const int messages = form.FrameProgram->LBMessages->count();
    const uint32_t random_after_rock = random_state();  // the run's thread is idle

    // Rock's table with 30,000 steps, then as many roughenings of them all.
    std::vector<uint8_t> slow = read_bytes(DOZU_EXAMPLES "/rock.tpg");
    slow.resize(slow.size() - 16);
    slow.insert(slow.end(), {1, 6, 4, 2});
    slow.insert(slow.end(), 30000, 17);
    slow.insert(slow.end(), 30000, 20);
    dozu::testing::write_bytes(temp / "slow.tpg", slow);
    ASSERT_TRUE(form.load_file(path("slow.tpg")));
    ASSERT_TRUE(x11test::WaitFor([&] { return form.StatusRunning->isVisible(); }));
    EXPECT_TRUE(form.StatusRunning->text().startsWith("running... ")) << form.StatusRunning->text().toStdString();
    EXPECT_TRUE(form.CancelRunButton->isVisible());
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QTest::keyClick(&form, Qt::Key_Escape);
    ASSERT_TRUE(x11test::WaitFor([&] { return !form.running(); }));
    x11test::Pump(50);
    EXPECT_FALSE(form.StatusRunning->isVisible());
    EXPECT_EQ(form.Interpreter().output_mesh().vertices, rock);
    EXPECT_EQ(form.FrameProgram->LBMessages->count(), messages);
    EXPECT_EQ(random_state(), random_after_rock);

    // The next run goes on from where the rock left the random sequence.
    Program p;
    p.LoadProgram(DOZU_EXAMPLES "/rock.tpg");
    turtle t;
    interpreter plain(t);
    MessageList plain_messages;
    plain.run(p.lines(), plain_messages, int(p.lines().size()));
    set_random_state(random_after_rock);
    const int runs = form.runs();
    ASSERT_TRUE(form.load_file(DOZU_EXAMPLES "/rock.tpg"));
    ASSERT_TRUE(x11test::WaitFor([&] { return form.runs() > runs && !form.running(); }));
    set_random_state(random_after_rock);
    plain.run(p.lines(), plain_messages, int(p.lines().size()));
    EXPECT_EQ(output_mesh_view(form.Interpreter().output_mesh()).vertex_count, plain.output_mesh().vertex_count());
    plain.output_mesh().to_display_form();
    EXPECT_EQ(form.Interpreter().output_mesh().vertices, plain.output_mesh().vertices);
}

TEST_F(MainWindow, AnIdleViewIsNotRepainted) {
    for (int tag : {1, 6, 4, 2, 13, 17, 14}) click(tag);
    float center[3];
    ASSERT_TRUE(x11test::WaitFor([&] {
        form.Turtle().bounds_center(center);
        return form.runs() > 1 && !form.running() && form.camera().settled(center);
    }));
    x11test::Pump(100);
    const int paints = form.paints();
    x11test::Pump(300);
    EXPECT_EQ(form.paints(), paints);
    form.MIResetCam->trigger();
    EXPECT_TRUE(x11test::WaitFor([&] { return form.paints() > paints; }));

    // A model too slow to animate (every paint here, with no time allowed)
    // is painted where the glide to it ends, not at every step of it, and
    // an expose shows that picture again without drawing the model.
    form.set_slow_paint(0);
    for (int i = 0; i < 40; ++i) click(17);
    ASSERT_TRUE(x11test::WaitFor([&] { return !form.running() && form.Turtle().bounds_radius() > 10; }));
    x11test::Pump(300);
    form.Turtle().bounds_center(center);
    EXPECT_TRUE(form.camera().settled(center));
    const int drawn = form.paints();
    const QImage before = view_on_screen();
    const auto cover = red_cover(QRect(form.SglPanel->mapToGlobal(QPoint(0, 0)), form.SglPanel->size()));
    ASSERT_NE(view_on_screen(), before);
    cover->hide();
    x11test::Pump(300);
    EXPECT_EQ(view_on_screen(), before);
    EXPECT_EQ(form.paints(), drawn);
}

namespace {

// What a command prints on its standard output.
std::string output_of(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    pclose(pipe);
    return out;
}

}  // namespace

// Copy Share Link copies what `dozu-cli link` prints for the same program,
// at the address set by Share Link Address... (remembered) or, without one,
// at the page on this computer.
TEST_F(MainWindow, CopyShareLinkCopiesWhatTheBatchToolPrints) {
    for (int tag : {1, 6, 4, 2, 13, 17, 17, 19}) click(tag);
    form.document().edit_cell(CommandTable::title_column(6), CommandTable::row_of(6), "mine");
    form.document().save(path("p.tpg"), false);
    const std::string program = "'" + (temp / "p.tpg") + "'";

    form.MICopyShareLink->trigger();
    EXPECT_EQ(QApplication::clipboard()->text().toStdString() + "\n", output_of(DOZU_CLI " link " + program));
    EXPECT_TRUE(QApplication::clipboard()->text().startsWith("file:///"));

    form.ask_share_base = [](const QString& current) {
        EXPECT_EQ(current, "");
        return std::optional<QString>("https://example.org/dozu/");
    };
    form.MIShareLinkAddress->trigger();
    form.MICopyShareLink->trigger();
    EXPECT_EQ(QApplication::clipboard()->text().toStdString() + "\n",
              output_of(DOZU_CLI " link " + program + " --base https://example.org/dozu/"));
    EXPECT_TRUE(QApplication::clipboard()->text().startsWith("https://example.org/dozu/#t="));

    TFormMain again;
    again.ask_share_base = [](const QString& current) {
        EXPECT_EQ(current, "https://example.org/dozu/");
        return std::nullopt;
    };
    again.MIShareLinkAddress->trigger();
}

// Saves and exports are confirmed in the status bar; an empty model is
// written only when the user agrees; nothing but the program is written
// over the program's file, by any name.
TEST_F(MainWindow, WritesAreConfirmedAndNeverOverTheProgram) {
    int asked = 0;
    bool agree = false;
    form.ask_to_go_on = [&](const QString&) { return ++asked, agree; };
    EXPECT_FALSE(form.export_mesh_to(path("empty.stl")));
    EXPECT_FALSE(std::filesystem::exists(temp / "empty.stl"));
    agree = true;
    EXPECT_TRUE(form.export_mesh_to(path("empty.stl")));
    EXPECT_EQ(form.statusBar()->currentMessage(), "Exported empty.stl: 0 vertices, 0 triangles");

    std::filesystem::copy_file(DOZU_EXAMPLES "/chain.tpg", temp / "chain.tpg");
    const std::vector<uint8_t> program = read_bytes(temp / "chain.tpg");
    ASSERT_TRUE(form.load_file(path("chain.tpg")));
    ASSERT_TRUE(
        x11test::WaitFor([&] { return !form.running() && form.Interpreter().output_mesh().index_count(); }));
    EXPECT_TRUE(form.export_mesh_to(path("chain.glb")));
    EXPECT_EQ(form.statusBar()->currentMessage(), "Exported chain.glb: 56 vertices, 108 triangles");
    EXPECT_EQ(asked, 2);
    form.FrameProgram->exec_file_dialog = [&](QFileDialog*) { return path("chain.bin"); };
    form.MISaveCompiled->trigger();
    EXPECT_EQ(form.statusBar()->currentMessage(), "Saved chain.bin (compiled): 27 lines");

    std::filesystem::create_symlink(temp / "chain.tpg", temp / "link.obj");
    EXPECT_THROW(form.export_mesh_to(path("link.obj")), FileError);
    form.FrameProgram->exec_file_dialog = [&](QFileDialog*) { return path("chain.tpg"); };
    QString shown;
    answer_message_box(shown);
    form.MISaveCompiled->trigger();
    EXPECT_EQ(shown.toStdString(), "cannot write \"" + (temp / "chain.tpg") + "\": it is the program file \"" +
                                       (temp / "chain.tpg") + "\"");
    EXPECT_EQ(read_bytes(temp / "chain.tpg"), program);
}

// A name that is not UTF-8 is loaded, kept among the recent files
// and dropped as the bytes it is; the stand-in a file dialog gives for it
// is named for what it is.
TEST_F(MainWindow, FileNamesThatAreNotUtf8) {
    const std::string bad = temp / "bad\xFF.tpg";
    std::filesystem::copy_file(DOZU_EXAMPLES "/tube.tpg", bad);
    ASSERT_TRUE(form.load_file(path_from_bytes(bad)));
    EXPECT_EQ(form.windowTitle(), "bad\uFFFD.tpg[*] - DOZU - 3D model encoder");
    form.MINew->trigger();
    form.MIRecentFiles->actions().value(0)->trigger();
    EXPECT_EQ(path_bytes(form.document().file_name()), bad);

    form.MINew->trigger();
    QMimeData dropped;
    dropped.setUrls({QUrl::fromEncoded("file://" + QByteArray::fromStdString(bad).toPercentEncoding("/"))});
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &dropped, Qt::LeftButton, {});
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &dropped, Qt::LeftButton, {});
    QApplication::sendEvent(&form, &enter);
    QApplication::sendEvent(&form, &drop);
    EXPECT_TRUE(x11test::WaitFor([&] { return path_bytes(form.document().file_name()) == bad; }));

    form.FrameProgram->exec_file_dialog = [&](QFileDialog*) { return path("bad") + QChar(0xFFFD) + ".tpg"; };
    QString shown;
    answer_message_box(shown);
    form.MILoad->trigger();
    EXPECT_TRUE(shown.contains("its name on disk is not UTF-8")) << shown.toStdString();
}

// A loaded program is framed once it has run; Zoom to Fit with nothing to
// fit leaves the camera alone.
TEST_F(MainWindow, ALoadIsFramedAndAFitOfNothingKeepsTheCamera) {
    form.camera().pan_x = 0.5f;
    form.camera().zoom = 3.0f;
    form.MIZoomFit->trigger();
    EXPECT_EQ(form.camera().pan_x, 0.5f);
    EXPECT_EQ(form.camera().zoom, 3.0f);

    const int runs = form.runs();
    ASSERT_TRUE(form.load_file(DOZU_EXAMPLES "/chain.tpg"));
    ASSERT_TRUE(x11test::WaitFor([&] { return form.runs() > runs && !form.running(); }));
    int w = 0, h = 0;
    const std::vector<uint8_t> rgb = render(w, h);
    const Ink k = ink(rgb, w, h);
    EXPECT_TRUE(k.min_x > 0 && k.min_y > 0 && k.max_x < w - 1 && k.max_y < h - 1);
    EXPECT_GT(std::max(double(k.max_x - k.min_x) / w, double(k.max_y - k.min_y) / h), 0.5);
}

// A file that does not look like a program replaces the program only when
// the user wants it, says why among the messages, and its control
// characters show as escapes on one line.
TEST_F(MainWindow, AFileThatIsNotAProgramLoadsOnlyWhenWanted) {
    std::vector<uint8_t> odd = read_bytes(DOZU_EXAMPLES "/tube.tpg");
    odd.insert(odd.begin(), {'a', '\n', 'b', 0x01});
    dozu::testing::write_bytes(temp / "odd.tpg", odd);
    QString asked;
    bool agree = false;
    form.ask_to_go_on = [&](const QString& question) { return asked = question, agree; };
    click(1);
    EXPECT_FALSE(form.load_file(path("odd.tpg")));
    EXPECT_TRUE(
        asked.startsWith("\"odd.tpg\" does not look like a dozu program: table cell 1 holds the byte 0x0A."));
    EXPECT_EQ(form.document().program().lines().size(), 1u);
    agree = true;
    ASSERT_TRUE(form.load_file(path("odd.tpg")));
    EXPECT_EQ(form.FrameProgram->LBMessages->item(0)->text(),
              "warning: does not look like a dozu program: table cell 1 holds the byte 0x0A");
    EXPECT_EQ(form.FrameProgram->Buttons[0]->text(), "a\\nb\\x01init");
}

// The View menu's mnemonics, the dialogs' titles and the names they
// suggest.
TEST_F(MainWindow, MnemonicsTitlesAndSuggestedNames) {
    QString keys;
    for (QAction* item : qobject_cast<QMenu*>(form.MIRepeatableRandom->parent())->actions())
        if (const qsizetype at = item->text().indexOf('&'); at >= 0) {
            EXPECT_FALSE(keys.contains(item->text()[at + 1].toLower())) << item->text().toStdString();
            keys += item->text()[at + 1].toLower();
        }
    std::filesystem::copy_file(DOZU_EXAMPLES "/chain.tpg", temp / "chain.tpg");
    ASSERT_TRUE(form.load_file(path("chain.tpg")));
    QStringList titles, names;
    form.FrameProgram->exec_file_dialog = [&](QFileDialog* dialog) {
        titles << dialog->windowTitle();
        names << dialog->selectedFiles().value(0);
        return QString();
    };
    form.MISaveAs->trigger();
    form.MISaveCompiled->trigger();
    form.SDExportMesh->selectNameFilter(form.SDExportMesh->nameFilters()[3]);
    form.MIExportMesh->trigger();
    EXPECT_EQ(titles, (QStringList{"Save As", "Save Compiled", "Export Mesh"}));
    EXPECT_EQ(names, (QStringList{path("chain.tpg"), path("chain.bin"), path("chain.glb")}));
}
