// Program lines as plain text, the form they take on the clipboard: one
// code per text line. Read back, each line takes the tag of the first
// button whose interpreter code it is, so that the program keeps a step
// for every line, as a click would have made it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "interpreter/program_lines.h"
#include "program/command_table.h"

namespace dozu {

// The lines at the rows, each without the blank a click adds and followed
// by a newline.
std::string program_text(LineView lines, const std::vector<int>& rows);

struct ProgramText {
    std::vector<uint8_t> tags;
    ProgramLines lines;  // each code with the blank a click adds
    // The first text line that no button has (counted from 1) and its
    // text; 0 when every line has one.
    size_t unknown_line = 0;
    std::string unknown_text;
};

// Reads program text: blanks around a code and a CR before the LF are
// dropped, empty lines skipped. Stops at the first line that is the code of
// no button with a code. Throws ProgramTooLarge past the line text limit.
ProgramText read_program_text(const CommandTable& table, std::string_view text);

}  // namespace dozu
