// kem-doctor against nothing, then against the development host, with an
// allowed, a refused and no origin. Origins are address literals, so that the
// doctor classifies them without asking any name server.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { startDevHost, sourceDir, homeWithOrigins } from './devhost.mjs';
import { startWrongEngine } from './wrong-engine.mjs';

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

// The doctor as a child process that does not block this one (the wrong
// engine below lives in this process).
function doctorAsync(...args) {
  return new Promise((resolve) => {
    const child = spawn(process.execPath, [path.join(sourceDir, 'web/kem-doctor.mjs'), ...args],
      { env: { ...process.env, HOME: home } });
    let out = '';
    child.stdout.on('data', (d) => { out += d; });
    child.on('exit', (status) => resolve({ status, out }));
  });
}

test('--check against the demo project: every reply as documented, and the report', async () => {
  const host = await startDevHost(['--no-panel']);
  try {
    const report = path.join(fs.mkdtempSync(path.join(os.tmpdir(), 'kem-check-')), 'report.json');
    const { status, out } = await doctorAsync('--check', '--seconds', '2', '--json', report,
      '--exec', ':cmd.transport.play');
    assert.equal(status, 0, out);
    for (const request of ['get.version', 'get.info', 'get.sequence', 'get.commands', 'get.angle:0',
      'get.clipsize:0:-1', 'get.transitions:0:254016000000:-1', 'vitals.subscribe',
      'get.angle.marker:kem-doctor-probe', 'get.clipsize.marker:kem-doctor-probe', 'exec::cmd.transport.play']) {
      assert.match(out, new RegExp(`^  pass +${request.replace(/[.*+?^${}()|[\]\\]/g, '\\$&')} +\\d+\\.\\d ms`, 'm'), out);
    }
    assert.match(out, /Verdict: every reply is as documented/);
    const json = JSON.parse(fs.readFileSync(report, 'utf8'));
    assert.equal(json.engine, '1.2.4');
    assert.equal(json.platform, 'mac');
    assert.equal(json.failed, 0);
    assert.deepEqual(json.results.find((r) => r.request === 'get.version').replies, ['version:1.2.4']);
    assert.ok(await host.waitForLine('exec\t\tcmd.transport.play'));  // run because it was asked for
  } finally {
    assert.equal(await host.stop(), 0);
  }
});

test('--check against an engine that answers wrongly names each failing command', async () => {
  const port = 17960;
  const server = await startWrongEngine(port);
  try {
    const { status, out } = await doctorAsync('--check', '--seconds', '1', '--url', `ws://127.0.0.1:${port}/`);
    assert.equal(status, 1, out);
    assert.match(out, /^ {2}pass +get\.version /m, out);
    assert.match(out, /^ {2}FAIL +get\.info .*wanted "info:" and one well-formed JSON object/m, out);
    assert.match(out, /^ {2}FAIL +get\.sequence .*came "sequense:\{\\"timelineID\\":1\}"; wanted a reply starting "sequence:"/m, out);
    assert.match(out, /^ {2}FAIL +get\.commands .*came nothing; wanted a reply within 2000 ms/m, out);
    assert.match(out, /^ {2}FAIL +get\.angle:0 .*came nothing; wanted a reply within 2000 ms/m, out);
    // The late angle reply never stands in for the next request's.
    assert.match(out, /^ {2}pass +get\.clipsize:0:-1 /m, out);
    assert.match(out, /^ {2}pass +vitals\.subscribe /m, out);
    assert.match(out, /warn +the host reports no markers/, out);
    assert.match(out, /Verdict: 4 failed/, out);
  } finally {
    server.close();
  }
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
