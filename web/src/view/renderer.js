// One WebGL 2 context for every view of the page: a browser gives a page
// only about 16, and a page may show any number of models. A view alone on
// its page shows the context's canvas itself; where there are several, each
// draws into it and copies its picture to its own canvas (a copy waits for
// the drawing, which a view alone need not). The
// pictures are the editor's: a black wireframe of the quads on white (no
// depth test, hidden lines too), the solid lit from the viewer's upper left
// with a blue material, or the solid with its edges.

export const NO_WEBGL = 'This browser cannot draw the model: WebGL 2 is not available.';
export const CONTEXT_LOST = 'The model cannot be drawn: the browser took back its graphics context.';

const VERTEX_SHADER = `#version 300 es
layout(location = 0) in vec3 normal;
layout(location = 1) in vec3 position;
uniform mat4 model_view;
uniform mat4 projection;
out vec3 eye_normal;
void main() {
  eye_normal = mat3(model_view) * normal;
  gl_Position = projection * model_view * vec4(position, 1.0);
}`;

// The editor's fixed-function light: ambient 0.2 of the scene and 0.2 of
// the light on the material's (0.6, 0.6, 1); diffuse 0.8 on (0.45, 0.45,
// 0.8); specular 0.35, shininess 24, the viewer at infinity.
const SOLID_SHADER = `#version 300 es
precision highp float;
in vec3 eye_normal;
out vec4 colour;
const vec3 light = vec3(-0.336861, 0.421076, 0.842152);
const vec3 halfway = vec3(-0.175499, 0.219373, 0.959728);
void main() {
  vec3 n = normalize(gl_FrontFacing ? eye_normal : -eye_normal);
  float diffuse = max(dot(n, light), 0.0);
  vec3 c = vec3(0.24, 0.24, 0.4) + diffuse * vec3(0.36, 0.36, 0.64);
  if (diffuse > 0.0) c += 0.35 * pow(max(dot(n, halfway), 0.0), 24.0);
  colour = vec4(min(c, vec3(1.0)), 1.0);
}`;

const LINE_SHADER = `#version 300 es
precision mediump float;
uniform vec3 line_colour;
out vec4 colour;
void main() { colour = vec4(line_colour, 1.0); }`;

const BLACK = [0, 0, 0];
const EDGES = [0.1, 0.1, 0.2];

class Renderer {
  constructor() {
    this.canvas = document.createElement('canvas');
    Object.assign(this.canvas.style, {
      position: 'absolute',
      inset: '0',
      width: '100%',
      height: '100%',
      pointerEvents: 'none',
    });
    this.views = new Set();
    this.alone = null; // the view that shows the canvas itself
    this.lost = false;
    this.gl = this.canvas.getContext('webgl2', { alpha: false, antialias: false, premultipliedAlpha: false });
    if (!this.gl) return;
    this.canvas.addEventListener('webglcontextlost', (event) => {
      event.preventDefault();
      this.lost = true;
      for (const view of this.views) view.contextChanged();
    });
    this.canvas.addEventListener('webglcontextrestored', () => {
      this.lost = false;
      this.setUp();
      for (const view of this.views) view.contextChanged();
    });
    this.setUp();
  }

  setUp() {
    const gl = this.gl;
    const compile = (type, source) => {
      const shader = gl.createShader(type);
      gl.shaderSource(shader, source);
      gl.compileShader(shader);
      return shader;
    };
    const link = (fragment) => {
      const program = gl.createProgram();
      gl.attachShader(program, compile(gl.VERTEX_SHADER, VERTEX_SHADER));
      gl.attachShader(program, compile(gl.FRAGMENT_SHADER, fragment));
      gl.linkProgram(program);
      const uniform = (name) => gl.getUniformLocation(program, name);
      return {
        program,
        modelView: uniform('model_view'),
        projection: uniform('projection'),
        colour: uniform('line_colour'),
      };
    };
    this.solid = link(SOLID_SHADER);
    this.lines = link(LINE_SHADER);
    gl.clearColor(1, 1, 1, 1);
    gl.enable(gl.SCISSOR_TEST);
  }

  add(view) {
    this.views.add(view);
    this.place();
  }

  remove(view) {
    this.views.delete(view);
    this.place();
  }

