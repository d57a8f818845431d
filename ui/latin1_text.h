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

// A text as a button shows it: one line, each control character (C0, DEL
// and C1) written as an escape (\n, \t, \r, \xNN), so that a file's binary
// bytes neither break the caption into lines nor vanish from it.
inline QString caption_text(std::string_view text) {
    QString caption;
    for (const QChar c : shown_text(text)) {
        const char16_t u = c.unicode();
        if (u == '\n' || u == '\t' || u == '\r')
            caption += u == '\n' ? "\\n" : u == '\t' ? "\\t" : "\\r";
        else if (u < 0x20 || (u >= 0x7F && u < 0xA0))
            caption += "\\x" + QString::number(u, 16).toUpper().rightJustified(2, '0');
        else
            caption += c;
    }
    return caption;
}

}  // namespace dozu
