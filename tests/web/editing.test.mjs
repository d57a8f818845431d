// A newcomer's clicks draw a model; undo and redo, Delete, trace mode and a
// click on a message work on it; at a phone's size the view stands above
// the buttons and turns under a finger.
import assert from 'node:assert/strict';
import test from 'node:test';
import { env, inkOf, launch, newPage, serve, settled } from './support/browser.mjs';

const clicks = ['init', 'grow_s', 'grow_r', 'first', '_', '^', '^', '^'];
const lines = [
  '1  init  *',
  '2  grow_s  S4',
  '3  grow_r  R2',
  '4  first  =',
  '5  _  B',
  '6  ^  ^',
  '7  ^  ^',
  '8  ^  ^',
];

async function click(page, title) {
  const buttons = await page.$$('#commands button');
  for (const b of buttons) if ((await b.evaluate((e) => e.textContent)) === title) return b.click();
  throw new Error(`no button ${title}`);
}

const quadsOf = (state) => Number(/(\d+) quads/.exec(state.status)[1]);

test("a newcomer's clicks draw a model, and the editing keys change it", async () => {
  const site = await serve(env('DOZU_SITE'));
  const browser = await launch();
  try {
    const page = await newPage(browser);
    await page.goto(`${site.url}/`);
    let state = await settled(page);
    assert.match(state.messages[0], /^1: hint: initialize/);
    const blank = await inkOf(browser, await (await page.$('#view')).screenshot());

    for (const title of clicks) await click(page, title);
    state = await settled(page);
    assert.deepEqual(state.lines, lines);
    assert.deepEqual(state.messages, []);
    const full = quadsOf(state);
    assert.ok(full > 0);
    const drawn = await inkOf(browser, await (await page.$('#view')).screenshot());
    assert.ok(drawn > 200 && drawn > 10 * blank, `${drawn} pixels drawn`);

    // Undo takes the last step back, redo brings it again.
    await page.keyboard.down('Control');
    await page.keyboard.press('z');
    await page.keyboard.up('Control');
    state = await settled(page);
    assert.deepEqual(state.lines, lines.slice(0, 7));
    assert.ok(quadsOf(state) < full);
    await page.click('#redo');
    state = await settled(page);
    assert.deepEqual(state.lines, lines);
    assert.equal(quadsOf(state), full);

    // Trace mode runs up to the selected line; Delete removes it.
    await page.click('#program .row[data-line="5"]');
    await page.click('#trace');
    state = await settled(page);
    assert.equal(state.selected, 5);
    assert.ok(quadsOf(state) < full);
    await page.click('#trace');
    await page.keyboard.press('Delete');
    state = await settled(page);
    assert.equal(state.lines.length, 7);
    assert.equal(state.selected, 5);

    // A message's click selects its line.
    await page.click('#program .row[data-line="0"]');
    await page.keyboard.press('Delete');
    state = await settled(page);
    assert.match(state.messages[0], /^1: fatal error: no initialization/);
    await page.click('#program .row[data-line="3"]');
    await page.click('#messages li');
    assert.equal((await settled(page)).selected, 0);
    assert.deepEqual(page.errors, []);

    // A phone: the view on top, the buttons, program and messages below it,
    // and a finger's drag turns the model.
    const phone = await newPage(browser, { width: 390, height: 844, isMobile: true, hasTouch: true });
    await phone.goto(`${site.url}/#p=*_S4_R2_=_B_^_^_^_T_`);
    await settled(phone);
    const boxes = await phone.evaluate(() =>
      ['view-box', 'commands', 'program', 'messages'].map((id) =>
        document.getElementById(id).getBoundingClientRect().toJSON(),
      ),
    );
    for (let i = 1; i < boxes.length; ++i) assert.ok(boxes[i].top >= boxes[i - 1].bottom - 1, JSON.stringify(boxes));
    for (const box of boxes) assert.ok(box.left >= 0 && box.right <= 390 && box.width > 300, JSON.stringify(box));
    const view = await phone.$('#view');
    const before = await view.screenshot();
    const { x, y, width, height } = await view.boundingBox();
    await phone.touchscreen.touchStart(x + width / 2, y + height / 2);
    for (let k = 1; k <= 10; ++k) await phone.touchscreen.touchMove(x + width / 2 + 12 * k, y + height / 2 + 4 * k);
    await phone.touchscreen.touchEnd();
    await settled(phone);
    assert.notDeepEqual(await view.screenshot(), before);
    assert.deepEqual(phone.errors, []);
  } finally {
    await browser.close();
    await site.close();
  }
});
