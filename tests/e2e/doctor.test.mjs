// kem-doctor against nothing, then against the development host, with an
// allowed, a refused and no origin. Origins are address literals, so that the
// doctor classifies them without asking any name server.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import path from 'node:path';
import { startDevHost, sourceDir, homeWithOrigins } from './devhost.mjs';

const home = homeWithOrigins(['203.0.113.7']);

function doctor(...args) {
  const run = spawnSync(process.execPath, [path.join(sourceDir, 'web/kem-doctor.mjs'), ...args],
    { encoding: 'utf8', env: { ...process.env, HOME: home }, timeout: 30000 });
  return { status: run.status, out: run.stdout };
}

test('with nothing listening it says so and fails', () => {
  const { status, out } = doctor('--origin', 'https://203.0.113.7');
  assert.equal(status, 1, out);
  assert.match(out, /listener on 127\.0\.0\.1:7890 \.+ none/);
  assert.match(out, /Nothing listens there/);
  assert.match(out, /origin https:\/\/203\.0\.113\.7 \.+ not asked/);
});

test('against the development host', async (t) => {
  const host = await startDevHost(['--no-panel'], { env: { HOME: home } });
  t.after(async () => { assert.equal(await host.stop(), 0); });
  await t.test('no origin', () => {
    const { status, out } = doctor();
    assert.equal(status, 0, out);
    assert.match(out, /is it KEM Engine\? \.+ yes, version 1\.2\.4 \(api 1, 14 commands, origin policy allowlist\)/);
    assert.match(out, /Verdict: a panel here can connect/);
  });
  await t.test('a loopback origin is built in and exempt', () => {
    const { status, out } = doctor('--origin', 'http://localhost:5173');
    assert.equal(status, 0, out);
    assert.match(out, /origin http:\/\/localhost:5173 \.+ accepted \(built in\)/);
    assert.match(out, /Local Network Access \.+ loopback page/);
  });
  await t.test('an allowed public https origin needs the browser permission', () => {
    const { status, out } = doctor('--origin', 'https://203.0.113.7/panel/');
    assert.equal(status, 0, out);
    assert.match(out, /origin https:\/\/203\.0\.113\.7 \.+ accepted \(origins\.txt\)/);
    assert.match(out, /Local Network Access \.+ public page/);
    assert.match(out, /LocalNetworkAccessAllowedForUrls/);
  });
  await t.test('a refused plain-http origin names the file to edit and the https problem', () => {
    const { status, out } = doctor('--origin', 'http://198.51.100.2:8080');
    assert.equal(status, 1, out);
    assert.match(out, /origin http:\/\/198\.51\.100\.2:8080 \.+ refused \(HTTP 403\)/);
    assert.ok(out.includes(`Add the line "198.51.100.2" to ${home}/Library/Application Support/KEM Engine/origins.txt`), out);
    assert.match(out, /plain http, so the browser cannot even ask/);
  });
  await t.test('a private address is classified as private', () => {
    const { out } = doctor('--origin', 'https://192.168.1.20');
    assert.match(out, /Local Network Access \.+ private page/);
  });
});
