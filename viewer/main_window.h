// The main window: the GL panel above, the program frame below, the 25 ms
// refresh timer and the menu. Every paint re-runs the program when the frame
// reports a change, then draws the output mesh through the mouse camera and
// the overlay of the gesture in progress.
#pragma once

#include <QMainWindow>
#include <memory>

#include "editor/frame_program.h"
#include "editor/mesh_export.h"
#include "interpreter/interpreter.h"
#include "turtle/turtle.h"
#include "viewer/camera.h"

class QAction;
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
    QAction* MILoad;
    QAction* MISave;
    QAction* MISaveCompiled;
    QAction* MIExportMesh;
    QAction* MIResetCam;
    QAction* MISolid;
    QAction* MIDebugInMesh;
    QAction* MIDebugOutMesh;
    QAction* MICommandTable;

    // The mesh debugger window that the two debug items fill; the
    // application creates it after this window.
    TFormDebugMesh* FormDebugMesh = nullptr;

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
    void MILoadClick();
    void MISaveClick();
    void MISaveCompiledClick();
    void MIExportMeshClick();
    void MIResetCamClick();
    void MISolidClick();
    void MIDebugInMeshClick();
    void MIDebugOutMeshClick();

    // Loads a program file as "&Load" does, without the dialog; a file that
    // cannot be loaded is reported in a message box. True when loaded.
    bool LoadFile(const QString& path);
    // Writes the output mesh of the latest run, in the format of the file
    // name's extension (.obj, .ply or .stl); throws FileError.
    void ExportMeshTo(const QString& path);
    void ExportMeshTo(const QString& path, MeshFormat format);

    ExportMeshDialog* SDExportMesh;

private:
    void RunProgram();
    void ApplySolidState();
    // Runs a file operation with the refresh timer stopped; file errors end
    // in a message box.
    template <typename Operation>
    void FileOperation(Operation operation);
    void ReportSkippedSteps(const std::vector<SkippedStep>& skipped);

    turtle turtle_;
    Camera camera_;
    std::unique_ptr<interpreter> interpreter_;
    int runs_ = 0;
};

}  // namespace dozu
