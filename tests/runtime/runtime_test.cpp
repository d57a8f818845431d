// The C runtime against the interpreter: the same program decoded by both,
// whole, in trace mode or under a cap on quads, gives the same floats bit
// for bit, the same indices, the same messages of the kinds their texts
// say, and the same random state afterwards.
#include <gtest/gtest.h>

#include <cfloat>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "geometry/random.h"
#include "interpreter/interpreter.h"
#include "interpreter/message.h"
#include "program/program.h"
#include "runtime/dozu_runtime.h"
#include "support/temp_dir.h"

extern "C" float dzr_parameter_value(int32_t v);

using namespace dozu;
using namespace dozu::testing;

namespace {

struct Decoded {
    int status = -1;
    MessageList messages;
    std::vector<int> kinds;            // the runtime's, each held to message_kind()
    std::vector<uint32_t> float_bits;  // 6 per vertex
    std::vector<uint32_t> indices;
    uint32_t random_after = 0;
};

std::vector<uint32_t> bits_of(const float* f, size_t n) {
    std::vector<uint32_t> b(n);
    if (n) std::memcpy(b.data(), f, n * sizeof(float));
    return b;
}

// What a decode takes beyond the program: the lines a trace runs (-1: all)
// and the cap on quads (0: none).
struct Limits {
    long lines = -1;
    uint32_t max_quads = 0;
};

Decoded by_core(const std::vector<std::string>& lines, uint32_t random, Limits limits = {}) {
    set_random_state(random);
    turtle t;
    interpreter interp(t);
    interp.set_max_quads(limits.max_quads);
    Decoded d;
    const int count = limits.lines < 0 ? int(lines.size()) : int(limits.lines);
    d.status = interp.run(lines, d.messages, count) ? DOZU_OK : DOZU_ERROR_FATAL;
    QuadMesh& m = interp.output_mesh();
    m.to_display_form();
    for (uint32_t v = 0; v < m.vertex_count(); ++v) {
        const auto b = bits_of(m.vertex_data() + size_t(v) * QuadMesh::kRecordFloats, 6);
        d.float_bits.insert(d.float_bits.end(), b.begin(), b.end());
    }
    d.indices.assign(m.index_data(), m.index_data() + m.index_count());
    d.random_after = random_state();
    return d;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines) s += l;
    return s;
}

// The call without options is held to the interpreter by the ARM test.
Decoded by_runtime(const std::string& program, uint32_t random, const dozu_allocator* alloc = nullptr,
                   Limits limits = {}) {
    dozu_set_random_state(random);
    Decoded d;
    dozu_mesh mesh;
    dozu_options options;
    dozu_options_init(&options);
    options.line_count = limits.lines;
    options.max_quads = limits.max_quads;
    options.report = [](void* user, int line, int kind, const char* text) {
        auto* d = static_cast<Decoded*>(user);
        d->messages.push_back({text, line});
        d->kinds.push_back(kind);
    };
    options.user = &d;
    d.status = dozu_decode_with_options(program.data(), program.size(), &mesh, alloc, &options);
    for (size_t i = 0; i < d.messages.size(); ++i)
        EXPECT_EQ(d.kinds[i], int(message_kind(d.messages[i].text))) << d.messages[i].text;
    d.float_bits = bits_of(mesh.vertices, size_t(mesh.vertex_count) * 6);
    d.indices.assign(mesh.indices, mesh.indices + mesh.index_count);
    d.random_after = dozu_random_state();
    dozu_mesh_release(&mesh, alloc);
    return d;
}

// Every NaN as one: processors make NaNs of different signs.
void merge_nans(Decoded& d) {
    for (uint32_t& b : d.float_bits)
        if ((b & 0x7F800000u) == 0x7F800000u && (b & 0x7FFFFFu)) b = 0x7FC00000u;
}

// Fails with the program and the first difference.
void expect_same(const std::vector<std::string>& lines, uint32_t random, Decoded rt, bool any_nan = false,
                 Limits limits = {}) {
    Decoded core = by_core(lines, random, limits);
    if (any_nan) {
        merge_nans(core);
        merge_nans(rt);
    }
    const std::string program = "program \"" + joined(lines) + "\", lines " + std::to_string(limits.lines) +
                                ", cap " + std::to_string(limits.max_quads);
    ASSERT_EQ(rt.status, core.status) << program;
    ASSERT_EQ(rt.messages.size(), core.messages.size()) << program;
    for (size_t i = 0; i < core.messages.size(); ++i) {
        EXPECT_EQ(rt.messages[i].text, core.messages[i].text) << program;
        EXPECT_EQ(rt.messages[i].tag, core.messages[i].tag) << program;
    }
    ASSERT_EQ(rt.float_bits.size(), core.float_bits.size()) << program;
    for (size_t i = 0; i < core.float_bits.size(); ++i)
        ASSERT_EQ(rt.float_bits[i], core.float_bits[i]) << program << ", vertex " << i / 6 << " float " << i % 6;
    ASSERT_EQ(rt.indices, core.indices) << program;
    ASSERT_EQ(rt.random_after, core.random_after) << program;
}

