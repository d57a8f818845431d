// A ZIP archive of a few members, each deflated, for 3MF: the members'
// sizes known before each is written.

const CRC_TABLE = (() => {
  const table = new Uint32Array(256);
  for (let n = 0; n < 256; ++n) {
    let c = n;
    for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    table[n] = c >>> 0;
  }
  return table;
})();

function crc32(parts) {
  let c = 0xffffffff;
  for (const p of parts) for (let i = 0; i < p.length; ++i) c = CRC_TABLE[(c ^ p[i]) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}

async function deflate(parts) {
  const stream = new Blob(parts).stream().pipeThrough(new CompressionStream('deflate-raw'));
  return new Uint8Array(await new Response(stream).arrayBuffer());
}

// members: [{ name, parts: [Uint8Array] }]; the archive's pieces.
export async function zip(members) {
  const encoder = new TextEncoder();
  const out = [];
  const central = [];
  let offset = 0;
  const header = (size) => {
    const view = new DataView(new ArrayBuffer(size));
    return view;
  };
  for (const member of members) {
    const name = encoder.encode(member.name);
    const size = member.parts.reduce((n, p) => n + p.length, 0);
    const crc = crc32(member.parts);
    const data = await deflate(member.parts);
    if (size > 0xfffffffe || data.length > 0xfffffffe || offset > 0xfffffffe)
      throw new Error('the model is too large for this 3MF file (4 GiB)');
    // version 2.0, UTF-8 names, deflate, 1980-01-01 00:00
    const fields = (h, at) => {
      h.setUint16(at, 20, true);
      h.setUint16(at + 2, 1 << 11, true);
      h.setUint16(at + 4, 8, true);
      h.setUint16(at + 6, 0, true);
      h.setUint16(at + 8, (1 << 5) | 1, true);
      h.setUint32(at + 10, crc, true);
      h.setUint32(at + 14, data.length, true);
      h.setUint32(at + 18, size, true);
      h.setUint16(at + 22, name.length, true);
    };
    const local = header(30);
    local.setUint32(0, 0x04034b50, true);
    fields(local, 4);
    out.push(new Uint8Array(local.buffer), name, data);
    const entry = header(46);
    entry.setUint32(0, 0x02014b50, true);
    entry.setUint16(4, 20, true);
    fields(entry, 6);
    entry.setUint32(42, offset, true);
    central.push(new Uint8Array(entry.buffer), name);
    offset += 30 + name.length + data.length;
  }
  const directory = central.reduce((n, p) => n + p.length, 0);
  const end = header(22);
  end.setUint32(0, 0x06054b50, true);
  end.setUint16(8, members.length, true);
  end.setUint16(10, members.length, true);
  end.setUint32(12, directory, true);
  end.setUint32(16, offset, true);
  return [...out, ...central, new Uint8Array(end.buffer)];
}
