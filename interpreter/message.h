// The messages of a run: a text as the editor shows it, the line it
// concerns, and its kind, which the text begins with ("fatal error: ",
// "error: ", "warning: ", "hint: ").
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dozu {

struct Message {
    std::string text;
    int tag;  // 0-based index of the program line it concerns
};
using MessageList = std::vector<Message>;

// The values are the C runtime's DOZU_MESSAGE_* kinds, which it gives with
// each message's text.
enum class MessageKind { none = 0, fatal = 1, error = 2, warning = 3, hint = 4 };

// The kind of a message of the interpreter, the runtime or a load; none
// for a text that begins with no kind.
MessageKind message_kind(std::string_view text);

// Fatal or not.
inline bool is_error(MessageKind kind) { return kind == MessageKind::fatal || kind == MessageKind::error; }

}  // namespace dozu
