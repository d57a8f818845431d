#include "glpanel/scrgl_pixel_format.h"

#include "glpanel/scrgl_window_system.h"

namespace dozu {

namespace {

bool is_software(const TSglPixelFormatDescriptor& pfd) { return pfd.generic && !pfd.genericAccelerated; }

bool is_accelerated(const TSglPixelFormatDescriptor& pfd) { return pfd.genericAccelerated || !pfd.generic; }

bool is_full_hardware(const TSglPixelFormatDescriptor& pfd) { return !pfd.generic && !pfd.genericAccelerated; }

}  // namespace

int sglScorePixelFormat(const TSglPixelFormatDescriptor& pfd, int colorBits, int depthBits, int doubleBuffer,
                        int acceleration) {
    int score = 0;
    if (pfd.supportOpenGL && pfd.drawToWindow) score += 0x8000;
    if (depthBits == -1 || (depthBits > 0 && pfd.depthBits > 0)) score += 0x4000;
    if (doubleBuffer == -1 || (doubleBuffer == 0 && !pfd.doubleBuffer) || (doubleBuffer == 1 && pfd.doubleBuffer))
        score += 0x2000;
    if (acceleration == -1 || (acceleration == 0 && is_software(pfd)) ||
        (acceleration == 1 && is_accelerated(pfd)))
        score += 0x1000;
    if (colorBits == -1 || colorBits == pfd.colorBits) score += 0x800;
    if (depthBits == -1 || depthBits == pfd.depthBits) score += 0x400;
    if (pfd.rgba) score += 0x80;
    if (is_accelerated(pfd)) score += 0x40;
    if (pfd.colorBits >= 16) score += 0x20;
    if (pfd.depthBits >= 16) score += 0x10;
    if (pfd.colorBits == 16) score += 8;
    if (pfd.depthBits == 16) score += 4;
    if (is_full_hardware(pfd)) score += 2;
    if (pfd.drawToBitmap) score += 1;
    return score;
}

int sglPickPixelFormat(const std::vector<TSglPixelFormatDescriptor>& formats, int* colorBits, int* depthBits,
                       int* doubleBuffer, int* acceleration) {
    const int color = colorBits ? *colorBits : -1;
    const int depth = depthBits ? *depthBits : 16;
    const int dbl = doubleBuffer ? *doubleBuffer : -1;
    const int acc = acceleration ? *acceleration : 1;

    int best = 0;
    int best_score = 0;
    for (size_t i = 0; i < formats.size(); ++i) {
        const int score = sglScorePixelFormat(formats[i], color, depth, dbl, acc);
        if (score > best_score) {
            best_score = score;
            best = int(i) + 1;
        }
    }
    if (best == 0) return 0;

    const TSglPixelFormatDescriptor& chosen = formats[size_t(best) - 1];
    if (colorBits) *colorBits = chosen.colorBits;
    if (depthBits) *depthBits = chosen.depthBits;
    if (doubleBuffer) *doubleBuffer = chosen.doubleBuffer ? 1 : 0;
    if (acceleration) *acceleration = is_software(chosen) ? 0 : 1;
    return best;
}

int sglChoosePixelFormatEx(TSglDC dc, int* colorBits, int* depthBits, int* doubleBuffer, int* acceleration) {
    TSglPixelFormatDescriptor pfd;
    const int count = sglDescribePixelFormat(dc, 1, &pfd);
    if (count <= 0) return 0;
    std::vector<TSglPixelFormatDescriptor> formats(static_cast<size_t>(count));
    for (int i = 1; i <= count; ++i)
        if (sglDescribePixelFormat(dc, i, &formats[size_t(i) - 1]) <= 0) return 0;
    return sglPickPixelFormat(formats, colorBits, depthBits, doubleBuffer, acceleration);
}

}  // namespace dozu
