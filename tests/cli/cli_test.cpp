// The batch tool, run as a real process on real files.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <zlib.h>

#include "program/program.h"
#include "program/program_file.h"
#include "program/share_link.h"
#include "support/mesh_files.h"
#include "support/temp_dir.h"

using namespace dozu::testing;

namespace {

const std::string kSamples = std::string(DOZU_TEST_DATA) + "/samples";

struct Result {
    int status;
    std::string out, err;
};

void write_text(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Runs a bash script (with pipefail) inside directory cwd, its output and
// errors captured.
Result shell(const TempDir& dir, const std::string& script, const std::string& cwd = "") {
    write_text(dir / "script.sh",
               "set -o pipefail\ncd '" + (cwd.empty() ? dir.path().string() : cwd) + "'\n" + script + "\n");
    const std::string cmd =
        "bash '" + (dir / "script.sh") + "' >'" + (dir / "stdout") + "' 2>'" + (dir / "stderr") + "'";
    const int raw = std::system(cmd.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, read_text(dir / "stdout"), read_text(dir / "stderr")};
}

const std::string kCli = "'" DOZU_CLI "'";

// Runs dozu-cli with the given arguments (shell words) inside directory cwd.
Result cli(const TempDir& dir, const std::string& args, const std::string& cwd = "") {
    return shell(dir, kCli + " " + args, cwd);
}

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

// OBJ files equal as the samples' notes say: the same vertex order,
// positions within 1e-4 (relative or absolute), the same faces as cycles of
// corners (the expected ones in the turtle's clockwise winding, so taken
// backwards), normals of unit length pointing the expected way within 1e-4
// (any way where the expected one is about 0 0 0).
void expect_same_obj(const std::string& got, const std::string& expected) {
    const ReadMesh a = read_obj(got), b = read_obj(expected);
    ASSERT_EQ(a.positions.size(), b.positions.size());
    ASSERT_EQ(a.normals.size(), b.normals.size());
    ASSERT_EQ(a.faces.size(), b.faces.size());
    for (size_t v = 0; v < a.positions.size(); ++v)
        for (size_t i = 0; i < 3; ++i)
            ASSERT_LE(std::fabs(a.positions[v][i] - b.positions[v][i]),
                      1e-4 * std::max(1.0, std::fabs(b.positions[v][i])))
                << "vertex " << v + 1;
    for (size_t v = 0; v < a.normals.size(); ++v) {
        ASSERT_NEAR(dot(a.normals[v], a.normals[v]), 1.0, 2e-5) << "normal " << v + 1;
        const double length = std::sqrt(dot(b.normals[v], b.normals[v]));
        if (length < 1e-4) continue;  // a cap's centre: 0, or rounding noise of 1e-9 pointing nowhere
        for (size_t i = 0; i < 3; ++i)
            ASSERT_NEAR(a.normals[v][i], b.normals[v][i] / length, 1e-4) << "normal " << v + 1;
    }
    for (size_t f = 0; f < a.faces.size(); ++f) {
        std::vector<uint32_t> backwards(b.faces[f].rbegin(), b.faces[f].rend()), turned = a.faces[f];
        bool same = false;
        for (size_t k = 0; k < turned.size() && !same; ++k) {
            same = turned == backwards;
            std::rotate(turned.begin(), turned.begin() + 1, turned.end());
        }
        ASSERT_TRUE(same) << "face " << f + 1;
    }
}

size_t count_prefix(const std::string& text, const std::string& prefix) {
    size_t n = 0;
    for (const auto& l : split_lines(text)) n += l.rfind(prefix, 0) == 0;
    return n;
}

}  // namespace

class Samples : public ::testing::TestWithParam<std::string> {};

TEST_P(Samples, MatchTheIndependentModel) {
    TempDir dir;
    const std::string name = GetParam();
    const Result r = cli(dir, "run " + name + ".tpg --obj '" + (dir / "out.obj") + "'", kSamples);
    EXPECT_EQ(std::to_string(r.status) + "\n", read_text(kSamples + "/" + name + ".expected.rc"));
    // The expected files write a warning as PROGRAM:warning: TEXT, without
    // the blank that the usual form has after the colon.
    std::string expected_err = read_text(kSamples + "/" + name + ".expected.err");
    for (size_t at; (at = expected_err.find(".tpg:warning: ")) != std::string::npos;)
        expected_err.replace(at, 14, ".tpg: warning: ");
    // Warnings of the tool's own may stand before them, as for an empty model.
    const size_t extra = r.err.size() - std::min(r.err.size(), expected_err.size());
    EXPECT_EQ(r.err.substr(extra), expected_err);
    for (const std::string& line : split_lines(r.err.substr(0, extra)))
        EXPECT_EQ(line.rfind(name + ".tpg: warning: ", 0), 0u) << line;
    expect_same_obj(read_text(dir / "out.obj"), read_text(kSamples + "/" + name + ".expected.obj"));

    const Result c = cli(dir, "compile " + name + ".tpg '" + (dir / "out.compiled") + "'", kSamples);
    EXPECT_EQ(c.status, 0);
    EXPECT_EQ(read_bytes(dir / "out.compiled"), read_bytes(kSamples + "/" + name + ".expected.compiled"));
}

INSTANTIATE_TEST_SUITE_P(Cli, Samples,
                         ::testing::Values("mend_second_init", "msg_bot_before_first", "msg_underflow", "rand_00",
                                           "rand_03", "table_00"));

TEST(Cli, UsageAndFileErrorsSayWhatIsWrong) {
    TempDir dir;
    for (const std::string args : {"",
                                   "frobnicate",
                                   "run",
                                   "run a.tpg b.tpg",
                                   "run a.tpg --lines",
                                   "run a.tpg --lines -1",
                                   "run a.tpg --lines x",
                                   "run a.tpg --bogus",
                                   "compile a.tpg",
                                   "run --text a.txt --compiled c",
                                   "run missing.tpg",
                                   "compile missing.tpg out",
                                   "run . --obj x.obj",
                                   "run a.tpg --obj ''",
                                   "compile a.tpg ''",
                                   "run a.tpg --scale 0",
                                   "run a.tpg --scale=-2",
                                   "run a.tpg --scale nan",
                                   "run a.tpg --scale inf",
                                   "run a.tpg --scale 1e39",
                                   "run a.tpg --scale 2x"}) {
        SCOPED_TRACE(args);
        const Result r = cli(dir, args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(split_lines(r.err).size(), 1u) << r.err;
        EXPECT_EQ(r.err.rfind("dozu-cli: ", 0), 0u);
    }
    EXPECT_NE(cli(dir, "run missing.tpg").err.find("missing.tpg"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "x.obj"));

    const Result help = cli(dir, "--help");
    EXPECT_EQ(help.status, 0);
    for (const char* word : {"run", "compile", "--version", "Exit status"})
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
    const Result run_help = cli(dir, "run --help");
    EXPECT_EQ(run_help.status, 0);
    for (const char* word : {"--lines", "--obj", "--input-mesh", "--compiled", "--text", "Exit status"})
        EXPECT_NE(run_help.out.find(word), std::string::npos) << word;
    EXPECT_EQ(cli(dir, "--version").out, "dozu-cli " DOZU_VERSION "\n");
}

TEST(Cli, TextProgramsLinesAndInputMesh) {
    TempDir dir;
    write_text(dir / "p.txt", "*\nS4\r\nR2\n=\nB\n[\nYC\n^\n]\n^\nT\n");
    Result r = cli(dir, "run --text p.txt --obj full.obj");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const std::string full = read_text(dir / "full.obj");
    EXPECT_EQ(count_prefix(full, "f "), 14u);
    EXPECT_EQ(count_prefix(full, "v "), 16u);

    // The first 8 lines, as trace mode with line 7 selected: a hint at line 8.
    r = cli(dir, "run --text p.txt --lines 8 --obj part.obj");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "p.txt:8: hint: stack depth is 1\n");
    EXPECT_EQ(count_prefix(read_text(dir / "part.obj"), "f "), 1u);  // only the bottom is closed
    EXPECT_EQ(cli(dir, "run --text p.txt --lines 0").err,
              "p.txt:1: hint: initialize, grow radius and size and make a first step\n"
              "p.txt:1: hint: buttons to click are init, grow_s, grow_r, first, ^ (forward)\n");
    EXPECT_EQ(cli(dir, "run --text p.txt --lines 99").err, "");

    // The input mesh: the turtle's own lists, the unused vertices left out.
    r = cli(dir, "run --text p.txt --lines 8 --obj in.obj --input-mesh");
    const std::string in = read_text(dir / "in.obj");
    EXPECT_EQ(count_prefix(in, "f "), 1u);
    EXPECT_EQ(count_prefix(in, "v "), 4u);
    EXPECT_EQ(count_prefix(in, "vn "), 4u);
}

TEST(Cli, FatalRunStillWritesThePreview) {
    TempDir dir;
    write_text(dir / "p.txt", "*\nS4\nR2\n=\nT\nD\n^\n");
    const Result r = cli(dir, "run --text p.txt --obj out.obj");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "p.txt:7: fatal error: statement not allowed after 'subdiv', ignored\n");
    EXPECT_EQ(count_prefix(read_text(dir / "out.obj"), "f "), 5u * 4);
}