void expect_same(const std::vector<std::string>& lines, uint32_t random = 0, Limits limits = {}) {
    expect_same(lines, random, by_runtime(joined(lines), random, nullptr, limits), false, limits);
}

// Random programs of the default buttons and "X", "O", "+": most start as a
// model does (init, growth, first), some are any lines in any order, and
// some parameters take any hexadecimal value.
std::vector<std::string> random_program(std::mt19937& rng) {
    static const char* const kBody[] = {"R-2", "R2", "S-4", "S4", "Y-2", "Y2", "Y-C", "YC", "p", "q", "B",
                                        "T",   "[",  "]",   "^",  "^",   "^",  "^",   "V",  "=", "*", "X"};
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    auto hex = [&] {
        static const char digits[] = "0123456789ABCDEF";
        std::string s = pick(4) == 0 ? "-" : "";
        for (int i = 0, n = 1 + pick(pick(8) == 0 ? 9 : 3); i < n; ++i) s += digits[pick(16)];
        return s;
    };
    std::vector<std::string> lines;
    if (pick(5) != 0) {
        lines = {"*", "S4", "R2"};
        for (int i = pick(3); i > 0; --i) lines.push_back(pick(2) ? "R2" : "S4");
        lines.push_back("=");
        if (pick(2)) lines.push_back("B");
    }
    int subdivisions = 0;
    for (int i = 0, n = 1 + pick(pick(4) == 0 ? 120 : 40); i < n; ++i) {
        const int r = pick(150);
        if (r < 12)
            lines.push_back(std::string(1, r < 4 ? 'O' : r < 8 ? '+' : pick(2) ? 'Y' : 'R').append(hex()));
        else if (r == 12 && subdivisions++ == 0)
            lines.push_back("D");  // and whatever follows it is refused
        else
            lines.push_back(kBody[pick(std::size(kBody))]);
    }
    if (pick(3) == 0) lines.push_back("T");
    for (int i = pick(2) == 0 ? 1 + pick(pick(4) == 0 ? 3 : 2) : 0; i > 0 && subdivisions < 3; --i, ++subdivisions)
        lines.push_back("D");
    for (std::string& l : lines) l += ' ';
    return lines;
}

}  // namespace

// Each program whole, traced to two of its lines, and capped at two
// numbers of quads below what it makes and one above.
TEST(Runtime, RandomProgramsDecodeAsTheInterpreterRunsThem) {
    std::mt19937 rng(20240612);
    int traced = 0, capped = 0;
    for (int i = 0; i < 3000; ++i) {
        const std::vector<std::string> lines = random_program(rng);
        const uint32_t random = i % 3 == 0 ? 0u : uint32_t(rng());
        expect_same(lines, random);
        const long n = long(lines.size());
        const uint32_t quads = uint32_t(by_core(lines, random).indices.size() / 4);
        for (const long count : {long(rng() % uint32_t(n + 1)), n - 1}) {
            expect_same(lines, random, {count, 0});
            traced += by_core(lines, random, {count, 0}).messages.size() > 0;
        }
        for (const uint32_t cap : {1 + uint32_t(rng() % (quads + 1)), 1 + quads / 2, quads + 1}) {
            expect_same(lines, random, {-1, cap});
            capped += by_core(lines, random, {-1, cap}).status == DOZU_ERROR_FATAL;
        }
        if (HasFatalFailure()) return;
    }
    EXPECT_GT(traced, 1000);
    EXPECT_GT(capped, 2000);
}

