// The 3D view of a decoded model, for the page, the embed, the component
// and the one-file page alike: the editor's camera under the mouse (left
// turns, right pans, middle pans and zooms, the wheel zooms toward the
// pointer; a finger turns), an API for turning, zooming, resetting and
// fitting that keys and buttons call, and a message in the view where
// there is nothing to draw. It draws only when something changed.
import { BUTTON_LEFT, BUTTON_MIDDLE, BUTTON_RIGHT, Camera, depthRange, FIELD_OF_VIEW, TICK_MS } from './camera.js';
import { modelView, perspective } from './matrix.js';
import { renderer } from './renderer.js';

const BUTTONS = [BUTTON_LEFT, BUTTON_MIDDLE, BUTTON_RIGHT];
// A wheel's notch, 120 in the editor, as the browser's units count it.
const NOTCH = [120 / 100, 120 / 3, 120];

export class View {
  // container: the element the view fills, positioned.
  constructor(container) {
    this.container = container;
    this.canvas = document.createElement('canvas');
    this.message = document.createElement('div');
    const style = (element, properties) => Object.assign(element.style, properties);
    style(this.canvas, { display: 'block', width: '100%', height: '100%', touchAction: 'none' });
    style(this.message, {
      position: 'absolute',
      inset: '0',
      display: 'none',
      alignItems: 'center',
      justifyContent: 'center',
      padding: '12px',
      textAlign: 'center',
      color: '#8a1c1c',
      pointerEvents: 'none',
      zIndex: '1',
    });
    this.message.setAttribute('role', 'status');
    container.append(this.canvas, this.message);
    // Clear where nothing is drawn yet: the container's white shows.
    this.context = this.canvas.getContext('2d');
    this.renderer = renderer();
    this.camera = new Camera();
    this.model = null;
    this.shapes = null;
    this.mode = 'wire';
    this.text = '';
    this.frame = 0;
    this.lastTick = 0;
    this.onFrame = null;
    this.listen();
    this.renderer.add(this);
    this.resizer = new ResizeObserver(() => this.requestFrame());
    this.resizer.observe(container);
    this.contextChanged();
  }

  // A model from a decode ({ vertices, triangles, edges, bounds }), or
  // null. The first is shown at the start's view; later ones glide in.
  setModel(model) {
    const first = this.model === null;
    this.renderer.release(this.shapes);
    this.shapes = null;
    this.model = model;
    if (model && first) this.camera.settle(this.center());
    this.requestFrame();
  }

  // 'wire', 'solid' or 'edges'.
  setMode(mode) {
    this.mode = mode;
    this.requestFrame();
  }

  // A message in the view ('' for none): shown over the model.
  showMessage(text) {
    this.text = text;
    this.contextChanged();
  }

  turn(rightDegrees, upDegrees) {
    this.camera.turn(rightDegrees, upDegrees);
    this.requestFrame();
  }

  zoom(notches) {
    this.camera.wheel(120 * notches);
    this.requestFrame();
  }

  reset() {
    this.camera.reset();
    this.requestFrame();
  }

  // The whole model in view; nothing to fit leaves the camera as it is.
  fit() {
    const radius = this.radius();
    if (!this.model || !(radius > 0) || !Number.isFinite(radius)) return;
    const { width, height } = this.size();
    this.camera.fit(this.center(), radius, height > 0 ? width / height : 1);
    this.camera.settle(this.center());
    this.requestFrame();
  }

  dispose() {
    cancelAnimationFrame(this.frame);
    this.resizer.disconnect();
    this.renderer.release(this.shapes);
    this.renderer.remove(this);
    this.canvas.remove();
    this.message.remove();
  }

  center() {
    return this.model ? [...this.model.bounds.slice(0, 3)] : [0, 0, 0];
  }

  radius() {
    return this.model ? this.model.bounds[3] : 0;
  }

  size() {
    return { width: this.canvas.clientWidth, height: this.canvas.clientHeight };
  }

  // The renderer lost or got back its context, or the message changed.
  contextChanged() {
    const text = this.renderer.problem() || this.text;
    this.message.textContent = text;
    this.message.style.display = text ? 'flex' : 'none';
    if (this.renderer.problem()) this.shapes = null;
    this.requestFrame();
  }

  listen() {
    const canvas = this.canvas;
    const at = (event) => {
      const box = canvas.getBoundingClientRect();
      return [event.clientX - box.left, event.clientY - box.top];
    };
    canvas.addEventListener('pointerdown', (event) => {
      if (!event.isPrimary || event.button > 2) return;
      canvas.setPointerCapture(event.pointerId);
      this.camera.mouseMove(...at(event));
      this.camera.mouseDown(BUTTONS[event.button], ...at(event));
      this.requestFrame();
    });
    canvas.addEventListener('pointermove', (event) => {
      if (!event.isPrimary) return;
      this.camera.mouseMove(...at(event));
      if (this.camera.dragActive) this.requestFrame();
    });
    const up = (event) => {
      if (!event.isPrimary || !this.camera.dragActive) return;
      this.camera.mouseUp();
      this.requestFrame();
    };
    canvas.addEventListener('pointerup', up);
    canvas.addEventListener('pointercancel', up);
    canvas.addEventListener('contextmenu', (event) => event.preventDefault());
    canvas.addEventListener(
      'wheel',
      (event) => {
        event.preventDefault();
        const { width, height } = this.size();
        this.camera.wheelAt(-event.deltaY * NOTCH[event.deltaMode], ...at(event), width, height);
        this.requestFrame();
      },
      { passive: false },
    );
  }

  requestFrame() {
    if (!this.frame) this.frame = requestAnimationFrame((now) => this.draw(now));
  }

  // One frame: the camera's ticks since the last frame (the spin and the
  // view centre's glide), then the picture.
  draw(now) {
    this.frame = 0;
    const started = performance.now();
    const { width, height } = this.size();
    const scale = Math.min(window.devicePixelRatio || 1, 2);
    const w = Math.max(1, Math.round(width * scale));
    const h = Math.max(1, Math.round(height * scale));
    if (this.canvas.width !== w || this.canvas.height !== h) {
      this.canvas.width = w;
      this.canvas.height = h;
    }
    if (this.renderer.problem()) return;
    const camera = this.camera;
    const m = this.center();
    const r = this.radius();
    const t = camera.translation();
    const offset = Math.hypot(m[0] - camera.viewCenter[0], m[1] - camera.viewCenter[1], m[2] - camera.viewCenter[2]);
    const [near, far] = depthRange(Math.hypot(...t) + offset, r);
    const projection = perspective(FIELD_OF_VIEW, height > 0 ? width / height : 1, near, far);
    camera.measure(projection, width, height, r);
    // A frame after a pause takes one tick, as the editor's paint does;
    // frames in a row take as many as their time holds.
    let ticks = 1;
    if (!this.lastTick || now - this.lastTick > 8 * TICK_MS) {
      this.lastTick = now;
    } else {
      ticks = Math.floor((now - this.lastTick) / TICK_MS);
      this.lastTick += ticks * TICK_MS;
    }
    for (let i = 0; i < ticks; ++i) {
      camera.trackballTick();
      camera.recenter(m);
    }
    if (this.model && !this.shapes) this.shapes = this.renderer.upload(this.model);
    const view = modelView(t, camera.rotation(), camera.viewCenter);
    this.renderer.draw(this, w, h, this.shapes, projection, view, this.mode);
    if (camera.dragActive || !camera.settled(m)) this.requestFrame();
    else this.lastTick = 0;
    this.lastFrameMs = performance.now() - started;
    if (this.onFrame) this.onFrame();
  }
}
