#include "glpanel/scrgl_log.h"

#include <chrono>

namespace dozu {

namespace {

struct Sinks {
    TSglMessageProc info = nullptr;
    TSglMessageProc error = nullptr;
    void* user_data = nullptr;
};

Sinks& sinks() {
    static Sinks s;
    return s;
}

}  // namespace

void SetMessageProc(TSglMessageProc info, TSglMessageProc error, void* user_data) {
    sinks() = Sinks{info, error, user_data};
}

void sglLog(int level, const std::string& message) {
    // The time base is the first log call, whether or not a sink is set.
    static const auto base = std::chrono::steady_clock::now();
    const Sinks& s = sinks();
    const TSglMessageProc sink = level == 0 ? s.info : level == 1 ? s.error : nullptr;
    if (!sink) return;
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - base).count();
    const std::string line = "sgl:" + std::to_string(ms) + " - " + message;
    sink(line.c_str(), s.user_data);
}

}  // namespace dozu
