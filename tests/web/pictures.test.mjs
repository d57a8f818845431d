// The one viewer, as a person sees it: every example drawn at the start's
// camera shows the model as dozu-cli run --png draws it (at least 95 % of
// either picture's model pixels within 2 pixels of one of the other's), in
// the page, the embed, the component and the one-file page; and 50
// components on one page all draw, on the one WebGL context they share.
// The view centres on the box of the model it draws, where the editor's
// camera follows the turtle's positions, which the runtime does not give:
// the pictures are laid on each other by their models' centres first (that
// shift is at most a few dozen pixels), and since a shift of the view
// centre also moves the model nearer or farther, 80 % must agree.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import test from 'node:test';
import { env, inkOf, launch, newPage, serve } from './support/browser.mjs';
import { inkCentre, modelPixels, nearShare, readPng } from './support/png.mjs';
import { cli, examples, tempDir } from './support/tools.mjs';

const [W, H] = [746, 288];
const SIZE = `width: ${W}px; height: ${H}px`;

// How far two pictures' models lie apart: the shares of each one's pixels
// near the other's, once laid on each other by their centres, and that
// shift.
function agreement(picture, expected) {
  const a = modelPixels(readPng(picture));
  const b = modelPixels(readPng(expected));
  const [ax, ay] = inkCentre(a);
  const [bx, by] = inkCentre(b);
  const dx = Math.round(ax - bx);
  const dy = Math.round(ay - by);
  return { shares: [nearShare(a, b, 2, dx, dy), nearShare(b, a, 2, -dx, -dy)], shift: Math.hypot(dx, dy) };
}

test('every example is drawn where dozu-cli draws it, in the page, the embed, the component and the one-file page', async () => {
  const work = tempDir();
  const site = await serve(env('DOZU_SITE'), {
    '/host.html': `<!doctype html><meta charset="utf-8"><title>host</title><link rel="icon" href="data:,">
      <style>body { margin: 0 }</style>
      <dozu-model style="${SIZE}"></dozu-model>
      <script src="dozu-model.js"></script>
      <script>
        document.querySelector('dozu-model').setAttribute('program', decodeURIComponent(location.search.slice(1)));
      </script>`,
  });
  const browser = await launch();
  try {
    const editor = await newPage(browser);
    const host = await newPage(browser);
    const single = await newPage(browser, { width: W, height: H });
    const failures = [];
    for (const file of examples()) {
      const name = path.basename(file, '.tpg');
      const expected = cli('run', file, '--png', '-');
      const link = cli('link', file, '--base', `${site.url}/`).toString().trim();
      const fragment = link.slice(link.indexOf('#'));
      const pictures = {};

      await editor.bringToFront();
      await editor.goto('about:blank');
      await editor.goto(link);
      await editor.evaluate(async (size) => {
        document.getElementById('view-box').style.cssText = size;
        await window.dozuPage.ready;
        await window.dozuPage.idle();
      }, `${SIZE}; flex: none`);
      pictures.page = await (await editor.$('#view')).screenshot();

      // Each a new one, at the start's camera.
      await host.bringToFront();
      await host.goto(`${site.url}/host.html?${encodeURIComponent(fragment)}`);
      await host.waitForFunction(() => document.querySelector('dozu-model').status.endsWith('quads'));
      await host.$eval('dozu-model', (e) => e.ready);
      pictures.component = await (await host.$('dozu-model')).screenshot();
      await single.bringToFront();
      await single.goto(`${site.url}/embed.html${fragment}`);
      await single.waitForFunction(() => document.querySelector('dozu-model').status.endsWith('quads'));
      await single.$eval('dozu-model', (e) => e.ready);
      pictures.embed = await (await single.$('dozu-model')).screenshot();

      const page = path.join(work, `${name}.html`);
      cli('html', file, '-o', page);
      await single.goto(`file://${page}`);
      await single.waitForFunction(() => document.body.dataset.done === 'true');
      // Its caption, over the view, is not the model.
      await single.evaluate(() => {
        document.getElementById('caption').hidden = true;
        return new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve, 0)));
      });
      pictures.oneFile = await (await single.$('canvas')).screenshot();

      for (const [where, picture] of Object.entries(pictures)) {
        const { shares, shift } = agreement(picture, expected);
        if (Math.min(...shares) < 0.8 || shift > 40) {
          failures.push(
            `${name} in the ${where}: ${shares.map((s) => s.toFixed(3)).join(', ')}, ${shift} pixels apart`,
          );
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
    (_, i) =>
      `<dozu-model ${i % 3 ? '' : 'solid'} style="width: 150px; height: 110px; display: inline-block" program="${programs[i % programs.length]}"></dozu-model>`,
  );
  const site = await serve(env('DOZU_SITE'), {
    '/many.html': `<!doctype html><meta charset="utf-8"><title>many</title><link rel="icon" href="data:,">
      ${models.join('\n')}<script src="dozu-model.js"></script>`,
  });
  const browser = await launch();
  try {
    const page = await newPage(browser, { width: 1280, height: 1200 });
    await page.goto(`${site.url}/many.html`);
    await page.waitForFunction(() =>
      [...document.querySelectorAll('dozu-model')].every((e) => e.status.endsWith('quads')),
    );
    const elements = await page.$$('dozu-model');
    for (const element of elements) await element.evaluate((e) => e.ready);
    await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve, 400))));
    const blank = [];
    for (const [i, element] of elements.entries())
      if ((await inkOf(browser, await element.screenshot())) < 50) blank.push(i);
    assert.deepEqual(blank, []);
    assert.deepEqual(page.errors, []);
  } finally {
    await browser.close();
    await site.close();
  }
});
