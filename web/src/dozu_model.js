// <dozu-model program="* S4 R2 = B ^ ^ T D "></dozu-model>: a model drawn
// where a page writes it, from its program text or a share link's #p=, #z=
// or #t= fragment (a whole link too). Several can stand on one page; each
// decodes in a worker of its own, which it ends once its model is drawn.
import { Decoder } from './decoder.js';
import { meshHash } from './mesh_hash.js';
import {
  MAX_FILE_SIZE,
  MAX_LINE_TEXT,
  latin1Bytes,
  latin1String,
  loadProgramFile,
  programText,
} from './program_file.js';
import { LinkError, fromBase64url, inflateRaw, percentDecodeProgram } from './share_link.js';
import { View } from './view.js';

// The program text of an attribute's value: a program text, or a link or
// fragment that holds one.
async function programTextOf(value) {
  const link = /#([pzt])=(.*)$/s.exec(value);
  if (!link) {
    if (value === '#' || value === '') return '';
    if (value.startsWith('#')) throw new LinkError('This address does not hold a dozu program.');
    return value;
  }
  const [, kind, data] = link;
  if (kind === 'p') return percentDecodeProgram(data);
  if (kind === 'z') return latin1String(await inflateRaw(fromBase64url(data), MAX_LINE_TEXT));
  const program = loadProgramFile(await inflateRaw(fromBase64url(data), MAX_FILE_SIZE));
  return programText(program.cells, program.steps);
}

const STYLE = `
  :host { display: block; position: relative; width: 300px; height: 200px; background: #fff; }
  .view { position: absolute; inset: 0; }
  .message { position: absolute; inset: 0; display: flex; align-items: center; justify-content: center;
             padding: 8px; text-align: center; font: 13px system-ui, sans-serif; color: #8a1c1c; }
  .message[hidden] { display: none; }
`;

class DozuModel extends HTMLElement {
  static get observedAttributes() {
    return ['program', 'solid'];
  }

  constructor() {
    super();
    const root = this.attachShadow({ mode: 'open' });
    root.innerHTML = `<style>${STYLE}</style><div class="view" part="view"></div><div class="message" hidden></div>`;
    this.viewBox = root.querySelector('.view');
    this.messageBox = root.querySelector('.message');
    this.view = null;
    this.result = null;
    this.status = '';
    this.generation = 0;
    this.ready = Promise.resolve();
  }

  connectedCallback() {
    if (!this.view) {
      try {
        this.view = new View(this.viewBox);
        this.view.setSolid(this.hasAttribute('solid'));
      } catch (e) {
        this.showMessage(e.message);
        return;
      }
    }
    this.ready = this.update();
  }

  disconnectedCallback() {
    if (this.view) this.view.dispose();
    this.view = null;
  }

  attributeChangedCallback(name) {
    if (name === 'solid' && this.view) this.view.setSolid(this.hasAttribute('solid'));
    if (name === 'program' && this.view) this.ready = this.update();
  }

  showMessage(text) {
    this.messageBox.textContent = text;
    this.messageBox.hidden = text === '';
    this.status = text;
  }

  async update() {
    const generation = ++this.generation;
    const decoder = new Decoder();
    try {
      const text = await programTextOf(this.getAttribute('program') || '');
      if (text.trim() === '') {
        this.view.clear();
        this.showMessage('This model has no program.');
        return;
      }
      const result = await decoder.decode(latin1Bytes(text));
      if (generation !== this.generation || !this.view || !result) return;
      const fatal = result.messages && result.messages.find((m) => m.text.startsWith('fatal error: '));
      if (!result.drawing) {
        this.view.clear();
        this.showMessage(result.failed || result.outOfMemory || result.status === 2
          ? 'The model did not fit in memory.'
          : `The model has ${result.quadCount} quads: too many to draw here.`);
        return;
      }
      this.result = result;
      this.view.setMesh(result.vertices, result.drawing);
      this.showMessage(fatal && result.quadCount === 0 ? `line ${fatal.line + 1}: ${fatal.text}` : '');
      this.status = `${result.vertexCount} vertices, ${result.quadCount} quads`;
      await new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve, 0)));
    } catch (e) {
      if (generation !== this.generation || !this.view) return;
      this.view.clear();
      this.showMessage(e.message);
    } finally {
      decoder.close();
    }
  }

  meshHash() {
    return this.result ? meshHash(this.result.vertices, this.result.quads) : null;
  }
}

if (!customElements.get('dozu-model')) customElements.define('dozu-model', DozuModel);
