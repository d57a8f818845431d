// The web page: dozu's editor in a browser. This module only wires the
// page's parts together: the program and its undo (program_document.js),
// its runs (run.js), the view (view_panel.js), the command buttons, the
// program list, the messages, files and the share link.
import { Decoder } from '../decode/decoder.js';
import { MESSAGE_FATAL, noModelText } from '../decode/messages.js';
import { EXPORT_FORMATS } from '../export/formats.js';
import { defaultTable } from '../program/table.js';
import { showCommands } from './commands.js';
import { Files } from './files.js';
import { wireKeysAndDrops } from './keys_and_drops.js';
import { Messages } from './messages.js';
import { pageHooks } from './page_hooks.js';
import { ProgramDocument, ProgramError } from './program_document.js';
import { ProgramList } from './program_list.js';
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
// The decoder starts first: its worker and module come up while the rest
// of the page does.
const decoder = new Decoder({ newestWins: true });
decoder.warm();
const panel = new ViewPanel($);

const list = new ProgramList($('program'), $('program-rows'), doc);
const messages = new Messages($('messages'), $('status-error'), doc);
const files = new Files(doc, note);
let shown = null; // the run on screen
const runner = new Runner(doc, decoder, {
  show(result, started) {
    const run = [...doc.notes, ...(result.messages || [])];
    const missing = noModelText(result);
    if (result.failed || result.outOfMemory) {
      // The last finished model stays on screen.
      messages.show([...run, { line: result.lastLine, kind: MESSAGE_FATAL, text: 'fatal error: out of memory' }]);
      return;
    }
    // The model on screen until now goes back to the worker, unless it
    // stays on screen.
    if (shown?.model && result.model) decoder.recycle(shown.model);
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
for (const id of ['undo', 'redo'])
  on(
    id,
    edit(() => doc[id]()),
  );
on('delete', () => doc.deleteSelected());
on('cancel-run', cancelRun);
wireKeysAndDrops($, { doc, files, guard, edit, mayReplace, cancelRun });
addEventListener(
  'hashchange',
  guard(() => share.open(location.hash)),
);

const hooks = pageHooks($, { doc, runner, messages, panel, share, shown: () => shown });

showCommands($('commands'), doc.cells);
updateButtons();
hooks.ready = share
  .open(location.hash)
  .then((opened) => opened || doc.emit('changed'))
  .then(hooks.idle);
