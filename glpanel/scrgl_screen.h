// Full-screen use and the 3dfx path of the GL panel: the render size a 3dfx
// board gets for a screen height, the cursor mapping while the mouse is
// confined to the panel, and the desktop services behind them. An X11
// desktop keeps its display mode and its pointer to itself, so those
// services change nothing here; the decisions stay the same.
#pragma once

namespace dozu {

struct TSglSize {
    int width = 0;
    int height = 0;
    bool operator==(const TSglSize&) const = default;
};

struct TSglPoint {
    int x = 0;
    int y = 0;
    bool operator==(const TSglPoint&) const = default;
};

// The fixed render size of a 3dfx board for the wanted screen height.
TSglSize sgl3dfxRenderSize(int screenHeight);

// Where a screen cursor position lands in the confined panel of size
// `panel` whose client origin is `origin`, and back.
TSglPoint sglConfinedCursor(TSglPoint cursor, TSglSize panel, TSglSize screen, TSglPoint origin);
TSglPoint sglReleasedCursor(TSglPoint cursor, TSglSize panel, TSglSize screen, TSglPoint origin);
// The mouse acceleration while confined, scaled by the panel's share of
// the screen width.
int sglConfinedAcceleration(int acceleration, TSglSize panel, TSglSize screen);

// A display-mode request; -1 leaves a value as it is.
struct TSglDisplayMode {
    int width = -1;
    int height = -1;
    int bpp = -1;
    bool operator==(const TSglDisplayMode&) const = default;
};

namespace glscreen {

// Whether the display could switch to the mode; never on X11.
bool test_display_mode(const TSglDisplayMode& mode);
bool apply_display_mode(const TSglDisplayMode& mode);
void restore_display_mode();

bool cursor_position(TSglPoint& position);
void move_cursor(TSglPoint position);
// Confines the cursor to a rectangle of the screen; a size of 0 frees it.
void confine_cursor(TSglPoint origin, TSglSize size);
int mouse_acceleration();
void set_mouse_acceleration(int acceleration);

}  // namespace glscreen
}  // namespace dozu
