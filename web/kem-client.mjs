// kem-client.mjs — a dependency-free client for KEM Engine, for browsers and Node.
//
//   import { KemClient } from 'kem-engine-client';    // or './kem-client.mjs'
//   const kem = new KemClient();                      // ws://127.0.0.1:7890/
//   await kem.connect();
//   console.log(await kem.getVersion());              // "1.2.4"
//   kem.subscribe((vitals) => console.log(vitals.playing), (event) => console.log(event));
//
// Browsers and Node 22 have a WebSocket built in; on Node 20 the client loads the
// `ws` package itself when it is installed (or pass { WebSocket }).
//
// The server answers one connection's requests in order, so replies are matched
// to requests by order; pushed "vitals:" and "event:" messages are told apart by
// their prefix. Error replies reject with a KemError whose `reason` is the
// server's reason word ("parse", "nosuite", "notimeline", "noclip", "range",
// "alloc", "count"), or one of the client's own: "timeout", "disconnected",
// and for connect(): "local-network-access" (the browser blocks this page from
// reaching the computer it runs on), "origin-refused" (KEM Engine refused the
// page's origin; Node only, browsers do not tell), "unreachable" (nothing
// answered on the port).
//
// Local Network Access: Chromium-based browsers stop a page served from the
// internet from opening ws://127.0.0.1 unless the user allowed the site to reach
// the local network. The client reads that permission ("loopback-network", or
// "local-network-access" in older builds), reports it through
// on('permission'), rejects connect() with reason "local-network-access" when
// it is denied, pauses reconnecting while it stays denied, and goes on by
// itself once it is granted. While it is "prompt", connecting makes the browser
// ask, and the state is "awaiting-permission". See docs/browsers.md.

export const DEFAULT_URL = 'ws://127.0.0.1:7890/';

// The permission's names, newest first.
export const LOCAL_NETWORK_PERMISSIONS = ['loopback-network', 'local-network-access'];

const HINTS = {
  'local-network-access': 'the browser blocks this page from reaching KEM Engine on this computer. '
    + 'Allow local network access for this site when the browser asks, or in the site settings next to '
    + 'the address bar; the panel then connects by itself.',
  'local-network-access-insecure': 'the browser blocks this page from reaching KEM Engine on this computer, '
    + 'and a page served over plain http from the internet cannot even ask. Open the panel over https.',
  'origin-refused': 'KEM Engine refused this origin. Add its host to origins.txt (see docs/protocol.md).',
  unreachable: 'nothing answers at this address. Is the editing host (or kem-devhost) running? '
    + '`node web/kem-doctor.mjs` tells more.',
};

export class KemError extends Error {
  constructor(command, reason, hint) {
    super(hint ? `${command}: ${reason}: ${hint}` : `${command}: ${reason}`);
    this.name = 'KemError';
    this.command = command;
    this.reason = reason;
  }
}

const inBrowser = typeof window !== 'undefined' && typeof document !== 'undefined';

