// The program a share link carries, for the page, the embed and the
// component: a fragment ("#p=", "#z=", "#t="), a whole address holding
// one, or (where allowed) a program text itself.
//   #p=TEXT  the program text, each blank written as "_"; every other byte
//            outside "!".."~", and each of _ % # " < > and the backquote,
//            as %XX
//   #z=DATA  the same text raw-deflated, base64url without padding
//   #t=DATA  the whole program file raw-deflated, base64url
import { latin1String } from '../latin1.js';

export const MAX_FILE_SIZE = 16 * 1024 * 1024;
export const MAX_LINE_TEXT = 64 * 1024 * 1024;

export class LinkError extends Error {}

const notAProgram = (why) => new LinkError(`This address does not hold a dozu program: ${why}.`);

export function fromBase64url(text) {
  if (text.length % 4 === 1) throw notAProgram('its data is cut short');
  if (!/^[\w-]*$/.test(text)) throw notAProgram('its data is not base64url');
  return Uint8Array.from(atob(text.replace(/-/g, '+').replace(/_/g, '/')), (c) => c.charCodeAt(0));
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

// Bytes through a (de)compression stream, refused past limit bytes.
export async function throughStream(bytes, stream, limit) {
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

async function inflateRaw(bytes, limit) {
  try {
    return await throughStream(bytes, new DecompressionStream('deflate-raw'), limit);
  } catch (e) {
    if (e instanceof LinkError) throw e;
    throw notAProgram('its data does not unpack');
  }
}

// What a fragment, an address or (with text allowed) a program text holds:
// { text } (a program text of the default table), { file } (a program
// file's bytes) or null for an empty fragment. Throws LinkError.
export async function readLink(value, { text = false } = {}) {
  const link = /#([pzt])=(.*)$/s.exec(value);
  if (!link) {
    if (value === '' || value === '#') return null;
    if (text && !value.startsWith('#') && !/^[a-z]+:/i.test(value)) return { text: value };
    const fragment = value.slice(value.indexOf('#') + 1);
    if (value.includes('#') && fragment !== '') throw notAProgram('it starts with neither #p=, #z= nor #t=');
    throw notAProgram('it has no #p=, #z= or #t= fragment');
  }
  const [, kind, data] = link;
  if (kind === 'p') return { text: percentDecodeProgram(data) };
  if (kind === 'z') return { text: latin1String(await inflateRaw(fromBase64url(data), MAX_LINE_TEXT)) };
  return { file: await inflateRaw(fromBase64url(data), MAX_FILE_SIZE) };
}
