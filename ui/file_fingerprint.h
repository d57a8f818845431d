// What a program file held when the editor last read or wrote it, to tell
// later whether another program has changed it since: its size, the time it
// was last changed and a hash of its bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace dozu {

struct FileFingerprint {
    uint64_t size = 0;
    int64_t modified_ns = 0;  // since the epoch
    std::string hash;         // BLAKE2b-256 of the bytes, in hex
    bool operator==(const FileFingerprint&) const = default;
};

// Of the file that path names (its links followed, as a save follows them);
// nullopt when it is not a regular file that can be read, or is larger than
// max_size.
std::optional<FileFingerprint> fingerprint_of(const std::string& path, size_t max_size);

// Whether the file now holds other bytes than it held then. A file that is
// gone has not changed: nothing of it would be replaced.
bool changed_since(const std::string& path, const FileFingerprint& then);

}  // namespace dozu
