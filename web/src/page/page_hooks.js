// What the tests and the benchmark ask of the page, as window.dozuPage.
import { lineLabel } from './program_list.js';

export function pageHooks($, { doc, runner, messages, panel, share, shown }) {
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
      decodeMs: shown()?.ms ?? null,
      changeToFrameMs: panel.changeToFrameMs,
      firstFrameMs: panel.firstFrameMs,
      frameMs: panel.view.lastFrameMs ?? null,
    }),
    // The arrays on screen, or null.
    model: () => shown()?.model ?? null,
    shareLink: () => share.share(),
    // How long a run goes before it says "running...": the tests shorten it,
    // so that what they check does not hang on the machine's speed.
    setRunningDelay(ms) {
      runner.runningAfterMs = ms;
    },
    view: panel.view,
  };
  return window.dozuPage;
}
