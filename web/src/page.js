// The web page: dozu's editor in a browser. The view above; the command
// buttons, the program list and the messages below; every change decoded
// in a worker, the newest change winning. The address's fragment can hold
// a program (share_link.js), and Share Link makes one.
import { Decoder } from './decoder.js';
import { EXPORT_FORMATS, exportModel } from './exporters.js';
import { DRAW_LIMIT } from './mesh_drawing.js';
import { meshHash } from './mesh_hash.js';
import {
  BUTTONS,
  ProgramError,
  checkLineText,
  code,
  compiledCode,
  defaultTable,
  encodeCompiled,
  encodeProgramFile,
  latin1Bytes,
  lineTextSize,
  loadProgramFile,
  programText,
  title,
} from './program_file.js';
import { programOfFragment, shareFragment } from './share_link.js';
import { View } from './view.js';

const ROW_HEIGHT = 22;
const RUNNING_AFTER_MS = 300;
let runningAfterMs = RUNNING_AFTER_MS;
const MAX_SHOWN_MESSAGES = 1000;
const MAX_SHOWN_CODE = 1000;

const $ = (id) => document.getElementById(id);

const program = {
  cells: defaultTable(),
  steps: [],
  selected: -1,
  trace: false,
  name: 'program',
};
let unsaved = false; // edits since the last load or save
const undoStack = [];
const redoStack = [];
const decoder = new Decoder();
let view = null;
let shown = null; // the result on screen: { vertices, quads, drawing, messages, ... }
let notes = []; // warnings of the last load, shown before the messages
let changeToFrameMs = 0;
let firstFrameMs = 0; // from the page's start
let pendingDecode = null;
let runningTimer = 0;

// ---- the program list: rows for the lines in sight only, so that a change
// touches a few rows whatever the program's length.

const list = $('program');
const listRows = $('program-rows');
const rowPool = [];

function lineLabel(i) {
  const tag = program.steps[i];
  let c = code(program.cells, tag);
  if (c.length > MAX_SHOWN_CODE) c = c.slice(0, MAX_SHOWN_CODE) + '\u2026';
  return [String(i + 1), title(program.cells, tag).trim(), c];
}

function renderList() {
  const count = program.steps.length;
  sizeList();
  const first = Math.max(0, Math.floor(list.scrollTop / ROW_HEIGHT) - 2);
  const last = Math.min(count, Math.ceil((list.scrollTop + list.clientHeight) / ROW_HEIGHT) + 2);
  const needed = last - first;
  while (rowPool.length < needed) {
    const row = document.createElement('div');
    row.className = 'row';
    row.setAttribute('role', 'option');
    row.innerHTML = '<span class="n"></span><span class="t"></span><span class="c"></span>';
    listRows.appendChild(row);
    rowPool.push(row);
  }
  const traceEnd = program.trace ? program.selected : count - 1;
  rowPool.forEach((row, k) => {
    const i = first + k;
    if (i >= last) {
      row.hidden = true;
      return;
    }
    row.hidden = false;
    row.dataset.line = i;
    row.style.top = `${i * ROW_HEIGHT}px`;
    const [n, t, c] = lineLabel(i);
    const spans = row.children;
    if (spans[0].textContent !== n) spans[0].textContent = n;
    if (spans[1].textContent !== t) spans[1].textContent = t;
    if (spans[2].textContent !== c) spans[2].textContent = c;
    row.setAttribute('aria-selected', String(i === program.selected));
    row.setAttribute('aria-posinset', String(i + 1));
    row.setAttribute('aria-setsize', String(count));
    row.classList.toggle('traced', i > traceEnd);
  });
}

function sizeList() {
  const height = `${program.steps.length * ROW_HEIGHT}px`;
  if (listRows.style.height !== height) listRows.style.height = height;
}

function scrollToSelection() {
  sizeList();
  if (program.selected < 0) return;
  const top = program.selected * ROW_HEIGHT;
  if (top < list.scrollTop) list.scrollTop = top;
  else if (top + ROW_HEIGHT > list.scrollTop + list.clientHeight) list.scrollTop = top + ROW_HEIGHT - list.clientHeight;
}

list.addEventListener('scroll', renderList);
list.addEventListener('click', (e) => {
  const row = e.target.closest('.row');
  if (row) select(Number(row.dataset.line));
});
list.addEventListener('keydown', (e) => {
  if (e.key === 'ArrowDown' || e.key === 'ArrowUp') {
    e.preventDefault();
    const next = program.selected + (e.key === 'ArrowDown' ? 1 : -1);
    if (next >= 0 && next < program.steps.length) select(next);
  }
});
new ResizeObserver(renderList).observe(list);

// ---- edits

function select(line) {
  program.selected = line >= 0 && line < program.steps.length ? line : -1;
  scrollToSelection();
  renderList();
  updateButtons();
  if (program.trace) run();
}

