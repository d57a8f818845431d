#include "program/command_table.h"

namespace dozu {

namespace {

struct DefaultButton {
    const char* title;
    const char* code;
    const char* compiled;
};

// Tags 1 to 19; tags 20 to 26 are empty.
const DefaultButton kDefaults[] = {
    {"init", "*", "turtle:init_stack_frame"},
    {"first", "=", "turtle:first"},
    {"shrn_r", "R-2", "turtle:shrink_r"},
    {"grow_r", "R2", "turtle:grow_r"},
    {"shrn_s", "S-4", "turtle:shrink_s"},
    {"grow_s", "S4", "turtle:grow_s"},
    {"  <  ", "Y-2", "turtle:<"},
    {"  >  ", "Y2", "turtle:>"},
    {" <|  ", "Y-C", "turtle:<|"},
    {"  |> ", "YC", "turtle:|>"},
    {"  p  ", "p", "turtle:wind-"},
    {"  q  ", "q", "turtle:wind+"},
    {"  _  ", "B", "turtle:bot"},
    {"  \xAF  ", "T", "turtle:fix"},
    {"  [  ", "[", "turtle:push"},
    {"  ] ", "]", "turtle:pop"},
    {"  ^  ", "^", "turtle:go"},
    {"MARK", "V", "FIXME"},
    {"subdiv", "D", "tutle::subdiv"},
};

const char* const kHeader[CommandTable::kColumns] = {"Button Title", "Interpreter code", "Compiled",
                                                     "Button Title", "Interpreter code", "Compiled"};

const std::string kEmpty;

}  // namespace

CommandTable::CommandTable() {
    fill_defaults();
    for (int c = 0; c < kColumns; ++c) cells_[0][size_t(c)] = kHeader[c];
}

void CommandTable::fill_defaults() {
    for (int tag = 1; tag <= kButtons; ++tag) {
        const size_t i = size_t(tag - 1);
        const bool known = i < std::size(kDefaults);
        auto& row = cells_[size_t(row_of(tag))];
        row[size_t(title_column(tag))] = known ? kDefaults[i].title : "";
        row[size_t(code_column(tag))] = known ? kDefaults[i].code : "";
        row[size_t(compiled_column(tag))] = known ? kDefaults[i].compiled : "";
    }
}

const std::string& CommandTable::by_tag(int tag, int column) const {
    if (!valid_tag(tag)) return kEmpty;
    return cells_[size_t(row_of(tag))][size_t(column)];
}

const std::string& CommandTable::title(int tag) const { return by_tag(tag, title_column(tag)); }
const std::string& CommandTable::interpreter_code(int tag) const { return by_tag(tag, code_column(tag)); }
const std::string& CommandTable::compiled_code(int tag) const { return by_tag(tag, compiled_column(tag)); }

void CommandTable::set_cell(int column, int row, std::string text) {
    if (column < 0 || column >= kColumns || row < 1 || row >= kRows) return;
    std::erase(text, '\xFF');
    cells_[size_t(row)][size_t(column)] = std::move(text);
}

}  // namespace dozu
