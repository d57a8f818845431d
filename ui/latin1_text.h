// The program's 8-bit texts (lines, table cells, messages) as the editor's
// widgets show them: each byte is one Latin-1 character.
#pragma once

#include <QString>
#include <string_view>

namespace dozu {

inline QString latin1(std::string_view text) { return QString::fromLatin1(text.data(), qsizetype(text.size())); }

// A text as a line of the editor shows it: a line longer than any view is
// wide is cut short, so that a hostile megabyte-long code does not stall
// every paint that lays it out.
inline QString shown_text(std::string_view text) {
    constexpr size_t kMaxShown = 1000;
    if (text.size() <= kMaxShown) return latin1(text);
    return latin1(text.substr(0, kMaxShown)) + QChar(0x2026);
}

}  // namespace dozu
