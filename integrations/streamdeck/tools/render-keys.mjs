// Renders docs/keys.png: the plug-in's own key images in their states, with
// the titles the plug-in sets, as a Stream Deck shows them (headless Chromium).
//   npm run keys        (KEM_CHROMIUM names another browser than /usr/bin/chromium)
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const images = path.resolve(here, '../dev.kem-engine.streamdeck.sdPlugin/imgs/actions');
const keys = [
  ['camera-off', '1', 'Camera, angle 1'],
  ['camera-live', '2', 'Camera, angle 2: the one last switched to'],
  ['command-off', 'Play/Stop', 'Command, show "playing": stopped'],
  ['command-on', 'Play/Stop', 'Command, show "playing": playing'],
  ['timecode', '00;01;02;03', 'Timecode'],
  ['camera-off', 'offline', 'Any key while KEM Engine is unreachable'],
];
const svg = (name) => `data:image/svg+xml;base64,${fs.readFileSync(path.join(images, `${name}.svg`)).toString('base64')}`;
const cells = keys.map(([image, title, caption]) => `
  <figure><div class="key"><img src="${svg(image)}"><span>${title}</span></div><figcaption>${caption}</figcaption></figure>`).join('');
const html = `<!doctype html><meta charset="utf-8"><style>
  body { margin: 0; padding: 16px; background: #111; font: 12px system-ui, sans-serif; color: #ccc; display: flex; gap: 14px; }
  figure { margin: 0; width: 110px; text-align: center; }
  .key { position: relative; width: 108px; height: 108px; margin: 0 auto 8px; }
  .key img { width: 108px; height: 108px; }
  .key span { position: absolute; left: 0; right: 0; bottom: 10px; color: #fff; font-weight: 600;
    font-size: 14px; text-shadow: 0 1px 2px #000; }
</style>${cells}`;
const page = path.join(fs.mkdtempSync(path.join(os.tmpdir(), 'kem-keys-')), 'keys.html');
fs.writeFileSync(page, html);
const out = path.resolve(here, '../docs/keys.png');
execFileSync(process.env.KEM_CHROMIUM ?? '/usr/bin/chromium', ['--headless', '--no-sandbox', '--disable-gpu',
  '--disable-background-networking', '--disable-component-update', '--disable-sync', '--no-first-run',
  `--user-data-dir=${path.dirname(page)}/profile`, '--hide-scrollbars', '--window-size=792,190',
  `--screenshot=${out}`, `file://${page}`], { stdio: 'ignore', timeout: 60000 });
console.log(out);