function insertLine(at, tag) {
  checkLineText(lineTextSize(program.cells, program.steps) + code(program.cells, tag).length + 1);
  program.steps.splice(at, 0, tag);
  program.selected = at;
}

function removeLine(at) {
  program.steps.splice(at, 1);
  program.selected = at < program.steps.length ? at : at - 1;
}

// An edit that undo and redo replay: { insert: true, at, tag } or
// { insert: false, at, tag }.
function apply(edit, forward) {
  if (edit.insert === forward) insertLine(edit.at, edit.tag);
  else removeLine(edit.at);
}

function edit(change) {
  apply(change, true);
  unsaved = true;
  undoStack.push(change);
  redoStack.length = 0;
  changed();
}

function clickButton(tag) {
  if (code(program.cells, tag) === '') return;
  try {
    edit({ insert: true, at: program.selected + 1, tag });
  } catch (e) {
    if (!(e instanceof ProgramError)) throw e;
    note(e.message);
  }
}

function deleteSelected() {
  if (program.selected < 0) return;
  edit({ insert: false, at: program.selected, tag: program.steps[program.selected] });
}

function undo() {
  const change = undoStack.pop();
  if (!change) return;
  apply(change, false);
  unsaved = true;
  redoStack.push(change);
  changed();
}

function redo() {
  const change = redoStack.pop();
  if (!change) return;
  apply(change, true);
  unsaved = true;
  undoStack.push(change);
  changed();
}

function changed() {
  scrollToSelection();
  renderList();
  updateButtons();
  run();
}

function updateButtons() {
  $('undo').disabled = undoStack.length === 0;
  $('redo').disabled = redoStack.length === 0;
  $('delete').disabled = program.selected < 0;
}

// A whole new program (a load, a link, New): nothing to undo.
function replaceProgram(cells, steps, name, warnings = []) {
  program.cells = cells;
  program.steps = steps;
  program.selected = steps.length - 1;
  program.name = name;
  notes = warnings.map((w) => `warning: ${w}`);
  undoStack.length = redoStack.length = 0;
  unsaved = false;
  document.title = `${name} - dozu`;
  buildCommands();
  list.scrollTop = 0;
  changed();
}

// Whether the program on the page may go: no unsaved edits, or the user
// says so.
const mayReplace = (what) => !unsaved || window.confirm(`${what}? The changes to ${program.name} are not saved.`);

// A link that holds no program: its message where the model would be and
// in the messages, and nothing else until the next change.
function showLinkError(text) {
  decoder.cancel();
  clearTimeout(runningTimer);
  showRunning(false);
  program.cells = defaultTable();
  program.steps = [];
  program.selected = -1;
  notes = [];
  undoStack.length = redoStack.length = 0;
  buildCommands();
  renderList();
  updateButtons();
  shown = null;
  if (view) view.clear();
  $('status-mesh').textContent = $('status-time').textContent = '';
  showMessages([{ line: -1, text }]);
  showViewMessage(text);
}

// ---- the command buttons

function buildCommands() {
  const box = $('commands');
  box.textContent = '';
  for (let tag = 1; tag <= BUTTONS; ++tag) {
    const button = document.createElement('button');
    const t = title(program.cells, tag).trim();
    const c = code(program.cells, tag);
    button.textContent = t || '\u00a0';
    button.dataset.tag = tag;
    button.disabled = c === '';
    button.title = `${t}\ninterpreter code: ${c}\ncompiled: ${compiledCode(program.cells, tag)}`;
    button.setAttribute('aria-label', t || `button ${tag}`);
    box.appendChild(button);
  }
}

$('commands').addEventListener('click', (e) => {
  const button = e.target.closest('button');
  if (button) clickButton(Number(button.dataset.tag));
});

// ---- runs

function run() {
  const count = program.trace ? program.selected + 1 : program.steps.length;
  const text = latin1Bytes(programText(program.cells, program.steps, count));
  const started = performance.now();
  clearTimeout(runningTimer);
  runningTimer = setTimeout(() => showRunning(true), runningAfterMs);
  pendingDecode = decoder
    .decode(text)
    .then((result) => {
      if (result === null) return; // a newer run or a cancel took its place
      clearTimeout(runningTimer);
      showRunning(false);
      show(result, started);
    })
    .catch((error) => {
      clearTimeout(runningTimer);
      showRunning(false);
      showViewMessage(`The decoder could not start: ${error.message}`);
    });
}

function showRunning(running) {
  $('status-running').hidden = !running;
  $('cancel-run').hidden = !running;
}

function cancelRun() {
  if (!decoder.busy()) return;
  decoder.cancel();
  clearTimeout(runningTimer);
  showRunning(false);
  note('run cancelled');
}

