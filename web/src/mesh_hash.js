// A fingerprint of a decoded mesh, to hold it against the native runtime's:
// FNV-1a (32 bits) over the little-endian bytes of the vertex count, the
// index count, every vertex float (every NaN as 0x7FC00000, whose sign the
// platforms make differently) and every index; eight hex digits.
export function meshHash(vertices, quads) {
  let h = 0x811c9dc5;
  const word = (w) => {
    for (let s = 0; s < 32; s += 8) h = Math.imul(h ^ ((w >>> s) & 0xff), 0x01000193);
  };
  word(vertices.length / 6);
  word(quads.length);
  const bits = new Uint32Array(vertices.buffer, vertices.byteOffset, vertices.length);
  for (let i = 0; i < bits.length; ++i) {
    const b = bits[i];
    word((b & 0x7f800000) === 0x7f800000 && (b & 0x7fffff) !== 0 ? 0x7fc00000 : b);
  }
  for (let i = 0; i < quads.length; ++i) word(quads[i]);
  return (h >>> 0).toString(16).padStart(8, '0');
}
