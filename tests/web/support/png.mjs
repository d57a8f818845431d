// The pixels of a PNG (8 bits a channel, grey, RGB or RGBA, not
// interlaced) as { width, height, rgba }, and which of them show a model.
import zlib from 'node:zlib';

export function readPng(png) {
  png = Buffer.from(png);
  let at = 8;
  let width = 0;
  let height = 0;
  let type = 0;
  const data = [];
  while (at < png.length) {
    const length = png.readUInt32BE(at);
    const kind = png.toString('latin1', at + 4, at + 8);
    const body = png.subarray(at + 8, at + 8 + length);
    if (kind === 'IHDR') {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      if (body[8] !== 8 || body[12] !== 0) throw new Error('only 8-bit PNGs without interlace');
      type = body[9];
    } else if (kind === 'IDAT') {
      data.push(body);
    }
    at += 12 + length;
  }
  const channels = { 0: 1, 2: 3, 6: 4 }[type];
  const raw = zlib.inflateSync(Buffer.concat(data));
  const stride = width * channels;
  const rows = Buffer.alloc(height * stride);
  for (let y = 0; y < height; ++y) {
    const filter = raw[y * (stride + 1)];
    const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let x = 0; x < stride; ++x) {
      const a = x >= channels ? rows[y * stride + x - channels] : 0;
      const b = y > 0 ? rows[(y - 1) * stride + x] : 0;
      const c = x >= channels && y > 0 ? rows[(y - 1) * stride + x - channels] : 0;
      const p = a + b - c;
      const nearest =
        Math.abs(p - a) <= Math.abs(p - b) && Math.abs(p - a) <= Math.abs(p - c)
          ? a
          : Math.abs(p - b) <= Math.abs(p - c)
            ? b
            : c;
      const predicted = [0, a, b, (a + b) >> 1, nearest][filter];
      rows[y * stride + x] = (line[x] + predicted) & 0xff;
    }
  }
  const rgba = new Uint8Array(width * height * 4);
  for (let i = 0; i < width * height; ++i)
    for (let k = 0; k < 4; ++k) rgba[4 * i + k] = k < 3 ? rows[i * channels + (channels === 1 ? 0 : k)] : 255;
  return { width, height, rgba };
}

// A bit a pixel: 1 where the picture is not near white.
export function modelPixels({ width, height, rgba }) {
  const ink = new Uint8Array(width * height);
  for (let i = 0; i < ink.length; ++i) ink[i] = Math.min(rgba[4 * i], rgba[4 * i + 1], rgba[4 * i + 2]) < 160 ? 1 : 0;
  return { width, height, ink };
}

// The share of a's model pixels that lie within r pixels of one of b's,
// when b is moved by (dx, dy).
export function nearShare(a, b, r = 2, dx = 0, dy = 0) {
  let count = 0;
  let near = 0;
  for (let y = 0; y < a.height; ++y)
    for (let x = 0; x < a.width; ++x) {
      if (!a.ink[y * a.width + x]) continue;
      ++count;
      search: for (let v = -r; v <= r; ++v)
        for (let u = -r; u <= r; ++u) {
          const bx = x + u - dx;
          const by = y + v - dy;
          if (bx >= 0 && by >= 0 && bx < b.width && by < b.height && b.ink[by * b.width + bx]) {
            ++near;
            break search;
          }
        }
    }
  return count ? near / count : 0;
}

// The centre of the box around a picture's model pixels.
export function inkCentre({ width, height, ink }) {
  let x0 = width;
  let y0 = height;
  let x1 = -1;
  let y1 = -1;
  for (let y = 0; y < height; ++y)
    for (let x = 0; x < width; ++x)
      if (ink[y * width + x]) {
        x0 = Math.min(x0, x);
        x1 = Math.max(x1, x);
        y0 = Math.min(y0, y);
        y1 = Math.max(y1, y);
      }
  return [(x0 + x1) / 2, (y0 + y1) / 2];
}
