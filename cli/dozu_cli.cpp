// dozu-cli: runs program files as the editor does, without a screen, and
// writes what they make. Each command is a subcommand of its own: a
// function that declares its options and one that carries it out.
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "export/mesh_format.h"
#include "export/scale_fit.h"
#include "interpreter/interpreter.h"
#include "io/file_io.h"
#include "io/same_file.h"
#include "program/packed_program.h"
#include "program/program.h"
#include "program/share_link.h"
#include "turtle/input_mesh_view.h"
#include "turtle/turtle.h"

#ifdef DOZU_CLI_PNG
#include "cli/offscreen_gl.h"
#include "cli/picture.h"
#endif

namespace {

using namespace dozu;

constexpr int kOk = 0, kFatal = 1, kUsage = 2;
constexpr int kMaxSide = 4096;
constexpr const char* kStdin = "-";

const char* const kAbout =
    "dozu-cli runs dozu's program files without a screen and writes the\n"
    "meshes, pictures and compiled output that they make.";

const char* const kFooter = R"(Wherever a file is named, - stands for standard input (the program) or
standard output (one output at most).

Each interpreter message goes to standard error as PROGRAM:LINE: TEXT (LINE
counts from 1), in the order of the run; a message without a line, such as
a file that does not look like a program file, a skipped step byte of one
(the first 100 of them, then how many more), a file that ends inside its
command table or "the model is empty" (a mesh file is written without a
single quad), as PROGRAM: warning: TEXT before them.
Running out of memory in a run or while writing what it made is the fatal
error "out of memory" at the line being run.
A program whose lines would hold more than 64 MiB is refused.
A regular file is replaced atomically: a failed write leaves an existing
file as it was, and so does SIGINT, SIGTERM or SIGHUP during the write. A
character device, a FIFO or a socket is written in place. Nothing is
written over a read-only file, nor over the program or where another
output goes (one file by any name, as through a link).

Exit status: 0 when the run had no fatal error, 1 when it had one, 2 for a
usage or file error, a scale that the model does not suit (one that makes a
coordinate infinite or every one zero) or a picture that could not be
drawn, which prints one line that says what is wrong.)";

struct UsageError {
    std::string text;
};

// What the tool will not do with these files; said without pointing to the
// help.
struct Refusal {
    std::string text;
};

// What messages call a program named on the command line.
std::string program_name(const std::string& path) { return path == kStdin ? "<stdin>" : path; }

std::vector<uint8_t> read_input(const std::string& path, size_t max_size) {
    return path == kStdin ? read_descriptor(0, "standard input", max_size) : read_file(path, max_size);
}

void write_output(const std::string& path, const FillSink& fill) {
    if (path == kStdin)
        write_descriptor(1, "standard output", fill);
    else
        write_file(path, fill);
}

// A diagnostic without a line number.
void warn(const std::string& program, const std::string& text) {
    std::fprintf(stderr, "%s: warning: %s\n", program_name(program).c_str(), text.c_str());
}

// What a load of a program file found wrong with it: the first skipped
// step bytes one by one, the rest counted.
void warn_about(const std::string& program, const std::string& not_a_program, const std::string& table_warning,
                const std::vector<SkippedStep>& skipped, size_t skipped_count) {
    if (!not_a_program.empty()) warn(program, "does not look like a dozu program: " + not_a_program);
    if (!table_warning.empty()) warn(program, table_warning);
    for (const SkippedStep& s : skipped)
        warn(program,
             "step byte " + std::to_string(s.byte) + " at offset " + std::to_string(s.offset) + " skipped");
    if (skipped_count > skipped.size())
        warn(program, "... and " + std::to_string(skipped_count - skipped.size()) + " more step bytes skipped");
}

void warn_about(const std::string& program, const LoadReport& report) {
    warn_about(program, report.not_a_program, report.table_warning(), report.skipped, report.skipped_count);
}

// An option's value; empty when the option is not given.
using Value = std::optional<std::string>;

CLI::Option* add_value(CLI::App* app, const std::string& name, Value& value, const std::string& help,
                       const std::string& type) {
    return app
        ->add_option_function<std::string>(
            name, [&value](const std::string& v) { value = v; }, help)
        ->type_name(type);
}

