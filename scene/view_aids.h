// What the 3D view can show besides the plain picture, each off unless
// asked for: a marker where the turtle stands, the axes with a ground grid,
// the edges over the solid output and the wireframe without hidden lines.
// The shapes are worked out here as plain data; view_aids_gl.cpp draws
// them.
#pragma once

#include <cstdint>

namespace dozu {

class QuadMesh;
class turtle;
struct stack_frame;

struct ViewOptions {
    bool show_turtle = false;     // the marker at the turtle's position and heading
    bool show_axes_grid = false;  // the axes at the origin and a grid on z = 0
    bool show_edges = false;      // the quads' edges over the solid output
    bool hidden_lines = false;    // the wireframe without what faces hide
};

// An arrow from the turtle's position along its heading, with a head of
// four triangles and a fin along the turtle's up: where the next cell goes
// and which way it turns.
struct TurtleMarker {
    float base[3];
    float tip[3];
    float head[4][3];  // the head's corners around the shaft
    float fin[3];      // the end of the fin, which starts at the base
};

// The marker for the turtle's state, a little longer than a cell and
// never lost in nor larger than a model of the given bounding radius.
TurtleMarker turtle_marker(const stack_frame& state, float model_radius);

// A square grid on z = 0 centred on the origin: lines at k * step for
// |k| <= half_lines in x and in y, wide enough for the model's footprint.
struct GroundGrid {
    float step;
    int half_lines;
    float half_width() const { return step * float(half_lines); }
};
GroundGrid ground_grid(const turtle& t);

// The GL drawing, in the model's frame and the state the scene left.
// Depth tested, what the depth buffer holds hides it.
void draw_ground_grid(const GroundGrid& grid, bool depth_tested);
void draw_turtle_marker(const TurtleMarker& marker);
// The output mesh as the options say: with edges over the solid output,
// without hidden lines as wireframe, or plainly.
void draw_model(QuadMesh& mesh, const ViewOptions& options);
// A frame along the w x h view's border, drawn while the view has the
// keyboard focus.
void draw_focus_frame(int w, int h, const float rgb[3]);

}  // namespace dozu
