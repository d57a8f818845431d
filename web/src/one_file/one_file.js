// The one-file page of dozu-cli html: decodes the program the page holds
// and draws it with the one viewer, without a network.
/* global DOZU_PROGRAM */
import { Decoder } from '../decode/decoder.js';
import { DRAW_LIMIT, MESSAGE_FATAL, noModelText } from '../decode/messages.js';
import { View } from '../view/viewer.js';

const caption = document.getElementById('caption');

function say(text, error) {
  caption.textContent = text;
  caption.className = error ? 'error' : '';
}

async function start() {
  const text = Uint8Array.from(atob(DOZU_PROGRAM), (c) => c.charCodeAt(0));
  if (!text.length) return say('This page holds no program.', true);
  const view = new View(document.getElementById('view'));
  const result = await new Decoder().decode(text, { arrayLimit: DRAW_LIMIT });
  const missing = noModelText(result);
  if (missing) return say(missing, true);
  view.setModel(result.model);
  const fatal = result.messages.find((m) => m.kind === MESSAGE_FATAL);
  say(`${result.meshQuads} quads${fatal ? ` \u2014 ${fatal.line + 1}: ${fatal.text}` : ''}`, Boolean(fatal));
  document.body.dataset.quads = String(result.meshQuads);
}

start()
  .catch((e) => say(`The model cannot be shown: ${e.message}`, true))
  .finally(() => {
    document.body.dataset.done = 'true';
  });
