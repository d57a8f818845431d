// What an interpreter code does, said in sentences for a button's tooltip.
// The code is read as the interpreter reads it: statements, and the
// hexadecimal parameter (one unit is pi/24, 7.5 degrees for a turn) that
// runs from "R", "S", "Y", "O" or "+" to the next blank.
#pragma once

#include <string>
#include <string_view>

namespace dozu {

// A sentence per statement, such as "Lengthens the steps from here on by
// 0.52." for "S4"; empty when the code holds a character that is not a
// statement, or a parameter that is not hexadecimal.
std::string code_help(std::string_view code);

}  // namespace dozu
