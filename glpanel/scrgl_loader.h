// The driver loader: one OpenGL driver library per process, loaded by name
// at run time, with a table of the entry points the GL layer calls. A
// driver that lacks a required entry is not kept.
#pragma once

#include <string>

#include "glpanel/scrgl_entries.h"

namespace dozu {

// Table positions: the 70 OpenGL entries, then the 8 window-system ones.
enum TSglEntry : int {
#define SGL_ENTRY_INDEX(result, name, params, args) sglEntry_##name,
    SGL_GL_ENTRIES(SGL_ENTRY_INDEX)
#undef SGL_ENTRY_INDEX
        sglEntry_wglCreateContext,
    sglEntry_wglDeleteContext,
    sglEntry_wglMakeCurrent,
    sglEntry_wglSwapLayerBuffers,
    sglEntry_wglSwapBuffers,
    sglEntry_wglChoosePixelFormat,
    sglEntry_wglDescribePixelFormat,
    sglEntry_wglSetPixelFormat,
    sglEntryCount
};

constexpr int sglGLEntryCount = sglEntry_wglCreateContext;
// The GL entries and the first four window-system entries are required.
constexpr int sglRequiredEntryCount = sglEntry_wglSwapBuffers;

// The entry's name in the table ("glBegin", "wglCreateContext").
const char* sglEntryName(int entry);
// The symbol it is bound to in the library ("glBegin", "glXCreateNewContext").
const char* sglEntrySymbol(int entry);
// The entry of the loaded driver; null when absent or when none is loaded.
void* sglEntryPointer(int entry);

// Loads the named driver in place of the current one. Returns its handle,
// or null when it cannot be loaded or lacks required entries.
void* sglLoadLibrary(const std::string& name);
void sglFreeLibrary();
void* sglLibraryHandle();
// The name passed to the last load.
const std::string& sglDriverName();
// Whether the last loaded driver's name contains "3dfx" (any letter case).
bool sglUses3dfxStyle();

}  // namespace dozu
