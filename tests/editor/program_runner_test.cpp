// The runner's thread against edits made meanwhile, as the editor makes
// them: every run that ends is collected on this thread.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "editor/program_runner.h"
#include "geometry/random.h"

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
