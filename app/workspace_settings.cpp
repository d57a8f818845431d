#include "app/workspace_settings.h"

#include <QSettings>

namespace dozu {

namespace {

QSettings settings() { return QSettings("dozu", "dozu"); }

}  // namespace

WorkspaceSettings WorkspaceSettings::read() {
    const QSettings s = settings();
    WorkspaceSettings w;
    w.geometry = s.value("window/geometry").toByteArray();
    w.state = s.value("window/state").toByteArray();
    w.splitter = s.value("window/splitter").toByteArray();
    w.repeatable_random = s.value("run/repeatableRandom", false).toBool();
    w.view.show_turtle = s.value("view/showTurtle", false).toBool();
    w.view.show_axes_grid = s.value("view/showAxesAndGrid", false).toBool();
    w.view.show_edges = s.value("view/showEdges", false).toBool();
    w.view.hidden_lines = s.value("view/hiddenLines", false).toBool();
    w.program_folder = s.value("folders/programs").toString();
    w.export_folder = s.value("folders/exports").toString();
    return w;
}

void WorkspaceSettings::write() const {
    QSettings s = settings();
    s.setValue("window/geometry", geometry);
    s.setValue("window/state", state);
    s.setValue("window/splitter", splitter);
    s.setValue("run/repeatableRandom", repeatable_random);
    s.setValue("view/showTurtle", view.show_turtle);
    s.setValue("view/showAxesAndGrid", view.show_axes_grid);
    s.setValue("view/showEdges", view.show_edges);
    s.setValue("view/hiddenLines", view.hidden_lines);
    s.setValue("folders/programs", program_folder);
    s.setValue("folders/exports", export_folder);
}

}  // namespace dozu
