#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "geometry/random.h"
#include "interpreter/interpreter.h"

using namespace dozu;

namespace {

// Program lines as button clicks make them: each code and a blank.
std::vector<std::string> program(std::initializer_list<const char*> codes) {
    std::vector<std::string> lines;
    for (const char* c : codes) lines.push_back(std::string(c) + " ");
    return lines;
}

class Interpreter : public ::testing::Test {
protected:
    void SetUp() override { set_random_state(0); }
    void TearDown() override { set_random_state(0); }

    bool run(const std::vector<std::string>& lines, int count = -1) {
        return interp.run(lines, messages, count < 0 ? int(lines.size()) : count);
    }
    std::vector<std::pair<std::string, int>> got() const {
        std::vector<std::pair<std::string, int>> v;
        for (const Message& m : messages) v.push_back({m.text, m.tag});
        return v;
    }
    using Expected = std::vector<std::pair<std::string, int>>;

    turtle t;
    interpreter interp{t};
    MessageList messages;
};

const char* const kNoInit = "fatal error: no initialization at program start";
const char* const kNoFirst = "fatal error: no 'first' statement before first step";
const char* const kAfterSubdiv = "fatal error: statement not allowed after 'subdiv', ignored";
const char* const kUnderflow = "error: stack underflow, pop statement ignored";
const char* const kMissing = "error: face with missing vertex dropped";
const char* const kTooLarge = "fatal error: mesh too large to subdivide";

}  // namespace

TEST_F(Interpreter, EmptyProgramGivesTheStartHints) {
    EXPECT_TRUE(run({}));
    EXPECT_EQ(got(), (Expected{{"hint: initialize, grow radius and size and make a first step", 0},
                               {"hint: buttons to click are init, grow_s, grow_r, first, ^ (forward)", 0}}));
    EXPECT_EQ(interp.output_mesh().vertex_count(), 0u);
    // Trace mode with no line selected: count 0 of a longer program.
    messages.push_back({"stale", 9});
    EXPECT_TRUE(run(program({"*", "=", "^"}), 0));
    EXPECT_EQ(messages.size(), 2u);
}

TEST_F(Interpreter, ClosedChainReachesTheOutputMesh) {
    EXPECT_TRUE(run(program({"*", "S4", "R2", "=", "B", "^", "T"})));
    EXPECT_TRUE(messages.empty());
    const QuadMesh& m = interp.output_mesh();
    EXPECT_EQ(m.vertex_count(), 12u);
    EXPECT_EQ(m.index_count(), 40u);
    EXPECT_EQ(m.indices, t.indices);
    EXPECT_FLOAT_EQ(m.vertices[4], 0.2617994f);
    EXPECT_FLOAT_EQ(m.vertices[6], 0.7853982f);
}

TEST_F(Interpreter, FirstLineWithoutInit) {
    EXPECT_FALSE(run(program({"=", "*"})));
    EXPECT_EQ(got(), (Expected{{kNoInit, 0}}));
    EXPECT_EQ(interp.output_mesh().vertex_count(), 0u);
    EXPECT_EQ(t.vertex_count(), 8u);  // the line was processed to its end
}

TEST_F(Interpreter, StepBeforeFirst) {
    EXPECT_FALSE(run(program({"*", "S4", "^", "="})));
    EXPECT_EQ(got(), (Expected{{kNoFirst, 2}}));
    EXPECT_EQ(t.vertex_count(), 4u);  // the step was made
    EXPECT_EQ(interp.output_mesh().vertex_count(), 0u);

    // On line 0 both fatal messages, both tagged 0.
    EXPECT_FALSE(run(program({"^"})));
    EXPECT_EQ(got(), (Expected{{kNoFirst, 0}, {kNoInit, 0}}));
}

TEST_F(Interpreter, StackMessages) {
    EXPECT_TRUE(run(program({"*", "S4", "R2", "]", "=", "[", "]", "T"})));
    EXPECT_EQ(got(), (Expected{{kUnderflow, 3}, {kUnderflow, 6}}));

    const auto lines = program({"*", "S4", "R2", "=", "[", "[", "]", "^", "T"});
    EXPECT_TRUE(run(lines));
    EXPECT_EQ(got(), (Expected{{"error: non-empty stack at end of program", 8}}));
    EXPECT_TRUE(run(lines, 8));
    EXPECT_EQ(got(), (Expected{{"hint: stack depth is 1", 7}}));
    EXPECT_TRUE(run(lines, 6));
    EXPECT_EQ(got(), (Expected{{"hint: stack depth is 2", 5}}));
}