TEST(Cli, TimeLimitStopsARunAtTheLineBeingRun) {
    // Each "X" extrudes every output vertex: 30,000 of them after 30,000
    // steps would take a minute.
    TempDir dir;
    std::string text = "*\nS4\nR2\n=\n";
    for (int i = 0; i < 30000; ++i) text += "^\n";
    for (int i = 0; i < 30000; ++i) text += "X\n";
    write_text(dir / "p.txt", text);
    const Result r = cli(dir, "run --text p.txt --time-limit 0.5 --obj out.obj");
    EXPECT_EQ(r.status, 1);
    int line = 0;
    char rest[64] = {};
    ASSERT_EQ(std::sscanf(r.err.c_str(), "p.txt:%d: %63[^\n]", &line, rest), 2) << r.err;
    EXPECT_EQ(std::string(rest), "fatal error: time limit reached");
    EXPECT_GE(line, 5);
    EXPECT_LE(line, 60004);
    EXPECT_EQ(cli(dir, "run --text p.txt --time-limit 0").status, 2);
}

TEST(Cli, RunWritesCompiledAndWarnsAboutStrayBytes) {
    TempDir dir;
    std::vector<uint8_t> bytes = dozu::encode_program_file(dozu::CommandTable(), {1, 6, 4, 2, 0, 17});
    write_bytes(dir / "p.tpg", bytes);
    const Result r = cli(dir, "run p.tpg --compiled p.out");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "p.tpg: warning: step byte 0 at offset 427 skipped\n");
    EXPECT_EQ(read_text(dir / "p.out"),
              "turtle:init_stack_frame\xFF"
              "turtle:grow_s\xFF"
              "turtle:grow_r\xFF"
              "turtle:first\xFF"
              "turtle:go\xFF");

    // A file that ends inside its third cell loads, and says so, before the
    // start hints of its empty program.
    bytes.resize(20);
    write_bytes(dir / "short.tpg", bytes);
    const Result s = cli(dir, "compile short.tpg short.out");
    EXPECT_EQ(s.status, 0);
    EXPECT_EQ(s.err,
              "short.tpg: warning: does not look like a dozu program: its table ends before the 78th cell\n"
              "short.tpg: warning: file ends after 3 of 78 table cells; the rest are empty\n");
    EXPECT_EQ(cli(dir, "run short.tpg").err.rfind(s.err, 0), 0u);

    // A failed write is a file error and leaves what was there.
    write_text(dir / "keep.obj", "old");
    std::filesystem::create_directory(dir / "dir.obj");
    EXPECT_EQ(cli(dir, "run p.tpg --obj dir.obj").status, 2);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "dir.obj"));
}

