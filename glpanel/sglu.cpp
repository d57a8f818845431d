#include "glpanel/sglu.h"

#include <cmath>
#include <numbers>
#include <utility>

#include "glpanel/scrgl_gl.h"

namespace dozu {

namespace {

void normalize(double v[3]) {
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length == 0.0) return;
    for (int i = 0; i < 3; ++i) v[i] /= length;
}

void cross(const double a[3], const double b[3], double out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

// Column-major 4 × 4 product a · b.
void multiply(const double a[16], const double b[16], double out[16]) {
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) sum += a[k * 4 + row] * b[column * 4 + k];
            out[column * 4 + row] = sum;
        }
}

// Gauss-Jordan elimination with partial pivoting on [m | I].
bool invert(const double m[16], double out[16]) {
    double a[4][8];
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column) {
            a[row][column] = m[column * 4 + row];
            a[row][column + 4] = row == column ? 1.0 : 0.0;
        }
    for (int column = 0; column < 4; ++column) {
        int pivot = column;
        for (int row = column + 1; row < 4; ++row)
            if (std::fabs(a[row][column]) > std::fabs(a[pivot][column])) pivot = row;
        if (a[pivot][column] == 0.0) return false;
        if (pivot != column) std::swap(a[pivot], a[column]);
        const double scale = 1.0 / a[column][column];
        for (double& value : a[column]) value *= scale;
        for (int row = 0; row < 4; ++row) {
            if (row == column) continue;
            const double factor = a[row][column];
            if (factor == 0.0) continue;
            for (int k = 0; k < 8; ++k) a[row][k] -= factor * a[column][k];
        }
    }
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column) out[column * 4 + row] = a[row][column + 4];
    return true;
}

}  // namespace

void sgluOrtho2D(double left, double right, double bottom, double top) {
    sglOrtho(left, right, bottom, top, -1.0, 1.0);
}

void sgluLookAt(double eyeX, double eyeY, double eyeZ, double centerX, double centerY, double centerZ, double upX,
                double upY, double upZ) {
    double z[3] = {eyeX - centerX, eyeY - centerY, eyeZ - centerZ};
    normalize(z);
    const double up[3] = {upX, upY, upZ};
    double x[3];
    cross(up, z, x);
    double y[3];
    cross(z, x, y);
    normalize(x);
    normalize(y);
    const double m[16] = {x[0], y[0], z[0], 0.0,  //
                          x[1], y[1], z[1], 0.0,  //
                          x[2], y[2], z[2], 0.0,  //
                          0.0,  0.0,  0.0,  1.0};
    sglMultMatrixd(m);
    sglTranslated(-eyeX, -eyeY, -eyeZ);
}

void sgluPerspective(double fovy, double aspect, double zNear, double zFar) {
    const double ymax = zNear * std::tan(fovy * std::numbers::pi / 360.0);
    const double ymin = -ymax;
    sglFrustum(ymin * aspect, ymax * aspect, ymin, ymax, zNear, zFar);
}

void sgluPickMatrix(double x, double y, double width, double height, const int viewport[4]) {
    // A region of no size would put infinities into the matrix.
    if (!viewport || !(width > 0.0) || !(height > 0.0)) return;
    const double vx = viewport[0], vy = viewport[1], vw = viewport[2], vh = viewport[3];
    const float m[16] = {float(vw / width),
                         0.0f,
                         0.0f,
                         0.0f,
                         0.0f,
                         float(vh / height),
                         0.0f,
                         0.0f,
                         0.0f,
                         0.0f,
                         1.0f,
                         0.0f,
                         float(((vx - x) * 2.0 + vw) / width),
                         float(((vy - y) * 2.0 + vh) / height),
                         0.0f,
                         1.0f};
    sglMultMatrixf(m);
}

int sgluUnProject(double winX, double winY, double winZ, const double model[16], const double proj[16],
                  const int viewport[4], double* objX, double* objY, double* objZ) {
    if (!model || !proj || !viewport || !objX || !objY || !objZ) return 0;
    double combined[16];
    multiply(proj, model, combined);
    double inverse[16];
    if (!invert(combined, inverse)) return 0;
    const double in[4] = {2.0 * (winX - viewport[0]) / viewport[2] - 1.0,
                          2.0 * (winY - viewport[1]) / viewport[3] - 1.0, 2.0 * winZ - 1.0, 1.0};
    double out[4];
    for (int row = 0; row < 4; ++row) {
        out[row] = 0.0;
        for (int k = 0; k < 4; ++k) out[row] += inverse[k * 4 + row] * in[k];
    }
    if (out[3] == 0.0) return 0;
    *objX = out[0] / out[3];
    *objY = out[1] / out[3];
    *objZ = out[2] / out[3];
    return 1;
}

}  // namespace dozu
