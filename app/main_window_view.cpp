// The main window's View options, standard views and the picture of the
// view, and the mesh debugger that follows the runs while it is open.
#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include "app/main_window.h"
#include "glpanel/scrgl.h"
#include "io/file_io.h"
#include "scene/scene.h"
#include "turtle/input_mesh_view.h"
#include "ui/debug_mesh.h"
#include "ui/export_picture_dialog.h"
#include "ui/frame_program.h"

namespace dozu {

ViewOptions TFormMain::view_options() const {
    ViewOptions o;
    o.show_turtle = MIShowTurtle->isChecked();
    o.show_axes_grid = MIShowAxesGrid->isChecked();
    o.show_edges = MIShowEdges->isChecked();
    o.hidden_lines = MIHiddenLines->isChecked();
    return o;
}

void TFormMain::MIViewOptionClick() { picture_changed(); }

void TFormMain::look_from(StandardView view) {
    camera_.orientation = standard_view(view);
    // A spin in progress would turn the model away from it.
    camera_.trackball.speed = 0;
    picture_changed();
}

void TFormMain::refresh_debugger() {
    if (!FormDebugMesh || !FormDebugMesh->isVisible()) return;
    if (debugged_ == Debugged::input)
        FormDebugMesh->refill(input_mesh_view(turtle_), "Input mesh");
    else if (debugged_ == Debugged::output)
        FormDebugMesh->refill(output_mesh_view(interpreter_->output_mesh()), "Output mesh");
}

void TFormMain::export_picture_to(const QString& path, int w, int h) {
    const std::string file = QFile::encodeName(path).toStdString();
    std::vector<uint8_t> rgb;
    // Drawn in a paint of the view, where its GL context is current.
    paint_request_ = [&] {
        rgb = scene_render_picture(camera_, turtle_, interpreter_->output_mesh(), view_options(), w, h,
                                   SglPanel->ClientWidth(), SglPanel->ClientHeight());
    };
    SglPanel->repaint();
    paint_request_ = nullptr;
    if (rgb.empty()) throw FileError("cannot export \"" + file + "\": the view is not shown, nothing was drawn");
    const QImage picture(rgb.data(), w, h, w * 3, QImage::Format_RGB888);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.save(&buffer, "PNG")) throw FileError("cannot export \"" + file + "\": PNG encoding failed");
    write_file_atomic(file, png.constData(), size_t(png.size()));
}

}  // namespace dozu
