// Builds the web site from src/ with esbuild:
//   node build.mjs NODE_MODULES DOZU_WASM_DEFLATED SHARE_LINK_HEADER SITE_FOLDER
// Every script is one classic script with the WebAssembly module inlined
// (raw-deflated by zopfli, base64) and the worker as a string, so that the pages work
// from file:// too, where a browser fetches nothing by path and starts no
// worker from a file. The page carries the exporters as a string as well,
// which its worker loads at the first export. The longest share link is
// read from the C++ header that the editor and the batch tool use.
import fs from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';

const [modules, deflatedWasm, linkHeader, site] = process.argv.slice(2);
if (!site) {
  console.error('usage: node build.mjs NODE_MODULES DOZU_WASM_DEFLATED SHARE_LINK_HEADER SITE_FOLDER');
  process.exit(2);
}
const esbuild = createRequire(path.join(modules, 'noop.js'))('esbuild');
const src = path.join(path.dirname(new URL(import.meta.url).pathname), 'src');

const maxLink = /constexpr size_t kMaxShareLinkLength = (\d+);/.exec(fs.readFileSync(linkHeader, 'utf8'));
if (!maxLink) throw new Error(`${linkHeader} holds no kMaxShareLinkLength`);
const moduleData = fs.readFileSync(deflatedWasm).toString('base64');

async function bundle(entry, define = {}) {
  const result = await esbuild.build({
    entryPoints: [path.join(src, entry)],
    bundle: true,
    write: false,
    format: 'iife',
    minify: true,
    target: ['chrome111', 'firefox115', 'safari16.4'],
    nodePaths: [modules],
    legalComments: 'eof',
    define: Object.fromEntries(Object.entries(define).map(([k, v]) => [k, JSON.stringify(v)])),
    logLevel: 'error',
  });
  // Safe inside an inline <script>, too.
  return result.outputFiles[0].text.replaceAll('</script', '<\\/script');
}

const decoding = { __DOZU_MODULE__: moduleData, __DOZU_WORKER__: await bundle('decode/worker.js') };
const page = {
  ...decoding,
  __DOZU_EXPORTER__: await bundle('export/worker_script.js'),
  __DOZU_MAX_LINK__: Number(maxLink[1]),
};
fs.mkdirSync(site, { recursive: true });
fs.writeFileSync(path.join(site, 'dozu-page.js'), await bundle('page/page.js', page));
fs.writeFileSync(path.join(site, 'dozu-model.js'), await bundle('component/dozu_model.js', decoding));
for (const file of ['index.html', 'page.css', 'embed.html', 'embed.css'])
  fs.copyFileSync(path.join(src, file), path.join(site, file));

// The one-file page: its viewer inlined; dozu-cli html fills in the program
// and the name at the marks.
const oneFile = fs.readFileSync(path.join(src, 'one-file.html'), 'utf8');
const viewer = await bundle('one_file/one_file.js', decoding);
const filled = oneFile.replace('<!--dozu:viewer-->', () => `<script>${viewer}</script>`);
if (filled === oneFile) throw new Error('one-file.html has no <!--dozu:viewer--> mark');
fs.writeFileSync(path.join(site, 'one-file.html'), filled);
