// A request to stop long work early, set from another thread (a cancelled
// run) or by a timer (a time limit). Long loops poll it now and then and
// leave by throwing Stopped, which the code that started the work catches.
#pragma once

#include <atomic>

namespace dozu {

enum class StopReason : int { none = 0, cancel = 1, time_limit = 2 };

struct Stopped {
    StopReason reason;
};

class StopFlag {
public:
    // The first request wins: a run stopped by its time limit stays so.
    void request(StopReason reason) {
        int none = int(StopReason::none);
        reason_.compare_exchange_strong(none, int(reason), std::memory_order_relaxed);
    }
    void clear() { reason_.store(int(StopReason::none), std::memory_order_relaxed); }
    StopReason reason() const { return StopReason(reason_.load(std::memory_order_relaxed)); }
    bool requested() const { return reason() != StopReason::none; }
    void check() const {
        if (requested()) throw Stopped{reason()};
    }

private:
    std::atomic<int> reason_{int(StopReason::none)};
};

// Polls a flag that may be absent.
inline void check_stop(const StopFlag* stop) {
    if (stop) stop->check();
}

}  // namespace dozu
