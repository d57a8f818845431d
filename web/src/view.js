// The 3D view of a decoded model, drawn by three.js as dozu's editor draws
// it: a black wireframe of the quads on white, or a lit blue solid; a 55
// degree perspective; the camera starting where the editor's does (the
// turtle's first heading pointing up, five units from the model's centre).
// OrbitControls turns it with the mouse or a finger. It draws only when
// something changed.
import {
  AmbientLight,
  BufferAttribute,
  BufferGeometry,
  Color,
  ColorManagement,
  DirectionalLight,
  FrontSide,
  InterleavedBuffer,
  InterleavedBufferAttribute,
  LineBasicMaterial,
  LineSegments,
  LinearSRGBColorSpace,
  Mesh,
  MeshPhongMaterial,
  PerspectiveCamera,
  Scene,
  Sphere,
  Vector3,
  WebGLRenderer,
} from 'three';
import { OrbitControls } from 'three/examples/jsm/controls/OrbitControls.js';

export const FIELD_OF_VIEW = 55;
const EYE_DISTANCE = 5;
const FIT_MARGIN = 1.1;
const NEAR = 0.125;
const FAR = 100;

export class NoWebGL extends Error {}

ColorManagement.enabled = false;

export class View {
  // container: the element the canvas fills.
  constructor(container) {
    const canvas = document.createElement('canvas');
    // A context lost later shows nothing rather than throwing.
    canvas.addEventListener('webglcontextlost', (e) => e.preventDefault());
    if (!canvas.getContext('webgl2', { antialias: false }))
      throw new NoWebGL('This browser cannot draw the model: WebGL 2 is not available.');
    this.renderer = new WebGLRenderer({ canvas, antialias: false });
    this.renderer.outputColorSpace = LinearSRGBColorSpace;
    this.renderer.setClearColor(0xffffff, 1);
    this.renderer.setPixelRatio(Math.min(window.devicePixelRatio || 1, 2));
    canvas.className = 'dozu-canvas';
    canvas.style.display = 'block';
    canvas.style.width = canvas.style.height = '100%';
    canvas.style.touchAction = 'none';
    container.appendChild(canvas);
    this.container = container;

    this.scene = new Scene();
    this.scene.background = new Color(1, 1, 1);
    this.camera = new PerspectiveCamera(FIELD_OF_VIEW, 1, NEAR, FAR);
    this.camera.up.set(0, 0, 1);
    // A light from the viewer's upper left, as the editor's solid view has.
    const light = new DirectionalLight(0xffffff, 0.8 * Math.PI);
    light.position.set(-0.4, 0.5, 1);
    this.camera.add(light);
    this.scene.add(this.camera, new AmbientLight(0xffffff, 0.2 * Math.PI));

    this.wireMaterial = new LineBasicMaterial({ color: 0x000000, depthTest: false });
    this.solidMaterial = new MeshPhongMaterial({
      color: new Color(0.45, 0.45, 0.8),
      specular: new Color(0.35, 0.35, 0.35),
      shininess: 24,
      side: FrontSide,
    });
    this.solid = false;
    this.objects = null;
    this.center = new Vector3();
    this.radius = 0;
    this.lastFrameMs = 0;

    this.controls = new OrbitControls(this.camera, canvas);
    this.controls.addEventListener('change', () => this.requestFrame());
    this.resetCamera();
    this.resizeObserver = new ResizeObserver(() => this.resize());
    this.resizeObserver.observe(container);
    this.resize();
  }

  resize() {
    const w = Math.max(1, this.container.clientWidth);
    const h = Math.max(1, this.container.clientHeight);
    this.renderer.setSize(w, h, false);
    this.camera.aspect = w / h;
    this.camera.updateProjectionMatrix();
    this.requestFrame();
  }

