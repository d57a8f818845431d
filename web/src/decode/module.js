// The runtime's WebAssembly module, inlined in the script raw-deflated and
// as base64 (a page from file:// can fetch nothing), and its compiling,
// which the worker does: the page's thread is busy while a page loads.
/* global __DOZU_MODULE__ */

export const packedModule = () => __DOZU_MODULE__;

export async function compileModule(base64) {
  const packed = Uint8Array.from(atob(base64), (c) => c.charCodeAt(0));
  const source = new ReadableStream({
    start(controller) {
      controller.enqueue(packed);
      controller.close();
    },
  });
  const stream = source.pipeThrough(new DecompressionStream('deflate-raw'));
  return WebAssembly.compile(await new Response(stream).arrayBuffer());
}
