// The web page's figures, in headless Chromium on SwiftShader (antialiasing
// off), after a release build:
//   node bench/web_bench.mjs [BUILD_FOLDER]     (default build/release)
// - the decoder module's size, and gzipped;
// - the one-file page of examples/spiral.tpg;
// - the decode of the editor benchmark's program (a chain of 100k quads,
//   subdivided once: 400k quads) in the page's worker against the native
//   runtime at -O3 (medians of ten and of thirty);
// - a change to its drawn frame, for that model and for the chain of 100k
//   quads alone (medians of ten);
// - the first frame of a page opened from a local server.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import zlib from 'node:zlib';

const root = path.resolve(path.dirname(new URL(import.meta.url).pathname), '..');
const build = path.resolve(process.argv[2] || path.join(root, 'build', 'release'));
process.env.DOZU_WEB_MODULES = path.join(build, 'web', 'npm', 'node_modules');
const { launch, newPage, serve, settled } = await import('../tests/web/support/browser.mjs');

const cli = path.join(build, 'dozu-cli');
const nativeMesh = path.join(build, 'tests', 'native_mesh');
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'dozu-web-bench-'));
const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];
const kb = (bytes) => `${(bytes / 1024).toFixed(1)} KB`;

function native(text, repeat = 0) {
  const file = path.join(work, 'program.txt');
  fs.writeFileSync(file, text);
  return JSON.parse(execFileSync(nativeMesh, ['--text', file, ...(repeat ? ['--repeat', String(repeat)] : [])]));
}

// bench/models.cpp's chain: a spine with turning branches, closed at both
// ends, of about `quads` quads.
function chainProgram(quads) {
  const head = ['*', 'S4', 'R2', '=', 'B'];
  const segment = [
    '^',
    '[',
    'YC',
    '^',
    '^',
    'Y2',
    '^',
    '^',
    ']',
    '^',
    '[',
    'Y-C',
    '^',
    'Y-2',
    '^',
    ']',
    '^',
    '[',
    'YC',
    '^',
    'YC',
    '^',
    ']',
    '^',
  ];
  const program = (n) => [...head, ...Array(n).fill(segment).flat(), 'T'].map((c) => `${c} `).join('');
  const base = native(program(0)).quads;
  const per = native(program(1)).quads - base;
  return program(quads > base ? Math.floor((quads - base + Math.floor(per / 2)) / per) : 0);
}

const wasm = fs.readFileSync(path.join(build, 'web', 'dozu.wasm'));
console.log(
  `decoder module: ${wasm.length} bytes (${kb(wasm.length)}), gzip -9 ${zlib.gzipSync(wasm, { level: 9 }).length} bytes`,
);
const oneFile = path.join(work, 'spiral.html');
execFileSync(cli, ['html', path.join(root, 'examples', 'spiral.tpg'), '-o', oneFile]);
console.log(`one-file page of spiral.tpg: ${fs.statSync(oneFile).size} bytes (${kb(fs.statSync(oneFile).size)})`);

const site = await serve(path.join(build, 'web', 'site'));
const browser = await launch();
try {
  // The first frame of a page from the local server, with a model.
  const firsts = [];
  for (let i = 0; i < 5; ++i) {
    const page = await newPage(browser);
    await page.goto(`${site.url}/#p=*_S4_R2_=_B_^_^_Y2_^_^_T_D_`);
    firsts.push((await settled(page)).firstFrameMs);
    await page.close();
  }
  console.log(`first frame from a local server: ${median(firsts).toFixed(0)} ms after navigation`);

  for (const [label, quads, tail] of [
    ['chain of 100k quads', 100000, ''],
    ['editor benchmark (100k quads, subdivided once)', 100000, 'D '],
  ]) {
    const text = chainProgram(quads) + tail;
    const expected = native(text, 30);
    const link = `${site.url}/#z=${zlib.deflateRawSync(text, { level: 9 }).toString('base64url')}`;
    const page = await newPage(browser);
    await page.goto(link);
    let state = await settled(page);
    if (state.hash !== expected.hash) throw new Error(`${label}: the page's mesh is not the native runtime's`);
    // A change: a forward step clicked in before the closing "T", then
    // undone, over and over; each a run of the whole program and a frame.
    await page.focus('#program');
    await page.keyboard.press('ArrowUp');
    if (tail) await page.keyboard.press('ArrowUp');
    const decodes = [];
    const frames = [];
    for (let i = 0; i < 10; ++i) {
      if (i % 2) {
        await page.keyboard.down('Control');
        await page.keyboard.press('z');
        await page.keyboard.up('Control');
      } else {
        await page.click('#commands button[data-tag="17"]');
      }
      state = await settled(page, { hash: false });
      decodes.push(state.decodeMs);
      frames.push(state.changeToFrameMs);
    }
    if (process.env.DOZU_BENCH_VERBOSE)
      console.log(decodes.map(Math.round).join(' '), '/', frames.map(Math.round).join(' '));
    const browserMs = median(decodes);
    console.log(`${label}: ${state.status}`);
    console.log(
      `  decode: page's worker ${browserMs.toFixed(1)} ms, native -O3 ${expected.ms.toFixed(1)} ms: ` +
        `${(browserMs / expected.ms).toFixed(2)} times native`,
    );
    console.log(
      `  change to drawn frame: ${median(frames).toFixed(0)} ms (last frame's drawing ${state.frameMs.toFixed(0)} ms)`,
    );
    await page.close();
  }
} finally {
  await browser.close();
  await site.close();
  fs.rmSync(work, { recursive: true, force: true });
}
