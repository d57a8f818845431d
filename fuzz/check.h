// What a harness does when a property fails: says which and stops, so that
// the fuzzer keeps the input as a crash.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace dozu::fuzz {

[[noreturn]] inline void fail(const std::string& what) {
    std::fprintf(stderr, "property failed: %s\n", what.c_str());
    std::abort();
}

inline void check(bool ok, const std::string& what) {
    if (!ok) fail(what);
}

}  // namespace dozu::fuzz
