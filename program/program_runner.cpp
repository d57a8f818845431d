#include "program/program_runner.h"

#include <time.h>

#include <exception>
#include <new>

#include "geometry/random.h"

namespace dozu {

namespace {

double thread_cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// A thread starts with its creator's vector registers, and a window's thread
// often holds the upper halves of its AVX registers in use (its libraries'
// wide code leaves them so). A thread that starts that way and runs only
// SSE code never clears them, and every call into libm's AVX code (the
// turtle's sin and cos) then pays a state transition: measured, a quarter
// of a large run. One VZEROUPPER at the thread's start clears them.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
__attribute__((target("avx"))) void clear_upper_vector_halves() { __builtin_ia32_vzeroupper(); }
void start_with_clean_vector_state() {
    if (__builtin_cpu_supports("avx")) clear_upper_vector_halves();
}
#else
void start_with_clean_vector_state() {}
#endif

}  // namespace

ProgramRunner::ProgramRunner(Program& program, interpreter& interp, std::function<void()> notify)
    : program_(program), interp_(interp), notify_(std::move(notify)), thread_([this] { work(); }) {}

ProgramRunner::~ProgramRunner() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
        stop_.request(StopReason::cancel);
    }
    wake_.notify_all();
    thread_.join();
}

void ProgramRunner::start(int count, bool repeatable) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pending_ = Job{count, repeatable};
        if (running_) stop_.request(StopReason::cancel);
    }
    wake_.notify_all();
}

void ProgramRunner::cancel() {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.reset();
    if (running_) stop_.request(StopReason::cancel);
}

bool ProgramRunner::busy() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return running_ || pending_ || ended_;
}

double ProgramRunner::elapsed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return running_ ? std::chrono::duration<double>(Clock::now() - started_).count() : 0.0;
}

std::optional<ProgramRunner::Report> ProgramRunner::collect(MessageList& messages) {
    std::optional<Report> report;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        report.swap(ended_);
        // The run's thread waits while a finished run is not collected, so
        // nothing else touches the interpreter now.
        if (report && report->outcome == Outcome::finished) interp_.commit(messages);
    }
    wake_.notify_all();
    return report;
}

void ProgramRunner::work() {
    start_with_clean_vector_state();
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        // A finished run stays staged in the interpreter until collected.
        wake_.wait(lock,
                   [this] { return quit_ || (pending_ && !(ended_ && ended_->outcome == Outcome::finished)); });
        if (quit_) return;
        const Job job = *pending_;
        pending_.reset();
        stop_.clear();
        running_ = true;
        started_ = Clock::now();
        lock.unlock();
        const double cpu = thread_cpu_seconds();
        Report report = run(job);
        report.cpu_seconds = thread_cpu_seconds() - cpu;
        lock.lock();
        running_ = false;
        report.seconds = std::chrono::duration<double>(Clock::now() - started_).count();
        // A cancelled run has nothing to show: an earlier report stays.
        if (report.outcome != Outcome::cancelled) ended_ = std::move(report);
        lock.unlock();
        notify_();
        lock.lock();
    }
}

ProgramRunner::Report ProgramRunner::run(const Job& job) {
    const uint32_t random_before = random_state();
    Report report{Outcome::finished, 0, 0, {}};
    const LineView lines = program_.LockProgram();
    try {
        // The batch tool starts the random sequence at 0; the editor runs
        // it on unless asked to do the same.
        if (job.repeatable) set_random_state(0);
        if (!interp_.stage(lines, job.count, &stop_)) {
            report.outcome = Outcome::cancelled;
        } else if (const int line = interp_.staged_out_of_memory_line(); line >= 0) {
            // What the run made until then is not shown: the last finished
            // model stays, and the memory goes back.
            interp_.discard_staged();
            report = {Outcome::failed, 0, 0, "fatal error: out of memory", line};
        } else {
            interp_.staged_mesh().to_display_form();
        }
    } catch (const std::bad_alloc&) {
        interp_.discard_staged();
        report = {Outcome::failed, 0, 0, "fatal error: out of memory"};
    } catch (const std::exception& e) {
        report = {Outcome::failed, 0, 0, std::string("fatal error: ") + e.what()};
    }
    program_.UnlockProgram();
    if (report.outcome != Outcome::finished) set_random_state(random_before);
    return report;
}

}  // namespace dozu
