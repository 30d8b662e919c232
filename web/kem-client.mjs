// kem-client.mjs — a dependency-free client for KEM Engine, for browsers and Node.
//
//   import { KemClient } from './kem-client.mjs';
//   const kem = new KemClient();                      // ws://127.0.0.1:7890/
//   await kem.connect();
//   console.log(await kem.getVersion());              // "1.2.4"
//   kem.subscribe((vitals) => console.log(vitals.playing), (event) => console.log(event));
//
// In Node 20 pass a WebSocket implementation: new KemClient(url, { WebSocket }) with
// `import WebSocket from 'ws'`. Node 22 and browsers have one built in.
//
// The server answers one connection's requests in order, so replies are matched
// to requests by order; pushed "vitals:" and "event:" messages are told apart by
// their prefix. Error replies reject with a KemError whose `reason` is the
// server's reason word ("parse", "nosuite", "notimeline", "noclip", "range",
// "alloc", "count"), or "timeout" / "disconnected" from the client itself.

export const DEFAULT_URL = 'ws://127.0.0.1:7890/';

export class KemError extends Error {
  constructor(command, reason) {
    super(`${command}: ${reason}`);
    this.name = 'KemError';
    this.command = command;
    this.reason = reason;
  }
}

// How each request's replies are read: `take(message)` returns undefined while
// more lines belong to the request, or { value } / { error } when it is complete.
function single(replyName, parse = (payload) => payload, okName = replyName) {
  return (message) => {
    if (message.startsWith(replyName + '.error:')) return { error: message.slice(replyName.length + 7) };
    if (message.startsWith(okName + ':')) return { value: parse(message.slice(okName.length + 1)) };
    return { error: `unexpected reply ${JSON.stringify(message)}` };
  };
}

const parseJson = (payload) => JSON.parse(payload);
const parseSize = (payload) => {
  const [width, height] = payload.split(':').map(Number);
  return { width, height };
};

function fieldsFromTransitions(payload) {
  // name:duration:name:duration, where a name may itself hold ':' (sent as the host gave it).
  const parts = payload.split(':');
  const endDuration = Number(parts.pop());
  // The start duration is the first all-digit field after the first name that leaves a name behind.
  for (let i = 1; i < parts.length - 1; i += 1) {
    if (/^-?\d+$/.test(parts[i])) {
      return {
        start: { name: parts.slice(0, i).join(':'), duration: Number(parts[i]) },
        end: { name: parts.slice(i + 1).join(':'), duration: endDuration },
      };
    }
  }
  return { start: { name: parts[0], duration: Number(parts[1]) }, end: { name: parts[2], duration: endDuration } };
}

export class KemClient {
  constructor(url = DEFAULT_URL, options = {}) {
    this.url = url;
    this.timeoutMs = options.timeoutMs ?? 5000;
    this.reconnect = options.reconnect ?? true;
    this.backoffMs = options.backoffMs ?? 250;
    this.maxBackoffMs = options.maxBackoffMs ?? 5000;
    this.WebSocket = options.WebSocket ?? globalThis.WebSocket;
    if (!this.WebSocket) throw new Error('no WebSocket implementation: pass { WebSocket } (the ws package in Node 20)');
    this.state = 'closed';
    this.socket = null;
    this.pending = [];
    this.listeners = { state: new Set(), vitals: new Set(), event: new Set(), message: new Set() };
    this.subscribed = false;
    this.closing = false;
    this.retryDelay = this.backoffMs;
    this.retryTimer = null;
    this.opened = null;
  }

  // --- connection -----------------------------------------------------------

  // Resolves once the connection is open (and keeps reconnecting afterwards unless closed).
  connect() {
    this.closing = false;
    if (this.state === 'open') return Promise.resolve();
    if (!this.opened) {
      this.opened = new Promise((resolve) => { this.resolveOpened = resolve; });
      this.open();
    }
    return this.opened;
  }

  close() {
    this.closing = true;
    clearTimeout(this.retryTimer);
    if (this.socket) this.socket.close();
    this.setState('closed');
  }

  // on('state' | 'vitals' | 'event' | 'message', callback); returns a function that removes it.
  on(kind, callback) {
    this.listeners[kind].add(callback);
    return () => this.listeners[kind].delete(callback);
  }

  open() {
    this.setState('connecting');
    let socket;
    try {
      socket = new this.WebSocket(this.url);
    } catch (err) {
      this.scheduleReconnect();
      return;
    }
    this.socket = socket;
    socket.onopen = () => {
      this.retryDelay = this.backoffMs;
      this.setState('open');
      if (this.subscribed) this.socket.send('vitals.subscribe');
      if (this.resolveOpened) this.resolveOpened();
    };
    socket.onmessage = (e) => this.receive(typeof e.data === 'string' ? e.data : String(e.data));
    socket.onclose = () => {
      if (this.socket !== socket) return;
      this.socket = null;
      for (const p of this.pending.splice(0)) {
        clearTimeout(p.timer);
        if (!p.timedOut) p.reject(new KemError(p.command, 'disconnected'));
      }
      if (this.closing || !this.reconnect) {
        this.setState('closed');
        return;
      }
      this.scheduleReconnect();
    };
    socket.onerror = () => {};  // onclose follows
  }

  scheduleReconnect() {
    if (this.closing || !this.reconnect) return;
    this.setState('reconnecting');
    clearTimeout(this.retryTimer);
    this.retryTimer = setTimeout(() => this.open(), this.retryDelay);
    this.retryDelay = Math.min(this.retryDelay * 2, this.maxBackoffMs);
  }

  setState(state) {
    if (this.state === state) return;
    this.state = state;
    for (const cb of this.listeners.state) cb(state);
  }