// Node 20 has no WebSocket: the ws package, when installed, stands in.
async function loadNodeWebSocket() {
  try {
    return (await import('ws')).default;
  } catch {
    throw new Error('no WebSocket here: install the ws package (npm install ws), or pass { WebSocket }');
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
    this.WebSocket = options.WebSocket ?? globalThis.WebSocket ?? null;
    this.state = 'closed';
    this.permission = inBrowser ? 'unknown' : 'unsupported';
    this.permissionStatus = null;
    this.socket = null;
    this.pending = [];
    this.listeners = { state: new Set(), vitals: new Set(), event: new Set(), message: new Set(), permission: new Set() };
    this.subscribed = false;
    this.closing = false;
    this.retryDelay = this.backoffMs;
    this.retryTimer = null;
    this.opened = null;
  }

  // --- connection -----------------------------------------------------------

  // Resolves once the connection is open. Rejects with a KemError when the
  // first attempt fails ("local-network-access", "origin-refused" or
  // "unreachable"); unless closed, the client goes on trying in the background
  // (except while local network access stays denied) and reports 'open'
  // through on('state').
  connect() {
    this.closing = false;
    if (this.state === 'open') return Promise.resolve();
    if (!this.opened) {
      this.opened = new Promise((resolve, reject) => {
        this.resolveOpened = resolve;
        this.rejectOpened = reject;
      });
      this.opened.catch(() => {});  // a caller that does not wait still gets state events
      // An attempt under way settles this promise; otherwise one starts now.
      if (this.state !== 'connecting' && this.state !== 'awaiting-permission') this.start();
    }
    return this.opened;
  }

  async start() {
    clearTimeout(this.retryTimer);
    try {
      if (!this.WebSocket) this.WebSocket = await loadNodeWebSocket();
    } catch (err) {
      this.fail(new KemError('connect', 'unreachable', String(err.message ?? err)));
      return;
    }
    await this.watchPermission();
    if (this.closing) return;
    this.open();
  }

  close() {
    this.closing = true;
    clearTimeout(this.retryTimer);
    if (this.socket) this.socket.close();
    this.setState('closed');
  }

  // on('state' | 'vitals' | 'event' | 'message' | 'permission', callback); returns a function that removes it.
  on(kind, callback) {
    this.listeners[kind].add(callback);
    return () => this.listeners[kind].delete(callback);
  }

  // The local-network permission of this page: 'granted', 'denied', 'prompt',
  // or 'unsupported' (Node, or a browser that has no such permission).
  async localNetworkAccess() {
    await this.watchPermission();
    return this.permission;
  }

  async watchPermission() {
    if (this.permission !== 'unknown') return;
    const permissions = globalThis.navigator?.permissions;
    for (const name of LOCAL_NETWORK_PERMISSIONS) {
      try {
        const status = await permissions.query({ name });
        this.permissionStatus = status;
        status.addEventListener('change', () => this.setPermission(status.state));
        this.setPermission(status.state);
        return;
      } catch {
        // not this name here: try the next
      }
    }
    this.setPermission('unsupported');
  }

  setPermission(permission) {
    if (this.permission === permission) return;
    this.permission = permission;
    for (const cb of this.listeners.permission) cb(permission);
    // Allowed at last: go on at once instead of waiting for the next retry.
    if (permission === 'granted' && this.state === 'blocked' && !this.closing) {
      clearTimeout(this.retryTimer);
      this.retryDelay = this.backoffMs;
      this.open();
    }
  }

  // Why a connection that never opened failed, from what the socket and the browser tell.
  async failureReason(detail) {
    if (inBrowser) {
      // The browser decides on the permission as the connection is made: read
      // it again. Denied now means the browser stopped this connection (a
      // prompt answered "Block", a site blocked, or a plain-http page that
      // cannot ask). Still "prompt" means no decision was needed: the port
      // did not answer.
      if (this.permissionStatus) this.setPermission(this.permissionStatus.state);
      if (this.permission === 'denied') {
        return ['local-network-access',
          HINTS[globalThis.isSecureContext ? 'local-network-access' : 'local-network-access-insecure']];
      }
      return ['unreachable', HINTS.unreachable];
    }
    if (/\b403\b/.test(detail)) return ['origin-refused', HINTS['origin-refused']];
    return ['unreachable', `${HINTS.unreachable}${detail ? ` (${detail})` : ''}`];
  }

  fail(error) {
    if (this.rejectOpened) this.rejectOpened(error);
    this.opened = null;
    this.resolveOpened = null;
    this.rejectOpened = null;
  }

  open() {
    this.setState(this.permission === 'prompt' ? 'awaiting-permission' : 'connecting');
    let socket;
    try {
      socket = new this.WebSocket(this.url);
    } catch (err) {
      this.fail(new KemError('connect', 'unreachable', String(err.message ?? err)));
      this.scheduleReconnect();
      return;
    }
    this.socket = socket;
    let opened = false;
    let detail = '';
    socket.onopen = () => {
      opened = true;
      this.retryDelay = this.backoffMs;
      this.setState('open');
      if (this.subscribed) this.socket.send('vitals.subscribe');
      if (this.resolveOpened) this.resolveOpened();
      this.opened = null;
      this.resolveOpened = null;
      this.rejectOpened = null;
    };
    socket.onmessage = (e) => this.receive(typeof e.data === 'string' ? e.data : String(e.data));
    socket.onclose = async () => {
      if (this.socket !== socket) return;
      this.socket = null;
      for (const p of this.pending.splice(0)) {
        clearTimeout(p.timer);
        if (!p.timedOut) p.reject(new KemError(p.command, 'disconnected'));
      }
      let blocked = false;
      if (!opened) {
        const [reason, hint] = await this.failureReason(detail);
        blocked = reason === 'local-network-access';
        this.fail(new KemError('connect', reason, hint));
      }
      if (this.closing || !this.reconnect) {
        this.setState('closed');
        return;
      }
      if (blocked) {
        // Retrying cannot help until the user allows the site: wait for the
        // permission's change event (setPermission goes on from there).
        this.setState('blocked');
        return;
      }
      this.scheduleReconnect();
    };
    // Node's ws tells why (an HTTP status, a refused connection); browsers do not.
    socket.onerror = (e) => { detail = String(e?.message ?? e?.error?.message ?? ''); };
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
