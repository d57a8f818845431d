#include "support/xvfb_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

std::string XvfbServer::Start(std::string& error) {
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return "";
    }
    pid_ = fork();
    if (pid_ < 0) {
        error = std::string("fork: ") + std::strerror(errno);
        return "";
    }
    if (pid_ == 0) {
        // The server must not outlive a test that crashes.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        close(pipe_fds[0]);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        const std::string fd = std::to_string(pipe_fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipe_fds[1]);

    // The server writes the display number and a newline once it listens.
    std::string number;
    bool complete = false;
    pollfd wait_for{pipe_fds[0], POLLIN, 0};
    while (!complete && poll(&wait_for, 1, 20000) > 0) {
        char c;
        if (read(pipe_fds[0], &c, 1) != 1) break;
        if (c == '\n')
            complete = true;
        else
            number += c;
    }
    close(pipe_fds[0]);
    if (!complete || number.empty()) {
        error = "Xvfb did not report a display number (is xvfb installed?)";
        Stop();
        return "";
    }
    return ":" + number;
}

void XvfbServer::Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
}
