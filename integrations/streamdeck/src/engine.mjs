// The plug-in's one connection to KEM Engine (kem-client), subscribed to
// vitals and transport events, reconnecting with the client's back-off. It
// keeps what the keys show: online or not, the angle last switched to, the
// transport flags and the timecode; every change is announced to listeners.
import WebSocket from 'ws';
import { KemClient } from 'kem-engine-client';

export const DEFAULT_URL = 'ws://127.0.0.1:7890/';
export const PRESS_TIMEOUT_MS = 2000;
// The vitals flags a command key may show, and the transport event that moves each.
export const FLAGS = ['playing', 'paused', 'recording', 'rewind', 'ffwd', 'soloActive'];
const EVENT_FLAG = { play: 'playing', pause: 'paused', record: 'recording', rewind: 'rewind', ffwd: 'ffwd' };

export class Engine {
  constructor() {
    this.url = null;
    this.client = null;
    this.online = false;
    this.angle = null;  // the camera last switched to, by any key
    this.flags = Object.fromEntries(FLAGS.map((f) => [f, false]));
    this.timecode = '';
    this.listeners = new Set();
  }

  // Calls listener() after every change of what the keys show.
  onChange(listener) {
    this.listeners.add(listener);
    return () => this.listeners.delete(listener);
  }

  changed() {
    for (const listener of this.listeners) listener();
  }

  // (Re)connects to url; the same url again changes nothing.
  use(url = DEFAULT_URL) {
    if (url === this.url && this.client) return;
    this.url = url;
    if (this.client) this.client.close();
    const client = new KemClient(url, { WebSocket, timeoutMs: PRESS_TIMEOUT_MS, maxBackoffMs: 2000 });
    this.client = client;
    client.on('state', (state) => {
      if (client !== this.client) return;
      const online = state === 'open';
      if (online !== this.online) {
        this.online = online;
        this.changed();
      }
    });
    client.subscribe((vitals) => this.onVitals(vitals), (event) => this.onEvent(event));
    client.connect().catch(() => {});  // keeps trying in the background
  }

  onVitals(vitals) {
    let changed = vitals.timecode !== this.timecode;
    this.timecode = vitals.timecode;
    for (const flag of FLAGS) {
      if (typeof vitals[flag] === 'boolean' && vitals[flag] !== this.flags[flag]) {
        this.flags[flag] = vitals[flag];
        changed = true;
      }
    }
    if (changed) this.changed();
  }

  onEvent(event) {
    if (event.kind !== 'transport') return;
    const flag = EVENT_FLAG[event.type];
    if (flag) this.flags[flag] = Boolean(event.on);
    if (event.type === 'stop' && event.on) this.flags.playing = false;
    this.changed();
  }

  // Runs one request for a key press: rejects at once when not connected
  // (nothing is sent, nothing queued), and when no reply comes within 2 s.
  async press(run) {
    if (!this.online || !this.client) throw new Error('offline');
    return run(this.client);
  }

  async switchCamera(angle) {
    const result = await this.press((client) => client.setMulticamAngle(angle));
    this.angle = result;
    this.changed();
    return result;
  }

  async exec(group, name) {
    return this.press((client) => client.exec(group, name));
  }

  async listCommands() {
    return this.press((client) => client.listCommands());
  }

  close() {
    if (this.client) this.client.close();
    this.client = null;
  }
}
