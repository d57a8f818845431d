#include "app/stop_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>

#include "io/file_io.h"

namespace dozu {

StopSignals::StopSignals(std::function<void(int signal)> on_stop, QObject* parent)
    : QObject(parent), on_stop_(std::move(on_stop)) {
    if (::pipe2(pipe_, O_NONBLOCK | O_CLOEXEC) != 0) return;  // then signals end the editor at once
    auto* notifier = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &StopSignals::take_signals);
    hand_stop_signals_to(pipe_[1]);
}

StopSignals::~StopSignals() {
    hand_stop_signals_to(-1);
    for (const int fd : pipe_)
        if (fd >= 0) ::close(fd);
}

void StopSignals::take_signals() {
    unsigned char taken[16];
    for (ssize_t n; (n = ::read(pipe_[0], taken, sizeof taken)) > 0;)
        for (ssize_t i = 0; i < n; ++i) on_stop_(taken[i]);
}

}  // namespace dozu
