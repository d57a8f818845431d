// Files: a .tpg opened through the file input or dropped on the page gives
// dozu-cli's model and warnings; the page saves it as dozu-cli reads and
// compiles it; its exports in every format are dozu-cli's, and its GLB
// passes the Khronos glTF validator.
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import test from 'node:test';
import { allowDownloads, downloaded, env, launch, newPage, serve, settled } from './support/browser.mjs';
import { assertSameExport } from './support/exports.mjs';
import { cli, native, objCounts, status, tempDir } from './support/tools.mjs';

const custom = () => path.join(env('DOZU_TEST_DATA'), 'samples', 'table_00.tpg');
const spiral = () => path.join(env('DOZU_EXAMPLES'), 'spiral.tpg');

// The warnings dozu-cli run gives about a file, without its name.
function warningsOf(file) {
  const run = spawnSync(env('DOZU_CLI'), ['run', file], { encoding: 'latin1' });
  const prefix = `${file}: `;
  return run.stderr
    .split('\n')
    .filter((l) => l.startsWith(`${prefix}warning: `))
    .map((l) => l.slice(prefix.length));
}

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

    // In trace mode too, an export holds the whole program's model.
    await page.$eval('#program', (list) => {
      list.scrollTop = 0;
      list.dispatchEvent(new Event('scroll'));
    });
    await page.click('#program .row[data-line="3"]');
    await page.click('#trace');
    assert.notEqual((await settled(page)).status, status(counts));
    for (const format of ['obj', 'ply', 'stl', 'glb', 'gltf', '3mf']) {
      await page.click(`#export-${format}`);
      await downloaded(downloads, `spiral.${format}`);
      const expected = path.join(downloads, `expected.${format}`);
      cli('run', spiral(), `--${format}`, expected);
      assertSameExport(format, path.join(downloads, `spiral.${format}`), expected, `spiral.${format}`);
    }
    const validate = path.join(path.dirname(new URL(import.meta.url).pathname), '..', 'cli', 'gltf_validate.js');
    const report = execFileSync(process.execPath, [
      validate,
      env('DOZU_GLTF_MODULES'),
      path.join(downloads, 'spiral.glb'),
    ]);
    assert.match(report.toString(), /0 errors, 0 warnings/);
    assert.deepEqual(page.errors, []);
  } finally {
    await browser.close();
    await site.close();
    fs.rmSync(downloads, { recursive: true, force: true });
  }
});
