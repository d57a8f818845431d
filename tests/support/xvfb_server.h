// A private X server for one test process: Xvfb on a display it picks
// itself and reports through -displayfd.
#pragma once

#include <sys/types.h>

#include <string>

class XvfbServer {
public:
    XvfbServer() = default;
    ~XvfbServer() { Stop(); }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // Starts the server and returns its display name (":N"), or sets
    // `error` and returns "".
    std::string Start(std::string& error);
    void Stop();

private:
    pid_t pid_ = -1;
};