  // The canvas in the view that is alone on the page, or in none.
  place() {
    const alone = this.views.size === 1 ? [...this.views][0] : null;
    if (alone === this.alone) return;
    this.canvas.remove();
    if (alone) alone.container.append(this.canvas);
    this.alone = alone;
    for (const view of this.views) view.requestFrame();
  }

  // What a view needs to draw first: the reason it cannot, or ''.
  problem() {
    if (!this.gl) return NO_WEBGL;
    return this.lost || this.gl.isContextLost() ? CONTEXT_LOST : '';
  }

  // The model's arrays in the context: { triangles, edges } vertex arrays
  // with their counts.
  upload(model) {
    const gl = this.gl;
    const vertices = gl.createBuffer();
    gl.bindBuffer(gl.ARRAY_BUFFER, vertices);
    gl.bufferData(gl.ARRAY_BUFFER, model.vertices, gl.STATIC_DRAW);
    const shape = (indices) => {
      const vao = gl.createVertexArray();
      gl.bindVertexArray(vao);
      gl.bindBuffer(gl.ARRAY_BUFFER, vertices);
      gl.enableVertexAttribArray(0);
      gl.vertexAttribPointer(0, 3, gl.FLOAT, false, 24, 0);
      gl.enableVertexAttribArray(1);
      gl.vertexAttribPointer(1, 3, gl.FLOAT, false, 24, 12);
      const buffer = gl.createBuffer();
      gl.bindBuffer(gl.ELEMENT_ARRAY_BUFFER, buffer);
      gl.bufferData(gl.ELEMENT_ARRAY_BUFFER, indices, gl.STATIC_DRAW);
      gl.bindVertexArray(null);
      return { vao, buffer, count: indices.length };
    };
    return { vertices, triangles: shape(model.triangles), edges: shape(model.edges) };
  }

  release(shapes) {
    const gl = this.gl;
    if (!shapes || this.problem()) return;
    gl.deleteBuffer(shapes.vertices);
    for (const s of [shapes.triangles, shapes.edges]) {
      gl.deleteVertexArray(s.vao);
      gl.deleteBuffer(s.buffer);
    }
  }

  // Draws a view's shapes (or nothing) in a w x h picture through the
  // matrices, in mode 'wire', 'solid' or 'edges'.
  draw(view, w, h, shapes, projection, modelView, mode) {
    const gl = this.gl;
    const alone = view === this.alone;
    if (alone ? this.canvas.width !== w || this.canvas.height !== h : this.canvas.width < w || this.canvas.height < h) {
      this.canvas.width = alone ? w : Math.max(this.canvas.width, w);
      this.canvas.height = alone ? h : Math.max(this.canvas.height, h);
    }
    gl.viewport(0, 0, w, h);
    gl.scissor(0, 0, w, h);
    gl.clear(gl.COLOR_BUFFER_BIT | gl.DEPTH_BUFFER_BIT);
    if (shapes) {
      const use = (p) => {
        gl.useProgram(p.program);
        gl.uniformMatrix4fv(p.projection, false, Float32Array.from(projection));
        gl.uniformMatrix4fv(p.modelView, false, Float32Array.from(modelView));
      };
      const draw = (kind, shape) => {
        gl.bindVertexArray(shape.vao);
        gl.drawElements(kind, shape.count, gl.UNSIGNED_INT, 0);
      };
      if (mode === 'wire') {
        gl.disable(gl.DEPTH_TEST);
      } else {
        gl.enable(gl.DEPTH_TEST);
        gl.depthFunc(gl.LEQUAL);
        // The faces a little farther than their edges, so that the edges
        // win the depth test.
        gl.enable(gl.POLYGON_OFFSET_FILL);
        gl.polygonOffset(1, 1);
        use(this.solid);
        draw(gl.TRIANGLES, shapes.triangles);
        gl.disable(gl.POLYGON_OFFSET_FILL);
      }
      if (mode !== 'solid') {
        use(this.lines);
        gl.uniform3fv(this.lines.colour, mode === 'wire' ? BLACK : EDGES);
        draw(gl.LINES, shapes.edges);
      }
      gl.bindVertexArray(null);
    }
    if (!alone) view.context.drawImage(this.canvas, 0, this.canvas.height - h, w, h, 0, 0, w, h);
  }
}

let shared = null;

// The page's renderer, made at the first view.
export function renderer() {
  shared ??= new Renderer();
  return shared;
}
