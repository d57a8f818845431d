// The main window: the GL panel above, the program frame below, the 25 ms
// refresh timer, the menu and the status bar. A timer tick starts a run of
// the program on the runner's thread when the frame reports a change (a
// change during a run cancels it), and repaints only when the picture
// changed: a finished run, a camera gesture or a spin still turning. Paints
// draw the last finished run's output mesh through the mouse camera and the
// overlay of the gesture in progress. While a file operation or its
// questions are on screen, paints only draw the last picture again.
#pragma once

#include <QMainWindow>
#include <QMessageBox>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "export/mesh_format.h"
#include "interpreter/interpreter.h"
#include "program/program_runner.h"
#include "scene/camera.h"
#include "scene/view_aids.h"
#include "turtle/turtle.h"
#include "ui/frame_program.h"
#include "ui/program_document.h"
#include "ui/recent_files.h"
#include "ui/recovery_copy.h"

class QAction;
class QLabel;
class QSplitter;
class QTimer;
class QToolButton;

namespace dozu {

class ExportMeshDialog;
class ExportPictureDialog;
class ShareLinkMaker;
class TFormDebugMesh;
class TSglPanel;
class ViewKeys;

class TFormMain : public QMainWindow {
    Q_OBJECT

public:
    explicit TFormMain(QWidget* parent = nullptr);
    ~TFormMain() override;

    TSglPanel* SglPanel;
    QTimer* RefreshGL;
    QWidget* PanelBot;
    // Between the view and PanelBot; a larger window gives the view the
    // new space.
    QSplitter* SplitterMain;
    TFrameProgram* FrameProgram;
    QAction* MINew;
    QAction* MILoad;
    QAction* MISave;
    QAction* MISaveAs;
    QAction* MISaveCompiled;
    QAction* MIExportMesh;
    QAction* MICopyShareLink;
    QAction* MIShareLinkAddress;
    QAction* MIExportPicture;
    QMenu* MIRecentFiles;
    QAction* MIQuit;
    QAction* MIUndo;
    QAction* MIRedo;
    QAction* MIResetCam;
    QAction* MIZoomFit;
    QAction* MISolid;
    QAction* MIRepeatableRandom;
    QAction* MIShowTurtle;
    QAction* MIShowAxesGrid;
    QAction* MIShowEdges;
    QAction* MIHiddenLines;
    QAction* MIViewDefault;
    QAction* MIViewFront;
    QAction* MIViewTop;
    QAction* MIViewRight;
    QAction* MICancelRun;
    QAction* MIDebugInMesh;
    QAction* MIDebugOutMesh;
    QAction* MICommandTable;
    QAction* MIAbout;
    QAction* MIShortcuts;
    QAction* MIManual;
    // The output mesh's size, the time of the last run, its first error.
    QLabel* StatusMesh;
    QLabel* StatusTime;
    QLabel* StatusError;
    // "running..." and the time so far, with a button that cancels the run,
    // while a run takes longer than a moment.
    QLabel* StatusRunning;
    QToolButton* CancelRunButton;
    // "unsaved changes cannot be kept safe: ..." while no recovery copy can
    // be written.
    QLabel* StatusRecovery;

    // The mesh debugger window that the two debug items fill; the
    // application creates it after this window.
    TFormDebugMesh* FormDebugMesh = nullptr;

    // Asks what to do with unsaved changes of the named program: Save,
    // Discard or Cancel. Tests put their own answer here.
    std::function<QMessageBox::StandardButton(const QString& name)> ask_unsaved;
    // Asks for the address where the web page is published, showing the
    // current one; nullopt when cancelled. Tests put their own answer here.
    std::function<std::optional<QString>(const QString& current)> ask_share_base;
    // Asks whether to go on with something the user may not want (loading
    // a file that does not look like a program, exporting an empty model):
    // Yes or No. Tests put their own answer here.
    std::function<bool(const QString& question)> ask_to_go_on;
    // Asks whether to restore the unsaved changes of an editor that quit
    // unexpectedly. Tests put their own answer here.
    std::function<RestoreAnswer(const LeftCopy& copy)> ask_restore;
    // Says, the first time, why unsaved changes cannot be kept safe. Tests
    // put their own here.
    std::function<void(const QString& trouble)> tell_unsafe_changes;

