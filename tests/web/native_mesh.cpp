// The native runtime's answer for the web tests and the web benchmark:
//   native_mesh FILE.tpg [--repeat N]     a program file, loaded as dozu loads it
//   native_mesh --text FILE [--repeat N]  a program text, as the runtime reads it
// prints {"vertices": V, "quads": Q, "hash": "...", "ms": T}: the mesh that
// dozu_decode makes from the random sequence's start, its fingerprint as
// web/src/mesh_hash.js computes it, and with --repeat the median time of N
// decodes in milliseconds.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "io/file_io.h"
#include "program/program.h"
#include "runtime/dozu_runtime.h"

namespace {

struct Fnv {
    uint32_t h = 0x811c9dc5u;
    void word(uint32_t w) {
        for (int s = 0; s < 32; s += 8) h = (h ^ ((w >> s) & 0xff)) * 0x01000193u;
    }
};

std::string hash_of(const dozu_mesh& mesh) {
    Fnv f;
    f.word(mesh.vertex_count);
    f.word(mesh.index_count);
    for (size_t i = 0; i < size_t(mesh.vertex_count) * 6; ++i) {
        uint32_t b;
        std::memcpy(&b, mesh.vertices + i, 4);
        f.word((b & 0x7f800000u) == 0x7f800000u && (b & 0x7fffffu) != 0 ? 0x7fc00000u : b);
    }
    for (size_t i = 0; i < mesh.index_count; ++i) f.word(mesh.indices[i]);
    char text[16];
    std::snprintf(text, sizeof text, "%08x", f.h);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const bool text = !args.empty() && args[0] == "--text";
    if (text) args.erase(args.begin());
    int repeat = 0;
    if (args.size() == 3 && args[1] == "--repeat") repeat = std::max(1, std::stoi(args[2]));
    if (args.size() != 1 && args.size() != 3) {
        std::fputs("usage: native_mesh [--text] FILE [--repeat N]\n", stderr);
        return 2;
    }
    try {
        const std::vector<uint8_t> bytes = dozu::read_file(args[0], dozu::kMaxProgramFileSize * 4);
        std::string program(bytes.begin(), bytes.end());
        if (!text) {
            dozu::Program p;
            p.load_program_bytes(bytes);
            program.clear();
            for (size_t i = 0; i < p.lines().size(); ++i) program += p.lines()[i];
        }
        dozu_mesh mesh;
        std::vector<double> times;
        for (int i = 0; i < std::max(repeat, 1); ++i) {
            dozu_set_random_state(0);
            const auto start = std::chrono::steady_clock::now();
            if (dozu_decode(program.data(), program.size(), &mesh, nullptr) == DOZU_ERROR_MEMORY) return 1;
            times.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
            if (i + 1 < std::max(repeat, 1)) dozu_mesh_release(&mesh, nullptr);
        }
        std::sort(times.begin(), times.end());
        std::printf("{\"vertices\": %u, \"quads\": %u, \"hash\": \"%s\", \"ms\": %.3f}\n", mesh.vertex_count,
                    mesh.index_count / 4, hash_of(mesh).c_str(), times[times.size() / 2]);
        dozu_mesh_release(&mesh, nullptr);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "native_mesh: %s\n", e.what());
        return 2;
    }
    return 0;
}
