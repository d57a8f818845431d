// Helpers of the tests that run under their own X server and Qt
// application (set up once per test process by x11_environment.cpp).
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace x11test {

// Runs the event loop until the condition holds or the time is up.
bool WaitFor(const std::function<bool()>& condition, int milliseconds = 5000);
// Runs the event loop for a while.
void Pump(int milliseconds = 50);

// The log lines since the last Clear, without their "sgl:<ms> - " prefix.
struct LogCapture {
    LogCapture();
    ~LogCapture();
    std::vector<std::string> info;
    std::vector<std::string> error;
    bool HasInfo(const std::string& line) const;
    int CountInfo(const std::string& line) const;
};

}  // namespace x11test
