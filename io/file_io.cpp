#include "io/file_io.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

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

// Collects small writes into a fixed buffer and hands it to the descriptor
// in large ones; a large write goes straight through. Into a new regular
// file, every few MiB written are handed to the disk at once rather than
// left to pile up until the final flush to disk, so that a large export
// writes while it formats.
class DescriptorSink final : public ByteSink {
public:
    DescriptorSink(int fd, const std::string& name, bool write_behind = false)
        : fd_(fd), name_(name), buffer_(new char[kSize]), write_behind_(write_behind) {}
    using ByteSink::write;
    void write(const void* data, size_t size) override {
        if (size == 0) return;
        const char* p = static_cast<const char*>(data);
        if (used_ + size > kSize || size >= kDirect) {
            flush();
            if (size >= kDirect) return put(p, size);
        }
        std::memcpy(buffer_.get() + used_, p, size);
        used_ += size;
    }
    void flush() {
        put(buffer_.get(), used_);
        used_ = 0;
    }

private:
    static constexpr size_t kSize = 1 << 20, kDirect = kSize / 8;
    static constexpr off_t kWriteBehind = 16 << 20;

    void put(const char* p, size_t n) {
        while (n > 0) {
            const ssize_t w = ::write(fd_, p, n);
            if (w < 0) {
                if (errno == EINTR) continue;
                fail("cannot write", name_, errno);
            }
            p += w;
            n -= size_t(w);
            written_ += w;
        }
        if (write_behind_ && written_ - started_ >= kWriteBehind) {
            // Only a start: the final fsync still waits for all of it.
            ::sync_file_range(fd_, started_, written_ - started_, SYNC_FILE_RANGE_WRITE);
            started_ = written_;
        }
    }

    int fd_;
    const std::string& name_;
    std::unique_ptr<char[]> buffer_;
    size_t used_ = 0;
    bool write_behind_;
    off_t written_ = 0, started_ = 0;
};

}  // namespace

std::string write_target(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        // Saving through a link replaces the linked file and keeps the link.
        if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
            if (char* real = ::realpath(path.c_str(), nullptr)) {
                std::string r(real);
                std::free(real);
                return r;
            }
        }
        return path;
    }
    // A link whose file does not exist yet is followed by hand, each
    // target read relative to the link's folder, so that the new file is
    // made where the link points and the link stays.
    std::string target = path;
    for (int links = 0; links < 40; ++links) {
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return target;
        std::string text(size_t(std::max<off_t>(st.st_size, 0)) + 1, '\0');
        const ssize_t n = ::readlink(target.c_str(), text.data(), text.size());
        if (n < 0 || size_t(n) >= text.size()) return target;  // changed meanwhile: the write will say
        text.resize(size_t(n));
        if (text.empty() || text[0] == '/') {
            target = text;
        } else {
            const size_t slash = target.find_last_of('/');
            if (slash != std::string::npos) text.insert(0, target, 0, slash + 1);
            target = text;
        }
    }
    fail("cannot write", path, ELOOP);
}

namespace {

// The descriptor that a name such as /dev/stdout or /proc/self/fd/3 stands
// for, or -1. A socket cannot be opened by such a name, only used.
int descriptor_named(const std::string& path) {
    if (path == "/dev/stdout") return 1;
    if (path == "/dev/stderr") return 2;
    for (const std::string prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        if (path.compare(0, prefix.size(), prefix) != 0 || path.size() == prefix.size()) continue;
        char* end = nullptr;
        const long fd = std::strtol(path.c_str() + prefix.size(), &end, 10);
        if (*end == '\0' && fd >= 0 && fd <= INT_MAX) return int(fd);
    }
    return -1;
}

// The temporary file being written (its name in a folder, a descriptor or
// AT_FDCWD), for the signal handler. One write at a time registers its file;
// the state says whether the name may be read.
enum : int { kSlotFree, kSlotFilling, kSlotSet };
std::atomic<int> temporary_state{kSlotFree};
std::atomic<int> temporary_folder{AT_FDCWD};
char temporary_name[4096];
static_assert(std::atomic<int>::is_always_lock_free);

class RegisteredTemporary {
public:
    RegisteredTemporary() = default;
    ~RegisteredTemporary() {
        if (owner_) temporary_state.store(kSlotFree);
    }
    RegisteredTemporary(const RegisteredTemporary&) = delete;
    RegisteredTemporary& operator=(const RegisteredTemporary&) = delete;

    void set(int folder, const std::string& name) {
        int free = kSlotFree;
        if (name.size() >= sizeof temporary_name || !temporary_state.compare_exchange_strong(free, kSlotFilling))
            return;
        temporary_folder.store(folder);
        std::memcpy(temporary_name, name.c_str(), name.size() + 1);
        temporary_state.store(kSlotSet);
        owner_ = true;
    }

private:
    bool owner_ = false;
};

// Holds back the signals that remove the temporary file while it is created
// and registered, so that none comes between the two.
class StopSignalsHeld {
public:
    StopSignalsHeld() {
        sigset_t stop;
        sigemptyset(&stop);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stop, signal);
        ::pthread_sigmask(SIG_BLOCK, &stop, &old_);
    }
    ~StopSignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
    StopSignalsHeld(const StopSignalsHeld&) = delete;
    StopSignalsHeld& operator=(const StopSignalsHeld&) = delete;

private:
    sigset_t old_;
};