// Output files: each given a name, at most one of them standard output, or
// their bytes would mix.
void check_outputs(const std::vector<std::pair<std::string, const Value*>>& outputs) {
    std::vector<std::string> to_stdout;
    for (const auto& [option, path] : outputs) {
        if (!*path) continue;
        if ((*path)->empty()) throw UsageError{option + " needs a file name"};
        if (**path == kStdin) to_stdout.push_back(option);
    }
    if (to_stdout.size() > 1)
        throw UsageError{to_stdout[0] + " and " + to_stdout[1] + " both write to standard output"};
}

// Refuses, before anything is written, an output that is the program file
// (also one given on standard input) or the file of another output, by any
// name. Standard output is left to the check above.
void check_same_files(const std::string& program,
                      const std::vector<std::pair<std::string, const Value*>>& outputs) {
    std::vector<std::string> labels = {""}, names = {program == kStdin ? "/dev/stdin" : program};
    for (const auto& [option, path] : outputs)
        if (*path && **path != kStdin) labels.push_back(option), names.push_back(**path);
    const auto same = first_same_file(names);
    if (!same) return;
    const auto [i, j] = *same;
    const std::string second = labels[j] + " \"" + names[j] + "\"";
    if (i > 0) throw Refusal{labels[i] + " \"" + names[i] + "\" and " + second + " are the same file"};
    if (program == kStdin) throw Refusal{second + " is the program file on standard input"};
    throw Refusal{second + " is the program file \"" + program + "\""};
}

int parse_count(const std::string& s) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (s.empty() || *end != '\0' || errno != 0 || v < 0 || v > 1'000'000'000)
        throw UsageError{"--lines needs a count of 0 or more, not \"" + s + "\""};
    return int(v);
}

// The whole text as a finite number above 0, or nothing.
std::optional<double> positive_number(const std::string& s) {
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (s.empty() || *end != '\0' || !std::isfinite(v) || !(v > 0)) return std::nullopt;
    return v;
}

double parse_seconds(const std::string& s) {
    if (const auto v = positive_number(s); v && *v <= 1e9) return *v;
    throw UsageError{"--time-limit needs a number of seconds above 0, not \"" + s + "\""};
}

// Asks a run to stop once its time is up, from a thread of its own.
class Watchdog {
public:
    Watchdog(StopFlag& flag, double seconds)
        : thread_([this, &flag, seconds] {
              std::unique_lock<std::mutex> lock(mutex_);
              const auto limit = std::chrono::duration<double>(seconds);
              if (!done_signal_.wait_for(lock, limit, [this] { return done_; }))
                  flag.request(StopReason::time_limit);
          }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        done_signal_.notify_one();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable done_signal_;
    bool done_ = false;
    std::thread thread_;  // last: it starts once the rest is there
};

uint32_t parse_max_quads(const std::string& s) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(s.c_str(), &end, 10);
    if (s.empty() || !std::isdigit(static_cast<unsigned char>(s[0])) || *end != '\0' || errno != 0 || v < 1 ||
        v > UINT32_MAX)
        throw UsageError{"--max-quads needs a count from 1 to 4294967295, not \"" + s + "\""};
    return uint32_t(v);
}