// The runtime ends a line at every blank; a table whose codes hold blanks
// of their own numbers its lines otherwise, so its messages are mapped back.
function programLineOf(runtimeLine) {
  let blanks = 0;
  for (let i = 0; i < program.steps.length; ++i) {
    blanks += (code(program.cells, program.steps[i]).match(/ /g) || []).length + 1;
    if (runtimeLine < blanks) return i;
  }
  return Math.max(0, program.steps.length - 1);
}

function show(result, started) {
  const codesWithBlanks = program.cells.some((cell) => cell.includes(' '));
  const messages = (result.messages || []).map((m) => ({
    line: codesWithBlanks ? programLineOf(m.line) : m.line,
    text: m.text,
  }));
  const lastLine = Math.max(0, (program.trace ? program.selected + 1 : program.steps.length) - 1);
  if (result.failed || result.outOfMemory || result.status === 2) {
    // The last finished model stays on screen.
    messages.push({ line: lastLine, text: 'fatal error: out of memory' });
    showMessages(messages);
    return;
  }
  const quads = result.quadCount;
  $('status-mesh').textContent = `${result.vertexCount} vertices, ${quads} quads`;
  $('status-time').textContent = `${result.decodeMs.toFixed(1)} ms`;
  if (result.drawing) {
    shown = result;
    showViewMessage('');
    if (view) view.setMesh(result.vertices, result.drawing);
    if (view) {
      view.onFrame = () => {
        view.onFrame = null;
        changeToFrameMs = performance.now() - started;
        firstFrameMs = firstFrameMs || performance.now();
      };
    }
  } else {
    shown = null;
    if (view) view.clear();
    showViewMessage(`The model has ${quads} quads: more than this page draws (${DRAW_LIMIT}).`);
  }
  showMessages(messages);
}

function showMessages(messages) {
  const box = $('messages');
  box.textContent = '';
  const items = notes.map((text) => ({ line: -1, text }));
  items.push(...messages.slice(0, MAX_SHOWN_MESSAGES));
  for (const m of items) {
    const li = document.createElement('li');
    li.textContent = (m.line >= 0 ? `${m.line + 1}: ` : '') + m.text;
    li.dataset.line = m.line;
    if (/^(fatal )?error: /.test(m.text)) li.className = 'error';
    box.appendChild(li);
  }
  if (messages.length > MAX_SHOWN_MESSAGES) {
    const li = document.createElement('li');
    li.textContent = `... and ${messages.length - MAX_SHOWN_MESSAGES} more messages`;
    box.appendChild(li);
  }
  const error = messages.find((m) => /^(fatal )?error: /.test(m.text));
  $('status-error').textContent = error ? `error at line ${error.line + 1}` : '';
}

$('messages').addEventListener('click', (e) => {
  const li = e.target.closest('li');
  const line = li ? Number(li.dataset.line) : -1;
  if (line >= 0 && line < program.steps.length) select(line);
});

function showViewMessage(text) {
  const box = $('view-message');
  box.textContent = text;
  box.hidden = text === '';
}

function note(text) {
  $('status-note').textContent = text;
}

// ---- files

function download(name, data, type) {
  const url = URL.createObjectURL(new Blob([data], { type }));
  const a = document.createElement('a');
  a.href = url;
  a.download = name;
  document.body.appendChild(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 10000);
}

async function openFile(file) {
  if (!file || !mayReplace(`Open ${file.name}`)) return;
  try {
    const bytes = new Uint8Array(await file.arrayBuffer());
    const loaded = loadProgramFile(bytes);
    const name = file.name.replace(/\.[^.]*$/, '') || 'program';
    replaceProgram(loaded.cells, loaded.steps, name, loaded.warnings);
    note(`opened ${file.name}`);
  } catch (e) {
    // Nothing changed.
    note(`${file.name} cannot be opened: ${e.message}`);
  }
}

async function exportAs(format) {
  if (!shown) {
    note('there is no model to export');
    return;
  }
  try {
    const data = await exportModel(format, program.name, shown.vertices, shown.drawing);
    download(`${program.name}.${format}`, data, EXPORT_FORMATS[format].type);
    note(`exported ${program.name}.${format}`);
  } catch (e) {
    note(`the export failed: ${e.message}`);
  }
}

// ---- links

// Loads the program of the address's fragment; false when it has none.
async function loadFragment() {
  if (location.hash === '' || location.hash === '#') return false;
  try {
    const loaded = await programOfFragment(location.hash);
    replaceProgram(loaded.cells, loaded.steps, 'program', loaded.warnings);
  } catch (e) {
    showLinkError(e.message);
  }
  return true;
}

