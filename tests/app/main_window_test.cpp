// The main window on a private X server with the system's real GL.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QUndoStack>
#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <set>
#include <vector>

#include "app/help.h"
#include "app/identity.h"
#include "app/main_window.h"
#include "export/mesh_format.h"
#include "geometry/random.h"
#include "glpanel/scrgl.h"
#include "io/file_io.h"
#include "support/stl_reader.h"
#include "support/temp_dir.h"
#include "support/x11_environment.h"
#include "ui/debug_mesh.h"
#include "ui/export_dialog.h"
#include "ui/export_picture_dialog.h"
#include "ui/path_bytes.h"

using namespace dozu;
using dozu::testing::read_bytes;
using dozu::testing::read_stl;
using dozu::testing::StlFacet;

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
    // The view and the panel at their first sizes, a splitter's handle
    // between them.
    EXPECT_EQ(form.SglPanel->size(), QSize(746, 288));
    EXPECT_EQ(form.PanelBot->height(), 227);
    EXPECT_EQ(form.centralWidget()->height(), 515 + form.SplitterMain->handleWidth());
    // A larger window gives the view the new space.
    form.resize(form.width() + 100, form.height() + 150);
    x11test::Pump(100);
    EXPECT_EQ(form.SglPanel->size(), QSize(846, 438));
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
    // While it is open, every run fills it again.
    click(17);
    EXPECT_TRUE(x11test::WaitFor([&] { return debugger.listing().vertex_lines() == 16u * 7; }));
    debugger.hide();
    click(17);
    ASSERT_TRUE(x11test::WaitFor([&] { return form.Interpreter().output_mesh().vertex_count() == 20u; }));
    EXPECT_EQ(debugger.listing().vertex_lines(), 16u * 7);
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

    // The scale multiplies every coordinate; one that breaks the model is
    // refused before a file is written.
    form.export_mesh_to(dir + "/s.stl", MeshFormat::stl, 2.5);
    stl.seek(0);
    const std::vector<StlFacet> plain = read_stl(stl.readAll().toStdString());
    QFile scaled_file(dir + "/s.stl");
    ASSERT_TRUE(scaled_file.open(QIODevice::ReadOnly));
    const std::vector<StlFacet> scaled = read_stl(scaled_file.readAll().toStdString());
    ASSERT_EQ(scaled.size(), plain.size());
    for (size_t f = 0; f < plain.size(); ++f)
        for (size_t c = 0; c < 3; ++c)
            for (size_t i = 0; i < 3; ++i)
                EXPECT_FLOAT_EQ(scaled[f].corners[c][i], float(plain[f].corners[c][i] * 2.5));
    try {
        form.export_mesh_to(dir + "/big.stl", MeshFormat::stl, 1e300);
        ADD_FAILURE() << "no error";
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find("too large for this model"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(QFile::exists(dir + "/big.stl"));

    // In trace mode the file gets the whole program, the view keeps its
    // part.
    form.FrameProgram->CBTraceMode->click();
    form.document().select_line(5);
    ASSERT_TRUE(x11test::WaitFor([&] { return form.Interpreter().output_mesh().index_count() < 40u; }));
    const size_t part = form.Interpreter().output_mesh().index_count();
    EXPECT_TRUE(form.export_mesh_to(dir + "/whole.obj"));
    QFile whole(dir + "/whole.obj");
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    EXPECT_EQ(whole.readAll().count("\nf "), 10);
    EXPECT_EQ(form.Interpreter().output_mesh().index_count(), part);
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

    // Two files of one name tell their folders; each item its whole path.
    std::filesystem::create_directory(temp / "other");
    std::filesystem::copy_file(temp / "a.tpg", temp / "other/a.tpg");
    ASSERT_TRUE(form.load_file(path("other/a.tpg")));
    QStringList captions;
    for (QAction* a : form.MIRecentFiles->actions()) captions << a->text() + " | " + a->toolTip();
    EXPECT_EQ(captions,
              (QStringList{"&1 a.tpg (" + path("other") + ") | " + path("other/a.tpg"),
                           "&2 a.tpg (" + QString::fromStdString(temp.path()) + ") | " + path("a.tpg")}));
    EXPECT_TRUE(form.MIRecentFiles->toolTipsVisible());
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

// Pixels of a rendered picture (rows from the bottom) that pass a test.
template <typename Test>
std::vector<std::pair<int, int>> pixels(const std::vector<uint8_t>& rgb, int w, int h, Test test) {
    std::vector<std::pair<int, int>> found;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = &rgb[(size_t(y) * size_t(w) + size_t(x)) * 3];
            if (test(p[0], p[1], p[2])) found.emplace_back(x, y);
        }
    return found;
}

bool black(int r, int g, int b) { return r == 0 && g == 0 && b == 0; }
bool orange(int r, int g, int b) { return r > 200 && g > 70 && g < 160 && b < 60; }

double mean_y(const std::vector<std::pair<int, int>>& found) {
    double sum = 0;
    for (const auto& p : found) sum += p.second;
    return found.empty() ? -1 : sum / double(found.size());
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

    const auto copy = [&] {
        QApplication::clipboard()->clear();
        form.MICopyShareLink->trigger();
        EXPECT_TRUE(x11test::WaitFor([&] { return !QApplication::clipboard()->text().isEmpty(); }));
    };
    copy();
    EXPECT_EQ(QApplication::clipboard()->text().toStdString() + "\n", output_of(DOZU_CLI " link " + program));
    EXPECT_TRUE(QApplication::clipboard()->text().startsWith("file:///"));

    form.ask_share_base = [](const QString& current) {
        EXPECT_EQ(current, "");
        return std::optional<QString>("https://example.org/dozu/");
    };
    form.MIShareLinkAddress->trigger();
    copy();
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

// Links and their address within what a browser opens: a bad address is
// refused in the dialog and when read back; a link too long is refused
// once it was made off the window's thread.
TEST_F(MainWindow, ShareLinksAndTheirAddressAreBounded) {
    QStringList boxes;
    const QStringList typed = {"javascript:alert(document.domain)//", "https://" + QString(1 << 20, 'a'),
                               "https://example.org/"};
    QTimer answerer;
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxes << box->text();
            box->accept();
        } else if (auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget())) {
            if (boxes.size() == typed.size()) return dialog->accept();
            dialog->setTextValue(typed[boxes.size()]);
            const bool ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->isEnabled();
            boxes << dialog->labelText().section("\n\n", 1) + (ok ? "OK" : "");
        }
    });
    answerer.start(50);
    form.MIShareLinkAddress->trigger();
    EXPECT_EQ(boxes, QStringList({"Not usable: the address must start with http:, https: or file:.",
                                  "Not usable: the address is longer than 2,000 characters.", "OK"}));
    EXPECT_EQ(QSettings("dozu", "dozu").value("share/base"), "https://example.org/");

    boxes.clear();
    QSettings("dozu", "dozu").setValue("share/base", QString(2001, 'a').prepend("http:"));
    form.MICopyShareLink->trigger();
    EXPECT_EQ(boxes, QStringList{"No share link was copied: the Share Link Address is not usable (the address is "
                                 "longer than 2,000 characters). Set another in File \u203a Share Link Address."});

    // A title of 12 MiB of noise: a link too long, found out on a thread.
    boxes.clear();
    QSettings("dozu", "dozu").remove("share/base");
    std::string noise(12 << 20, ' ');
    for (uint32_t x = 1; char& c : noise) c = char((x = x * 1103515245u + 12345u) >> 24);
    form.document().set_cell(0, 1, noise);
    form.MICopyShareLink->trigger();
    EXPECT_EQ(form.statusBar()->currentMessage(), "Making the share link...");
    ASSERT_TRUE(x11test::WaitFor([&] { return !boxes.isEmpty(); }, 60000));
    EXPECT_EQ(boxes, QStringList{"No share link was copied: the link would be longer than 2,097,152 characters, "
                                 "the most a browser opens. Share the program file instead."});
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
    std::filesystem::copy_file(DOZU_EXAMPLES "/chain.tpg", temp / "chain.tpg");
    ASSERT_TRUE(form.load_file(path("chain.tpg")));
    // No two items of a menu share a mnemonic: the menu bar, each menu and
    // submenu, the program list's context menu.
    std::function<void(const QList<QAction*>&)> distinct = [&](const QList<QAction*>& items) {
        QString keys;
        for (QAction* item : items) {
            const QString text = QString(item->text()).remove("&&");
            if (const qsizetype at = text.indexOf('&'); at >= 0) {
                EXPECT_FALSE(keys.contains(text[at + 1].toLower())) << text.toStdString();
                keys += text[at + 1].toLower();
            }
            if (item->menu()) distinct(item->menu()->actions());
        }
    };
    distinct(form.menuBar()->actions());
    distinct(form.FrameProgram->LBCode->actions());
    EXPECT_EQ(form.MILoad->text() + form.MISave->text() + form.MISaveCompiled->text(), "&Load&SaveSave &Compiled");
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

