#include "glpanel/scrgl_gl.h"

#include "glpanel/scrgl_loader.h"

namespace dozu {

#define SGL_DEFINE_WRAPPER(result, name, params, args)                                              \
    result s##name params {                                                                         \
        using Fn = result(*) params;                                                                \
        if (const auto fn = reinterpret_cast<Fn>(sglEntryPointer(sglEntry_##name))) return fn args; \
        return static_cast<result>(0);                                                              \
    }
SGL_GL_ENTRIES(SGL_DEFINE_WRAPPER)
#undef SGL_DEFINE_WRAPPER

}  // namespace dozu
