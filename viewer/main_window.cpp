#include "viewer/main_window.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <new>

#include "editor/file_io.h"
#include "editor/mesh_export.h"
#include "glpanel/scrgl.h"
#include "viewer/debug_mesh.h"
#include "viewer/export_dialog.h"
#include "viewer/scene.h"

namespace dozu {

namespace {

constexpr int kRefreshMs = 25;
constexpr int kPanelBotHeight = 227, kPanelBotMinHeight = 96;
constexpr int kClientWidth = 746, kClientHeight = 515;
constexpr const char* kCaption = "DOZU - 3D model encoder";

}  // namespace

TFormMain::TFormMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName("FormMain");
    setWindowTitle(kCaption);
    QFont f("Sans Serif");
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(11);
    setFont(f);

    SglPanel = new TSglPanel;
    SglPanel->setObjectName("SglPanel");
    SglPanel->SetglDriver("opengl32.dll");
    SglPanel->OnGLInit = [this](TSglPanel*) { SglPanelGLInit(); };
    SglPanel->OnGLPaint = [this](TSglPanel*) { SglPanelGLPaint(); };
    SglPanel->OnMouseDown = [this](TSglPanel*, TMouseButton b, TShiftState, int x, int y) {
        camera_.mouse_down(uint8_t(b), x, y);
    };
    SglPanel->OnMouseUp = [this](TSglPanel*, TMouseButton, TShiftState, int, int) { camera_.mouse_up(); };
    SglPanel->OnMouseMove = [this](TSglPanel*, TShiftState, int x, int y) { camera_.mouse_move(x, y); };

    PanelBot = new QWidget;
    PanelBot->setObjectName("PanelBot");
    PanelBot->setMinimumHeight(kPanelBotMinHeight);
    PanelBot->setMaximumHeight(kPanelBotHeight);
    FrameProgram = new TFrameProgram;
    FrameProgram->setObjectName("FrameProgram");
    auto* bot_layout = new QVBoxLayout(PanelBot);
    bot_layout->setContentsMargins(0, 0, 0, 0);
    bot_layout->addWidget(FrameProgram);

    auto* client = new QWidget;
    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(SglPanel, 1);
    layout->addWidget(PanelBot);
    setCentralWidget(client);

    QMenu* file = menuBar()->addMenu("&File");
    MILoad = file->addAction("&Load", this, &TFormMain::MILoadClick);
    MISave = file->addAction("&Save", this, &TFormMain::MISaveClick);
    file->addSeparator();
    MISaveCompiled = file->addAction("Save &Compiled", this, &TFormMain::MISaveCompiledClick);
    MIExportMesh = file->addAction("&Export Mesh...", this, &TFormMain::MIExportMeshClick);

    SDExportMesh = new ExportMeshDialog(this);
    QMenu* view = menuBar()->addMenu("&View");
    MIResetCam = view->addAction("&Reset Camera", this, &TFormMain::MIResetCamClick);
    view->addSeparator();
    MISolid = view->addAction("&Solid Graphics Output", this, &TFormMain::MISolidClick);
    MISolid->setCheckable(true);
    view->addSeparator();
    MIDebugInMesh = view->addAction("Debug &Input Mesh", this, &TFormMain::MIDebugInMeshClick);
    MIDebugOutMesh = view->addAction("Debug &Output Mesh", this, &TFormMain::MIDebugOutMeshClick);
    view->addSeparator();
    MICommandTable = view->addAction("Command &Table");
    MICommandTable->setCheckable(true);
    connect(MICommandTable, &QAction::toggled, FrameProgram, &TFrameProgram::ShowCommandTable);

    RefreshGL = new QTimer(this);
    RefreshGL->setObjectName("RefreshGL");
    RefreshGL->setInterval(kRefreshMs);
    connect(RefreshGL, &QTimer::timeout, this, &TFormMain::RefreshGLTimer);
    RefreshGL->start();

    move(100, 137);
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());

    camera_.reset();
    interpreter_ = std::make_unique<interpreter>(turtle_);
}

TFormMain::~TFormMain() {
    RefreshGL->stop();
    interpreter_.reset();
}

void TFormMain::SglPanelGLInit() {
    scene_init_gl();
    // A context made again (after a driver change, say) keeps the mode shown
    // by the menu's check mark.
    if (MISolid->isChecked()) ApplySolidState();
}

