// Binary little-endian PLY as the batch tool writes it: float positions and
// normals, faces of four indices.
import { Chunks, Fields } from './chunks.js';

export function writePly(model) {
  const out = new Chunks();
  const f = model.vertices;
  const n = f.length / 6;
  const q = model.quads;
  out.add('ply\nformat binary_little_endian 1.0\ncomment written by dozu\n');
  out.add(`element vertex ${n}\n`);
  for (const p of ['x', 'y', 'z', 'nx', 'ny', 'nz']) out.add(`property float ${p}\n`);
  out.add(`element face ${q.length / 4}\n`);
  out.add('property list uchar uint vertex_indices\nend_header\n');
  const fields = new Fields(out);
  for (let r = 0; r < f.length; r += 6) {
    for (let k = 3; k < 6; ++k) fields.f32(f[r + k]);
    for (let k = 0; k < 3; ++k) fields.f32(f[r + k]);
  }
  for (let i = 0; i < q.length; i += 4) {
    fields.u8(4);
    for (let k = 0; k < 4; ++k) fields.u32(q[i + k]);
  }
  fields.flush();
  return out.finish();
}
