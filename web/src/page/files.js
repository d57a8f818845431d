// Files: a program file opened (from the file input or dropped on the
// page) and read by the runtime as the editor loads it, with its warnings;
// the program saved as a .tpg or as compiled output; the model exported in
// the batch tool's formats, written in the worker. Each ends with a note
// in the status line; a file that cannot be opened changes nothing.
/* global __DOZU_EXPORTER__ */
import { Decoder } from '../decode/decoder.js';
import { MESSAGE_FATAL } from '../decode/messages.js';
import { EXPORT_FORMATS } from '../export/formats.js';
import { latin1Bytes } from '../latin1.js';
import { encodeCompiled, encodeProgramFile, programText } from '../program/table.js';

let exporterUrl = null;

export function download(name, data, type) {
  const url = URL.createObjectURL(data instanceof Blob ? data : new Blob([data], { type }));
  const a = document.createElement('a');
  a.href = url;
  a.download = name;
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 10000);
}

// What reading a program file gave: { cells, steps, notes } or { error }.
export function programOfFile(answer) {
  if (!answer || answer.failed) return { error: answer ? answer.failed : 'the reading was stopped' };
  const refusal = answer.messages.find((m) => m.kind === MESSAGE_FATAL);
  if (refusal || answer.status !== 0) return { error: refusal ? refusal.text : 'out of memory' };
  const notes = answer.messages.map((m) => ({ line: -1, kind: m.kind, text: `warning: ${m.text}` }));
  return { cells: answer.cells, steps: [...answer.steps], notes };
}

export class Files {
  // note(text) says how a file went.
  constructor(document, note) {
    this.document = document;
    this.note = note;
    this.jobs = new Decoder();
  }

  readProgramFile(bytes) {
    return this.jobs.readFile(bytes).then(programOfFile);
  }

  async open(file, mayReplace) {
    if (!file || !mayReplace(`Open ${file.name}`)) return;
    const program = await this.readProgramFile(new Uint8Array(await file.arrayBuffer()));
    if (program.error) return this.note(`${file.name} cannot be opened: ${program.error}`);
    const name = file.name.replace(/\.[^.]*$/, '') || 'program';
    this.document.replace(program.cells, program.steps, name, program.notes);
    this.note(`opened ${file.name}`);
  }

  save() {
    const doc = this.document;
    download(`${doc.name}.tpg`, encodeProgramFile(doc.cells, doc.steps), 'application/x-dozu-program');
    doc.saved();
    this.note(`saved ${doc.name}.tpg`);
  }

  saveCompiled() {
    const doc = this.document;
    download(`${doc.name}.bin`, encodeCompiled(doc.cells, doc.steps), 'application/octet-stream');
    this.note(`saved ${doc.name}.bin`);
  }

  // The whole program's model in a format, as dozu-cli run --FORMAT writes
  // it.
  async export(format) {
    const doc = this.document;
    exporterUrl ??= URL.createObjectURL(new Blob([__DOZU_EXPORTER__], { type: 'text/javascript' }));
    const text = latin1Bytes(programText(doc.cells, doc.steps));
    this.note(`exporting ${doc.name}.${format}...`);
    const answer = await this.jobs.exportModel(text, format, doc.name, exporterUrl);
    if (!answer?.blob) return this.note(`the export failed: ${answer?.failed || 'it was stopped'}`);
    download(`${doc.name}.${format}`, new Blob([answer.blob], { type: EXPORT_FORMATS[format].type }));
    this.note(`exported ${doc.name}.${format}`);
  }
}
