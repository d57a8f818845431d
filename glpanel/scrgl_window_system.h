// The window-system operations of the GL layer: pixel formats, contexts and
// buffer swaps, each through the loaded driver's entry where the driver has
// one, else through the platform's generic function. The first time a
// context of the generic driver is made current, the driver's vendor,
// renderer and version strings are read.
#pragma once

#include <string>

#include "glpanel/scrgl_platform.h"

namespace dozu {

int sglChoosePixelFormat(TSglDC dc, const TSglPixelFormatDescriptor& pfd);
// The number of formats; fills `pfd` when `format` is one of them.
int sglDescribePixelFormat(TSglDC dc, int format, TSglPixelFormatDescriptor* pfd);
bool sglSetPixelFormat(TSglDC dc, int format);
TSglRC sglCreateContext(TSglDC dc);
bool sglDeleteContext(TSglRC rc);
// A null context makes no context current.
bool sglMakeCurrent(TSglDC dc, TSglRC rc);
bool sglSwapBuffers(TSglDC dc);
bool sglSwapLayerBuffers(TSglDC dc, unsigned planes);
// The context made current last by sglMakeCurrent, or null.
TSglRC sglCurrentContext();

bool sglVendorKnown();
bool sglVendorQueried();
const std::string& sglVendor();
const std::string& sglRenderer();
const std::string& sglVersion();

}  // namespace dozu