double parse_scale(const std::string& s) {
    if (const auto v = positive_number(s); v && std::isfinite(float(*v))) return *v;
    throw UsageError{"--scale needs a number above 0, not \"" + s + "\""};
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

// ---- run

struct MeshOutput {
    const char* option;
    MeshFormat format;
    const char* help;
};

const MeshOutput kMeshOutputs[] = {
    {"--obj", MeshFormat::obj,
     "Writes the output mesh as Wavefront OBJ, also\n"
     "after a fatal error (then what the editor's\n"
     "preview shows) but that of --max-quads. Vertices\n"
     "that no quad names are left out and the faces\n"
     "renumbered."},
    {"--ply", MeshFormat::ply,
     "Writes it as binary little-endian PLY: float\n"
     "positions and normals, faces of 4 indices."},
    {"--stl", MeshFormat::stl,
     "Writes it as binary STL: two triangles per quad,\n"
     "with facet normals."},
    {"--glb", MeshFormat::glb,
     "Writes it as binary glTF 2.0: one scene, node\n"
     "and mesh of triangles with positions and\n"
     "normals, one default material."},
    {"--gltf", MeshFormat::gltf,
     "Writes it as glTF 2.0 JSON, its buffer inside\n"
     "as a data URI."},
    {"--3mf", MeshFormat::three_mf,
     "Writes it as 3MF for slicers: one object of\n"
     "triangles, a model unit to the millimetre."},
};

struct RunOptions {
    std::string program;
    bool text = false;
    Value lines;
    std::vector<Value> meshes = std::vector<Value>(std::size(kMeshOutputs));
    bool input_mesh = false;
    Value compiled, png, size;
    bool solid = false;
    Value scale;
    Value time_limit;
    Value max_quads;
};

CLI::App* add_run(CLI::App& app, RunOptions& o) {
    CLI::App* run = app.add_subcommand("run",
                                       "Loads a program file as the editor's Load does (its command table, then\n"
                                       "its steps replayed as button clicks), runs the interpreter over all its\n"
                                       "lines and writes what it makes. Every mesh file winds its faces\n"
                                       "counter-clockwise seen from outside and carries unit normals.");
    run->add_option("PROGRAM", o.program, "The program file (.tpg), or - for standard\ninput.")
        ->required()
        ->type_name("");
    run->add_flag("--text", o.text,
                  "The program is plain text: one program line per\n"
                  "text line, each given the blank that a button\n"
                  "click adds.");
    add_value(run, "--lines", o.lines,
              "Runs only the first N lines, as trace mode does\n"
              "with line N-1 selected (0 runs nothing and gives\n"
              "the start hints).",
              "N");
    for (size_t i = 0; i < std::size(kMeshOutputs); ++i)
        add_value(run, kMeshOutputs[i].option, o.meshes[i], kMeshOutputs[i].help, "FILE");
    run->add_flag("--input-mesh", o.input_mesh,
                  "Writes the turtle's own vertex and quad lists\n"
                  "to the mesh files instead of the output mesh.");
    add_value(run, "--scale", o.scale,
              "Multiplies every position in the mesh files by\n"
              "S, a number above 0 (default 1).",
              "S");
    add_value(run, "--time-limit", o.time_limit,
              "Stops the run after SECONDS (a number above 0)\n"
              "with the fatal error \"time limit reached\" at the\n"
              "line being run; the files are then written as\n"
              "after any fatal error.",
              "SECONDS");
    add_value(run, "--max-quads", o.max_quads,
              "Stops the run before any mesh would hold more\n"
              "than N quads (N from 1 to 4294967295): the\n"
              "turtle's, the output mesh or a subdivision's\n"
              "result, with the fatal error \"mesh too large:\n"
              "more than N quads\" at the line that would make\n"
              "it. Then no file is written.",
              "N");
    add_value(run, "--compiled", o.compiled, "Also writes the compiled output of the steps.", "FILE");
    add_value(run, "--png", o.png,
              "Draws the output mesh as a PNG picture as the\n"
              "editor's 3D view first shows it (black wireframe\n"
              "on white, 55 degree perspective, the model\n"
              "centred), off-screen through EGL: no X server is\n"
              "needed. Written also after a fatal error but\n"
              "that of --max-quads.",
              "FILE");
    add_value(run, "--size", o.size,
              "The picture's size in pixels, each side 1 to\n"
              "4096 (default 746x288, the editor's view).",
              "WxH");
    run->add_flag("--solid", o.solid, "Draws the lit solid of \"Solid Graphics Output\"\ninstead.");
    return run;
}

// The program's lines, as PROGRAM names them: a program file loaded as the
// editor loads it, or with text set one line per text line.
ProgramLines load_lines(const std::string& path, bool text, Program& program) {
    const std::vector<uint8_t> bytes = read_input(path, kMaxProgramFileSize);
    if (text) return text_program_lines(bytes);
    warn_about(path, program.load_program_bytes(bytes));
    return {};
}

// The mesh that the mesh files hold: the output mesh or the turtle's own
// lists, compacted.
CompactMesh mesh_to_write(const RunOptions& o, const turtle& t, interpreter& interp) {
    return compact(o.input_mesh ? input_mesh_view(t) : output_mesh_view(interp.output_mesh()));
}

// Refuses, before any file is written, a scale that this mesh does not suit.
void check_scale(const CompactMesh& mesh, const RunOptions& o, const ExportOptions& export_options) {
    switch (scale_fit(mesh, export_options.scale)) {
        case ScaleFit::fits: return;
        case ScaleFit::too_large:
            throw Refusal{"--scale " + o.scale.value_or("1") +
                          " is too large for this model: a coordinate would not be finite"};
        case ScaleFit::too_small:
            throw Refusal{"--scale " + o.scale.value_or("1") +
                          " is too small for this model: every coordinate would be zero"};
    }
}

// The files a run writes, from its mesh (when a mesh file is asked for),
// its turtle and its steps.
void write_run_outputs(const RunOptions& o, const Program& program, [[maybe_unused]] const turtle& t,
                       [[maybe_unused]] interpreter& interp, const CompactMesh* mesh,
                       const ExportOptions& export_options, [[maybe_unused]] std::pair<int, int> size) {
    for (size_t i = 0; i < std::size(kMeshOutputs); ++i)
        if (o.meshes[i])
            write_output(*o.meshes[i],
                         [&](ByteSink& sink) { write_mesh(sink, *mesh, kMeshOutputs[i].format, export_options); });
    if (o.compiled)
        write_output(*o.compiled, [&](ByteSink& sink) { write_compiled(sink, program.table, program.steps()); });
#ifdef DOZU_CLI_PNG
    if (o.png) {
        const auto [w, h] = o.size ? size : std::pair{kPictureWidth, kPictureHeight};
        const std::vector<uint8_t> png = render_png(t, interp.output_mesh(), w, h, o.solid);
        write_output(*o.png, [&](ByteSink& sink) { sink.write(png.data(), png.size()); });
    }
#endif
}

int run(const RunOptions& o) {
    const int line_limit = o.lines ? parse_count(*o.lines) : -1;
    const double time_limit = o.time_limit ? parse_seconds(*o.time_limit) : 0;   // 0: none
    const uint32_t max_quads = o.max_quads ? parse_max_quads(*o.max_quads) : 0;  // 0: none
    ExportOptions export_options;
    if (o.scale) export_options.scale = parse_scale(*o.scale);
    if (o.program != kStdin) export_options.name = std::filesystem::path(o.program).stem().string();
    const std::pair<int, int> size = o.size ? parse_size(*o.size) : std::pair{0, 0};
    if (o.text && o.compiled) throw UsageError{"--compiled needs a .tpg program, not --text"};
    if (!o.png && (o.size || o.solid)) throw UsageError{"--size and --solid need --png"};
#ifndef DOZU_CLI_PNG
    if (o.png) throw UsageError{"this dozu-cli was built without --png (EGL or libpng was missing)"};
#endif
    std::vector<std::pair<std::string, const Value*>> outputs = {{"--compiled", &o.compiled}, {"--png", &o.png}};
    for (size_t i = 0; i < std::size(kMeshOutputs); ++i) outputs.push_back({kMeshOutputs[i].option, &o.meshes[i]});
    check_outputs(outputs);
    check_same_files(o.program, outputs);

    Program program;
    const ProgramLines text_lines = load_lines(o.program, o.text, program);
    const LineView lines = o.text ? text_lines.view() : program.lines().view();
    const int count = line_limit >= 0 ? std::min(line_limit, int(lines.size())) : int(lines.size());

    turtle t;
    interpreter interp(t);
    interp.set_max_quads(max_quads);
    MessageList messages;
    StopFlag stop;
    bool ok;
    {
        std::optional<Watchdog> watchdog;
        if (time_limit > 0) watchdog.emplace(stop, time_limit);
        ok = interp.run(lines, messages, count, &stop);
    }
    bool reported = false;
    const auto report = [&] {
        if (std::exchange(reported, true)) return;
        for (const Message& m : messages)
            std::fprintf(stderr, "%s:%d: %s\n", program_name(o.program).c_str(), m.tag + 1, m.text.c_str());
    };
    // A run stopped by the cap made a model that the caller wanted none of:
    // nothing is written.
    if (interp.stopped_at_cap()) {
        report();
        return kFatal;
    }
    try {
        std::optional<CompactMesh> mesh;
        if (std::any_of(o.meshes.begin(), o.meshes.end(), [](const Value& f) { return f.has_value(); })) {
            mesh.emplace(mesh_to_write(o, t, interp));
            // A warning without a line, so before the run's messages.
            if (mesh->quad_count() == 0) warn(o.program, "the model is empty");
        }
        report();
        if (mesh) check_scale(*mesh, o, export_options);
        write_run_outputs(o, program, t, interp, mesh ? &*mesh : nullptr, export_options, size);
    } catch (const std::bad_alloc&) {
        report();
        // What was being written stays as it was. The model that did not
        // fit is that of the run's last line: the last one, or the one its
        // fatal error stopped at.
        const int last = ok || messages.empty() ? std::max(count, 1) : messages.back().tag + 1;
        std::fprintf(stderr, "%s:%d: fatal error: out of memory\n", program_name(o.program).c_str(), last);
        return kFatal;
    }
    return ok ? kOk : kFatal;
}

// ---- compile

struct CompileOptions {
    std::string program, out;
};

CLI::App* add_compile(CLI::App& app, CompileOptions& o) {
    CLI::App* compile = app.add_subcommand(
        "compile", "Writes the compiled output: each step's compiled code followed by\nthe byte 0xFF.");
    compile->add_option("PROGRAM", o.program, "The program file (.tpg), or - for standard\ninput.")
        ->required()
        ->type_name("");
    compile->add_option("OUT", o.out, "The file to write, or - for standard output.")->required()->type_name("");
    return compile;
}

int compile(const CompileOptions& o) {
    if (o.out.empty()) throw UsageError{"compile needs a file name for OUT"};
    const Value out = o.out;
    check_same_files(o.program, {{"OUT", &out}});
    // Straight from the file's table and steps: the output is as long as
    // the steps times their codes, and no program lines are built for it.
    const ProgramFileData data = parse_program_file(read_input(o.program, kMaxProgramFileSize));
    warn_about(o.program, not_a_program_reason(data), short_table_warning(data.cells_read), data.skipped,
               data.skipped_count);
    CommandTable table;
    apply_table_cells(table, data);
    const std::vector<uint8_t> steps = program_steps(table, data.steps);
    write_output(o.out, [&](ByteSink& sink) { write_compiled(sink, table, steps); });
    return kOk;
}

// ---- pack

struct PackOptions {
    std::string program;
    bool text = false;
    Value out, name;
};

CLI::App* add_pack(CLI::App& app, PackOptions& o) {
    CLI::App* pack = app.add_subcommand("pack",
                                        "Writes the program for the C runtime (runtime/dozu_runtime.h) as a C\n"
                                        "header: its lines joined in the constant dozu_model_NAME and its\n"
                                        "length in dozu_model_NAME_length. A line that does not end at its\n"
                                        "only blank gets a warning: the runtime ends a line at every blank,\n"
                                        "so it numbers the messages of that line and later ones otherwise.");
    pack->add_option("PROGRAM", o.program, "The program file (.tpg), or - for standard input.")->required();
    pack->add_flag("--text", o.text, "The program is plain text, read as run --text reads it.");
    add_value(pack, "--c", o.out, "The header file to write (default: standard output).", "FILE");
    add_value(pack, "--name", o.name,
              "NAME in the constant's name, used whole (default: the program\n"
              "file's name without its extension, \"stdin\" for standard input).\n"
              "Every byte outside A-Z a-z 0-9 _ becomes \"_\", a run of \"_\"\n"
              "becomes one and a trailing one is dropped.",
              "NAME");
    return pack;
}

int pack(const PackOptions& o) {
    check_outputs({{"--c", &o.out}});
    check_same_files(o.program, {{"--c", &o.out}});
    if (o.name && o.name->empty()) throw UsageError{"--name needs a name"};
    Program program;
    const ProgramLines text_lines = load_lines(o.program, o.text, program);
    const LineView lines = o.text ? text_lines.view() : program.lines().view();
    for (const int line : runtime_line_mismatches(lines))
        std::fprintf(stderr,
                     "%s:%d: warning: the line does not end at its only blank; the runtime numbers it and later "
                     "lines otherwise\n",
                     program_name(o.program).c_str(), line + 1);
    const std::string name = packed_name(o.name ? *o.name : o.program == kStdin ? "stdin" : file_stem(o.program));
    const std::string header = encode_packed_program(name, lines);
    write_output(o.out.value_or(kStdin), [&](ByteSink& sink) { sink.write(header.data(), header.size()); });
    return kOk;
}

// ---- link

struct LinkOptions {
    std::string program;
    Value base;
};

CLI::App* add_link(CLI::App& app, LinkOptions& o) {
    CLI::App* link = app.add_subcommand("link",
                                        "Prints the share link of a program: an address whose fragment holds the\n"
                                        "program, which dozu's web page opens as the same model. A program of\n"
                                        "the default command table travels as its text (#p=, or #z= deflated\n"
                                        "when that is shorter), any other as its whole program file (#t=).");
    link->add_option("PROGRAM", o.program, "The program file (.tpg), or - for standard input.")
        ->required()
        ->type_name("");
    add_value(link, "--base", o.base,
              "The page's address, where the site is published (its\n"
              "own fragment is dropped): http:, https: or file:, at\n"
              "most 2,000 characters. Default: the page on this\n"
              "computer as a file:// address, which only this\n"
              "computer opens: the installed one, else the build's.\n"
              "A link longer than 2,097,152 characters, which no\n"
              "browser opens, is refused.",
              "URL");
    return link;
}

// The path of this program, which the local web page is found from.
std::string executable_path() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : self.string();
}

