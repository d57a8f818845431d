// Serves a folder (the web site) over HTTP on 127.0.0.1:
//   node serve.mjs FOLDER [PORT] [--open]
// prints the address and serves until stopped; with --open a desktop's
// browser shows it, where there is one. The web tests use serve() for their
// own pages beside the site's.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8',
  '.css': 'text/css',
  '.wasm': 'application/wasm',
  '.png': 'image/png',
};

// Serves the files of root, and extra pages ({ '/name.html': text }), on
// port (0: a free one); resolves to { url, close }.
export function serve(root, extra = {}, port = 0) {
  root = path.resolve(root);
  const server = http.createServer((request, response) => {
    let name;
    try {
      name = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
    } catch {
      response.writeHead(400).end();
      return;
    }
    if (name.endsWith('/')) name += 'index.html';
    const file = path.join(root, path.normalize(name));
    let body = extra[name];
    if (
      body === undefined &&
      file.startsWith(root + path.sep) &&
      fs.statSync(file, { throwIfNoEntry: false })?.isFile()
    )
      body = fs.readFileSync(file);
    if (body === undefined) {
      response.writeHead(404, { 'content-type': 'text/plain' }).end('not found\n');
      return;
    }
    response.writeHead(200, { 'content-type': TYPES[path.extname(name)] || 'application/octet-stream' });
    response.end(body);
  });
  return new Promise((resolve, reject) => {
    server.on('error', reject);
    server.listen(port, '127.0.0.1', () =>
      resolve({
        url: `http://127.0.0.1:${server.address().port}`,
        close: () => new Promise((done) => server.close(done)),
      }),
    );
  });
}

if (process.argv[1] && path.resolve(process.argv[1]) === path.resolve(new URL(import.meta.url).pathname)) {
  const args = process.argv.slice(2);
  const open = args.includes('--open');
  const [folder, port = '8000'] = args.filter((a) => a !== '--open');
  if (!folder || !fs.existsSync(path.join(folder, 'index.html'))) {
    console.error('usage: node serve.mjs SITE_FOLDER [PORT]: the folder holds no index.html');
    process.exit(2);
  }
  let site;
  try {
    site = await serve(folder, {}, Number(port));
  } catch {
    site = await serve(folder); // the port is taken: any free one
  }
  console.log(`dozu's page: ${site.url}/   (Ctrl+C stops the server)`);
  if (open && (process.env.DISPLAY || process.env.WAYLAND_DISPLAY)) {
    const browser = spawn('xdg-open', [`${site.url}/`], { detached: true, stdio: 'ignore' });
    browser.on('error', () => {});
    browser.unref();
  }
}
