#include "interpreter/code_help.h"

#include <cstdint>
#include <cstdio>

namespace dozu {

namespace {

enum class Parameter { none, length, angle };

// The statements the interpreter knows; a parameter's sentence has one text
// for a value of zero or more and one for a negative value, each with a
// place for the size of the value.
struct Statement {
    char code;
    Parameter parameter;
    const char* text;
    const char* negative_text;
};

const Statement kStatements[] = {
    {'*', Parameter::none, "Starts a model part: the turtle goes back to its start", nullptr},
    {'=', Parameter::none, "Lays the first cell where the turtle stands", nullptr},
    {'^', Parameter::none, "Moves one cell forward, turned by the angle set so far", nullptr},
    {'R', Parameter::length, "Widens the cells from here on by %s", "Narrows the cells from here on by %s"},
    {'S', Parameter::length, "Lengthens the steps from here on by %s", "Shortens the steps from here on by %s"},
    {'Y', Parameter::angle, "Turns the next step by %s degrees",
     "Turns the next step the other way by %s degrees"},
    {'O', Parameter::length, "Sets the roughening's offset to %s", "Sets the roughening's offset to -%s"},
    {'+', Parameter::length, "Sets the roughening's scale to %s", "Sets the roughening's scale to -%s"},
    {'p', Parameter::none, "Winds the turns that follow a quarter round back", nullptr},
    {'q', Parameter::none, "Winds the turns that follow a quarter round on", nullptr},
    {'B', Parameter::none, "Closes the bottom of the current cell", nullptr},
    {'T', Parameter::none, "Closes the open faces of the current cell", nullptr},
    {'[', Parameter::none, "Saves the turtle's place to branch from it", nullptr},
    {']', Parameter::none, "Goes back to the place saved last, ending the branch", nullptr},
    {'D', Parameter::none, "Subdivides the model, rounding it off; only another subdivision may follow", nullptr},
    {'X', Parameter::none, "Roughens the model: every vertex moves along its normal by a random amount", nullptr},
    {'V', Parameter::none, "Marks a place in the program; the model does not change", nullptr},
};

const Statement* find_statement(char c) {
    for (const Statement& s : kStatements)
        if (s.code == c) return &s;
    return nullptr;
}

// The number without trailing zeros: "0.52", "15", "7.5".
std::string number_text(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string s = text;
    if (s.find('.') != std::string::npos) {
        s.erase(s.find_last_not_of('0') + 1);
        if (s.back() == '.') s.pop_back();
    }
    return s;
}

}  // namespace

std::string code_help(std::string_view code) {
    constexpr double kUnit = 3.14159274 / 24;  // the interpreter's single-precision pi
    std::string help;
    for (size_t i = 0; i < code.size(); ++i) {
        if (code[i] == ' ') continue;
        const Statement* statement = find_statement(code[i]);
        if (!statement) return {};
        std::string sentence = statement->text;
        if (statement->parameter != Parameter::none) {
            // As the interpreter reads it: "-" anywhere negates.
            uint32_t digits = 0;
            bool negative = false;
            for (++i; i < code.size() && code[i] != ' '; ++i) {
                const char c = code[i];
                if (c == '-') {
                    negative = true;
                } else if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) {
                    digits = (digits << 4) | uint32_t(c >= 'A' ? c - 55 : c - 48);
                } else {
                    return {};
                }
            }
            int64_t units = int32_t(digits);
            if (negative) units = -units;
            const bool below_zero = units < 0;
            const double size = double(below_zero ? -units : units);
            const std::string value = statement->parameter == Parameter::angle ? number_text(size * 7.5, 1)
                                                                               : number_text(size * kUnit, 2);
            sentence = below_zero ? statement->negative_text : statement->text;
            sentence.replace(sentence.find("%s"), 2, value);
        }
        if (!help.empty()) help += ' ';
        help += sentence + ".";
    }
    return help;
}

}  // namespace dozu
