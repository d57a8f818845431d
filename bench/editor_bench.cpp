// The editor itself on a private X server with the system's GL (under Xvfb
// that is Mesa's software renderer): a change to a large model, from the
// start of its run until it is drawn; a paint with each View option; the
// spin's frame rate; the processor time of an idle editor. The main window does all of it through its real
// runner, scene and GL panel.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <GL/gl.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QMessageBox>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QUndoStack>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "app/main_window.h"
#include "glpanel/scrgl.h"
#include "io/file_io.h"
#include "models.h"
#include "program/command_table.h"
#include "program/program_file.h"
#include "support/xvfb_server.h"
#include "ui/program_document.h"
#include "ui/recovery_copy.h"

namespace dozu::bench {

namespace {

using Clock = std::chrono::steady_clock;

void pump(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// Sleeps between events, so that waiting takes no processor time from the
// run.
bool wait_for(const std::function<bool()>& condition, int milliseconds = 60000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > milliseconds) return false;
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

double thread_cpu_seconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double cpu_seconds() {
    rusage r;
    getrusage(RUSAGE_SELF, &r);
    return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) + double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

// The benchmark chain, subdivided once, loaded into a shown editor from a
// program file made of the default buttons; or, with a negative key, the
// first -key lines of a longer chain, not subdivided.
std::map<int64_t, std::unique_ptr<TFormMain>> editors;

std::vector<std::string> editor_lines(int64_t key) {
    if (key < 0) {
        std::vector<std::string> lines = chain_program(uint32_t(-key) * 3);
        lines.resize(size_t(-key));
        return lines;
    }
    std::vector<std::string> lines = chain_program(uint32_t(key));
    lines.push_back("D ");
    return lines;
}

TFormMain& editor(int64_t key) {
    std::unique_ptr<TFormMain>& form = editors[key];
    if (form) return *form;
    const CommandTable table;
    std::vector<uint8_t> steps;
    for (const std::string& line : editor_lines(key))
        for (int tag = 1; tag <= CommandTable::kButtons; ++tag)
            if (table.interpreter_code(tag) + " " == line) {
                steps.push_back(uint8_t(tag));
                break;
            }
    char path[] = "/tmp/dozu-editor-bench-XXXXXX.tpg";
    const int fd = mkstemps(path, 4);
    if (fd >= 0) close(fd);
    write_file_atomic(path, encode_program_file(table, steps));
    form = std::make_unique<TFormMain>();
    form->ask_unsaved = [](const QString&) { return QMessageBox::Discard; };
    form->show();
    form->load_file(path);
    std::remove(path);
    wait_for([&] { return form->runs() > 0 && !form->running(); });
    // A load frames the model; the figures are taken at the start's camera,
    // as they always were, where the view shows the model as it first falls.
    form->MIResetCamClick();
    return *form;
}

// A change: a MARK line after the first line, then its undoing, in turn.
void change(TFormMain& form, bool add) {
    if (add) {
        form.document().select_line(0);
        form.FrameProgram->ButtonClick(18);
    } else {
        form.document().undo_stack()->undo();
    }
}

void BM_editor_change(benchmark::State& state) {
    TFormMain& form = editor(state.range(0));
    double run = 0, run_cpu = 0, process_cpu = 0, draw = 0;
    bool add = true;
    for (auto _ : state) {
        const int runs = form.runs();
        const double cpu = cpu_seconds();
        change(form, add);
        add = !add;
        if (!wait_for([&] { return form.runs() > runs && !form.running(); }))
            return state.SkipWithError("the run did not end");
        process_cpu += cpu_seconds() - cpu;
        run_cpu += form.last_run_cpu_seconds();
        const auto start = Clock::now();
        form.render_scene();
        glFinish();
        const double drawn = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(form.last_run_seconds() + drawn);
        run += form.last_run_seconds();
        draw += drawn;
    }
    const double n = double(state.iterations());
    state.counters["run_ms"] = run / n * 1000;
    // The processor time of the run's thread, and of the whole process from
    // the change until the run was shown (the window's thread's share is
    // the list, the undo step and the messages).
    state.counters["run_cpu_ms"] = run_cpu / n * 1000;
    state.counters["process_cpu_ms"] = process_cpu / n * 1000;
    state.counters["draw_ms"] = draw / n * 1000;
    state.counters["out_quads"] = double(form.Interpreter().output_mesh().index_count() / 4);
}

// A change of a long program, on the window's thread alone: the click's undo
// step, the program list's update and the list's next paint, with the
// refresh timer stopped so that no run's end is counted.
void BM_editor_list_change(benchmark::State& state) {
    TFormMain& form = editor(-state.range(0));
    wait_for([&] { return !form.running(); });
    form.RefreshGL->stop();
    QWidget* list = form.FrameProgram->LBCode->viewport();
    bool add = true;
    double edit = 0, events = 0, paint = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        const double t0 = thread_cpu_seconds();
        change(form, add);
        const double t1 = thread_cpu_seconds();
        add = !add;
        QApplication::processEvents();
        const double t2 = thread_cpu_seconds();
        list->repaint();
        const double t3 = thread_cpu_seconds();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        edit += t1 - t0;
        events += t2 - t1;
        paint += t3 - t2;
    }
    // The processor time of the window's thread: the edit and its undo
    // step, the list's handling of the change, the list's paint.
    const double n = double(state.iterations());
    state.counters["edit_cpu_ms"] = edit / n * 1000;
    state.counters["events_cpu_ms"] = events / n * 1000;
    state.counters["paint_cpu_ms"] = paint / n * 1000;
    state.counters["thread_cpu_ms"] = (edit + events + paint) / n * 1000;
    if (!add) change(form, false);
    form.RefreshGL->start();
}

// The recovery copy of a 16 MiB program, from a change until the copy is on
// disk (its delay included): the longest pause of the window's thread while
// the copy is written on a thread of its own, beside the longest while it
// waits for its delay, which is the loop's own noise.
void BM_editor_recovery_write(benchmark::State& state) {
    const CommandTable table;
    const std::vector<uint8_t> steps(kMaxProgramFileSize - encode_program_file(table, {}).size(), 17);
    QTemporaryDir folder;
    const QString program = folder.filePath("large.tpg");
    write_file_atomic(QFile::encodeName(program).toStdString(), encode_program_file(table, steps));
    ProgramDocument document;
    document.load(program);
    RecoveryCopy copy(document, folder.filePath("recovery"));
    // Each change adds a line: undoing them all would leave no copy.
    qint64 size = qint64(kMaxProgramFileSize);
    // The longest pauses while the copy waits for its delay (the loop's own
    // noise) and while it is written.
    double longest_waiting = 0, longest = 0;
    for (auto _ : state) {
        document.click_button(18);
        ++size;
        const auto start = Clock::now();
        auto last = start;
        while (QFileInfo(copy.copy_path()).size() != size) {
            QApplication::processEvents();
            const auto now = Clock::now();
            const double pause = std::chrono::duration<double>(now - last).count();
            const bool waiting = now - start < std::chrono::milliseconds(RecoveryCopy::kDelayMs - 50);
            (waiting ? longest_waiting : longest) = std::max(waiting ? longest_waiting : longest, pause);
            last = now;
            usleep(200);
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
    state.counters["pause_waiting_max_ms"] = longest_waiting * 1000;
    state.counters["pause_writing_max_ms"] = longest * 1000;
}

// Frames of a spin that is kept going, each painted and swapped.
void BM_editor_spin(benchmark::State& state) {
    TFormMain& form = editor(state.range(0));
    constexpr int kFrames = 20;
    for (auto _ : state) {
        for (int i = 0; i < kFrames; ++i) {
            form.camera().trackball.speed = 0.05f;
            form.camera().trackball.axis_x = 1;
            form.camera().trackball.axis_y = 0;
            form.SglPanel->repaint();
        }
        glFinish();
    }
    state.counters["frames_per_s"] =
        benchmark::Counter(double(kFrames), benchmark::Counter::kIsIterationInvariantRate);
}

// One paint of the model as the View options draw it: 0 the plain
// wireframe, 1 without hidden lines, 2 the solid output with its edges, 3
// the turtle, the axes and the grid over the wireframe.
void BM_editor_draw(benchmark::State& state) {
    TFormMain& form = editor(100000);
    const int variant = int(state.range(0));
    QAction* options[4][2] = {
        {}, {form.MIHiddenLines}, {form.MISolid, form.MIShowEdges}, {form.MIShowTurtle, form.MIShowAxesGrid}};
    for (QAction* a : options[variant])
        if (a) a->trigger();
    for (auto _ : state) {
        form.render_scene();
        glFinish();
    }
    for (QAction* a : options[variant])
        if (a) a->trigger();
}

// Ten seconds of an editor that shows the model and is left alone.
void BM_editor_idle(benchmark::State& state) {
    TFormMain& form = editor(state.range(0));
    form.camera().trackball.speed = 0;
    pump(2000);  // the view centre settles
    double share = 0;
    for (auto _ : state) {
        const int paints = form.paints();
        const double before = cpu_seconds();
        const auto start = Clock::now();
        pump(10000);
        share = (cpu_seconds() - before) / std::chrono::duration<double>(Clock::now() - start).count();
        state.counters["paints"] = double(form.paints() - paints);
    }
    state.counters["core_percent"] = share * 100;
}

}  // namespace

BENCHMARK(BM_editor_change)
    ->ArgName("in_quads")
    ->Arg(25000)
    ->Arg(100000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_editor_draw)->ArgName("options")->DenseRange(0, 3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_editor_list_change)->ArgName("lines")->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_editor_recovery_write)->Iterations(4)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_editor_spin)->ArgName("in_quads")->Arg(100000)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_editor_idle)
    ->ArgName("in_quads")
    ->Arg(100000)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

}  // namespace dozu::bench

int main(int argc, char** argv) {
    XvfbServer server;
    std::string error;
    const std::string display = server.Start(error);
    if (display.empty()) {
        std::fprintf(stderr, "dozu_editor_bench: no X server: %s\n", error.c_str());
        return 2;
    }
    setenv("DISPLAY", display.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    QApplication app(argc, argv);
    // The user's settings (a maximised window, say) stay out of the figures.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // The editors go before the application.
    dozu::bench::editors.clear();
    return 0;
}