int link(const LinkOptions& o) {
    if (o.base && o.base->empty()) throw UsageError{"--base needs an address"};
    if (o.base)
        if (const std::string problem = share_base_problem(*o.base); !problem.empty())
            throw UsageError{"--base: " + problem};
    const ProgramFileData data = parse_program_file(read_input(o.program, kMaxProgramFileSize));
    warn_about(o.program, not_a_program_reason(data), short_table_warning(data.cells_read), data.skipped,
               data.skipped_count);
    CommandTable table;
    apply_table_cells(table, data);
    std::string base;
    if (o.base) {
        base = *o.base;
    } else {
        const std::string site = local_site_folder(executable_path());
        std::error_code error;
        if (!std::filesystem::is_regular_file(std::filesystem::path(site) / "index.html", error))
            warn(o.program, "the web page is not at " + site + " yet: build the target web, or give --base");
        base = file_url((std::filesystem::path(site) / "index.html").string());
    }
    const std::optional<std::string> address = share_link_within_limit(base, table, data.steps);
    if (!address)
        throw Refusal{"cannot make the share link of " + program_name(o.program) + ": " + kShareLinkTooLong};
    const std::string text = *address + "\n";
    write_output(kStdin, [&](ByteSink& sink) { sink.write(text.data(), text.size()); });
    return kOk;
}

