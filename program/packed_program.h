// A program packed for the C runtime: its lines joined into one C constant
// in a header that compiles as C99 (with -pedantic) and as C++.
#pragma once

#include <string>
#include <vector>

#include "interpreter/program_lines.h"

namespace dozu {

// The constant's name for a model's name: "dozu_model_" and the name, made
// a C identifier by one rule that holds for the names derived from it too
// (NAME_length): every byte outside [A-Za-z0-9_] becomes "_", a run of "_"
// becomes one and a trailing "_" is dropped, so that no name holds the
// double underscore that C++ reserves. Names that differ only in such bytes
// give one identifier.
std::string packed_name(const std::string& name);
// A program file's name without its folder and extension.
std::string file_stem(const std::string& path);

// The header: the constant NAME (a string literal up to 4,095 bytes, which
// is all ISO C requires a compiler to take; a brace-enclosed list of bytes
// beyond) and NAME_length, the program's length in bytes.
std::string encode_packed_program(const std::string& name, LineView lines);

// The lines (from 0) that do not end at their only blank: the runtime ends a
// line at every blank, so it would number these and later lines otherwise.
std::vector<int> runtime_line_mismatches(LineView lines);

}  // namespace dozu
