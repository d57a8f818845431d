// The folder of recovery copies, held open. It is used only when the user
// owns it and no one else may write in it; its files are reached by name in
// the open folder, never through a symbolic link, and nothing but regular
// files is opened. Each editor has its files under an id of its own:
// `<id>.tpg` (the copy), `<id>.name` (what it is a copy of) and `<id>.lock`,
// which the editor holds locked while it runs: a lock that nobody holds
// tells that its editor is gone. Names are bytes, as the system has them.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace dozu {

// A lock file held; let go when destroyed.
class FolderLock {
public:
    FolderLock(int folder, std::string name, int fd) : folder_(folder), name_(std::move(name)), fd_(fd) {}
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    // Removes the lock file, still held, so that nothing is left of it.
    void remove();

private:
    int folder_;
    std::string name_;
    int fd_;
};

class RecoveryFolder {
public:
    // Opens the folder, making it (mode 0700) and its parents when missing.
    // Throws FileError, saying why, when the folder cannot be made, is not
    // a folder, belongs to another user or others may write in it.
    explicit RecoveryFolder(const std::string& path);
    ~RecoveryFolder();
    RecoveryFolder(const RecoveryFolder&) = delete;
    RecoveryFolder& operator=(const RecoveryFolder&) = delete;

    int fd() const { return fd_; }
    // Why the folder may not be used now (it changed hands, or others may
    // write in it since it was opened); empty when it may.
    std::string problem() const;
    std::string path_of(const std::string& name) const { return path_ + "/" + name; }

    // The lock of a new id, held; throws FileError.
    std::unique_ptr<FolderLock> lock_new(const std::string& id);

    // The copies that editors no longer running left, newest first, each
    // with its lock held. On the way, what those editors left besides goes:
    // the temporary files of their writes, and the names and locks that
    // have no copy. A lock, copy or name that is not a regular file is set
    // aside (renamed with ".set-aside"), unopened, and a note says so.
    struct LeftIds {
        std::vector<std::pair<std::string, std::unique_ptr<FolderLock>>> copies;
        std::vector<std::string> notes;
    };
    LeftIds take_left(const std::string& own_id);

    // Renames the file out of the way; the note says why (given as one line
    // that names the file) and where it went.
    std::string set_aside(const std::string& name, const std::string& why);
    void remove(const std::string& name);
    // Renames within the folder; false when that failed.
    bool rename(const std::string& from, const std::string& to);

private:
    std::unique_ptr<FolderLock> lock_left(const std::string& id, std::vector<std::string>& notes);

    std::string path_;
    int fd_ = -1;
};

}  // namespace dozu
