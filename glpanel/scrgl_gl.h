// The OpenGL wrappers: sglBegin, sglViewport, ... call the entry of the
// loaded driver. Without a loaded driver they do nothing and return zero.
#pragma once

#include "glpanel/scrgl_entries.h"

namespace dozu {

#define SGL_DECLARE_WRAPPER(result, name, params, args) result s##name params;
SGL_GL_ENTRIES(SGL_DECLARE_WRAPPER)
#undef SGL_DECLARE_WRAPPER

}  // namespace dozu