    // The program being edited, which the frame shows.
    ProgramDocument& document() { return document_; }
    turtle& Turtle() { return turtle_; }
    interpreter& Interpreter() { return *interpreter_; }
    Camera& camera() { return camera_; }
    // How many program runs have finished and been shown.
    int runs() const { return runs_; }
    // True from the start of a run until it has been shown or cancelled.
    bool running() const { return runner_ && runner_->busy(); }
    // How many times the view has been painted.
    int paints() const { return paints_; }
    // A paint that takes longer than this ends the camera's animations and
    // keeps its picture for exposes, so that a model too large to animate
    // is drawn once for a change, not for minutes.
    void set_slow_paint(int milliseconds) { slow_paint_ms_ = milliseconds; }
    // The last run that was shown: how long it took from its start, and
    // the processor time of its thread.
    double last_run_seconds() const { return last_run_.seconds; }
    double last_run_cpu_seconds() const { return last_run_.cpu_seconds; }

    void SglPanelGLInit();
    void SglPanelGLPaint();
    // The paint without the buffer swap: draws the scene into the back
    // buffer.
    void render_scene();
    void RefreshGLTimer();
    void MICancelRunClick();
    void MINewClick();
    void MILoadClick();
    void MISaveClick();
    void MISaveAsClick();
    void MISaveCompiledClick();
    void MIExportMeshClick();
    // Copies the program's share link (the web page's address with the
    // program in its fragment) to the clipboard, once it is made on a
    // thread of its own; a link too long for a browser is refused.
    void MICopyShareLinkClick();
    // Sets the address of the web page that share links point at; an empty
    // one points them at the page on this computer. Remembered.
    void MIShareLinkAddressClick();
    void MIResetCamClick();
    void MIZoomFitClick();
    void MISolidClick();
    void MIRepeatableRandomClick();
    void MIDebugInMeshClick();
    void MIDebugOutMeshClick();
    void MIViewOptionClick();
    void MIExportPictureClick();
    void MIAboutClick();
    void MIShortcutsClick();
    void MIManualClick();

    // What the View menu's options ask the view to show.
    ViewOptions view_options() const;
    // Turns the model to a standard view; pan and zoom stay.
    void look_from(StandardView view);
    // Writes a w x h PNG picture of the view, as it shows the model now;
    // throws FileError.
    void export_picture_to(const QString& path, int w, int h);

    // Loads a program file as "&Load" does, without the dialog and without
    // asking about unsaved changes; a file that cannot be loaded is
    // reported in a message box. True when loaded.
    bool load_file(const QString& path);
    // The same after the unsaved-changes question, as a recent file or a
    // dropped file is opened.
    bool open_file(const QString& path);
    // Offers the unsaved changes that editors which quit unexpectedly left
    // behind, one after another until one is restored; true when one was.
    bool restore_left_programs();
    // What the editor does once its window shows: offers the left unsaved
    // changes, then loads the file (when one is given); each question comes
    // with the window showing what it is about.
    void start(const QString& file);
    // Before the editor ends by a signal: writes the recovery copy of
    // unsaved changes, waiting a bounded time.
    void keep_changes_for_end();
    // Writes the output mesh of the latest run, in the format of the file
    // name's extension (.obj, .ply or .stl), and says so in the status bar;
    // throws FileError. In trace mode, short of the last line, the whole
    // program runs aside for it, with a way to cancel. An empty model is
    // written only when ask_to_go_on agrees; false when it did not, or the
    // run was cancelled.
    bool export_mesh_to(const QString& path);
    bool export_mesh_to(const QString& path, MeshFormat format, double scale = 1.0);

