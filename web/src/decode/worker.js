// The decoder's worker, one for every page: it compiles and instantiates
// the module it is sent (requests that come first wait for it), then
// answers each request in turn.
//   { id, op: 'decode', text | file, lineCount, maxQuads, arrayLimit }
//       the model's arrays a view draws (copied out of the module's
//       memory), its counts and messages; a program file is read first
//   { id, op: 'file', bytes }       a program file's text, steps and cells
//   { id, op: 'export', text, format, name, exporter }
//       the file of the whole program's model, by the exporters' script
//       (its address), loaded at the first export
//   { spare: [ArrayBuffer] }       buffers of a model no longer drawn, for
//       the next decodes' arrays
// A request that failed answers { id, failed }. A page that wants a decode
// stopped ends the worker and starts another.
import { compileModule } from './module.js';
import { Runtime } from './runtime.js';

let runtime = null;

// Buffers of arrays that the page has drawn and given back: copies into
// them find their memory already there, where a new buffer's pages are
// each faulted in and cleared.
const spare = [];
const SPARE_BUFFERS = 6;

// A copy of an array, in a spare buffer where one is large enough.
function copy(array) {
  let best = -1;
  for (let i = 0; i < spare.length; ++i)
    if (spare[i].byteLength >= array.byteLength && (best < 0 || spare[i].byteLength < spare[best].byteLength)) best = i;
  const buffer = best >= 0 ? spare.splice(best, 1)[0] : new ArrayBuffer(array.byteLength);
  const out = new array.constructor(buffer, 0, array.length);
  out.set(array);
  return out;
}

// The arrays of a decode, copied out, and what to transfer.
function copied(model) {
  if (!model) return [null, []];
  const out = {
    vertices: copy(model.vertices),
    triangles: copy(model.triangles),
    edges: copy(model.edges),
    bounds: model.bounds,
  };
  return [out, [out.vertices.buffer, out.triangles.buffer, out.edges.buffer]];
}

// The program text of a request: its text, or its program file's.
function programText(request, answer) {
  if (!request.file) return request.text;
  const file = runtime.readProgramFile(request.file);
  answer.fileMessages = file.messages;
  answer.fileStatus = file.status;
  return file.status === 0 ? file.text : null;
}

async function handle(request) {
  const answer = { id: request.id };
  if (request.op === 'file') {
    Object.assign(answer, runtime.readProgramFile(request.bytes));
    return [answer, answer.text ? [answer.text.buffer, answer.steps.buffer] : []];
  }
  const text = programText(request, answer);
  if (!text) return [answer, []];
  if (request.op === 'export') {
    if (!self.dozuExport) importScripts(request.exporter);
    const result = runtime.decode(text);
    if (!result.model) throw new Error('out of memory');
    answer.blob = new Blob(await self.dozuExport(request.format, result.model, request.name));
    return [answer, []];
  }
  const result = runtime.decode(text, request);
  const [model, transfer] = copied(result.model);
  Object.assign(answer, result, { model });
  return [answer, transfer];
}

let start;
let ready = new Promise((resolve) => {
  start = resolve;
}).then(async (module) => {
  runtime = await Runtime.start(await compileModule(module));
});
self.onmessage = (event) => {
  const request = event.data;
  if (request.module) {
    start(request.module);
    return;
  }
  if (request.spare) {
    spare.push(...request.spare);
    spare.splice(0, spare.length - SPARE_BUFFERS);
    return;
  }
  ready = ready
    .then(() => handle(request))
    .then(([answer, transfer]) => self.postMessage(answer, transfer))
    // A module that trapped (out of memory, say) may have left its memory
    // half changed: the page starts another worker.
    .catch((error) => self.postMessage({ id: request.id, failed: String(error?.message || error) }));
};