// A step whose button has no interpreter code is dropped by a load, and so by
// every path that writes the compiled output.
TEST(Cli, CompiledOutputsLeaveOutStepsOfButtonsWithoutCode) {
    TempDir dir;
    dozu::CommandTable table;
    table.set_cell(dozu::CommandTable::code_column(4), dozu::CommandTable::row_of(4), "");  // grow_r
    write_bytes(dir / "p.tpg", dozu::encode_program_file(table, {1, 6, 4, 2, 4, 17}));
    ASSERT_EQ(cli(dir, "compile p.tpg compile.out").status, 0);
    ASSERT_EQ(cli(dir, "run p.tpg --compiled run.out").status, 0);
    dozu::Program editor;
    editor.LoadProgram(dir / "p.tpg");
    editor.SaveProgram(dir / "editor.out", true);
    const std::string expected =
        "turtle:init_stack_frame\xFF"
        "turtle:grow_s\xFF"
        "turtle:first\xFF"
        "turtle:go\xFF";
    for (const char* file : {"compile.out", "run.out", "editor.out"})
        EXPECT_EQ(read_text(dir / file), expected) << file;
}

// What the tool does with the files it is told to write: each case sets
// files up beside a copy of the chain example, runs dozu-cli, and checks its
// status, all it says and, by a shell test, what the files are.
TEST(Cli, WritesOnlyWhatItShould) {
    struct Case {
        std::string setup, args;
        int status;
        std::string err, check;
    };
    const std::string name255(255, 'n'), program255 = std::string(251, 'p') + ".tpg";
    const std::string full = "dozu-cli: cannot write \"standard output\": No space left on device\n";
    const Case cases[] = {
        // Read-only, also for root (CI runs as root): no write bit at all.
        {"echo old > ro.obj; chmod 0444 ro.obj", "run p.tpg --obj ro.obj", 2,
         "dozu-cli: cannot write \"ro.obj\": the file is read-only\n", "[ \"$(cat ro.obj)\" = old ]"},
        // The program by its own name or through a link, and two outputs
        // that are one new file, are refused before anything is written.
        {"", "compile p.tpg p.tpg", 2, "dozu-cli: OUT \"p.tpg\" is the program file \"p.tpg\"\n",
         "cmp p.tpg chain.tpg"},
        {"", "compile - p.tpg < p.tpg", 2, "dozu-cli: OUT \"p.tpg\" is the program file on standard input\n",
         "cmp p.tpg chain.tpg"},
        {"ln -s p.tpg link.tpg", "run p.tpg --obj link.tpg", 2,
         "dozu-cli: --obj \"link.tpg\" is the program file \"p.tpg\"\n", "cmp p.tpg chain.tpg && [ -L link.tpg ]"},
        {"", "run p.tpg --obj x.obj --glb ./x.obj", 2,
         "dozu-cli: --obj \"x.obj\" and --glb \"./x.obj\" are the same file\n", "[ ! -e x.obj ]"},
        {"", "run p.tpg --obj /dev/null --glb /dev/null", 0, "", "[ -c /dev/null ]"},
        // A link whose file does not exist yet: written where it points,
        // read from the link's folder, and still a link.
        {"mkdir d; ln -s target.obj d/link.obj", "run p.tpg --obj d/link.obj", 0, "",
         "[ -L d/link.obj ] && [ -s d/target.obj ] && [ ! -e target.obj ]"},
        // The longest names a file may have, the program's too.
        {"cp p.tpg " + program255, "compile " + program255 + " " + name255, 0, "", "[ -s " + name255 + " ]"},
        // Owner and group are kept where the system allows (here, as root).
        {"echo old > owned.obj; chown 1234:5678 owned.obj || true", "run p.tpg --obj owned.obj", 0, "",
         "[ $(id -u) != 0 ] || [ $(stat -c %u:%g owned.obj) = 1234:5678 ]"},
        // Scales that would write infinities, or every vertex at the origin.
        {"", "run p.tpg --scale 3e38 --obj s.obj", 2,
         "dozu-cli: --scale 3e38 is too large for this model: a coordinate would not be finite\n",
         "[ ! -e s.obj ]"},
        {"", "run p.tpg --scale 1e-50 --compiled s.out --stl s.stl", 2,
         "dozu-cli: --scale 1e-50 is too small for this model: every coordinate would be zero\n",
         "[ ! -e s.out ] && [ ! -e s.stl ]"},
        // A run that the cap on quads stopped writes nothing, and leaves an
        // old file as it was; a model within the cap is written.
        {"echo old > keep.obj", "run p.tpg --max-quads 10 --obj keep.obj --stl c.stl --compiled c.out", 1,
         "p.tpg:10: fatal error: mesh too large: more than 10 quads\n",
         "[ \"$(cat keep.obj)\" = old ] && [ ! -e c.stl ] && [ ! -e c.out ]"},
        {"", "run p.tpg --max-quads 54 --obj c.obj", 0, "", "[ -s c.obj ]"},
        {"", "run p.tpg --max-quads 0x10 --obj c.obj", 2,
         "dozu-cli: --max-quads needs a count from 1 to 4294967295, not \"0x10\"; try dozu-cli run --help\n",
         "[ ! -e c.obj ]"},
        // An empty model is written, with a warning.
        {": > e.txt", "run --text e.txt --stl e.stl", 0,
         "e.txt: warning: the model is empty\n"
         "e.txt:1: hint: initialize, grow radius and size and make a first step\n"
         "e.txt:1: hint: buttons to click are init, grow_s, grow_r, first, ^ (forward)\n",
         "[ $(stat -c %s e.stl) = 84 ]"},
        // Help and version that could not be written.
        {"", "--help >/dev/full", 2, full, "true"},
        {"", "--version >/dev/full", 2, full, "true"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        TempDir dir;
        std::filesystem::copy_file(DOZU_EXAMPLES "/chain.tpg", dir / "chain.tpg");
        std::filesystem::copy_file(DOZU_EXAMPLES "/chain.tpg", dir / "p.tpg");
        ASSERT_EQ(shell(dir, c.setup).status, 0);
        const Result r = cli(dir, c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(shell(dir, c.check).status, 0) << c.check;
    }
}

TEST(Cli, StandardStreamsAndOptionForms) {
    TempDir dir;
    const std::string chain = "'" DOZU_EXAMPLES "/chain.tpg'";
    ASSERT_EQ(cli(dir, "run " + chain + " --lines=9 --obj=a.obj --compiled=a.out").status, 0);
    const std::string obj = read_text(dir / "a.obj"), compiled = read_text(dir / "a.out");
    ASSERT_NE(obj, "");

    // The program from standard input; one output down a pipe, also by
    // the name of a link to standard output, which stays as it was.
    Result r = shell(dir, kCli + " run - --lines 9 --obj - < " + chain + " | cat > p.obj");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_text(dir / "p.obj"), obj);
    r = shell(dir, kCli + " run " + chain + " --lines 9 --obj /dev/stdout | cat > q.obj");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_text(dir / "q.obj"), obj);
    EXPECT_TRUE(std::filesystem::is_symlink("/dev/stdout"));
    r = shell(dir, "cat " + chain + " | " + kCli + " compile - - | cat > c.out");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_text(dir / "c.out"), compiled);

    // A text program from standard input: messages name it <stdin>.
    r = shell(dir, "printf '*\\nS4\\n' | " + kCli + " run --text - --lines 0");
    EXPECT_EQ(r.err.rfind("<stdin>:1: hint: ", 0), 0u) << r.err;

    // Two outputs to standard output, or a write that fails, are errors.
    r = cli(dir, "run " + chain + " --obj - --compiled -");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "dozu-cli: --compiled and --obj both write to standard output; try dozu-cli run --help\n");
    r = cli(dir, "run " + chain + " --obj /dev/full");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
}

