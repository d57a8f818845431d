// Pixel-format choice: every format the window system offers is scored
// against the wanted colour bits, depth bits, double buffering and
// acceleration, and the best one wins. The scoring works on plain
// descriptors, so it needs no window system.
#pragma once

#include <vector>

namespace dozu {

struct TSglCanvas;
using TSglDC = TSglCanvas*;

// What the window system tells about one pixel format.
struct TSglPixelFormatDescriptor {
    bool supportOpenGL = false;
    bool drawToWindow = false;
    bool drawToBitmap = false;
    bool doubleBuffer = false;
    bool rgba = false;                // RGBA, not colour-index
    bool generic = false;             // drawn by the system's software renderer
    bool genericAccelerated = false;  // software renderer helped by hardware
    int colorBits = 0;
    int depthBits = 0;
};

// The score of one format; -1 in a wanted value means "any".
int sglScorePixelFormat(const TSglPixelFormatDescriptor& pfd, int colorBits, int depthBits, int doubleBuffer,
                        int acceleration);

// Picks from formats numbered 1, 2, ... in list order. Absent pointers stand
// for colour -1, depth 16, double buffering -1, acceleration 1. Returns the
// number of the best format (the lower number on equal scores) and writes
// its actual values back through the pointers that are present, or returns
// 0 and writes nothing when no format scored above 0.
int sglPickPixelFormat(const std::vector<TSglPixelFormatDescriptor>& formats, int* colorBits, int* depthBits,
                       int* doubleBuffer, int* acceleration);

// sglPickPixelFormat over the formats that the device context offers.
int sglChoosePixelFormatEx(TSglDC dc, int* colorBits, int* depthBits, int* doubleBuffer, int* acceleration);

}  // namespace dozu
