// The runtime's WebAssembly module, inlined in the script raw-deflated and
// as base64 (a page from file:// can fetch nothing), compiled once a page.
/* global __DOZU_MODULE__ */

let compiled = null;

export function runtimeModule() {
  compiled ??= (async () => {
    const packed = Uint8Array.from(atob(__DOZU_MODULE__), (c) => c.charCodeAt(0));
    const stream = new Blob([packed]).stream().pipeThrough(new DecompressionStream('deflate-raw'));
    return WebAssembly.compile(await new Response(stream).arrayBuffer());
  })();
  return compiled;
}
