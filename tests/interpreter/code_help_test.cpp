// The sentences of the buttons' tooltips, read from the codes as the
// interpreter reads them.
#include <gtest/gtest.h>

#include "interpreter/code_help.h"

using namespace dozu;

TEST(CodeHelp, SaysWhatACodeDoes) {
    EXPECT_EQ(code_help("S4"), "Lengthens the steps from here on by 0.52.");
    EXPECT_EQ(code_help("R-2"), "Narrows the cells from here on by 0.26.");
    EXPECT_EQ(code_help("R2-"), "Narrows the cells from here on by 0.26.");  // "-" anywhere negates
    EXPECT_EQ(code_help("YC"), "Turns the next step by 90 degrees.");
    EXPECT_EQ(code_help("Y-1"), "Turns the next step the other way by 7.5 degrees.");
    EXPECT_EQ(code_help("O10"), "Sets the roughening's offset to 2.09.");
    EXPECT_EQ(code_help("* ="),
              "Starts a model part: the turtle goes back to its start. Lays the first cell where "
              "the turtle stands.");
    EXPECT_EQ(code_help("R2 ^"),
              "Widens the cells from here on by 0.26. Moves one cell forward, turned by the "
              "angle set so far.");
    for (const char* code : {"*", "=", "^", "p", "q", "B", "T", "[", "]", "V", "D", "X"})
        EXPECT_NE(code_help(code), "") << code;
    // Not a statement, or a parameter that is not hexadecimal: no sentence.
    for (const char* code : {"", " ", "Z", "*Z", "Rx", "S4G"}) EXPECT_EQ(code_help(code), "") << code;
}
