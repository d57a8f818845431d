// dozu-cli and the native runtime's answers for the web tests.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { env } from './browser.mjs';

export const examples = () =>
  fs
    .readdirSync(env('DOZU_EXAMPLES'))
    .filter((f) => f.endsWith('.tpg'))
    .sort()
    .map((f) => path.join(env('DOZU_EXAMPLES'), f));

export const cli = (...args) => execFileSync(env('DOZU_CLI'), args, { stdio: ['ignore', 'pipe', 'pipe'] });

// { vertices, quads, hash } of the native runtime for a program file.
export const native = (file) => JSON.parse(execFileSync(env('DOZU_NATIVE_MESH'), [file]).toString());

// The vertex and quad counts of dozu-cli run F --obj.
export function objCounts(file) {
  const obj = cli('run', file, '--obj', '-').toString();
  return { vertices: (obj.match(/^v /gm) || []).length, quads: (obj.match(/^f /gm) || []).length };
}

export const status = ({ vertices, quads }) => `${vertices} vertices, ${quads} quads`;

export const tempDir = () => fs.mkdtempSync(path.join(os.tmpdir(), 'dozu-web-test-'));
