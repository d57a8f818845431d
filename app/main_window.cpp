#include "app/main_window.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QUndoStack>
#include <QVBoxLayout>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <exception>

#include "app/view_keys.h"
#include "export/mesh_format.h"
#include "export/scale_fit.h"
#include "glpanel/scrgl.h"
#include "interpreter/message.h"
#include "io/file_io.h"
#include "program/share_link.h"
#include "scene/scene.h"
#include "turtle/input_mesh_view.h"
#include "ui/debug_mesh.h"
#include "ui/export_dialog.h"
#include "ui/export_picture_dialog.h"
#include "ui/file_status.h"
#include "ui/focus_ring.h"
#include "ui/path_bytes.h"
#include "ui/program_document.h"
#include "ui/share_link_maker.h"
#include "ui/visible_splitter.h"

namespace dozu {

namespace {

constexpr int kRefreshMs = 25;
// A run that takes longer says so in the status bar.
constexpr double kShowRunningSeconds = 0.3;
constexpr int kPanelBotHeight = 227;
constexpr int kClientWidth = 746, kClientHeight = 515;
constexpr int kViewMinWidth = 160, kViewMinHeight = 120;
constexpr const char* kCaption = "DOZU - 3D model encoder";
constexpr const char* kUntitled = "Untitled";
// How long the status bar says that a file was written.
constexpr int kWrittenStatusMs = 10000;

QMessageBox::StandardButton ask_unsaved_question(QWidget* parent, const QString& name) {
    return QMessageBox::warning(parent, kCaption, QString("Save the changes to %1?").arg(name),
                                QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
}

// The web page's address, set by File > Share Link Address...; empty for the
// page on this computer.
constexpr const char* kShareBaseKey = "share/base";

// Says under the address why it cannot be used, with OK disabled then.
std::optional<QString> ask_share_base_question(QWidget* parent, const QString& current) {
    const QString label =
        "Address of the web page that share links point at\n"
        "(empty: the page on this computer, which only this computer opens):";
    QInputDialog dialog(parent);
    dialog.setWindowTitle(kCaption);
    dialog.setLabelText(label);
    dialog.setTextValue(current);
    // One character more than an address may have: a longer one pasted is
    // cut there and refused, never cut to a shorter one silently.
    if (auto* edit = dialog.findChild<QLineEdit*>()) edit->setMaxLength(int(kMaxShareBaseLength) + 1);
    const auto check = [&](const QString& text) {
        const std::string problem = share_base_problem(text.trimmed().toStdString());
        dialog.setLabelText(problem.empty() ? label
                                            : label + "\n\nNot usable: " + QString::fromStdString(problem) + ".");
        if (auto* buttons = dialog.findChild<QDialogButtonBox*>())
            buttons->button(QDialogButtonBox::Ok)->setEnabled(problem.empty());
    };
    QObject::connect(&dialog, &QInputDialog::textValueChanged, &dialog, check);
    check(current);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.textValue().trimmed();
}

bool ask_to_go_on_question(QWidget* parent, const QString& question) {
    return QMessageBox::question(parent, kCaption, question, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

// A local program file among dropped URLs, by the bytes of its name: the
// URL's decoded text would turn a byte that is not UTF-8 into U+FFFD.
QString dropped_program(const QMimeData* data) {
    if (!data || !data->hasUrls()) return {};
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) continue;
        const QString path = path_from_bytes(
            QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString());
        if (path.endsWith(".tpg", Qt::CaseInsensitive)) return path;
    }
    return {};
}

// The first error's line, counted from 1, or 0.
int first_error_line(const MessageList& messages) {
    for (const Message& m : messages)
        if (is_error(message_kind(m.text))) return m.tag + 1;
    return 0;
}

}  // namespace

TFormMain::TFormMain(QWidget* parent)
    : QMainWindow(parent),
      ask_unsaved([this](const QString& name) { return ask_unsaved_question(this, name); }),
      ask_share_base([this](const QString& current) { return ask_share_base_question(this, current); }),
      ask_to_go_on([this](const QString& question) { return ask_to_go_on_question(this, question); }) {
    setObjectName("FormMain");
    setAcceptDrops(true);
    QFont f("Sans Serif");
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(11);
    setFont(f);

    create_view();
    create_program_panel();
    create_file_menu();
    create_edit_menu();
    create_view_menu();
    create_help_menu();
    create_status_bar();
    create_view_keys();
    create_focus_ring();
    follow_document();
    create_refresh_timer();
    create_runner();
    create_recovery_copy();

    move(100, 137);
    // The view 288 and PanelBot 227 pixels high, the splitter's handle
    // between them.
    resize(kClientWidth, kClientHeight + SplitterMain->handleWidth() + menuBar()->sizeHint().height() +
                             statusBar()->sizeHint().height());
    SplitterMain->setSizes({kClientHeight - kPanelBotHeight, kPanelBotHeight});
    read_settings();
    camera_.reset();
}

void TFormMain::create_view() {
    SglPanel = new TSglPanel;
    SglPanel->setObjectName("SglPanel");
    SglPanel->SetglDriver("opengl32.dll");
    SglPanel->OnGLInit = [this](TSglPanel*) { SglPanelGLInit(); };
    SglPanel->OnGLPaint = [this](TSglPanel*) { SglPanelGLPaint(); };
    SglPanel->OnMouseDown = [this](TSglPanel*, TMouseButton b, TShiftState, int x, int y) {
        camera_.mouse_down(uint8_t(b), x, y);
        picture_changed();
    };
    SglPanel->OnMouseUp = [this](TSglPanel*, TMouseButton, TShiftState, int, int) {
        camera_.mouse_up();
        picture_changed();
    };
    SglPanel->OnMouseMove = [this](TSglPanel*, TShiftState, int x, int y) {
        camera_.mouse_move(x, y);
        if (camera_.drag_active) picture_changed();
    };
    SglPanel->OnMouseWheel = [this](TSglPanel*, TShiftState, int delta, int x, int y) {
        camera_.wheel_at(delta, float(x), float(y), SglPanel->ClientWidth(), SglPanel->ClientHeight(),
                         kFieldOfViewDegrees);
        picture_changed();
    };
    SglPanel->OnGLError = [this](TSglPanel*, const std::string& error) {
        std::fprintf(stderr, "dozu: OpenGL: %s\n", error.c_str());
        statusBar()->showMessage(QString("OpenGL: %1").arg(QString::fromLocal8Bit(error.c_str())));
    };
    SglPanel->setMinimumSize(kViewMinWidth, kViewMinHeight);
    // Tab reaches the view; a click to turn the model leaves the keyboard
    // with the program list, as a click on a button does.
    SglPanel->setFocusPolicy(Qt::TabFocus);
}

void TFormMain::create_program_panel() {
    PanelBot = new QWidget;
    PanelBot->setObjectName("PanelBot");
    // At least as tall as the frame needs: a lower panel would cut off its
    // buttons.
    PanelBot->setMinimumHeight(kPanelBotHeight);
    FrameProgram = new TFrameProgram(document_);
    FrameProgram->setObjectName("FrameProgram");
    auto* bot_layout = new QVBoxLayout(PanelBot);
    bot_layout->setContentsMargins(0, 0, 0, 0);
    bot_layout->addWidget(FrameProgram);

    SplitterMain = new VisibleSplitter(Qt::Vertical);
    SplitterMain->setObjectName("SplitterMain");
    SplitterMain->setChildrenCollapsible(false);
    SplitterMain->addWidget(SglPanel);
    SplitterMain->addWidget(PanelBot);
    SplitterMain->setStretchFactor(0, 1);
    SplitterMain->setStretchFactor(1, 0);
    setCentralWidget(SplitterMain);
    setTabOrder(SglPanel, FrameProgram->LBCode);
    // The keyboard starts with the program list: the view is only tabbed to.
    FrameProgram->LBCode->setFocus();
}

void TFormMain::create_file_menu() {
    QMenu* file = menuBar()->addMenu("&File");
    MINew = file->addAction("&New", this, &TFormMain::MINewClick);
    MINew->setShortcut(QKeySequence::New);
    MILoad = file->addAction("&Load", this, &TFormMain::MILoadClick);
    MILoad->setShortcut(QKeySequence::Open);
    MISave = file->addAction("&Save", this, &TFormMain::MISaveClick);
    MISave->setShortcut(QKeySequence::Save);
    MISaveAs = file->addAction("Save &As...", this, &TFormMain::MISaveAsClick);
    // Not every desktop binds Save As: Ctrl+Shift+S then.
    MISaveAs->setShortcut(
        QKeySequence::keyBindings(QKeySequence::SaveAs).value(0, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)));
    file->addSeparator();
    MISaveCompiled = file->addAction("Save &Compiled", this, &TFormMain::MISaveCompiledClick);
    MIExportMesh = file->addAction("&Export Mesh...", this, &TFormMain::MIExportMeshClick);
    MIExportPicture = file->addAction("Export &Picture...", this, &TFormMain::MIExportPictureClick);
    file->addSeparator();
    MICopyShareLink = file->addAction("Cop&y Share Link", this, &TFormMain::MICopyShareLinkClick);
    MIShareLinkAddress = file->addAction("Share Link A&ddress...", this, &TFormMain::MIShareLinkAddressClick);
    file->addSeparator();
    MIRecentFiles = file->addMenu("&Recent Files");
    file->addSeparator();
    MIQuit = file->addAction("&Quit", this, &QWidget::close);
    MIQuit->setShortcut(QKeySequence::Quit);

