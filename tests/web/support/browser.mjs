// The web tests' browser and server: Debian's chromium driven headless by
// puppeteer-core, the site served on 127.0.0.1 by web/serve.mjs, and
// every console error or uncaught exception of a page collected, so that a
// test fails on any.
import fs from 'node:fs';
import { createRequire } from 'node:module';
import os from 'node:os';
import path from 'node:path';

export const env = (name) => {
  const value = process.env[name];
  if (!value) throw new Error(`${name} is not set: the tests run through ctest`);
  return value;
};

const puppeteer = createRequire(path.join(env('DOZU_WEB_MODULES'), 'noop.js'))('puppeteer-core');

export { serve } from '../../../web/serve.mjs';

export async function launch() {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'dozu-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: process.env.DOZU_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    userDataDir: profile,
    args: [
      '--headless=new',
      '--no-sandbox',
      '--enable-unsafe-swiftshader',
      '--disable-gpu-sandbox',
      '--disable-background-networking',
      '--disable-component-update',
      '--disable-sync',
      '--no-first-run',
    ],
  });
  const close = browser.close.bind(browser);
  browser.close = async () => {
    await close();
    fs.rmSync(profile, { recursive: true, force: true });
  };
  return browser;
}

// A new page whose console errors and uncaught exceptions land in
// page.errors.
export async function newPage(browser, viewport = { width: 1280, height: 900 }) {
  const page = await browser.newPage();
  page.errors = [];
  page.on('console', (m) => {
    if (m.type() === 'error') page.errors.push(`console: ${m.text()}`);
  });
  page.on('pageerror', (e) => page.errors.push(`uncaught: ${e.message}`));
  await page.setViewport(viewport);
  // Drawing on the software renderer of a busy machine is slow.
  page.setDefaultTimeout(120000);
  return page;
}

// How many pixels of a PNG picture are not white, counted by the browser's
// own decoder in a blank page.
export async function inkOf(browser, png) {
  const page = await browser.newPage();
  try {
    return await page.evaluate(async (data) => {
      const image = new Image();
      image.src = `data:image/png;base64,${data}`;
      await image.decode();
      const canvas = document.createElement('canvas');
      canvas.width = image.width;
      canvas.height = image.height;
      const context = canvas.getContext('2d');
      context.drawImage(image, 0, 0);
      const pixels = context.getImageData(0, 0, image.width, image.height).data;
      let ink = 0;
      for (let i = 0; i < pixels.length; i += 4)
        if (pixels[i] < 240 || pixels[i + 1] < 240 || pixels[i + 2] < 240) ++ink;
      return ink;
    }, Buffer.from(png).toString('base64'));
  } finally {
    await page.close();
  }
}

// The page's downloads go to dir; resolves to the bytes of the file `name`
// once it is complete.
export async function allowDownloads(page, dir) {
  const cdp = await page.createCDPSession();
  await cdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: dir });
}

export async function downloaded(dir, name) {
  const file = path.join(dir, name);
  for (let i = 0; i < 200; ++i) {
    if (fs.existsSync(file)) return fs.readFileSync(file);
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
  throw new Error(`${name} was not downloaded`);
}

// The fingerprint of a model's arrays as native_mesh prints it (FNV-1a
// over the counts and the words of the vertices, triangles and edges), in
// the page: of the page's model, or of the element's where a selector is
// given.
export function modelHash(page, selector = null) {
  return page.evaluate((selector) => {
    const model = selector ? document.querySelector(selector).model : window.dozuPage.model();
    if (!model) return null;
    let h = 0x811c9dc5;
    const word = (w) => {
      for (let s = 0; s < 32; s += 8) h = Math.imul(h ^ ((w >>> s) & 0xff), 0x01000193);
    };
    const words = (array, per) => {
      word(array.length / per);
      const bits = new Uint32Array(array.buffer, array.byteOffset, array.length);
      for (let i = 0; i < bits.length; ++i) word(bits[i]);
    };
    words(model.vertices, 6);
    words(model.triangles, 3);
    words(model.edges, 2);
    return (h >>> 0).toString(16).padStart(8, '0');
  }, selector);
}

// The page's program, status, messages and model hash once the latest
// change is drawn.
export async function settled(page, { hash = true } = {}) {
  await page.evaluate(() => window.dozuPage.ready);
  await page.evaluate(() => window.dozuPage.idle());
  const state = await page.evaluate(() => window.dozuPage.state());
  if (hash) state.hash = await modelHash(page);
  return state;
}
