// The command buttons: one per button of the table, its title as caption,
// its codes in its tooltip; a button without a code is disabled.
import { BUTTONS, code, compiledCode, title } from '../program/table.js';

export function showCommands(box, cells) {
  box.textContent = '';
  for (let tag = 1; tag <= BUTTONS; ++tag) {
    const button = document.createElement('button');
    const t = title(cells, tag).trim();
    const c = code(cells, tag);
    button.textContent = t || '\u00a0';
    button.dataset.tag = tag;
    button.disabled = c === '';
    button.title = `${t}\ninterpreter code: ${c}\ncompiled: ${compiledCode(cells, tag)}`;
    button.setAttribute('aria-label', t || `button ${tag}`);
    box.append(button);
  }
}
