// Decodes in a Web Worker made from a Blob (a page opened from file:// may
// start no worker from a file), with the module inlined in the script. A
// decoder's requests are answered in turn; with newestWins, a decode asked
// for while another runs ends that one's worker and takes its place, and
// the superseded request resolves to null, as a cancelled one does.
/* global __DOZU_WORKER__ */
import { packedModule } from './module.js';

let workerUrl = null;

export class Decoder {
  constructor({ newestWins = false } = {}) {
    this.newestWins = newestWins;
    this.worker = null;
    this.pending = new Map(); // id -> resolve
    this.nextId = 1;
  }

  // The worker, started at once with the module to compile.
  start() {
    workerUrl ??= URL.createObjectURL(new Blob([__DOZU_WORKER__], { type: 'text/javascript' }));
    const worker = new Worker(workerUrl);
    worker.onmessage = (event) => {
      const resolve = this.pending.get(event.data.id);
      if (!resolve) return;
      this.pending.delete(event.data.id);
      if (event.data.failed) this.stop();
      resolve(event.data);
    };
    worker.onerror = (event) => {
      event.preventDefault();
      this.stop({ failed: event.message || 'the decoder stopped' });
    };
    worker.postMessage({ module: packedModule() });
    return worker;
  }

  // Starts the worker ahead of the first request, which then finds it
  // ready.
  warm() {
    this.worker ??= this.start();
  }

  // The answer to a request (see worker.js), or null when a newer decode
  // or a cancel took its place.
  request(message, transfer = []) {
    if (this.newestWins && message.op === 'decode') this.cancel();
    const id = this.nextId++;
    message.id = id;
    const answer = new Promise((resolve) => this.pending.set(id, resolve));
    this.worker ??= this.start();
    this.worker.postMessage(message, transfer);
    return answer;
  }

  // Decodes a program text (bytes) or, with file, a program file.
  decode(text, options = {}) {
    return this.request({ op: 'decode', text, ...options }, [text.buffer]);
  }

  decodeFile(bytes, options = {}) {
    return this.request({ op: 'decode', file: bytes, ...options }, [bytes.buffer]);
  }

  readFile(bytes) {
    return this.request({ op: 'file', bytes }, [bytes.buffer]);
  }

  exportModel(text, format, name, exporter) {
    return this.request({ op: 'export', text, format, name, exporter }, [text.buffer]);
  }

  // Gives a model's arrays, which nothing draws any more, back to the
  // worker for its next decodes (they are gone here).
  recycle(model) {
    if (!model || !this.worker) return;
    const buffers = [model.vertices.buffer, model.triangles.buffer, model.edges.buffer];
    this.worker.postMessage({ spare: buffers }, buffers);
  }

  busy() {
    return this.pending.size > 0;
  }

  // Ends what runs and what waits: its worker goes, the next request
  // starts another.
  cancel() {
    if (this.pending.size) this.stop(null);
  }

  stop(answer = null) {
    const waiting = [...this.pending.values()];
    this.pending.clear();
    this.worker?.terminate();
    this.worker = null;
    for (const resolve of waiting) resolve(answer);
  }
}
