// The main window's settings: what it reads when it is created and writes
// when it closes (see workspace_settings.h), and the folders it offers.
#include <QFileDialog>
#include <QFileInfo>
#include <QSplitter>

#include "app/main_window.h"
#include "app/workspace_settings.h"
#include "ui/export_dialog.h"
#include "ui/frame_program.h"

namespace dozu {

void TFormMain::read_settings() {
    const WorkspaceSettings s = WorkspaceSettings::read();
    if (!s.geometry.isEmpty()) restoreGeometry(s.geometry);
    if (!s.state.isEmpty()) restoreState(s.state);
    if (!s.splitter.isEmpty()) SplitterMain->restoreState(s.splitter);
    MIRepeatableRandom->setChecked(s.repeatable_random);
    MIShowTurtle->setChecked(s.view.show_turtle);
    MIShowAxesGrid->setChecked(s.view.show_axes_grid);
    MIShowEdges->setChecked(s.view.show_edges);
    MIHiddenLines->setChecked(s.view.hidden_lines);
    program_folder_ = s.program_folder;
    export_folder_ = s.export_folder;
    if (!program_folder_.isEmpty()) {
        FrameProgram->ODProgram->setDirectory(program_folder_);
        FrameProgram->SDProgram->setDirectory(program_folder_);
    }
    if (!export_folder_.isEmpty()) SDExportMesh->setDirectory(export_folder_);
}

void TFormMain::write_settings() const {
    WorkspaceSettings s;
    s.geometry = saveGeometry();
    s.state = saveState();
    s.splitter = SplitterMain->saveState();
    s.repeatable_random = MIRepeatableRandom->isChecked();
    s.view = view_options();
    s.program_folder = program_folder_;
    s.export_folder = export_folder_;
    s.write();
}

void TFormMain::remember_program_folder() {
    if (document_.file_name().isEmpty()) return;
    program_folder_ = QFileInfo(document_.file_name()).absolutePath();
    FrameProgram->ODProgram->setDirectory(program_folder_);
    FrameProgram->SDProgram->setDirectory(program_folder_);
}

}  // namespace dozu