// Each View option read back from the view's real pixels: the option draws
// what it says, and turned off again leaves the plain picture as it was.
TEST_F(MainWindow, ViewOptionsDrawWhatTheySay) {
    // A closed column of four cells, going up the screen.
    for (int tag : {1, 6, 4, 2, 13, 17, 17, 17, 17, 14}) click(tag);
    ASSERT_TRUE(x11test::WaitFor([&] { return form.Interpreter().output_mesh().index_count() == 4u * 22; }));
    float center[3];
    form.Turtle().bounds_center(center);
    form.camera().settle(center);
    form.camera().turn(20, 20);  // the box's back edges apart from its front ones
    int w = 0, h = 0;
    // Every render turns the orientation's sign (a still trackball's frame):
    // pictures two renders apart have the very same camera.
    const std::vector<uint8_t> plain = render(w, h);
    form.MIShowAxesGrid->trigger();
    const std::vector<uint8_t> axes = render(w, h);
    form.MIShowAxesGrid->trigger();
    EXPECT_EQ(render(w, h), plain);
    auto count = [&](const std::vector<uint8_t>& rgb, auto test) { return pixels(rgb, w, h, test).size(); };
    EXPECT_GT(count(axes, [](int r, int g, int b) { return r > 150 && g < 90 && b < 90; }), 30u);   // x
    EXPECT_GT(count(axes, [](int r, int g, int b) { return g > 100 && r < 60 && b < 60; }), 10u);   // y
    EXPECT_GT(count(axes, [](int r, int g, int b) { return b > 150 && r < 90 && g < 120; }), 30u);  // z
    EXPECT_GT(count(axes, [](int r, int g, int b) { return r == g && g == b && r > 180 && r < 230; }), 300u);

    // Hidden lines: a part of the wireframe, its back edges gone.
    form.MIHiddenLines->trigger();
    const std::vector<uint8_t> hidden = render(w, h);
    form.MIHiddenLines->trigger();
    const auto wire_ink = pixels(render(w, h), w, h, black), hidden_ink = pixels(hidden, w, h, black);
    const std::set<std::pair<int, int>> wire_set(wire_ink.begin(), wire_ink.end());
    size_t kept = 0;
    for (const auto& p : hidden_ink) kept += wire_set.count(p);
    EXPECT_GT(kept, hidden_ink.size() * 95 / 100);
    EXPECT_LT(hidden_ink.size(), wire_ink.size() * 85 / 100);
    EXPECT_GT(hidden_ink.size(), wire_ink.size() * 40 / 100);
    // The column hides the z axis inside it as it hides the grid behind it.
    form.MIShowAxesGrid->trigger();
    form.MIHiddenLines->trigger();
    const std::vector<uint8_t> hidden_axes = render(w, h);
    form.MIShowAxesGrid->trigger();
    form.MIHiddenLines->trigger();
    auto blue = [](int r, int g, int b) { return b > 150 && r < 90 && g < 120; };
    EXPECT_LT(count(hidden_axes, blue), count(axes, blue) / 2);

    // Edges over the solid, in their own dark colour.
    form.MISolid->trigger();
    auto edge = [](int r, int g, int b) { return r < 40 && g < 40 && b > 35 && b < 70; };
    const size_t solid_edges = count(render(w, h), edge);
    form.MIShowEdges->trigger();
    const size_t with_edges = count(render(w, h), edge);
    form.MIShowEdges->trigger();
    form.MISolid->trigger();
    EXPECT_EQ(solid_edges, 0u);
    EXPECT_GT(with_edges, 300u);

    // The turtle's marker, after the selected line in trace mode: higher up
    // the screen for a later line of the column.
    form.MIShowTurtle->trigger();
    EXPECT_GT(count(render(w, h), orange), 20u);
    form.FrameProgram->CBTraceMode->click();
    std::vector<double> heights;
    for (int line : {5, 8}) {
        const int runs = form.runs();
        form.document().select_line(line);
        form.FrameProgram->LBCodeClick();
        ASSERT_TRUE(x11test::WaitFor([&] { return form.runs() > runs && !form.running(); }));
        form.camera().settle(center);  // the same view for both
        heights.push_back(mean_y(pixels(render(w, h), w, h, orange)));
    }
    EXPECT_GT(heights[1], heights[0] + 10);

    // The view marks the keyboard focus with a frame along its border.
    form.MIShowTurtle->trigger();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    const QColor c = form.palette().color(QPalette::Highlight);
    auto ring = [&](const std::vector<uint8_t>& rgb) {
        size_t n = 0;
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = &rgb[size_t(x) * 3];
            n += std::abs(p[0] - c.red()) < 8 && std::abs(p[1] - c.green()) < 8 && std::abs(p[2] - c.blue()) < 8;
        }
        return n;
    };
    EXPECT_EQ(ring(render(w, h)), 0u);
    QTest::keyClick(form.FrameProgram->LBCode, Qt::Key_Backtab);
    ASSERT_TRUE(form.SglPanel->hasFocus()) << "Shift+Tab from the program list does not reach the view";
    EXPECT_GT(ring(render(w, h)), size_t(w) * 9 / 10);
    const quaternion before = form.camera().orientation;
    const float zoom = form.camera().zoom;
    QTest::keyClick(form.SglPanel, Qt::Key_Left);
    QTest::keyClick(form.SglPanel, Qt::Key_Plus);
    EXPECT_NE(form.camera().orientation.w, before.w);
    EXPECT_LT(form.camera().zoom, zoom);

    // Tab on to the program list, which the focus ring marks.
    QTest::keyClick(form.SglPanel, Qt::Key_Tab);
    ASSERT_TRUE(form.FrameProgram->LBCode->hasFocus());
    EXPECT_EQ(ring(render(w, h)), 0u);
    const QImage list = form.FrameProgram->LBCode->grab().toImage();
    int marked = 0;
    for (int y = 0; y < list.height(); ++y) marked += list.pixelColor(0, y) == c && list.pixelColor(1, y) == c;
    EXPECT_EQ(marked, list.height());
}

