// The command table: 26 buttons, each with a title, an interpreter code and
// a compiled code, laid out as the editor's 6 x 14 grid. Tag t lives in row
// (t + 1) / 2, in columns 0-2 when t is odd and 3-5 when it is even.
#pragma once

#include <array>
#include <string>

namespace dozu {

class CommandTable {
public:
    static constexpr int kColumns = 6;
    static constexpr int kRows = 14;  // row 0 is the header
    static constexpr int kButtons = 26;

    CommandTable();  // filled with the default command set and the header

    void fill_defaults();

    static bool valid_tag(int tag) { return tag >= 1 && tag <= kButtons; }
    static int row_of(int tag) { return (tag + 1) / 2; }
    static int title_column(int tag) { return tag % 2 ? 0 : 3; }
    static int code_column(int tag) { return title_column(tag) + 1; }
    static int compiled_column(int tag) { return title_column(tag) + 2; }
    // The button whose cell (column, row) is, row 1 onwards.
    static int tag_of(int column, int row) { return 2 * row - (column < 3 ? 1 : 0); }

    // Empty for a tag outside 1..26.
    const std::string& title(int tag) const;
    const std::string& interpreter_code(int tag) const;
    const std::string& compiled_code(int tag) const;

    // Cells are 8-bit texts; (column, row) as in the grid.
    const std::string& cell(int column, int row) const { return cells_[size_t(row)][size_t(column)]; }
    // Rows 1 to 13 only: the header is fixed. The byte 0xFF separates cells
    // in a program file, so it is taken out of the text.
    void set_cell(int column, int row, std::string text);

    bool operator==(const CommandTable&) const = default;

private:
    const std::string& by_tag(int tag, int column) const;
    std::array<std::array<std::string, kColumns>, kRows> cells_;
};

}  // namespace dozu