namespace {

struct AssimpInfo {
    long vertices = -1, faces = -1;
    Vec low{}, high{};
};

// What the assimp tool, a reader nobody here wrote, finds in a mesh file,
// raw or after its default post-processing (which joins identical vertices
// and splits quads into triangles).
AssimpInfo assimp_info(const TempDir& dir, const std::string& file, bool raw = true) {
    const std::string cmd =
        "assimp info '" + file + "'" + (raw ? " --raw" : "") + " > '" + (dir / "assimp.txt") + "' 2>&1";
    AssimpInfo info;
    if (std::system(cmd.c_str()) != 0) return info;
    for (const auto& line : split_lines(read_text(dir / "assimp.txt"))) {
        std::sscanf(line.c_str(), "Vertices: %ld", &info.vertices);
        std::sscanf(line.c_str(), "Faces: %ld", &info.faces);
        std::sscanf(line.c_str(), "Minimum point (%lf %lf %lf)", &info.low[0], &info.low[1], &info.low[2]);
        std::sscanf(line.c_str(), "Maximum point (%lf %lf %lf)", &info.high[0], &info.high[1], &info.high[2]);
    }
    return info;
}

std::pair<long, long> assimp_counts(const TempDir& dir, const std::string& file, bool raw = true) {
    const AssimpInfo info = assimp_info(dir, file, raw);
    return {info.vertices, info.faces};
}

}  // namespace

