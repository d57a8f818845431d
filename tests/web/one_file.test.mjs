// A model outside the editor: the one-file page of dozu-cli html opens from
// file:// without a network and draws; two <dozu-model> elements on one
// page draw both, and embed.html draws in an <iframe>.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import test from 'node:test';
import { env, inkOf, launch, modelHash, newPage, serve } from './support/browser.mjs';
import { cli, native, objCounts, tempDir } from './support/tools.mjs';

const example = (name) => path.join(env('DOZU_EXAMPLES'), `${name}.tpg`);

test('the one-file page, the web component and the embed page draw their models', async () => {
  const work = tempDir();
  const text = path.join(work, 'program.txt');
  fs.writeFileSync(text, '* S4 R2 = B ^ ^ T D ');
  const chainLink = cli('link', example('chain'), '--base', 'https://example.org/dozu/').toString().trim();
  const site = await serve(env('DOZU_SITE'), {
    '/two.html': `<!doctype html><meta charset="utf-8"><title>two</title><link rel="icon" href="data:,">
      <dozu-model id="a" program="* S4 R2 = B ^ ^ T D "></dozu-model>
      <dozu-model id="b" solid program="${chainLink}"></dozu-model>
      <iframe id="c" width="320" height="200" src="embed.html${chainLink.slice(chainLink.indexOf('#'))}"></iframe>
      <script src="dozu-model.js"></script>`,
  });
  const browser = await launch();
  try {
    cli('html', example('spiral'), '-o', path.join(work, 'spiral.html'));
    const page = await newPage(browser);
    const requests = [];
    await page.setRequestInterception(true);
    page.on('request', (r) => {
      if (/^(file|data|blob):/.test(r.url())) return r.continue();
      requests.push(r.url());
      return r.abort();
    });
    await page.goto(`file://${work}/spiral.html`);
    await page.waitForFunction(() => document.body.dataset.done === 'true');
    assert.equal(await page.$eval('#caption', (e) => e.textContent), `${objCounts(example('spiral')).quads} quads`);
    assert.equal(await page.title(), 'spiral');
    assert.ok((await inkOf(browser, await page.screenshot())) > 5000);
    assert.deepEqual(requests, []);
    assert.deepEqual(page.errors, []);

    const two = await newPage(browser);
    await two.goto(`${site.url}/two.html`);
    await two.waitForFunction(() => customElements.get('dozu-model'));
    for (const [id, expected] of [
      ['a', execFileSync(env('DOZU_NATIVE_MESH'), ['--text', text])],
      ['b', null],
    ]) {
      const element = await two.$(`#${id}`);
      await element.evaluate((e) => e.ready);
      const hash = await modelHash(two, `#${id}`);
      assert.equal(hash, expected ? JSON.parse(expected).hash : native(example('chain')).hash);
      assert.ok((await inkOf(browser, await element.screenshot())) > 500, id);
    }
    const frame = await (await two.$('#c')).contentFrame();
    await frame.waitForFunction(() => document.querySelector('dozu-model').status.endsWith('quads'));
    const model = await frame.$('dozu-model');
    await model.evaluate((e) => e.ready);
    assert.equal(await modelHash(frame, 'dozu-model'), native(example('chain')).hash);
    assert.ok((await inkOf(browser, await (await two.$('#c')).screenshot())) > 500);
    assert.deepEqual(two.errors, []);
  } finally {
    await browser.close();
    await site.close();
    fs.rmSync(work, { recursive: true, force: true });
  }
});