void remove_registered_temporary() {
    if (temporary_state.load() == kSlotSet) ::unlinkat(temporary_folder.load(), temporary_name, 0);
}

// Where the first stop signal of each kind is handed on, or -1.
std::atomic<int> hand_to{-1};
constexpr int kSignals = 65;
std::atomic<bool> handed[kSignals];

// Only async-signal-safe calls: the byte to the event loop, or the removal
// and the default action, which comes as the handler returns.
extern "C" void on_stop_signal(int signal) {
    const int saved = errno;
    const int fd = hand_to.load();
    if (fd >= 0 && signal > 0 && signal < kSignals && !handed[signal].exchange(true)) {
        const auto byte = static_cast<unsigned char>(signal);
        if (::write(fd, &byte, 1) == 1) {
            errno = saved;
            return;
        }
    }
    remove_registered_temporary();
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(signal, &fallback, nullptr);
    errno = saved;
    ::raise(signal);
}

void install_stop_handler() {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) != 0 ||
            (current.sa_handler != SIG_DFL && current.sa_handler != on_stop_signal))
            continue;
        struct sigaction action {};
        action.sa_handler = on_stop_signal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(signal, &action, nullptr);
    }
}

// A new file with a name nobody else uses, beside the target name, created
// with the given mode under the umask: in the open folder, or with folder
// AT_FDCWD in dir.
int create_temporary(int folder, const std::string& dir, const std::string& name, mode_t mode, std::string& temp) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    constexpr size_t kAdded = 2 + 8;  // the dots and the letters
    // Within the folder's limit on a name, so that a target whose name is
    // as long as it may be can still be written.
    const long limit =
        folder == AT_FDCWD ? ::pathconf(dir.c_str(), _PC_NAME_MAX) : ::fpathconf(folder, _PC_NAME_MAX);
    const size_t longest = limit > long(kAdded) ? size_t(limit) : size_t(NAME_MAX);
    const size_t kept = std::min(name.size(), longest - kAdded);
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned char random[8] = {};
        if (::getrandom(random, sizeof random, 0) != ssize_t(sizeof random))
            for (unsigned char& r : random) r = static_cast<unsigned char>(std::rand());
        temp = (dir.empty() ? "" : dir + "/") + "." + name.substr(0, kept) + ".";
        for (unsigned char r : random) temp += kLetters[r % (sizeof kLetters - 1)];
        const int fd = ::openat(folder, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// Creates and registers the temporary file; throws FileError.
int create_registered(int folder, const std::string& dir, const std::string& name, mode_t mode,
                      const std::string& path, std::string& temp, RegisteredTemporary& registered) {
    int created, create_error;
    {
        const StopSignalsHeld held;
        created = create_temporary(folder, dir, name, mode, temp);
        create_error = errno;
        if (created >= 0) registered.set(folder, temp);
    }
    if (created < 0) fail("cannot write", path, create_error);
    return created;
}

// Fills the temporary file, lets finish set what it must (0 or an error
// number), flushes it to disk and renames it to target in the folder; on any
// failure the temporary file goes.
void fill_and_rename(int folder, const std::string& temp, Fd& fd, const std::string& target,
                     const std::string& path, const FillSink& fill, const std::function<int(int)>& finish) {
    try {
        DescriptorSink sink(fd.get(), path, true);
        fill(sink);
        sink.flush();
    } catch (...) {
        ::unlinkat(folder, temp.c_str(), 0);
        throw;
    }
    int err = finish(fd.get());
    if (!err && ::fsync(fd.get()) != 0) err = errno;
    if (::close(fd.release()) != 0 && !err) err = errno;
    if (!err && ::renameat(folder, temp.c_str(), folder, target.c_str()) != 0) err = errno;
    if (err) {
        ::unlinkat(folder, temp.c_str(), 0);
        fail("cannot write", path, err);
    }
}

// The old owner and group where the system lets us give them, else the
// group alone; false when the file stays ours, as it does with any editor
// that saves by renaming.
bool give_old_owner(int fd, const struct stat& old) {
    if (old.st_uid == ::geteuid() && old.st_gid == ::getegid()) return true;
    return ::fchown(fd, old.st_uid, old.st_gid) == 0 || ::fchown(fd, uid_t(-1), old.st_gid) == 0;
}

void replace_atomically(const std::string& path, const std::string& target, const struct stat* existing,
                        const FillSink& fill) {
    const size_t slash = target.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    if (name.empty()) throw FileError("cannot write " + quoted(path) + ": no file name");

    std::string temp;
    RegisteredTemporary registered;
    Fd fd(create_registered(AT_FDCWD, dir, name, existing ? existing->st_mode & 0777 : 0666, path, temp,
                            registered));
    fill_and_rename(AT_FDCWD, temp, fd, target, path, fill, [existing](int out) {
        if (!existing) return 0;
        // Before the mode: a change of owner clears the set-user-ID bit.
        give_old_owner(out, *existing);
        // The umask narrowed the mode at the create; an existing file's
        // permissions are kept whole.
        return ::fchmod(out, existing->st_mode & 07777) != 0 ? errno : 0;
    });
    Fd dir_fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir_fd.get() >= 0) ::fsync(dir_fd.get());
}

}  // namespace

