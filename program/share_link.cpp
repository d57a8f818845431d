#include "program/share_link.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <new>
#include <stdexcept>

#include "program/program_file.h"

#ifndef DOZU_SITE_FROM_BINDIR
#define DOZU_SITE_FROM_BINDIR "../share/dozu/web"
#endif
#ifndef DOZU_BUILD_SITE
#define DOZU_BUILD_SITE ""
#endif

namespace dozu {

namespace {

const char kHex[] = "0123456789ABCDEF";

bool escaped_in_text(unsigned char c) {
    return c < '!' || c > '~' || c == '_' || c == '%' || c == '#' || c == '"' || c == '<' || c == '>' || c == '`';
}

bool unreserved_in_path(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~' || c == '/';
}

void append_escape(std::string& out, unsigned char c) {
    out += '%';
    out += kHex[c >> 4];
    out += kHex[c & 15];
}

// The text a default-table program's lines join to: a line per step that a
// load keeps.
std::string program_text(const CommandTable& table, const std::vector<uint8_t>& steps) {
    std::string text;
    for (const uint8_t tag : program_steps(table, steps)) {
        text += table.interpreter_code(tag);
        text += ' ';
    }
    return text;
}

}  // namespace

std::string percent_encode_program(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == ' ')
            out += '_';
        else if (escaped_in_text(c))
            append_escape(out, c);
        else
            out += ch;
    }
    return out;
}

namespace {

std::string encode64(std::string_view bytes, const char* digits, bool pad) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    const auto byte = [&](size_t k) { return uint32_t(static_cast<unsigned char>(bytes[k])); };
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint32_t v = byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2);
        for (int s = 18; s >= 0; s -= 6) out += digits[(v >> s) & 63];
    }
    const size_t rest = bytes.size() - i;
    if (rest > 0) {
        const uint32_t v = byte(i) << 16 | (rest == 2 ? byte(i + 1) << 8 : 0);
        out += digits[(v >> 18) & 63];
        out += digits[(v >> 12) & 63];
        if (rest == 2) out += digits[(v >> 6) & 63];
        if (pad) out.append(3 - rest, '=');
    }
    return out;
}

}  // namespace

