// Look-at, perspective, 2D orthographic projection, pick matrix and
// un-projection on the GL layer's own entry points, with the meaning of the
// GL utility library's functions of the same names without the s.
#pragma once

namespace dozu {

void sgluOrtho2D(double left, double right, double bottom, double top);
void sgluLookAt(double eyeX, double eyeY, double eyeZ, double centerX, double centerY, double centerZ, double upX,
                double upY, double upZ);
void sgluPerspective(double fovy, double aspect, double zNear, double zFar);
// Does nothing for a width or height that is not positive.
void sgluPickMatrix(double x, double y, double width, double height, const int viewport[4]);
// Returns 1 and the object coordinates, or 0 when projection × model-view
// cannot be inverted or the point lies at infinity.
int sgluUnProject(double winX, double winY, double winZ, const double model[16], const double proj[16],
                  const int viewport[4], double* objX, double* objY, double* objZ);

}  // namespace dozu
