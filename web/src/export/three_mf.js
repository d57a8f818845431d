// 3MF for slicers as the batch tool writes it: one object of triangles, a
// model unit to the millimetre, every number in its shortest form, in a
// ZIP package.
import { Chunks } from './chunks.js';
import { floatBitsText } from './float_text.js';
import { zip } from './zip.js';

const CONTENT_TYPES =
  '<?xml version="1.0" encoding="UTF-8"?>\n' +
  '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">' +
  '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>' +
  '<Default Extension="model" ContentType="application/vnd.ms-package.3dmanufacturing-3dmodel+xml"/>' +
  '</Types>\n';

const RELATIONSHIPS =
  '<?xml version="1.0" encoding="UTF-8"?>\n' +
  '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">' +
  '<Relationship Target="/3D/3dmodel.model" Id="rel0" ' +
  'Type="http://schemas.microsoft.com/3dmanufacturing/2013/01/3dmodel"/>' +
  '</Relationships>\n';

const MODEL_START =
  '<?xml version="1.0" encoding="UTF-8"?>\n' +
  '<model unit="millimeter" xml:lang="en-US" ' +
  'xmlns="http://schemas.microsoft.com/3dmanufacturing/core/2015/02">\n' +
  ' <resources>\n';

const ESCAPES = { '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;', '\t': '&#9;', '\n': '&#10;', '\r': '&#13;' };

// Text for an XML attribute value: the characters that XML forbids (the
// other controls, U+FFFE and U+FFFF) dropped.
export function xmlAttribute(text) {
  let out = '';
  for (const c of text) {
    const code = c.charCodeAt(0);
    if (ESCAPES[c]) out += ESCAPES[c];
    else if (code >= 0x20 && code !== 0xfffe && code !== 0xffff) out += c;
  }
  return out;
}

export async function write3mf(model, name) {
  const xml = new Chunks();
  const bits = new Uint32Array(model.vertices.buffer, model.vertices.byteOffset, model.vertices.length);
  const t = model.triangles;
  xml.add(MODEL_START);
  if (t.length) {
    xml.add(`  <object id="1" name="${xmlAttribute(name)}" type="model">\n   <mesh>\n    <vertices>\n`);
    for (let r = 3; r < bits.length; r += 6)
      xml.add(
        `     <vertex x="${floatBitsText(bits[r])}" y="${floatBitsText(bits[r + 1])}" z="${floatBitsText(bits[r + 2])}"/>\n`,
      );
    xml.add('    </vertices>\n    <triangles>\n');
    for (let i = 0; i < t.length; i += 3) xml.add(`     <triangle v1="${t[i]}" v2="${t[i + 1]}" v3="${t[i + 2]}"/>\n`);
    xml.add('    </triangles>\n   </mesh>\n  </object>\n');
  }
  xml.add(' </resources>\n <build>\n');
  if (t.length) xml.add('  <item objectid="1"/>\n');
  xml.add(' </build>\n</model>\n');
  const encoder = new TextEncoder();
  return zip([
    { name: '[Content_Types].xml', parts: [encoder.encode(CONTENT_TYPES)] },
    { name: '_rels/.rels', parts: [encoder.encode(RELATIONSHIPS)] },
    { name: '3D/3dmodel.model', parts: xml.finish() },
  ]);
}