// The runtime built for 32-bit ARM, where long double is a double and char
// unsigned, run under qemu on the random programs: the same results, but
// for the sign of a NaN (at a vertex that no quad names): ARM's 0/0 is
// positive, x86's negative.
TEST(Runtime, ArmBuildDecodesAsTheInterpreterRunsThem) {
    if (std::string(DOZU_ARM_CC).empty() || std::string(DOZU_QEMU_ARM).empty())
        GTEST_SKIP() << "needs arm-linux-gnueabihf-gcc and qemu-arm";
    TempDir dir;
    const std::string driver = dir / "decode_stream";
    ASSERT_EQ(std::system(("'" DOZU_ARM_CC "' -std=c99 -O2 -static -I'" DOZU_SOURCE_DIR "' '" DOZU_SOURCE_DIR
                           "/tests/runtime/decode_stream.c' -lm -o '" +
                           driver + "'")
                              .c_str()),
              0);
    std::mt19937 rng(20240612);
    std::vector<std::pair<std::vector<std::string>, uint32_t>> programs;
    std::string in;
    for (int i = 0; i < 1000; ++i) {
        auto lines = random_program(rng);
        const uint32_t random = i % 3 == 0 ? 0u : uint32_t(rng());
        const std::string text = joined(lines);
        const uint32_t head[2] = {random, uint32_t(text.size())};
        in.append(reinterpret_cast<const char*>(head), sizeof head).append(text);
        programs.emplace_back(std::move(lines), random);
    }
    std::ofstream(dir / "in", std::ios::binary) << in;
    ASSERT_EQ(
        std::system(("'" DOZU_QEMU_ARM "' '" + driver + "' <'" + dir / "in" + "' >'" + dir / "out" + "'").c_str()),
        0);
    const std::vector<uint8_t> out = read_bytes(dir / "out");
    size_t at = 0;
    auto word = [&] {
        uint32_t w = 0;
        if (at + 4 <= out.size()) std::memcpy(&w, out.data() + at, 4);
        at += 4;
        return w;
    };
    auto words = [&](uint32_t n) {
        std::vector<uint32_t> v;
        for (uint32_t k = 0; k < n && at < out.size(); ++k) v.push_back(word());
        return v;
    };
    for (const auto& [lines, random] : programs) {
        Decoded rt;
        for (uint32_t tag; (tag = word()) == 'M';) {
            const int line = int(word());
            const uint32_t length = word();
            rt.messages.push_back({std::string(out.begin() + long(at), out.begin() + long(at + length)), line});
            at += length;
        }
        rt.status = int(word());
        rt.random_after = word();
        rt.float_bits = words(6 * word());
        rt.indices = words(word());
        expect_same(lines, random, rt, true);
        if (HasFatalFailure()) return;
    }
    EXPECT_EQ(at, out.size());
}

TEST(Runtime, ExamplesAndSamplesDecodeAsTheInterpreterRunsThem) {
    int files = 0;
    for (const char* dir : {DOZU_EXAMPLES, DOZU_TEST_DATA "/samples"}) {
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            if (entry.path().extension() != ".tpg") continue;
            SCOPED_TRACE(entry.path().string());
            Program program;
            program.LoadProgram(entry.path().string());
            expect_same(program.lines().strings());
            expect_same(program.lines().strings(), 0x9E3779B9u);
            ++files;
        }
    }
    EXPECT_GE(files, 20);
}

TEST(Runtime, EdgeProgramsDecodeAsTheInterpreterRunsThem) {
    const std::vector<std::vector<std::string>> programs = {
        {},                                      // the start hints
        {"R2 ", "* ", "= ", "^ "},               // no initialization on the first line
        {"* ", "^ ", "= "},                      // a step before first
        {"* ", "S4 ", "R2 ", "= ", "D ", "^ "},  // a statement after subdiv
        {"* ", "S4 ", "R2 ", "= ", "] ", "] "},  // underflow
        {"* ", "S4 ", "R2 ", "= ", "[ ", "^ "},  // a branch left open
        {"* ", "B ", "S4 ", "R2 ", "= ", "T "},  // faces before their vertices
        {"* ", "S4 ", "R2 ", "= ", "X ", "* ", "S4 ", "= ", "^ ", "O-7 ", "+1F ", "X ", "D "},
        {"* ", "Sz!~ ", "R\xC8\x7F- ", "= ", "Y-80000000 ", "^ ", "YFFFFFFFFF ", "^ "},  // any bytes
        {"* ", "S4 ", "R2 ", "= ", "T ", "D ", "D ", "D ", "D "},
        {"* ", "= ", "D "},               // a degenerate mesh subdivided
        {"* ", "S4 ", "R2 ", "= ", "R"},  // a parameter never ended
    };
    for (const auto& lines : programs) expect_same(lines, 12345);
    // Traces and caps, each with its last message: a branch open at the
    // traced line, no line run, a cap reached by a cell's faces before the
    // first line ends, by the turtle's quads, by the output that a model
    // before an init left (at an extrusion or at the end), by a
    // subdivision, and a cap that only dropped faces would pass.
    const std::string cap = "fatal error: mesh too large: more than ", model = "* S4 R2 = ";
    const std::tuple<std::string, Limits, std::string> limited[] = {
        {model + "[ ^ ] ", {6, 0}, "hint: stack depth is 1"},
        {model + "[ ^ ", {0, 0}, "hint: buttons to click are init, grow_s, grow_r, first, ^ (forward)"},
        {"T", {-1, 4}, cap + "4 quads"},
        {model + "T T T ", {-1, 14}, cap + "14 quads"},
        {model + "^ X * S4 = ^ X ", {-1, 7}, cap + "7 quads"},
        {model + "^ X " + model + "^ ", {-1, 7}, cap + "7 quads"},
        {model + "^ ^ T D D ", {-1, 56}, cap + "56 quads"},
        {model + "^ X * T X ", {-1, 5}, "error: face with missing vertex dropped"},
    };
    for (const auto& [text, limits, last] : limited) {
        std::vector<std::string> lines;  // each up to a blank, as the runtime ends them
        for (size_t at = 0, end; at < text.size(); at = end) {
            end = std::min(text.find(' ', at), text.size() - 1) + 1;
            lines.push_back(text.substr(at, end - at));
        }
        expect_same(lines, 12345, limits);
        EXPECT_EQ(by_runtime(text, 12345, nullptr, limits).messages.back().text, last) << text;
    }
    // A hundred branches from one cell: its top ring's vertices get over 64
    // neighbours each.
    std::vector<std::string> fan = {"* ", "S4 ", "R2 ", "= "};
    for (int i = 0; i < 100; ++i) fan.insert(fan.end(), {"[ ", i % 2 ? "Y2 " : "Y-2 ", "^ ", "] "});
    fan.insert(fan.end(), {"T ", "D ", "D "});
    expect_same(fan);
}

