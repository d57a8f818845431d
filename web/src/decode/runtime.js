// The runtime module's calls (web/module.c), for the worker: a decode to
// the arrays a view draws, and the reading of a program file. Messages come
// with their kinds from the runtime.
import { latin1String } from '../latin1.js';
import { MESSAGE_FATAL } from './messages.js';

const DOZU_ERROR_MEMORY = 2;
// The messages a result carries; a fatal error comes whatever its place.
const KEPT_MESSAGES = 1000;
const TABLE_CELLS = 78;

export class Runtime {
  // module: the compiled WebAssembly.Module.
  static async start(module) {
    const runtime = new Runtime();
    const instance = await WebAssembly.instantiate(module, {
      env: { dz_message: (line, kind, text) => runtime.message(line, kind, text) },
    });
    runtime.x = instance.exports;
    return runtime;
  }

  constructor() {
    this.messages = [];
    this.messageCount = 0;
  }

  message(line, kind, pointer) {
    if (++this.messageCount > KEPT_MESSAGES && kind !== MESSAGE_FATAL) return;
    const bytes = new Uint8Array(this.x.memory.buffer, pointer);
    this.messages.push({ line, kind, text: String.fromCharCode(...bytes.subarray(0, bytes.indexOf(0))) });
  }

  // Copies bytes into the module's input; false when it has no room.
  input(bytes) {
    const at = this.x.dz_input(bytes.length);
    if (!at && bytes.length) return false;
    new Uint8Array(this.x.memory.buffer, at, bytes.length).set(bytes);
    return true;
  }

  words(pointer, count) {
    return new Uint32Array(this.x.memory.buffer, pointer, count);
  }

  // Decodes the program text (bytes): its first lineCount lines (-1: all),
  // stopped past maxQuads quads (0: no cap), its arrays made only for a
  // mesh of at most arrayLimit quads (0: any). The arrays are views of the
  // module's memory, valid until its next call.
  decode(text, { lineCount = -1, maxQuads = 0, arrayLimit = 0 } = {}) {
    this.messages = [];
    this.messageCount = 0;
    const started = performance.now();
    if (!this.input(text)) return { status: DOZU_ERROR_MEMORY, messages: [], messageCount: 0 };
    const status = this.x.dz_decode(text.length, lineCount, maxQuads, arrayLimit);
    const w = this.words(this.x.dz_model(), 14);
    const buffer = this.x.memory.buffer;
    const result = {
      status,
      outOfMemory: status === DOZU_ERROR_MEMORY,
      messages: this.messages,
      messageCount: this.messageCount,
      meshVertices: w[0],
      meshQuads: w[1],
      model: null,
      ms: 0,
    };
    if (status !== DOZU_ERROR_MEMORY && !(arrayLimit && result.meshQuads > arrayLimit)) {
      result.model = {
        vertices: new Float32Array(buffer, w[2], 6 * w[3]),
        quads: new Uint32Array(buffer, w[4], 4 * w[5]),
        triangles: new Uint32Array(buffer, w[6], 3 * w[7]),
        edges: new Uint32Array(buffer, w[8], 2 * w[9]),
        bounds: [...new Float32Array(buffer, this.x.dz_model() + 40, 4)],
      };
    }
    result.ms = performance.now() - started;
    return result;
  }

  // Reads a program file (bytes) as the editor loads it: { status,
  // messages, text, steps, cells } (text and steps copied out).
  readProgramFile(bytes) {
    this.messages = [];
    this.messageCount = 0;
    if (!this.input(bytes)) return { status: DOZU_ERROR_MEMORY, messages: [] };
    const status = this.x.dz_read_program_file(bytes.length);
    const result = { status, messages: this.messages };
    if (status !== 0) return result;
    const w = this.words(this.x.dz_program_file(), 4 + 2 * TABLE_CELLS);
    const memory = new Uint8Array(this.x.memory.buffer);
    result.text = memory.slice(w[0], w[0] + w[1]);
    result.steps = memory.slice(w[2], w[2] + w[3]);
    result.cells = [];
    for (let i = 0; i < TABLE_CELLS; ++i) {
      const start = w[4 + i];
      result.cells.push(latin1String(bytes.subarray(start, start + w[4 + TABLE_CELLS + i])));
    }
    return result;
  }
}
