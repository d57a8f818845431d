// The main window: the GL panel above, the program frame below, the 25 ms
// refresh timer, the menu and the status bar. A paint after a timer tick
// re-runs the program when the frame reports a change, then draws the
// output mesh through the mouse camera and the overlay of the gesture in
// progress. While a file operation or its questions are on screen, paints
// only draw the last picture again.
#pragma once

#include <QMainWindow>
#include <QMessageBox>
#include <functional>
#include <memory>

#include "editor/frame_program.h"
#include "editor/mesh_export.h"
#include "interpreter/interpreter.h"
#include "turtle/turtle.h"
#include "viewer/camera.h"
#include "viewer/recent_files.h"

class QAction;
class QLabel;
class QTimer;

namespace dozu {

class ExportMeshDialog;
class TFormDebugMesh;
class TSglPanel;

class TFormMain : public QMainWindow {
    Q_OBJECT

public:
    explicit TFormMain(QWidget* parent = nullptr);
    ~TFormMain() override;

    TSglPanel* SglPanel;
    QTimer* RefreshGL;
    QWidget* PanelBot;
    TFrameProgram* FrameProgram;
    QAction* MINew;
    QAction* MILoad;
    QAction* MISave;
    QAction* MISaveAs;
    QAction* MISaveCompiled;
    QAction* MIExportMesh;
    QMenu* MIRecentFiles;
    QAction* MIQuit;
    QAction* MIUndo;
    QAction* MIRedo;
    QAction* MIResetCam;
    QAction* MIZoomFit;
    QAction* MISolid;
    QAction* MIRepeatableRandom;
    QAction* MIDebugInMesh;
    QAction* MIDebugOutMesh;
    QAction* MICommandTable;
    // The output mesh's size, the time of the last run, its first error.
    QLabel* StatusMesh;
    QLabel* StatusTime;
    QLabel* StatusError;

    // The mesh debugger window that the two debug items fill; the
    // application creates it after this window.
    TFormDebugMesh* FormDebugMesh = nullptr;

    // Asks what to do with unsaved changes of the named program: Save,
    // Discard or Cancel. Tests put their own answer here.
    std::function<QMessageBox::StandardButton(const QString& name)> AskUnsaved;

    turtle& Turtle() { return turtle_; }
    interpreter& Interpreter() { return *interpreter_; }
    Camera& camera() { return camera_; }
    // How many program runs the paints have made.
    int runs() const { return runs_; }

    void SglPanelGLInit();
    void SglPanelGLPaint();
    // The paint without the buffer swap: runs the program if it changed and
    // draws the scene into the back buffer.
    void RenderScene();
    void RefreshGLTimer();
    void MINewClick();
    void MILoadClick();
    void MISaveClick();
    void MISaveAsClick();
    void MISaveCompiledClick();
    void MIExportMeshClick();
    void MIResetCamClick();
    void MIZoomFitClick();
    void MISolidClick();
    void MIRepeatableRandomClick();
    void MIDebugInMeshClick();
    void MIDebugOutMeshClick();

    // Loads a program file as "&Load" does, without the dialog and without
    // asking about unsaved changes; a file that cannot be loaded is
    // reported in a message box. True when loaded.
    bool LoadFile(const QString& path);
    // The same after the unsaved-changes question, as a recent file or a
    // dropped file is opened.
    bool OpenFile(const QString& path);
    // Writes the output mesh of the latest run, in the format of the file
    // name's extension (.obj, .ply or .stl); throws FileError.
    void ExportMeshTo(const QString& path);
    void ExportMeshTo(const QString& path, MeshFormat format);

    ExportMeshDialog* SDExportMesh;

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void RunProgram();
    void ShowRunStatus(double milliseconds);
    void ApplySolidState();
    // Runs a file operation with the refresh timer stopped and the view
    // frozen; file errors end in a message box.
    template <typename Operation>
    void FileOperation(Operation operation);
    void ReportSkippedSteps(const std::vector<SkippedStep>& skipped);
    // True when the program may be replaced: it had no unsaved changes, or
    // the user saved or discarded them. Runs inside a file operation.
    bool MaybeSave();
    // Saves to the program's file, or asks for one; false when cancelled.
    bool SaveProgram(bool ask);
    void Loaded(const QString& path);
    void UpdateTitle();
    void UpdateRecentFiles();

    turtle turtle_;
    Camera camera_;
    std::unique_ptr<interpreter> interpreter_;
    RecentFiles recent_;
    int runs_ = 0;
    bool frozen_ = false;  // a file operation is on: paints only redraw
};

}  // namespace dozu
