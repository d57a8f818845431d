// The editor's camera: the model moved, not the eye. Pan and zoom in eye
// space, a rotation held as a quaternion and driven by a trackball with
// inertia, and a view centre that glides to the model. Pointer handlers
// only record positions; the motion is applied once per tick of 25 ms, as
// the editor paints. Pure math: the drawing is the renderer's.

export const FIELD_OF_VIEW = 55; // degrees, vertical
export const TICK_MS = 25;
export const BUTTON_LEFT = 0;
export const BUTTON_RIGHT = 1;
export const BUTTON_MIDDLE = 2;

const PAN_PER_PIXEL = 0.025;
const BALL_SCALE = 0.75;
const EYE_DISTANCE = 5;
const RESET_HALF_ANGLE = 0.785395026;
const WHEEL_STEP = 0.9; // eye distance kept per notch up
const MIN_EYE_DISTANCE = 0.25; // twice the near plane
const FIT_MARGIN = 1.1;
const NEAR = 0.125;
const FAR = 100;

// Hamilton product a·b of quaternions [w, x, y, z].
export function quaternionProduct(a, b) {
  return [
    a[0] * b[0] - (a[1] * b[1] + a[2] * b[2] + a[3] * b[3]),
    a[2] * b[3] - a[3] * b[2] + a[0] * b[1] + b[0] * a[1],
    a[3] * b[1] - a[1] * b[3] + a[0] * b[2] + b[0] * a[2],
    a[1] * b[2] - a[2] * b[1] + a[0] * b[3] + b[0] * a[3],
  ];
}

// The angles of a ball position inside the sphere, or null.
function ballAngles(x, y) {
  if (!(1 - y * y > 0) || !(1 - x * x > 0)) return null;
  const s = x / Math.sqrt(1 - y * y);
  const t = y / Math.sqrt(1 - x * x);
  if (!(Math.abs(s) < 1) || !(Math.abs(t) < 1)) return null;
  return [Math.asin(s), Math.asin(t)];
}

// The perspective's near and far planes: the fixed 0.125 and 100 while
// they hold the model's sphere, else a far plane past it and a near plane
// halfway to its front.
export function depthRange(centreDistance, radius) {
  const reach = centreDistance + radius;
  if (!(reach > FAR) || !Number.isFinite(reach)) return [NEAR, FAR];
  const far = reach * 1.01;
  return [Math.max(NEAR, (centreDistance - radius) / 2, far * 1e-6), far];
}

export class Camera {
  constructor() {
    this.panX = 0;
    this.panY = 0;
    this.zoom = 0;
    this.dragActive = false;
    this.dragButton = BUTTON_LEFT;
    this.dragOrigin = [0, 0, 0, 0, 0]; // x, y, panX, panY, zoom at the press
    this.ballX = 0;
    this.ballY = 0;
    this.screenCenterX = 0;
    this.screenCenterY = 0;
    this.screenRadius = 1;
    this.trackball = { axisX: 0, axisY: 0, speed: 0, lastX: 0, lastY: 0, primed: false };
    this.orientation = [1, 0, 0, 0];
    this.viewCenter = [0, 0, 0];
    this.reset();
  }

  // Orientation and pan back to the start: the model's +z up the screen,
  // its +y into it. A spin in progress goes on.
  reset() {
    const h = RESET_HALF_ANGLE;
    this.orientation = [-Math.cos(h), Math.sin(h), 0, 0];
    this.panX = this.panY = this.zoom = 0;
  }

  mouseDown(button, x, y) {
    this.dragActive = true;
    this.dragButton = button;
    this.dragOrigin = [x, y, this.panX, this.panY, this.zoom];
  }

  mouseUp() {
    this.dragActive = false;
  }

  mouseMove(x, y) {
    const [x0, y0, panX, panY, zoom] = this.dragOrigin;
    if (this.dragActive && this.dragButton !== BUTTON_LEFT) {
      this.panX = (x - x0) * PAN_PER_PIXEL + panX;
      if (this.dragButton === BUTTON_RIGHT) this.panY = (y - y0) * PAN_PER_PIXEL + panY;
      else this.zoom = (y - y0) * PAN_PER_PIXEL + zoom;
    }
    const k = BALL_SCALE / this.screenRadius;
    this.ballX = (this.screenCenterX - x) * k;
    this.ballY = (this.screenCenterY - y) * k;
  }

  // The wheel: each notch (120) up brings the eye a tenth closer.
  wheel(delta) {
    const distance = Math.max(this.zoom + EYE_DISTANCE, MIN_EYE_DISTANCE);
    this.zoom = Math.max(distance * WHEEL_STEP ** (delta / 120), MIN_EYE_DISTANCE) - EYE_DISTANCE;
  }

  // The same with the pointer at (x, y) of a w x h view: the model point
  // under it, at the depth of the model's origin, stays under it.
  wheelAt(delta, x, y, w, h) {
    const before = Math.max(this.zoom + EYE_DISTANCE, MIN_EYE_DISTANCE);
    this.wheel(delta);
    if (w <= 0 || h <= 0) return;
    const k = (this.zoom + EYE_DISTANCE) / before - 1;
    const tanHalf = Math.tan((FIELD_OF_VIEW * Math.PI) / 360);
    this.panX += ((2 * x) / w - 1) * tanHalf * (w / h) * before * k;
    this.panY -= (1 - (2 * y) / h) * tanHalf * before * k;
  }

