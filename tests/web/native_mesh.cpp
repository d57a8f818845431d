// The native runtime's answer for the web tests and the web benchmark:
//   native_mesh FILE.tpg [--repeat N]     a program file, loaded as dozu loads it
//   native_mesh --text FILE [--repeat N]  a program text, as the runtime reads it
// prints {"vertices": V, "quads": Q, "hash": "...", "ms": T, "arrays_ms": A}:
// the mesh that dozu_decode makes from the random sequence's start, the
// fingerprint of the arrays that the web's module makes of it
// (web/model_arrays.h; tests/web/support/browser.mjs computes the same),
// and with --repeat the median times of N decodes and of N decodes with
// their arrays, in milliseconds.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "io/file_io.h"
#include "program/program.h"
#include "runtime/dozu_runtime.h"
#include "web/model_arrays.h"

namespace {

struct Fnv {
    uint32_t h = 0x811c9dc5u;
    void word(uint32_t w) {
        for (int s = 0; s < 32; s += 8) h = (h ^ ((w >> s) & 0xff)) * 0x01000193u;
    }
};

std::string hash_of(const dz_model_arrays& a) {
    Fnv f;
    const auto words = [&](const void* data, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            uint32_t w;
            std::memcpy(&w, static_cast<const char*>(data) + 4 * i, 4);
            f.word(w);
        }
    };
    f.word(a.vertex_count);
    words(a.vertices, size_t(a.vertex_count) * 6);
    f.word(a.triangle_count);
    words(a.triangles, size_t(a.triangle_count) * 3);
    f.word(a.edge_count);
    words(a.edges, size_t(a.edge_count) * 2);
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
        dz_model_arrays arrays;
        std::vector<double> times, array_times;
        uint32_t vertices = 0, quads = 0;
        for (int i = 0; i < std::max(repeat, 1); ++i) {
            dozu_set_random_state(0);
            auto start = std::chrono::steady_clock::now();
            if (dozu_decode(program.data(), program.size(), &mesh, nullptr) == DOZU_ERROR_MEMORY) return 1;
            times.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
            dozu_mesh_release(&mesh, nullptr);
            dozu_set_random_state(0);
            start = std::chrono::steady_clock::now();
            if (dozu_decode(program.data(), program.size(), &mesh, nullptr) == DOZU_ERROR_MEMORY) return 1;
            vertices = mesh.vertex_count, quads = mesh.index_count / 4;
            if (dz_model_arrays_make(&mesh, &arrays, nullptr) != DOZU_OK) return 1;
            array_times.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
            if (i + 1 < std::max(repeat, 1))
                dz_model_arrays_release(&arrays, nullptr), dozu_mesh_release(&mesh, nullptr);
        }
        std::sort(times.begin(), times.end());
        std::sort(array_times.begin(), array_times.end());
        std::printf("{\"vertices\": %u, \"quads\": %u, \"hash\": \"%s\", \"ms\": %.3f, \"arrays_ms\": %.3f}\n",
                    vertices, quads, hash_of(arrays).c_str(), times[times.size() / 2],
                    array_times[array_times.size() / 2]);
        dz_model_arrays_release(&arrays, nullptr);
        dozu_mesh_release(&mesh, nullptr);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "native_mesh: %s\n", e.what());
        return 2;
    }
    return 0;
}