async function shareLink() {
  const fragment = await shareFragment(program.cells, program.steps);
  history.replaceState(null, '', fragment);
  const link = location.href;
  const field = $('share-address');
  $('share-box').hidden = false;
  field.value = link;
  try {
    await navigator.clipboard.writeText(link);
    note('link copied');
  } catch {
    field.focus();
    field.select();
    note(document.execCommand && document.execCommand('copy') ? 'link copied' : 'copy the link below');
  }
  return link;
}

// ---- controls

// Runs an event's work, showing what went wrong instead of throwing it.
const guard =
  (f) =>
  (...args) => {
    try {
      const r = f(...args);
      if (r && r.catch) r.catch((e) => note(e.message));
    } catch (e) {
      note(e.message);
    }
  };

const on = (id, f) => $(id).addEventListener('click', guard(f));
on('new', () => mayReplace('Start a new program') && replaceProgram(defaultTable(), [], 'program'));
on('save', () => {
  download(`${program.name}.tpg`, encodeProgramFile(program.cells, program.steps), 'application/x-dozu-program');
  unsaved = false;
});
on('save-compiled', () => download(`${program.name}.bin`, encodeCompiled(program.cells, program.steps), 'application/octet-stream'));
for (const format of Object.keys(EXPORT_FORMATS)) on(`export-${format}`, () => exportAs(format));
on('share', shareLink);
on('undo', undo);
on('redo', redo);
on('delete', deleteSelected);
on('cancel-run', cancelRun);
on('solid', () => {
  const solid = $('solid').getAttribute('aria-pressed') !== 'true';
  $('solid').setAttribute('aria-pressed', String(solid));
  $('solid').textContent = solid ? 'Wireframe' : 'Solid';
  if (view) view.setSolid(solid);
});
on('reset-camera', () => view && view.resetCamera());
on('zoom-fit', () => view && view.zoomToFit());
$('trace').addEventListener(
  'change',
  guard(() => {
    program.trace = $('trace').checked;
    renderList();
    run();
  }),
);
$('open').addEventListener('keydown', (e) => {
  if (e.key === 'Enter' || e.key === ' ') {
    e.preventDefault();
    $('file-input').click();
  }
});
$('file-input').addEventListener(
  'change',
  guard(async () => {
    const input = $('file-input');
    await openFile(input.files[0]);
    input.value = '';
  }),
);

document.addEventListener(
  'keydown',
  guard((e) => {
    const typing = e.target instanceof HTMLInputElement && e.target.type !== 'checkbox';
    if (typing) return;
    const key = e.key.toLowerCase();
    if ((e.ctrlKey || e.metaKey) && key === 'z') {
      e.preventDefault();
      if (e.shiftKey) redo();
      else undo();
    } else if ((e.ctrlKey || e.metaKey) && key === 'y') {
      e.preventDefault();
      redo();
    } else if (e.key === 'Delete') {
      e.preventDefault();
      deleteSelected();
    } else if (e.key === 'Escape') {
      cancelRun();
    }
  }),
);

document.addEventListener('dragover', (e) => {
  e.preventDefault();
  document.body.classList.add('dragging');
});
document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
document.addEventListener(
  'drop',
  guard(async (e) => {
    e.preventDefault();
    document.body.classList.remove('dragging');
    await openFile(e.dataTransfer.files[0]);
  }),
);
window.addEventListener(
  'hashchange',
  guard(() => loadFragment()),
);

// ---- start

// What the tests and the benchmark ask of the page.
window.dozuPage = {
  // Resolves once the latest change is decoded and drawn.
  async idle() {
    for (;;) {
      const p = pendingDecode;
      await p;
      if (p === pendingDecode && !decoder.busy()) break;
    }
    await new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve, 0)));
  },
  state() {
    return {
      lines: program.steps.map((_, i) => lineLabel(i).join('  ')),
      status: $('status-mesh').textContent,
      messages: [...$('messages').children].map((li) => li.textContent),
      viewMessage: $('view-message').hidden ? '' : $('view-message').textContent,
      selected: program.selected,
      decodeMs: shown ? shown.decodeMs : null,
      changeToFrameMs,
      firstFrameMs,
      frameMs: view ? view.lastFrameMs : null,
    };
  },
  // The fingerprint of the mesh on screen (mesh_hash.js), null for none.
  meshHash: () => (shown ? (shown.hash ??= meshHash(shown.vertices, shown.quads)) : null),
  shareLink,
  // How long a run goes before it says "running...": the tests shorten it,
  // so that what they check does not hang on the machine's speed.
  setRunningDelay(ms) {
    runningAfterMs = ms;
  },
};

function start() {
  try {
    view = new View($('view'));
  } catch (e) {
    showViewMessage(e.message);
  }
  buildCommands();
  updateButtons();
  window.dozuPage.ready = loadFragment()
    .then((loaded) => {
      if (!loaded) changed();
    })
    .then(() => window.dozuPage.idle());
}

start();