// What a session leaves is what the next one starts with; solid output
// starts off.
TEST_F(MainWindow, SettingsSurviveARestart) {
    std::filesystem::copy_file(DOZU_EXAMPLES "/tube.tpg", temp / "tube.tpg");
    ASSERT_TRUE(form.load_file(path("tube.tpg")));
    form.resize(900, 700);
    x11test::Pump(100);
    form.SplitterMain->setSizes({300, form.SplitterMain->height() - 300 - form.SplitterMain->handleWidth()});
    for (QAction* a :
         {form.MIRepeatableRandom, form.MIShowTurtle, form.MIShowAxesGrid, form.MIHiddenLines, form.MISolid})
        a->trigger();
    const QList<int> sizes = form.SplitterMain->sizes();
    // An export to a folder typed into the name box.
    std::filesystem::create_directory(temp / "meshes");
    form.FrameProgram->exec_file_dialog = [&](QFileDialog* dialog) {
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText(path("meshes/tube.obj"));
        QMetaObject::invokeMethod(dialog, "accept");
        return dialog->selectedFiles().value(0);
    };
    form.MIExportMesh->trigger();
    ASSERT_TRUE(std::filesystem::exists(temp / "meshes/tube.obj"));
    form.close();

    TFormMain next;
    next.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&next));
    EXPECT_EQ(next.size(), QSize(900, 700));
    EXPECT_EQ(next.SplitterMain->sizes(), sizes);
    EXPECT_TRUE(next.MIRepeatableRandom->isChecked());
    EXPECT_TRUE(next.view_options().show_turtle);
    EXPECT_TRUE(next.view_options().show_axes_grid);
    EXPECT_TRUE(next.view_options().hidden_lines);
    EXPECT_FALSE(next.view_options().show_edges);
    EXPECT_FALSE(next.MISolid->isChecked());
    EXPECT_EQ(next.FrameProgram->ODProgram->directory().absolutePath(), QString::fromStdString(temp.path()));
    EXPECT_EQ(next.SDExportMesh->directory().absolutePath(), path("meshes"));
}

