// The share link of a program, in the form that dozu-cli link writes: the
// shorter of #p= and #z= for the default command table, #t= for any other.
/* global __DOZU_MAX_LINK__ */
import { latin1Bytes } from '../latin1.js';
import { encodeProgramFile, isDefaultTable, programText } from '../program/table.js';
import { throughStream } from './read_link.js';

// The longest address a browser opens (program/share_link.h).
export const MAX_LINK = __DOZU_MAX_LINK__;

const BASE64URL = 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_';
const HEX = '0123456789ABCDEF';
const ESCAPED = new Set([...'_%#"<>`'].map((c) => c.charCodeAt(0)));

export function base64url(bytes) {
  const out = [];
  let i = 0;
  for (; i + 3 <= bytes.length; i += 3) {
    const v = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
    out.push(BASE64URL[v >> 18] + BASE64URL[(v >> 12) & 63] + BASE64URL[(v >> 6) & 63] + BASE64URL[v & 63]);
  }
  const rest = bytes.length - i;
  if (rest > 0) {
    const v = (bytes[i] << 16) | (rest === 2 ? bytes[i + 1] << 8 : 0);
    out.push(BASE64URL[v >> 18] + BASE64URL[(v >> 12) & 63] + (rest === 2 ? BASE64URL[(v >> 6) & 63] : ''));
  }
  return out.join('');
}

export function percentEncodeProgram(text) {
  const out = [];
  for (let i = 0; i < text.length; ++i) {
    const c = text.charCodeAt(i);
    if (c === 0x20) out.push('_');
    else if (c < 0x21 || c > 0x7e || ESCAPED.has(c)) out.push(`%${HEX[c >> 4]}${HEX[c & 15]}`);
    else out.push(text[i]);
  }
  return out.join('');
}

const deflateRaw = (bytes) => throughStream(bytes, new CompressionStream('deflate-raw'), Infinity);

// The fragment, "#" included, for a program of this table and steps.
export async function shareFragment(cells, steps) {
  if (!isDefaultTable(cells)) return `#t=${base64url(await deflateRaw(encodeProgramFile(cells, steps)))}`;
  const text = programText(cells, steps);
  const plain = `#p=${percentEncodeProgram(text)}`;
  const packed = `#z=${base64url(await deflateRaw(latin1Bytes(text)))}`;
  return packed.length < plain.length ? packed : plain;
}
