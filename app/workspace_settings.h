// What the editor remembers from one session to the next, besides the
// recent files: the window's place and size, the split between the view
// and the program panel, Repeatable Random, the View options and the last
// folders of programs and exports. Solid output is not kept: every session
// starts with the wireframe.
#pragma once

#include <QByteArray>
#include <QString>

#include "scene/view_aids.h"

namespace dozu {

struct WorkspaceSettings {
    QByteArray geometry;  // QWidget::saveGeometry
    QByteArray state;     // QMainWindow::saveState
    QByteArray splitter;  // QSplitter::saveState
    bool repeatable_random = false;
    ViewOptions view;
    QString program_folder;
    QString export_folder;

    // The user's settings, or the defaults where none were kept.
    static WorkspaceSettings read();
    void write() const;
};

}  // namespace dozu
