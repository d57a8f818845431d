// The web's figures, after a release build, in node and in headless
// Chromium on SwiftShader:
//   npm ci --prefix bench      (once: Draco, meshoptimizer, gltfpack)
//   node bench/web_bench.mjs [BUILD_FOLDER] [--before WORKTREE]
// - sizes, gzip -9: dozu-model.js with its module and viewer, the one-file
//   page of examples/spiral.tpg, the page's first load;
// - for each example and the editor benchmark's model (bench/models.cpp's
//   chain of 100k quads, subdivided once: 400k quads), the link's length
//   against the GLB that dozu-cli writes, that GLB with Draco
//   (KHR_draco_mesh_compression, by glTF-Transform and draco3dgltf) and
//   with meshopt (gltfpack -cc);
// - the decode to drawable arrays of the editor benchmark's model by
//   dozu's module, by Draco's decoder and by meshoptimizer's, in node and
//   in Chromium, against the native runtime; with --before (a worktree of
//   the commit before the one viewer, built in its build/release), also
//   the page's decode as it was (its module and its JavaScript loop), and
//   the first drawn frame of spiral's #p= link and a change to the drawn
//   frame at 400k quads, each page against the other in one run.
// Every figure is a median, and ratios are taken within the run: the
// machines are shared and noisy.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import { createRequire } from 'node:module';
import os from 'node:os';
import path from 'node:path';
import zlib from 'node:zlib';

const root = path.resolve(path.dirname(new URL(import.meta.url).pathname), '..');
const args = process.argv.slice(2);
const beforeAt = args.indexOf('--before');
const beforeTree = beforeAt >= 0 ? path.resolve(args.splice(beforeAt, 2)[1]) : null;
const before = beforeTree && path.join(beforeTree, 'build', 'release', 'web', 'site');
const build = path.resolve(args[0] || path.join(root, 'build', 'release'));
process.env.DOZU_WEB_MODULES = path.join(build, 'web', 'npm', 'node_modules');
const { launch, newPage, serve, settled } = await import('../tests/web/support/browser.mjs');
const { Runtime } = await import('../web/src/decode/runtime.js');
const { defaultTable, stepsOfText } = await import('../web/src/program/table.js');
globalThis.__DOZU_MAX_LINK__ = Number.POSITIVE_INFINITY;
const { shareFragment } = await import('../web/src/link/make_link.js');
const need = createRequire(path.join(root, 'bench', 'node_modules', 'noop.js'));

const cli = path.join(build, 'dozu-cli');
const site = path.join(build, 'web', 'site');
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'dozu-web-bench-'));
const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];
const gz = (bytes) => zlib.gzipSync(bytes, { level: 9 }).length;
const kb = (bytes) => `${(bytes / 1024).toFixed(1)} KB`;
const cpuMs = () => {
  const u = process.cpuUsage();
  return (u.user + u.system) / 1000;
};

// bench/models.cpp's chain: a spine with turning branches, of about 100k
// quads; subdivided once it is the editor benchmark's model.
function chainText() {
  const segment = '^ [ YC ^ ^ Y2 ^ ^ ] ^ [ Y-C ^ Y-2 ^ ] ^ [ YC ^ YC ^ ] ^ ';
  return `* S4 R2 = B ${segment.repeat(2083)}T D `;
}

// ---- sizes
const read = (name) => fs.readFileSync(path.join(site, name));
const oneFile = path.join(work, 'spiral.html');
execFileSync(cli, ['html', path.join(root, 'examples', 'spiral.tpg'), '-o', oneFile]);
const firstLoad = ['index.html', 'page.css', 'dozu-page.js'].reduce((n, f) => n + gz(read(f)), 0);
console.log('sizes, gzip -9:');
console.log(`  dozu-model.js with its module and viewer: ${kb(gz(read('dozu-model.js')))} (budget 25 KB)`);
console.log(
  `  one-file page of spiral: ${kb(gz(fs.readFileSync(oneFile)))} (${kb(fs.statSync(oneFile).size)} as it is)`,
);
console.log(`  the page's first load (index.html, page.css, dozu-page.js): ${kb(firstLoad)} (budget 60 KB)`);

