#include "interpreter/message.h"

namespace dozu {

MessageKind message_kind(std::string_view text) {
    static constexpr struct {
        std::string_view start;
        MessageKind kind;
    } kStarts[] = {{"fatal error: ", MessageKind::fatal},
                   {"error: ", MessageKind::error},
                   {"warning: ", MessageKind::warning},
                   {"hint: ", MessageKind::hint}};
    for (const auto& [start, kind] : kStarts)
        if (text.starts_with(start)) return kind;
    return MessageKind::none;
}

}  // namespace dozu
