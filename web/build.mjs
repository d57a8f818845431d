// Builds the web site from src/ with esbuild:
//   node build.mjs NODE_MODULES DOZU_WASM SITE_FOLDER
// Every script is one classic script with the WebAssembly module inlined
// (raw-deflated, base64) and the worker as a string, so that the pages work
// from file:// too, where a browser fetches nothing by path and starts no
// worker from a file.
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';
import { createRequire } from 'node:module';

const [modules, wasmPath, site] = process.argv.slice(2);
if (!site) {
  console.error('usage: node build.mjs NODE_MODULES DOZU_WASM SITE_FOLDER');
  process.exit(2);
}
const esbuild = createRequire(path.join(modules, 'noop.js'))('esbuild');
const src = path.join(path.dirname(new URL(import.meta.url).pathname), 'src');

const wasm = fs.readFileSync(wasmPath);
const moduleData = zlib.deflateRawSync(wasm, { level: 9 }).toString('base64');

async function bundle(entry, define = {}) {
  const result = await esbuild.build({
    entryPoints: [path.join(src, entry)],
    bundle: true,
    write: false,
    format: 'iife',
    minify: true,
    target: ['chrome111', 'firefox115', 'safari16.4'],
    nodePaths: [modules],
    // three.js's licence notice stays with its code.
    legalComments: 'eof',
    define: Object.fromEntries(Object.entries(define).map(([k, v]) => [k, JSON.stringify(v)])),
    logLevel: 'error',
  });
  // Safe inside an inline <script>, too.
  return result.outputFiles[0].text.replaceAll('</script', '<\\/script');
}

const worker = await bundle('worker.js');
const shared = { __DOZU_MODULE__: moduleData, __DOZU_WORKER__: worker };
fs.mkdirSync(site, { recursive: true });
fs.writeFileSync(path.join(site, 'dozu-page.js'), await bundle('page.js', shared));
fs.writeFileSync(path.join(site, 'dozu-model.js'), await bundle('dozu_model.js', shared));
for (const page of ['index.html', 'embed.html']) fs.copyFileSync(path.join(src, page), path.join(site, page));

// The one-file page: its viewer inlined; dozu-cli html fills in the program
// and the name at the marks.
const oneFile = fs.readFileSync(path.join(src, 'one-file.html'), 'utf8');
const viewer = await bundle('one_file.js', { __DOZU_MODULE__: moduleData });
const filled = oneFile.replace('<!--dozu:viewer-->', () => `<script>${viewer}</script>`);
if (filled === oneFile) throw new Error('one-file.html has no <!--dozu:viewer--> mark');
fs.writeFileSync(path.join(site, 'one-file.html'), filled);