// ---- html

struct HtmlOptions {
    std::string program;
    Value out;
};

// Where the one-file page's template marks the program and its name.
constexpr std::string_view kProgramMark = "/*dozu:program*/\"\"";
constexpr std::string_view kTitleMark = "<!--dozu:title-->";

CLI::App* add_html(CLI::App& app, HtmlOptions& o) {
    CLI::App* html = app.add_subcommand("html",
                                        "Writes the model as one self-contained HTML page: the program with the\n"
                                        "decoder inlined and a small WebGL 2 viewer of its own (drag to turn,\n"
                                        "wheel to zoom), which opens from disk in a browser with no network.");
    html->add_option("PROGRAM", o.program, "The program file (.tpg), or - for standard input.")
        ->required()
        ->type_name("");
    add_value(html, "-o,--output", o.out,
              "The page to write (default: the program's name with\n"
              ".html, standard output for standard input).",
              "FILE");
    return html;
}

std::string html_escape(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '"')
            out += "&quot;";
        else
            out += c;
    }
    return out;
}

// Replaces the one mark in the template, which must hold it.
void fill_mark(std::string& page, std::string_view mark, const std::string& with,
               const std::string& template_path) {
    const size_t at = page.find(mark);
    if (at == std::string::npos) throw FileError(template_path + ": not dozu's one-file page template");
    page.replace(at, mark.size(), with);
}

