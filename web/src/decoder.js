// Decodes program texts in a Web Worker made from a Blob (a page opened from
// file:// may start no worker from a file), with the module inlined in the
// script. The newest decode wins: one asked for while another runs ends
// that one's worker, whose promise then resolves to null, as does a
// cancelled one.
/* global __DOZU_MODULE__, __DOZU_WORKER__ */

let compiled = null;

// The decoder module, compiled once per page.
export function decoderModule() {
  if (!compiled) {
    compiled = (async () => {
      const packed = Uint8Array.from(atob(__DOZU_MODULE__), (c) => c.charCodeAt(0));
      const stream = new Blob([packed]).stream().pipeThrough(new DecompressionStream('deflate-raw'));
      return WebAssembly.compile(await new Response(stream).arrayBuffer());
    })();
  }
  return compiled;
}

let workerUrl = null;

export class Decoder {
  constructor() {
    this.worker = null;
    this.running = null; // { id, resolve }
    this.nextId = 1;
  }

  async start() {
    const module = await decoderModule();
    if (!workerUrl) workerUrl = URL.createObjectURL(new Blob([__DOZU_WORKER__], { type: 'text/javascript' }));
    const worker = new Worker(workerUrl);
    worker.postMessage({ module });
    worker.onmessage = (event) => {
      const run = this.running;
      if (!run || event.data.id !== run.id) return;
      // A module that trapped may have left its memory half changed: the
      // next decode gets a fresh one.
      if (event.data.failed) this.finish(event.data);
      this.running = null;
      run.resolve(event.data);
    };
    worker.onerror = (event) => {
      event.preventDefault();
      this.finish({ failed: event.message || 'the decoder stopped' });
    };
    return worker;
  }

  // The result of decoding text (a Uint8Array): { status, messages,
  // vertices, quads, drawing, decodeMs } or { outOfMemory } or { failed };
  // null when a newer decode or a cancel took its place.
  async decode(text) {
    if (this.running) this.cancel();
    const id = this.nextId++;
    const result = new Promise((resolve) => (this.running = { id, resolve }));
    if (!this.worker) this.worker = this.start();
    let worker;
    try {
      worker = await this.worker;
    } catch (error) {
      // No worker to be had (the module or the browser refused): the
      // next decode tries again.
      if (this.running && this.running.id === id) this.running = null;
      this.worker = null;
      throw error;
    }
    if (this.running && this.running.id === id) worker.postMessage({ id, text }, [text.buffer]);
    return result;
  }

  busy() {
    return this.running !== null;
  }

  // Ends the running decode, if any: its worker goes, the next decode
  // starts another.
  cancel() {
    if (!this.running) return;
    this.finish(null);
  }

  finish(result) {
    const run = this.running;
    this.running = null;
    if (this.worker) this.worker.then((w) => w.terminate()).catch(() => {});
    this.worker = null;
    if (run) run.resolve(result);
  }

  close() {
    this.cancel();
    if (this.worker) this.worker.then((w) => w.terminate()).catch(() => {});
    this.worker = null;
  }
}