TEST(Cli, ScaleMultipliesEveryPosition) {
    TempDir dir;
    const std::string chain = "run '" DOZU_EXAMPLES "/chain.tpg'";
    ASSERT_EQ(cli(dir, chain + " --obj a.obj --3mf a.3mf").status, 0);
    ASSERT_EQ(cli(dir, chain + " --scale 2.5 --obj b.obj --3mf b.3mf").status, 0);
    const ReadMesh a = read_obj(read_text(dir / "a.obj")), b = read_obj(read_text(dir / "b.obj"));
    ASSERT_EQ(a.positions.size(), b.positions.size());
    for (size_t v = 0; v < a.positions.size(); ++v)
        for (size_t i = 0; i < 3; ++i) ASSERT_EQ(float(b.positions[v][i]), float(float(a.positions[v][i]) * 2.5));
    EXPECT_EQ(a.normals, b.normals);
    const AssimpInfo small = assimp_info(dir, dir / "a.3mf"), large = assimp_info(dir, dir / "b.3mf");
    for (size_t i = 0; i < 3; ++i)
        EXPECT_NEAR(large.high[i] - large.low[i], 2.5 * (small.high[i] - small.low[i]), 1e-5);
}

class Examples : public ::testing::TestWithParam<std::string> {};

// Every format of every example: read back, closed, facing outward, with
// unit normals, and the same to assimp.
TEST_P(Examples, ExportToEveryFormat) {
    TempDir dir;
    const Result r =
        cli(dir, "run '" DOZU_EXAMPLES "/" + GetParam() +
                     ".tpg' --obj m.obj --ply m.ply --stl m.stl --glb m.glb --gltf m.gltf --3mf m.3mf");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const std::pair<std::string, ReadMesh> files[] = {
        {"obj", read_obj(read_text(dir / "m.obj"))},      {"ply", read_ply(read_text(dir / "m.ply"))},
        {"stl", read_stl_mesh(read_text(dir / "m.stl"))}, {"glb", read_gltf(dir / "m.glb", true)},
        {"gltf", read_gltf(dir / "m.gltf", false)},       {"3mf", read_3mf(dir / "m.3mf")}};
    const ReadMesh& glb = files[3].second;
    ASSERT_EQ(glb.error, "");
    const double volume = signed_volume(glb);
    EXPECT_GT(volume, 0.0);
    Vec low, high;
    for (size_t i = 0; i < 3; ++i) {
        low[i] = high[i] = glb.positions[0][i];
        for (const Vec& p : glb.positions) low[i] = std::min(low[i], p[i]), high[i] = std::max(high[i], p[i]);
    }
    for (const auto& [format, m] : files) {
        SCOPED_TRACE(format);
        ASSERT_EQ(m.error, "");
        EXPECT_TRUE(closed(m));
        EXPECT_NEAR(signed_volume(m), volume, 1e-5 * std::fabs(volume));
        size_t not_unit = 0;
        for (const Vec& n : m.normals) not_unit += std::fabs(std::sqrt(dot(n, n)) - 1) > 1e-5;
        EXPECT_EQ(not_unit, 0u);
        if (format != "3mf") {
            const WindingCount w = winding_against_normals(m);
            EXPECT_EQ(w.agree, w.judged);
            EXPECT_GT(w.judged, m.faces.size() / 2);
        }
        const AssimpInfo a = assimp_info(dir, dir / ("m." + format), false);
        EXPECT_EQ(size_t(a.faces), glb.faces.size());
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_NEAR(a.low[i], low[i], 2e-6 * std::max(1.0, std::fabs(low[i])));
            EXPECT_NEAR(a.high[i], high[i], 2e-6 * std::max(1.0, std::fabs(high[i])));
        }
    }
    // 3MF numbers read back as the very floats of the binary glTF, so that
    // distinct vertices stay distinct.
    const ReadMesh& three_mf = files[5].second;
    ASSERT_EQ(three_mf.positions.size(), glb.positions.size());
    for (size_t v = 0; v < glb.positions.size(); ++v)
        for (size_t i = 0; i < 3; ++i) ASSERT_EQ(float(three_mf.positions[v][i]), float(glb.positions[v][i]));
}

// Every program in examples/, so that a new one is checked too.
std::vector<std::string> example_names() {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(DOZU_EXAMPLES, error))
        if (entry.path().extension() == ".tpg") names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

INSTANTIATE_TEST_SUITE_P(Cli, Examples, ::testing::ValuesIn(example_names()));

TEST(Cli, ExamplesAreFound) { EXPECT_GE(example_names().size(), 14u); }

// The files that the writers made before they streamed and wrote the
// shortest numbers, kept in the test data: the same bytes where no text is
// involved, the same floats and faces read back where it is.
TEST(Cli, ExportsReadBackAsTheEarlierWritersFiles) {
    TempDir dir;
    const std::string rock = "'" DOZU_EXAMPLES "/rock.tpg'";
    ASSERT_EQ(
        cli(dir, "run " + rock + " --obj r.obj --ply r.ply --stl r.stl --glb r.glb --gltf r.gltf --3mf r.3mf")
            .status,
        0);
    ASSERT_EQ(cli(dir, "run " + rock + " --input-mesh --scale 2.5 --obj in.obj").status, 0);
    const std::string earlier = std::string(DOZU_TEST_DATA) + "/export/rock";
    EXPECT_EQ(read_text(dir / "r.ply"), read_text(earlier + ".ply"));
    EXPECT_EQ(read_text(dir / "r.stl"), read_text(earlier + ".stl"));
    auto floats = [](const std::vector<Vec>& v) {
        std::vector<float> f;
        for (const Vec& x : v) f.insert(f.end(), {float(x[0]), float(x[1]), float(x[2])});
        return f;
    };
    const std::pair<ReadMesh, ReadMesh> pairs[] = {
        {read_obj(read_text(dir / "r.obj")), read_obj(read_text(earlier + ".obj"))},
        {read_obj(read_text(dir / "in.obj")), read_obj(read_text(earlier + "-input.obj"))},
        {read_gltf(dir / "r.glb", true), read_gltf(earlier + ".glb", true)},
        {read_gltf(dir / "r.gltf", false), read_gltf(earlier + ".gltf", false)},
        {read_3mf(dir / "r.3mf"), read_3mf(earlier + ".3mf")}};
    for (const auto& [now, before] : pairs) {
        ASSERT_EQ(now.error, "");
        ASSERT_EQ(before.error, "");
        ASSERT_GT(before.positions.size(), 0u);
        EXPECT_EQ(floats(now.positions), floats(before.positions));
        EXPECT_EQ(floats(now.normals), floats(before.normals));
        EXPECT_EQ(now.faces, before.faces);
    }
}