  // Turns the model about the eye's vertical axis (to the right) and its
  // horizontal axis (the front up), as the arrow keys do.
  turn(rightDegrees, upDegrees) {
    const about = (degrees, ax, ay) => {
      const h = (degrees * Math.PI) / 360;
      return [Math.cos(h), Math.sin(h) * ax, Math.sin(h) * ay, 0];
    };
    this.orientation = quaternionProduct(about(rightDegrees, 0, 1), this.orientation);
    this.orientation = quaternionProduct(about(upDegrees, -1, 0), this.orientation);
  }

  // Frames a model of bounding sphere (center, radius) in a view of the
  // given aspect: no pan, the view centre on the model, the eye just far
  // enough to see all of it.
  fit(center, radius, aspect) {
    const halfHeight = (FIELD_OF_VIEW * Math.PI) / 360;
    const halfWidth = Math.atan(Math.tan(halfHeight) * (aspect > 0 ? aspect : 1));
    const distance = (FIT_MARGIN * radius) / Math.sin(Math.min(halfHeight, halfWidth));
    this.panX = this.panY = 0;
    this.zoom = Math.max(distance, MIN_EYE_DISTANCE) - EYE_DISTANCE;
    this.viewCenter = [...center];
  }

  // The model-view translation.
  translation() {
    return [this.panX, -this.panY, -(this.zoom + EYE_DISTANCE)];
  }

  // Measures the model's origin and its bounding radius r on screen
  // through the projection (column-major) of a w x h view.
  measure(projection, w, h, r) {
    if (w <= 0 || h <= 0) return;
    const t = this.translation();
    const toWindow = (p) => {
      const P = projection;
      const cw = P[3] * p[0] + P[7] * p[1] + P[11] * p[2] + P[15];
      const nx = (P[0] * p[0] + P[4] * p[1] + P[8] * p[2] + P[12]) / cw;
      const ny = (P[1] * p[0] + P[5] * p[1] + P[9] * p[2] + P[13]) / cw;
      return [(w * (nx + 1)) / 2, (h * (1 - ny)) / 2];
    };
    const c = toWindow(t);
    const e = toWindow([t[0] + r, t[1], t[2]]);
    if (!Number.isFinite(c[0]) || !Number.isFinite(c[1]) || !Number.isFinite(e[0])) return;
    [this.screenCenterX, this.screenCenterY] = c;
    this.screenRadius = Math.abs(e[0] - c[0]);
  }

  // One tick of the trackball: the new delta enters with gain g while the
  // left button drags, the old spin is damped.
  trackballTick() {
    const rotating = this.dragActive && this.dragButton === BUTTON_LEFT;
    const g = rotating ? 0.9 : 0;
    const d = rotating ? 0.1 : 0.2;
    const T = this.trackball;
    if (T.primed) {
      let du = 0;
      let dv = 0;
      const before = ballAngles(T.lastX, T.lastY);
      const now = before && ballAngles(this.ballX, this.ballY);
      if (now) {
        du = now[1] - before[1];
        dv = now[0] - before[0];
      }
      T.speed = (1 - g) * (1 - d) * T.speed;
      T.axisX = T.speed * T.axisX + g * du;
      T.axisY = T.speed * T.axisY + g * dv;
      T.speed = Math.hypot(T.axisX, T.axisY);
      if (T.speed !== 0) {
        T.axisX /= T.speed;
        T.axisY /= T.speed;
      }
    }
    T.lastX = this.ballX;
    T.lastY = this.ballY;
    T.primed = true;
    const h = T.speed / 2;
    const q = [-Math.cos(h), Math.sin(h) * T.axisX, Math.sin(h) * T.axisY, 0];
    this.orientation = quaternionProduct(q, this.orientation);
  }

  // Moves the view centre a quarter of the way to m.
  recenter(m) {
    this.viewCenter = this.viewCenter.map((c, i) => (m[i] + c + c + c) * 0.25);
  }

  // True when another tick would move nothing that can be seen.
  settled(m) {
    if (this.trackball.speed * Math.max(this.screenRadius, 1) >= 0.01) return false;
    return this.viewCenter.every((c, i) => Math.abs(c - m[i]) <= 1e-6 * (1 + Math.abs(m[i])));
  }

  // The view centre at m at once, and a coasting spin stopped.
  settle(m) {
    this.viewCenter = [...m];
    if (!(this.dragActive && this.dragButton === BUTTON_LEFT)) this.trackball.speed = 0;
  }

  // The rotation that stands for the orientation: [degrees, x, y, z], or
  // null for none.
  rotation() {
    const [w, x, y, z] = this.orientation;
    if (x === 0 && y === 0 && z === 0) return null;
    const alpha = Math.acos(Math.min(1, Math.max(-1, w)));
    const s = Math.sin(alpha) || 1;
    return [(alpha * 360) / Math.PI, x / s, y / s, z / s];
  }
}
