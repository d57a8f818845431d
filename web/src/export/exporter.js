// The exporters: exportModel(format, model, name) gives the file's pieces
// (Uint8Arrays). model: the decoded arrays ({ vertices, quads, triangles }),
// name: the model's name where a format keeps one (glTF and 3MF).
import { writeGltf } from './gltf.js';
import { writeObj } from './obj.js';
import { writePly } from './ply.js';
import { writeStl } from './stl.js';
import { write3mf } from './three_mf.js';

// Lone surrogates, which UTF-8 cannot hold, as U+FFFD.
const wellFormed = (text) =>
  text.replace(/[\ud800-\udbff](?![\udc00-\udfff])|(?<![\ud800-\udbff])[\udc00-\udfff]/g, '\ufffd');

export async function exportModel(format, model, name) {
  name = wellFormed(name);
  switch (format) {
    case 'obj':
      return writeObj(model);
    case 'ply':
      return writePly(model);
    case 'stl':
      return writeStl(model);
    case 'glb':
    case 'gltf':
      return writeGltf(model, name, format === 'glb');
    case '3mf':
      return write3mf(model, name);
    default:
      throw new Error(`no export to ${format}`);
  }
}