int html(const HtmlOptions& o) {
    check_outputs({{"--output", &o.out}});
    std::string out = o.out.value_or(kStdin);
    std::string name = "dozu model";
    if (o.program != kStdin) {
        name = std::filesystem::path(o.program).stem().string();
        if (!o.out) out = std::filesystem::path(o.program).replace_extension(".html").string();
    }
    Program program;
    warn_about(o.program, program.load_program_bytes(read_input(o.program, kMaxProgramFileSize)));
    const LineView lines = program.lines().view();
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) text += lines[i];

    const std::string template_path =
        (std::filesystem::path(local_site_folder(executable_path())) / "one-file.html").string();
    const std::vector<uint8_t> bytes = read_file(template_path, kMaxProgramFileSize);
    std::string page(bytes.begin(), bytes.end());
    // The program as base64 inside a script's string: no byte of it can end
    // the string or the script.
    fill_mark(page, kProgramMark, "\"" + base64(text) + "\"", template_path);
    fill_mark(page, kTitleMark, html_escape(name), template_path);
    write_output(out, [&](ByteSink& sink) { sink.write(page.data(), page.size()); });
    return kOk;
}

// As GNU tools do: a help that could not be written all the way, or whose
// standard output fails at its close, is an error.
void write_standard_output(const std::string& text) {
    write_descriptor(1, "standard output", [&](ByteSink& sink) { sink.write(text.data(), text.size()); });
    if (::close(1) != 0) throw FileError("cannot write \"standard output\": " + std::string(std::strerror(errno)));
}

