// The web page: dozu's editor in a browser. This module only wires the
// page's parts together: the program and its undo (program_document.js),
// its runs (run.js), the view (view_panel.js), the command buttons, the
// program list, the messages, files and the share link.
import { MESSAGE_FATAL, noModelText } from '../decode/messages.js';
import { EXPORT_FORMATS } from '../export/formats.js';
import { defaultTable } from '../program/table.js';
import { showCommands } from './commands.js';
import { Files } from './files.js';
import { Messages } from './messages.js';
import { ProgramDocument, ProgramError } from './program_document.js';
import { lineLabel, ProgramList } from './program_list.js';
import { Runner } from './run.js';
import { Share } from './share.js';
import { ViewPanel } from './view_panel.js';

const $ = (id) => document.getElementById(id);
const note = (text) => {
  $('status-note').textContent = text;
};
// Runs an event's work, showing what went wrong instead of throwing it.
const guard =
  (f) =>
  (...args) => {
    try {
      const r = f(...args);
      if (r?.catch) r.catch((e) => note(e.message));
    } catch (e) {
      note(e.message);
    }
  };
const on = (id, f) => $(id).addEventListener('click', guard(f));

const doc = new ProgramDocument();
const panel = new ViewPanel($);
const list = new ProgramList($('program'), $('program-rows'), doc);
const messages = new Messages($('messages'), $('status-error'), doc);
const files = new Files(doc, note);
let shown = null; // the run on screen
const runner = new Runner(doc, {
  show(result, started) {
    const run = [...doc.notes, ...(result.messages || [])];
    const missing = noModelText(result);
    if (result.failed || result.outOfMemory) {
      // The last finished model stays on screen.
      messages.show([...run, { line: result.lastLine, kind: MESSAGE_FATAL, text: 'fatal error: out of memory' }]);
      return;
    }
    shown = result;
    $('status-mesh').textContent = `${result.meshVertices} vertices, ${result.meshQuads} quads`;
    $('status-time').textContent = `${result.ms.toFixed(1)} ms`;
    panel.show(result.model, started);
    panel.message(missing);
    messages.show(run, doc.notes.length + result.messageCount);
  },
  running(on) {
    $('status-running').hidden = $('cancel-run').hidden = !on;
  },
  failed: (error) => panel.message(`The decoder could not start: ${error.message}`),
});
const share = new Share(doc, files, {
  linkError(text) {
    runner.cancel();
    doc.replace(defaultTable(), [], 'program', [], false);
    shown = null;
    panel.show(null, performance.now());
    $('status-mesh').textContent = $('status-time').textContent = '';
    messages.show([{ line: -1, text }]);
    panel.message(text);
  },
  note,
  field: $('share-address'),
  box: $('share-box'),
});

const updateButtons = () => {
  $('undo').disabled = doc.undoStack.length === 0;
  $('redo').disabled = doc.redoStack.length === 0;
  $('delete').disabled = doc.selected < 0;
};
doc.addEventListener('replaced', () => {
  document.title = `${doc.name} - dozu`;
  showCommands($('commands'), doc.cells);
  $('program').scrollTop = 0;
});
doc.addEventListener('changed', () => {
  list.follow();
  updateButtons();
  runner.run();
});
doc.addEventListener('selection', () => {
  list.follow();
  updateButtons();
});

// Whether the program on the page may go: no unsaved edits, or the user
// says so.
const mayReplace = (what) => !doc.unsaved || window.confirm(`${what}? The changes to ${doc.name} are not saved.`);
const cancelRun = () => runner.cancel() && note('run cancelled');
const edit = (f) => () => {
  try {
    f();
  } catch (e) {
    if (!(e instanceof ProgramError)) throw e;
    note(e.message);
  }
};

$('commands').addEventListener(
  'click',
  guard((e) => {
    const button = e.target.closest('button');
    if (button) edit(() => doc.click(Number(button.dataset.tag)))();
  }),
);
on('new', () => mayReplace('Start a new program') && doc.replace(defaultTable(), [], 'program'));
on('save', () => files.save());
on('save-compiled', () => files.saveCompiled());
for (const format of Object.keys(EXPORT_FORMATS)) on(`export-${format}`, () => files.export(format));
on('share', () => share.share());
on(
  'undo',
  edit(() => doc.undo()),
);
on(
  'redo',
  edit(() => doc.redo()),
);
on('delete', () => doc.deleteSelected());
on('cancel-run', cancelRun);
$('trace').addEventListener(
  'change',
  guard(() => doc.setTrace($('trace').checked)),
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
    await files.open($('file-input').files[0], mayReplace);
    $('file-input').value = '';
  }),
);
const keys = {
  z: (e) => (e.shiftKey ? doc.redo() : doc.undo()),
  y: () => doc.redo(),
};
document.addEventListener(
  'keydown',
  guard((e) => {
    if (e.target instanceof HTMLInputElement && e.target.type !== 'checkbox') return;
    const key = e.key.toLowerCase();
    const action = (e.ctrlKey || e.metaKey) && keys[key];
    if (action) edit(() => action(e))();
    else if (e.key === 'Delete') doc.deleteSelected();
    else if (e.key === 'Escape') cancelRun();
    else return;
    e.preventDefault();
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
    await files.open(e.dataTransfer.files[0], mayReplace);
  }),
);
addEventListener(
  'hashchange',
  guard(() => share.open(location.hash)),
);

// What the tests and the benchmark ask of the page.
const idle = async () => {
  await runner.idle();
  await new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve, 0)));
};
window.dozuPage = {
  idle,
  state: () => ({
    lines: doc.steps.map((_, i) => lineLabel(doc, i).join('  ')),
    status: $('status-mesh').textContent,
    messages: messages.texts(),
    viewMessage: $('view-message').hidden ? '' : $('view-message').textContent,
    selected: doc.selected,
    decodeMs: shown ? shown.ms : null,
    changeToFrameMs: panel.changeToFrameMs,
    firstFrameMs: panel.firstFrameMs,
    frameMs: panel.view.lastFrameMs ?? null,
  }),
  // The arrays on screen, or null.
  model: () => (shown?.model ? shown.model : null),
  shareLink: () => share.share(),
  // How long a run goes before it says "running...": the tests shorten it,
  // so that what they check does not hang on the machine's speed.
  setRunningDelay(ms) {
    runner.runningAfterMs = ms;
  },
  view: panel.view,
};

showCommands($('commands'), doc.cells);
updateButtons();
window.dozuPage.ready = share
  .open(location.hash)
  .then((opened) => opened || doc.emit('changed'))
  .then(idle);
