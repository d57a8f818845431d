// The .tpg program file (78 command-table cells, each followed by 0xFF, then
// one byte per program step) and the compiled output (each step's compiled
// code followed by 0xFF).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "interpreter/program_lines.h"
#include "io/byte_sink.h"
#include "program/command_table.h"

namespace dozu {

constexpr size_t kTableCells = 13 * CommandTable::kColumns;
constexpr size_t kMaxProgramFileSize = 16 * 1024 * 1024;
constexpr uint8_t kCellEnd = 0xFF;
// A load lists this many skipped step bytes and counts the rest.
constexpr size_t kSkippedListed = 100;

struct SkippedStep {
    uint8_t byte;
    size_t offset;  // in the file
};

struct ProgramFileData {
    std::array<std::string, kTableCells> cells;  // rows 1-13, columns 0-5
    std::vector<uint8_t> steps;                  // tags 1 to 26 only
    std::vector<SkippedStep> skipped;            // the first step bytes outside 1 to 26
    size_t skipped_count = 0;                    // all of them
    size_t cells_read = 0;                       // cells the file reaches; the rest are empty
};

// A file that ends early leaves the remaining cells empty and no steps.
ProgramFileData parse_program_file(const std::vector<uint8_t>& bytes);
// "file ends after N of 78 table cells; the rest are empty" for a file that
// ends inside its table, else nothing.
std::string short_table_warning(size_t cells_read);
// The steps a program has of those a file holds: the steps whose button has
// an interpreter code in the table, since a click of a button without one
// inserts nothing. A load, the compiled output and the runner all take
// these.
std::vector<uint8_t> program_steps(const CommandTable& table, const std::vector<uint8_t>& steps);
// A program file has no header to tell it by, so a file is taken for
// something else when a table cell holds a byte below 0x20, its table ends
// before the 78th cell, or more than half of its step bytes lie outside 1
// to 26. Such a file still loads; this says why it "does not look like a
// dozu program", or nothing when it does.
std::string not_a_program_reason(const ProgramFileData& data);
std::vector<uint8_t> encode_program_file(const CommandTable& table, const std::vector<uint8_t>& steps);
// The size of that file for a program of `steps` steps.
uint64_t program_file_size(const CommandTable& table, uint64_t steps);

// A program whose file passed what a load reads could be saved but never
// opened again: every edit and every save keeps its file within
// kMaxProgramFileSize. what() is "the program's file would pass 16 MiB,
// the most a load reads".
class ProgramFileTooLarge : public std::runtime_error {
public:
    ProgramFileTooLarge();
};
// Throws ProgramFileTooLarge when the file of a program of this table and
// this many steps would pass the limit.
void check_program_file_size(const CommandTable& table, uint64_t steps);
std::vector<uint8_t> encode_compiled(const CommandTable& table, const std::vector<uint8_t>& steps);
// The same, step by step into a sink.
void write_compiled(ByteSink& sink, const CommandTable& table, const std::vector<uint8_t>& steps);

void apply_table_cells(CommandTable& table, const ProgramFileData& data);

// A program written as text: one program line per text line (a CR before
// the LF dropped), each given the blank that a button click adds. Throws
// ProgramTooLarge past the line text limit.
ProgramLines text_program_lines(const std::vector<uint8_t>& bytes);

}  // namespace dozu
