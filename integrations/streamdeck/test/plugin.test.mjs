// The built plug-in (bin/plugin.js) in the stand-in application, against the
// development host with the demo project.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { WebSocketServer } from 'ws';
import { startDevHost } from '../../../tests/e2e/devhost.mjs';
import { StandIn } from './standin.mjs';

let host;
let deck;
const seen = () => deck.received.length;
const event = (name, context) => (m) => m.event === name && m.context === context;
const titled = (context, title) => (m) => m.event === 'setTitle' && m.context === context && m.payload?.title === title;
const stated = (context, state) => (m) => m.event === 'setState' && m.context === context && m.payload?.state === state;

before(async () => {
  host = await startDevHost(['--no-panel']);
  deck = await StandIn.start();
});
after(async () => {
  await deck?.stop();
  if (host) assert.equal(await host.stop(), 0);
});

test('camera keys show their angle; a press switches it in the host and lights only that key', async () => {
  const from = seen();
  deck.appear('cam1', 'camera', { angle: 1 });
  deck.appear('cam2', 'camera', { angle: 2 });
  await deck.waitFor(titled('cam1', '1'), 5000, 'the title 1', from);
  await deck.waitFor(titled('cam2', '2'), 5000, 'the title 2', from);

  let mark = seen();
  deck.press('cam2');
  await deck.waitFor(event('showOk', 'cam2'), 5000, 'OK on camera 2', mark);
  assert.ok(await host.waitForLine('exec\t\tcmd.multicam.choosenocut.camera2'));
  await deck.waitFor(stated('cam2', 1), 5000, 'camera 2 lit', mark);
  assert.deepEqual(deck.shown('cam2'), { title: '2', state: 1 });
  assert.deepEqual(deck.shown('cam1'), { title: '1', state: 0 });

  mark = seen();
  deck.press('cam1');
  await deck.waitFor(stated('cam2', 0), 5000, 'camera 2 dark again', mark);
  await deck.waitFor(stated('cam1', 1), 5000, 'camera 1 lit', mark);
  assert.deepEqual(deck.shown('cam1'), { title: '1', state: 1 });
  assert.deepEqual(deck.shown('cam2'), { title: '2', state: 0 });
  assert.equal(deck.received.slice(mark).some(event('showAlert', 'cam1')), false);
});

test('a command key runs its command and shows OK; an error reply shows the alert', async () => {
  let mark = seen();
  deck.appear('zoom', 'command', { group: 'View', name: 'cmd.view.zoom.in', label: 'Zoom In' });
  await deck.waitFor(titled('zoom', 'Zoom In'), 5000, 'the command title', mark);
  deck.press('zoom');
  await deck.waitFor(event('showOk', 'zoom'), 5000, 'OK', mark);
  assert.ok(await host.waitForLine('exec\tView\tcmd.view.zoom.in'));

  // A NUL in the name is refused by the engine (exec.error:parse), never run.
  mark = seen();
  deck.appear('bad', 'command', { group: 'View', name: 'cmd.view\u0000zoom.in' });
  deck.press('bad');
  await deck.waitFor(event('showAlert', 'bad'), 5000, 'the alert', mark);
  assert.equal(deck.received.slice(mark).some(event('showOk', 'bad')), false);
});

test('a command key with show "playing" follows play on and play off', async () => {
  const mark = seen();
  deck.appear('play', 'command', { group: 'Playback', name: 'cmd.transport.play', label: 'Play/Stop', show: 'playing' });
  await deck.waitFor(titled('play', 'Play/Stop'), 5000, 'the title', mark);
  host.send('play on');
  await deck.waitFor(stated('play', 1), 5000, 'lit while playing', mark);
  const off = seen();
  host.send('play off');
  await deck.waitFor(stated('play', 0), 5000, 'dark once stopped', off);
});

test('the timecode key follows the host timecode', async () => {
  const mark = seen();
  deck.appear('tc', 'timecode');
  host.send('timecode 01;02;03;04');
  await deck.waitFor(titled('tc', '01;02;03;04'), 5000, 'the timecode', mark);
});

test('the command inspector receives the host command list', async () => {
  const mark = seen();
  deck.inspector('zoom', { request: 'commands' });
  const message = await deck.waitFor((m) => m.event === 'sendToPropertyInspector' && m.payload?.commands, 5000,
    'the command list', mark);
  assert.equal(message.payload.commands.length, 13);
  assert.deepEqual(message.payload.commands.find((c) => c.name === 'cmd.transport.play'),
    { group: 'Playback', name: 'cmd.transport.play', label: 'Play/Stop', shortcut: 'Space' });
});

test('the engine address is a global setting; a press without a reply within 2 s shows the alert', async () => {
  // An engine that takes every request and never answers.
  const silent = new WebSocketServer({ host: '127.0.0.1', port: 0 });
  await new Promise((r) => silent.on('listening', r));
  const requests = [];
  silent.on('connection', (ws) => ws.on('message', (m) => requests.push(String(m))));
  try {
    deck.send({ event: 'didReceiveGlobalSettings', payload: { settings: { url: `ws://127.0.0.1:${silent.address().port}/` } } });
    const deadline = Date.now() + 5000;
    while (!requests.includes('vitals.subscribe') && Date.now() < deadline) await new Promise((r) => setTimeout(r, 50));
    assert.ok(requests.includes('vitals.subscribe'), JSON.stringify(requests));
    const mark = seen();
    const pressed = Date.now();
    deck.press('zoom');
    await deck.waitFor(event('showAlert', 'zoom'), 5000, 'the alert', mark);
    const waited = Date.now() - pressed;
    assert.ok(waited >= 1900, `the alert came after ${waited} ms, before the 2 s were up`);
    assert.ok(requests.includes('exec:View:cmd.view.zoom.in'), JSON.stringify(requests));
  } finally {
    const mark = seen();
    deck.send({ event: 'didReceiveGlobalSettings', payload: { settings: { url: 'ws://127.0.0.1:7890/' } } });
    await deck.waitFor(titled('tc', '01;02;03;04'), 8000, 'the timecode from the host again', mark);
    silent.close();
  }
});

test('keys go offline when the engine stops, refuse presses, and come back by themselves', async () => {
  let mark = seen();
  assert.equal(await host.stop(), 0);
  host = null;
  for (const key of ['cam1', 'cam2', 'zoom', 'play', 'tc']) {
    await deck.waitFor(titled(key, 'offline'), 8000, `${key} offline`, mark);
  }
  mark = seen();
  deck.press('cam1');
  await deck.waitFor(event('showAlert', 'cam1'), 3000, 'the alert while offline', mark);

  mark = seen();
  host = await startDevHost(['--no-panel']);
  await deck.waitFor(titled('cam1', '1'), 10000, 'camera 1 back', mark);
  await deck.waitFor(titled('zoom', 'Zoom In'), 10000, 'the command back', mark);
  // Nothing pressed while offline reached the new host.
  assert.equal(host.lines.some((l) => l.startsWith('exec')), false);
  deck.press('cam1');
  await deck.waitFor(event('showOk', 'cam1'), 5000, 'OK once back', mark);
  assert.ok(await host.waitForLine('exec\t\tcmd.multicam.choosenocut.camera1'));
});
