// Whole-file reads with a size limit, and atomic writes: the new contents go
// to a temporary file beside the target, which replaces the target only
// after everything was written and flushed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace dozu {

// A file that could not be read or written; the message is one line that
// names the file and says what is wrong.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::vector<uint8_t> read_file(const std::string& path, size_t max_size);

void write_file_atomic(const std::string& path, const void* data, size_t size);
inline void write_file_atomic(const std::string& path, const std::vector<uint8_t>& bytes) {
    write_file_atomic(path, bytes.data(), bytes.size());
}
inline void write_file_atomic(const std::string& path, const std::string& text) {
    write_file_atomic(path, text.data(), text.size());
}

}  // namespace dozu