// A model is named after its file, whatever bytes the name holds; what XML
// does not allow (controls, U+FFFE, U+FFFF) is dropped, and xmllint, a
// reader nobody here wrote, takes the 3MF model.
TEST(Cli, NamesInGltfAnd3mfAreValidText) {
    TempDir dir;
    const std::string name = "a\"b\\c<&\xff\x01\xEF\xBF\xBE\xEF\xBF\xBF";
    std::filesystem::copy_file(DOZU_EXAMPLES "/tube.tpg", dir / (name + ".tpg"));
    ASSERT_EQ(
        cli(dir,
            "run $'a\"b\\\\c<&\\xff\\x01\\xef\\xbf\\xbe\\xef\\xbf\\xbf.tpg' --glb m.glb --gltf m.gltf --3mf m.3mf")
            .status,
        0);
    EXPECT_EQ(read_gltf(dir / "m.glb", true).error, "");
    EXPECT_EQ(read_gltf(dir / "m.gltf", false).error, "");
    const std::string xml = read_3mf_model_part(dir / "m.3mf");
    EXPECT_NE(xml.find("name=\"a&quot;b\\c&lt;&amp;\xEF\xBF\xBD\""), std::string::npos) << xml.substr(0, 400);
    write_text(dir / "model.xml", xml);
    EXPECT_EQ(shell(dir, "xmllint --noout model.xml").status, 0);
}

TEST(Cli, ExportsReadBackWithAssimp) {
    TempDir dir;
    const Result r = cli(dir, "run '" DOZU_EXAMPLES "/blob.tpg' --obj b.obj --ply b.ply --stl b.stl");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string obj = read_text(dir / "b.obj");
    const long vertices = long(count_prefix(obj, "v ")), quads = long(count_prefix(obj, "f "));
    ASSERT_GT(quads, 0);
    // Its OBJ reader makes a vertex per face corner, then joins them.
    EXPECT_EQ(assimp_counts(dir, dir / "b.obj"), std::make_pair(4 * quads, quads));
    EXPECT_EQ(assimp_counts(dir, dir / "b.obj", false), std::make_pair(vertices, 2 * quads));
    EXPECT_EQ(assimp_counts(dir, dir / "b.ply"), std::make_pair(vertices, quads));
    EXPECT_EQ(assimp_counts(dir, dir / "b.stl"), std::make_pair(6 * quads, 2 * quads));

    const std::vector<StlFacet> facets = read_stl(read_text(dir / "b.stl"));
    ASSERT_EQ(long(facets.size()), 2 * quads);
    EXPECT_TRUE(watertight(facets));
    EXPECT_GT(signed_volume(facets), 0.0);

    // The input mesh too, and a failed write leaves the old file.
    write_text(dir / "keep.ply", "old");
    std::filesystem::create_directory(dir / "d.stl");
    EXPECT_EQ(cli(dir, "run '" DOZU_EXAMPLES "/tube.tpg' --input-mesh --ply keep.ply --stl d.stl").status, 2);
    EXPECT_EQ(read_text(dir / "keep.ply").substr(0, 3), "ply");  // written before the failing one
    EXPECT_TRUE(std::filesystem::is_directory(dir / "d.stl"));
}

// ---- hostile inputs

namespace {

// AddressSanitizer reserves terabytes of address space, and its allocator
// ends the process instead of throwing, so only plain builds can be run
// under an address-space limit.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

std::string text_program(int steps, const std::string& tail = "") {
    std::string text = "*\nS4\nR2\n=\n";
    for (int i = 0; i < steps; ++i) text += "^\n";
    return text + tail;
}

}  // namespace

