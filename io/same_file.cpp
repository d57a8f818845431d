#include "io/same_file.h"

#include <sys/stat.h>

#include <cstdlib>

#include "io/file_io.h"

namespace dozu {

namespace {

// What a name stands for when it is written; none for what may be written
// more than once.
struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    std::string path;  // a file that does not exist yet
    bool operator==(const Identity&) const = default;
};

std::optional<Identity> identity(const std::string& name) {
    struct stat st;
    if (::stat(name.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) return std::nullopt;
        return Identity{st.st_dev, st.st_ino, {}};
    }
    std::string target;
    try {
        target = write_target(name);
    } catch (const FileError&) {
        return std::nullopt;  // a loop of links: no write gets through
    }
    const size_t slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    const std::string file = slash == std::string::npos ? target : target.substr(slash + 1);
    if (char* real = ::realpath(folder.c_str(), nullptr)) {
        target = std::string(real) + "/" + file;
        std::free(real);
    }
    return Identity{0, 0, target};
}

}  // namespace

bool same_file(const std::string& a, const std::string& b) { return first_same_file({a, b}).has_value(); }

std::optional<std::pair<size_t, size_t>> first_same_file(const std::vector<std::string>& names) {
    std::vector<std::optional<Identity>> ids;
    ids.reserve(names.size());
    for (const std::string& name : names) ids.push_back(identity(name));
    for (size_t j = 1; j < ids.size(); ++j)
        for (size_t i = 0; i < j; ++i)
            if (ids[i] && ids[j] && *ids[i] == *ids[j]) return std::pair{i, j};
    return std::nullopt;
}

}  // namespace dozu