// ---- links against mesh codecs
const { NodeIO } = need('@gltf-transform/core');
const { KHRDracoMeshCompression } = need('@gltf-transform/extensions');
const draco3d = need('draco3dgltf');
const dracoEncoder = await draco3d.createEncoderModule();
const dracoDecoder = await draco3d.createDecoderModule();
const io = new NodeIO().registerExtensions([KHRDracoMeshCompression]).registerDependencies({
  'draco3d.encoder': dracoEncoder,
  'draco3d.decoder': dracoDecoder,
});
const gltfpack = path.join(root, 'bench', 'node_modules', 'gltfpack', 'cli.js');

async function codecs(name, text, tpg = null) {
  const program = path.join(work, `${name}.txt`);
  fs.writeFileSync(program, text.trim().split(' ').join('\n'));
  const glb = path.join(work, `${name}.glb`);
  execFileSync(cli, ['run', '--text', program, '--glb', glb]);
  const document = await io.read(glb);
  document.createExtension(KHRDracoMeshCompression).setRequired(true);
  const draco = Buffer.from(await io.writeBinary(document));
  fs.writeFileSync(path.join(work, `${name}.draco.glb`), draco);
  const meshopt = path.join(work, `${name}.meshopt.glb`);
  execFileSync(process.execPath, [gltfpack, '-i', glb, '-o', meshopt, '-cc'], { stdio: 'ignore' });
  const floats = path.join(work, `${name}.meshopt-floats.glb`);
  execFileSync(process.execPath, [gltfpack, '-i', glb, '-o', floats, '-cc', '-noq'], { stdio: 'ignore' });
  const fragment = tpg
    ? execFileSync(cli, ['link', tpg])
        .toString()
        .trim()
        .replace(/^[^#]*/, '')
    : await shareFragment(defaultTable(), stepsOfText(text));
  return {
    name,
    link: fragment.length,
    glb: fs.statSync(glb).size,
    draco: draco.length,
    meshopt: fs.statSync(meshopt).size,
  };
}

const examples = fs.readdirSync(path.join(root, 'examples')).filter((f) => f.endsWith('.tpg'));
const runtime = await Runtime.start(await WebAssembly.compile(fs.readFileSync(path.join(build, 'web', 'dozu.wasm'))));
const rows = [];
for (const file of examples) {
  const tpg = runtime.readProgramFile(fs.readFileSync(path.join(root, 'examples', file)));
  const text = Buffer.from(tpg.text).toString('latin1');
  rows.push(await codecs(file.replace('.tpg', ''), text, path.join(root, 'examples', file)));
}
rows.push(await codecs('editor benchmark', chainText()));
console.log('\n| model | link fragment | GLB | GLB + Draco | GLB + meshopt (-cc) |');
console.log('|---|---|---|---|---|');
for (const r of rows)
  console.log(
    `| ${r.name} | ${r.link} | ${r.glb} (${(r.glb / r.link).toFixed(0)}x) | ${r.draco} (${(r.draco / r.link).toFixed(0)}x) | ${r.meshopt} (${(r.meshopt / r.link).toFixed(0)}x) |`,
  );
const ratios = (key) => median(rows.map((r) => r[key] / r.link)).toFixed(0);
console.log(
  `medians: GLB ${ratios('glb')}x, Draco ${ratios('draco')}x, meshopt ${ratios('meshopt')}x the link's length`,
);

// ---- decode to drawable arrays, in node
const editorText = Buffer.from(chainText(), 'latin1');
const dracoFile = fs.readFileSync(path.join(work, 'editor benchmark.draco.glb'));
const meshoptFile = fs.readFileSync(path.join(work, 'editor benchmark.meshopt-floats.glb'));

// The parts of a GLB: its JSON and its binary chunk.
function glbParts(glb) {
  const json = glb.readUInt32LE(12);
  return { json: JSON.parse(glb.subarray(20, 20 + json).toString()), bin: glb.subarray(28 + json) };
}

function dozuDecode() {
  const result = runtime.decode(new Uint8Array(editorText), { arrayLimit: 2097152 });
  const m = result.model;
  return [m.vertices.slice(), m.triangles.slice(), m.edges.slice()];
}

function dracoDecode(decoder) {
  const { json, bin } = glbParts(dracoFile);
  const ext = json.meshes[0].primitives[0].extensions.KHR_draco_mesh_compression;
  const view = json.bufferViews[ext.bufferView];
  const data = bin.subarray(view.byteOffset || 0, (view.byteOffset || 0) + view.byteLength);
  const d = new decoder.Decoder();
  const mesh = new decoder.Mesh();
  d.DecodeArrayToMesh(data, data.length, mesh);
  const out = [];
  for (const id of Object.values(ext.attributes)) {
    const attribute = d.GetAttributeByUniqueId(mesh, id);
    const count = mesh.num_points() * attribute.num_components();
    const pointer = decoder._malloc(count * 4);
    d.GetAttributeDataArrayForAllPoints(mesh, attribute, decoder.DT_FLOAT32, count * 4, pointer);
    out.push(new Float32Array(decoder.HEAPF32.buffer, pointer, count).slice());
    decoder._free(pointer);
  }
  const indices = mesh.num_faces() * 3;
  const pointer = decoder._malloc(indices * 4);
  d.GetTrianglesUInt32Array(mesh, indices * 4, pointer);
  out.push(new Uint32Array(decoder.HEAPU32.buffer, pointer, indices).slice());
  decoder._free(pointer);
  decoder.destroy(mesh);
  decoder.destroy(d);
  return out;
}

async function meshoptDecoder() {
  const { MeshoptDecoder } = await import(path.join(root, 'bench', 'node_modules', 'meshoptimizer', 'index.js'));
  await MeshoptDecoder.ready;
  const { json, bin } = glbParts(meshoptFile);
  return () =>
    json.bufferViews
      .filter((v) => v.extensions?.EXT_meshopt_compression)
      .map((v) => {
        const c = v.extensions.EXT_meshopt_compression;
        const out = new Uint8Array(c.count * c.byteStride);
        const source = bin.subarray(c.byteOffset || 0, (c.byteOffset || 0) + c.byteLength);
        MeshoptDecoder.decodeGltfBuffer(out, c.count, c.byteStride, source, c.mode, c.filter);
        return out;
      });
}

const meshopt = await meshoptDecoder();
const decoders = { dozu: dozuDecode, draco: () => dracoDecode(dracoDecoder), meshopt };
const times = Object.fromEntries(Object.keys(decoders).map((k) => [k, []]));
for (let i = 0; i < 15; ++i)
  for (const [name, decode] of Object.entries(decoders)) {
    const started = cpuMs();
    decode();
    times[name].push(cpuMs() - started);
  }
fs.writeFileSync(path.join(work, 'editor.txt'), editorText);
const native = JSON.parse(
  execFileSync(path.join(build, 'tests', 'web', 'native_mesh'), [
    '--text',
    path.join(work, 'editor.txt'),
    '--repeat',
    '15',
  ]),
);
const nodeDozu = median(times.dozu);
console.log('\ndecode of the editor benchmark model to drawable arrays, node (CPU time, medians of 15):');
console.log(
  `  dozu's module ${nodeDozu.toFixed(1)} ms, Draco ${median(times.draco).toFixed(1)} ms, meshopt ${median(times.meshopt).toFixed(1)} ms`,
);
console.log(
  `  dozu / meshopt ${(nodeDozu / median(times.meshopt)).toFixed(2)}, dozu / Draco ${(nodeDozu / median(times.draco)).toFixed(2)}`,
);
console.log(
  `  native runtime: decode ${native.ms.toFixed(1)} ms, with the arrays ${native.arrays_ms.toFixed(1)} ms; ` +
    `the module / native decode ${(nodeDozu / native.ms).toFixed(2)}, / native with arrays ${(nodeDozu / native.arrays_ms).toFixed(2)}`,
);

// ---- in Chromium
const files = {
  '/bench.html': '<!doctype html><meta charset="utf-8"><title>bench</title>',
  '/dozu.wasm': fs.readFileSync(path.join(build, 'web', 'dozu.wasm')),
  '/editor.txt': editorText,
  '/draco.glb': dracoFile,
  '/meshopt.glb': meshoptFile,
};
if (beforeTree) {
  files['/before.wasm'] = fs.readFileSync(path.join(before, '..', 'dozu.wasm'));
  files['/before_drawing.js'] = fs.readFileSync(path.join(beforeTree, 'web', 'src', 'mesh_drawing.js'));
}
const browserSite = await serve(site, files);
const bench = await serve(path.join(root), files);
const browser = await launch();
try {
  const page = await newPage(browser);
  await page.goto(`${bench.url}/bench.html`);
  const inPage = await page.evaluate(async () => {
    const { Runtime } = await import('/web/src/decode/runtime.js');
    const runtime = await Runtime.start(await WebAssembly.compileStreaming(fetch('/dozu.wasm')));
    const text = new Uint8Array(await (await fetch('/editor.txt')).arrayBuffer());
    const { MeshoptDecoder } = await import('/bench/node_modules/meshoptimizer/meshopt_decoder.mjs');
    await MeshoptDecoder.ready;
    const glb = new Uint8Array(await (await fetch('/meshopt.glb')).arrayBuffer());
    const view = new DataView(glb.buffer);
    const jsonLength = view.getUint32(12, true);
    const json = JSON.parse(new TextDecoder().decode(glb.subarray(20, 20 + jsonLength)));
    const bin = glb.subarray(28 + jsonLength);
    const compressed = json.bufferViews.filter((v) => v.extensions?.EXT_meshopt_compression);
    const runs = { dozu: [], meshopt: [] };
    // As the page's worker does once it has buffers back: copies into them.
    let spare = null;
    for (let i = 0; i < 15; ++i) {
      let t = performance.now();
      const m = runtime.decode(text, { arrayLimit: 2097152 }).model;
      const arrays = [m.vertices, m.triangles, m.edges];
      if (spare) for (const [k, a] of arrays.entries()) new a.constructor(spare[k], 0, a.length).set(a);
      else spare = arrays.map((a) => a.slice().buffer);
      runs.dozu.push(performance.now() - t);
      t = performance.now();
      for (const v of compressed) {
        const c = v.extensions.EXT_meshopt_compression;
        const out = new Uint8Array(c.count * c.byteStride);
        const source = bin.subarray(c.byteOffset || 0, (c.byteOffset || 0) + c.byteLength);
        MeshoptDecoder.decodeGltfBuffer(out, c.count, c.byteStride, source, c.mode, c.filter);
      }
      runs.meshopt.push(performance.now() - t);
    }
    // The page before: its module's decode, the copies and its loop.
    runs.before = [];
    const drawing = await import('/before_drawing.js').catch(() => null);
    if (drawing) {
      const old = await WebAssembly.instantiate(await WebAssembly.compileStreaming(fetch('/before.wasm')), {
        env: { dz_message() {} },
      });
      const x = old.exports;
      const at = x.dz_input(text.length);
      new Uint8Array(x.memory.buffer, at, text.length).set(text);
      for (let i = 0; i < 15; ++i) {
        const t = performance.now();
        x.dz_decode(text.length);
        const vertices = new Float32Array(x.memory.buffer, x.dz_vertices(), 6 * x.dz_vertex_count()).slice();
        const quads = new Uint32Array(x.memory.buffer, x.dz_indices(), x.dz_index_count()).slice();
        drawing.meshDrawing(vertices, quads);
        runs.before.push(performance.now() - t);
      }
    }
    const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];
    return { dozu: median(runs.dozu), meshopt: median(runs.meshopt), before: drawing ? median(runs.before) : 0 };
  });
  if (inPage.before)
    console.log(
      `  the page before, decode and its loop: ${inPage.before.toFixed(1)} ms; now ${(inPage.dozu / inPage.before).toFixed(2)} times that`,
    );
  console.log('decode to drawable arrays, Chromium (medians of 15):');
  console.log(
    `  dozu's module ${inPage.dozu.toFixed(1)} ms, meshopt ${inPage.meshopt.toFixed(1)} ms: ` +
      `${(inPage.dozu / inPage.meshopt).toFixed(2)} times meshopt, ${(inPage.dozu / native.ms).toFixed(2)} times the native decode, ` +
      `${(inPage.dozu / native.arrays_ms).toFixed(2)} times the native decode with its arrays`,
  );
  await page.close();

  if (before) {
    const old = await serve(before);
    // The first drawn frame of spiral's #p= link: a fresh browser each.
    const link = execFileSync(cli, ['link', path.join(root, 'examples', 'spiral.tpg'), '--base', '/'])
      .toString()
      .trim();
    const firsts = { now: [], before: [] };
    for (let i = 0; i < 5; ++i)
      for (const [which, at] of [
        ['now', browserSite.url],
        ['before', old.url],
      ]) {
        const fresh = await launch();
        const p = await newPage(fresh);
        await p.goto(`${at}${link}`);
        firsts[which].push((await settled(p, { hash: false })).firstFrameMs);
        await fresh.close();
      }
    const [now, was] = [median(firsts.now), median(firsts.before)];
    console.log(
      `first drawn frame of spiral's link: ${now.toFixed(0)} ms, before ${was.toFixed(0)} ms: ${(now / was).toFixed(2)}`,
    );

    // A change to its drawn frame at 400k quads: a step clicked in before
    // the closing "T" and undone, over and over.
    const z = `#z=${zlib.deflateRawSync(editorText, { level: 9 }).toString('base64url')}`;
    const changes = {};
    for (const [which, at] of [
      ['now', browserSite.url],
      ['before', old.url],
    ]) {
      const p = await newPage(browser);
      await p.goto(`${at}/${z}`);
      await settled(p, { hash: false });
      await p.focus('#program');
      await p.keyboard.press('ArrowUp');
      await p.keyboard.press('ArrowUp');
      const frames = [];
      const decodes = [];
      for (let i = 0; i < 10; ++i) {
        if (i % 2) {
          await p.keyboard.down('Control');
          await p.keyboard.press('z');
          await p.keyboard.up('Control');
        } else {
          await p.click('#commands button[data-tag="17"]');
        }
        const state = await settled(p, { hash: false });
        frames.push(state.changeToFrameMs);
        decodes.push(state.decodeMs);
      }
      changes[which] = { frame: median(frames), decode: median(decodes) };
      await p.close();
    }
    console.log(
      `400k quads, change to drawn frame: ${changes.now.frame.toFixed(0)} ms, before ${changes.before.frame.toFixed(0)} ms: ` +
        `${(changes.now.frame / changes.before.frame).toFixed(2)}; the worker's decode to drawable arrays ` +
        `${changes.now.decode.toFixed(1)} ms, before (decode and its loop) ${changes.before.decode.toFixed(1)} ms: ` +
        `${(changes.now.decode / changes.before.decode).toFixed(2)}`,
    );
    await old.close();
  }
} finally {
  await browser.close();
  await browserSite.close();
  await bench.close();
  fs.rmSync(work, { recursive: true, force: true });
}
