// web/kem-client.mjs against the development host with the demo project.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import WebSocket from 'ws';
import { KemClient, KemError } from '../../web/kem-client.mjs';
import { startDevHost } from './devhost.mjs';

const SECOND = 254016000000;
let host;
let kem;

before(async () => {
  host = await startDevHost(['--no-panel']);
  kem = new KemClient(undefined, { WebSocket, timeoutMs: 8000 });
  await kem.connect();
});
after(async () => {
  kem.close();
  assert.equal(await host.stop(), 0);
});

test('info commands', async () => {
  assert.equal(await kem.getVersion(), '1.2.4');
  const info = await kem.getInfo();
  assert.equal(info.commands.length, 14);
});

test('sequence, angle, clip size and transitions on the demo project', async () => {
  const seq = await kem.getSequence(2);
  assert.equal(seq.width, 3840);
  assert.equal(seq.fps, 23.976);
  assert.equal(await kem.getAngleAtMarker('Interview'), 3);
  assert.equal(await kem.getAngle(25 * SECOND), 2);
  assert.deepEqual(await kem.getClipSize(0, { track: 1 }), { width: 1280, height: 720 });
  assert.deepEqual(await kem.getClipSizeAtMarker('Harbour'), { width: 1920, height: 1080 });
  const t = await kem.getTransitions(10 * SECOND, 20 * SECOND, 0);
  assert.deepEqual(t.start, { name: 'AE.ADBE Cross Dissolve New', duration: SECOND });
  assert.deepEqual(t.end, { name: '-', duration: 0 });
});

test('error replies reject with the reason word', async () => {
  await assert.rejects(kem.getSequence(-3), (e) => e instanceof KemError && e.reason === 'notimeline');
  await assert.rejects(kem.setMulticamAngle(17), (e) => e.reason === 'range');
  await assert.rejects(kem.getTransitions(0, 1, 9), (e) => e.reason === 'noclip');
  assert.equal(await kem.getVersion(), '1.2.4');  // still in step after errors
});

test('commands, exec and the multicam switch reach the host', async () => {
  const commands = await kem.listCommands();
  assert.equal(commands.length, 13);
  assert.deepEqual(commands[2], { group: 'Multi-Camera', name: 'cmd.multicam.choosenocut.camera3', label: 'Camera 3', shortcut: 'Ctrl+3' });
  assert.equal(await kem.setMulticamAngle(3), 3);
  await host.waitForLine('exec\t\tcmd.multicam.choosenocut.camera3');
  await kem.exec('Edit', 'cmd.edit.razor');
  await host.waitForLine('exec\tEdit\tcmd.edit.razor');
});

test('diagnostics', async () => {
  const lines = await kem.dumpAngle(0);
  assert.equal(lines[0], '=== VIDEO SEGMENT NODE DUMP START ===');
  assert.equal(lines.at(-1), '=== VIDEO SEGMENT NODE DUMP END ===');
  const scan = await kem.scanTimelines(0, 100, 1000);
  assert.equal(scan.hits, 2);
});

test('subscription: events and vitals', async () => {
  const events = [];
  let playing = false;
  const seen = new Promise((resolve) => {
    kem.subscribe((v) => { if (v.playing) { playing = true; resolve(); } }, (e) => events.push(e));
  });
  await kem.getVersion();  // the subscription is in place once this is answered
  host.send('play on');
  await seen;
  assert.ok(playing);
  assert.deepEqual(events[0], { kind: 'transport', type: 'play', on: true });
  host.send('play off');
});

test('a request that times out does not shift later replies', async () => {
  const other = new KemClient(undefined, { WebSocket, timeoutMs: 50 });
  await other.connect();
  await assert.rejects(other.scanTimelines(0, 2147483647, 400), (e) => e.reason === 'timeout');
  other.timeoutMs = 5000;
  assert.equal(await other.getVersion(), '1.2.4');  // the late scan reply was read and dropped
  other.close();
  assert.equal(other.state, 'closed');
});

test('reconnects with back-off and renews the subscription', async () => {
  // A stand-in server on another port that drops every connection once.
  const { WebSocketServer } = await import('ws');
  const server = new WebSocketServer({ host: '127.0.0.1', port: 7897 });
  let connections = 0;
  const subscribedOn = [];
  server.on('connection', (ws) => {
    const n = ++connections;
    ws.on('message', (data) => {
      const text = data.toString();
      if (text === 'vitals.subscribe') subscribedOn.push(n);
      if (text === 'get.version') ws.send('version:1.2.4');
    });
    if (n === 1) setTimeout(() => ws.terminate(), 100);
  });
  await new Promise((r) => server.once('listening', r));
  const client = new KemClient('ws://127.0.0.1:7897/', { WebSocket, backoffMs: 50, maxBackoffMs: 200 });
  const states = [];
  client.on('state', (s) => states.push(s));
  await client.connect();
  client.subscribe(() => {}, () => {});
  await new Promise((r) => setTimeout(r, 600));
  assert.equal(await client.getVersion(), '1.2.4');
  assert.ok(states.includes('reconnecting'), JSON.stringify(states));
  assert.deepEqual(subscribedOn, [1, 2]);
  client.close();
  await new Promise((r) => server.close(r));
});

test('a failed first attempt rejects connect() with why: origin-refused, unreachable', async () => {
  // ws lets a Node client send an Origin, as a browser page would.
  class RefusedOrigin extends WebSocket {
    constructor(url) { super(url, { origin: 'https://refused.example' }); }
  }
  const refused = new KemClient(undefined, { WebSocket: RefusedOrigin, reconnect: false });
  await assert.rejects(refused.connect(), (e) => e instanceof KemError && e.reason === 'origin-refused'
    && /origins\.txt/.test(e.message));
  assert.equal(refused.state, 'closed');

  const nobody = new KemClient('ws://127.0.0.1:1/', { WebSocket, reconnect: false });
  await assert.rejects(nobody.connect(), (e) => e.reason === 'unreachable' && /kem-doctor/.test(e.message));
  assert.equal(await nobody.localNetworkAccess(), 'unsupported');  // Node has no such permission

  // Without a WebSocket passed in, the client finds one itself (built in, or the ws package).
  const plain = new KemClient(undefined, { reconnect: false });
  await plain.connect();
  assert.equal(await plain.getVersion(), '1.2.4');
  plain.close();
});