std::vector<uint8_t> read_file(const std::string& path, size_t max_size) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) fail("cannot open", path, errno);
    struct stat st;
    if (::fstat(fd.get(), &st) != 0) fail("cannot read", path, errno);
    if (!S_ISREG(st.st_mode)) throw FileError(quoted(path) + " is not a regular file");
    if (uint64_t(st.st_size) > max_size) throw FileError(quoted(path) + " is larger than " + size_text(max_size));
    return read_descriptor(fd.get(), path, max_size);
}

std::vector<uint8_t> read_descriptor(int fd, const std::string& name, size_t max_size) {
    std::vector<uint8_t> bytes;
    size_t got = 0;
    for (;;) {
        if (got == bytes.size()) {
            // Read on up to one byte past the limit, to tell a file that is
            // too large.
            if (bytes.size() > max_size) throw FileError(quoted(name) + " is larger than " + size_text(max_size));
            bytes.resize(std::min(max_size + 1, std::max<size_t>(bytes.size() * 2, 4096)));
        }
        const ssize_t r = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (r < 0) {
            if (errno == EINTR) continue;
            fail("cannot read", name, errno);
        }
        if (r == 0) break;
        got += size_t(r);
    }
    if (got > max_size) throw FileError(quoted(name) + " is larger than " + size_text(max_size));
    bytes.resize(got);
    return bytes;
}

void write_file(const std::string& path, const FillSink& fill) {
    const std::string target = write_target(path);
    struct stat st;
    if (::stat(target.c_str(), &st) != 0) return replace_atomically(path, target, nullptr, fill);
    if (S_ISREG(st.st_mode)) {
        // As an editor warns before it overwrites a read-only file: a mode
        // without any write bit holds for root too.
        if ((st.st_mode & 0222) == 0 ||
            (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES))
            throw FileError("cannot write " + quoted(path) + ": the file is read-only");
        return replace_atomically(path, target, &st, fill);
    }
    if (S_ISDIR(st.st_mode)) throw FileError("cannot write " + quoted(path) + ": it is a directory");
    if (!S_ISCHR(st.st_mode) && !S_ISFIFO(st.st_mode) && !S_ISSOCK(st.st_mode))
        throw FileError("cannot write " + quoted(path) +
                        ": only a regular file, a character device, a FIFO or a socket can be written");

    const int named = S_ISSOCK(st.st_mode) ? descriptor_named(target) : -1;
    Fd fd(named >= 0 ? ::fcntl(named, F_DUPFD_CLOEXEC, 0)
                     : ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) fail("cannot write", path, errno);
    write_descriptor(fd.get(), path, fill);
    if (::close(fd.release()) != 0) fail("cannot write", path, errno);
}

void write_descriptor(int fd, const std::string& name, const FillSink& fill) {
    DescriptorSink sink(fd, name);
    fill(sink);
    sink.flush();
}

std::vector<uint8_t> read_file_in(int folder, const std::string& name, const std::string& path, size_t max_size) {
    struct stat st;
    if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) fail("cannot open", path, errno);
    if (!S_ISREG(st.st_mode)) throw FileError(quoted(path) + " is not a regular file");
    // Checked again on what was opened: the name may have changed meanwhile.
    Fd fd(::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) fail("cannot open", path, errno);
    if (::fstat(fd.get(), &st) != 0) fail("cannot read", path, errno);
    if (!S_ISREG(st.st_mode)) throw FileError(quoted(path) + " is not a regular file");
    if (uint64_t(st.st_size) > max_size) throw FileError(quoted(path) + " is larger than " + size_text(max_size));
    return read_descriptor(fd.get(), path, max_size);
}

void write_file_in(int folder, const std::string& name, const std::string& path, unsigned mode,
                   const FillSink& fill) {
    std::string temp;
    RegisteredTemporary registered;
    Fd fd(create_registered(folder, "", name, mode_t(mode), path, temp, registered));
    fill_and_rename(folder, temp, fd, name, path, fill,
                    [mode](int out) { return ::fchmod(out, mode_t(mode)) != 0 ? errno : 0; });
    ::fsync(folder);
}

void remove_temporary_file_on_signals() {
    hand_to.store(-1);
    install_stop_handler();
}

void hand_stop_signals_to(int fd) {
    hand_to.store(fd);
    install_stop_handler();
}

void end_by_signal(int signal) {
    remove_registered_temporary();
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(signal, &fallback, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    ::raise(signal);
    ::_exit(128 + signal);
}

}  // namespace dozu
