// Starts kem-devhost with a project and waits for its ready line; stops it through `quit`.
import { spawn } from 'node:child_process';
import { fileURLToPath } from 'node:url';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import readline from 'node:readline';

const here = path.dirname(fileURLToPath(import.meta.url));
export const sourceDir = path.resolve(here, '../..');
// A HOME of its own whose origins.txt allows these hosts (for devhost.env.HOME).
export function homeWithOrigins(hosts) {
  const home = fs.mkdtempSync(path.join(os.tmpdir(), 'kem-home-'));
  const folder = path.join(home, 'Library', 'Application Support', 'KEM Engine');
  fs.mkdirSync(folder, { recursive: true });
  fs.writeFileSync(path.join(folder, 'origins.txt'), `${hosts.join('\n')}\n`);
  return home;
}

export const devhostPath = process.env.KEM_DEVHOST ?? path.join(sourceDir, 'build/kem-devhost');

// options.env: extra environment (HOME, to give the host its own origins.txt).
export async function startDevHost(args = [], options = {}) {
  const child = spawn(devhostPath, ['--project', path.join(sourceDir, 'examples/demo-project.json'), ...args], {
    stdio: ['pipe', 'pipe', 'pipe'],
    env: { ...process.env, ...(options.env ?? {}) },
  });
  const lines = [];
  const waiters = [];
  readline.createInterface({ input: child.stdout }).on('line', (line) => {
    lines.push(line);
    for (const w of waiters.splice(0)) w();
  });
  let stderr = '';
  child.stderr.on('data', (d) => { stderr += d; });

  const host = {
    child,
    lines,
    get stderr() { return stderr; },
    send(line) { child.stdin.write(line + '\n'); },
    // Resolves with the first stdout line that matches, waiting up to ms.
    async waitForLine(match, ms = 5000) {
      const deadline = Date.now() + ms;
      for (;;) {
        const found = lines.find((l) => (typeof match === 'string' ? l === match : match.test(l)));
        if (found !== undefined) return found;
        if (Date.now() > deadline) throw new Error(`no line ${match}; got ${JSON.stringify(lines)}`);
        await new Promise((r) => { waiters.push(r); setTimeout(r, 100); });
      }
    },
    async stop() {
      if (child.exitCode !== null) return child.exitCode;
      host.send('quit');
      return new Promise((resolve) => child.on('exit', (code) => resolve(code)));
    },
  };
  await host.waitForLine(/^ready /);
  if (!lines.includes('ready listening')) throw new Error('the development host has no listener');
  return host;
}