    SDExportMesh = new ExportMeshDialog(this);
    SDExportPicture = new ExportPictureDialog(this);
}

void TFormMain::create_edit_menu() {
    QMenu* edit = menuBar()->addMenu("&Edit");
    MIUndo = document_.undo_stack()->createUndoAction(this);
    MIUndo->setShortcut(QKeySequence::Undo);
    MIRedo = document_.undo_stack()->createRedoAction(this);
    QList<QKeySequence> redo_keys = QKeySequence::keyBindings(QKeySequence::Redo);
    for (const QKeySequence& key :
         {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)})
        if (!redo_keys.contains(key)) redo_keys << key;
    MIRedo->setShortcuts(redo_keys);
    edit->addAction(MIUndo);
    edit->addAction(MIRedo);
    edit->addSeparator();
    // Enabled only while a run goes on, so that Escape is free otherwise.
    MICancelRun = edit->addAction("&Cancel Run", this, &TFormMain::MICancelRunClick);
    MICancelRun->setShortcut(Qt::Key_Escape);
    MICancelRun->setEnabled(false);
}

void TFormMain::create_view_menu() {
    QMenu* view = menuBar()->addMenu("&View");
    MIResetCam = view->addAction("&Reset Camera", this, &TFormMain::MIResetCamClick);
    MIZoomFit = view->addAction("Zoom to &Fit", this, &TFormMain::MIZoomFitClick);
    MIViewDefault = view->addAction("&Default View", this, [this] { look_from(StandardView::start); });
    MIViewFront = view->addAction("Fro&nt View", this, [this] { look_from(StandardView::front); });
    MIViewTop = view->addAction("To&p View", this, [this] { look_from(StandardView::top); });
    MIViewRight = view->addAction("Ri&ght View", this, [this] { look_from(StandardView::right); });
    // The numbers of a keypad's views.
    MIViewDefault->setShortcut(Qt::CTRL | Qt::Key_0);
    MIViewFront->setShortcut(Qt::CTRL | Qt::Key_1);
    MIViewTop->setShortcut(Qt::CTRL | Qt::Key_7);
    MIViewRight->setShortcut(Qt::CTRL | Qt::Key_3);
    view->addSeparator();
    MISolid = view->addAction("&Solid Graphics Output", this, &TFormMain::MISolidClick);
    MISolid->setCheckable(true);
    MIShowEdges = view->addAction("Show &Edges", this, &TFormMain::MIViewOptionClick);
    MIShowEdges->setStatusTip("Draws the edges of the quads over the solid output");
    MIHiddenLines = view->addAction("&Hidden Lines", this, &TFormMain::MIViewOptionClick);
    MIHiddenLines->setStatusTip("Leaves out the lines of the wireframe that faces hide");
    MIShowTurtle = view->addAction("Show T&urtle", this, &TFormMain::MIViewOptionClick);
    MIShowTurtle->setStatusTip("Marks where the turtle stands after the run, and its heading");
    MIShowAxesGrid = view->addAction("Show &Axes and Grid", this, &TFormMain::MIViewOptionClick);
    MIShowAxesGrid->setStatusTip("Draws the axes at the origin and a grid on the ground");
    for (QAction* option : {MIShowEdges, MIHiddenLines, MIShowTurtle, MIShowAxesGrid}) option->setCheckable(true);
    MIRepeatableRandom = view->addAction("Repeatable Rando&m", this, &TFormMain::MIRepeatableRandomClick);
    MIRepeatableRandom->setCheckable(true);
    view->addSeparator();
    MIDebugInMesh = view->addAction("Debug &Input Mesh", this, &TFormMain::MIDebugInMeshClick);
    MIDebugOutMesh = view->addAction("Debug &Output Mesh", this, &TFormMain::MIDebugOutMeshClick);
    view->addSeparator();
    MICommandTable = view->addAction("Command &Table");
    MICommandTable->setCheckable(true);
    connect(MICommandTable, &QAction::toggled, FrameProgram, &TFrameProgram::show_command_table);
}

