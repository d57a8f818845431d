// The exporters against the batch tool, without a browser: every example
// and 200 random programs decoded by the web's module in node and written
// in every format equal dozu-cli run --FORMAT's (byte for byte, or as
// support/exports.mjs says); a name that could inject lines changes no
// line; and the float formatter prints millions of floats as C++'s
// std::to_chars does, powers of two and subnormals among them.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import crypto from 'node:crypto';
import fs from 'node:fs';
import path from 'node:path';
import test from 'node:test';
import { Runtime } from '../../web/src/decode/runtime.js';
import { exportModel } from '../../web/src/export/exporter.js';
import { floatBitsText } from '../../web/src/export/float_text.js';
import { env } from './support/browser.mjs';
import { assertSameExport, zipMembers } from './support/exports.mjs';
import { cli, examples, tempDir } from './support/tools.mjs';

const FORMATS = ['obj', 'ply', 'stl', 'glb', 'gltf', '3mf'];
const CODES = [
  '*',
  '=',
  'R-2',
  'R2',
  'S-4',
  'S4',
  'Y-2',
  'Y2',
  'Y-C',
  'YC',
  'p',
  'q',
  'B',
  'T',
  '[',
  ']',
  '^',
  'V',
  'D',
];

// A program of random lines after a start that lays a few cells, so that
// most make a mesh; at most two subdivisions.
function randomLines(random) {
  const lines = ['*', 'S4', 'R2', '='];
  const count = 2 + Math.floor(random() * 24);
  let subdivisions = 0;
  for (let i = 0; i < count; ++i) {
    let c = CODES[Math.floor(random() * CODES.length)];
    if (c === 'D' && ++subdivisions > 2) c = '^';
    lines.push(c);
  }
  if (random() < 0.3) lines.push('D');
  return lines;
}

function seeded(seed) {
  let s = seed >>> 0;
  return () => {
    s = (Math.imul(s, 1664525) + 1013904223) >>> 0;
    return s / 2 ** 32;
  };
}

test('every export equals dozu-cli run --FORMAT for the examples and random programs', async () => {
  const runtime = await Runtime.start(await WebAssembly.compile(fs.readFileSync(env('DOZU_WASM'))));
  const work = tempDir();
  try {
    const programs = examples().map((file) => ({ file, text: false }));
    const random = seeded(24);
    for (let i = 0; i < 200; ++i) {
      const file = path.join(work, `random_${i}.txt`);
      fs.writeFileSync(file, randomLines(random).join('\n'));
      programs.push({ file, text: true });
    }
    // A file name that would be lines of an OBJ, and text for XML and JSON.
    const hostile = path.join(work, 'x\nmtllib evil.mtl\nv 9 9 9 & <"x">\t\u00e9.txt');
    fs.writeFileSync(hostile, '*\nS4\nR2\n=\n^\nT\n');
    programs.push({ file: hostile, text: true });

    let quads = 0;
    const zips = [];
    for (const [index, { file, text }] of programs.entries()) {
      const stem = path.basename(file).replace(/\.[^.]*$/, '');
      const outputs = FORMATS.flatMap((f) => [`--${f}`, path.join(work, `out.${f}`)]);
      try {
        cli('run', ...(text ? ['--text'] : []), file, ...outputs);
      } catch (e) {
        if (e.status !== 1) throw e; // a fatal error of the program
      }
      const program = text
        ? Buffer.from(`${fs.readFileSync(file, 'latin1').split('\n').filter(Boolean).join(' ')} `, 'latin1')
        : runtime.readProgramFile(fs.readFileSync(file)).text;
      const model = runtime.decode(new Uint8Array(program)).model;
      quads += model.quads.length / 4;
      for (const format of FORMATS) {
        const got = path.join(work, `${index}.${format}`);
        fs.writeFileSync(got, Buffer.concat(await exportModel(format, model, stem)));
        const expected = path.join(work, `out.${format}`);
        if (format !== '3mf') assertSameExport(format, got, expected, `${path.basename(file)} as ${format}`);
        else {
          zips.push([got, `${got}.expected`]);
          fs.renameSync(expected, `${got}.expected`);
        }
      }
    }
    assert.ok(quads > 4000, `${quads} quads in all`);
    const members = zipMembers(zips.flat());
    for (const [i, [got]] of zips.entries()) assert.deepEqual(members[2 * i], members[2 * i + 1], `${got} as 3mf`);
  } finally {
    fs.rmSync(work, { recursive: true, force: true });
  }
});

test('floats are printed as std::to_chars prints them', () => {
  const words = new Uint32Array(3_000_000);
  crypto.randomFillSync(words.subarray(0, 1_000_000));
  const floats = new Float32Array(words.buffer, 4_000_000, 1_500_000);
  for (let i = 0; i < floats.length; ++i) floats[i] = (Math.random() - 0.5) * 10 ** (Math.floor(Math.random() * 8) - 4);
  let k = 2_500_000;
  for (let field = 0; field < 256; ++field)
    for (const fraction of [0, 1, 2, 0x7fffff, 0x400000])
      for (const sign of [0, 0x80000000]) words[k++] = (sign | (field << 23) | fraction) >>> 0;
  while (k < words.length) words[k++] = (k * 2654435761) & 0x807fffff; // subnormals
  const expected = execFileSync(env('DOZU_FLOAT_TEXTS'), { input: Buffer.from(words.buffer), maxBuffer: 1 << 30 })
    .toString()
    .split('\n');
  let wrong = 0;
  for (let i = 0; i < words.length; ++i) {
    const got = floatBitsText(words[i]);
    if (got !== expected[i] && wrong++ < 10) assert.fail(`${words[i].toString(16)}: ${got}, C++ ${expected[i]}`);
  }
});
