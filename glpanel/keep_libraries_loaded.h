// Keeps every library loaded so far mapped until the process ends. A GL
// driver that is unloaded with its display (eglTerminate, XCloseDisplay)
// would take the roots of its remaining allocations and the names of its
// frames with it, and LeakSanitizer would report them at exit as leaks of
// an unknown module. Header-only, for the batch tool's offscreen GL too.
#pragma once

#include <dlfcn.h>
#include <link.h>

namespace dozu {

inline void keep_libraries_loaded() {
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            if (info->dlpi_name && info->dlpi_name[0] == '/')
                dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}

}  // namespace dozu
