// The property inspectors in Chromium, as the Stream Deck application shows
// them: the page is opened, the application calls connectElgatoStreamDeckSocket
// with its port, and the page talks to a stand-in for the application there.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { chromium } from 'playwright-core';
import { WebSocketServer } from 'ws';
import { PLUGIN_DIR } from './standin.mjs';

const CHROMIUM = process.env.KEM_CHROMIUM ?? '/usr/bin/chromium';
const COMMANDS = [
  { group: 'Multi-Camera', name: 'cmd.multicam.choosenocut.camera1', label: 'Camera 1', shortcut: 'Ctrl+1' },
  { group: 'Playback', name: 'cmd.transport.play', label: 'Play/Stop', shortcut: 'Space' },
  { group: 'View', name: 'cmd.view.zoom.in', label: 'Zoom In', shortcut: '=' },
];
let browser;
let server;
let received = [];
let socket = null;

before(async () => {
  server = new WebSocketServer({ host: '127.0.0.1', port: 0 });
  await new Promise((r) => server.on('listening', r));
  server.on('connection', (ws) => {
    socket = ws;
    ws.on('message', (data) => {
      const message = JSON.parse(String(data));
      received.push(message);
      // What the plug-in answers to the inspector's request.
      if (message.event === 'sendToPlugin' && message.payload?.request === 'commands') {
        ws.send(JSON.stringify({ event: 'sendToPropertyInspector', payload: { commands: COMMANDS } }));
      }
      if (message.event === 'getGlobalSettings') {
        ws.send(JSON.stringify({ event: 'didReceiveGlobalSettings', payload: { settings: {} } }));
      }
    });
  });
  if (!fs.existsSync(CHROMIUM)) return;
  browser = await chromium.launch({
    executablePath: CHROMIUM,
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
      '--disable-sync', '--no-first-run', '--disable-quic'],
  });
});

after(async () => {
  if (browser) await browser.close();
  server.close();
});

async function openInspector(page, file, action, settings) {
  received = [];
  await page.goto(`file://${path.join(PLUGIN_DIR, 'ui', file)}`);
  const actionInfo = JSON.stringify({ action, context: 'KEY1', device: 'DEVICE1', payload: { settings, coordinates: { column: 0, row: 0 } } });
  await page.evaluate(([port, info]) => connectElgatoStreamDeckSocket(port, 'PI-UUID', 'registerPropertyInspector', '{}', info),
    [server.address().port, actionInfo]);
}

// The first message of the page that matches, once it has crossed the socket.
async function message(match, ms = 5000) {
  const deadline = Date.now() + ms;
  for (;;) {
    const found = received.find(match);
    if (found) return found;
    if (Date.now() > deadline) throw new Error(`no such message; received ${JSON.stringify(received)}`);
    await new Promise((r) => setTimeout(r, 20));
  }
}
const settingsWith = (key) => (m) => m.event === 'setSettings' && key in (m.payload ?? {});

test('the command inspector lists the host commands by group, filters them, and stores the choice', async (t) => {
  if (!browser) return t.skip(`no browser at ${CHROMIUM}`);
  const page = await browser.newPage();
  await openInspector(page, 'command.html', 'dev.kem-engine.streamdeck.command', {});
  await page.waitForSelector('#command optgroup');
  assert.deepEqual(received[0], { event: 'registerPropertyInspector', uuid: 'PI-UUID' });
  assert.deepEqual(await page.$$eval('#command optgroup', (gs) => gs.map((g) => [g.label, g.children.length])),
    [['Multi-Camera', 1], ['Playback', 1], ['View', 1]]);
  assert.equal(await page.textContent('#status'), '3 commands.');

  await page.fill('#filter', 'zoom');
  assert.deepEqual(await page.$$eval('#command option', (os) => os.map((o) => o.textContent)), ['Zoom In — cmd.view.zoom.in']);
  await page.selectOption('#command', { index: 0 });
  assert.deepEqual(await message(settingsWith('name')),
    { event: 'setSettings', context: 'PI-UUID', payload: { group: 'View', name: 'cmd.view.zoom.in', label: 'Zoom In' } });
  await page.selectOption('#show', 'playing');
  assert.deepEqual((await message(settingsWith('show'))).payload,
    { group: 'View', name: 'cmd.view.zoom.in', label: 'Zoom In', show: 'playing' });

  await page.fill('#url', 'ws://127.0.0.1:7999/');
  await page.evaluate(() => document.getElementById('url').dispatchEvent(new Event('change')));
  assert.deepEqual((await message((m) => m.event === 'setGlobalSettings')).payload, { url: 'ws://127.0.0.1:7999/' });
  await page.close();
});

test('the command inspector says so when the engine is offline', async (t) => {
  if (!browser) return t.skip(`no browser at ${CHROMIUM}`);
  const page = await browser.newPage();
  await openInspector(page, 'command.html', 'dev.kem-engine.streamdeck.command', {});
  await page.waitForFunction(() => document.getElementById('status').textContent.includes('commands'));
  socket.send(JSON.stringify({ event: 'sendToPropertyInspector', payload: { error: 'offline' } }));
  await page.waitForFunction(() => document.getElementById('status').className.includes('error'));
  assert.match(await page.textContent('#status'), /not reachable/);
  await page.close();
});

test('the camera inspector picks 1 to 16 and stores the angle as a number', async (t) => {
  if (!browser) return t.skip(`no browser at ${CHROMIUM}`);
  const page = await browser.newPage();
  await openInspector(page, 'camera.html', 'dev.kem-engine.streamdeck.camera', { angle: 3 });
  await page.waitForFunction(() => document.getElementById('angle').value === '3');
  assert.deepEqual(await page.$$eval('#angle option', (os) => [os.length, os[0].value, os[15].value]), [16, '1', '16']);
  await page.selectOption('#angle', '12');
  assert.deepEqual((await message(settingsWith('angle'))).payload, { angle: 12 });
  await page.close();
});
