// The decoder's worker: instantiates the compiled module it is sent, then
// decodes each program text it is sent and posts back the mesh, its
// drawing and the messages. A page that wants a decode stopped ends the
// worker and starts another.
import { DRAW_LIMIT, meshDrawing } from './mesh_drawing.js';

let messages = [];
let exports = null;
let ready = null;

function cString(pointer) {
  const bytes = new Uint8Array(exports.memory.buffer, pointer);
  let end = 0;
  while (bytes[end]) ++end;
  return String.fromCharCode.apply(null, bytes.subarray(0, end));
}

const imports = { env: { dz_message: (line, text) => messages.push({ line, text: cString(text) }) } };

function decode({ id, text }) {
  const started = performance.now();
  const input = exports.dz_input(text.length);
  if (!input && text.length) return { id, outOfMemory: true };
  new Uint8Array(exports.memory.buffer, input, text.length).set(text);
  messages = [];
  const status = exports.dz_decode(text.length);
  const decodeMs = performance.now() - started;
  // Views of the memory as it is after the decode, which may have grown it.
  const buffer = exports.memory.buffer;
  const vertexCount = exports.dz_vertex_count();
  const quadCount = exports.dz_index_count() / 4;
  const result = { id, status, messages, vertexCount, quadCount, decodeMs };
  if (quadCount > DRAW_LIMIT) return result;
  result.vertices = new Float32Array(buffer, exports.dz_vertices(), 6 * vertexCount).slice();
  result.quads = new Uint32Array(buffer, exports.dz_indices(), 4 * quadCount).slice();
  result.drawing = meshDrawing(result.vertices, result.quads);
  return result;
}

self.onmessage = (event) => {
  const request = event.data;
  if (request.module) {
    ready = WebAssembly.instantiate(request.module, imports).then((instance) => (exports = instance.exports));
    return;
  }
  ready
    .then(() => {
      const result = decode(request);
      const transfer = result.vertices
        ? [result.vertices.buffer, result.quads.buffer, result.drawing.triangles.buffer, result.drawing.lines.buffer,
           result.drawing.normals.buffer]
        : [];
      self.postMessage(result, transfer);
    })
    .catch((error) => {
      // A module that ran out of memory traps; the page starts a fresh worker.
      self.postMessage({ id: request.id, failed: String(error && error.message ? error.message : error) });
    });
};
