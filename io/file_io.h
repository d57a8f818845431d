// Whole-file reads with a size limit, and safe writes: a regular file is
// replaced atomically (the new contents go to a temporary file beside it,
// which replaces it only after everything was written and flushed), while a
// character device, a FIFO or a socket is written in place. Files kept in a
// folder of the program's own are read and written by name in the open
// folder, never through a symbolic link. The signals that end a process
// remove the temporary file of a write in progress.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "io/byte_sink.h"

namespace dozu {

// A file that could not be read or written; the message is one line that
// names the file and says what is wrong.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A regular file only.
std::vector<uint8_t> read_file(const std::string& path, size_t max_size);
// Everything an open descriptor gives (standard input), up to max_size
// bytes; name is what messages call it.
std::vector<uint8_t> read_descriptor(int fd, const std::string& name, size_t max_size);

using FillSink = std::function<void(ByteSink&)>;

// Writes what fill puts into its sink to path, through symbolic links (also
// one whose file does not exist yet, which is made where it points). A
// regular file or a name that does not exist yet is replaced atomically,
// keeping an existing file's permissions and, where the system allows,
// its owner and group (a new one gets the permissions of a plain create
// under the umask); a character device, a FIFO or a socket is written in
// place; anything else is refused, and so is a regular file that may not
// be written or whose mode has no write permission at all (even for root).
// Throws FileError; when fill or a write fails, a regular file stays as it
// was and no temporary file is left.
void write_file(const std::string& path, const FillSink& fill);
// The name that write_file writes for path: its symbolic links followed,
// those whose file does not exist yet too.
std::string write_target(const std::string& path);
// To a descriptor that stays open (standard output); name is for messages.
void write_descriptor(int fd, const std::string& name, const FillSink& fill);

// In the open folder (a descriptor), the file of that name (no slash), not
// followed when it is a symbolic link: a regular file only, read without
// opening anything else (a FIFO, a device). Throws FileError; path is what
// messages call the file.
std::vector<uint8_t> read_file_in(int folder, const std::string& name, const std::string& path, size_t max_size);
// Writes the file of that name in the open folder atomically, with the given
// permissions: the temporary file is created new (never through a link), then
// renamed over the name, which replaces a link rather than the file it
// points at. Throws FileError; no temporary file is left.
void write_file_in(int folder, const std::string& name, const std::string& path, unsigned mode,
                   const FillSink& fill);

// From now on SIGINT, SIGTERM and SIGHUP remove the temporary file of the
// write in progress, then end the process as they would have. A signal that
// is ignored or handled elsewhere is left alone. Call once, early in main.
void remove_temporary_file_on_signals();
// For a process with an event loop: from now on the first SIGINT, SIGTERM or
// SIGHUP is handed on as its number, one byte written to fd (the write end
// of a pipe that does not block), so that the loop can end the process in
// its own time; a second one of a kind ends it at once, as above. fd -1
// goes back to ending at once. Signals ignored or handled elsewhere are left
// alone.
void hand_stop_signals_to(int fd);
// Ends the process as the signal ends it, after removing the temporary file
// of a write in progress.
[[noreturn]] void end_by_signal(int signal);

inline void write_file_atomic(const std::string& path, const void* data, size_t size) {
    write_file(path, [&](ByteSink& sink) { sink.write(data, size); });
}
inline void write_file_atomic(const std::string& path, const std::vector<uint8_t>& bytes) {
    write_file_atomic(path, bytes.data(), bytes.size());
}
inline void write_file_atomic(const std::string& path, const std::string& text) {
    write_file_atomic(path, text.data(), text.size());
}

}  // namespace dozu
