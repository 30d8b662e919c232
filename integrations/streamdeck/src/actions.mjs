// The three actions. Each keeps its visible keys showing what keys.mjs says,
// and answers presses: OK when the engine confirms, the alert on an error
// reply, no connection, or no reply within 2 s.
import streamDeck, { SingletonAction } from '@elgato/streamdeck';
import { cameraAngle, cameraView, commandView, timecodeView } from './keys.mjs';

export const PLUGIN_UUID = 'dev.kem-engine.streamdeck';

class EngineAction extends SingletonAction {
  constructor(engine, manifestId, view) {
    super();
    this.manifestId = manifestId;  // routes this action's events here
    this.engine = engine;
    this.view = view;
    this.shown = new Map();  // context -> the last title and state sent
    this.settings = new Map();  // context -> the key's settings, as last told
    engine.onChange(() => this.refreshAll());
  }

  // Sends a key's title and state when they differ from what it shows.
  async show(action, settings, force = false) {
    const { title, state } = this.view(this.engine, settings);
    const last = this.shown.get(action.id);
    if (!force && last && last.title === title && last.state === state) return;
    this.shown.set(action.id, { title, state });
    await action.setTitle(title);
    if (action.isKey() && !action.isInMultiAction()) await action.setState(state);
  }

  async refreshAll() {
    for (const action of this.actions) await this.show(action, this.settings.get(action.id) ?? {});
  }

  onWillAppear(ev) {
    this.settings.set(ev.action.id, ev.payload.settings);
    return this.show(ev.action, ev.payload.settings, true);
  }

  onWillDisappear(ev) {
    this.shown.delete(ev.action.id);
    this.settings.delete(ev.action.id);
  }

  onDidReceiveSettings(ev) {
    this.settings.set(ev.action.id, ev.payload.settings);
    return this.show(ev.action, ev.payload.settings, true);
  }

  // The press itself: run() resolves when the engine confirms. (The manifest
  // turns the application's own state flip off: the plug-in sets the states.)
  async confirm(ev, run) {
    this.settings.set(ev.action.id, ev.payload.settings);
    try {
      await run();
      await ev.action.showOk();
    } catch (err) {
      streamDeck.logger.info(`${this.manifestId}: ${err.message ?? err}`);
      await ev.action.showAlert();
    }
  }
}

export class CameraAction extends EngineAction {
  constructor(engine) { super(engine, `${PLUGIN_UUID}.camera`, cameraView); }

  onKeyDown(ev) {
    const angle = cameraAngle(ev.payload.settings);
    return this.confirm(ev, async () => {
      if (angle === null) throw new Error('no angle set');
      await this.engine.switchCamera(angle);
    });
  }
}

export class CommandAction extends EngineAction {
  constructor(engine) { super(engine, `${PLUGIN_UUID}.command`, commandView); }

  onKeyDown(ev) {
    const { group = '', name = '' } = ev.payload.settings ?? {};
    return this.confirm(ev, async () => {
      if (!name) throw new Error('no command chosen');
      await this.engine.exec(group, name);
    });
  }

  // The property inspector asks for the host's commands.
  async onSendToPlugin(ev) {
    if (ev.payload?.request !== 'commands') return;
    try {
      const commands = await this.engine.listCommands();
      await streamDeck.ui.sendToPropertyInspector({ commands });
    } catch (err) {
      await streamDeck.ui.sendToPropertyInspector({ error: this.engine.online ? String(err.reason ?? err.message) : 'offline' });
    }
  }
}

export class TimecodeAction extends EngineAction {
  constructor(engine) { super(engine, `${PLUGIN_UUID}.timecode`, timecodeView); }
}
