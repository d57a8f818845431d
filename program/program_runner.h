// Runs the program on a thread of its own, one run at a time, so that the
// editor stays responsive while a large model is made. A run holds the
// program lock for its whole length and reads the lines under it; every
// change of the lines asks the run to stop before it takes the lock (see
// Program::set_interrupt), so an edit waits only until the run notices.
// A run builds aside in the interpreter; a finished one waits for the
// editor to collect it on the editor's own thread, where the interpreter's
// turtle, output mesh and messages are drawn and read, and only then
// becomes current. A cancelled run leaves no trace.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "geometry/stop_flag.h"
#include "interpreter/interpreter.h"
#include "program/program.h"

namespace dozu {

class ProgramRunner {
public:
    enum class Outcome { finished, cancelled, failed };
    struct Report {
        Outcome outcome;
        double seconds = 0;      // from the start until the run ended
        double cpu_seconds = 0;  // the processor time the run's thread took
        std::string failure;     // why a failed run failed, as a message
        int failure_line = 0;    // the line the message is tagged with
    };

    // notify is called on the run's thread whenever a run has ended; it
    // should only wake the editor's thread, which then calls collect.
    ProgramRunner(Program& program, interpreter& interp, std::function<void()> notify);
    ~ProgramRunner();
    ProgramRunner(const ProgramRunner&) = delete;
    ProgramRunner& operator=(const ProgramRunner&) = delete;

    // Runs the first count lines, after cancelling a run that is going on.
    // With repeatable set, the run starts the random sequence at 0.
    void start(int count, bool repeatable);
    // Stops the run that is going on and forgets one not begun yet.
    void cancel();
    // From start until the run has ended and been collected.
    bool busy() const;
    // Seconds since the run going on started; 0 when none is.
    double elapsed() const;

    // On the editor's thread: the latest run that ended, once. A finished
    // run becomes current here: the interpreter's turtle and output mesh
    // (in display form) and the messages are its results. A failed run
    // (one that ran out of memory, say) changes nothing but says why in the
    // report.
    std::optional<Report> collect(MessageList& messages);

private:
    using Clock = std::chrono::steady_clock;
    struct Job {
        int count;
        bool repeatable;
    };
    void work();
    Report run(const Job& job);

    Program& program_;
    interpreter& interp_;
    std::function<void()> notify_;
    StopFlag stop_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<Job> pending_;
    std::optional<Report> ended_;
    bool running_ = false;
    bool quit_ = false;
    Clock::time_point started_;
    std::thread thread_;  // last: it starts once the rest is there
};

}  // namespace dozu
