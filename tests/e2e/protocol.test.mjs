// An independent client (the ws package) against the development host: the
// handshake with and without an Origin, a refused origin, and the info commands.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import WebSocket from 'ws';
import { startDevHost } from './devhost.mjs';

let host;
before(async () => { host = await startDevHost(['--no-panel']); });
after(async () => { assert.equal(await host.stop(), 0); });

function open(options = {}) {
  return new Promise((resolve, reject) => {
    const ws = new WebSocket('ws://127.0.0.1:7890/', options);
    ws.once('open', () => resolve(ws));
    ws.once('error', reject);
    ws.once('unexpected-response', (_req, res) => reject(Object.assign(new Error('refused'), { status: res.statusCode })));
  });
}

function ask(ws, text) {
  return new Promise((resolve) => {
    ws.once('message', (data) => resolve(data.toString()));
    ws.send(text);
  });
}

test('a client without an Origin gets the version', async () => {
  const ws = await open();
  assert.equal(await ask(ws, 'get.version'), 'version:1.2.4');
  ws.close();
});

test('a page on localhost gets the capability object', async () => {
  const ws = await open({ origin: 'http://localhost:3000' });
  const reply = await ask(ws, 'get.info');
  assert.ok(reply.startsWith('info:'));
  const info = JSON.parse(reply.slice(5));
  assert.equal(info.engine, 'KEM Engine');
  assert.equal(info.version, '1.2.4');
  assert.deepEqual(info.unstable, ['dump.angle', 'debug.tlscan']);
  assert.equal(info.originPolicy, 'allowlist');
  assert.equal(info.telemetry, false);
  ws.close();
});

test('an unlisted https origin is refused with 403', async () => {
  await assert.rejects(open({ origin: 'https://unlisted.example' }), (err) => err.status === 403);
});

test('the demo project answers the timeline questions', async () => {
  const ws = await open({ origin: 'http://127.0.0.1:7891' });
  assert.equal(await ask(ws, 'get.angle.marker:Interview'), 'angle:3');
  assert.equal(await ask(ws, 'get.clipsize.marker:Harbour'), 'clipsize:1920:1080');
  ws.close();
});
