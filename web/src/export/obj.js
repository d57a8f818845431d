// Wavefront OBJ as the batch tool writes it: the positions, the unit
// normals, then each quad as "f a//a b//b c//c d//d", numbers in their
// shortest form.
import { Chunks } from './chunks.js';
import { floatBitsText } from './float_text.js';

export function writeObj(model) {
  const out = new Chunks();
  const bits = new Uint32Array(model.vertices.buffer, model.vertices.byteOffset, model.vertices.length);
  const n = model.vertices.length / 6;
  const triple = (key, r) =>
    `${key} ${floatBitsText(bits[r])} ${floatBitsText(bits[r + 1])} ${floatBitsText(bits[r + 2])}\n`;
  for (let v = 0; v < n; ++v) out.add(triple('v', 6 * v + 3));
  for (let v = 0; v < n; ++v) out.add(triple('vn', 6 * v));
  const q = model.quads;
  for (let i = 0; i < q.length; i += 4) {
    const a = q[i] + 1;
    const b = q[i + 1] + 1;
    const c = q[i + 2] + 1;
    const d = q[i + 3] + 1;
    out.add(`f ${a}//${a} ${b}//${b} ${c}//${c} ${d}//${d}\n`);
  }
  return out.finish();
}
