// Atomic file writing: a replaced file keeps its mode and links, a failed
// write or a signal leaves the old file and no temporary one, devices and
// FIFOs are written in place.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "io/file_io.h"
#include "support/temp_dir.h"

using namespace dozu;
using namespace dozu::testing;

namespace {

std::string drain(int fd) {
    std::string got;
    char buf[4096];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) got.append(buf, size_t(n));
    return got;
}

}  // namespace

TEST(AtomicWrite, ReplacesKeepsModeAndFollowsLinks) {
    TempDir dir;
    write_file_atomic(dir / "f", std::string("old"));
    std::filesystem::permissions(dir / "f", std::filesystem::perms(0640));
    write_file_atomic(dir / "f", std::string("new"));
    EXPECT_EQ(read_text(dir / "f"), "new");
    EXPECT_EQ(std::filesystem::status(dir / "f").permissions(), std::filesystem::perms(0640));
    std::filesystem::create_symlink(dir / "f", dir / "link");
    write_file_atomic(dir / "link", std::string("via link"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link"));
    EXPECT_EQ(read_text(dir / "f"), "via link");
    EXPECT_EQ(dir.entries(), 2u);  // no temporary file left
    EXPECT_THROW(write_file_atomic(dir / "no/such/dir/f", std::string("x")), FileError);
}

TEST(AtomicWrite, DevicesFifosAndSocketsAreWrittenInPlace) {
    TempDir dir;
    // A FIFO, also through a link: written, not replaced.
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    std::filesystem::create_symlink(dir / "fifo", dir / "link");
    std::string got;
    std::thread reader([&] {
        const int fd = ::open((dir / "fifo").c_str(), O_RDONLY);
        got = drain(fd);
        ::close(fd);
    });
    write_file_atomic(dir / "link", std::string(3 << 20, 'x'));  // larger than any buffer on the way
    reader.join();
    EXPECT_EQ(got, std::string(3 << 20, 'x'));
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "fifo"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link"));

    // A socket by its descriptor's name, as /dev/stdout names it.
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    write_file_atomic("/proc/self/fd/" + std::to_string(pair[0]), std::string("to the socket"));
    ::close(pair[0]);
    EXPECT_EQ(drain(pair[1]), "to the socket");
    ::close(pair[1]);

    // Character devices: a null and a full device of our own where we may
    // make them, since as root a wrong write would replace the system's.
    const bool made = ::mknod((dir / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0 &&
                      ::mknod((dir / "full").c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0;
    const std::string null = made ? dir / "null" : "/dev/null", full = made ? dir / "full" : "/dev/full";
    if (made || ::geteuid() != 0) {
        write_file_atomic(null, std::string("gone"));
        EXPECT_TRUE(std::filesystem::is_character_file(null));
        EXPECT_THROW(write_file_atomic(full, std::string("x")), FileError);  // no space left: an error
        EXPECT_TRUE(std::filesystem::is_character_file(full));
    }

    // A directory is refused and stays.
    std::filesystem::create_directory(dir / "d");
    try {
        write_file_atomic(dir / "d", std::string("x"));
        ADD_FAILURE() << "a directory was written";
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find("is a directory"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir / "d"));
}

TEST(AtomicWrite, NewFilesFollowTheUmaskAndFailedWritesLeaveNothing) {
    TempDir dir;
    const mode_t old = ::umask(077);
    write_file_atomic(dir / "private", std::string("x"));
    ::umask(022);
    write_file_atomic(dir / "shared", std::string("x"));
    ::umask(old);
    EXPECT_EQ(std::filesystem::status(dir / "private").permissions(), std::filesystem::perms(0600));
    EXPECT_EQ(std::filesystem::status(dir / "shared").permissions(), std::filesystem::perms(0644));

    // A writer that fails half way leaves the old file and no temporary.
    EXPECT_THROW(write_file(dir / "shared",
                            [](ByteSink& sink) {
                                sink.write(std::string(5 << 20, 'y'));
                                throw std::runtime_error("writer failed");
                            }),
                 std::runtime_error);
    EXPECT_EQ(read_text(dir / "shared"), "x");
    EXPECT_EQ(dir.entries(), 2u);
}

// A process stopped by SIGINT, SIGTERM or SIGHUP while it writes removes its
// temporary file and still ends by that signal; an ignored signal stays
// ignored and the write goes on.
TEST(AtomicWrite, SignalsThatEndTheProcessRemoveItsTemporaryFile) {
    TempDir dir;
    write_file_atomic(dir / "target", std::string("old"));
    const auto write_and_signal = [&](int signal, bool ignore) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (ignore) std::signal(signal, SIG_IGN);
            remove_temporary_file_on_signals();
            write_file(dir / "target", [&](ByteSink& sink) {
                sink.write(std::string(3 << 20, 'n'));  // past the write buffer: the file has bytes
                std::raise(signal);
                sink.write(std::string("ew"));
            });
            std::_Exit(0);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return status;
    };
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        const int status = write_and_signal(signal, false);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal;
        EXPECT_EQ(read_text(dir / "target"), "old");
        EXPECT_EQ(dir.entries(), 1u);
    }
    EXPECT_EQ(write_and_signal(SIGHUP, true), 0);
    EXPECT_EQ(read_text(dir / "target").size(), (3u << 20) + 2);
}

// In a folder of the program's own, a link in the name's place is replaced,
// never written through.
TEST(FolderFiles, NotWrittenThroughLinks) {
    TempDir dir;
    write_file_atomic(dir / "victim", std::string("notes"));
    std::filesystem::create_symlink(dir / "victim", dir / "copy");
    const int folder = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
    write_file_in(folder, "copy", "copy", 0600, [](ByteSink& sink) { sink.write(std::string("copy")); });
    ::close(folder);
    EXPECT_EQ(read_text(dir / "victim") + read_text(dir / "copy"), "notescopy");
    EXPECT_EQ(std::filesystem::symlink_status(dir / "copy").permissions(), std::filesystem::perms(0600));
}
