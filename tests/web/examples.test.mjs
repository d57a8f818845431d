// Every example opened in the page through its file input: the status line
// gives dozu-cli's vertex and quad counts, and the decoded mesh is the
// native runtime's, bit for bit.
import assert from 'node:assert/strict';
import path from 'node:path';
import test from 'node:test';
import { env, launch, newPage, serve, settled } from './support/browser.mjs';
import { examples, native, objCounts, status } from './support/tools.mjs';

test('every example decodes in the page as dozu-cli and the native runtime decode it', async () => {
  const site = await serve(env('DOZU_SITE'));
  const browser = await launch();
  try {
    const page = await newPage(browser);
    await page.goto(`${site.url}/`);
    await settled(page);
    for (const file of examples()) {
      const input = await page.$('#file-input');
      await input.uploadFile(file);
      await page.waitForFunction(
        (n) => document.getElementById('status-note').textContent === `opened ${n}`,
        {},
        path.basename(file),
      );
      const state = await settled(page);
      const expected = native(file);
      assert.equal(state.status, status(objCounts(file)), file);
      assert.equal(state.hash, expected.hash, file);
      assert.deepEqual(state.messages, [], file);
    }
    assert.deepEqual(page.errors, []);
  } finally {
    await browser.close();
    await site.close();
  }
});
