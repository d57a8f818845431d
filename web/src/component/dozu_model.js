// <dozu-model program="* S4 R2 = B ^ ^ T D "></dozu-model>: a model drawn
// where a page writes it, from its program text or a share link's #p=, #z=
// or #t= fragment (a whole link too); with `fragment`, the program of the
// page's own address (embed.html). `solid` draws the lit solid, `edges`
// the solid with its edges. Any number can stand on a page: they share one
// decoder's worker and one WebGL context. Its styles are adopted, not
// inline, so that a host's Content Security Policy need not allow inline
// styles.
import { Decoder } from '../decode/decoder.js';
import { DRAW_LIMIT, MESSAGE_FATAL, noModelText } from '../decode/messages.js';
import { latin1Bytes } from '../latin1.js';
import { readLink } from '../link/read_link.js';
import { View } from '../view/viewer.js';

const STYLE = `
  :host { display: block; position: relative; width: 300px; height: 200px; background: #fff;
          font: 13px system-ui, sans-serif; }
  .view { position: absolute; inset: 0; }
`;

let sheet = null;
let decoder = null;

class DozuModel extends HTMLElement {
  static get observedAttributes() {
    return ['program', 'solid', 'edges', 'fragment'];
  }

  constructor() {
    super();
    const root = this.attachShadow({ mode: 'open' });
    if (!sheet) {
      sheet = new CSSStyleSheet();
      sheet.replaceSync(STYLE);
    }
    root.adoptedStyleSheets = [sheet];
    this.box = document.createElement('div');
    this.box.className = 'view';
    this.box.setAttribute('part', 'view');
    root.append(this.box);
    this.view = null;
    this.model = null;
    this.status = '';
    this.generation = 0;
    this.ready = Promise.resolve();
    this.followFragment = () => this.update();
  }

  connectedCallback() {
    if (!this.view) this.view = new View(this.box);
    this.setMode();
    addEventListener('hashchange', this.followFragment);
    this.update();
  }

  disconnectedCallback() {
    removeEventListener('hashchange', this.followFragment);
    this.view?.dispose();
    this.view = null;
  }

  attributeChangedCallback(name) {
    if (!this.view) return;
    if (name === 'solid' || name === 'edges') this.setMode();
    else this.update();
  }

  setMode() {
    this.view.setMode(this.hasAttribute('edges') ? 'edges' : this.hasAttribute('solid') ? 'solid' : 'wire');
  }

  say(text) {
    this.view.showMessage(text);
    this.status = text;
  }

  update() {
    this.ready = this.show(++this.generation);
    return this.ready;
  }

  async show(generation) {
    const current = () => generation === this.generation && this.view;
    try {
      const fragment = this.hasAttribute('fragment');
      const program = await readLink(fragment ? location.hash : this.getAttribute('program') || '', {
        text: !fragment,
      });
      if (!current()) return;
      if (!program || program.text?.trim() === '') {
        this.view.setModel(null);
        this.say('This model has no program.');
        return;
      }
      decoder ??= new Decoder();
      const options = { arrayLimit: DRAW_LIMIT };
      const result = program.file
        ? await decoder.decodeFile(program.file, options)
        : await decoder.decode(latin1Bytes(program.text), options);
      if (!current() || !result) return;
      const refused = result.fileMessages?.find((m) => m.kind === MESSAGE_FATAL);
      const missing = refused ? refused.text : noModelText(result);
      this.model = missing ? null : result.model;
      this.view.setModel(this.model);
      if (missing) return this.say(missing);
      const fatal = result.messages.find((m) => m.kind === MESSAGE_FATAL);
      this.say(fatal && !result.meshQuads ? `line ${fatal.line + 1}: ${fatal.text}` : '');
      this.status = `${result.meshVertices} vertices, ${result.meshQuads} quads`;
      await new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve, 0)));
    } catch (e) {
      if (!current()) return;
      this.view.setModel(null);
      this.say(e.message);
    }
  }
}

if (!customElements.get('dozu-model')) customElements.define('dozu-model', DozuModel);
