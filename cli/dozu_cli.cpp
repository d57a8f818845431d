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

namespace {

using namespace dozu;

constexpr int kOk = 0, kFatal = 1, kUsage = 2;

const char* const kHelp = R"(usage:
  dozu-cli run PROGRAM.tpg [--lines N] [--obj F] [--ply F] [--stl F] [--input-mesh] [--compiled F]
  dozu-cli run --text PROGRAM.txt [--lines N] [--obj F] [--ply F] [--stl F] [--input-mesh]
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
  --input-mesh  Writes the turtle's own vertex and quad lists instead.
  --compiled F  Also writes the compiled output of the program's steps.
compile   Writes the compiled output: each step's compiled code followed by
          the byte 0xFF.

Each interpreter message goes to standard error as PROGRAM:LINE: TEXT (LINE
counts from 1), in the order of the run; a skipped step byte of a program
file as PROGRAM:warning: step byte B at offset O skipped, before them.
Files are written atomically: a failed write leaves an existing file as it was.

Exit status: 0 when the run had no fatal error, 1 when it had one, 2 for a
usage or file error, which prints one line that says what is wrong.
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
        else if (a.size() > 1 && a[0] == '-') throw UsageError{"unknown option " + a};
        else if (o.program.empty()) o.program = a;
        else throw UsageError{"more than one program: " + o.program + " and " + a};
    }
    if (o.program.empty()) throw UsageError{"run needs a program file"};
    if (o.text && !o.compiled.empty()) throw UsageError{"--compiled needs a .tpg program, not --text"};
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
        for (const SkippedStep& s : program.LoadProgram(o.program))
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
    } catch (const std::bad_alloc&) {
        return fail("out of memory");
    }
}
