// Whether an export equals dozu-cli run --FORMAT's, each given as a file:
// OBJ, PLY and STL byte for byte; glTF and GLB the same JSON once parsed
// and, for GLB, the same binary chunk; 3MF the same members once unzipped
// (by Python's zipfile).
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';

const glbParts = (glb) => {
  const json = glb.readUInt32LE(12);
  return { json: JSON.parse(glb.subarray(20, 20 + json).toString()), bin: glb.subarray(20 + json) };
};

// The members of ZIP files, each { name: text as latin1 }, read by one
// Python.
export const zipMembers = (files) =>
  JSON.parse(
    execFileSync(
      'python3',
      [
        '-c',
        'import json,sys,zipfile; print(json.dumps([{n: z.read(n).decode("latin1") for n in z.namelist()} for z in map(zipfile.ZipFile, sys.argv[1:])]))',
        ...files,
      ],
      { maxBuffer: 1 << 30 },
    ),
  );

export function assertSameExport(format, got, expected, what) {
  if (format === '3mf') {
    const [a, b] = zipMembers([got, expected]);
    assert.deepEqual(a, b, what);
    return;
  }
  got = Buffer.from(fs.readFileSync(got));
  expected = Buffer.from(fs.readFileSync(expected));
  if (format === 'glb') {
    const a = glbParts(got);
    const b = glbParts(expected);
    assert.deepEqual(a.json, b.json, `${what}: the GLB's JSON`);
    assert.ok(a.bin.equals(b.bin), `${what}: the GLB's binary chunk`);
  } else if (format === 'gltf') {
    assert.deepEqual(JSON.parse(got.toString()), JSON.parse(expected.toString()), what);
  } else {
    assert.ok(got.equals(expected), `${what}: ${got.length} bytes, dozu-cli's ${expected.length}`);
  }
}