void TFormMain::create_help_menu() {
    QMenu* help = menuBar()->addMenu("&Help");
    MIManual = help->addAction("&Manual", this, &TFormMain::MIManualClick);
    MIManual->setShortcut(QKeySequence::HelpContents);
    MIShortcuts = help->addAction("&Keyboard Shortcuts", this, &TFormMain::MIShortcutsClick);
    help->addSeparator();
    MIAbout = help->addAction("&About dozu", this, &TFormMain::MIAboutClick);
    MIAbout->setMenuRole(QAction::AboutRole);
}

void TFormMain::create_status_bar() {
    StatusMesh = new QLabel;
    StatusTime = new QLabel;
    StatusError = new QLabel;
    for (QLabel* label : {StatusMesh, StatusTime, StatusError}) statusBar()->addWidget(label);
    StatusRunning = new QLabel;
    CancelRunButton = new QToolButton;
    CancelRunButton->setDefaultAction(MICancelRun);
    CancelRunButton->setText("Cancel");
    CancelRunButton->setToolTip("Cancel the run (Esc)");
    statusBar()->addWidget(StatusRunning);
    statusBar()->addWidget(CancelRunButton);
    StatusRunning->hide();
    CancelRunButton->hide();
    statusBar()->setSizeGripEnabled(true);
}

