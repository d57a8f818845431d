// Packed programs and the runtime's example, built by real C and C++
// compilers with every warning an error, and run; the program-file reader
// built by them too.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "program/packed_program.h"
#include "support/temp_dir.h"

using namespace dozu;
using namespace dozu::testing;

namespace {

// The compilers with the strict flags an embedder may use; GCC's builds also
// take the build's own C flags (the sanitizers, in a sanitizer build).
const std::vector<std::string> kCompilers = {
    DOZU_CC " -std=c99 -Wall -Wextra -Wconversion -Wshadow -pedantic -Werror " DOZU_C_FLAGS,
    DOZU_CLANG " -std=c99 -Wall -Wextra -Wconversion -Wshadow -pedantic -Werror",
    DOZU_CXX " -x c++ -Wall -Wextra -pedantic -Werror " DOZU_C_FLAGS,
};

void write_text(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

int shell(const std::string& command) {
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

std::string quoted(const std::string& s) { return "'" + s + "'"; }

}  // namespace

// Programs of every byte, with escapes next to digits and trigraph
// look-alikes, of the longest string literal and one byte more, and empty:
// each compiles back to its own bytes.
TEST(PackedProgram, EveryByteRoundTripsThroughEachCompiler) {
    std::string every;
    for (int b = 0; b < 256; ++b) every += char(b);
    every +=
        "?\?=?\?/?\?'\"\\\0017\x01"
        "8 \t\n";
    const std::vector<std::vector<std::string>> programs = {
        {every}, {std::string(4094, 'S') + " "}, {std::string(4095, 'Y'), "?"}, {}, {"* ", "S4 ", "= "}};
    TempDir dir;
    std::string header, main = "#include <stdio.h>\n#include \"packed.h\"\nint main(int argc, char** argv) {\n";
    for (size_t i = 0; i < programs.size(); ++i) {
        const std::string name = packed_name(file_stem("folder.v2/my-model." + std::to_string(i) + ".tpg"));
        ASSERT_EQ(name, "dozu_model_my_model_" + std::to_string(i));
        header += encode_packed_program(name, programs[i]);
        main += "    { FILE* f = argc > " + std::to_string(i + 1) + " ? fopen(argv[" + std::to_string(i + 1) +
                "], \"wb\") : NULL;\n      if (!f || fwrite(" + name + ", 1, " + name + "_length, f) != " + name +
                "_length || fclose(f)) return 1; }\n";
    }
    EXPECT_NE(header.find("'\\x59', '\\x3f',"), std::string::npos);  // 4,096 bytes as a list
    main += "    return 0;\n}\n";
    write_text(dir / "packed.h", header);
    write_text(dir / "main.c", main);
    for (const std::string& cc : kCompilers) {
        SCOPED_TRACE(cc);
        ASSERT_EQ(shell(cc + " -I" + quoted(dir.path()) + " " + quoted(dir / "main.c") + " -o " +
                        quoted(dir / "unpack")),
                  0);
        std::string outputs;
        for (size_t i = 0; i < programs.size(); ++i) outputs += " " + quoted(dir / ("out" + std::to_string(i)));
        ASSERT_EQ(shell(quoted(dir / "unpack") + outputs), 0);
        for (size_t i = 0; i < programs.size(); ++i) {
            std::string joined;
            for (const std::string& l : programs[i]) joined += l;
            EXPECT_EQ(read_text(dir / ("out" + std::to_string(i))), joined) << "program " << i;
        }
    }
}

// One rule makes every name a C identifier, for the constant and its
// length alike: no "__", which C++ reserves, and no trailing "_". A name
// given is used whole; only a file's name loses its extension.
TEST(PackedProgram, NamesFollowOneRule) {
    EXPECT_EQ(packed_name("a.b.c"), "dozu_model_a_b_c");
    EXPECT_EQ(packed_name("__x--\xff_y__"), "dozu_model_x_y");
    TempDir dir;
    write_text(dir / "p.txt", "*\n");
    ASSERT_EQ(shell(quoted(DOZU_CLI) + " pack --text " + quoted(dir / "p.txt") + " --name a.b.c_ --c " +
                    quoted(dir / "p.h")),
              0);
    EXPECT_NE(read_text(dir / "p.h").find("dozu_model_a_b_c[] =\n"), std::string::npos);
    EXPECT_NE(read_text(dir / "p.h").find(" dozu_model_a_b_c_length = 2;"), std::string::npos);
}

TEST(PackedProgram, LinesTheRuntimeWouldNumberOtherwiseAreNamed) {
    EXPECT_EQ(runtime_line_mismatches(std::vector<std::string>{"* ", "R2 S4 ", "= ", "R2", "", "^ "}),
              (std::vector<int>{1, 3, 4}));
    TempDir dir;
    write_text(dir / "p.txt", "*\nS4 R2\n=\n");
    ASSERT_EQ(shell(quoted(DOZU_CLI) + " pack --text " + quoted(dir / "p.txt") + " --c " + quoted(dir / "p.h") +
                    " 2>" + quoted(dir / "err")),
              0);
    EXPECT_NE(read_text(dir / "p.h").find("dozu_model_p[] =\n    \"* S4 R2 = \";"), std::string::npos);
    EXPECT_NE(read_text(dir / "err").find("p.txt:2: warning:"), std::string::npos);
}

// The example decodes the packed rock (extruded twice, then subdivided)
// and writes the positions, normals and faces that the batch tool writes,
// the same floats read back (the tool writes the shortest text for each,
// the example nine digits) but for normals within 1e-6; those at a cap's
// centre are the mean of their quads' as in the tool.
TEST(RuntimeExample, BuildsWithEachCompilerAndWritesTheBatchToolsMesh) {
    TempDir dir;
    const std::string rock = std::string(DOZU_EXAMPLES) + "/rock.tpg";
    ASSERT_EQ(shell(quoted(DOZU_CLI) + " pack " + quoted(rock) + " --c " + quoted(dir / "rock.h")), 0);
    ASSERT_EQ(shell(quoted(DOZU_CLI) + " run " + quoted(rock) + " --obj " + quoted(dir / "cli.obj")), 0);
    const auto positions_and_faces = [](const std::string& obj) {
        std::istringstream in(obj);
        std::vector<std::string> kept;
        for (std::string l; std::getline(in, l);) {
            if (l.rfind("f ", 0) == 0) kept.push_back(l);
            if (l.rfind("v ", 0) != 0) continue;
            const char* p = l.c_str() + 2;
            std::string floats = "v";
            for (int i = 0; i < 3; ++i) {
                char* end = nullptr;
                (floats += ' ') += std::to_string(std::bit_cast<uint32_t>(std::strtof(p, &end)));
                p = end;
            }
            kept.push_back(floats);
        }
        return kept;
    };
    const auto normals = [](const std::string& obj) {
        std::istringstream in(obj);
        std::vector<double> n;
        double x, y, z;
        for (std::string l; std::getline(in, l);)
            if (std::sscanf(l.c_str(), "vn %lf %lf %lf", &x, &y, &z) == 3) n.insert(n.end(), {x, y, z});
        return n;
    };
    const auto expected = positions_and_faces(read_text(dir / "cli.obj"));
    const std::vector<double> expected_normals = normals(read_text(dir / "cli.obj"));
    ASSERT_GT(expected.size(), 100u);
    for (const std::string& cc : kCompilers) {
        SCOPED_TRACE(cc);
        ASSERT_EQ(
            shell(cc + " -I" + quoted(dir.path()) +
                  " -I" DOZU_RUNTIME_DIR " " DOZU_RUNTIME_DIR "/example.c -lm -o " + quoted(dir / "example")),
            0);
        std::remove((dir / "example.obj").c_str());
        ASSERT_EQ(shell(quoted(dir / "example") + " " + quoted(dir / "example.obj")), 0);
        EXPECT_EQ(positions_and_faces(read_text(dir / "example.obj")), expected);
        const std::vector<double> got = normals(read_text(dir / "example.obj"));
        ASSERT_EQ(got.size(), expected_normals.size());
        for (size_t i = 0; i < got.size(); ++i)
            ASSERT_NEAR(got[i], expected_normals[i], 1e-6) << "normal " << i / 3;
        // The program-file reader beside it, built the same way.
        write_text(dir / "tpg.c", "#define DOZU_RUNTIME_TPG\n#include \"dozu_tpg.h\"\n");
        EXPECT_EQ(
            shell(cc + " -c -I" DOZU_RUNTIME_DIR " " + quoted(dir / "tpg.c") + " -o " + quoted(dir / "tpg.o")), 0);
    }
    // A C compiler older than C99 is refused, not given other floats.
    ASSERT_EQ(shell(DOZU_CC " -std=c89 -fsyntax-only -x c " DOZU_RUNTIME_DIR "/dozu_runtime.h 2>" +
                    quoted(dir / "c89.txt")),
              1);
    EXPECT_NE(read_text(dir / "c89.txt").find("needs C99 or later"), std::string::npos);
}
