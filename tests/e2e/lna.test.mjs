// Local Network Access in Debian's Chromium: a page the browser counts as
// public (an address-space override) and secure opens ws://127.0.0.1:7890/
// through kem-client.mjs, with and without the local-network permission; and
// the demo panel's banner when it is served as a public page. The page's
// origin is allowed in the development host's origins.txt, so only the browser
// stands in the way.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';
import { existsSync } from 'node:fs';
import { chromium } from 'playwright-core';
import { startDevHost, sourceDir, homeWithOrigins } from './devhost.mjs';

const CHROMIUM = process.env.KEM_CHROMIUM ?? '/usr/bin/chromium';
const skip = existsSync(CHROMIUM) ? false : `no browser at ${CHROMIUM}`;
const PAGE_ADDR = '127.0.0.2';
const PAGE_PORT = 7897;
const PANEL_PORT = 7896;
const ORIGIN = `http://${PAGE_ADDR}:${PAGE_PORT}`;

// The page: the client module, and every WebSocket the page opens counted.
const PAGE = `<!doctype html><meta charset="utf-8"><title>lna</title>
<script>
  window.socketsOpened = 0;
  const Real = window.WebSocket;
  window.WebSocket = class extends Real { constructor(...a) { super(...a); window.socketsOpened += 1; } };
</script>
<script type="module">
  import { KemClient } from '/kem-client.mjs';
  window.KemClient = KemClient;
  window.ready = true;
</script>`;

let host;
let browser;
let server;

before(async () => {
  if (skip) return;
  host = await startDevHost(['--panel-port', String(PANEL_PORT)], { env: { HOME: homeWithOrigins([PAGE_ADDR]) } });
  server = http.createServer((req, res) => {
    if (req.url === '/kem-client.mjs') {
      res.setHeader('content-type', 'text/javascript');
      res.end(fs.readFileSync(path.join(sourceDir, 'web/kem-client.mjs')));
      return;
    }
    res.setHeader('content-type', 'text/html');
    res.end(PAGE);
  });
  await new Promise((r) => server.listen(PAGE_PORT, PAGE_ADDR, r));
  browser = await chromium.launch({
    executablePath: CHROMIUM,
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
      '--disable-sync', '--no-first-run', '--disable-quic',
      `--ip-address-space-overrides=${PAGE_ADDR}:${PAGE_PORT}=public,127.0.0.1:${PANEL_PORT}=public`,
      `--unsafely-treat-insecure-origin-as-secure=${ORIGIN}`],
  });
});

after(async () => {
  if (browser) await browser.close();
  if (server) await new Promise((r) => server.close(r));
  if (host) assert.equal(await host.stop(), 0);
});

async function clientPage(context) {
  const page = await context.newPage();
  await page.goto(`${ORIGIN}/`);
  await page.waitForFunction(() => window.ready === true);
  return page;
}

test('without the permission connect() rejects with local-network-access and stops retrying', { skip }, async () => {
  const context = await browser.newContext();
  const page = await clientPage(context);
  const result = await page.evaluate(async () => {
    const kem = new window.KemClient();
    window.kem = kem;
    window.states = [];
    window.permissions = [];
    kem.on('state', (s) => window.states.push(s));
    kem.on('permission', (p) => window.permissions.push(p));
    const start = performance.now();
    try {
      await kem.connect();
      return { connected: true };
    } catch (err) {
      return { reason: err.reason, message: err.message, ms: performance.now() - start };
    }
  });
  assert.equal(result.reason, 'local-network-access', JSON.stringify(result));
  assert.ok(result.ms < 2000, `rejected after ${result.ms} ms`);
  assert.match(result.message, /Allow local network access for this site/);
  await page.waitForTimeout(5000);  // watching what the client does next: it must not hammer the port
  const after5s = await page.evaluate(() => ({ sockets: window.socketsOpened, states: window.states,
    permissions: window.permissions, state: window.kem.state }));
  assert.ok(after5s.sockets <= 2, `${after5s.sockets} attempts`);
  assert.equal(after5s.state, 'blocked');
  // Connecting while the browser would ask is reported as such, before the answer.
  assert.deepEqual(after5s.states.slice(0, 2), ['awaiting-permission', 'blocked'], after5s.states.join());
  assert.deepEqual(after5s.permissions, ['prompt', 'denied']);

  // Allowed at last (as a user would in the site settings): the client goes on by itself.
  await context.grantPermissions(['local-network-access'], { origin: ORIGIN });
  await page.waitForFunction(() => window.kem.state === 'open', null, { timeout: 5000 });
  assert.equal(await page.evaluate(() => window.kem.getVersion()), '1.2.4');
  assert.equal(await page.evaluate(() => window.permissions.at(-1)), 'granted');
  await context.close();
});

test('with the permission the client connects, answers and receives vitals', { skip }, async () => {
  const context = await browser.newContext();
  await context.grantPermissions(['local-network-access'], { origin: ORIGIN });
  const page = await clientPage(context);
  const result = await page.evaluate(async () => {
    const kem = new window.KemClient();
    await kem.connect();
    const version = await kem.getVersion();
    const vitals = await new Promise((resolve) => kem.subscribe(resolve));
    const permission = await kem.localNetworkAccess();
    kem.close();
    return { version, v: vitals.v, permission };
  });
  assert.deepEqual(result, { version: '1.2.4', v: '1.2.4', permission: 'granted' });
  await context.close();
});

test('the demo panel served as a public page shows the fix in its banner', { skip }, async () => {
  const context = await browser.newContext();
  const page = await context.newPage();
  await page.goto(`http://127.0.0.1:${PANEL_PORT}/`);
  await page.waitForSelector('#access-banner:not([hidden])', { timeout: 5000 });
  const text = await page.textContent('#access-banner');
  assert.match(text, /blocks this page from reaching KEM Engine/);
  assert.match(text, /Allow “Local network access” for this site/);
  assert.equal(await page.getAttribute('#connection', 'data-state'), 'blocked');
  await context.close();
});
