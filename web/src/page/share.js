// The program in the address: a link's fragment opened as the page's
// program, and Share Link, which puts the program's fragment in the
// address, shows it and copies it.
import { MAX_LINK, shareFragment } from '../link/make_link.js';
import { readLink } from '../link/read_link.js';
import { defaultTable, stepsOfText } from '../program/table.js';

const notAProgram = (why) => `This address does not hold a dozu program: ${why}.`;

export class Share {
  // files: for #t= links' program files; linkError(text) shows a link
  // that holds none; note(text) says how Share Link went.
  constructor(document, files, { linkError, note, field, box }) {
    this.document = document;
    this.files = files;
    this.linkError = linkError;
    this.note = note;
    this.field = field;
    this.box = box;
  }

  // Opens the program of the address's fragment; false when it has none.
  async open(fragment) {
    try {
      const link = await readLink(fragment);
      if (!link) return false;
      if (link.text !== undefined) {
        let steps;
        try {
          steps = stepsOfText(link.text);
        } catch (e) {
          throw new Error(notAProgram(e.message));
        }
        this.document.replace(defaultTable(), steps, 'program');
        return true;
      }
      const program = await this.files.readProgramFile(link.file);
      if (program.error) throw new Error(notAProgram(program.error));
      this.document.replace(program.cells, program.steps, 'program', program.notes);
    } catch (e) {
      this.linkError(e.message);
    }
    return true;
  }

  // The address with the program, in the address bar, in the box and on
  // the clipboard; or a note why not.
  async share() {
    const fragment = await shareFragment(this.document.cells, this.document.steps);
    const link = location.href.replace(/#.*$/s, '') + fragment;
    if (link.length > MAX_LINK) {
      this.note(
        `the link would be longer than ${MAX_LINK.toLocaleString('en-US')} characters, the most a browser opens`,
      );
      return null;
    }
    history.replaceState(null, '', fragment);
    this.box.hidden = false;
    this.field.value = link;
    try {
      await navigator.clipboard.writeText(link);
      this.note('link copied');
    } catch {
      this.field.focus();
      this.field.select();
      this.note(document.execCommand?.('copy') ? 'link copied' : 'copy the link below');
    }
    return link;
  }
}