std::string base64url(std::string_view bytes) {
    return encode64(bytes, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_", false);
}

std::string base64(std::string_view bytes) {
    return encode64(bytes, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/", true);
}

namespace {

constexpr size_t kDeflatePiece = 1 << 20;

// Raw deflate at the best compression, or nothing when the output would
// pass max_size bytes: it stops there. The input goes in by pieces, each
// followed by a poll of stop; zlib makes the same stream as from one piece.
std::optional<std::string> raw_deflate_within(std::string_view bytes, size_t max_size, const StopFlag* stop) {
    z_stream z{};
    // Negative window bits: a raw stream, without zlib's header and check.
    if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::bad_alloc();
    const std::unique_ptr<z_stream, int (*)(z_stream*)> end(&z, deflateEnd);
    const size_t bound = deflateBound(&z, uLong(bytes.size()));
    std::string out(max_size < bound ? max_size + 1 : bound, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    size_t left = bytes.size();
    int status = Z_OK;
    while (status == Z_OK) {
        check_stop(stop);
        const size_t piece = std::min(left, kDeflatePiece);
        z.avail_in = uInt(piece);
        left -= piece;
        status = deflate(&z, left == 0 ? Z_FINISH : Z_NO_FLUSH);
        // Output that fills the buffer is past max_size, or past the bound.
        if (z.avail_out == 0 && status != Z_STREAM_END) {
            if (out.size() > max_size) return std::nullopt;
            throw std::runtime_error("cannot compress the program for its link");
        }
        if (status == Z_BUF_ERROR && z.avail_in == 0) status = Z_OK;
    }
    if (status != Z_STREAM_END) throw std::runtime_error("cannot compress the program for its link");
    out.resize(z.total_out);
    if (out.size() > max_size) return std::nullopt;
    return out;
}

// The most bytes whose base64url (4 digits for 3 bytes, no padding) takes
// at most `digits` characters.
size_t bytes_in_digits(size_t digits) { return digits / 4 * 3 + digits % 4 * 3 / 4; }

size_t percent_encoded_size(std::string_view text) {
    size_t size = 0;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        size += c != ' ' && escaped_in_text(c) ? 3 : 1;
    }
    return size;
}

// The fragment within `room` characters, or nothing.
std::optional<std::string> fragment_within(const CommandTable& table, const std::vector<uint8_t>& steps,
                                           size_t room, const StopFlag* stop) {
    constexpr size_t kPrefix = 3;  // "#p=", "#z=" or "#t="
    if (room < kPrefix) return std::nullopt;
    if (!(table == CommandTable())) {
        const std::vector<uint8_t> file = encode_program_file(table, steps);
        const std::optional<std::string> packed = raw_deflate_within(
            {reinterpret_cast<const char*>(file.data()), file.size()}, bytes_in_digits(room - kPrefix), stop);
        if (!packed) return std::nullopt;
        return "#t=" + base64url(*packed);
    }
    const std::string text = program_text(table, steps);
    // The deflated form only when it is shorter than the plain one.
    const size_t plain = percent_encoded_size(text);
    if (plain > 0) {
        const size_t digits = std::min(plain - 1, room - kPrefix);
        if (std::optional<std::string> packed = raw_deflate_within(text, bytes_in_digits(digits), stop))
            return "#z=" + base64url(*packed);
    }
    if (plain > room - kPrefix) return std::nullopt;
    return "#p=" + percent_encode_program(text);
}

}  // namespace

std::string raw_deflate(std::string_view bytes) { return *raw_deflate_within(bytes, SIZE_MAX, nullptr); }

std::string share_fragment(const CommandTable& table, const std::vector<uint8_t>& steps) {
    return *fragment_within(table, steps, SIZE_MAX, nullptr);
}

const char* const kShareLinkTooLong =
    "the link would be longer than 2,097,152 characters, the most a browser opens";

std::optional<std::string> share_link_within_limit(std::string_view base, const CommandTable& table,
                                                   const std::vector<uint8_t>& steps, const StopFlag* stop) {
    const std::string_view address = base.substr(0, base.find('#'));
    if (address.size() >= kMaxShareLinkLength) return std::nullopt;
    std::optional<std::string> fragment =
        fragment_within(table, steps, kMaxShareLinkLength - address.size(), stop);
    if (!fragment) return std::nullopt;
    return share_link(address, *fragment);
}

std::string share_base_problem(std::string_view base) {
    if (base.empty()) return {};
    if (base.size() > kMaxShareBaseLength) return "the address is longer than 2,000 characters";
    std::string scheme(base.substr(0, base.find(':')));
    for (char& c : scheme) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (scheme.size() == base.size() || (scheme != "http" && scheme != "https" && scheme != "file"))
        return "the address must start with http:, https: or file:";
    for (const char ch : base) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= ' ' || c == 0x7F) return "the address holds a blank or a control character";
    }
    return {};
}

std::string share_link(std::string_view base, std::string_view fragment) {
    const size_t hash = base.find('#');
    std::string link(base.substr(0, hash));
    link += fragment;
    return link;
}

std::string file_url(const std::string& path) {
    std::string out = "file://";
    for (const char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        if (unreserved_in_path(c))
            out += ch;
        else
            append_escape(out, c);
    }
    return out;
}

std::string local_site_folder(const std::string& executable) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path installed = (fs::path(executable).parent_path() / DOZU_SITE_FROM_BINDIR).lexically_normal();
    if (fs::is_regular_file(installed / "index.html", error)) return installed.string();
    return DOZU_BUILD_SITE;
}

std::string default_share_base(const std::string& executable) {
    return file_url((std::filesystem::path(local_site_folder(executable)) / "index.html").string());
}

}  // namespace dozu
