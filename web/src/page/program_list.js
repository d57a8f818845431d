// The program list: each line's number, its button's title and its code,
// such as "12  grow_s  S4". Only the rows in sight are in the page, so
// that a change touches a few rows whatever the program's length; a row's
// click selects its line, the arrow keys move the selection.
import { code, title } from '../program/table.js';

const ROW_HEIGHT = 22;
const MAX_SHOWN_CODE = 1000;

// The three columns of a line, as the list shows them.
export function lineLabel(document, i) {
  const tag = document.steps[i];
  let c = code(document.cells, tag);
  if (c.length > MAX_SHOWN_CODE) c = `${c.slice(0, MAX_SHOWN_CODE)}\u2026`;
  return [String(i + 1), title(document.cells, tag).trim(), c];
}

export class ProgramList {
  constructor(list, rows, document) {
    this.list = list;
    this.rows = rows;
    this.document = document;
    this.pool = [];
    list.addEventListener('scroll', () => this.render());
    list.addEventListener('click', (event) => {
      const row = event.target.closest('.row');
      if (row) document.select(Number(row.dataset.line));
    });
    list.addEventListener('keydown', (event) => {
      if (event.key !== 'ArrowDown' && event.key !== 'ArrowUp') return;
      event.preventDefault();
      const next = document.selected + (event.key === 'ArrowDown' ? 1 : -1);
      if (next >= 0 && next < document.steps.length) document.select(next);
    });
    new ResizeObserver(() => this.render()).observe(list);
  }

  // The selected line in sight, then the rows.
  follow() {
    this.size();
    const selected = this.document.selected;
    if (selected >= 0) {
      const top = selected * ROW_HEIGHT;
      const list = this.list;
      if (top < list.scrollTop) list.scrollTop = top;
      else if (top + ROW_HEIGHT > list.scrollTop + list.clientHeight)
        list.scrollTop = top + ROW_HEIGHT - list.clientHeight;
    }
    this.render();
  }

  size() {
    const height = `${this.document.steps.length * ROW_HEIGHT}px`;
    if (this.rows.style.height !== height) this.rows.style.height = height;
  }

  render() {
    const doc = this.document;
    const count = doc.steps.length;
    this.size();
    const first = Math.max(0, Math.floor(this.list.scrollTop / ROW_HEIGHT) - 2);
    const last = Math.min(count, Math.ceil((this.list.scrollTop + this.list.clientHeight) / ROW_HEIGHT) + 2);
    while (this.pool.length < last - first) {
      const row = document.createElement('div');
      row.className = 'row';
      row.setAttribute('role', 'option');
      row.append(...['n', 't', 'c'].map((name) => Object.assign(document.createElement('span'), { className: name })));
      this.rows.append(row);
      this.pool.push(row);
    }
    const traceEnd = doc.trace ? doc.selected : count - 1;
    this.pool.forEach((row, k) => {
      const i = first + k;
      row.hidden = i >= last;
      if (row.hidden) return;
      row.dataset.line = i;
      row.style.top = `${i * ROW_HEIGHT}px`;
      lineLabel(doc, i).forEach((text, column) => {
        const span = row.children[column];
        if (span.textContent !== text) span.textContent = text;
      });
      row.setAttribute('aria-selected', String(i === doc.selected));
      row.setAttribute('aria-posinset', String(i + 1));
      row.setAttribute('aria-setsize', String(count));
      row.classList.toggle('traced', i > traceEnd);
    });
  }
}
