// glTF 2.0 as the batch tool writes it: one scene, node and mesh of
// triangles with positions and unit normals in one buffer (positions,
// normals, then the triangles' corners), binary (.glb) or with the buffer
// as a data URI inside the JSON (.gltf). An empty model is a scene with a
// named node and nothing else.
import { Chunks, Fields } from './chunks.js';

const DATA_URI = 'data:application/octet-stream;base64,';
const BASE64 = 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/';

// The buffer's three parts, each a little-endian array.
function bufferParts(model) {
  const f = model.vertices;
  const n = f.length / 6;
  const positions = new Float32Array(3 * n);
  const normals = new Float32Array(3 * n);
  for (let v = 0; v < n; ++v)
    for (let k = 0; k < 3; ++k) {
      positions[3 * v + k] = f[6 * v + 3 + k];
      normals[3 * v + k] = f[6 * v + k];
    }
  return [positions, normals, model.triangles];
}

function documentOf(model, name, byteLength) {
  const n = model.vertices.length / 6;
  const indices = model.triangles.length;
  const document = { asset: { generator: 'dozu', version: '2.0' } };
  const node = { name: name || 'dozu' };
  if (indices) {
    const low = [Infinity, Infinity, Infinity];
    const high = [-Infinity, -Infinity, -Infinity];
    const f = model.vertices;
    for (let r = 3; r < f.length; r += 6)
      for (let k = 0; k < 3; ++k) {
        low[k] = Math.min(low[k], f[r + k]);
        high[k] = Math.max(high[k], f[r + k]);
      }
    const vectors = 12 * n;
    document.accessors = [
      { bufferView: 0, componentType: 5126, count: n, max: high, min: low, type: 'VEC3' },
      { bufferView: 1, componentType: 5126, count: n, type: 'VEC3' },
      { bufferView: 2, componentType: 5125, count: indices, type: 'SCALAR' },
    ];
    document.bufferViews = [
      { buffer: 0, byteLength: vectors, target: 34962 },
      { buffer: 0, byteLength: vectors, byteOffset: vectors, target: 34962 },
      { buffer: 0, byteLength: 4 * indices, byteOffset: 2 * vectors, target: 34963 },
    ];
    document.buffers = [{ byteLength }];
    document.materials = [{ name: 'default' }];
    const primitive = { attributes: { NORMAL: 1, POSITION: 0 }, indices: 2, material: 0, mode: 4 };
    document.meshes = [{ name, primitives: [primitive] }];
    node.mesh = 0;
  }
  document.nodes = [node];
  document.scene = 0;
  document.scenes = [{ nodes: [0] }];
  return document;
}

function base64(parts, out) {
  let held = [];
  let text = '';
  const group = (a, b, c, count) => {
    const v = (a << 16) | (b << 8) | c;
    text +=
      BASE64[v >> 18] +
      BASE64[(v >> 12) & 63] +
      (count > 1 ? BASE64[(v >> 6) & 63] : '=') +
      (count > 2 ? BASE64[v & 63] : '=');
    if (text.length >= 1 << 16) {
      out.add(text);
      text = '';
    }
  };
  for (const part of parts) {
    const bytes = new Uint8Array(part.buffer, part.byteOffset, part.byteLength);
    let i = 0;
    if (held.length) {
      while (held.length < 3 && i < bytes.length) held.push(bytes[i++]);
      if (held.length === 3) {
        group(held[0], held[1], held[2], 3);
        held = [];
      }
    }
    for (; i + 3 <= bytes.length; i += 3) group(bytes[i], bytes[i + 1], bytes[i + 2], 3);
    for (; i < bytes.length; ++i) held.push(bytes[i]);
  }
  if (held.length) group(held[0], held[1] || 0, 0, held.length);
  out.add(text);
}

export function writeGltf(model, name, binary) {
  const parts = model.triangles.length ? bufferParts(model) : [];
  const byteLength = parts.reduce((sum, p) => sum + p.byteLength, 0);
  const document = documentOf(model, name, byteLength);
  const out = new Chunks();
  if (!binary) {
    if (parts.length) document.buffers[0].uri = DATA_URI;
    const json = JSON.stringify(document);
    const at = json.indexOf(`"uri":"${DATA_URI}"`) + `"uri":"${DATA_URI}`.length;
    if (!parts.length) {
      out.add(`${json}\n`);
      return out.finish();
    }
    out.add(json.slice(0, at));
    base64(parts, out);
    out.add(`${json.slice(at)}\n`);
    return out.finish();
  }
  let json = new TextEncoder().encode(JSON.stringify(document));
  const padded = new Uint8Array((json.length + 3) & ~3).fill(0x20);
  padded.set(json);
  json = padded;
  const total = 12 + 8 + json.length + (parts.length ? 8 + byteLength : 0);
  if (total > 0xffffffff) throw new Error('the model is too large for a binary glTF file (4 GiB)');
  const fields = new Fields(out);
  fields.u32(0x46546c67); // "glTF"
  fields.u32(2);
  fields.u32(total);
  fields.u32(json.length);
  fields.u32(0x4e4f534a); // "JSON"
  fields.flush();
  out.addBytes(json);
  if (parts.length) {
    fields.u32(byteLength);
    fields.u32(0x004e4942); // "BIN\0"
    fields.flush();
    for (const p of parts) out.addBytes(p);
  }
  return out.finish();
}
