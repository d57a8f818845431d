// Prints a PNG's width, height and how many of its pixels differ from its
// top-left corner (the background): "W H INK". 8-bit grey, RGB or RGBA,
// without interlacing, as the batch tool writes them.
'use strict';
const fs = require('fs');
const zlib = require('zlib');

const png = fs.readFileSync(process.argv[2]);
if (png.toString('latin1', 1, 4) !== 'PNG') throw new Error('not a PNG');
let width, height, channels;
const idat = [];
for (let at = 8; at < png.length;) {
  const length = png.readUInt32BE(at), type = png.toString('latin1', at + 4, at + 8);
  const data = png.subarray(at + 8, at + 8 + length);
  if (type === 'IHDR') {
    [width, height] = [data.readUInt32BE(0), data.readUInt32BE(4)];
    channels = {0: 1, 2: 3, 6: 4}[data[9]];
    if (data[8] !== 8 || !channels || data[12] !== 0) throw new Error('unsupported PNG layout');
  } else if (type === 'IDAT') {
    idat.push(data);
  }
  at += 12 + length;
}
const raw = zlib.inflateSync(Buffer.concat(idat));
const stride = width * channels, pixels = Buffer.alloc(stride * height);
for (let y = 0; y < height; ++y) {
  const filter = raw[y * (stride + 1)], row = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
  for (let x = 0; x < stride; ++x) {
    const a = x >= channels ? pixels[y * stride + x - channels] : 0;
    const b = y > 0 ? pixels[(y - 1) * stride + x] : 0;
    const c = x >= channels && y > 0 ? pixels[(y - 1) * stride + x - channels] : 0;
    const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
    const predictor = [0, a, b, (a + b) >> 1, pa <= pb && pa <= pc ? a : pb <= pc ? b : c][filter];
    if (predictor === undefined) throw new Error('bad filter type ' + filter);
    pixels[y * stride + x] = (row[x] + predictor) & 0xff;
  }
}
let ink = 0;
for (let i = 0; i < pixels.length; i += channels)
  if (pixels.compare(pixels, 0, channels, i, i + channels) !== 0) ++ink;
console.log(width, height, ink);
