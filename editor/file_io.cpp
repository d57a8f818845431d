#include "editor/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace dozu {

namespace {

std::string quoted(const std::string& path) { return "\"" + path + "\""; }

[[noreturn]] void fail(const std::string& what, const std::string& path, int err) {
    throw FileError(what + " " + quoted(path) + ": " + std::strerror(err));
}

std::string size_text(size_t bytes) {
    if (bytes % (1024 * 1024) == 0) return std::to_string(bytes / (1024 * 1024)) + " MiB";
    return std::to_string(bytes) + " bytes";
}

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

bool write_all(int fd, const char* p, size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        n -= size_t(w);
    }
    return true;
}

// The file a path finally names, so that saving through a symbolic link
// replaces the linked file and keeps the link.
std::string resolve_target(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            std::string r(real);
            std::free(real);
            return r;
        }
    }
    return path;
}

}  // namespace

std::vector<uint8_t> read_file(const std::string& path, size_t max_size) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) fail("cannot open", path, errno);
    struct stat st;
    if (::fstat(fd.get(), &st) != 0) fail("cannot read", path, errno);
    if (!S_ISREG(st.st_mode)) throw FileError(quoted(path) + " is not a regular file");
    if (uint64_t(st.st_size) > max_size)
        throw FileError(quoted(path) + " is larger than " + size_text(max_size));

    std::vector<uint8_t> bytes(size_t(st.st_size));
    size_t got = 0;
    for (;;) {
        if (got == bytes.size()) {
            // The file may have grown since fstat: read on, within the limit.
            if (bytes.size() > max_size) throw FileError(quoted(path) + " is larger than " + size_text(max_size));
            bytes.resize(bytes.size() + 4096);
        }
        const ssize_t r = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
        if (r < 0) {
            if (errno == EINTR) continue;
            fail("cannot read", path, errno);
        }
        if (r == 0) break;
        got += size_t(r);
    }
    if (got > max_size) throw FileError(quoted(path) + " is larger than " + size_text(max_size));
    bytes.resize(got);
    return bytes;
}

void write_file_atomic(const std::string& path, const void* data, size_t size) {
    const std::string target = resolve_target(path);
    const size_t slash = target.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    if (name.empty()) throw FileError("cannot write " + quoted(path) + ": no file name");

    std::string temp = dir + "/." + name + ".XXXXXX";
    Fd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (fd.get() < 0) fail("cannot write", path, errno);

    // The new file gets the old file's permissions, or those a plain create
    // would give it.
    mode_t mode;
    struct stat st;
    if (::stat(target.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }

    int err = 0;
    if (!write_all(fd.get(), static_cast<const char*>(data), size)) err = errno;
    if (!err && ::fchmod(fd.get(), mode) != 0) err = errno;
    if (!err && ::fsync(fd.get()) != 0) err = errno;
    if (::close(fd.release()) != 0 && !err) err = errno;
    if (!err && ::rename(temp.c_str(), target.c_str()) != 0) err = errno;
    if (err) {
        ::unlink(temp.c_str());
        fail("cannot write", path, err);
    }
    Fd dir_fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir_fd.get() >= 0) ::fsync(dir_fd.get());
}

}  // namespace dozu
