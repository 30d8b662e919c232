// A stand-in for the Stream Deck application: a WebSocket server that starts
// the built bin/plugin.js the way the application does (-port, -pluginUUID,
// -registerEvent, -info; working folder the plug-in's), checks its
// registration, sends it key and property-inspector events, answers its
// settings requests, and records everything it sends back.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { WebSocketServer } from 'ws';

const here = path.dirname(fileURLToPath(import.meta.url));
export const PLUGIN_DIR = path.resolve(here, '../dev.kem-engine.streamdeck.sdPlugin');
export const PLUGIN_UUID = 'dev.kem-engine.streamdeck';
const REGISTER_EVENT = 'registerPlugin';
const DEVICE = 'DEVICE1';

export class StandIn {
  // Starts the plug-in from a copy of the plug-in folder (its logs stay out of the tree).
  static async start({ globalSettings = {} } = {}) {
    const standIn = new StandIn(globalSettings);
    await standIn.listen();
    standIn.launch();
    await standIn.waitFor((m) => m === standIn.registration, 15000, 'the plug-in registers');
    return standIn;
  }

  constructor(globalSettings) {
    this.global = globalSettings;
    this.received = [];
    this.waiters = new Set();
    this.settings = new Map();  // context -> settings
    this.registration = null;
    this.socket = null;
  }

  listen() {
    this.server = new WebSocketServer({ host: '127.0.0.1', port: 0 });
    this.server.on('connection', (socket) => {
      socket.on('message', (data) => this.receive(socket, JSON.parse(String(data))));
    });
    return new Promise((resolve) => this.server.on('listening', resolve));
  }

  launch() {
    this.folder = fs.mkdtempSync(path.join(os.tmpdir(), 'kem-sdplugin-'));
    fs.cpSync(PLUGIN_DIR, this.folder, { recursive: true });
    const info = {
      application: { font: 'Helvetica', language: 'en', platform: 'mac', platformVersion: '14.5.0', version: '6.9.0.0' },
      plugin: { uuid: PLUGIN_UUID, version: '1.2.4.0' },
      devicePixelRatio: 2,
      colors: {},
      devices: [{ id: DEVICE, name: 'Stream Deck', size: { columns: 5, rows: 3 }, type: 0 }],
    };
    this.child = spawn(process.execPath, ['bin/plugin.js', '-port', String(this.server.address().port),
      '-pluginUUID', PLUGIN_UUID, '-registerEvent', REGISTER_EVENT, '-info', JSON.stringify(info)],
    { cwd: this.folder, stdio: ['ignore', 'pipe', 'pipe'] });
    this.output = '';
    this.child.stdout.on('data', (d) => { this.output += d; });
    this.child.stderr.on('data', (d) => { this.output += d; });
  }

  receive(socket, message) {
    if (message.event === REGISTER_EVENT) {
      if (message.uuid !== PLUGIN_UUID) throw new Error(`registered as ${message.uuid}`);
      this.socket = socket;
      this.registration = message;
    } else if (message.event === 'getGlobalSettings') {
      this.send({ event: 'didReceiveGlobalSettings', payload: { settings: this.global } });
    } else if (message.event === 'setGlobalSettings') {
      this.global = message.payload;
    } else if (message.event === 'getSettings') {
      this.send({ ...this.key(message.context), event: 'didReceiveSettings' });
    }
    this.received.push(message);
    for (const w of this.waiters) w();
  }

  send(message) { this.socket.send(JSON.stringify(message)); }

  key(context) {
    const [action, column] = this.contexts.get(context);
    return {
      action,
      context,
      device: DEVICE,
      payload: { controller: 'Keypad', coordinates: { column, row: 0 }, isInMultiAction: false,
        settings: this.settings.get(context) ?? {}, state: 0 },
    };
  }

  // A key of action (the part after the plug-in's UUID) with settings appears.
  appear(context, action, settings = {}) {
    this.contexts ??= new Map();
    this.contexts.set(context, [`${PLUGIN_UUID}.${action}`, this.contexts.size]);
    this.settings.set(context, settings);
    this.send({ ...this.key(context), event: 'willAppear' });
  }

  press(context) {
    const { payload, ...rest } = this.key(context);
    const { controller, ...keyPayload } = payload;
    this.send({ ...rest, event: 'keyDown', payload: keyPayload });
    this.send({ ...rest, event: 'keyUp', payload: keyPayload });
  }

  changeSettings(context, settings) {
    this.settings.set(context, settings);
    this.send({ ...this.key(context), event: 'didReceiveSettings' });
  }

  // The key's property inspector opens and sends the plug-in a message.
  inspector(context, payload) {
    const { action } = this.key(context);
    this.send({ action, context, device: DEVICE, event: 'propertyInspectorDidAppear' });
    this.send({ action, context, event: 'sendToPlugin', payload });
  }

  // The first message (from `from` on) that matches, within ms.
  waitFor(match, ms = 5000, what = 'a message', from = 0) {
    return new Promise((resolve, reject) => {
      const check = () => {
        const found = this.received.slice(from).find(match);
        if (found === undefined) return false;
        this.waiters.delete(check);
        clearTimeout(timer);
        resolve(found);
        return true;
      };
      const timer = setTimeout(() => {
        this.waiters.delete(check);
        reject(new Error(`no ${what} within ${ms} ms; received ${JSON.stringify(this.received.slice(from).slice(-12))}\n${this.output}`));
      }, ms);
      if (!check()) this.waiters.add(check);
    });
  }

  // What the key shows now: its last title and state, from what the plug-in sent.
  shown(context) {
    let title;
    let state;
    for (const m of this.received) {
      if (m.context !== context) continue;
      if (m.event === 'setTitle') title = m.payload?.title;
      if (m.event === 'setState') state = m.payload?.state;
    }
    return { title, state };
  }

  async stop() {
    this.child.kill();
    await new Promise((r) => (this.child.exitCode !== null ? r() : this.child.on('exit', r)));
    this.server.close();
    fs.rmSync(this.folder, { recursive: true, force: true });
  }
}
