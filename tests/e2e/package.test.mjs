// The client as people get it: the typed example checks under tsc --strict;
// web/ packs with npm pack and, installed from the tarball into an empty
// folder, talks to the development host; and the README's two example clients
// run exactly as the README shows them.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { startDevHost, sourceDir } from './devhost.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const npm = process.platform === 'win32' ? 'npm.cmd' : 'npm';

let host;
before(async () => { host = await startDevHost(['--no-panel']); });
after(async () => { assert.equal(await host.stop(), 0); });

test('the typed example passes tsc --strict --noEmit', () => {
  const tsc = path.join(here, 'node_modules', 'typescript', 'bin', 'tsc');
  const run = spawnSync(process.execPath, [tsc, '-p', path.join(here, 'tsconfig.typed-example.json'), '--strict', '--noEmit'],
    { encoding: 'utf8' });
  assert.equal(run.status, 0, run.stdout + run.stderr);
});

test('the packed package installs into an empty folder and connects', () => {
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'kem-pack-'));
  const packed = JSON.parse(execFileSync(npm, ['pack', path.join(sourceDir, 'web'), '--json', '--pack-destination', work],
    { encoding: 'utf8' }));
  const files = packed[0].files.map((f) => f.path).sort();
  assert.deepEqual(files, ['kem-check.mjs', 'kem-client.d.ts', 'kem-client.mjs', 'kem-doctor.mjs', 'kem-wire.mjs', 'package.json']);
  const tarball = path.join(work, packed[0].filename);

  const app = path.join(work, 'app');
  fs.mkdirSync(app);
  fs.writeFileSync(path.join(app, 'package.json'), JSON.stringify({ name: 'app', private: true, type: 'module' }));
  // ws for Node versions without a WebSocket, from the copy the tests already have: nothing is fetched.
  const install = [tarball];
  if (!globalThis.WebSocket) install.push(path.join(here, 'node_modules', 'ws'));
  execFileSync(npm, ['install', '--no-audit', '--no-fund', '--offline', '--loglevel=error', ...install], { cwd: app });
  fs.writeFileSync(path.join(app, 'client.mjs'), `
    import { KemClient } from 'kem-engine-client';
    const kem = new KemClient();
    await kem.connect();
    console.log(await kem.getVersion(), (await kem.getInfo()).engine);
    kem.close();
  `);
  const run = spawnSync(process.execPath, ['client.mjs'], { cwd: app, encoding: 'utf8', timeout: 20000 });
  assert.equal(run.stdout, '1.2.4 KEM Engine\n', run.stderr);
  // kem-doctor --check ships with the package and runs from where npm put it.
  const doctor = spawnSync(process.execPath, [path.join(app, 'node_modules/kem-engine-client/kem-doctor.mjs'), '--check',
    '--seconds', '1'], { cwd: app, encoding: 'utf8', timeout: 30000 });
  assert.equal(doctor.status, 0, doctor.stdout + doctor.stderr);
  assert.match(doctor.stdout, /Verdict: every reply is as documented/);
  fs.rmSync(work, { recursive: true, force: true });
});

test('the README example clients print the version', () => {
  // Exactly as the README shows them, from the top of the tree.
  const node = spawnSync('node', ['examples/node-client.mjs', 'get.version'], { cwd: sourceDir, encoding: 'utf8', timeout: 20000 });
  assert.equal(node.stdout, 'version:1.2.4\n', node.stderr);
  const python = spawnSync('python3', ['examples/python-client.py', 'get.version'], { cwd: sourceDir, encoding: 'utf8', timeout: 20000 });
  assert.equal(python.stdout, 'version:1.2.4\n', python.stderr);
});
