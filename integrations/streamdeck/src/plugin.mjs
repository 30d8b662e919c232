// KEM Engine's Stream Deck plug-in: one connection to the engine for every
// key, the engine's address from the plug-in's global settings.
import streamDeck from '@elgato/streamdeck';
import { CameraAction, CommandAction, TimecodeAction } from './actions.mjs';
import { DEFAULT_URL, Engine } from './engine.mjs';

const engine = new Engine();

streamDeck.actions.registerAction(new CameraAction(engine));
streamDeck.actions.registerAction(new CommandAction(engine));
streamDeck.actions.registerAction(new TimecodeAction(engine));

// {"url": "ws://127.0.0.1:7890/"}; set in either property inspector.
streamDeck.settings.onDidReceiveGlobalSettings((ev) => engine.use(ev.settings?.url || DEFAULT_URL));

await streamDeck.connect();
const global = await streamDeck.settings.getGlobalSettings();
engine.use(global?.url || DEFAULT_URL);