  receive(message) {
    for (const cb of this.listeners.message) cb(message);
    if (message.startsWith('vitals:')) {
      let vitals;
      try { vitals = JSON.parse(message.slice(7)); } catch { return; }
      for (const cb of this.listeners.vitals) cb(vitals);
      return;
    }
    if (message.startsWith('event:')) {
      const rest = message.slice(6);
      const colon = rest.indexOf(':');
      let data;
      try { data = JSON.parse(rest.slice(colon + 1)); } catch { return; }
      const event = { kind: rest.slice(0, colon), ...data };
      for (const cb of this.listeners.event) cb(event);
      return;
    }
    const head = this.pending[0];
    if (!head) return;
    const outcome = head.take(message);
    if (outcome === undefined) return;
    this.pending.shift();
    clearTimeout(head.timer);
    if (head.timedOut) return;  // its caller has already been told
    if ('error' in outcome) head.reject(new KemError(head.command, outcome.error));
    else head.resolve(outcome.value);
  }

  // Sends one command and reads its replies with `take`.
  request(command, take) {
    return new Promise((resolve, reject) => {
      if (!this.socket || this.state !== 'open') {
        reject(new KemError(command, 'disconnected'));
        return;
      }
      const entry = { command, take, resolve, reject, timedOut: false };
      entry.timer = setTimeout(() => {
        // The reply may still come; it is then read and dropped, so later replies stay matched.
        entry.timedOut = true;
        reject(new KemError(command, 'timeout'));
      }, this.timeoutMs);
      this.pending.push(entry);
      this.socket.send(command);
    });
  }

  // Sends a message that gets no reply (a host command name, or vitals.subscribe).
  send(text) {
    if (!this.socket || this.state !== 'open') throw new KemError(text, 'disconnected');
    this.socket.send(text);
  }

  // --- commands ---------------------------------------------------------------

  getVersion() { return this.request('get.version', single('version')); }

  getInfo() { return this.request('get.info', single('info', parseJson)); }

  // The preferred timeline's format, or timeline `id`'s.
  getSequence(id) {
    return this.request(id === undefined ? 'get.sequence' : `get.sequence:${id}`, single('sequence', parseJson));
  }

  // The multicam angle (1-based, 0 for none) on screen at `ticks`, optionally on one video track.
  getAngle(ticks, track) {
    const args = track === undefined ? `${ticks}` : `${ticks}:${track}`;
    return this.request(`get.angle:${args}`, single('angle', Number));
  }

  getAngleAtMarker(name, track) {
    return this.request(`get.angle.marker:${name}${track === undefined ? '' : `:${track}`}`, single('angle', Number));
  }

  // The source frame size at `ticks`: { width, height }. Options: secondTicks, track (default -1: any).
  getClipSize(ticks, { secondTicks, track = -1 } = {}) {
    const args = secondTicks === undefined ? `${ticks}:${track}` : `${ticks}:${secondTicks}:${track}`;
    return this.request(`get.clipsize:${args}`, single('clipsize', parseSize));
  }

  getClipSizeAtMarker(name, track) {
    return this.request(`get.clipsize.marker:${name}${track === undefined ? '' : `:${track}`}`,
      single('clipsize', parseSize));
  }

  // { start: { name, duration }, end: { name, duration } }; name "-" where there is none.
  getTransitions(startTicks, endTicks, track = -1) {
    return this.request(`get.transitions:${startTicks}:${endTicks}:${track}`,
      single('transitions', fieldsFromTransitions));
  }

  // [{ group, name, label, shortcut }]; a ':' inside those texts arrives as ';'.
  listCommands() {
    const commands = [];
    return this.request('get.commands', (message) => {
      if (message.startsWith('command:')) {
        const [group, name, label, shortcut] = message.slice(8).split(':');
        commands.push({ group, name, label, shortcut });
        return undefined;
      }
      if (message.startsWith('commands.done:')) return { value: commands };
      if (message.startsWith('commands.error:')) return { error: message.slice(15) };
      return { error: `unexpected reply ${JSON.stringify(message)}` };
    });
  }

  // Runs a host command; resolves once the host was asked (not when it finished).
  exec(group, name) {
    return this.request(`exec:${group ?? ''}:${name}`, single('exec', () => ({ group: group ?? '', name }), 'exec.ok'));
  }

  setMulticamAngle(camera) {
    return this.request(`multicam.angle:${camera}`, single('multicam.angle', Number, 'multicam.angle.ok'));
  }

  // Subscribes to pushes: onVitals(vitals object) about once a second, onEvent({ kind, type, ... }).
  // The subscription is renewed after a reconnect. Returns a function that removes the callbacks.
  subscribe(onVitals, onEvent) {
    const off = [];
    if (onVitals) off.push(this.on('vitals', onVitals));
    if (onEvent) off.push(this.on('event', onEvent));
    this.subscribed = true;
    if (this.state === 'open') this.send('vitals.subscribe');
    return () => off.forEach((f) => f());
  }

  // Diagnostic: the render-node tree lines ("[dump] " removed).
  dumpAngle(ticks, track) {
    const lines = [];
    return this.request(`dump.angle:${ticks}${track === undefined ? '' : `:${track}`}`, (message) => {
      if (message.startsWith('dump.error:')) return { error: message.slice(11) };
      if (!message.startsWith('[dump] ')) return { error: `unexpected reply ${JSON.stringify(message)}` };
      lines.push(message.slice(7));
      return message === '[dump] === VIDEO SEGMENT NODE DUMP END ===' ? { value: lines } : undefined;
    });
  }

  // Diagnostic: probes timeline identifiers from..to-1 within budgetMs.
  scanTimelines(from = 0, to = 4096, budgetMs = 3000) {
    return this.request(`debug.tlscan:${from}:${to}:${budgetMs}`, single('tlscan', parseJson));
  }
}
