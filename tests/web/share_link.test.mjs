// Share links: the page's Share Link copies an address that opens the same
// mesh elsewhere and matches dozu-cli link's; every example and sample
// (custom command tables too) opens from dozu-cli link's address as the
// native runtime decodes it; and the default file:// address draws.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import test from 'node:test';
import { allowDownloads, downloaded, env, inkOf, launch, newPage, serve, settled } from './support/browser.mjs';
import { cli, examples, native, tempDir } from './support/tools.mjs';

const samples = () => {
  const dir = path.join(env('DOZU_TEST_DATA'), 'samples');
  return fs
    .readdirSync(dir)
    .filter((f) => f.endsWith('.tpg'))
    .map((f) => path.join(dir, f));
};

test('a share link opens the same model, from the page and from dozu-cli link', async () => {
  const site = await serve(env('DOZU_SITE'));
  const browser = await launch();
  const downloads = tempDir();
  try {
    await browser.defaultBrowserContext().overridePermissions(site.url, ['clipboard-read', 'clipboard-write']);
    const page = await newPage(browser);
    await allowDownloads(page, downloads);
    await page.goto(`${site.url}/`);
    await settled(page);
    for (const tag of [1, 6, 4, 2, 13, 17, 8, 17, 17, 14, 19]) await page.click(`#commands button[data-tag="${tag}"]`);
    const made = await settled(page);
    await page.click('#share');
    await page.waitForFunction(() => document.getElementById('status-note').textContent === 'link copied');
    const link = await page.evaluate(() => navigator.clipboard.readText());
    assert.equal(link, await page.$eval('#share-address', (e) => e.value));
    assert.ok(link.startsWith(`${site.url}/#p=`), link);

    const other = await newPage(browser);
    await other.goto(link);
    const opened = await settled(other);
    assert.deepEqual(opened.lines, made.lines);
    assert.equal(opened.hash, made.hash);

    // The page's program saved and given to dozu-cli link: the same address.
    await page.bringToFront();
    await page.click('#save');
    const file = path.join(downloads, 'program.tpg');
    fs.writeFileSync(file, await downloaded(downloads, 'program.tpg'));
    assert.equal(cli('link', file, '--base', `${site.url}/#old`).toString().trim(), link);

    await other.bringToFront();
    for (const program of [...examples(), ...samples()]) {
      const address = cli('link', program, '--base', `${site.url}/`).toString().trim();
      await other.goto('about:blank');
      await other.goto(address);
      const state = await settled(other);
      assert.equal(state.hash, native(program).hash, `${program}: ${address}`);
    }
    assert.match(cli('link', path.join(env('DOZU_TEST_DATA'), 'samples', 'table_00.tpg')).toString(), /#t=/);

    // Without --base: the site this build made, from file://.
    const local = cli('link', examples()[0]).toString().trim();
    assert.ok(local.startsWith('file:///') && local.includes('#'), local);
    await other.goto(local);
    const state = await settled(other);
    assert.equal(state.hash, native(examples()[0]).hash);
    assert.ok((await inkOf(browser, await (await other.$('#view')).screenshot())) > 200);
    assert.deepEqual([...page.errors, ...other.errors], []);
  } finally {
    await browser.close();
    await site.close();
    fs.rmSync(downloads, { recursive: true, force: true });
  }
});
