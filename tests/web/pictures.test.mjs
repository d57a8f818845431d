// The one viewer, as a person sees it: every example drawn at the start's
// camera shows the model where dozu-cli run --png draws it (at least 95 %
// of either picture's model pixels within 2 pixels of one of the other's),
// in the page, the embed, the component and the one-file page; and 50
// components on one page all draw, on the one WebGL context they share.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import test from 'node:test';
import { env, inkOf, launch, newPage, serve } from './support/browser.mjs';
import { modelPixels, nearShare, readPng } from './support/png.mjs';
import { cli, examples, tempDir } from './support/tools.mjs';

const [W, H] = [746, 288];
const SIZE = `width: ${W}px; height: ${H}px`;

// Where two pictures' models lie apart, as the shares of each one's pixels
// near the other's.
function agreement(picture, expected) {
  const a = modelPixels(readPng(picture));
  const b = modelPixels(readPng(expected));
  return [nearShare(a, b), nearShare(b, a)];
}

test('every example is drawn where dozu-cli draws it, in the page, the embed, the component and the one-file page', async () => {
  const work = tempDir();
  const site = await serve(env('DOZU_SITE'), {
    '/host.html': `<!doctype html><meta charset="utf-8"><title>host</title><link rel="icon" href="data:,">
      <style>body { margin: 0 } iframe { border: 0; display: block }</style>
      <dozu-model style="${SIZE}"></dozu-model><iframe width="${W}" height="${H}" src="embed.html"></iframe>
      <script src="dozu-model.js"></script>`,
  });
  const browser = await launch();
  try {
    const editor = await newPage(browser);
    const host = await newPage(browser);
    const single = await newPage(browser, { width: W, height: H });
    await host.goto(`${site.url}/host.html`);
    const frame = await (await host.$('iframe')).contentFrame();
    const failures = [];
    for (const file of examples()) {
      const name = path.basename(file, '.tpg');
      const expected = cli('run', file, '--png', '-');
      const link = cli('link', file, '--base', `${site.url}/`).toString().trim();
      const fragment = link.slice(link.indexOf('#'));
      const pictures = {};

      await editor.goto('about:blank');
      await editor.goto(link);
      await editor.evaluate(async (size) => {
        document.getElementById('view-box').style.cssText = size;
        await window.dozuPage.ready;
        await window.dozuPage.idle();
      }, `${SIZE}; flex: none`);
      pictures.page = await (await editor.$('#view')).screenshot();

      await host.$eval('dozu-model', (e, f) => e.setAttribute('program', f), fragment);
      await host.$eval('dozu-model', (e) => e.ready);
      await frame.evaluate((f) => {
        location.hash = f;
      }, fragment);
      await frame.waitForFunction(() => document.querySelector('dozu-model').status.endsWith('quads'));
      await frame.$eval('dozu-model', (e) => e.ready);
      await new Promise((resolve) => setTimeout(resolve, 300)); // the glide from the last model
      pictures.component = await (await host.$('dozu-model')).screenshot();
      pictures.embed = await (await host.$('iframe')).screenshot();

      const page = path.join(work, `${name}.html`);
      cli('html', file, '-o', page);
      await single.goto(`file://${page}`);
      await single.waitForFunction(() => document.body.dataset.done === 'true');
      await single.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve, 0))));
      pictures.oneFile = await single.screenshot();

      for (const [where, picture] of Object.entries(pictures)) {
        const shares = agreement(picture, expected);
        if (Math.min(...shares) < 0.95) {
          failures.push(`${name} in the ${where}: ${shares.map((s) => s.toFixed(3)).join(', ')}`);
          fs.writeFileSync(path.join(work, `${name}-${where}.png`), picture);
        }
      }
    }
    assert.deepEqual(failures, [], `pictures kept in ${work}`);
    assert.deepEqual([...editor.errors, ...host.errors, ...single.errors], []);
    fs.rmSync(work, { recursive: true, force: true });
  } finally {
    await browser.close();
    await site.close();
  }
});

test('50 components on one page all draw', async () => {
  const programs = examples().map((file) => {
    const link = cli('link', file, '--base', 'https://example.org/').toString().trim();
    return link.slice(link.indexOf('#'));
  });
  const models = Array.from(
    { length: 50 },
    (_, i) => `<dozu-model ${i % 3 ? '' : 'solid'} style="width: 150px; height: 110px; display: inline-block" program="${programs[i % programs.length]}"></dozu-model>`,
  );
  const site = await serve(env('DOZU_SITE'), {
    '/many.html': `<!doctype html><meta charset="utf-8"><title>many</title><link rel="icon" href="data:,">
      ${models.join('\n')}<script src="dozu-model.js"></script>`,
  });
  const browser = await launch();
  try {
    const page = await newPage(browser, { width: 1280, height: 1200 });
    await page.goto(`${site.url}/many.html`);
    await page.waitForFunction(() => [...document.querySelectorAll('dozu-model')].every((e) => e.status.endsWith('quads')));
    const elements = await page.$$('dozu-model');
    for (const element of elements) await element.evaluate((e) => e.ready);
    await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve, 400))));
    const blank = [];
    for (const [i, element] of elements.entries()) if ((await inkOf(browser, await element.screenshot())) < 50) blank.push(i);
    assert.deepEqual(blank, []);
    assert.deepEqual(page.errors, []);
  } finally {
    await browser.close();
    await site.close();
  }
});
