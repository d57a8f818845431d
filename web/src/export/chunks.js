// A file made piece by piece: text and bytes gathered into blocks of about
// a megabyte, so that a model of any size is written without one string or
// buffer of the whole file.

const BLOCK = 1 << 20;
const encoder = new TextEncoder();

export class Chunks {
  constructor() {
    this.parts = [];
    this.text = [];
    this.textLength = 0;
    this.size = 0;
  }

  // Text, in UTF-8.
  add(text) {
    this.text.push(text);
    this.textLength += text.length;
    if (this.textLength >= BLOCK) this.flushText();
  }

  // Bytes (a typed array or an ArrayBuffer), kept as they are.
  addBytes(bytes) {
    this.flushText();
    const view =
      bytes instanceof ArrayBuffer
        ? new Uint8Array(bytes)
        : new Uint8Array(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    this.parts.push(view);
    this.size += view.length;
  }

  flushText() {
    if (!this.text.length) return;
    const bytes = encoder.encode(this.text.join(''));
    this.text = [];
    this.textLength = 0;
    this.parts.push(bytes);
    this.size += bytes.length;
  }

  // The pieces, in order.
  finish() {
    this.flushText();
    return this.parts;
  }
}

// Little-endian fields written into blocks of bytes.
export class Fields {
  constructor(chunks) {
    this.chunks = chunks;
    this.view = new DataView(new ArrayBuffer(BLOCK));
    this.used = 0;
  }

  room(n) {
    if (this.used + n > this.view.byteLength) this.flush();
  }

  u8(v) {
    this.room(1);
    this.view.setUint8(this.used, v);
    this.used += 1;
  }

  u16(v) {
    this.room(2);
    this.view.setUint16(this.used, v, true);
    this.used += 2;
  }

  u32(v) {
    this.room(4);
    this.view.setUint32(this.used, v, true);
    this.used += 4;
  }

  f32(v) {
    this.room(4);
    this.view.setFloat32(this.used, v, true);
    this.used += 4;
  }

  flush() {
    if (this.used) this.chunks.addBytes(new Uint8Array(this.view.buffer.slice(0, this.used)));
    this.used = 0;
  }
}