TEST(Cli, ProgramsWhoseLinesWouldPassTheLimitAreRefusedButCompile) {
    TempDir dir;
    // One 64 KiB code on 65,536 steps: a 131 KB file whose lines would hold
    // 4 GiB.
    dozu::CommandTable table;
    table.set_cell(dozu::CommandTable::code_column(20), dozu::CommandTable::row_of(20), std::string(65536, '^'));
    write_bytes(dir / "big.tpg", dozu::encode_program_file(table, std::vector<uint8_t>(65536, 20)));
    const std::string refusal = "dozu-cli: program too large: its lines would hold " +
                                std::to_string(65536ull * 65537) + " bytes, the limit is 64 MiB\n";
    for (const std::string args : {"run big.tpg --obj big.obj", "pack big.tpg --c big.h"}) {
        const Result r = cli(dir, args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(r.err, refusal) << args;
    }
    EXPECT_EQ(dir.entries(), 4u);  // the program, the script and its output

    // compile writes code by code, within a memory limit far below the
    // lines' 4 GiB.
    const std::string limit = kSanitized ? "" : "ulimit -v 300000; ";
    ASSERT_EQ(shell(dir, limit + kCli + " compile big.tpg big.out").status, 0);
    std::string expected;
    for (int i = 0; i < 65536; ++i) expected += table.compiled_code(20) + "\xFF";
    EXPECT_TRUE(read_text(dir / "big.out") == expected);
}

TEST(Cli, SkippedStepBytesAreListedUpToAHundred) {
    TempDir dir;
    std::vector<uint8_t> steps = {1, 6, 4, 2};
    steps.insert(steps.end(), 250, 0xEE);
    write_bytes(dir / "p.tpg", dozu::encode_program_file(dozu::CommandTable(), steps));
    const std::vector<std::string> err = split_lines(cli(dir, "compile p.tpg p.out").err);
    ASSERT_EQ(err.size(), 102u);
    EXPECT_EQ(err[0],
              "p.tpg: warning: does not look like a dozu program: 250 of its 254 step bytes lie outside 1 to 26");
    EXPECT_EQ(err[100], "p.tpg: warning: step byte 238 at offset 526 skipped");
    EXPECT_EQ(err[101], "p.tpg: warning: ... and 150 more step bytes skipped");
    EXPECT_EQ(split_lines(cli(dir, "run p.tpg").err), err);
}

// Under address-space limits from too small to enough, a run ends in one
// of two ways: cleanly, or with "fatal error: out of memory" at the line
// being run (the run's and then the export's), exit status 1 and no file
// or temporary file left by the export that failed. Never an abort.
TEST(Cli, OutOfMemoryIsAFatalErrorOfTheLineBeingRun) {
    if (kSanitized) GTEST_SKIP() << "needs an address-space limit";
    TempDir dir;
    // Growing turtle, flush and export: 500,000 steps, about 350 MB.
    write_text(dir / "steps.txt", text_program(500000));
    // Subdivision: 1,000 steps, then the mesh grows fourfold with each D.
    write_text(dir / "subdiv.txt", text_program(1000, "D\nD\nD\nD\nD\nD\n"));
    const std::regex oom(R"(^(\w+)\.txt:(\d+): fatal error: out of memory$)");
    std::map<std::string, std::set<int>> lines;
    bool passed = false;
    for (const auto& [program, megabytes] : std::vector<std::pair<std::string, int>>{
             {"steps", 100}, {"steps", 150}, {"steps", 250}, {"steps", 600}, {"subdiv", 150}, {"subdiv", 400}}) {
        SCOPED_TRACE(program + " in " + std::to_string(megabytes) + " MB");
        const Result r = shell(dir, "ulimit -v " + std::to_string(megabytes * 1024) + "; " + kCli +
                                        " run --text " + program + ".txt --ply out.ply");
        ASSERT_TRUE(r.status == 0 || r.status == 1) << r.status << r.err;
        passed |= r.status == 0;
        EXPECT_EQ(r.err.empty(), r.status == 0) << r.err;
        std::vector<std::string> err = split_lines(r.err);
        std::erase(err, program + ".txt: warning: the model is empty");  // out of memory before the first quad
        EXPECT_LE(err.size(), 2u);
        for (const std::string& line : err) {
            std::smatch m;
            ASSERT_TRUE(std::regex_match(line, m, oom)) << line;
            lines[program].insert(std::stoi(m[2]));
        }
        if (err.size() == 2) EXPECT_FALSE(std::filesystem::exists(dir / "out.ply"));
        std::filesystem::remove(dir / "out.ply");
        EXPECT_EQ(dir.entries(), 5u);  // the programs, the script and its output
    }
    EXPECT_TRUE(passed);
    // The turtle ran out while it grew, and a subdivision did.
    ASSERT_FALSE(lines["steps"].empty());
    EXPECT_LT(*lines["steps"].begin(), 500004);
    ASSERT_FALSE(lines["subdiv"].empty());
    EXPECT_GE(*lines["subdiv"].begin(), 1005);
    for (const int line : lines["steps"]) EXPECT_GE(line, 5);
}

// SIGTERM while a large export is written: the process ends by the signal
// and leaves no temporary file; the target keeps what it held.
TEST(Cli, ATerminatedExportLeavesNoTemporaryFile) {
    TempDir dir;
    write_text(dir / "p.txt", text_program(1000, "D\nD\nD\nD\n"));
    write_text(dir / "out.obj", "old");
    const std::string cli_path = DOZU_CLI, program = dir / "p.txt", out = dir / "out.obj";
    const char* argv[] = {cli_path.c_str(), "run", "--text", program.c_str(), "--obj", out.c_str(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, const_cast<char* const*>(argv), environ), 0);
    bool seen = false;
    int status = 0;
    while (!seen && ::waitpid(pid, &status, WNOHANG) == 0) {
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            seen |= entry.path().filename().string().rfind(".out.obj.", 0) == 0;
        if (seen)
            ::kill(pid, SIGTERM);
        else
            std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    if (seen) ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(seen) << "the export ended before it was seen";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_EQ(read_text(dir / "out.obj"), "old");
    EXPECT_EQ(dir.entries(), 2u);
}

namespace {

// Base64url without padding, then a raw inflate: a share link's payload.
std::string unpack_link_data(const std::string& data) {
    static const std::string digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string bytes;
    uint32_t bits = 0;
    int count = 0;
    for (const char c : data) {
        const size_t d = digits.find(c);
        if (d == std::string::npos) ADD_FAILURE() << "not base64url: " << c;
        bits = bits << 6 | uint32_t(d);
        if ((count += 6) >= 8) bytes += char((bits >> (count -= 8)) & 0xff);
    }
    z_stream z{};
    inflateInit2(&z, -15);
    std::string out(1 << 20, '\0');
    z.next_in = reinterpret_cast<Bytef*>(bytes.data());
    z.avail_in = uInt(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    inflateEnd(&z);
    return out;
}

}  // namespace

TEST(Cli, LinkAndHtmlCarryTheProgram) {
    TempDir dir;
    // A program of its own table travels as the whole file, stray bytes left
    // out; the base's own fragment goes.
    const Result custom = cli(dir, "link table_00.tpg --base 'https://example.org/dozu/#old'", kSamples);
    EXPECT_EQ(custom.status, 0);
    ASSERT_EQ(custom.out.rfind("https://example.org/dozu/#t=", 0), 0u) << custom.out;
    const dozu::ProgramFileData data = dozu::parse_program_file(read_bytes(kSamples + "/table_00.tpg"));
    dozu::CommandTable table;
    dozu::apply_table_cells(table, data);
    const std::vector<uint8_t> file = dozu::encode_program_file(table, data.steps);
    EXPECT_EQ(unpack_link_data(custom.out.substr(28, custom.out.size() - 29)),
              std::string(file.begin(), file.end()));

    // The default table's programs travel as their text: blanks as "_", or
    // deflated when that is shorter.
    write_bytes(dir / "short.tpg",
                dozu::encode_program_file(dozu::CommandTable(), {1, 6, 4, 2, 13, 17, 9, 17, 19}));
    EXPECT_EQ(cli(dir, "link short.tpg --base http://h/").out, "http://h/#p=*_S4_R2_=_B_^_Y-C_^_D_\n");
    const Result spiral = cli(dir, "link '" + std::string(DOZU_EXAMPLES) + "/spiral.tpg' --base http:x");
    ASSERT_EQ(spiral.out.rfind("http:x#z=", 0), 0u) << spiral.out;
    std::string text;
    for (const uint8_t tag :
         dozu::parse_program_file(read_bytes(std::string(DOZU_EXAMPLES) + "/spiral.tpg")).steps)
        text += dozu::CommandTable().interpreter_code(tag) + " ";
    EXPECT_EQ(unpack_link_data(spiral.out.substr(9, spiral.out.size() - 10)), text);
    // Without --base, the page on this computer.
    EXPECT_EQ(cli(dir, "link short.tpg").out.rfind("file:///", 0), 0u);
    EXPECT_EQ(cli(dir, "link short.tpg --base ''").status, 2);

    // The one-file page holds the program's text as base64, its name as the
    // title, and nothing of the template's marks.
    const Result html = cli(dir, "html short.tpg && cat short.html");
    EXPECT_EQ(html.status, 0) << html.err;
    EXPECT_NE(html.out.find("<title>short</title>"), std::string::npos);
    EXPECT_NE(html.out.find("\"KiBTNCBSMiA9IEIgXiBZLUMgXiBEIA==\""), std::string::npos);
    EXPECT_EQ(html.out.find("dozu:"), std::string::npos);
}

// The limits as the batch tool keeps them, each row a command, its exit
// status and what it says: a link of at most 2,097,152 characters, address
// included, an address of http:, https: or file: within 2,000, a program
// file of at most 16 MiB.
TEST(Cli, LimitsHoldOnEveryCommand) {
    TempDir dir;
    // Its link at http://h/ is 1,245 characters short of the longest.
    std::vector<uint8_t> steps(2908000);
    for (uint32_t x = 1; uint8_t & step : steps) step = uint8_t(1 + ((x = x * 1103515245u + 12345u) >> 16) % 26);
    write_bytes(dir / "near.tpg", dozu::encode_program_file(dozu::CommandTable(), steps));
    write_text(dir / "big.tpg", std::string(dozu::kMaxProgramFileSize + 1, '\x01'));
    const std::string fits = "link near.tpg --base http://h/" + std::string(1245, 'a'),
                      base = "dozu-cli: --base: ";
    const std::string try_help = "; try dozu-cli link --help\n";
    for (const auto& [args, status, err] : std::vector<std::tuple<std::string, int, std::string>>{
             {fits, 0, ""},
             {fits + "a", 2,
              "dozu-cli: cannot make the share link of near.tpg: the link would be longer than 2,097,152 "
              "characters, the most a browser opens\n"},
             {"link near.tpg --base 'javascript:alert(document.domain)//'", 2,
              base + "the address must start with http:, https: or file:" + try_help},
             {"link near.tpg --base http://h/" + std::string(1992, 'a'), 2,
              base + "the address is longer than 2,000 characters" + try_help},
             {"link near.tpg --base 'http://h/a b'", 2,
              base + "the address holds a blank or a control character" + try_help},
             {"run big.tpg", 2, "dozu-cli: \"big.tpg\" is larger than 16 MiB\n"},
         }) {
        const Result r = cli(dir, args);
        EXPECT_EQ(r.status, status) << args.substr(0, 60);
        EXPECT_EQ(r.err, err);
        EXPECT_EQ(r.out.size(), status == 0 ? dozu::kMaxShareLinkLength + 1 : 0);
    }
}
