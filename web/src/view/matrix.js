// 4x4 matrices, column-major as GL takes them, in the fixed-function
// forms the editor's view is built of.

export function perspective(fovDegrees, aspect, near, far) {
  const f = 1 / Math.tan((fovDegrees * Math.PI) / 360);
  const m = new Float64Array(16);
  m[0] = f / aspect;
  m[5] = f;
  m[10] = (far + near) / (near - far);
  m[11] = -1;
  m[14] = (2 * far * near) / (near - far);
  return m;
}

// translate(t) · rotate(degrees about axis) · translate(-c): the model-view
// of the camera's translation t, its rotation and the view centre c.
export function modelView(t, rotation, c) {
  const m = new Float64Array(16);
  let r = [1, 0, 0, 0, 1, 0, 0, 0, 1];
  if (rotation) {
    const [degrees, ax, ay, az] = rotation;
    const length = Math.hypot(ax, ay, az) || 1;
    const x = ax / length;
    const y = ay / length;
    const z = az / length;
    const a = (degrees * Math.PI) / 180;
    const cos = Math.cos(a);
    const sin = Math.sin(a);
    const k = 1 - cos;
    // columns
    r = [
      x * x * k + cos,
      y * x * k + z * sin,
      x * z * k - y * sin,
      x * y * k - z * sin,
      y * y * k + cos,
      y * z * k + x * sin,
      x * z * k + y * sin,
      y * z * k - x * sin,
      z * z * k + cos,
    ];
  }
  for (let col = 0; col < 3; ++col) for (let row = 0; row < 3; ++row) m[4 * col + row] = r[3 * col + row];
  for (let row = 0; row < 3; ++row) m[12 + row] = t[row] - (r[row] * c[0] + r[3 + row] * c[1] + r[6 + row] * c[2]);
  m[15] = 1;
  return m;
}
