#include "viewer/main_window.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <QApplication>
#include <QMenuBar>
#include <QMessageBox>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <exception>
#include <new>

#include "editor/file_io.h"
#include "editor/mesh_export.h"
#include "glpanel/scrgl.h"
#include "viewer/debug_mesh.h"

namespace dozu {

namespace {

constexpr int kRefreshMs = 25;
constexpr int kPanelBotHeight = 227, kPanelBotMinHeight = 96;
constexpr int kClientWidth = 746, kClientHeight = 515;
constexpr double kFieldOfView = 55.0, kNear = 0.125, kFar = 100.0;
constexpr const char* kCaption = "DOZU - 3D model encoder";

const GLfloat kLightPosition[4] = {0, 0, 1, 0};
const GLfloat kLightDiffuse[4] = {0.8f, 0.8f, 0.8f, 1};
const GLfloat kLightSpecular[4] = {1, 1, 1, 1};
const GLfloat kLightAmbient[4] = {0.2f, 0.2f, 0.2f, 1};
const GLfloat kMaterialSpecular[4] = {1, 1, 1, 1};
const GLfloat kMaterialShininess = 5.0f;
const GLfloat kMaterialAmbient[4] = {0.6f, 0.6f, 1.0f, 1.0f};
const GLfloat kOverlayX[3] = {0.9f, 0.8f, 0.8f};
const GLfloat kOverlayY[3] = {0.8f, 0.9f, 0.8f};
const GLfloat kOverlayZ[3] = {0.8f, 0.8f, 0.9f};
constexpr float kDegreesToRadians = 0.01745329f;

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
    glDisable(GL_CULL_FACE);
    glClearColor(1, 1, 1, 1);
    glColor4f(0, 0, 0, 1);
    glPolygonMode(GL_FRONT, GL_LINE);
    glPolygonMode(GL_BACK, GL_LINE);
    glLightfv(GL_LIGHT0, GL_POSITION, kLightPosition);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, kLightDiffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, kLightSpecular);
    glLightfv(GL_LIGHT0, GL_AMBIENT, kLightAmbient);
    glMaterialfv(GL_FRONT, GL_SPECULAR, kMaterialSpecular);
    glMaterialf(GL_FRONT, GL_SHININESS, kMaterialShininess);
    glMaterialfv(GL_FRONT, GL_AMBIENT, kMaterialAmbient);
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
    glViewport(0, 0, w, h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // A panel without height keeps a finite aspect: nothing is seen anyway.
    gluPerspective(kFieldOfView, h > 0 ? double(w) / double(h) : double(w), kNear, kFar);
    glMatrixMode(GL_MODELVIEW);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor3f(0, 0, 0);

    if (FrameProgram->TakeChanged()) RunProgram();

    glLoadIdentity();
    glFrontFace(GL_CW);
    float t[3];
    camera_.translation(t);
    glTranslatef(t[0], t[1], t[2]);
    GLdouble projection[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    camera_.measure(projection, w, h, turtle_.bounds_radius());
    camera_.trackball_frame();

    glPushMatrix();
    const rotation rot = camera_.orientation_rotation();
    if (rot.apply) glRotatef(rot.degrees, rot.axis[0], rot.axis[1], rot.axis[2]);
    float m[3];
    turtle_.bounds_center(m);
    camera_.recenter(m);
    glTranslatef(-camera_.view_center[0], -camera_.view_center[1], -camera_.view_center[2]);
    interpreter_->draw();
    const float r = turtle_.bounds_radius();
    glPopMatrix();

    DrawOverlay(r);
}

void TFormMain::DrawOverlay(float r) {
    if (!camera_.drag_active) return;
    const uint8_t button = camera_.drag_button;
    if (button == kButtonRight || button == kButtonMiddle) {
        glBegin(GL_LINES);
        glColor3fv(kOverlayX);
        glVertex3f(-r, 0, 0);
        glVertex3f(r, 0, 0);
        if (button == kButtonRight) {
            glColor3fv(kOverlayY);
            glVertex3f(0, -r, 0);
            glVertex3f(0, r, 0);
        } else {
            glColor3fv(kOverlayZ);
            glVertex3f(0, 0, -r);
            glVertex3f(0, 0, r);
        }
        glEnd();
        return;
    }
    const GLfloat* colours[3] = {kOverlayX, kOverlayY, kOverlayZ};
    for (int circle = 0; circle < 3; ++circle) {
        glColor3fv(colours[circle]);
        glBegin(GL_LINE_STRIP);
        for (int degrees = 0; degrees <= 360; degrees += 5) {
            const float a = float(degrees) * kDegreesToRadians;
            const float s = r * std::sin(a), c = r * std::cos(a);
            if (circle == 0) glVertex3f(0, s, c);
            else if (circle == 1) glVertex3f(s, 0, c);
            else glVertex3f(s, c, 0);
        }
        glEnd();
    }
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

void TFormMain::MIResetCamClick() { camera_.reset(); }

void TFormMain::MISolidClick() {
    // The checkable action has already toggled its mark.
    ApplySolidState();
}

void TFormMain::ApplySolidState() {
    if (!SglPanel->GLHandleAllocated()) return;
    if (MISolid->isChecked()) {
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_NORMALIZE);
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        glPolygonMode(GL_FRONT, GL_FILL);
    } else {
        glDisable(GL_LIGHT0);
        glDisable(GL_LIGHTING);
        glDisable(GL_NORMALIZE);
        glDisable(GL_DEPTH_TEST);
        glPolygonMode(GL_FRONT, GL_LINE);
    }
    glPolygonMode(GL_BACK, GL_LINE);
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
