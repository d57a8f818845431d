#include "program/share_link.h"

#include <zlib.h>

#include <filesystem>
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

std::string raw_deflate(std::string_view bytes) {
    z_stream z{};
    // Negative window bits: a raw stream, without zlib's header and check.
    if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::bad_alloc();
    std::string out(deflateBound(&z, uLong(bytes.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = uInt(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    const int status = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    if (status != Z_STREAM_END) throw std::runtime_error("cannot compress the program for its link");
    return out;
}

std::string share_fragment(const CommandTable& table, const std::vector<uint8_t>& steps) {
    if (!(table == CommandTable())) {
        const std::vector<uint8_t> file = encode_program_file(table, steps);
        return "#t=" + base64url(raw_deflate({reinterpret_cast<const char*>(file.data()), file.size()}));
    }
    const std::string text = program_text(table, steps);
    std::string plain = "#p=" + percent_encode_program(text);
    std::string packed = "#z=" + base64url(raw_deflate(text));
    return packed.size() < plain.size() ? packed : plain;
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
