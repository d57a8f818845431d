#include <gtest/gtest.h>

#include "program/command_table.h"

using namespace dozu;

TEST(CommandTable, DefaultsAndHeader) {
    const CommandTable t;
    EXPECT_EQ(t.cell(1, 2), "R-2");
    EXPECT_EQ(t.cell(5, 9), "FIXME");
    EXPECT_EQ(t.cell(2, 10), "tutle::subdiv");
    for (int c = 0; c < 6; ++c) EXPECT_EQ(t.cell(c, 11), "");
    EXPECT_EQ(t.cell(0, 0), "Button Title");
    EXPECT_EQ(t.cell(4, 0), "Interpreter code");
    EXPECT_EQ(t.cell(5, 0), "Compiled");
    EXPECT_EQ(t.title(7), "  <  ");
    EXPECT_EQ(t.title(14), "  \xAF  ");
    EXPECT_EQ(t.title(16), "  ] ");
    EXPECT_EQ(t.interpreter_code(6), "S4");
    EXPECT_EQ(t.compiled_code(1), "turtle:init_stack_frame");
    EXPECT_EQ(t.title(20), "");
    // The 345 bytes of cell text of the default set.
    size_t bytes = 0;
    for (int r = 1; r < CommandTable::kRows; ++r)
        for (int c = 0; c < CommandTable::kColumns; ++c) bytes += t.cell(c, r).size();
    EXPECT_EQ(bytes, 345u);
}

TEST(CommandTable, TagToRowAndColumns) {
    EXPECT_EQ(CommandTable::row_of(19), 10);
    EXPECT_EQ(CommandTable::title_column(19), 0);
    EXPECT_EQ(CommandTable::compiled_column(19), 2);
    EXPECT_EQ(CommandTable::row_of(20), 10);
    EXPECT_EQ(CommandTable::title_column(20), 3);
    EXPECT_EQ(CommandTable::code_column(20), 4);
    EXPECT_EQ(CommandTable::row_of(26), 13);
    EXPECT_EQ(CommandTable::compiled_column(26), 5);
    const CommandTable t;
    EXPECT_EQ(t.interpreter_code(0), "");
    EXPECT_EQ(t.interpreter_code(27), "");
    EXPECT_EQ(t.title(255), "");
}

TEST(CommandTable, EditsKeepHeaderAndSeparatorOut) {
    CommandTable t;
    t.set_cell(3, 2, "bigger");
    EXPECT_EQ(t.title(4), "bigger");
    t.set_cell(0, 0, "x");
    EXPECT_EQ(t.cell(0, 0), "Button Title");
    t.set_cell(1, 1,
               std::string("a\xFF"
                           "b"));
    EXPECT_EQ(t.interpreter_code(1), "ab");
    t.set_cell(7, 1, "ignored");
    t.set_cell(0, 14, "ignored");
    t.fill_defaults();
    EXPECT_EQ(t, CommandTable());
}
