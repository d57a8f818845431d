// Files: a .tpg opened through the file input or dropped on the page gives
// dozu-cli's model and warnings; the page saves it as dozu-cli reads and
// compiles it; its GLB passes the Khronos glTF validator, and its GLB, OBJ
// and STL hold the model's vertices and two triangles per quad.
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import test from 'node:test';
import { allowDownloads, downloaded, env, launch, newPage, serve, settled } from './support/browser.mjs';
import { cli, native, objCounts, status, tempDir } from './support/tools.mjs';

const custom = () => path.join(env('DOZU_TEST_DATA'), 'samples', 'table_00.tpg');
const spiral = () => path.join(env('DOZU_EXAMPLES'), 'spiral.tpg');

// The warnings dozu-cli run gives about a file, without its name.
function warningsOf(file) {
  const run = spawnSync(env('DOZU_CLI'), ['run', file], { encoding: 'latin1' });
  const prefix = `${file}: `;
  return run.stderr.split('\n').filter((l) => l.startsWith(`${prefix}warning: `)).map((l) => l.slice(prefix.length));
}

// The JSON chunk of a GLB.
const glbJson = (glb) => JSON.parse(glb.subarray(20, 20 + glb.readUInt32LE(12)).toString());

test('files open, save and export as dozu-cli and the glTF validator read them', async () => {
  const site = await serve(env('DOZU_SITE'));
  const browser = await launch();
  const downloads = tempDir();
  try {
    const page = await newPage(browser);
    await allowDownloads(page, downloads);
    await page.goto(`${site.url}/`);
    await settled(page);

    // A program of its own command table, with stray step bytes.
    await (await page.$('#file-input')).uploadFile(custom());
    await page.waitForFunction(() => document.getElementById('status-note').textContent.startsWith('opened'));
    let state = await settled(page);
    assert.equal(state.status, status(objCounts(custom())));
    assert.equal(state.hash, native(custom()).hash);
    assert.deepEqual(
      state.messages.filter((m) => m.startsWith('warning: ')),
      warningsOf(custom()),
    );

    // Dropped on the page, the spiral; saved, it is the same file.
    await page.evaluate(
      (name, bytes) => {
        const data = new DataTransfer();
        data.items.add(new File([new Uint8Array(bytes)], name));
        document.getElementById('view').dispatchEvent(new DragEvent('drop', { dataTransfer: data, bubbles: true }));
      },
      'spiral.tpg',
      [...fs.readFileSync(spiral())],
    );
    await page.waitForFunction(() => document.getElementById('status-note').textContent === 'opened spiral.tpg');
    state = await settled(page);
    const counts = objCounts(spiral());
    assert.equal(state.status, status(counts));
    assert.equal(state.hash, native(spiral()).hash);
    await page.click('#save');
    assert.deepEqual(await downloaded(downloads, 'spiral.tpg'), fs.readFileSync(spiral()));
    await page.click('#save-compiled');
    assert.deepEqual(await downloaded(downloads, 'spiral.bin'), cli('compile', spiral(), '-'));

    for (const format of ['glb', 'obj', 'stl']) await page.click(`#export-${format}`);
    const glb = await downloaded(downloads, 'spiral.glb');
    const json = glbJson(glb);
    const primitive = json.meshes[0].primitives[0];
    assert.equal(json.accessors[primitive.attributes.POSITION].count, counts.vertices);
    assert.equal(json.accessors[primitive.indices].count, 6 * counts.quads);
    const validate = path.join(path.dirname(new URL(import.meta.url).pathname), '..', 'cli', 'gltf_validate.js');
    const report = execFileSync(process.execPath, [validate, env('DOZU_GLTF_MODULES'), path.join(downloads, 'spiral.glb')]);
    assert.match(report.toString(), /0 errors, 0 warnings/);
    const obj = (await downloaded(downloads, 'spiral.obj')).toString();
    assert.equal((obj.match(/^v /gm) || []).length, counts.vertices);
    assert.equal((obj.match(/^f /gm) || []).length, 2 * counts.quads);
    const stl = await downloaded(downloads, 'spiral.stl');
    assert.equal(stl.readUInt32LE(80), 2 * counts.quads);
    assert.equal(stl.length, 84 + 50 * 2 * counts.quads);
    assert.deepEqual(page.errors, []);
  } finally {
    await browser.close();
    await site.close();
    fs.rmSync(downloads, { recursive: true, force: true });
  }
});