// Export Picture at the view's size gives what dozu-cli --png draws of the
// same program; a larger picture, drawn in tiles, what --size draws.
TEST_F(MainWindow, ExportPictureMatchesTheBatchTool) {
    std::filesystem::copy_file(DOZU_EXAMPLES "/chain.tpg", temp / "chain.tpg");
    ASSERT_TRUE(form.load_file(path("chain.tpg")));
    ASSERT_TRUE(x11test::WaitFor([&] { return form.runs() > 1 && !form.running(); }));
    // The batch tool's camera: the start's, its glide ended.
    form.camera() = Camera();
    form.Turtle().bounds_center(form.camera().view_center);

    // Through the dialog, at the view's size.
    QTimer::singleShot(200, [&] {
        auto* dialog = qobject_cast<ExportPictureDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->FileName->text().endsWith("/chain.png")) << dialog->FileName->text().toStdString();
        dialog->FileName->setText(path("view"));
        dialog->accept();
    });
    form.MIExportPicture->trigger();
    const std::string cmd = "cd '" + temp.path().string() +
                            "' && env -u DISPLAY '" DOZU_CLI "' run chain.tpg --png cli.png && '" DOZU_CLI
                            "' run chain.tpg --png cli-big.png --size 1000x700";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    auto differing = [](const QImage& a, const QImage& b) {
        EXPECT_EQ(a.size(), b.size());
        if (a.size() != b.size()) return -1;
        int n = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) n += a.pixel(x, y) != b.pixel(x, y);
        return n;
    };
    const QImage view(path("view.png")), cli(path("cli.png"));
    ASSERT_EQ(view.size(), QSize(746, 288));
    EXPECT_EQ(differing(view, cli), 0);

    form.export_picture_to(path("big.png"), 1000, 700);  // 2 x 3 tiles of the view
    const QImage big(path("big.png")), cli_big(path("cli-big.png"));
    EXPECT_LT(differing(big, cli_big), 1000 * 700 / 1000);
}