int fail(const std::string& text) {
    std::fprintf(stderr, "dozu-cli: %s\n", text.c_str());
    return kUsage;
}

}  // namespace

int main(int argc, char** argv) {
    remove_temporary_file_on_signals();
    CLI::App app(kAbout, "dozu-cli");
    app.set_version_flag("--version", "dozu-cli " DOZU_VERSION);
    app.set_help_all_flag("--help-all", "Print the help of every command and exit");
    app.require_subcommand(1);
    app.footer(kFooter);

    RunOptions run_options;
    CompileOptions compile_options;
    PackOptions pack_options;
    LinkOptions link_options;
    HtmlOptions html_options;
    const std::vector<std::pair<CLI::App*, std::function<int()>>> commands = {
        {add_run(app, run_options), [&] { return run(run_options); }},
        {add_compile(app, compile_options), [&] { return compile(compile_options); }},
        {add_pack(app, pack_options), [&] { return pack(pack_options); }},
        {add_link(app, link_options), [&] { return link(link_options); }},
        {add_html(app, html_options), [&] { return html(html_options); }},
    };

    // The help that a usage error points to: the command's own, if any.
    std::string help = "dozu-cli --help";
    try {
        if (argc > 1 && argv[1][0] != '-') {
            const std::string name = argv[1];
            if (std::none_of(commands.begin(), commands.end(),
                             [&](const auto& c) { return c.first->check_name(name); }))
                throw UsageError{"unknown command " + name};
            help = "dozu-cli " + name + " --help";
        }
        try {
            app.parse(argc, argv);
        } catch (const CLI::ParseError& e) {
            if (e.get_exit_code() == 0) {  // --help, --help-all, --version
                std::ostringstream text;
                const int status = app.exit(e, text);
                write_standard_output(text.str());
                return status;
            }
            if (argc <= 1) throw UsageError{"no command given"};
            throw UsageError{e.what()};
        }
        for (const auto& [command, action] : commands)
            if (command->parsed()) return action();
        return fail("no command given; try " + help);
    } catch (const UsageError& e) {
        return fail(e.text + "; try " + help);
    } catch (const Refusal& e) {
        return fail(e.text);
    } catch (const FileError& e) {
        return fail(e.what());
#ifdef DOZU_CLI_PNG
    } catch (const GLError& e) {
        return fail("cannot draw the picture: " + std::string(e.what()));
#endif
    } catch (const ProgramTooLarge& e) {
        return fail(e.what());
    } catch (const std::bad_alloc&) {
        std::fputs("dozu-cli: fatal error: out of memory\n", stderr);
        return kFatal;
    } catch (const std::exception& e) {
        return fail(e.what());
    }
}
