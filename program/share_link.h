// Share links: a program carried in the fragment of a web address, which
// dozu's web page decodes, and the page that a link points at by default.
//
// A fragment is one of three forms:
//   #p=TEXT  the program text (each line's interpreter code and its blank),
//            each blank written as "_"; every other byte outside "!".."~",
//            and each of _ % # " < > and the backquote, as %XX;
//   #z=DATA  the same text raw-deflated (RFC 1951), in base64url without
//            padding, when that is shorter;
//   #t=DATA  the whole program file raw-deflated in base64url, for a
//            program whose command table is not the default one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "geometry/stop_flag.h"
#include "program/command_table.h"

namespace dozu {

// The longest link, in characters with its address, that a browser opens:
// Chromium drops a navigation past 2 MiB of address and leaves a blank tab.
// The editor, the batch tool and the web page refuse a longer one.
constexpr size_t kMaxShareLinkLength = 2097152;

// The longest address of the web page, set by a user, that links point at.
constexpr size_t kMaxShareBaseLength = 2000;

// Why the address of the web page may not be used for links, or nothing
// when it may: an empty one (the page on this computer) or an http:,
// https: or file: address of at most kMaxShareBaseLength characters
// without blanks or control characters.
std::string share_base_problem(std::string_view base);

// What a link past kMaxShareLinkLength is told by: "the link would be
// longer than 2,097,152 characters, the most a browser opens".
extern const char* const kShareLinkTooLong;

// The fragment, "#" included, for a program of this table and steps.
std::string share_fragment(const CommandTable& table, const std::vector<uint8_t>& steps);

// The whole link, base and fragment, or nothing when it would be longer
// than kMaxShareLinkLength. It stops compressing once the link is sure to
// be too long, and throws Stopped when `stop` asks it to (polled every
// megabyte of the program's text).
std::optional<std::string> share_link_within_limit(std::string_view base, const CommandTable& table,
                                                   const std::vector<uint8_t>& steps,
                                                   const StopFlag* stop = nullptr);

// The address base (whatever fragment it has dropped) with the fragment.
std::string share_link(std::string_view base, std::string_view fragment);

// The text of a #p= fragment, and base64url without padding: the pieces of
// the forms above.
std::string percent_encode_program(std::string_view text);
std::string base64url(std::string_view bytes);
// Base64 with its standard digits and padding, as browsers' atob reads it.
std::string base64(std::string_view bytes);
// Raw deflate (no zlib header), at the best compression.
std::string raw_deflate(std::string_view bytes);

// A file:// address for an absolute path, its bytes outside the unreserved
// ones and "/" percent-encoded.
std::string file_url(const std::string& path);

// The folder of the web page on this computer for the program at
// `executable`: the installed one beside its prefix when it is there, else
// the one the build made (which may not be built yet).
std::string local_site_folder(const std::string& executable);

// The page a link points at without a base address: the local site's
// index.html as a file:// address.
std::string default_share_base(const std::string& executable);

}  // namespace dozu