void TFormMain::create_view_keys() {
    view_keys_ = new ViewKeys(this);
    view_keys_->turn = [this](float right, float up) {
        camera_.turn(right, up);
        picture_changed();
    };
    view_keys_->zoom = [this](int notches) {
        camera_.wheel(120 * notches);
        picture_changed();
    };
    view_keys_->focus_changed = [this] { picture_changed(); };
    SglPanel->installEventFilter(view_keys_);
}

void TFormMain::create_focus_ring() { new FocusRing(this); }

void TFormMain::follow_document() {
    connect(document_.undo_stack(), &QUndoStack::cleanChanged, this, &TFormMain::update_title);
    connect(&document_, &ProgramDocument::file_changed, this, &TFormMain::update_title);
    connect(&document_, &ProgramDocument::saved, this, &TFormMain::show_saved);
    connect(&document_, &ProgramDocument::file_changed, this, &TFormMain::remember_program_folder);
    update_title();
    update_recent_files();
}

void TFormMain::create_refresh_timer() {
    RefreshGL = new QTimer(this);
    RefreshGL->setObjectName("RefreshGL");
    RefreshGL->setInterval(kRefreshMs);
    connect(RefreshGL, &QTimer::timeout, this, &TFormMain::RefreshGLTimer);
    RefreshGL->start();
}

void TFormMain::create_runner() {
    interpreter_ = std::make_unique<interpreter>(turtle_);
    runner_ = std::make_unique<ProgramRunner>(document_.program(), *interpreter_, [this] {
        QMetaObject::invokeMethod(this, &TFormMain::run_ended, Qt::QueuedConnection);
    });
    document_.program().set_interrupt([this] { runner_->cancel(); });
}

void TFormMain::create_recovery_copy() {
    recovery_ = std::make_unique<RecoveryCopy>(document_);
    ask_restore = [this](const LeftCopy& copy) { return dozu::ask_restore(this, kCaption, copy); };
    tell_unsafe_changes = [this](const QString& trouble) {
        auto* box = new QMessageBox(QMessageBox::Warning, kCaption,
                                    QString("Unsaved changes cannot be kept safe: %1.").arg(trouble),
                                    QMessageBox::Ok, this);
        box->setInformativeText(
            "If dozu quits unexpectedly, the changes made since the last save are lost. The status bar says "
            "so until copies can be written again.");
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    };
    StatusRecovery = new QLabel;
    StatusRecovery->setObjectName("StatusRecovery");
    // However long the reason, the window keeps its width: the tooltip and
    // the dialog give it whole.
    StatusRecovery->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    StatusRecovery->hide();
    statusBar()->addPermanentWidget(StatusRecovery, 1);
    connect(recovery_.get(), &RecoveryCopy::trouble_changed, this, &TFormMain::show_recovery_trouble);
    // The session ends: what the session manager ends next may be this
    // editor.
    connect(qApp, &QGuiApplication::commitDataRequest, this,
            [this] { recovery_->write_now(RecoveryCopy::kEndWaitMs); });
}

bool TFormMain::restore_left_programs() {
    // A restore replaces the program: only before anything was changed.
    if (!document_.undo_stack()->isClean()) return false;
    bool restored = false;
    const std::vector<LeftCopy> copies = recovery_->take_left_copies();
    if (const QStringList notes = recovery_->notes(); !notes.isEmpty()) {
        for (const QString& note : notes) std::fprintf(stderr, "dozu: %s\n", qPrintable(note));
        statusBar()->showMessage(notes.join("; "), kWrittenStatusMs);
    }
    for (const LeftCopy& copy : copies) {
        const RestoreAnswer answer = ask_restore(copy);
        if (answer == RestoreAnswer::later) break;  // the question closed: no more in this start
        // Framed as a loaded program is.
        if (answer == RestoreAnswer::restore)
            file_operation([&] {
                recovery_->restore(copy);
                fit_after_load_ = true;
            });
        if (answer == RestoreAnswer::discard) recovery_->discard(copy);
        // One program at a time: the next editor offers the rest.
        restored = !document_.undo_stack()->isClean();
        if (restored) break;
    }
    recovery_->let_go_left_copies();
    return restored;
}

TFormMain::~TFormMain() {
    RefreshGL->stop();
    document_.disconnect(this);
    document_.undo_stack()->disconnect(this);
    document_.program().set_interrupt(nullptr);
    runner_.reset();
    interpreter_.reset();
    // The frame shows the document: it goes first.
    delete FrameProgram;
}

void TFormMain::SglPanelGLInit() {
    gl_version_ = QString("%1, OpenGL %2")
                      .arg(reinterpret_cast<const char*>(glGetString(GL_RENDERER)),
                           reinterpret_cast<const char*>(glGetString(GL_VERSION)));
    scene_init_gl();
    // A context made again (after a driver change, say) keeps the mode shown
    // by the menu's check mark.
    if (MISolid->isChecked()) apply_solid_state();
}

