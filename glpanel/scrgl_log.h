// The GL layer's log: an optional pair of sinks (information, error) that
// receive lines "sgl:<milliseconds since the first log call> - <message>".
#pragma once

#include <string>

namespace dozu {

using TSglMessageProc = void (*)(const char* text, void* user_data);

// Installs the two sinks; either may be null. The user data is passed back
// to both with every line.
void SetMessageProc(TSglMessageProc info, TSglMessageProc error, void* user_data);

// Level 0 goes to the information sink, level 1 to the error sink.
void sglLog(int level, const std::string& message);

}  // namespace dozu
