// The command table and the program file (.tpg) as dozu's editor keeps them:
// 78 table cells, each followed by the byte 0xFF, then one byte per step
// (the tag of the button clicked, 1 to 26). Cells are 8-bit texts, held
// here as strings of char codes 0-255.

export const BUTTONS = 26;
export const COLUMNS = 6;
export const TABLE_CELLS = 13 * COLUMNS;
export const CELL_END = 0xff;
export const MAX_FILE_SIZE = 16 * 1024 * 1024;
export const MAX_LINE_TEXT = 64 * 1024 * 1024;
const SKIPPED_LISTED = 100;

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
  const row = (tag + 1) >> 1;
  return (row - 1) * COLUMNS + (tag % 2 ? 0 : 3) + column;
}

export function defaultTable() {
  const cells = new Array(TABLE_CELLS).fill('');
  DEFAULTS.forEach((button, i) => button.forEach((text, column) => (cells[cellIndex(i + 1, column)] = text)));
  return cells;
}

const DEFAULT_TABLE = defaultTable();

export function isDefaultTable(cells) {
  return cells.every((cell, i) => cell === DEFAULT_TABLE[i]);
}

export const title = (cells, tag) => cells[cellIndex(tag, 0)];
export const code = (cells, tag) => cells[cellIndex(tag, 1)];
export const compiledCode = (cells, tag) => cells[cellIndex(tag, 2)];

// Bytes as a string of char codes 0-255, in pieces that a call can take.
export function latin1String(bytes) {
  let s = '';
  for (let i = 0; i < bytes.length; i += 0x8000) s += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
  return s;
}

export function latin1Bytes(text) {
  const bytes = new Uint8Array(text.length);
  for (let i = 0; i < text.length; ++i) bytes[i] = text.charCodeAt(i);
  return bytes;
}

// The file's cells and steps as dozu reads them: a file that ends early
// leaves the rest of the cells empty; step bytes outside 1 to 26 are
// skipped, the first ones listed.
export function parseProgramFile(bytes) {
  const cells = [];
  let pos = 0;
  let cellsRead = 0;
  for (let i = 0; i < TABLE_CELLS; ++i) {
    if (pos < bytes.length) ++cellsRead;
    let end = bytes.indexOf(CELL_END, pos);
    if (end < 0) end = bytes.length;
    cells.push(latin1String(bytes.subarray(pos, end)));
    pos = Math.min(end + 1, bytes.length);
  }
  const steps = [];
  const skipped = [];
  let skippedCount = 0;
  for (; pos < bytes.length; ++pos) {
    const b = bytes[pos];
    if (b >= 1 && b <= BUTTONS) {
      steps.push(b);
    } else {
      if (skipped.length < SKIPPED_LISTED) skipped.push({ byte: b, offset: pos });
      ++skippedCount;
    }
  }
  return { cells, steps, skipped, skippedCount, cellsRead };
}

export class ProgramError extends Error {}

// A loaded program: its table, the steps whose buttons have a code (a load
// replays each step as a click, and a button without a code inserts
// nothing) and the warnings the file gave. Throws ProgramError for a file
// too large, or whose lines would hold more than 64 MiB.
export function loadProgramFile(bytes) {
  if (bytes.length > MAX_FILE_SIZE)
    throw new ProgramError(`the file is larger than ${MAX_FILE_SIZE / 1024 / 1024} MiB`);
  const data = parseProgramFile(bytes);
  const steps = data.steps.filter((tag) => code(data.cells, tag) !== '');
  checkLineText(lineTextSize(data.cells, steps));
  const warnings = [];
  if (data.cellsRead < TABLE_CELLS)
    warnings.push(`file ends after ${data.cellsRead} of ${TABLE_CELLS} table cells; the rest are empty`);
  data.skipped.forEach((s) => warnings.push(`step byte ${s.byte} at offset ${s.offset} skipped`));
  if (data.skippedCount > data.skipped.length)
    warnings.push(`... and ${data.skippedCount - data.skipped.length} more step bytes skipped`);
  return { cells: data.cells, steps, warnings };
}

export function lineTextSize(cells, steps) {
  let size = 0;
  for (const tag of steps) size += code(cells, tag).length + 1;
  return size;
}

export function checkLineText(size) {
  if (size > MAX_LINE_TEXT)
    throw new ProgramError(`program too large: its lines would hold ${size} bytes, the limit is 64 MiB`);
}

function joinBytes(pieces, size) {
  const out = new Uint8Array(size);
  let at = 0;
  for (const p of pieces) {
    out.set(p, at);
    at += p.length;
  }
  return out;
}

export function encodeProgramFile(cells, steps) {
  const pieces = cells.map((cell) => latin1Bytes(cell + '\xff'));
  pieces.push(Uint8Array.from(steps));
  return joinBytes(pieces, pieces.reduce((n, p) => n + p.length, 0));
}

// Each step's compiled code followed by the byte 0xFF.
export function encodeCompiled(cells, steps) {
  const codes = new Map();
  const pieces = steps.map((tag) => {
    if (!codes.has(tag)) codes.set(tag, latin1Bytes(compiledCode(cells, tag) + '\xff'));
    return codes.get(tag);
  });
  return joinBytes(pieces, pieces.reduce((n, p) => n + p.length, 0));
}

// The program text that the decoder reads: each line's code and its blank.
export function programText(cells, steps, count = steps.length) {
  const parts = [];
  for (let i = 0; i < count; ++i) parts.push(code(cells, steps[i]), ' ');
  return parts.join('');
}

// The default table's tag for each code, to read a program text back.
export function defaultTagsByCode() {
  const tags = new Map();
  for (let tag = 1; tag <= BUTTONS; ++tag) {
    const c = code(DEFAULT_TABLE, tag);
    if (c !== '' && !tags.has(c)) tags.set(c, tag);
  }
  return tags;
}
