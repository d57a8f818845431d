// The viewer of a one-file page (dozu-cli html): decodes the program that
// the page holds with the inlined module and draws it lit with WebGL 2 of
// its own (drag to turn, wheel to zoom), without a network or a library.
/* global __DOZU_MODULE__, DOZU_PROGRAM */
import { meshDrawing } from './mesh_drawing.js';

const canvas = document.getElementById('view');
const caption = document.getElementById('caption');

function say(text, error) {
  caption.textContent = text;
  caption.className = error ? 'error' : '';
}

async function decode(text) {
  const packed = Uint8Array.from(atob(__DOZU_MODULE__), (c) => c.charCodeAt(0));
  const stream = new Blob([packed]).stream().pipeThrough(new DecompressionStream('deflate-raw'));
  const messages = [];
  let memory = null;
  const cString = (p) => {
    const bytes = new Uint8Array(memory.buffer, p);
    return String.fromCharCode.apply(null, bytes.subarray(0, bytes.indexOf(0)));
  };
  const { instance } = await WebAssembly.instantiate(await new Response(stream).arrayBuffer(), {
    env: { dz_message: (line, p) => messages.push(`${line + 1}: ${cString(p)}`) },
  });
  const x = instance.exports;
  memory = x.memory;
  const input = x.dz_input(text.length);
  new Uint8Array(memory.buffer, input, text.length).set(text);
  const status = x.dz_decode(text.length);
  const vertices = new Float32Array(memory.buffer, x.dz_vertices(), 6 * x.dz_vertex_count()).slice();
  const quads = new Uint32Array(memory.buffer, x.dz_indices(), x.dz_index_count()).slice();
  return { status, messages, vertices, quads };
}

const VERTEX_SHADER = `#version 300 es
in vec3 position;
in vec3 normal;
uniform mat4 model_view;
uniform mat4 projection;
out vec3 eye_normal;
out vec3 eye_position;
void main() {
  vec4 p = model_view * vec4(position, 1.0);
  eye_position = p.xyz;
  eye_normal = mat3(model_view) * normal;
  gl_Position = projection * p;
}`;

// The editor's solid view: a blue material lit from the viewer's upper left.
const FRAGMENT_SHADER = `#version 300 es
precision highp float;
in vec3 eye_normal;
in vec3 eye_position;
out vec4 colour;
void main() {
  vec3 n = normalize(eye_normal);
  if (!gl_FrontFacing) n = -n;
  vec3 l = normalize(vec3(-0.4, 0.5, 1.0));
  vec3 h = normalize(l + normalize(-eye_position));
  vec3 diffuse = vec3(0.45, 0.45, 0.8);
  vec3 c = diffuse * (0.2 + 0.8 * max(dot(n, l), 0.0)) + vec3(0.35) * pow(max(dot(n, h), 0.0), 24.0);
  colour = vec4(c, 1.0);
}`;

function perspective(fovY, aspect, near, far) {
  const f = 1 / Math.tan(fovY / 2);
  return [f / aspect, 0, 0, 0, 0, f, 0, 0, 0, 0, (far + near) / (near - far), -1, 0, 0, (2 * far * near) / (near - far), 0];
}

function multiply(a, b) {
  const r = new Array(16).fill(0);
  for (let c = 0; c < 4; ++c) for (let k = 0; k < 4; ++k) for (let i = 0; i < 4; ++i) r[4 * c + i] += a[4 * k + i] * b[4 * c + k];
  return r;
}

const rotateX = (a) => [1, 0, 0, 0, 0, Math.cos(a), Math.sin(a), 0, 0, -Math.sin(a), Math.cos(a), 0, 0, 0, 0, 1];
const rotateZ = (a) => [Math.cos(a), Math.sin(a), 0, 0, -Math.sin(a), Math.cos(a), 0, 0, 0, 0, 1, 0, 0, 0, 0, 1];
const translate = (x, y, z) => [1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1];

function shader(gl, type, source) {
  const s = gl.createShader(type);
  gl.shaderSource(s, source);
  gl.compileShader(s);
  return s;
}

