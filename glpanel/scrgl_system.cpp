#include "glpanel/scrgl_system.h"

#include <dlfcn.h>
#include <fenv.h>
#include <glob.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdlib>

namespace dozu::glsystem {

namespace {

constexpr const char* kGenericName = "opengl32.dll";
constexpr const char* kGenericLibrary = "libGL.so.1";

std::string lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

void* load_library(const std::string& name) {
    const std::string file = lower(name) == kGenericName ? kGenericLibrary : name;
    // GL libraries register callbacks with Xlib that run when a display is
    // closed; unmapping their code before that would crash the process.
    return dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
}

void free_library(void* library) {
    if (library) dlclose(library);
}

void* find_symbol(void* library, const char* name) {
    if (!library) return nullptr;
    return dlsym(library, name);
}

void* generic_library() {
    static void* const library = load_library(kGenericName);
    return library;
}

bool is_generic_library_file(const std::string& file_name) {
    return file_name == kGenericLibrary || lower(file_name) == kGenericName;
}

void set_environment(const char* name, const char* value) {
    const char* old = std::getenv(name);
    if (old && std::string(old) == value) return;
    setenv(name, value, 1);
}

void mask_fpu_exceptions() {
#if defined(__GLIBC__)
    fedisableexcept(FE_ALL_EXCEPT);
#endif
}

std::string application_folder() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    const std::string exe(path, size_t(n));
    const size_t slash = exe.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : exe.substr(0, slash);
}

std::string system_library_folder() { return DOZU_SYSTEM_LIBDIR; }

std::string common_library_folder() { return "/usr/lib"; }

std::vector<std::string> find_files(const std::string& pattern) {
    std::vector<std::string> files;
    glob_t found{};
    if (glob(pattern.c_str(), 0, nullptr, &found) == 0)
        for (size_t i = 0; i < found.gl_pathc; ++i) files.emplace_back(found.gl_pathv[i]);
    globfree(&found);
    return files;
}

FileVersionInfo file_version_info(const std::string&) { return {}; }

}  // namespace dozu::glsystem
