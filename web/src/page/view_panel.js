// The page's view of the model and its buttons: Solid, Edges, Reset Camera
// and Zoom to Fit; a message where the model would be.
import { View } from '../view/viewer.js';

export class ViewPanel {
  constructor($) {
    this.$ = $;
    this.view = new View($('view'));
    this.messageBox = $('view-message');
    this.changeToFrameMs = 0;
    this.firstFrameMs = 0;
    for (const id of ['solid', 'edges'])
      $(id).addEventListener('click', () => {
        const pressed = $(id).getAttribute('aria-pressed') !== 'true';
        $(id).setAttribute('aria-pressed', String(pressed));
        this.setMode();
      });
    $('reset-camera').addEventListener('click', () => this.view.reset());
    $('zoom-fit').addEventListener('click', () => this.view.fit());
    this.setMode();
  }

  setMode() {
    const pressed = (id) => this.$(id).getAttribute('aria-pressed') === 'true';
    this.$('edges').disabled = !pressed('solid');
    this.view.setMode(pressed('solid') ? (pressed('edges') ? 'edges' : 'solid') : 'wire');
  }

  // A model (or null) from a run started at startedMs.
  show(model, startedMs) {
    this.view.setModel(model);
    this.view.onFrame = () => {
      this.view.onFrame = null;
      this.changeToFrameMs = performance.now() - startedMs;
      this.firstFrameMs ||= performance.now();
    };
  }

  message(text) {
    this.messageBox.textContent = text;
    this.messageBox.hidden = text === '';
  }
}