void TFormMain::start_run() {
    runner_->start(FrameProgram->run_count(), MIRepeatableRandom->isChecked());
    show_running();
}

void TFormMain::run_ended() {
    const std::optional<ProgramRunner::Report> report = runner_->collect(FrameProgram->messages);
    show_running();
    if (!report) return;
    // A failed run changed nothing but the messages, which say why.
    if (report->outcome == ProgramRunner::Outcome::failed)
        FrameProgram->messages = {{report->failure, report->failure_line}};
    FrameProgram->show_messages();
    last_run_ = *report;
    show_run_status(report->seconds * 1000);
    ++runs_;
    picture_changed();
    // A loaded program is framed once the run of it, and of any change
    // since, is on screen.
    if (fit_after_load_ && report->outcome == ProgramRunner::Outcome::finished && !running() &&
        !document_.program().changed()) {
        fit_after_load_ = false;
        MIZoomFitClick();
    }
    refresh_debugger();
}

void TFormMain::show_running() {
    const double seconds = runner_->elapsed();
    const bool show = seconds >= kShowRunningSeconds;
    if (show) StatusRunning->setText(QString("running... %1 s").arg(seconds, 0, 'f', 1));
    StatusRunning->setVisible(show);
    CancelRunButton->setVisible(show);
    MICancelRun->setEnabled(seconds > 0);
}

void TFormMain::MICancelRunClick() {
    runner_->cancel();
    show_running();
    // The rest of the status bar still tells of the last finished run.
    StatusTime->setText("run cancelled");
}

bool TFormMain::wait_for_run() {
    if (FrameProgram->TakeChanged()) start_run();
    return wait_until([this] { return !running(); }, [this] { runner_->cancel(); });
}

