// dozu-cli: runs program files as the editor does, without a screen, and
// writes what they make.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "editor/file_io.h"
#include "editor/mesh_export.h"
#include "editor/program.h"
#include "interpreter/interpreter.h"
#include "turtle/turtle.h"

#ifdef DOZU_CLI_PNG
#include "cli/offscreen_gl.h"
#include "cli/picture.h"
#endif

namespace {

using namespace dozu;

constexpr int kOk = 0, kFatal = 1, kUsage = 2;
constexpr int kMaxSide = 4096;

const char* const kHelp = R"(usage:
  dozu-cli run PROGRAM.tpg [--lines N] [--obj F] [--ply F] [--stl F] [--input-mesh] [--compiled F]
                           [--png F [--size WxH] [--solid]]
  dozu-cli run --text PROGRAM.txt [--lines N] [--obj F] [--ply F] [--stl F] [--input-mesh]
                                  [--png F [--size WxH] [--solid]]
  dozu-cli compile PROGRAM.tpg OUT
  dozu-cli --help

run       Loads a program file as the editor's Load does (its command table,
          then its steps replayed as button clicks) and runs the interpreter
          over all its lines.
  --text      The program is plain text instead: one program line per text
              line, each given the trailing blank that a button click adds.
  --lines N   Runs only the first N lines, as trace mode does with line N-1
              selected (0 runs nothing and gives the start hints).
  --obj F     Writes the output mesh as Wavefront OBJ, also after a fatal
              error: the file then holds what the editor's preview shows.
              Positions and normals are divided by their weights; vertices
              that no quad names are left out and the faces renumbered.
  --ply F     Writes it as binary little-endian PLY (x y z nx ny nz floats
              per vertex, faces as lists of 4 indices).
  --stl F     Writes it as binary STL: each quad as two triangles,
              counter-clockwise seen from outside, with facet normals.
  --input-mesh  Writes the turtle's own vertex and quad lists instead to
              the --obj, --ply and --stl files.
  --compiled F  Also writes the compiled output of the program's steps.
  --png F     Draws the output mesh as a PNG picture, as the editor's 3D
              view shows it when it opens: a black wireframe on white, 55
              degree perspective, the camera at its reset orientation, the
              model centred on its bounds. Drawn off-screen through EGL: no
              X server is needed. Written also after a fatal error.
  --size WxH  The picture's size in pixels, each side 1 to 4096 (default
              746x288, the editor's view).
  --solid     Draws the lit solid of "Solid Graphics Output" instead.
compile   Writes the compiled output: each step's compiled code followed by
          the byte 0xFF.

Each interpreter message goes to standard error as PROGRAM:LINE: TEXT (LINE
counts from 1), in the order of the run; a skipped step byte of a program
file as PROGRAM:warning: step byte B at offset O skipped, before them.
Files are written atomically: a failed write leaves an existing file as it was.

Exit status: 0 when the run had no fatal error, 1 when it had one, 2 for a
usage or file error or a picture that could not be drawn, which prints one
line that says what is wrong.
)";

struct UsageError {
    std::string text;
};

struct RunOptions {
    std::string program;
    bool text = false;
    std::optional<int> lines;
    std::string obj, ply, stl;
    bool input_mesh = false;
    std::string compiled;
    std::string png;
    std::optional<std::pair<int, int>> size;
    bool solid = false;
};

int fail(const std::string& text) {
    std::fprintf(stderr, "dozu-cli: %s\n", text.c_str());
    return kUsage;
}

std::string next_value(int& i, int argc, char** argv) {
    const std::string option = argv[i];
    if (++i >= argc) throw UsageError{option + " needs a value"};
    return argv[i];
}

int parse_count(const std::string& s) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (s.empty() || *end != '\0' || errno != 0 || v < 0 || v > 1'000'000'000)
        throw UsageError{"--lines needs a count of 0 or more, not \"" + s + "\""};
    return int(v);
}

// WxH, each side a decimal count from 1 to the largest picture side.
std::pair<int, int> parse_size(const std::string& s) {
    const auto side = [](const std::string& digits, int& value) {
        if (digits.empty() || digits.size() > 4) return false;
        value = 0;
        for (const char c : digits) {
            if (c < '0' || c > '9') return false;
            value = value * 10 + (c - '0');
        }
        return value >= 1 && value <= kMaxSide;
    };
    const size_t x = s.find('x');
    int w = 0, h = 0;
    if (x == std::string::npos || !side(s.substr(0, x), w) || !side(s.substr(x + 1), h))
        throw UsageError{"--size needs WIDTHxHEIGHT, each from 1 to " + std::to_string(kMaxSide) + ", not \"" + s +
                         "\""};
    return {w, h};
}

