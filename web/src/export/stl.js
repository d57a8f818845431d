// Binary STL as the batch tool writes it: two triangles per quad, each with
// its facet normal worked out in double precision (where a triangle has no
// area, the mean of its corners' normals).
import { Chunks, Fields } from './chunks.js';

export function writeStl(model) {
  const out = new Chunks();
  const f = model.vertices;
  const t = model.triangles;
  const title = new Uint8Array(80);
  title.set(new TextEncoder().encode('binary STL written by dozu'));
  out.addBytes(title);
  const fields = new Fields(out);
  fields.u32(t.length / 3);
  const n = [0, 0, 0];
  for (let i = 0; i < t.length; i += 3) {
    const p = 6 * t[i] + 3;
    const q = 6 * t[i + 1] + 3;
    const s = 6 * t[i + 2] + 3;
    const u0 = f[q] - f[p];
    const u1 = f[q + 1] - f[p + 1];
    const u2 = f[q + 2] - f[p + 2];
    const w0 = f[s] - f[p];
    const w1 = f[s + 1] - f[p + 1];
    const w2 = f[s + 2] - f[p + 2];
    n[0] = u1 * w2 - u2 * w1;
    n[1] = u2 * w0 - u0 * w2;
    n[2] = u0 * w1 - u1 * w0;
    let length = Math.sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (!(length > 0) || !Number.isFinite(length)) {
      for (let k = 0; k < 3; ++k) n[k] = 0 + f[p - 3 + k] + f[q - 3 + k] + f[s - 3 + k];
      length = Math.sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    }
    for (let k = 0; k < 3; ++k) fields.f32(length > 0 ? n[k] / length : 0);
    for (const c of [p, q, s]) for (let k = 0; k < 3; ++k) fields.f32(f[c + k]);
    fields.u16(0);
  }
  fields.flush();
  return out.finish();
}
