// Makes the seed inputs of the text and subdivision harnesses from program
// files: each program's lines as text, and the mesh that its first
// subdivision takes (the output mesh of the lines before it), two levels
// deep. Also two meshes of no program: a fan whose hub has 100 neighbours,
// and a tangle of quads over a few vertices with repeated corners.
//   fuzz_make_seeds CORPUS_DIR PROGRAM.tpg...
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "interpreter/interpreter.h"
#include "io/file_io.h"
#include "mesh_input.h"
#include "program/program.h"

namespace {

using namespace dozu;
namespace fs = std::filesystem;

void write(const fs::path& path, const std::vector<uint8_t>& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
}

QuadMesh fan(uint32_t n) {
    QuadMesh m;
    const float normal[3] = {0, 0, 1};
    for (uint32_t v = 0; v <= 2 * n; ++v) {
        const float p[3] = {float(v % 7) * 0.37f, float(v % 5) * 1.3f, 0};
        m.add_vertex(normal, p);
    }
    for (uint32_t i = 0; i < n; ++i) m.add_quad(0, 1 + i, 1 + n + i, 1 + (i + 1) % n);
    return m;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: fuzz_make_seeds CORPUS_DIR PROGRAM.tpg...\n");
        return 2;
    }
    const fs::path corpus = argv[1];
    for (int i = 2; i < argc; ++i) {
        const std::string stem = fs::path(argv[i]).stem().string();
        Program program;
        program.LoadProgram(argv[i]);
        std::string text;
        size_t before_subdivision = program.lines().size();
        for (size_t k = 0; k < program.lines().size(); ++k) {
            const std::string line(program.lines()[k]);
            text += line.substr(0, line.size() - 1) + "\n";
            if (line.find('D') != std::string::npos && before_subdivision == program.lines().size())
                before_subdivision = k;
        }
        write(corpus / "text" / (stem + ".txt"), std::vector<uint8_t>(text.begin(), text.end()));

        turtle t;
        interpreter interp(t);
        MessageList messages;
        interp.run(program.lines(), messages, int(before_subdivision));
        if (interp.output_mesh().vertex_count() <= 2048)
            write(corpus / "subdivision" / (stem + ".mesh"), fuzz::encode_mesh_input(interp.output_mesh(), 2));
    }
    write(corpus / "subdivision" / "fan.mesh", fuzz::encode_mesh_input(fan(100), 2));
    // Flags: one level, indices as single bytes taken modulo 12; the
    // records are left to the harness's own sequence.
    std::vector<uint8_t> tangle = {fuzz::kWrapIndices | fuzz::kByteIndices, 12, 0, 40, 0};
    for (int i = 0; i < 160; ++i) tangle.push_back(uint8_t(i * 7 % 13 + i / 13));
    write(corpus / "subdivision" / "tangle.mesh", tangle);
    return 0;
}
