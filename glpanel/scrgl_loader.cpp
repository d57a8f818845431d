#include "glpanel/scrgl_loader.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>

#include "glpanel/scrgl_log.h"
#include "glpanel/scrgl_system.h"

namespace dozu {

namespace {

struct EntryName {
    const char* name;
    const char* symbol;
    // What the failure message says when the entry is missing.
    const char* missing;
};

// On X11 each window-system entry is bound to its GLX counterpart.
constexpr EntryName kWindowSystemEntries[] = {
    {"wglCreateContext", "glXCreateNewContext", "glCreateContext"},
    {"wglDeleteContext", "glXDestroyContext", "glDeleteContext"},
    {"wglMakeCurrent", "glXMakeCurrent", "glMakeCurrent"},
    {"wglSwapLayerBuffers", "glXSwapBuffers", "glSwapLayerBuffers"},
    {"wglSwapBuffers", "glXSwapBuffers", ""},
    {"wglChoosePixelFormat", "glXChooseFBConfig", ""},
    {"wglDescribePixelFormat", "glXGetFBConfigAttrib", ""},
    {"wglSetPixelFormat", "glXGetVisualFromFBConfig", ""},
};

constexpr const char* kGLEntryNames[] = {
#define SGL_ENTRY_NAME(result, name, params, args) #name,
    SGL_GL_ENTRIES(SGL_ENTRY_NAME)
#undef SGL_ENTRY_NAME
};

static_assert(std::size(kGLEntryNames) == 70);
static_assert(std::size(kWindowSystemEntries) == sglEntryCount - sglGLEntryCount);

struct Driver {
    void* library = nullptr;
    std::string name;
    bool style_3dfx = false;
    std::array<void*, sglEntryCount> table{};
};

Driver& driver() {
    static Driver d;
    return d;
}

std::string lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The log has always spelled these two this way; readers of it match on them.
std::string missing_gl_text(const char* name) {
    if (std::strcmp(name, "glFrustum") == 0) return "glFrustrum.";
    if (std::strcmp(name, "glPopMatrix") == 0) return "glPopMatric.";
    return std::string(name) + ".";
}

std::string missing_entries(const std::array<void*, sglEntryCount>& table) {
    std::string missing;
    for (int i = sglGLEntryCount; i < sglRequiredEntryCount; ++i)
        if (!table[size_t(i)]) missing += kWindowSystemEntries[i - sglGLEntryCount].missing;
    for (int i = 0; i < sglGLEntryCount; ++i)
        if (!table[size_t(i)]) missing += missing_gl_text(kGLEntryNames[i]);
    return missing;
}

void unload() {
    Driver& d = driver();
    glsystem::free_library(d.library);
    d.library = nullptr;
    // Pointers into a freed library must never be called.
    d.table.fill(nullptr);
}

}  // namespace

const char* sglEntryName(int entry) {
    if (entry < 0 || entry >= sglEntryCount) return "";
    if (entry < sglGLEntryCount) return kGLEntryNames[entry];
    return kWindowSystemEntries[entry - sglGLEntryCount].name;
}

const char* sglEntrySymbol(int entry) {
    if (entry < 0 || entry >= sglEntryCount) return "";
    if (entry < sglGLEntryCount) return kGLEntryNames[entry];
    return kWindowSystemEntries[entry - sglGLEntryCount].symbol;
}

void* sglEntryPointer(int entry) {
    if (entry < 0 || entry >= sglEntryCount) return nullptr;
    return driver().table[size_t(entry)];
}

void* sglLoadLibrary(const std::string& name) {
    Driver& d = driver();
    if (d.library) unload();
    d.name = name;
    void* library = glsystem::load_library(name);
    if (!library) return nullptr;
    d.style_3dfx = lower(name).find("3dfx") != std::string::npos;

    std::array<void*, sglEntryCount> table{};
    for (int i = 0; i < sglEntryCount; ++i) table[size_t(i)] = glsystem::find_symbol(library, sglEntrySymbol(i));

    const std::string missing = missing_entries(table);
    if (!missing.empty()) {
        glsystem::free_library(library);
        sglLog(0, "Failed to load " + name + ": " + missing);
        return nullptr;
    }
    d.library = library;
    d.table = table;
    return library;
}

void sglFreeLibrary() {
    if (driver().library) unload();
}

void* sglLibraryHandle() { return driver().library; }

const std::string& sglDriverName() { return driver().name; }

bool sglUses3dfxStyle() { return driver().style_3dfx; }

}  // namespace dozu
