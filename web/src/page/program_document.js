// The program being edited, as the editor's ProgramDocument keeps it: the
// command table, the steps, the selected line, trace mode, the name and
// whether it changed since the last load or save, with undo and redo of
// each edit. Its events: 'changed' when the program that runs changed (an
// edit, a selection in trace mode, a new program), 'selection' when only
// the selected line moved, 'replaced' when a whole new program came.
import { checkLineText, code, defaultTable, lineTextSize, ProgramError, programText } from '../program/table.js';

export class ProgramDocument extends EventTarget {
  constructor() {
    super();
    this.cells = defaultTable();
    this.steps = [];
    this.selected = -1;
    this.trace = false;
    this.name = 'program';
    this.unsaved = false;
    this.notes = []; // what the last load said of the file
    this.undoStack = [];
    this.redoStack = [];
  }

  emit(type) {
    this.dispatchEvent(new Event(type));
  }

  // The lines a run takes: all, or in trace mode those up to the selected.
  runCount() {
    return this.trace ? this.selected + 1 : this.steps.length;
  }

  runText() {
    return programText(this.cells, this.steps, this.runCount());
  }

  select(line) {
    this.selected = line >= 0 && line < this.steps.length ? line : -1;
    this.emit(this.trace ? 'changed' : 'selection');
  }

  setTrace(trace) {
    this.trace = trace;
    this.emit('changed');
  }

  // An edit that undo and redo replay: { insert, at, tag }.
  apply(edit, forward) {
    if (edit.insert === forward) {
      checkLineText(lineTextSize(this.cells, this.steps) + code(this.cells, edit.tag).length + 1);
      this.steps.splice(edit.at, 0, edit.tag);
      this.selected = edit.at;
    } else {
      this.steps.splice(edit.at, 1);
      this.selected = edit.at < this.steps.length ? edit.at : edit.at - 1;
    }
  }

  edit(change) {
    this.apply(change, true);
    this.unsaved = true;
    this.undoStack.push(change);
    this.redoStack.length = 0;
    this.emit('changed');
  }

  // A button's click: its line after the selected one. A button without
  // a code inserts nothing. Throws ProgramError past the size limit.
  click(tag) {
    if (code(this.cells, tag) !== '') this.edit({ insert: true, at: this.selected + 1, tag });
  }

  deleteSelected() {
    if (this.selected >= 0) this.edit({ insert: false, at: this.selected, tag: this.steps[this.selected] });
  }

  undo() {
    this.step(this.undoStack, this.redoStack, false);
  }

  redo() {
    this.step(this.redoStack, this.undoStack, true);
  }

  step(from, to, forward) {
    const change = from.pop();
    if (!change) return;
    this.apply(change, forward);
    this.unsaved = true;
    to.push(change);
    this.emit('changed');
  }

  // A whole new program (a load, a link, New): nothing to undo. Without
  // run, nothing runs it until the next change (a link that held none).
  replace(cells, steps, name, notes = [], run = true) {
    this.cells = cells;
    this.steps = steps;
    this.selected = steps.length - 1;
    this.name = name;
    this.notes = notes;
    this.undoStack.length = this.redoStack.length = 0;
    this.unsaved = false;
    this.emit('replaced');
    if (run) this.emit('changed');
  }

  saved() {
    this.unsaved = false;
  }
}

export { ProgramError };
