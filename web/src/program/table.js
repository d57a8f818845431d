// The command table and the program as dozu's editor keeps them: 78 table
// cells (13 rows of 6 columns: each button's title, interpreter code and
// compiled code) and one step per program line, the tag (1 to 26) of the
// button clicked. Cells are 8-bit texts, held as strings of char codes 0 to
// 255. Reading a program file is the runtime's (dozu_tpg.h).
import { latin1Bytes } from '../latin1.js';

export const BUTTONS = 26;
export const TABLE_CELLS = 78;
export const MAX_LINE_TEXT = 64 * 1024 * 1024;

// Tags 1 to 19: title, interpreter code, compiled code; 20 to 26 are empty.
const DEFAULTS = [
  ['init', '*', 'turtle:init_stack_frame'],
  ['first', '=', 'turtle:first'],
  ['shrn_r', 'R-2', 'turtle:shrink_r'],
  ['grow_r', 'R2', 'turtle:grow_r'],
  ['shrn_s', 'S-4', 'turtle:shrink_s'],
  ['grow_s', 'S4', 'turtle:grow_s'],
  ['  <  ', 'Y-2', 'turtle:<'],
  ['  >  ', 'Y2', 'turtle:>'],
  [' <|  ', 'Y-C', 'turtle:<|'],
  ['  |> ', 'YC', 'turtle:|>'],
  ['  p  ', 'p', 'turtle:wind-'],
  ['  q  ', 'q', 'turtle:wind+'],
  ['  _  ', 'B', 'turtle:bot'],
  ['  \xaf  ', 'T', 'turtle:fix'],
  ['  [  ', '[', 'turtle:push'],
  ['  ] ', ']', 'turtle:pop'],
  ['  ^  ', '^', 'turtle:go'],
  ['MARK', 'V', 'FIXME'],
  ['subdiv', 'D', 'tutle::subdiv'],
];

// The cell of a tag's title (column 0), code (1) or compiled code (2).
export function cellIndex(tag, column) {
  return 6 * ((tag - 1) >> 1) + (tag % 2 ? 0 : 3) + column;
}

export function defaultTable() {
  const cells = new Array(TABLE_CELLS).fill('');
  for (const [i, button] of DEFAULTS.entries())
    for (const [column, text] of button.entries()) cells[cellIndex(i + 1, column)] = text;
  return cells;
}

const DEFAULT_TABLE = defaultTable();

export const isDefaultTable = (cells) => cells.every((cell, i) => cell === DEFAULT_TABLE[i]);
export const title = (cells, tag) => cells[cellIndex(tag, 0)];
export const code = (cells, tag) => cells[cellIndex(tag, 1)];
export const compiledCode = (cells, tag) => cells[cellIndex(tag, 2)];

export class ProgramError extends Error {}

// The bytes of the program's lines: each line's code and its blank.
export function lineTextSize(cells, steps) {
  let size = 0;
  for (const tag of steps) size += code(cells, tag).length + 1;
  return size;
}

export function checkLineText(size) {
  if (size > MAX_LINE_TEXT)
    throw new ProgramError(`program too large: its lines would hold ${size} bytes, the limit is 64 MiB`);
}

function joined(pieces) {
  const out = new Uint8Array(pieces.reduce((n, p) => n + p.length, 0));
  let at = 0;
  for (const p of pieces) {
    out.set(p, at);
    at += p.length;
  }
  return out;
}

// The program file: every cell followed by the byte 0xFF, then the steps.
export function encodeProgramFile(cells, steps) {
  return joined([...cells.map((cell) => latin1Bytes(`${cell}\xff`)), Uint8Array.from(steps)]);
}

// Each step's compiled code followed by the byte 0xFF.
export function encodeCompiled(cells, steps) {
  const codes = new Map();
  return joined(
    steps.map((tag) => {
      if (!codes.has(tag)) codes.set(tag, latin1Bytes(`${compiledCode(cells, tag)}\xff`));
      return codes.get(tag);
    }),
  );
}

// The program text that the runtime reads: the first count lines, each
// its code and a blank.
export function programText(cells, steps, count = steps.length) {
  const parts = [];
  for (let i = 0; i < count; ++i) parts.push(code(cells, steps[i]), ' ');
  return parts.join('');
}

// The steps of a program text of the default table: one line per blank,
// each the code of a default button. Throws an Error that says which line
// is not one.
export function stepsOfText(text) {
  if (text.length > MAX_LINE_TEXT) throw new ProgramError('its program is larger than 64 MiB');
  const tags = new Map();
  for (let tag = BUTTONS; tag >= 1; --tag) if (code(DEFAULT_TABLE, tag)) tags.set(code(DEFAULT_TABLE, tag), tag);
  if (text !== '' && !text.endsWith(' ')) text += ' ';
  const steps = [];
  let start = 0;
  for (let end = text.indexOf(' '); end >= 0; start = end + 1, end = text.indexOf(' ', start)) {
    const line = text.slice(start, end);
    const tag = tags.get(line);
    if (tag === undefined)
      throw new ProgramError(
        line === '' ? 'a line of it is empty' : `"${line.slice(0, 40)}" is not one of dozu's commands`,
      );
    steps.push(tag);
  }
  return steps;
}
