#include "program/program_file.h"

#include <cstdio>

namespace dozu {

ProgramFileData parse_program_file(const std::vector<uint8_t>& bytes) {
    ProgramFileData data;
    size_t pos = 0;
    for (std::string& cell : data.cells) {
        if (pos < bytes.size()) ++data.cells_read;
        const size_t begin = pos;
        while (pos < bytes.size() && bytes[pos] != kCellEnd) ++pos;
        cell.assign(bytes.begin() + long(begin), bytes.begin() + long(pos));
        if (pos < bytes.size()) ++pos;  // the separator
    }
    for (; pos < bytes.size(); ++pos) {
        const uint8_t b = bytes[pos];
        if (CommandTable::valid_tag(b)) {
            data.steps.push_back(b);
        } else {
            if (data.skipped.size() < kSkippedListed) data.skipped.push_back({b, pos});
            ++data.skipped_count;
        }
    }
    return data;
}

std::string short_table_warning(size_t cells_read) {
    if (cells_read >= kTableCells) return {};
    return "file ends after " + std::to_string(cells_read) + " of " + std::to_string(kTableCells) +
           " table cells; the rest are empty";
}

std::vector<uint8_t> program_steps(const CommandTable& table, const std::vector<uint8_t>& steps) {
    std::vector<uint8_t> kept;
    kept.reserve(steps.size());
    for (const uint8_t tag : steps)
        if (!table.interpreter_code(tag).empty()) kept.push_back(tag);
    return kept;
}

std::string not_a_program_reason(const ProgramFileData& data) {
    for (size_t i = 0; i < data.cells_read; ++i)
        for (const char c : data.cells[i])
            if (uint8_t(c) < 0x20) {
                char byte[8];
                std::snprintf(byte, sizeof byte, "0x%02X", unsigned(uint8_t(c)));
                return "table cell " + std::to_string(i + 1) + " holds the byte " + byte;
            }
    if (data.cells_read < kTableCells) return "its table ends before the 78th cell";
    const size_t all = data.steps.size() + data.skipped_count;
    if (2 * data.skipped_count > all)
        return std::to_string(data.skipped_count) + " of its " + std::to_string(all) +
               " step bytes lie outside 1 to 26";
    return {};
}

std::vector<uint8_t> encode_program_file(const CommandTable& table, const std::vector<uint8_t>& steps) {
    std::vector<uint8_t> out;
    for (int row = 1; row < CommandTable::kRows; ++row) {
        for (int col = 0; col < CommandTable::kColumns; ++col) {
            const std::string& cell = table.cell(col, row);
            out.insert(out.end(), cell.begin(), cell.end());
            out.push_back(kCellEnd);
        }
    }
    out.insert(out.end(), steps.begin(), steps.end());
    return out;
}

uint64_t program_file_size(const CommandTable& table, uint64_t steps) {
    uint64_t size = steps;
    for (int row = 1; row < CommandTable::kRows; ++row)
        for (int col = 0; col < CommandTable::kColumns; ++col) size += table.cell(col, row).size() + 1;
    return size;
}

ProgramFileTooLarge::ProgramFileTooLarge()
    : std::runtime_error("the program's file would pass " + std::to_string(kMaxProgramFileSize >> 20) +
                         " MiB, the most a load reads") {}

void check_program_file_size(const CommandTable& table, uint64_t steps) {
    if (program_file_size(table, steps) > kMaxProgramFileSize) throw ProgramFileTooLarge();
}

std::vector<uint8_t> encode_compiled(const CommandTable& table, const std::vector<uint8_t>& steps) {
    StringSink sink;
    write_compiled(sink, table, steps);
    return {sink.bytes.begin(), sink.bytes.end()};
}

void write_compiled(ByteSink& sink, const CommandTable& table, const std::vector<uint8_t>& steps) {
    static const char end = char(kCellEnd);
    for (uint8_t tag : steps) {
        sink.write(table.compiled_code(tag));
        sink.write(&end, 1);
    }
}

void apply_table_cells(CommandTable& table, const ProgramFileData& data) {
    for (size_t i = 0; i < kTableCells; ++i)
        table.set_cell(int(i % CommandTable::kColumns), int(i / CommandTable::kColumns) + 1, data.cells[i]);
}

ProgramLines text_program_lines(const std::vector<uint8_t>& bytes) {
    ProgramLines lines;
    std::string line;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = start;
        while (end < bytes.size() && bytes[end] != '\n') ++end;
        line.assign(bytes.begin() + long(start), bytes.begin() + long(end));
        if (!line.empty() && line.back() == '\r') line.pop_back();
        line.push_back(' ');
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

}  // namespace dozu