RunOptions parse_run(int argc, char** argv) {
    RunOptions o;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--text") o.text = true;
        else if (a == "--lines") o.lines = parse_count(next_value(i, argc, argv));
        else if (a == "--obj") o.obj = next_value(i, argc, argv);
        else if (a == "--ply") o.ply = next_value(i, argc, argv);
        else if (a == "--stl") o.stl = next_value(i, argc, argv);
        else if (a == "--input-mesh") o.input_mesh = true;
        else if (a == "--compiled") o.compiled = next_value(i, argc, argv);
        else if (a == "--png") o.png = next_value(i, argc, argv);
        else if (a == "--size") o.size = parse_size(next_value(i, argc, argv));
        else if (a == "--solid") o.solid = true;
        else if (a.size() > 1 && a[0] == '-') throw UsageError{"unknown option " + a};
        else if (o.program.empty()) o.program = a;
        else throw UsageError{"more than one program: " + o.program + " and " + a};
    }
    if (o.program.empty()) throw UsageError{"run needs a program file"};
    if (o.text && !o.compiled.empty()) throw UsageError{"--compiled needs a .tpg program, not --text"};
    if (o.png.empty() && (o.size || o.solid)) throw UsageError{"--size and --solid need --png"};
#ifndef DOZU_CLI_PNG
    if (!o.png.empty()) throw UsageError{"this dozu-cli was built without --png (EGL or libpng was missing)"};
#endif
    return o;
}

std::vector<std::string> text_program_lines(const std::string& path) {
    const std::vector<uint8_t> bytes = read_file(path, kMaxProgramFileSize);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = start;
        while (end < bytes.size() && bytes[end] != '\n') ++end;
        std::string line(bytes.begin() + long(start), bytes.begin() + long(end));
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line + " ");
        start = end + 1;
    }
    return lines;
}

int run(const RunOptions& o) {
    Program program;
    std::vector<std::string> lines;
    if (o.text) {
        lines = text_program_lines(o.program);
    } else {
        for (const SkippedStep& s : program.LoadProgram(o.program).skipped)
            std::fprintf(stderr, "%s:warning: step byte %u at offset %zu skipped\n", o.program.c_str(),
                         unsigned(s.byte), s.offset);
        lines = program.lines();
    }
    const int count = o.lines ? std::min(*o.lines, int(lines.size())) : int(lines.size());

    turtle t;
    interpreter interp(t);
    MessageList messages;
    const bool ok = interp.run(lines, messages, count);
    for (const Message& m : messages)
        std::fprintf(stderr, "%s:%d: %s\n", o.program.c_str(), m.tag + 1, m.text.c_str());

    if (!o.obj.empty() || !o.ply.empty() || !o.stl.empty()) {
        const MeshView view = o.input_mesh ? input_mesh_view(t) : output_mesh_view(interp.output_mesh());
        const CompactMesh mesh = compact(view);
        if (!o.obj.empty()) write_mesh_file(o.obj, mesh, MeshFormat::obj);
        if (!o.ply.empty()) write_mesh_file(o.ply, mesh, MeshFormat::ply);
        if (!o.stl.empty()) write_mesh_file(o.stl, mesh, MeshFormat::stl);
    }
    if (!o.compiled.empty()) program.SaveProgram(o.compiled, true);
#ifdef DOZU_CLI_PNG
    if (!o.png.empty()) {
        const auto [w, h] = o.size.value_or(std::pair{kPictureWidth, kPictureHeight});
        write_file_atomic(o.png, render_png(t, interp.output_mesh(), w, h, o.solid));
    }
#endif
    return ok ? kOk : kFatal;
}

int compile(int argc, char** argv) {
    if (argc != 4) throw UsageError{"compile needs a program file and an output file"};
    Program program;
    program.LoadProgram(argv[2]);
    program.SaveProgram(argv[3], true);
    return kOk;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const std::string command = argc > 1 ? argv[1] : "";
        if (command == "--help" || command == "-h" || command == "help") {
            std::fputs(kHelp, stdout);
            return kOk;
        }
        if (command == "run") return run(parse_run(argc, argv));
        if (command == "compile") return compile(argc, argv);
        if (command.empty()) return fail("no command given; try dozu-cli --help");
        return fail("unknown command " + command + "; try dozu-cli --help");
    } catch (const UsageError& e) {
        return fail(e.text + "; try dozu-cli --help");
    } catch (const FileError& e) {
        return fail(e.what());
#ifdef DOZU_CLI_PNG
    } catch (const GLError& e) {
        return fail("cannot draw the picture: " + std::string(e.what()));
#endif
    } catch (const std::bad_alloc&) {
        return fail("out of memory");
    } catch (const std::exception& e) {
        return fail(e.what());
    }
}
