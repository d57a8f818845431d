// The messages of a run (and the warnings of the last load before them),
// each "LINE: TEXT" whose click selects its line; errors in red by the kind
// the runtime gave them; and the status line's note of the first error.
import { MESSAGE_ERROR, MESSAGE_FATAL } from '../decode/messages.js';

const MAX_SHOWN = 1000;
const isError = (m) => m.kind === MESSAGE_FATAL || m.kind === MESSAGE_ERROR;

export class Messages {
  constructor(box, errorNote, document) {
    this.box = box;
    this.errorNote = errorNote;
    box.addEventListener('click', (event) => {
      const item = event.target.closest('li');
      const line = item ? Number(item.dataset.line) : -1;
      if (line >= 0 && line < document.steps.length) document.select(line);
    });
  }

  // messages: [{ line, kind, text }] (line -1: none); count: how many the
  // run gave in all.
  show(messages, count = messages.length) {
    this.box.textContent = '';
    for (const m of messages.slice(0, MAX_SHOWN)) {
      const item = document.createElement('li');
      item.textContent = (m.line >= 0 ? `${m.line + 1}: ` : '') + m.text;
      item.dataset.line = m.line;
      if (isError(m)) item.className = 'error';
      this.box.append(item);
    }
    if (count > MAX_SHOWN) {
      const item = document.createElement('li');
      item.textContent = `... and ${count - MAX_SHOWN} more messages`;
      this.box.append(item);
    }
    const error = messages.find((m) => isError(m) && m.line >= 0);
    this.errorNote.textContent = error ? `error at line ${error.line + 1}` : '';
  }

  texts() {
    return [...this.box.children].map((item) => item.textContent);
  }
}
