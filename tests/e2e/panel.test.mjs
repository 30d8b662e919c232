// The demo panel in a real browser (Debian's Chromium through playwright-core)
// against the development host: connection, live transport state, the camera
// switcher reaching the host, and a page from a refused origin.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import http from 'node:http';
import path from 'node:path';
import { existsSync } from 'node:fs';
import { chromium } from 'playwright-core';
import { startDevHost, sourceDir } from './devhost.mjs';

const CHROMIUM = process.env.KEM_CHROMIUM ?? '/usr/bin/chromium';
const PANEL_PORT = 7895;
const skip = existsSync(CHROMIUM) ? false : `no browser at ${CHROMIUM}`;

let host;
let browser;

before(async () => {
  if (skip) return;
  host = await startDevHost(['--panel-port', String(PANEL_PORT)]);
  browser = await chromium.launch({
    executablePath: CHROMIUM,
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
      '--disable-sync', '--no-first-run', '--disable-quic'],
  });
});

after(async () => {
  if (browser) await browser.close();
  if (host) assert.equal(await host.stop(), 0);
});

async function openPanel(viewport = { width: 1280, height: 900 }) {
  const page = await browser.newPage({ viewport });
  await page.goto(`http://127.0.0.1:${PANEL_PORT}/`);
  await page.waitForSelector('#connection[data-state="open"]', { timeout: 10000 });
  return page;
}

test('the panel connects and shows the version', { skip }, async () => {
  const page = await openPanel();
  await page.waitForFunction(() => document.getElementById('version').textContent === 'v1.2.4');
  await page.waitForFunction(() => document.querySelectorAll('#sequence dd').length === 8);
  await page.close();
});

test('play on shows as playing within two seconds', { skip }, async () => {
  const page = await openPanel();
  await page.waitForFunction(() => document.getElementById('timecode') !== null);
  // Wait for the first vitals message, so the subscription is surely in place.
  await page.waitForFunction(() => document.getElementById('tracks').textContent !== '–', null, { timeout: 5000 });
  host.send('play on');
  await page.waitForSelector('.lamp[data-key="playing"].on', { timeout: 2500 });
  if (process.env.KEM_SCREENSHOT) {
    // The picture in the README: the panel in use.
    host.send('timecode 00:00:12:05');
    await page.click('#commands-load');
    await page.click('#angle-form button');
    await page.click('#transitions-form button');
    await page.waitForTimeout(1500);
    await page.screenshot({ path: process.env.KEM_SCREENSHOT, fullPage: true });
  }
  host.send('play off');
  await page.waitForSelector('.lamp[data-key="playing"]:not(.on)', { timeout: 2500 });
  const log = await page.textContent('#events');
  assert.match(log, /play on/);
  await page.close();
});

test('clicking camera 3 runs the host command for camera 3', { skip }, async () => {
  const page = await openPanel({ width: 420, height: 900 });  // a narrow window as well
  await page.click('#cameras button[data-camera="3"]');
  await host.waitForLine('exec\t\tcmd.multicam.choosenocut.camera3');
  await page.click('#angle-form button');
  await page.waitForFunction(() => document.getElementById('angle-result').textContent === 'camera 3');
  await page.close();
});

test('a page from a refused origin cannot open the WebSocket', { skip }, async () => {
  // A page served from 127.0.0.2: its Origin is not on any list.
  const server = http.createServer((req, res) => {
    res.setHeader('content-type', 'text/html');
    res.end(`<script>
      const ws = new WebSocket('ws://127.0.0.1:7890/');
      ws.onopen = () => { document.title = 'opened'; };
      ws.onerror = () => { document.title = 'refused'; };
    </script>`);
  });
  await new Promise((r) => server.listen(0, '127.0.0.2', r));
  const page = await browser.newPage();
  const console = [];
  page.on('console', (m) => console.push(m.text()));
  await page.goto(`http://127.0.0.2:${server.address().port}/`);
  await page.waitForFunction(() => document.title !== '', null, { timeout: 5000 });
  assert.equal(await page.title(), 'refused');
  assert.ok(console.some((text) => text.includes('403')), console.join('\n'));
  await page.close();
  await new Promise((r) => server.close(r));
});
