// The page's keys (undo, redo, Delete, Esc cancels a run), trace mode's
// check box, the file input and its label, and files dropped on the page.
export function wireKeysAndDrops($, { doc, files, guard, edit, mayReplace, cancelRun }) {
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
}