    ExportMeshDialog* SDExportMesh;
    ExportPictureDialog* SDExportPicture;

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void create_view();
    void create_program_panel();
    void create_file_menu();
    void create_edit_menu();
    void create_view_menu();
    void create_help_menu();
    void create_status_bar();
    void create_view_keys();
    void create_focus_ring();
    void follow_document();
    void create_refresh_timer();
    void create_runner();
    void read_settings();
    void write_settings() const;
    void create_recovery_copy();
    // Calls next once the window shows the program as it is: its last
    // change run and drawn (or after a while, whatever it shows).
    void when_drawn(const std::function<void()>& next);
    void show_recovery_trouble(const QString& trouble);
    // Before a save replaces the program's file that another program has
    // changed: true only when the user agrees.
    bool may_replace_file();

    void start_run();
    // The runner's word that a run ended, on this window's thread.
    void run_ended();
    void show_run_status(double milliseconds);
    void show_running();
    // Before an export: starts the run of a change not yet run and waits
    // for it, with a way to cancel. False when it was cancelled.
    bool wait_for_run();
    // Shows a way to cancel after a moment, until ended() holds; false when
    // cancel was called.
    bool wait_until(const std::function<bool()>& ended, const std::function<void()>& cancel);
    bool write_model(const QString& path, MeshFormat format, double scale, QuadMesh& model);
    void picture_changed() { picture_changed_ = true; }
    void apply_solid_state();
    // Runs a file operation with the refresh timer stopped and the view
    // frozen; file errors end in a message box.
    template <typename Operation>
    void file_operation(Operation operation);
    void report_skipped_steps(const std::vector<SkippedStep>& skipped);
    // True when the program may be replaced: it had no unsaved changes, or
    // the user saved or discarded them. Runs inside a file operation.
    bool maybe_save();
    // Saves to the program's file, or asks for one; false when cancelled.
    bool SaveProgram(bool ask);
    void add_recent(const QString& path);
    void update_title();
    void update_recent_files();
    // The question before a file that does not look like a program replaces
    // the program.
    bool load_anyway(const QString& path, const std::string& reason);
    void show_saved(const QString& path, bool compiled);
    void remember_program_folder();
    // Fills the mesh debugger again with the mesh it shows, when it is open.
    void refresh_debugger();
    // The address share links point at; nothing, after saying why, when
    // the one set is not usable.
    std::optional<std::string> share_base();
    void share_link_made(const QString& link, const QString& problem);

    ProgramDocument document_;
    turtle turtle_;
    Camera camera_;
    std::unique_ptr<interpreter> interpreter_;
    std::unique_ptr<ProgramRunner> runner_;
    std::unique_ptr<RecoveryCopy> recovery_;
    RecentFiles recent_;
    int runs_ = 0;
    int paints_ = 0;
    int slow_paint_ms_ = 250;
    // The last picture, kept when it was slow to draw: a paint with nothing
    // changed (an expose) shows it again instead of drawing the model.
    std::vector<uint8_t> kept_picture_;
    int kept_width_ = 0, kept_height_ = 0;
    ProgramRunner::Report last_run_{ProgramRunner::Outcome::finished, 0, 0, {}};
    bool frozen_ = false;          // a file operation is on: paints only redraw
    bool picture_changed_ = true;  // the next tick repaints
    bool fit_after_load_ = false;  // the first run of a loaded program is framed
    bool told_unsafe_ = false;     // the dialog about unkept changes was shown
    // Run by the next paint with the GL context current.
    std::function<void()> paint_request_;
    ViewKeys* view_keys_ = nullptr;
    QString gl_version_;
    QString program_folder_, export_folder_;
    enum class Debugged { none, input, output } debugged_ = Debugged::none;
    ShareLinkMaker* share_link_maker_ = nullptr;
};

}  // namespace dozu
