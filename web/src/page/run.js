// The runs of the page's program: each change decoded in the worker, the
// newest change winning; "running..." with Cancel once a run takes longer
// than a moment; the result handed on with its messages on the program's
// own lines.
import { DRAW_LIMIT } from '../decode/messages.js';
import { latin1Bytes } from '../latin1.js';
import { code } from '../program/table.js';

const RUNNING_AFTER_MS = 300;

// The runtime ends a line at every blank; a table whose codes hold blanks
// of their own numbers its lines otherwise. The program line of each of
// the runtime's, where they differ; null where they are the same.
function programLines(cells, steps, count) {
  if (!cells.some((cell) => cell.includes(' '))) return null;
  const lines = [];
  for (let i = 0; i < count; ++i) {
    const blanks = code(cells, steps[i]).split(' ').length;
    for (let k = 0; k < blanks; ++k) lines.push(i);
  }
  return lines;
}

export class Runner {
  // document: the ProgramDocument; decoder: one where the newest wins;
  // show(result, startedMs) takes each finished run, running(bool) says
  // whether one is taking long.
  constructor(document, decoder, { show, running, failed }) {
    this.document = document;
    this.decoder = decoder;
    this.show = show;
    this.running = running;
    this.failed = failed;
    this.runningAfterMs = RUNNING_AFTER_MS;
    this.timer = 0;
    this.pending = null;
  }

  run() {
    const doc = this.document;
    const count = doc.runCount();
    const lines = programLines(doc.cells, doc.steps, count);
    const started = performance.now();
    clearTimeout(this.timer);
    this.timer = setTimeout(() => this.running(true), this.runningAfterMs);
    this.pending = this.decoder
      .decode(latin1Bytes(doc.runText()), { arrayLimit: DRAW_LIMIT })
      .then((result) => {
        if (result === null) return; // a newer run or a cancel took its place
        this.stopWaiting();
        const last = Math.max(0, count - 1);
        if (lines) for (const m of result.messages || []) m.line = lines[Math.min(m.line, lines.length - 1)] ?? last;
        result.lastLine = last;
        this.show(result, started);
      })
      .catch((error) => {
        this.stopWaiting();
        this.failed(error);
      });
  }

  stopWaiting() {
    clearTimeout(this.timer);
    this.running(false);
  }

  busy() {
    return this.decoder.busy();
  }

  // Ends a run in progress; the last finished model stays. True when there
  // was one.
  cancel() {
    if (!this.decoder.busy()) return false;
    this.decoder.cancel();
    this.stopWaiting();
    return true;
  }

  // Resolves once the latest run is done.
  async idle() {
    for (;;) {
      const p = this.pending;
      await p;
      if (p === this.pending && !this.decoder.busy()) return;
    }
  }
}
