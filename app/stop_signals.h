// SIGINT, SIGTERM and SIGHUP as the editor takes them: the handler only
// writes the signal's number into a pipe, and the event loop reads it and
// calls on_stop, which keeps the unsaved changes and ends the editor as the
// signal ends it. A second signal of a kind before that ends it at once.
#pragma once

#include <QObject>
#include <functional>

namespace dozu {

class StopSignals : public QObject {
public:
    explicit StopSignals(std::function<void(int signal)> on_stop, QObject* parent = nullptr);
    // Signals end the process at once again.
    ~StopSignals() override;

private:
    void take_signals();

    int pipe_[2] = {-1, -1};
    std::function<void(int signal)> on_stop_;
};

}  // namespace dozu
