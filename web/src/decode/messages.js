// The kinds that the runtime gives each message (dozu_runtime.h).
export const MESSAGE_FATAL = 1;
export const MESSAGE_ERROR = 2;
export const MESSAGE_WARNING = 3;
export const MESSAGE_HINT = 4;

// The most quads a view draws: larger models are decoded, counted and
// exported, but their drawing alone would take hundreds of megabytes.
export const DRAW_LIMIT = 2097152;

// What a decode that gave no model says in place of it, or ''.
export function noModelText(result) {
  if (result.failed || result.outOfMemory) return 'The model did not fit in memory.';
  if (!result.model) return `The model has ${result.meshQuads} quads: more than this page draws (${DRAW_LIMIT}).`;
  return '';
}
