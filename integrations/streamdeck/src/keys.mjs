// What each key shows, from the engine's state and the key's settings: its
// title and its state (0 or 1). Pure functions, so the plug-in and its
// tests agree on one answer.
import { FLAGS } from './engine.mjs';

export const OFFLINE_TITLE = 'offline';

export function cameraAngle(settings) {
  const angle = Number(settings?.angle);
  return Number.isInteger(angle) && angle >= 1 && angle <= 16 ? angle : null;
}

export function cameraView(engine, settings) {
  const angle = cameraAngle(settings);
  if (!engine.online) return { title: OFFLINE_TITLE, state: 0 };
  if (angle === null) return { title: '?', state: 0 };
  return { title: String(angle), state: engine.angle === angle ? 1 : 0 };
}

export function commandView(engine, settings) {
  if (!engine.online) return { title: OFFLINE_TITLE, state: 0 };
  const title = settings?.label || settings?.name || '';
  const show = FLAGS.includes(settings?.show) ? settings.show : '';
  return { title, state: show && engine.flags[show] ? 1 : 0 };
}

export function timecodeView(engine) {
  if (!engine.online) return { title: OFFLINE_TITLE, state: 0 };
  return { title: engine.timecode || '--:--:--:--', state: 0 };
}