void TFormMain::RunProgram() {
    const int count = FrameProgram->RunCount();
    const std::vector<std::string>& lines = FrameProgram->LockProgram();
    try {
        interpreter_->run(lines, FrameProgram->messages, count);
    } catch (const std::bad_alloc&) {
        FrameProgram->messages = {{"fatal error: out of memory", 0}};
    } catch (const std::exception& e) {
        // Nothing else is expected; the paint must still release the lock
        // and show that the run failed.
        FrameProgram->messages = {{std::string("fatal error: ") + e.what(), 0}};
    }
    FrameProgram->UnlockProgram();
    FrameProgram->ShowMessages();
    ++runs_;
}

void TFormMain::SglPanelGLPaint() {
    RenderScene();
    glFlush();
    SglPanel->SwapBuffers();
}

void TFormMain::RenderScene() {
    const int w = SglPanel->ClientWidth(), h = SglPanel->ClientHeight();
    scene_begin(w, h);
    if (FrameProgram->TakeChanged()) RunProgram();
    scene_draw(camera_, turtle_, interpreter_->output_mesh(), w, h, true);
}

void TFormMain::RefreshGLTimer() { SglPanel->update(); }

template <typename Operation>
void TFormMain::FileOperation(Operation operation) {
    RefreshGL->stop();
    QApplication::processEvents();
    try {
        operation();
    } catch (const FileError& e) {
        QMessageBox::critical(this, kCaption, QString::fromLocal8Bit(e.what()));
    } catch (const std::exception& e) {
        QMessageBox::critical(this, kCaption, QString("The operation failed: %1").arg(e.what()));
    }
    RefreshGL->start();
}

void TFormMain::ReportSkippedSteps(const std::vector<SkippedStep>& skipped) {
    if (skipped.empty()) return;
    QString text = QString("%1 step byte(s) outside 1 to 26 were skipped:").arg(skipped.size());
    const size_t shown = std::min<size_t>(skipped.size(), 10);
    for (size_t i = 0; i < shown; ++i)
        text += QString("\nstep byte %1 at offset %2 skipped").arg(skipped[i].byte).arg(qulonglong(skipped[i].offset));
    if (shown < skipped.size()) text += QString("\n... and %1 more").arg(skipped.size() - shown);
    QMessageBox::warning(this, kCaption, text);
}

void TFormMain::MILoadClick() {
    FileOperation([this] {
        if (const auto skipped = FrameProgram->LoadProgram()) ReportSkippedSteps(*skipped);
    });
}

bool TFormMain::LoadFile(const QString& path) {
    bool loaded = false;
    FileOperation([&] {
        ReportSkippedSteps(FrameProgram->LoadProgramFrom(path));
        loaded = true;
    });
    return loaded;
}

void TFormMain::MISaveClick() {
    FileOperation([this] { FrameProgram->SaveProgram(false); });
}

void TFormMain::MISaveCompiledClick() {
    FileOperation([this] { FrameProgram->SaveProgram(true); });
}

void TFormMain::MIExportMeshClick() {
    FileOperation([this] {
        if (SDExportMesh->exec() == QDialog::Accepted)
            ExportMeshTo(SDExportMesh->chosen_path(), SDExportMesh->chosen_format());
    });
}

void TFormMain::ExportMeshTo(const QString& path) {
    const std::string file = QFile::encodeName(path).toStdString();
    MeshFormat format;
    if (!mesh_format_of(file, format))
        throw FileError("cannot export \"" + file + "\": its extension is not one of a mesh format");
    ExportMeshTo(path, format);
}

void TFormMain::ExportMeshTo(const QString& path, MeshFormat format) {
    ExportOptions options;
    options.name = QFileInfo(path).completeBaseName().toStdString();
    write_mesh_file(QFile::encodeName(path).toStdString(), compact(output_mesh_view(interpreter_->output_mesh())),
                    format, options);
}

void TFormMain::MIResetCamClick() { camera_.reset(); }

void TFormMain::MISolidClick() {
    // The checkable action has already toggled its mark.
    ApplySolidState();
}

void TFormMain::ApplySolidState() {
    if (SglPanel->GLHandleAllocated()) scene_set_solid(MISolid->isChecked());
}

void TFormMain::MIDebugInMeshClick() {
    if (!FormDebugMesh) return;
    FormDebugMesh->fill(input_mesh_view(turtle_));
    FormDebugMesh->bring_up();
}

void TFormMain::MIDebugOutMeshClick() {
    if (!FormDebugMesh) return;
    FormDebugMesh->fill(output_mesh_view(interpreter_->output_mesh()));
    FormDebugMesh->bring_up();
}

}  // namespace dozu
