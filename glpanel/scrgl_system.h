// Operating-system services of the GL layer: loading libraries and looking
// up their symbols, environment, floating-point control, the folders the
// driver search looks in, and file version information.
#pragma once

#include <string>
#include <vector>

namespace dozu::glsystem {

// Loads a library by name. The name "opengl32.dll" (any letter case) stands
// for the system's generic OpenGL library. Returns null on failure.
void* load_library(const std::string& name);
void free_library(void* library);
// The library's symbols (and those of the libraries it needs); null for
// names it does not define.
void* find_symbol(void* library, const char* name);
// The system's generic OpenGL library, loaded once and kept.
void* generic_library();
// Whether a file name (no folder) is the generic library's or "opengl32.dll".
bool is_generic_library_file(const std::string& file_name);

void set_environment(const char* name, const char* value);
// From here on a division by zero gives an infinity or a NaN, not a fault.
void mask_fpu_exceptions();

std::string application_folder();
std::string system_library_folder();  // where the system keeps its libraries
std::string common_library_folder();  // the folder above it
// Files matching a pattern with wildcards, in name order.
std::vector<std::string> find_files(const std::string& pattern);

struct FileVersionInfo {
    std::string company;
    std::string description;
    std::string version;
};
// Linux libraries carry no version resource: all fields stay empty.
FileVersionInfo file_version_info(const std::string& file);

}  // namespace dozu::glsystem