TEST_F(Interpreter, SubdivisionAndWhatMayFollowIt) {
    const auto base = program({"*", "S4", "R2", "=", "B", "^", "T", "D", "D"});
    EXPECT_TRUE(run(base));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(interp.output_mesh().index_count(), 40u * 16);

    auto more = program({"*", "S4", "R2", "=", "B", "^", "T", "D", "R2"});
    EXPECT_FALSE(run(more));
    EXPECT_EQ(got(), (Expected{{kAfterSubdiv, 8}}));  // "2" and the blank belong to the parameter
    EXPECT_EQ(interp.output_mesh().index_count(), 40u * 4);

    // Every statement character after "D" is reported, the "nothing" ones too.
    more = program({"*", "S4", "R2", "=", "B", "^", "T", "D", "V", "^"});
    EXPECT_FALSE(run(more));
    EXPECT_EQ(got(), (Expected{{kAfterSubdiv, 8}}));
    EXPECT_FALSE(run({"* S4 R2 = B ^ T D VV "}));
    EXPECT_EQ(got(), (Expected{{kAfterSubdiv, 0}, {kAfterSubdiv, 0}}));
}

TEST_F(Interpreter, Parameters) {
    run(program({"*", "R-2", "S4", "YC"}));
    EXPECT_FLOAT_EQ(t.state.radius, -0.2617994f);
    EXPECT_FLOAT_EQ(t.state.size, 0.5235988f);
    EXPECT_FLOAT_EQ(t.state.angle, 1.5707964f);
    run(program({"*", "R2-", "Y", "S1F"}));
    EXPECT_FLOAT_EQ(t.state.radius, -0.2617994f);  // the minus sign may stand anywhere
    EXPECT_EQ(t.state.angle, 0.0f);                // no digits: a turn by 0
    EXPECT_FLOAT_EQ(t.state.size, float(31 * 3.14159274 / 24));
    run(program({"*", "O2", "+-4"}));
    EXPECT_FLOAT_EQ(interp.extrusion().offset, 0.2617994f);
    EXPECT_FLOAT_EQ(interp.extrusion().scale, -0.5235988f);
    // Every run starts from the default extrusion parameters.
    run(program({"*"}));
    EXPECT_EQ(interp.extrusion().offset, 0.25f);
    EXPECT_EQ(interp.extrusion().scale, 0.5f);
    // Any character is a digit by the formula, and an overlong parameter wraps.
    run(program({"*", "RG", "S123456789ABCDEF0"}));
    EXPECT_FLOAT_EQ(t.state.radius, float(16 * 3.14159274 / 24));
    EXPECT_TRUE(std::isfinite(t.state.size));
}

TEST_F(Interpreter, ExtrudeMovesTheFlushedVertices) {
    EXPECT_TRUE(run(program({"*", "S4", "R2", "=", "X"})));
    const QuadMesh& m = interp.output_mesh();
    ASSERT_EQ(m.vertex_count(), 8u);
    EXPECT_NEAR(m.vertices[4], -0.1132005f, 1e-6);
    EXPECT_NEAR(m.vertices[6], 0.7853982f, 1e-6);
    // The random sequence goes on from run to run.
    EXPECT_TRUE(run(program({"*", "S4", "R2", "=", "X"})));
    EXPECT_NE(interp.output_mesh().vertices[4], -0.1132005f);
    // From the same random state a program makes the same model, whatever
    // parameters the run before it set after its extrusion.
    EXPECT_TRUE(run(program({"*", "S4", "R2", "=", "X", "+8", "O-4"})));
    set_random_state(0);
    EXPECT_TRUE(run(program({"*", "S4", "R2", "=", "X"})));
    EXPECT_NEAR(interp.output_mesh().vertices[4], -0.1132005f, 1e-6);
}

TEST_F(Interpreter, FacesNamingMissingVerticesAreDropped) {
    // "B" before "=": at the end-of-run flush the face names vertices that
    // do not exist.
    EXPECT_TRUE(run(program({"*", "S4", "R2", "B", "T"})));
    EXPECT_EQ(got(), (Expected{{kMissing, 4}}));
    EXPECT_EQ(interp.output_mesh().index_count(), 0u);

    // "B" followed later by "=": its vertices exist by the flush; it stays.
    EXPECT_TRUE(run(program({"*", "S4", "R2", "B", "=", "T"})));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(interp.output_mesh().index_count(), 24u);

    // A flush at "X" reports with the line of the "X", once per flush.
    EXPECT_TRUE(run({"* ", "S4 ", "R2 ", "TX ", "= ", "B "}));
    EXPECT_EQ(got(), (Expected{{kMissing, 3}}));
    EXPECT_EQ(interp.output_mesh().index_count(), 4u);  // the later "B" names 7, 6, 5, 4
}

TEST_F(Interpreter, EachRunCopiesOnlyItsOwnGeometry) {
    const auto lines = program({"*", "S4", "R2", "=", "^"});
    EXPECT_FALSE(run({"^ "}));
    // The turtle still holds the geometry of earlier runs; a run of 0 lines
    // after a fatal run shows nothing stale.
    run(lines);
    EXPECT_EQ(interp.output_mesh().vertex_count(), 12u);
    EXPECT_FALSE(run(program({"*", "S4", "R2", "=", "D", "^"})));
    EXPECT_EQ(t.vertex_count(), 12u);
    EXPECT_TRUE(run(lines, 0));
    EXPECT_EQ(interp.output_mesh().vertex_count(), 0u);
    EXPECT_EQ(interp.output_mesh().index_count(), 0u);
}

