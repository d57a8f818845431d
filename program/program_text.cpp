#include "program/program_text.h"

namespace dozu {

namespace {

std::string_view trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

std::string program_text(LineView lines, const std::vector<int>& rows) {
    std::string text;
    for (const int row : rows) {
        std::string_view line = lines[size_t(row)];
        if (!line.empty() && line.back() == ' ') line.remove_suffix(1);
        text.append(line).push_back('\n');
    }
    return text;
}

ProgramText read_program_text(const CommandTable& table, std::string_view text) {
    // Buttons by their codes as a line shows them; the first one wins.
    std::vector<std::pair<std::string_view, int>> codes;
    for (int tag = 1; tag <= CommandTable::kButtons; ++tag)
        if (!table.interpreter_code(tag).empty()) codes.emplace_back(trimmed(table.interpreter_code(tag)), tag);
    ProgramText result;
    size_t number = 0;
    std::string line_text;
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find('\n', at), text.size());
        const std::string_view line = trimmed(text.substr(at, end - at));
        ++number;
        at = end + 1;
        if (line.empty()) continue;
        int tag = 0;
        for (const auto& [code, button] : codes)
            if (code == line) {
                tag = button;
                break;
            }
        if (tag == 0) {
            result.unknown_line = number;
            result.unknown_text = line;
            return result;
        }
        result.tags.push_back(uint8_t(tag));
        line_text.assign(table.interpreter_code(tag)).push_back(' ');
        result.lines.push_back(line_text);
    }
    return result;
}

}  // namespace dozu
