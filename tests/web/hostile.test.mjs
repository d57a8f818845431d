// Hostile input: fragments that hold no program, a garbage .tpg, a program
// that subdivides past the decoder's limit, and a run that takes long: each
// says so in the page, leaves no model it did not make, and raises nothing
// in the console.
import assert from 'node:assert/strict';
import crypto from 'node:crypto';
import fs from 'node:fs';
import path from 'node:path';
import test from 'node:test';
import zlib from 'node:zlib';
import { env, launch, newPage, serve, settled } from './support/browser.mjs';
import { tempDir } from './support/tools.mjs';

const base64url = (bytes) => Buffer.from(bytes).toString('base64url');
const deflated = (text) => base64url(zlib.deflateRawSync(Buffer.from(text, 'latin1')));

test('hostile input gives a clear message and no uncaught error', async () => {
  const site = await serve(env('DOZU_SITE'));
  const browser = await launch();
  const work = tempDir();
  try {
    const page = await newPage(browser);
    await page.goto(`${site.url}/#p=*_S4_R2_=_B_^_T_`);
    assert.equal((await settled(page)).status, '12 vertices, 10 quads');

    const garbage = [
      '#p=*_S4_%ZZ',
      '#p=*_S4_R2_=_B_^_T_%00',
      '#p=*__S4_',
      '#q=abc',
      '#z=!!!!',
      `#z=${base64url(crypto.randomBytes(40))}`,
      `#z=${deflated('* S4 R2 = B ^ fly ')}`,
      `#t=${base64url(crypto.randomBytes(300))}`,
      `#z=${base64url(zlib.deflateRawSync(Buffer.alloc(80 * 1024 * 1024, 0x5e)))}`,
    ];
    for (const fragment of garbage) {
      await page.evaluate((f) => (location.hash = f), fragment);
      await page.waitForFunction(() => document.getElementById('view-message').textContent !== '');
      const state = await settled(page);
      assert.match(state.viewMessage, /^This address does not hold a dozu program: .+\.$/, fragment);
      assert.deepEqual(state.lines, [], fragment);
      assert.equal(state.hash, null, fragment);
      assert.equal(state.status, '', fragment);
    }

    // A file of random bytes loads as dozu loads it: with its warnings.
    const junk = path.join(work, 'junk.tpg');
    fs.writeFileSync(junk, crypto.randomBytes(5000));
    await (await page.$('#file-input')).uploadFile(junk);
    await page.waitForFunction(() => document.getElementById('status-note').textContent === 'opened junk.tpg');
    let state = await settled(page);
    assert.ok(
      state.messages.some((m) => /^warning: (file ends after|step byte)/.test(m)),
      state.messages.join('\n'),
    );
    assert.equal(state.viewMessage, '');

    // Subdivided until the decoder refuses: nine levels on 18 quads make
    // 4.7 million, more than the page draws and the tenth level takes. The
    // page says "running..." at once here, whatever the machine's speed;
    // the wait polls on every change of the page, not every frame, which a
    // large model on a loaded machine makes slow.
    const open = (fragment) =>
      page.evaluate((f) => {
        window.dozuPage.setRunningDelay(0);
        location.hash = f;
      }, fragment);
    await open(`#p=*_S4_R2_=_B_^_^_^_T_${'D_'.repeat(10)}`);
    await page.waitForFunction(() => !document.getElementById('status-running').hidden, { polling: 'mutation' });
    state = await settled(page);
    assert.ok(state.messages.includes('19: fatal error: mesh too large to subdivide'), state.messages.join('\n'));
    assert.equal(state.viewMessage, 'The model has 4718592 quads: more than this page draws (2097152).');
    assert.equal(await page.$eval('#status-running', (e) => e.hidden), true);

    // A long run cancelled leaves the last finished model.
    await open(`#p=*_S4_R2_=_B_^_T_${'D_'.repeat(8)}`);
    const shown = await settled(page);
    await page.click('#commands button[data-tag="19"]');
    await page.waitForFunction(() => !document.getElementById('cancel-run').hidden, { polling: 'mutation' });
    await page.keyboard.press('Escape');
    state = await settled(page);
    assert.equal(state.hash, shown.hash);
    assert.equal(state.status, shown.status);
    assert.equal(await page.$eval('#cancel-run', (e) => e.hidden), true);
    assert.deepEqual(page.errors, []);
  } finally {
    await browser.close();
    await site.close();
    fs.rmSync(work, { recursive: true, force: true });
  }
});