TEST_F(Interpreter, SecondInitKeepsEarlierModelAndNumbersTheNewOne) {
    const auto lines = program({"*", "S4", "R2", "=", "B", "^", "T", "X", "*", "S4", "R2", "=", "B", "^", "T"});
    EXPECT_TRUE(run(lines));
    EXPECT_TRUE(messages.empty());
    const QuadMesh& m = interp.output_mesh();
    EXPECT_EQ(m.vertex_count(), 24u);
    ASSERT_EQ(m.index_count(), 80u);
    for (size_t i = 0; i < 40; ++i) {
        EXPECT_LT(m.indices[i], 12u);
        EXPECT_EQ(m.indices[40 + i], m.indices[i] + 12);
    }
}

TEST_F(Interpreter, RefusesASubdivisionThatWouldBeTooLarge) {
    // 2^22 + 4 quads after the flush: four times that is beyond the limit.
    std::vector<std::string> lines = program({"*", "S4", "R2", "="});
    lines.push_back(std::string((1 << 22) + 4, 'B') + " ");
    lines.push_back("D ");
    lines.push_back("V ");
    EXPECT_FALSE(run(lines));
    EXPECT_EQ(got(), (Expected{{kTooLarge, 5}}));
    EXPECT_EQ(interp.output_mesh().index_count(), 4u * ((1 << 22) + 4));
    EXPECT_EQ(interp.output_mesh().vertex_count(), 8u);
}

TEST_F(Interpreter, ACancelledRunLeavesNoTrace) {
    // rock: roughened, so the random sequence shows; the next program starts
    // on the turtle that the last finished run left ("=" before "*").
    const auto rock = program({"*", "S4", "R2", "R2", "=", "^", "T", "X", "D"});
    const auto next = program({"=X*", "S4", "R2", "=", "^", "X"});
    std::vector<std::string> endless = program({"*", "S4", "R2", "="});
    endless.insert(endless.end(), 3000, "^ ");
    endless.insert(endless.end(), 300000, "[^X] ");

    turtle t2;
    interpreter plain(t2);
    MessageList plain_messages;
    plain.run(rock, plain_messages, int(rock.size()));
    plain.run(next, plain_messages, int(next.size()));
    const QuadMesh expected = plain.output_mesh();
    const uint32_t random_after = random_state();

    set_random_state(0);
    run(rock);
    const FloatArray rock_vertices = interp.output_mesh().vertices;
    StopFlag stop;
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        stop.request(StopReason::cancel);
    });
    EXPECT_FALSE(interp.stage(endless, int(endless.size()), &stop));
    canceller.join();
    EXPECT_EQ(interp.output_mesh().vertices, rock_vertices);
    EXPECT_EQ(t.vertex_count(), 12u);
    run(next);
    ASSERT_EQ(messages.size(), plain_messages.size());
    for (size_t i = 0; i < messages.size(); ++i) EXPECT_EQ(messages[i].text, plain_messages[i].text);
    EXPECT_EQ(interp.output_mesh().vertices, expected.vertices);
    EXPECT_EQ(interp.output_mesh().indices, expected.indices);
    EXPECT_EQ(random_state(), random_after);
}

// At every cap from 1 on, a run either makes the same model as without one
// or stops with the cap's message before the turtle, the output mesh or a
// subdivision holds more quads; the next run without a cap is whole again.
TEST_F(Interpreter, ACapStopsBeforeAnyMeshPassesIt) {
    const auto lines = program({"*", "S4", "R2", "=", "[", "Y8", "^", "]", "^", "T", "X",
                                "*", "S4", "R2", "=", "B", "^",  "^", "T", "D", "D"});
    ASSERT_TRUE(run(lines));
    const std::vector<uint32_t> whole = interp.output_mesh().indices;
    const uint32_t quads = uint32_t(whole.size() / 4);
    for (uint32_t cap = 1; cap <= quads; ++cap) {
        SCOPED_TRACE(cap);
        interp.set_max_quads(cap);
        const bool ok = run(lines);
        EXPECT_EQ(ok, cap == quads);
        EXPECT_EQ(interp.stopped_at_cap(), !ok);
        EXPECT_LE(interp.output_mesh().index_count() / 4, cap);
        EXPECT_LE(t.index_count() / 4, cap);
        if (!ok)
            EXPECT_EQ(messages.back().text,
                      "fatal error: mesh too large: more than " + std::to_string(cap) + " quads");
    }
    interp.set_max_quads(0);
    EXPECT_TRUE(run(lines));
    EXPECT_FALSE(interp.stopped_at_cap());
    EXPECT_EQ(interp.output_mesh().indices, whole);
}