// An allocator that refuses from its nth allocation on and counts the
// blocks it has out.
struct FailingAllocator {
    int allowed;
    int live = 0;
    dozu_allocator alloc{[](void* user, size_t bytes) -> void* {
                             auto* self = static_cast<FailingAllocator*>(user);
                             if (self->allowed-- <= 0) return nullptr;
                             ++self->live;
                             return std::malloc(bytes);
                         },
                         [](void* user, void* block) {
                             --static_cast<FailingAllocator*>(user)->live;
                             std::free(block);
                         },
                         this};
};

// Every allocation refused in turn: a refused subdivision keeps the mesh as
// it was before it and says so, any other refusal leaves an empty mesh;
// nothing leaks either way.
TEST(Runtime, RefusedMemoryLosesNothingAndLeaksNothing) {
    const std::vector<std::string> lines = {"* ", "S4 ", "R2 ", "= ", "^ ", "[ ", "YC ",
                                            "^ ", "] ",  "^ ",  "T ", "X ", "D ", "D "};
    const Decoded whole = by_core(lines, 5);
    bool refused_subdivision = false;
    for (int allowed = 0;; ++allowed) {
        FailingAllocator fa{allowed};
        const Decoded rt = by_runtime(joined(lines), 5, &fa.alloc);
        EXPECT_EQ(fa.live, 0) << allowed;
        if (rt.status == DOZU_OK) {
            EXPECT_EQ(rt.float_bits, whole.float_bits);
            break;
        }
        if (rt.status == DOZU_ERROR_MEMORY) {
            EXPECT_TRUE(rt.float_bits.empty() && rt.indices.empty()) << allowed;
            continue;
        }
        ASSERT_EQ(rt.status, DOZU_ERROR_FATAL) << allowed;
        ASSERT_EQ(rt.messages.back().text, "fatal error: mesh too large to subdivide");
        const int line = rt.messages.back().tag;
        const Decoded before = by_core({lines.begin(), lines.begin() + line}, 5);
        EXPECT_EQ(rt.float_bits, before.float_bits) << allowed;
        EXPECT_EQ(rt.indices, before.indices) << allowed;
        refused_subdivision = true;
    }
    EXPECT_TRUE(refused_subdivision);
}

// The parameter value as x86's extended precision forms it, by the
// interpreter's own expression, over the whole range of 32-bit values.
TEST(Runtime, ParameterValuesRoundAsExtendedPrecisionDoes) {
    if (LDBL_MANT_DIG != 64) GTEST_SKIP() << "long double is not x86's extended precision here";
    const auto expected = [](int32_t v) {
        return float(static_cast<long double>(v) * static_cast<long double>(3.14159274f) * (1.0L / 24.0L));
    };
    auto check = [&](int32_t v) {
        const float a = dzr_parameter_value(v), b = expected(v);
        ASSERT_EQ(std::memcmp(&a, &b, sizeof a), 0) << "value " << v;
    };
    for (int32_t v = -(1 << 20); v <= (1 << 20); ++v) check(v);
    for (int64_t v = INT32_MIN; v <= INT32_MAX; v += 997) check(int32_t(v));
    for (int32_t v : {INT32_MIN + 1, INT32_MAX, INT32_MAX - 1}) check(v);
}