TEST_F(MainWindow, HelpMenuAboutShortcutsAndManual) {
    QString about;
    answer_message_box(about);
    form.MIAbout->trigger();
    for (const char* part : {"dozu " DOZU_VERSION, "MIT License", "Permission is hereby granted", "Qt ", "zlib "})
        EXPECT_TRUE(about.contains(part)) << part << " not in " << about.toStdString();

    // Every menu item with keys has its row.
    QStringList rows;
    QTimer::singleShot(200, [&] {
        auto* dialog = qobject_cast<ShortcutsDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        for (int r = 0; r < dialog->table()->rowCount(); ++r)
            rows << dialog->table()->item(r, 0)->text() + " = " + dialog->table()->item(r, 1)->text() + " (" +
                        dialog->table()->item(r, 2)->text() + ")";
        dialog->reject();
    });
    form.MIShortcuts->trigger();
    int with_keys = 0;
    auto in_dialog = [](const QObject* o) {
        for (; o; o = o->parent())
            if (qobject_cast<const QDialog*>(o)) return true;
        return false;
    };
    for (QAction* a : form.findChildren<QAction*>()) {
        if (a->shortcut().isEmpty() || in_dialog(a)) continue;
        ++with_keys;
        const QString key = a->shortcut().toString(QKeySequence::NativeText);
        EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [&](const QString& r) { return r.contains(key); }))
            << key.toStdString() << " (" << a->text().toStdString() << ")";
    }
    EXPECT_GE(with_keys, 13);
    EXPECT_TRUE(rows.contains("Ctrl+7 = Top View (View)")) << rows.join("\n").toStdString();
    EXPECT_TRUE(rows.contains("Left, Right = Turns the model to the left or right (View)"));
    // The program list in words, with its letters.
    EXPECT_TRUE(rows.contains("Ctrl+X = Cut (Program list)"));
    EXPECT_TRUE(rows.contains("A = Clicks button 1, init (Program list)"));
    EXPECT_TRUE(rows.contains("Z = Clicks button 26, empty (Program list)"));

    // The manual: the README, handed to the desktop's viewer (here a text
    // browser, which shows Markdown).
    QTextBrowser viewer;
    QDesktopServices::setUrlHandler("file", &viewer, "setSource");
    form.MIManual->trigger();
    QDesktopServices::unsetUrlHandler("file");
    EXPECT_TRUE(viewer.source().toLocalFile().endsWith("/README.md")) << viewer.source().toString().toStdString();
    EXPECT_TRUE(viewer.toPlainText().startsWith("dozu \u2014 a 3D model encoder"))
        << viewer.toPlainText().left(80).toStdString();
}