  // A model from a decode: its vertices and the drawing made of them.
  setMesh(vertices, drawing) {
    const first = this.objects === null;
    if (this.objects) for (const o of this.objects) o.geometry.dispose();
    const positions = new InterleavedBufferAttribute(new InterleavedBuffer(vertices, 6), 3, 3);
    const sphere = new Sphere(new Vector3(...drawing.center), drawing.radius);
    const triangles = new BufferGeometry();
    triangles.setAttribute('position', positions);
    triangles.setAttribute('normal', new BufferAttribute(drawing.normals, 3));
    triangles.setIndex(new BufferAttribute(drawing.triangles, 1));
    const lines = new BufferGeometry();
    lines.setAttribute('position', positions);
    lines.setIndex(new BufferAttribute(drawing.lines, 1));
    // The bounds are those of the vertices drawn: a vertex that no quad names
    // may be anything, NaN too.
    triangles.boundingSphere = lines.boundingSphere = sphere;
    const solid = new Mesh(triangles, this.solidMaterial);
    const wire = new LineSegments(lines, this.wireMaterial);
    solid.frustumCulled = wire.frustumCulled = false;
    if (this.objects) this.scene.remove(...this.objects);
    this.objects = [solid, wire];
    this.scene.add(solid, wire);
    this.showMode();

    // The view follows the model's centre, keeping its direction and
    // distance; the first model gets the editor's starting view.
    const center = sphere.center;
    if (first) {
      this.center.copy(center);
      this.radius = sphere.radius;
      this.resetCamera();
    } else {
      this.camera.position.add(center.clone().sub(this.center));
      this.center.copy(center);
      this.radius = sphere.radius;
      this.controls.target.copy(center);
      this.controls.update();
    }
    this.requestFrame();
  }

  clear() {
    if (this.objects) {
      this.scene.remove(...this.objects);
      for (const o of this.objects) o.geometry.dispose();
    }
    this.objects = null;
    this.requestFrame();
  }

  setSolid(solid) {
    this.solid = solid;
    this.showMode();
    this.requestFrame();
  }

  showMode() {
    if (!this.objects) return;
    this.objects[0].visible = this.solid;
    this.objects[1].visible = !this.solid;
  }

  // The editor's starting view: the model's centre five units ahead, its
  // z axis (the turtle's first heading) pointing up.
  resetCamera() {
    this.controls.target.copy(this.center);
    this.camera.position.set(this.center.x, this.center.y - EYE_DISTANCE, this.center.z);
    this.camera.up.set(0, 0, 1);
    this.camera.lookAt(this.center);
    this.controls.update();
    this.requestFrame();
  }

  // The whole model in view, from where the camera looks.
  zoomToFit() {
    const halfHeight = (FIELD_OF_VIEW * Math.PI) / 360;
    const halfWidth = Math.atan(Math.tan(halfHeight) * this.camera.aspect);
    const distance = Math.max((FIT_MARGIN * this.radius) / Math.sin(Math.min(halfHeight, halfWidth)), 0.25);
    const direction = this.camera.position.clone().sub(this.controls.target).normalize();
    this.controls.target.copy(this.center);
    this.camera.position.copy(this.center).addScaledVector(direction, distance);
    this.controls.update();
    this.requestFrame();
  }

  requestFrame() {
    if (this.frameRequested) return;
    this.frameRequested = true;
    requestAnimationFrame(() => {
      this.frameRequested = false;
      this.draw();
    });
  }

  // Draws now; a model larger than the fixed depth range gets one that
  // holds it.
  draw() {
    const started = performance.now();
    const reach = this.camera.position.distanceTo(this.center) + this.radius;
    const far = reach > FAR && Number.isFinite(reach) ? reach * 1.01 : FAR;
    const near = far === FAR ? NEAR : Math.max(NEAR, (reach - 2 * this.radius) / 2, far * 1e-6);
    if (far !== this.camera.far || near !== this.camera.near) {
      this.camera.far = far;
      this.camera.near = near;
      this.camera.updateProjectionMatrix();
    }
    this.renderer.render(this.scene, this.camera);
    this.lastFrameMs = performance.now() - started;
    if (this.onFrame) this.onFrame();
  }

  dispose() {
    this.resizeObserver.disconnect();
    this.controls.dispose();
    this.clear();
    this.renderer.dispose();
    this.renderer.forceContextLoss();
  }
}
