// What a view draws and an export writes of a decoded mesh: the quads whose
// corners are all finite (as dozu's exporters keep them), as triangles
// wound counter-clockwise seen from outside and as their edges, unit normals
// per vertex, and the bounds of the vertices drawn.
//
// The decoder's quads run clockwise seen from outside: quad (a b c d) is
// drawn as triangles (a d c) and (a c b).

// Larger models are decoded but not drawn: their drawing alone would take
// hundreds of megabytes.
export const DRAW_LIMIT = 2097152;

// Normals shorter than this point nowhere reliable: rounding alone moves
// them by about 1e-6.
const TINY_NORMAL = 1e-4;

export function meshDrawing(vertices, quads) {
  const vertexCount = vertices.length / 6;
  const quadCount = quads.length / 4;
  // used[v]: 0 not drawn, 1 drawn, 2 drawn with a normal too short to use
  const used = new Uint8Array(vertexCount);
  const normals = new Float32Array(3 * vertexCount);
  for (let v = 0, r = 0; v < vertexCount; ++v, r += 6) {
    if (!(Number.isFinite(vertices[r + 3]) && Number.isFinite(vertices[r + 4]) && Number.isFinite(vertices[r + 5])))
      used[v] = 3; // never drawn
    const x = vertices[r], y = vertices[r + 1], z = vertices[r + 2];
    const length = Math.sqrt(x * x + y * y + z * z);
    if (length > TINY_NORMAL && length < Infinity) {
      normals[3 * v] = x / length;
      normals[3 * v + 1] = y / length;
      normals[3 * v + 2] = z / length;
    } else if (used[v] === 0) {
      used[v] = 4; // too short, if drawn
    }
  }

  let triangles = new Uint32Array(6 * quadCount);
  let lines = new Uint32Array(8 * quadCount);
  let t = 0;
  let l = 0;
  let tiny = 0;
  for (let i = 0; i < quads.length; i += 4) {
    const a = quads[i], b = quads[i + 1], c = quads[i + 2], d = quads[i + 3];
    if (used[a] === 3 || used[b] === 3 || used[c] === 3 || used[d] === 3) continue;
    triangles[t] = a;
    triangles[t + 1] = d;
    triangles[t + 2] = c;
    triangles[t + 3] = a;
    triangles[t + 4] = c;
    triangles[t + 5] = b;
    t += 6;
    lines[l] = lines[l + 7] = a;
    lines[l + 1] = lines[l + 2] = b;
    lines[l + 3] = lines[l + 4] = c;
    lines[l + 5] = lines[l + 6] = d;
    l += 8;
    tiny = mark(used, a) | mark(used, b) | mark(used, c) | mark(used, d) | tiny;
  }
  if (t < triangles.length) {
    triangles = triangles.slice(0, t);
    lines = lines.slice(0, l);
  }
  if (tiny) meanNormals(vertices, quads, used, normals);

  let x0 = Infinity, y0 = Infinity, z0 = Infinity, x1 = -Infinity, y1 = -Infinity, z1 = -Infinity;
  let drawnVertices = 0;
  for (let v = 0, r = 3; v < vertexCount; ++v, r += 6) {
    if (used[v] !== 1 && used[v] !== 2) {
      used[v] = 0;
      continue;
    }
    used[v] = 1;
    ++drawnVertices;
    const x = vertices[r], y = vertices[r + 1], z = vertices[r + 2];
    if (x < x0) x0 = x;
    if (x > x1) x1 = x;
    if (y < y0) y0 = y;
    if (y > y1) y1 = y;
    if (z < z0) z0 = z;
    if (z > z1) z1 = z;
  }
  const center = drawnVertices ? [(x0 + x1) / 2, (y0 + y1) / 2, (z0 + z1) / 2] : [0, 0, 0];
  const radius = drawnVertices ? Math.hypot(x1 - x0, y1 - y0, z1 - z0) / 2 : 0;
  return { triangles, lines, normals, center, radius, drawnQuads: t / 6, drawnVertices, used };
}

// Marks a vertex drawn; 1 when its normal is too short to use.
function mark(used, v) {
  if (used[v] === 0) used[v] = 1;
  else if (used[v] === 4) used[v] = 2;
  else return 0;
  return used[v] === 2 ? 1 : 0;
}

// A drawn vertex whose own normal is too short (used[v] == 2, at a cap's
// centre) takes the area-weighted mean of the normals of the drawn quads
// around it: (c - a) × (b - d) is twice a quad's area vector.
function meanNormals(vertices, quads, used, normals) {
  const sums = new Map();
  for (let i = 0; i < quads.length; i += 4) {
    const a = quads[i], b = quads[i + 1], c = quads[i + 2], d = quads[i + 3];
    if (used[a] === 3 || used[b] === 3 || used[c] === 3 || used[d] === 3) continue;
    if (used[a] !== 2 && used[b] !== 2 && used[c] !== 2 && used[d] !== 2) continue;
    const p = (v, k) => vertices[6 * v + 3 + k];
    const e0 = p(c, 0) - p(a, 0), e1 = p(c, 1) - p(a, 1), e2 = p(c, 2) - p(a, 2);
    const f0 = p(b, 0) - p(d, 0), f1 = p(b, 1) - p(d, 1), f2 = p(b, 2) - p(d, 2);
    const n = [e1 * f2 - e2 * f1, e2 * f0 - e0 * f2, e0 * f1 - e1 * f0];
    for (const v of [a, b, c, d]) {
      if (used[v] !== 2) continue;
      const s = sums.get(v) || [0, 0, 0];
      for (let k = 0; k < 3; ++k) s[k] += n[k];
      sums.set(v, s);
    }
  }
  for (const [v, s] of sums) {
    const length = Math.hypot(s[0], s[1], s[2]);
    // Only flat quads around it: any direction is as good.
    if (length > 0 && Number.isFinite(length)) for (let k = 0; k < 3; ++k) normals[3 * v + k] = s[k] / length;
    else normals[3 * v + 2] = 1;
  }
}
