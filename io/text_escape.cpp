#include "io/text_escape.h"

#include <cstdint>

namespace dozu {

namespace {

// The length of the valid UTF-8 sequence at text[i], or 0.
size_t sequence_length(const std::string& text, size_t i) {
    const auto byte = [&](size_t k) { return i + k < text.size() ? uint8_t(text[i + k]) : uint8_t(0); };
    const uint8_t b = byte(0);
    if (b < 0x80) return 1;
    size_t n;
    uint32_t c;
    if (b >= 0xC2 && b <= 0xDF) {
        n = 2, c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        n = 3, c = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        n = 4, c = b & 0x07;
    } else {
        return 0;
    }
    for (size_t k = 1; k < n; ++k) {
        if ((byte(k) & 0xC0) != 0x80) return 0;
        c = c << 6 | (byte(k) & 0x3F);
    }
    // Overlong forms, surrogates and code points beyond U+10FFFF.
    const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < least[n] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return 0;
    return n;
}

}  // namespace

std::string valid_utf8(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const size_t n = sequence_length(text, i);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(text, i, n);
            i += n;
        }
    }
    return out;
}

std::string xml_attribute(const std::string& text) {
    std::string out;
    const std::string valid = valid_utf8(text);
    for (size_t i = 0; i < valid.size(); ++i) {
        const char c = valid[i];
        // U+FFFE and U+FFFF, the only characters of valid UTF-8 beyond the
        // controls that XML 1.0 does not allow.
        if (valid.compare(i, 2, "\xEF\xBF") == 0 && i + 2 < valid.size() && uint8_t(valid[i + 2]) >= 0xBE) {
            i += 2;
            continue;
        }
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\t': out += "&#9;"; break;
            case '\n': out += "&#10;"; break;
            case '\r': out += "&#13;"; break;
            default:
                if (uint8_t(c) >= 0x20) out += c;
        }
    }
    return out;
}

}  // namespace dozu
