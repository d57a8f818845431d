// The GL half of the view aids: each draws with lighting off and puts back
// the state it changed, so that the picture around it is drawn as
// without it.
#include <GL/gl.h>

#include "mesh/quad_mesh.h"
#include "scene/view_aids.h"

namespace dozu {

namespace {

const GLfloat kGrid[3] = {0.82f, 0.82f, 0.82f};
const GLfloat kAxisX[3] = {0.85f, 0.15f, 0.15f};
const GLfloat kAxisY[3] = {0.1f, 0.6f, 0.1f};
const GLfloat kAxisZ[3] = {0.15f, 0.3f, 0.9f};
const GLfloat kMarker[3] = {1.0f, 0.45f, 0.0f};
const GLfloat kEdges[3] = {0.1f, 0.1f, 0.2f};
constexpr GLfloat kAxisWidth = 2, kMarkerWidth = 3, kFocusWidth = 2;

}  // namespace

void draw_ground_grid(const GroundGrid& grid, bool depth_tested) {
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LINE_BIT);
    glDisable(GL_LIGHTING);
    if (depth_tested) glEnable(GL_DEPTH_TEST);
    const float h = grid.half_width();
    glColor3fv(kGrid);
    glBegin(GL_LINES);
    for (int k = -grid.half_lines; k <= grid.half_lines; ++k) {
        const float at = float(k) * grid.step;
        glVertex3f(at, -h, 0);
        glVertex3f(at, h, 0);
        glVertex3f(-h, at, 0);
        glVertex3f(h, at, 0);
    }
    glEnd();
    glLineWidth(kAxisWidth);
    glBegin(GL_LINES);
    glColor3fv(kAxisX);
    glVertex3f(0, 0, 0);
    glVertex3f(h, 0, 0);
    glColor3fv(kAxisY);
    glVertex3f(0, 0, 0);
    glVertex3f(0, h, 0);
    glColor3fv(kAxisZ);
    glVertex3f(0, 0, 0);
    glVertex3f(0, 0, h);
    glEnd();
    glPopAttrib();
}

void draw_turtle_marker(const TurtleMarker& m) {
    // Always in front: the turtle stands inside the cell it closes.
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LINE_BIT | GL_POLYGON_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glColor3fv(kMarker);
    glLineWidth(kMarkerWidth);
    glBegin(GL_LINES);
    glVertex3fv(m.base);
    glVertex3fv(m.tip);
    glVertex3fv(m.base);
    glVertex3fv(m.fin);
    glEnd();
    glBegin(GL_TRIANGLES);
    for (int i = 0; i < 4; ++i) {
        glVertex3fv(m.tip);
        glVertex3fv(m.head[i]);
        glVertex3fv(m.head[(i + 1) % 4]);
    }
    glEnd();
    glPopAttrib();
}

void draw_model(QuadMesh& mesh, const ViewOptions& options) {
    const bool solid = glIsEnabled(GL_LIGHTING);
    if (solid ? !options.show_edges : !options.hidden_lines) {
        mesh.draw();
        return;
    }
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_POLYGON_BIT | GL_DEPTH_BUFFER_BIT | GL_COLOR_BUFFER_BIT);
    // The faces a little farther than their edges, so that the edges win
    // the depth test.
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(1, 1);
    if (solid) {
        mesh.draw();
    } else {
        // The faces only hide: drawn into the depth buffer alone.
        glEnable(GL_DEPTH_TEST);
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        mesh.draw();
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    }
    glDisable(GL_POLYGON_OFFSET_FILL);
    glEnable(GL_POLYGON_OFFSET_LINE);
    glPolygonOffset(-1, -1);
    glDisable(GL_LIGHTING);
    glDepthFunc(GL_LEQUAL);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    if (solid) glColor3fv(kEdges);
    mesh.draw();
    glPopAttrib();
}

void draw_focus_frame(int w, int h, const float rgb[3]) {
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LINE_BIT | GL_TRANSFORM_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, w, 0, h, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glColor3fv(rgb);
    glLineWidth(kFocusWidth);
    glBegin(GL_LINE_LOOP);
    glVertex2f(1, 1);
    glVertex2f(float(w) - 1, 1);
    glVertex2f(float(w) - 1, float(h) - 1);
    glVertex2f(1, float(h) - 1);
    glEnd();
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glPopAttrib();
}

}  // namespace dozu
