#include "models.h"

#include <cmath>
#include <map>
#include <stdexcept>

#include "interpreter/interpreter.h"
#include "turtle/turtle.h"

namespace dozu::bench {

namespace {

const std::vector<std::string> kHead = {"* ", "S4 ", "R2 ", "= ", "B "};
// A straight spine with side branches that turn: right-angle turns off the
// spine, gentle and right-angle turns within a branch. Every turn stays in
// its branch ("]" restores the spine's heading): the turtle does not
// renormalise its heading, and a long chain of turns lets it grow without
// bound until positions overflow.
const std::vector<std::string> kSegment = {
    "^ ", "[ ",   "YC ", "^ ", "^ ", "Y2 ", "^ ",  "^ ", "] ",  "^ ", "[ ", "Y-C ",
    "^ ", "Y-2 ", "^ ",  "] ", "^ ", "[ ",  "YC ", "^ ", "YC ", "^ ", "] ", "^ ",
};
const std::vector<std::string> kTail = {"T "};

std::vector<std::string> program_of(uint32_t segments) {
    std::vector<std::string> lines = kHead;
    for (uint32_t i = 0; i < segments; ++i) lines.insert(lines.end(), kSegment.begin(), kSegment.end());
    lines.insert(lines.end(), kTail.begin(), kTail.end());
    return lines;
}

uint32_t quads_of(uint32_t segments) { return run_to_mesh(program_of(segments)).index_count() / 4; }

}  // namespace

std::vector<std::string> chain_program(uint32_t target_quads) {
    static const uint32_t base = quads_of(0);
    static const uint32_t per_segment = quads_of(1) - base;
    const uint32_t segments = target_quads > base ? (target_quads - base + per_segment / 2) / per_segment : 0;
    return program_of(segments);
}

QuadMesh run_to_mesh(const std::vector<std::string>& lines) {
    turtle t;
    interpreter ip(t);
    MessageList messages;
    if (!ip.run(lines, messages, int(lines.size())) || !messages.empty())
        throw std::runtime_error("benchmark program gives messages: " +
                                 (messages.empty() ? std::string("fatal") : messages.front().text));
    for (float f : ip.output_mesh().vertices)
        if (!std::isfinite(f)) throw std::runtime_error("benchmark program gives a non-finite vertex");
    return ip.output_mesh();
}

const QuadMesh& chain_model(uint32_t target_quads) {
    static std::map<uint32_t, QuadMesh> models;
    auto it = models.find(target_quads);
    if (it == models.end()) it = models.emplace(target_quads, run_to_mesh(chain_program(target_quads))).first;
    return it->second;
}

}  // namespace dozu::bench
