// The runner's thread against edits made meanwhile, as the editor makes
// them: every run that ends is collected on this thread.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <mutex>
#include <thread>

#include "geometry/random.h"
#include "program/program_runner.h"

using namespace dozu;

namespace {

class Runner : public ::testing::Test {
protected:
    Runner() {
        set_random_state(0);
        program.set_interrupt([this] { runner.cancel(); });
    }
    ~Runner() override { program.set_interrupt(nullptr); }

    // Waits for the runner's word, then collects.
    std::optional<ProgramRunner::Report> next() {
        std::unique_lock<std::mutex> lock(mutex);
        ended.wait_for(lock, std::chrono::seconds(60), [this] { return notified > 0; });
        --notified;
        lock.unlock();
        return runner.collect(messages);
    }

    void add(int tag, int count = 1) {
        for (int i = 0; i < count; ++i) program.ButtonClick(tag);
    }

    std::mutex mutex;
    std::condition_variable ended;
    int notified = 0;
    Program program;
    turtle t;
    interpreter interp{t};
    MessageList messages;
    ProgramRunner runner{program, interp, [this] {
                             std::lock_guard<std::mutex> lock(mutex);
                             ++notified;
                             ended.notify_all();
                         }};
};

}  // namespace

TEST_F(Runner, AnEditDuringARunCancelsItAndTheNextRunSeesTheEdit) {
    // init grow_s grow_r first, a chain, subdivided twice.
    add(1), add(6), add(4), add(2), add(17, 5000), add(19, 2);
    runner.start(int(program.lines().size()), false);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    program.remove_line(4);     // waits for the run to let go of the lines
    const auto first = next();  // nothing when cancelled; a finished run if it was that quick
    EXPECT_FALSE(runner.busy());
    runner.start(int(program.lines().size()), false);
    const auto report = next();
    ASSERT_TRUE(report);
    EXPECT_EQ(report->outcome, ProgramRunner::Outcome::finished);
    EXPECT_EQ(t.vertex_count(), 4u * 5001);  // the turtle of the run, now current

    turtle t2;
    interpreter plain(t2);
    MessageList plain_messages;
    set_random_state(0);
    plain.run(program.lines(), plain_messages, int(program.lines().size()));
    EXPECT_EQ(interp.output_mesh().indices, plain.output_mesh().indices);
    plain.output_mesh().to_display_form();
    // Bit for bit (the open end's vertices are NaN in display form).
    const FloatArray &got = interp.output_mesh().vertices, &want = plain.output_mesh().vertices;
    ASSERT_EQ(got.size(), want.size());
    EXPECT_EQ(std::memcmp(got.data(), want.data(), got.size() * sizeof(float)), 0);
    EXPECT_EQ(messages.size(), plain_messages.size());
}

// Out of memory in a run on the runner's thread, in a child process under an
// address-space limit: the run fails with the message tagged with its line,
// and the last finished model stays. AddressSanitizer reserves terabytes of
// address space and ends the process instead of throwing, so plain builds
// only.
TEST_F(Runner, OutOfMemoryKeepsTheLastFinishedModel) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "needs an address-space limit";
#endif
    add(1), add(6), add(4), add(2), add(17, 10);
    runner.start(int(program.lines().size()), false);
    ASSERT_EQ(next()->outcome, ProgramRunner::Outcome::finished);
    const QuadMesh before = interp.output_mesh();
    const uint32_t turtle_vertices = t.vertex_count();
    add(17, 600000);  // about 250 MB of turtle and mesh

    const pid_t pid = ::fork();
    if (pid == 0) {
        // The child's answer is its exit status: the first check that failed.
        std::ifstream status("/proc/self/status");
        long vm_kb = 0;
        for (std::string word; status >> word;)
            if (word == "VmSize:") status >> vm_kb;
        const rlim_t limit = rlim_t(vm_kb + 100 * 1024) * 1024;
        const rlimit rl{limit, limit};
        if (::setrlimit(RLIMIT_AS, &rl) != 0) std::_Exit(10);
        // Only this thread came along: a runner of the child's own.
        std::mutex m;
        std::condition_variable cv;
        bool ended_here = false;
        ProgramRunner child(program, interp, [&] {
            std::lock_guard<std::mutex> lock(m);
            ended_here = true;
            cv.notify_all();
        });
        const auto run = [&] {
            child.start(int(program.lines().size()), false);
            std::unique_lock<std::mutex> lock(m);
            cv.wait_for(lock, std::chrono::seconds(60), [&] { return ended_here; });
            ended_here = false;
            lock.unlock();
            return child.collect(messages);
        };
        const auto report = run();
        if (!report || report->outcome != ProgramRunner::Outcome::failed) std::_Exit(11);
        if (report->failure != "fatal error: out of memory") std::_Exit(12);
        if (report->failure_line <= 14 || report->failure_line >= int(program.lines().size())) std::_Exit(13);
        if (interp.output_mesh().indices != before.indices || t.vertex_count() != turtle_vertices) std::_Exit(14);
        // The memory came back: the same run fails again the same way.
        const auto again = run();
        if (!again || again->outcome != ProgramRunner::Outcome::failed ||
            again->failure_line != report->failure_line)
            std::_Exit(15);
        std::_Exit(0);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
