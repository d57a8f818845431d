// Turtle models for the benchmarks: programs of default command codes run
// through the interpreter, so the meshes have the shape real models have.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mesh/quad_mesh.h"

namespace dozu::bench {

// Program lines (each code with the blank a button click adds) for a chain
// with turning branches of about target_quads quads, closed at both ends.
std::vector<std::string> chain_program(uint32_t target_quads);

// The output mesh of a run of the lines, which must run without messages
// and give finite records.
QuadMesh run_to_mesh(const std::vector<std::string>& lines);

// The output mesh of chain_program(target_quads), made once and kept.
const QuadMesh& chain_model(uint32_t target_quads);

}  // namespace dozu::bench
