// Whether names given for a program and the files written from it stand for
// one file, so that a write is refused before it can destroy the program or
// another output.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace dozu {

// Two names stand for one file when they name the same existing regular
// file (the same device and inode, through any links), or the same file
// that does not exist yet (the same folder, resolved, and name). Anything
// else, such as /dev/null, may be named any number of times.
bool same_file(const std::string& a, const std::string& b);
// The first pair (i < j) of the names that stand for one file.
std::optional<std::pair<size_t, size_t>> first_same_file(const std::vector<std::string>& names);

}  // namespace dozu