function viewer(gl, vertices, drawing) {
  const program = gl.createProgram();
  gl.attachShader(program, shader(gl, gl.VERTEX_SHADER, VERTEX_SHADER));
  gl.attachShader(program, shader(gl, gl.FRAGMENT_SHADER, FRAGMENT_SHADER));
  gl.bindAttribLocation(program, 0, 'position');
  gl.bindAttribLocation(program, 1, 'normal');
  gl.linkProgram(program);
  gl.useProgram(program);
  const buffer = (target, data) => {
    const b = gl.createBuffer();
    gl.bindBuffer(target, b);
    gl.bufferData(target, data, gl.STATIC_DRAW);
  };
  gl.bindVertexArray(gl.createVertexArray());
  buffer(gl.ARRAY_BUFFER, vertices);
  gl.enableVertexAttribArray(0);
  gl.vertexAttribPointer(0, 3, gl.FLOAT, false, 24, 12);
  buffer(gl.ARRAY_BUFFER, drawing.normals);
  gl.enableVertexAttribArray(1);
  gl.vertexAttribPointer(1, 3, gl.FLOAT, false, 0, 0);
  buffer(gl.ELEMENT_ARRAY_BUFFER, drawing.triangles);
  gl.enable(gl.DEPTH_TEST);
  gl.clearColor(1, 1, 1, 1);

  // The editor's starting view, the turtle's first heading up, the model
  // fitted to the window.
  const c = drawing.center;
  const radius = Math.max(drawing.radius, 1e-3);
  let turn = 0;
  let tilt = -Math.PI / 2;
  let distance = 1.1 * radius / Math.sin((55 * Math.PI) / 360);
  const draw = () => {
    const w = canvas.clientWidth * devicePixelRatio;
    const h = canvas.clientHeight * devicePixelRatio;
    if (canvas.width !== Math.round(w) || canvas.height !== Math.round(h)) {
      canvas.width = Math.round(w);
      canvas.height = Math.round(h);
    }
    gl.viewport(0, 0, canvas.width, canvas.height);
    gl.clear(gl.COLOR_BUFFER_BIT | gl.DEPTH_BUFFER_BIT);
    const far = distance + 2 * radius;
    const near = Math.max(far * 1e-4, distance - 1.5 * radius, 1e-3);
    const modelView = multiply(translate(0, 0, -distance),
                               multiply(rotateX(tilt), multiply(rotateZ(turn), translate(-c[0], -c[1], -c[2]))));
    gl.uniformMatrix4fv(gl.getUniformLocation(program, 'model_view'), false, modelView);
    gl.uniformMatrix4fv(gl.getUniformLocation(program, 'projection'), false,
                        perspective((55 * Math.PI) / 180, canvas.width / canvas.height, near, far));
    gl.drawElements(gl.TRIANGLES, drawing.triangles.length, gl.UNSIGNED_INT, 0);
  };
  let frame = 0;
  const redraw = () => frame || (frame = requestAnimationFrame(() => ((frame = 0), draw())));
  let drag = null;
  canvas.addEventListener('pointerdown', (e) => {
    drag = { x: e.clientX, y: e.clientY };
    canvas.setPointerCapture(e.pointerId);
  });
  canvas.addEventListener('pointermove', (e) => {
    if (!drag) return;
    turn += (e.clientX - drag.x) * 0.01;
    tilt = Math.min(0, Math.max(-Math.PI, tilt + (e.clientY - drag.y) * 0.01));
    drag = { x: e.clientX, y: e.clientY };
    redraw();
  });
  canvas.addEventListener('pointerup', () => (drag = null));
  canvas.addEventListener('wheel', (e) => {
    e.preventDefault();
    distance = Math.max(radius * 0.05, distance * Math.pow(1.1, Math.sign(e.deltaY)));
    redraw();
  }, { passive: false });
  new ResizeObserver(redraw).observe(canvas);
  draw();
}

async function start() {
  const text = Uint8Array.from(atob(DOZU_PROGRAM), (ch) => ch.charCodeAt(0));
  if (!text.length) return say('This page holds no program.', true);
  const gl = canvas.getContext('webgl2');
  if (!gl) return say('This browser cannot draw the model: WebGL 2 is not available.', true);
  const { status, messages, vertices, quads } = await decode(text);
  if (status === 2) return say('The model did not fit in memory.', true);
  const drawing = meshDrawing(vertices, quads);
  const fatal = messages.find((m) => / fatal error: /.test(m));
  say(`${quads.length / 4} quads` + (fatal ? ` \u2014 ${fatal}` : ''), Boolean(fatal));
  document.body.dataset.quads = String(quads.length / 4);
  if (drawing.drawnQuads) viewer(gl, vertices, drawing);
}

start().catch((e) => say(`The model cannot be shown: ${e.message}`, true)).finally(() => (document.body.dataset.done = 'true'));
