#include "program/packed_program.h"

#include <cstdio>

namespace dozu {

namespace {

constexpr size_t kMaxLiteral = 4095;
constexpr size_t kLiteralWidth = 72;  // source bytes per piece of the literal, at most
constexpr size_t kBytesPerLine = 12;  // in the byte list

bool identifier_byte(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// One program byte inside a string literal. '?' is escaped so that no
// trigraph forms; octal escapes always take three digits, so that a digit
// after one stays a byte of its own.
std::string literal_byte(unsigned char c) {
    if (c == '"' || c == '\\' || c == '?') return std::string{'\\', char(c)};
    if (c >= 0x20 && c < 0x7F) return std::string(1, char(c));
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\%03o", c);
    return buf;
}

}  // namespace

std::string packed_name(const std::string& name) {
    std::string id;
    for (const char c : "dozu_model_" + name) {
        const char k = identifier_byte(static_cast<unsigned char>(c)) ? c : '_';
        if (k != '_' || id.empty() || id.back() != '_') id += k;
    }
    if (id.back() == '_') id.pop_back();
    return id;
}

std::string file_stem(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    std::string stem = path.substr(slash == std::string::npos ? 0 : slash + 1);
    const size_t dot = stem.find_last_of('.');
    if (dot != std::string::npos && dot > 0) stem.resize(dot);
    return stem;
}

std::string encode_packed_program(const std::string& name, LineView lines) {
    std::string program;
    for (size_t i = 0; i < lines.size(); ++i) program += lines[i];
    std::string out = "/* " + name + ": a dozu program of " + std::to_string(lines.size()) +
                      " lines, packed by dozu-cli for dozu_runtime.h */\n#include <stddef.h>\n\n";
    out += "static const char " + name + "[] =";
    if (program.size() <= kMaxLiteral) {
        // One piece of the literal per source line, broken after a blank
        // where one comes soon enough.
        std::string piece;
        for (size_t i = 0; i < program.size(); ++i) {
            piece += literal_byte(static_cast<unsigned char>(program[i]));
            const bool full = piece.size() + 4 > kLiteralWidth || (program[i] == ' ' && piece.size() >= 60);
            if (full || i + 1 == program.size()) {
                out += "\n    \"" + piece + "\"";
                piece.clear();
            }
        }
        if (program.empty()) out += " \"\"";
    } else {
        out += " {";
        char buf[16];
        for (size_t i = 0; i < program.size(); ++i) {
            std::snprintf(buf, sizeof buf, "'\\x%02x',", static_cast<unsigned char>(program[i]));
            out += i % kBytesPerLine ? " " : "\n    ";
            out += buf;
        }
        out += "\n}";
    }
    out += ";\nstatic const size_t " + name + "_length = " + std::to_string(program.size()) + ";\n";
    return out;
}

std::vector<int> runtime_line_mismatches(LineView lines) {
    std::vector<int> split;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string_view l = lines[i];
        if (l.empty() || l.find(' ') + 1 < l.size()) split.push_back(int(i));
    }
    return split;
}

}  // namespace dozu
