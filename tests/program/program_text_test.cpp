// Program lines as clipboard text, and back.
#include <gtest/gtest.h>

#include "program/program_text.h"

using namespace dozu;

TEST(ProgramText, CodesOutAndButtonsBackIn) {
    CommandTable table;
    ProgramLines lines;
    for (const char* line : {"* ", "S4 ", "Y-C ", "^ "}) lines.push_back(line);
    EXPECT_EQ(program_text(lines, {0, 2, 3}), "*\nY-C\n^\n");
    EXPECT_EQ(program_text(lines, {}), "");

    // The first button with the code takes the line; blanks, CRs and empty
    // lines do not count.
    table.set_cell(CommandTable::code_column(20), CommandTable::row_of(20), "S4");
    table.set_cell(CommandTable::code_column(21), CommandTable::row_of(21), "R2 ^");
    ProgramText read = read_program_text(table, "*\r\n  S4 \n\nR2 ^\n^");
    EXPECT_EQ(read.unknown_line, 0u);
    EXPECT_EQ(read.tags, (std::vector<uint8_t>{1, 6, 21, 17}));
    EXPECT_EQ(read.lines.strings(), (std::vector<std::string>{"* ", "S4 ", "R2 ^ ", "^ "}));

    // A line no button has stops the reading, and says where.
    read = read_program_text(table, "*\n=\n\nR7\n^\n");
    EXPECT_EQ(read.unknown_line, 4u);
    EXPECT_EQ(read.unknown_text, "R7");
    // Buttons without a code match nothing, not even an empty line.
    EXPECT_TRUE(read_program_text(table, "\n \n").tags.empty());
}
