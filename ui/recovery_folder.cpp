#include "ui/recovery_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <system_error>

#include "io/file_io.h"

namespace dozu {

namespace {

constexpr const char* kSetAside = ".set-aside";

std::string in_quotes(const std::string& path) { return "\"" + path + "\""; }

// What the editors' files are named: the id, then what the file is. A
// temporary file of a write is ".<id>.<kind>.<letters>".
struct EntryName {
    std::string id, kind;
    bool temporary = false;
};

EntryName parse(const std::string& name) {
    const bool temporary = name.size() > 1 && name[0] == '.';
    const std::string rest = temporary ? name.substr(1) : name;
    const size_t dot = rest.find('.');
    if (dot == 0 || dot == std::string::npos) return {};
    return {rest.substr(0, dot), rest.substr(dot), temporary};
}

bool same_inode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

FolderLock::~FolderLock() { ::close(fd_); }

void FolderLock::remove() { ::unlinkat(folder_, name_.c_str(), 0); }

RecoveryFolder::RecoveryFolder(const std::string& path) : path_(path) {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    if (!error && ::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        error.assign(errno, std::generic_category());
    if (error) throw FileError("cannot make the recovery folder " + in_quotes(path) + ": " + error.message());
    fd_ = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) {
        if (errno == ENOTDIR) throw FileError("the recovery folder " + in_quotes(path) + " is not a folder");
        throw FileError("cannot open the recovery folder " + in_quotes(path) + ": " + std::strerror(errno));
    }
    if (const std::string problem = this->problem(); !problem.empty()) {
        ::close(fd_);
        throw FileError(problem);
    }
    // Nobody else reads the copies either.
    struct stat st;
    if (::fstat(fd_, &st) == 0 && (st.st_mode & 077)) ::fchmod(fd_, 0700);
}

std::string RecoveryFolder::problem() const {
    struct stat st;
    if (::fstat(fd_, &st) != 0)
        return "cannot open the recovery folder " + in_quotes(path_) + ": " + std::strerror(errno);
    if (st.st_uid != ::geteuid()) return "the recovery folder " + in_quotes(path_) + " belongs to another user";
    if (st.st_mode & (S_IWGRP | S_IWOTH)) return "others may write in the recovery folder " + in_quotes(path_);
    return {};
}

RecoveryFolder::~RecoveryFolder() { ::close(fd_); }

std::unique_ptr<FolderLock> RecoveryFolder::lock_new(const std::string& id) {
    const std::string name = id + ".lock";
    const int fd = ::openat(fd_, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (fd >= 0) ::close(fd);
        throw FileError("cannot write in the recovery folder " + in_quotes(path_) + ": " + std::strerror(error));
    }
    return std::make_unique<FolderLock>(fd_, name, fd);
}

std::unique_ptr<FolderLock> RecoveryFolder::lock_left(const std::string& id, std::vector<std::string>& notes) {
    const std::string name = id + ".lock";
    struct stat named, held;
    if (::fstatat(fd_, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(named.st_mode))
        notes.push_back(set_aside(name, in_quotes(path_of(name)) + " is not a regular file"));
    const int fd =
        ::openat(fd_, name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    auto lock = std::make_unique<FolderLock>(fd_, name, fd);
    // Held by a live editor, or replaced since it was opened: not ours.
    if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode) || ::flock(fd, LOCK_EX | LOCK_NB) != 0 ||
        ::fstatat(fd_, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 || !same_inode(named, held))
        return nullptr;
    return lock;
}

RecoveryFolder::LeftIds RecoveryFolder::take_left(const std::string& own_id) {
    struct Files {
        bool copy = false;
        std::vector<std::string> temporary;
    };
    std::map<std::string, Files> ids;
    if (DIR* dir = ::fdopendir(::fcntl(fd_, F_DUPFD_CLOEXEC, 0))) {
        ::rewinddir(dir);
        while (const dirent* entry = ::readdir(dir)) {
            const EntryName name = parse(entry->d_name);
            if (name.id.empty() || name.id == own_id) continue;
            if (name.temporary)
                ids[name.id].temporary.push_back(entry->d_name);
            else if (name.kind == ".tpg")
                ids[name.id].copy = true;
            else if (name.kind == ".name" || name.kind == ".lock")
                ids[name.id];
        }
        ::closedir(dir);
    }

    LeftIds left;
    std::vector<std::pair<timespec, size_t>> ages;
    for (auto& [id, files] : ids) {
        std::unique_ptr<FolderLock> lock = lock_left(id, left.notes);
        if (!lock) continue;
        for (const std::string& temporary : files.temporary) remove(temporary);
        struct stat copy;
        const std::string copy_name = id + ".tpg";
        if (files.copy && ::fstatat(fd_, copy_name.c_str(), &copy, AT_SYMLINK_NOFOLLOW) == 0) {
            if (S_ISREG(copy.st_mode)) {
                ages.emplace_back(copy.st_mtim, left.copies.size());
                left.copies.emplace_back(id, std::move(lock));
                continue;
            }
            left.notes.push_back(set_aside(copy_name, in_quotes(path_of(copy_name)) + " is not a regular file"));
        }
        remove(id + ".name");
        lock->remove();
    }
    // Newest first.
    std::stable_sort(ages.begin(), ages.end(), [](const auto& a, const auto& b) {
        return a.first.tv_sec != b.first.tv_sec ? a.first.tv_sec > b.first.tv_sec
                                                : a.first.tv_nsec > b.first.tv_nsec;
    });
    LeftIds sorted{{}, std::move(left.notes)};
    for (const auto& age : ages) sorted.copies.push_back(std::move(left.copies[age.second]));
    return sorted;
}

std::string RecoveryFolder::set_aside(const std::string& name, const std::string& why) {
    const std::string aside = name + kSetAside;
    const bool moved = ::renameat(fd_, name.c_str(), fd_, aside.c_str()) == 0;
    return why + (moved ? "; set aside as " + aside : "; left where it is");
}

void RecoveryFolder::remove(const std::string& name) { ::unlinkat(fd_, name.c_str(), 0); }

bool RecoveryFolder::rename(const std::string& from, const std::string& to) {
    return ::renameat(fd_, from.c_str(), fd_, to.c_str()) == 0;
}

}  // namespace dozu