bool TFormMain::wait_until(const std::function<bool()>& ended, const std::function<void()>& cancel) {
    if (ended()) return true;
    QProgressDialog progress("Waiting for the run to finish...", "Cancel", 0, 0, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(int(kShowRunningSeconds * 1000));
    while (!ended()) {
        if (progress.wasCanceled()) {
            cancel();
            while (!ended()) QApplication::processEvents(QEventLoop::AllEvents, kRefreshMs);
            return false;
        }
        progress.setValue(0);
        QEventLoop pause;
        QTimer::singleShot(kRefreshMs, &pause, &QEventLoop::quit);
        pause.exec();
    }
    return true;
}

void TFormMain::show_run_status(double milliseconds) {
    const QuadMesh& mesh = interpreter_->output_mesh();
    StatusMesh->setText(QString("%1 vertices, %2 quads").arg(mesh.vertex_count()).arg(mesh.index_count() / 4));
    StatusTime->setText(QString("run %1 ms").arg(milliseconds, 0, 'f', milliseconds < 10 ? 2 : 0));
    const int line = first_error_line(FrameProgram->messages);
    StatusError->setText(line ? QString("first error in line %1").arg(line) : QString("no errors"));
}

void TFormMain::SglPanelGLPaint() {
    if (paint_request_) {
        const std::function<void()> request = std::move(paint_request_);
        paint_request_ = nullptr;
        request();
        picture_changed();
    }
    const int w = SglPanel->ClientWidth(), h = SglPanel->ClientHeight();
    float center[3];
    turtle_.bounds_center(center);
    if (!picture_changed_ && camera_.settled(center) && !kept_picture_.empty() && kept_width_ == w &&
        kept_height_ == h) {
        scene_draw_picture(kept_picture_, w, h);
    } else {
        kept_picture_.clear();
        QElapsedTimer paint;
        paint.start();
        render_scene();
        // The time of the drawing calls, without waiting for the renderer:
        // a model that is slow to draw is slow to hand over too.
        if (paint.elapsed() >= slow_paint_ms_) {
            if (camera_.settled(center)) {
                try {
                    kept_picture_ = scene_read_picture(w, h);
                    kept_width_ = w, kept_height_ = h;
                } catch (const std::bad_alloc&) {
                    // Exposes then draw the model again.
                }
            } else {
                // The next tick draws the view where the animations end.
                camera_.settle(center);
                picture_changed();
            }
        }
    }
    glFlush();
    SglPanel->SwapBuffers();
}

void TFormMain::render_scene() {
    const int w = SglPanel->ClientWidth(), h = SglPanel->ClientHeight();
    scene_begin(w, h);
    scene_draw(camera_, turtle_, interpreter_->output_mesh(), w, h, !frozen_, view_options());
    if (SglPanel->hasFocus()) {
        const QColor c = palette().color(QPalette::Highlight);
        const float rgb[3] = {float(c.redF()), float(c.greenF()), float(c.blueF())};
        draw_focus_frame(w, h, rgb);
    }
    picture_changed_ = false;
    ++paints_;
}

void TFormMain::RefreshGLTimer() {
    if (!frozen_ && FrameProgram->TakeChanged()) start_run();
    show_running();
    float center[3];
    turtle_.bounds_center(center);
    if (picture_changed_ || !camera_.settled(center)) SglPanel->update();
}

template <typename Operation>
void TFormMain::file_operation(Operation operation) {
    // Nested operations (a save asked for by the unsaved-changes question)
    // leave the outer one to restart the timer.
    const bool outer = !frozen_;
    RefreshGL->stop();
    frozen_ = true;
    QApplication::processEvents();
    try {
        operation();
    } catch (const FileError& e) {
        QMessageBox::critical(this, kCaption, QString::fromLocal8Bit(e.what()));
    } catch (const ProgramTooLarge& e) {
        QMessageBox::critical(this, kCaption, QString::fromLatin1(e.what()));
    } catch (const ProgramFileTooLarge& e) {
        // Only a save meets it: edits never make such a program.
        QMessageBox::critical(this, kCaption, refusal("saved", e));
    } catch (const std::bad_alloc&) {
        QMessageBox::critical(this, kCaption, "Out of memory: nothing was changed.");
    } catch (const std::exception& e) {
        QMessageBox::critical(this, kCaption, QString("The operation failed: %1").arg(e.what()));
    }
    if (!outer) return;
    frozen_ = false;
    picture_changed();
    RefreshGL->start();
}

void TFormMain::report_skipped_steps(const std::vector<SkippedStep>& skipped) {
    if (skipped.empty()) return;
    QString text = QString("%1 step byte(s) outside 1 to 26 were skipped:").arg(skipped.size());
    const size_t shown = std::min<size_t>(skipped.size(), 10);
    for (size_t i = 0; i < shown; ++i)
        text +=
            QString("\nstep byte %1 at offset %2 skipped").arg(skipped[i].byte).arg(qulonglong(skipped[i].offset));
    if (shown < skipped.size()) text += QString("\n... and %1 more").arg(skipped.size() - shown);
    QMessageBox::warning(this, kCaption, text);
}

bool TFormMain::maybe_save() {
    if (document_.undo_stack()->isClean()) return true;
    const QString& file = document_.file_name();
    switch (ask_unsaved("\"" + (file.isEmpty() ? QString(kUntitled) : shown_file_name(file)) + "\"")) {
        case QMessageBox::Save: return SaveProgram(false);
        case QMessageBox::Discard: return true;
        default: return false;
    }
}

bool TFormMain::SaveProgram(bool ask) {
    if (ask || document_.file_name().isEmpty()) {
        if (!FrameProgram->SaveProgram(false)) return false;
    } else {
        if (!may_replace_file()) return false;
        document_.save(document_.file_name(), false);
    }
    recent_.add(document_.file_name());
    update_recent_files();
    update_title();
    return true;
}

void TFormMain::add_recent(const QString& path) {
    recent_.add(path);
    update_recent_files();
    update_title();
}

void TFormMain::MINewClick() {
    file_operation([this] {
        if (!maybe_save()) return;
        document_.new_program();
        update_title();
    });
}

void TFormMain::MILoadClick() {
    file_operation([this] {
        if (!maybe_save()) return;
        if (const auto report = FrameProgram->LoadProgram(
                [this](const QString& path, const std::string& reason) { return load_anyway(path, reason); })) {
            fit_after_load_ = true;
            add_recent(document_.file_name());
            report_skipped_steps(report->skipped);
        }
    });
}

bool TFormMain::load_file(const QString& path) {
    bool loaded = false;
    file_operation([&] {
        std::optional<LoadReport> report;
        try {
            report = document_.load(path, [this](const QString& file, const std::string& reason) {
                return load_anyway(file, reason);
            });
        } catch (...) {
            // A file that cannot be loaded is no longer offered.
            recent_.remove(path);
            update_recent_files();
            throw;
        }
        if (!report) return;
        loaded = true;
        fit_after_load_ = true;
        add_recent(path);
        report_skipped_steps(report->skipped);
    });
    return loaded;
}

bool TFormMain::load_anyway(const QString& path, const std::string& reason) {
    return ask_to_go_on(QString("\"%1\" does not look like a dozu program: %2.\n\n"
                                "Load it anyway? It takes the place of the program being edited.")
                            .arg(shown_file_name(path), QString::fromLatin1(reason)));
}

bool TFormMain::open_file(const QString& path) {
    bool proceed = false;
    file_operation([&] { proceed = maybe_save(); });
    return proceed && load_file(path);
}

void TFormMain::MISaveClick() {
    file_operation([this] { SaveProgram(false); });
}

void TFormMain::MISaveAsClick() {
    file_operation([this] { SaveProgram(true); });
}

void TFormMain::MISaveCompiledClick() {
    file_operation([this] { FrameProgram->SaveProgram(true); });
}

void TFormMain::update_title() {
    const QString& file = document_.file_name();
    setWindowTitle(
        QString("%1[*] - %2").arg(file.isEmpty() ? QString(kUntitled) : shown_file_name(file), kCaption));
    setWindowModified(!document_.undo_stack()->isClean());
}

void TFormMain::show_saved(const QString& path, bool compiled) {
    statusBar()->showMessage(saved_status(path, document_.program().lines().size(), compiled), kWrittenStatusMs);
}

void TFormMain::update_recent_files() {
    MIRecentFiles->clear();
    const QStringList files = recent_.list();
    const QStringList captions = recent_captions(files);
    // The whole path shows on each item.
    MIRecentFiles->setToolTipsVisible(true);
    for (int i = 0; i < files.size(); ++i) {
        const QString path = files[i];
        QAction* item = MIRecentFiles->addAction(QString("&%1 %2").arg(i + 1).arg(captions[i]), this,
                                                 [this, path] { open_file(path); });
        item->setData(path);
        item->setStatusTip(shown_path(path));
        item->setToolTip(shown_path(path));
    }
    MIRecentFiles->setEnabled(!files.isEmpty());
}

void TFormMain::closeEvent(QCloseEvent* event) {
    bool close = false;
    file_operation([&] { close = maybe_save(); });
    if (!close) {
        event->ignore();
        return;
    }
    event->accept();
    write_settings();
    // Closing the main window ends the application, the debugger with it.
    if (FormDebugMesh) FormDebugMesh->close();
}

void TFormMain::dragEnterEvent(QDragEnterEvent* event) {
    if (!dropped_program(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TFormMain::dropEvent(QDropEvent* event) {
    const QString path = dropped_program(event->mimeData());
    if (path.isEmpty()) return;
    event->acceptProposedAction();
    // Questions and errors come after the drop has finished.
    QTimer::singleShot(0, this, [this, path] { open_file(path); });
}

void TFormMain::MIExportMeshClick() {
    file_operation([this] {
        // The file gets the program as it is now: a change not yet shown is
        // run first.
        SDExportMesh->suggest(document_.file_name());
        // Through the frame's file dialog runner, which also clears the
        // name completer's popup away.
        if (export_folder_.isEmpty() && !program_folder_.isEmpty()) SDExportMesh->setDirectory(program_folder_);
        if (FrameProgram->exec_file_dialog(SDExportMesh).isEmpty()) return;
        const QString path = SDExportMesh->chosen_path();
        // Where the file goes, which a path typed into the name box changes.
        export_folder_ = QFileInfo(path).absolutePath();
        if (const QString problem = unheld_name_problem(path); !problem.isEmpty())
            throw FileError(problem.toUtf8().toStdString());
        if (wait_for_run()) export_mesh_to(path, SDExportMesh->chosen_format(), SDExportMesh->chosen_scale());
    });
}

void TFormMain::MIExportPictureClick() {
    file_operation([this] {
        const QString& program = document_.file_name();
        const QString folder = !export_folder_.isEmpty()    ? export_folder_
                               : !program_folder_.isEmpty() ? program_folder_
                                                            : QString();
        const QString name =
            (program.isEmpty() ? QString("untitled") : QFileInfo(program).completeBaseName()) + ".png";
        SDExportPicture->prepare(QSize(SglPanel->ClientWidth(), SglPanel->ClientHeight()),
                                 folder.isEmpty() ? name : folder + "/" + name);
        if (SDExportPicture->exec() != QDialog::Accepted) return;
        export_folder_ = QFileInfo(SDExportPicture->chosen_path()).absolutePath();
        // The picture shows the program as it is now: a change not yet
        // shown is run first.
        if (!wait_for_run()) return;
        const QSize size = SDExportPicture->chosen_size();
        export_picture_to(SDExportPicture->chosen_path(), size.width(), size.height());
    });
}

bool TFormMain::export_mesh_to(const QString& path) {
    const std::string file = path_bytes(path);
    MeshFormat format;
    if (!mesh_format_of(file, format))
        throw FileError("cannot export \"" + file + "\": its extension is not one of a mesh format");
    return export_mesh_to(path, format);
}

bool TFormMain::export_mesh_to(const QString& path, MeshFormat format, double scale) {
    document_.refuse_program_file(path);
    // In trace mode the view shows the program up to the selected line; the
    // file gets the whole program.
    const Program& program = document_.program();
    if (size_t(program.run_count()) >= program.lines().size())
        return write_model(path, format, scale, interpreter_->output_mesh());
    turtle whole_turtle;
    interpreter whole(whole_turtle);
    std::atomic<bool> ended = false;
    ProgramRunner runner(document_.program(), whole, [&ended] { ended = true; });
    runner.start(int(program.lines().size()), MIRepeatableRandom->isChecked());
    if (!wait_until([&ended] { return ended.load(); }, [&runner] { runner.cancel(); })) return false;
    MessageList messages;
    const std::optional<ProgramRunner::Report> report = runner.collect(messages);
    if (report && report->outcome == ProgramRunner::Outcome::failed) throw std::bad_alloc();
    return write_model(path, format, scale, whole.output_mesh());
}

bool TFormMain::write_model(const QString& path, MeshFormat format, double scale, QuadMesh& model) {
    const CompactMesh mesh = compact(output_mesh_view(model));
    const std::string refused = "cannot export \"" + path_bytes(path) + "\": the scale " +
                                QString::number(scale, 'g', 12).toStdString() + " is too ";
    switch (scale_fit(mesh, scale)) {
        case ScaleFit::fits: break;
        case ScaleFit::too_large:
            throw FileError(refused + "large for this model: a coordinate would not be finite");
        case ScaleFit::too_small:
            throw FileError(refused + "small for this model: every coordinate would be zero");
    }
    if (mesh.quad_count() == 0 &&
        !ask_to_go_on(QString("The model is empty: it has no quads to write.\n\nExport \"%1\" anyway?")
                          .arg(shown_file_name(path))))
        return false;
    ExportOptions options;
    options.name = path_bytes(QFileInfo(path).completeBaseName());
    options.scale = scale;
    write_mesh_file(path_bytes(path), mesh, format, options);
    statusBar()->showMessage(exported_status(path, mesh, format), kWrittenStatusMs);
    return true;
}

void TFormMain::MIResetCamClick() {
    camera_.reset();
    picture_changed();
}

void TFormMain::MIZoomFitClick() {
    // With nothing to fit, the camera stays as it is: a fit to a point
    // would show the next model from up close.
    const float radius = turtle_.bounds_radius();
    if (interpreter_->output_mesh().index_count() == 0 || !(radius > 0) || !std::isfinite(radius)) return;
    float center[3];
    turtle_.bounds_center(center);
    const int w = SglPanel->ClientWidth(), h = SglPanel->ClientHeight();
    camera_.fit(center, radius, h > 0 ? double(w) / h : 1.0, kFieldOfViewDegrees);
    picture_changed();
}

void TFormMain::MIRepeatableRandomClick() { document_.program().request_run(); }

void TFormMain::MISolidClick() {
    // The checkable action has already toggled its mark.
    apply_solid_state();
}

void TFormMain::apply_solid_state() {
    if (SglPanel->GLHandleAllocated()) scene_set_solid(MISolid->isChecked());
    picture_changed();
}

void TFormMain::MIDebugInMeshClick() {
    if (!FormDebugMesh) return;
    debugged_ = Debugged::input;
    FormDebugMesh->fill(input_mesh_view(turtle_), "Input mesh");
    FormDebugMesh->bring_up();
}

void TFormMain::MIDebugOutMeshClick() {
    if (!FormDebugMesh) return;
    debugged_ = Debugged::output;
    FormDebugMesh->fill(output_mesh_view(interpreter_->output_mesh()), "Output mesh");
    FormDebugMesh->bring_up();
}

std::optional<std::string> TFormMain::share_base() {
    const QString setting = QSettings("dozu", "dozu").value(kShareBaseKey).toString();
    // Read back as it was stored, which may be from elsewhere.
    if (const std::string problem = share_base_problem(setting.toStdString()); !problem.empty()) {
        QMessageBox::warning(this, kCaption,
                             QString("No share link was copied: the Share Link Address is not usable (%1). "
                                     "Set another in File \u203a Share Link Address.")
                                 .arg(QString::fromStdString(problem)));
        return std::nullopt;
    }
    if (setting.isEmpty()) return default_share_base(QCoreApplication::applicationFilePath().toStdString());
    return setting.toStdString();
}

void TFormMain::MICopyShareLinkClick() {
    const std::optional<std::string> base = share_base();
    if (!base) return;
    if (!share_link_maker_) {
        share_link_maker_ = new ShareLinkMaker(this);
        connect(share_link_maker_, &ShareLinkMaker::made, this, &TFormMain::share_link_made);
    }
    const Program& program = document_.program();
    share_link_maker_->start(*base, program.table, program.steps());
    statusBar()->showMessage("Making the share link...");
}

void TFormMain::share_link_made(const QString& link, const QString& problem) {
    if (problem.isEmpty()) {
        QApplication::clipboard()->setText(link);
        statusBar()->showMessage("Share link copied", 5000);
        return;
    }
    statusBar()->clearMessage();
    QMessageBox::warning(this, kCaption,
                         QString("No share link was copied: %1. Share the program file instead.").arg(problem));
}

void TFormMain::MIShareLinkAddressClick() {
    QSettings settings("dozu", "dozu");
    const std::optional<QString> base = ask_share_base(settings.value(kShareBaseKey).toString());
    if (!base) return;
    if (const std::string problem = share_base_problem(base->toStdString()); !problem.empty()) {
        QMessageBox::warning(
            this, kCaption,
            QString("The Share Link Address stays as it was: %1.").arg(QString::fromStdString(problem)));
        return;
    }
    settings.setValue(kShareBaseKey, *base);
}

}  // namespace dozu
