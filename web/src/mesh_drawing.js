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
  const finite = new Uint8Array(vertexCount);
  for (let v = 0, r = 3; v < vertexCount; ++v, r += 6)
    finite[v] = Number.isFinite(vertices[r]) && Number.isFinite(vertices[r + 1]) && Number.isFinite(vertices[r + 2]);

  let drawn = 0;
  for (let i = 0; i < quads.length; i += 4)
    if (finite[quads[i]] && finite[quads[i + 1]] && finite[quads[i + 2]] && finite[quads[i + 3]]) ++drawn;
  const triangles = new Uint32Array(6 * drawn);
  const lines = new Uint32Array(8 * drawn);
  const used = new Uint8Array(vertexCount);
  for (let i = 0, t = 0, l = 0; i < quads.length; i += 4) {
    const a = quads[i], b = quads[i + 1], c = quads[i + 2], d = quads[i + 3];
    if (!(finite[a] && finite[b] && finite[c] && finite[d])) continue;
    triangles[t++] = a;
    triangles[t++] = d;
    triangles[t++] = c;
    triangles[t++] = a;
    triangles[t++] = c;
    triangles[t++] = b;
    lines[l++] = a;
    lines[l++] = b;
    lines[l++] = b;
    lines[l++] = c;
    lines[l++] = c;
    lines[l++] = d;
    lines[l++] = d;
    lines[l++] = a;
    used[a] = used[b] = used[c] = used[d] = 1;
  }

  const normals = new Float32Array(3 * vertexCount);
  const min = [Infinity, Infinity, Infinity];
  const max = [-Infinity, -Infinity, -Infinity];
  let usedCount = 0;
  let tiny = false;
  for (let v = 0; v < vertexCount; ++v) {
    if (!used[v]) continue;
    ++usedCount;
    const r = 6 * v;
    for (let k = 0; k < 3; ++k) {
      const p = vertices[r + 3 + k];
      if (p < min[k]) min[k] = p;
      if (p > max[k]) max[k] = p;
    }
    const x = vertices[r], y = vertices[r + 1], z = vertices[r + 2];
    const length = Math.sqrt(x * x + y * y + z * z);
    if (length > TINY_NORMAL && Number.isFinite(length)) {
      normals[3 * v] = x / length;
      normals[3 * v + 1] = y / length;
      normals[3 * v + 2] = z / length;
    } else {
      used[v] = 2;
      tiny = true;
    }
  }
  if (tiny) meanNormals(vertices, triangles, used, normals);

  const center = usedCount ? min.map((m, k) => (m + max[k]) / 2) : [0, 0, 0];
  let radius = 0;
  if (usedCount) radius = Math.hypot(max[0] - min[0], max[1] - min[1], max[2] - min[2]) / 2;
  return { triangles, lines, normals, center, radius, drawnQuads: drawn, drawnVertices: usedCount, used };
}

// A vertex whose own normal is too short (used[v] == 2, at a cap's centre)
// takes the area-weighted mean of the normals of the triangles around it.
function meanNormals(vertices, triangles, used, normals) {
  const sums = new Float64Array(normals.length);
  const p = (v, k) => vertices[6 * v + 3 + k];
  for (let i = 0; i < triangles.length; i += 3) {
    const a = triangles[i], b = triangles[i + 1], c = triangles[i + 2];
    if (used[a] !== 2 && used[b] !== 2 && used[c] !== 2) continue;
    const e = [p(b, 0) - p(a, 0), p(b, 1) - p(a, 1), p(b, 2) - p(a, 2)];
    const f = [p(c, 0) - p(a, 0), p(c, 1) - p(a, 1), p(c, 2) - p(a, 2)];
    const n = [e[1] * f[2] - e[2] * f[1], e[2] * f[0] - e[0] * f[2], e[0] * f[1] - e[1] * f[0]];
    for (const v of [a, b, c]) if (used[v] === 2) for (let k = 0; k < 3; ++k) sums[3 * v + k] += n[k];
  }
  for (let v = 0; v < used.length; ++v) {
    if (used[v] !== 2) continue;
    const s = sums.subarray(3 * v, 3 * v + 3);
    const length = Math.hypot(s[0], s[1], s[2]);
    // Only flat triangles around it: any direction is as good.
    if (length > 0 && Number.isFinite(length)) for (let k = 0; k < 3; ++k) normals[3 * v + k] = s[k] / length;
    else normals[3 * v + 2] = 1;
    used[v] = 1;
  }
}
