// Share links: the program in an address's fragment, in the form that
// dozu-cli link writes.
//   #p=TEXT  the program text, each blank written as "_"; every other byte
//            outside "!".."~", and each of _ % # " < > and the backquote,
//            as %XX
//   #z=DATA  the same text raw-deflated, base64url without padding
//   #t=DATA  the whole program file raw-deflated, base64url
import {
  MAX_FILE_SIZE,
  MAX_LINE_TEXT,
  defaultTable,
  defaultTagsByCode,
  encodeProgramFile,
  isDefaultTable,
  latin1Bytes,
  latin1String,
  loadProgramFile,
  programText,
} from './program_file.js';

export class LinkError extends Error {}

const notAProgram = (why) => new LinkError(`This address does not hold a dozu program: ${why}.`);

const BASE64URL = 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_';

export function base64url(bytes) {
  let out = '';
  let i = 0;
  for (; i + 3 <= bytes.length; i += 3) {
    const v = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
    out += BASE64URL[v >> 18] + BASE64URL[(v >> 12) & 63] + BASE64URL[(v >> 6) & 63] + BASE64URL[v & 63];
  }
  const rest = bytes.length - i;
  if (rest > 0) {
    const v = (bytes[i] << 16) | (rest === 2 ? bytes[i + 1] << 8 : 0);
    out += BASE64URL[v >> 18] + BASE64URL[(v >> 12) & 63] + (rest === 2 ? BASE64URL[(v >> 6) & 63] : '');
  }
  return out;
}

export function fromBase64url(text) {
  if (text.length % 4 === 1) throw notAProgram('its data is cut short');
  const out = new Uint8Array(Math.floor((text.length * 3) / 4));
  let bits = 0;
  let count = 0;
  let at = 0;
  for (let i = 0; i < text.length; ++i) {
    const digit = BASE64URL.indexOf(text[i]);
    if (digit < 0) throw notAProgram('its data is not base64url');
    bits = (bits << 6) | digit;
    count += 6;
    if (count >= 8) {
      count -= 8;
      out[at++] = (bits >> count) & 0xff;
    }
  }
  return out;
}

const HEX = '0123456789ABCDEF';
const ESCAPED = new Set([..."_%#\"<>`"].map((c) => c.charCodeAt(0)));

export function percentEncodeProgram(text) {
  let out = '';
  for (let i = 0; i < text.length; ++i) {
    const c = text.charCodeAt(i);
    if (c === 0x20) out += '_';
    else if (c < 0x21 || c > 0x7e || ESCAPED.has(c)) out += '%' + HEX[c >> 4] + HEX[c & 15];
    else out += text[i];
  }
  return out;
}

export function percentDecodeProgram(text) {
  let out = '';
  for (let i = 0; i < text.length; ++i) {
    const c = text[i];
    if (c === '%') {
      const hex = text.slice(i + 1, i + 3);
      if (!/^[0-9A-Fa-f]{2}$/.test(hex)) throw notAProgram('a % is not followed by two hex digits');
      out += String.fromCharCode(parseInt(hex, 16));
      i += 2;
    } else if (c === '_' || c === ' ') {
      out += ' ';
    } else if (c >= '!' && c <= '~') {
      out += c;
    } else {
      throw notAProgram('its text holds a character that a link does not carry');
    }
  }
  return out;
}

async function throughStream(bytes, stream, limit) {
  const reader = new Blob([bytes]).stream().pipeThrough(stream).getReader();
  const chunks = [];
  let size = 0;
  for (;;) {
    const { done, value } = await reader.read();
    if (done) break;
    size += value.length;
    if (size > limit) {
      reader.cancel().catch(() => {});
      throw notAProgram(`it unpacks to more than ${limit / 1024 / 1024} MiB`);
    }
    chunks.push(value);
  }
  const out = new Uint8Array(size);
  let at = 0;
  for (const c of chunks) {
    out.set(c, at);
    at += c.length;
  }
  return out;
}

export async function inflateRaw(bytes, limit) {
  try {
    return await throughStream(bytes, new DecompressionStream('deflate-raw'), limit);
  } catch (e) {
    if (e instanceof LinkError) throw e;
    throw notAProgram('its data does not unpack');
  }
}

export const deflateRaw = (bytes) => throughStream(bytes, new CompressionStream('deflate-raw'), Infinity);

// The steps of a default-table program text: one line per blank, each the
// code of a default button.
export function stepsOfText(text) {
  if (text.length > MAX_LINE_TEXT) throw notAProgram('its program is larger than 64 MiB');
  if (text !== '' && !text.endsWith(' ')) text += ' ';
  const tags = defaultTagsByCode();
  const steps = [];
  let start = 0;
  for (let end = text.indexOf(' '); end >= 0; start = end + 1, end = text.indexOf(' ', start)) {
    const tag = tags.get(text.slice(start, end));
    if (tag === undefined) {
      const line = text.slice(start, end);
      throw notAProgram(line === '' ? 'a line of it is empty' : `"${line.slice(0, 40)}" is not one of dozu's commands`);
    }
    steps.push(tag);
  }
  return steps;
}

// The program of a fragment ("#p=...", "#z=..." or "#t="), as { cells,
// steps, warnings }; null for an empty fragment. Throws LinkError.
export async function programOfFragment(fragment) {
  const hash = fragment.startsWith('#') ? fragment.slice(1) : fragment;
  if (hash === '') return null;
  const kind = hash.slice(0, 2);
  const data = hash.slice(2);
  if (kind === 'p=') return { cells: defaultTable(), steps: stepsOfText(percentDecodeProgram(data)), warnings: [] };
  if (kind === 'z=')
    return {
      cells: defaultTable(),
      steps: stepsOfText(latin1String(await inflateRaw(fromBase64url(data), MAX_LINE_TEXT))),
      warnings: [],
    };
  if (kind === 't=') {
    try {
      return loadProgramFile(await inflateRaw(fromBase64url(data), MAX_FILE_SIZE));
    } catch (e) {
      if (e instanceof LinkError) throw e;
      throw notAProgram(e.message);
    }
  }
  throw notAProgram('it starts with neither #p=, #z= nor #t=');
}

// The fragment for a program; the shorter of #p= and #z= for the default
// table.
export async function shareFragment(cells, steps) {
  if (!isDefaultTable(cells)) return '#t=' + base64url(await deflateRaw(encodeProgramFile(cells, steps)));
  const text = programText(cells, steps);
  const plain = '#p=' + percentEncodeProgram(text);
  const packed = '#z=' + base64url(await deflateRaw(latin1Bytes(text)));
  return packed.length < plain.length ? packed : plain;
}
