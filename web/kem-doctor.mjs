#!/usr/bin/env node
// kem-doctor: why can my panel not connect to KEM Engine? One screen of answers.
//
//   node web/kem-doctor.mjs [--origin URL] [--url ws://127.0.0.1:7890/]
//
// 1. Does anything listen on the port, and is it KEM Engine (version, capabilities)?
// 2. With --origin: does KEM Engine accept that origin? The doctor sends it as
//    the browser would and reports the answer, with the origins.txt to edit.
// 3. With --origin: how browsers classify it for Local Network Access (loopback,
//    private or public, from what its host name resolves to), and what the user
//    must do.
// Exit status 0 when a panel at that origin can connect, 1 otherwise, 2 for bad arguments.
//
//   node web/kem-doctor.mjs --check [--json FILE] [--exec GROUP:NAME ...] [--seconds N] [--marker NAME]
//
// Runs every command that changes nothing, holds each reply to docs/protocol.md,
// times it and prints one table; --json writes the same as a report to attach
// to a bug report. Host commands run only when named with --exec. Exit status 0
// when every reply is as documented, 1 otherwise.
// Needs nothing but Node; talks to the KEM Engine port only.
import net from 'node:net';
import dns from 'node:dns/promises';
import crypto from 'node:crypto';
import os from 'node:os';
import path from 'node:path';
import { frame, readFrames, upgradeRequest, acceptFor } from './kem-wire.mjs';
import { runCheck, formatReport, writeJsonReport } from './kem-check.mjs';

// Where the engine reads the allowlist on this computer: %APPDATA% on Windows,
// the Application Support folder under the home folder elsewhere.
const ALLOWLIST = process.platform === 'win32'
  ? path.join(process.env.APPDATA || path.join(os.homedir(), 'AppData', 'Roaming'), 'KEM Engine', 'origins.txt')
  : path.join(os.homedir(), 'Library', 'Application Support', 'KEM Engine', 'origins.txt');
const BUILT_IN = ['localhost', '127.0.0.1', '[::1]', 'kem-engine.dev', '*.kem-engine.dev', 'kemengine.app', '*.kemengine.app'];

function usage(problem) {
  process.stderr.write(`kem-doctor: ${problem}\nusage: node web/kem-doctor.mjs [--origin URL] [--url ws://127.0.0.1:7890/]\n`
    + '       node web/kem-doctor.mjs --check [--json FILE] [--exec GROUP:NAME ...] [--seconds N] [--marker NAME] [--url URL]\n');
  process.exit(2);
}

function parseArgs(argv) {
  const options = { url: 'ws://127.0.0.1:7890/', origin: null, check: false, json: null, exec: [], seconds: 3, marker: null };
  for (let i = 0; i < argv.length; i += 1) {
    const value = () => (i + 1 < argv.length ? argv[++i] : usage(`${argv[i]} needs a value`));
    if (argv[i] === '--origin') options.origin = value();
    else if (argv[i] === '--url') options.url = value();
    else if (argv[i] === '--check') options.check = true;
    else if (argv[i] === '--json') options.json = value();
    else if (argv[i] === '--marker') options.marker = value();
    else if (argv[i] === '--exec') {
      const command = value();
      if (!command.includes(':') || command.endsWith(':')) usage(`--exec ${command}: give GROUP:NAME (GROUP may be empty)`);
      options.exec.push(command);
    } else if (argv[i] === '--seconds') {
      options.seconds = Number(value());
      if (!(options.seconds > 0 && options.seconds <= 60)) usage('--seconds needs a number from 1 to 60');
    }
    else if (argv[i] === '--help' || argv[i] === '-h') usage('help');
    else usage(`unknown argument ${argv[i]}`);
  }
  return options;
}

// Connects, upgrades (with origin when given), sends requests, collects one reply each.
// Resolves { status: 'refused-port' | 'timeout' | number, headLine, replies }.
function exchange({ host, port }, origin, requests, timeoutMs = 3000) {
  return new Promise((resolve) => {
    const socket = net.connect({ host, port });
    const key = crypto.randomBytes(16).toString('base64');
    let buffer = Buffer.alloc(0);
    let upgraded = false;
    let headLine = '';
    const replies = [];
    const done = (result) => {
      clearTimeout(timer);
      socket.destroy();
      resolve({ headLine, replies, ...result });
    };
    const timer = setTimeout(() => done({ status: upgraded ? 101 : 'timeout' }), timeoutMs);
    socket.on('error', (err) => done({ status: err.code === 'ECONNREFUSED' ? 'refused-port' : err.code ?? 'error' }));
    socket.on('close', () => done({ status: upgraded ? 101 : (headLine ? Number(headLine.split(' ')[1]) : 'closed') }));
    socket.on('connect', () => socket.write(upgradeRequest({ host, port }, key, origin)));
    socket.on('data', (data) => {
      buffer = Buffer.concat([buffer, data]);
      if (!upgraded) {
        const end = buffer.indexOf('\r\n\r\n');
        if (end < 0) return;
        headLine = buffer.subarray(0, buffer.indexOf('\r\n')).toString('latin1');
        const status = Number(headLine.split(' ')[1]);
        if (status !== 101) return done({ status });
        if (!buffer.subarray(0, end).toString('latin1').includes(`Sec-WebSocket-Accept: ${acceptFor(key)}`)) {
          return done({ status: 'bad-accept' });
        }
        upgraded = true;
        buffer = buffer.subarray(end + 4);
        for (const r of requests) socket.write(frame(r));
        if (!requests.length) return done({ status: 101 });
      }
      const [messages, rest] = readFrames(buffer);
      buffer = rest;
      for (const m of messages) if (!m.startsWith('vitals:') && !m.startsWith('event:')) replies.push(m);
      if (replies.length >= requests.length) done({ status: 101 });
    });
  });
}

// --- origins --------------------------------------------------------------------

function builtInMatch(host) {
  return BUILT_IN.some((p) => (p.startsWith('*.') ? host.endsWith(p.slice(1)) && host.length > p.length - 1 : host === p));
}

function classifyAddress(address) {
  const a = address.toLowerCase();
  if (net.isIPv4(a)) {
    const [x, y] = a.split('.').map(Number);
    if (x === 127) return 'loopback';
    if (x === 10 || (x === 172 && y >= 16 && y <= 31) || (x === 192 && y === 168) || (x === 169 && y === 254)
      || (x === 100 && y >= 64 && y <= 127) || x === 0) return 'private';
    return 'public';
  }
  if (a === '::1') return 'loopback';
  const mapped = a.match(/^::ffff:(\d+\.\d+\.\d+\.\d+)$/);
  if (mapped) return classifyAddress(mapped[1]);
  if (/^f[cd]/.test(a) || /^fe[89ab]/.test(a)) return 'private';
  return 'public';
}

const SPACE_RANK = { loopback: 0, private: 1, public: 2 };

// How a browser places the page's host: { space, addresses, note }.
async function classifyHost(host) {
  const bare = host.replace(/^\[|\]$/g, '');
  if (bare === 'localhost' || bare.endsWith('.localhost')) return { space: 'loopback', addresses: [], note: 'is a localhost name' };
  if (net.isIP(bare)) return { space: classifyAddress(bare), addresses: [bare], note: 'is an address' };
  try {
    const found = await Promise.race([
      dns.lookup(bare, { all: true }),
      new Promise((_, reject) => setTimeout(() => reject(new Error('no answer within 3 s')), 3000)),
    ]);
    const addresses = found.map((f) => f.address);
    // The least private of its addresses decides what a browser can count on.
    const space = addresses.map(classifyAddress).sort((p, q) => SPACE_RANK[q] - SPACE_RANK[p])[0] ?? 'public';
    return { space, addresses, note: `resolves to ${addresses.join(', ')}` };
  } catch (err) {
    return { space: 'public', addresses: [], note: `does not resolve here (${err.message}); taken as public` };
  }
}

// --- the report -----------------------------------------------------------------

const lines = [];
const say = (text = '') => lines.push(text);
const row = (label, verdict) => say(`${`  ${label} `.padEnd(36, '.')} ${verdict}`);

async function main() {
  const options = parseArgs(process.argv.slice(2));
  let target;
  try {
    const u = new URL(options.url);
    target = { host: u.hostname.replace(/^\[|\]$/g, ''), port: Number(u.port || 80) };
  } catch {
    usage(`--url ${options.url} is not a URL`);
  }
  if (options.check) {
    const report = await runCheck({ ...options, target });
    process.stdout.write(`${formatReport(report)}\n`);
    if (options.json) writeJsonReport(options.json, report);
    process.exit(report.failed ? 1 : 0);
  }
  let origin = null;
  if (options.origin) {
    try {
      origin = new URL(options.origin);
    } catch {
      usage(`--origin ${options.origin} is not a URL`);
    }
  }
  let ok = true;
  say(`KEM Engine doctor — ${options.url}${origin ? ` for a page at ${origin.origin}` : ''}`);

  // 1 and 2: the listener, and whether it is KEM Engine.
  const plain = await exchange(target, null, ['get.version', 'get.info']);
  if (plain.status === 'refused-port') {
    row(`listener on ${target.host}:${target.port}`, 'none');
    say('    → Nothing listens there. Start the editing host with KEM Engine loaded, or the');
    say('      development host (make run). If it runs, another copy may have failed to get the port.');
    ok = false;
  } else if (plain.status !== 101) {
    row(`listener on ${target.host}:${target.port}`, 'yes');
    row('is it KEM Engine?', `no (${plain.headLine || plain.status})`);
    say('    → Another program holds the port, and KEM Engine cannot listen while it does.');
    say(`      Find it with: ss -ltnp 'sport = :${target.port}'  (or lsof -iTCP:${target.port} -sTCP:LISTEN)`);
    ok = false;
  } else {
    row(`listener on ${target.host}:${target.port}`, 'yes');
    const version = plain.replies.find((r) => r.startsWith('version:'));
    const infoLine = plain.replies.find((r) => r.startsWith('info:'));
    if (!version) {
      row('is it KEM Engine?', 'no: it speaks WebSocket but does not answer get.version');
      ok = false;
    } else {
      let info = null;
      try { info = JSON.parse(infoLine.slice(5)); } catch { /* an older engine */ }
      row('is it KEM Engine?', `yes, version ${version.slice(8)}`
        + (info ? ` (api ${info.api}, ${info.commands.length} commands, origin policy ${info.originPolicy})` : ''));
    }
  }

  // 3 and 4: the origin.
  if (origin) {
    const host = origin.hostname.toLowerCase();
    const scheme = origin.protocol;
    if (plain.status === 101) {
      const withOrigin = await exchange(target, origin.origin, []);
      if (withOrigin.status === 101) {
        row(`origin ${origin.origin}`, `accepted${builtInMatch(host) ? ' (built in)' : ' (origins.txt)'}`);
      } else if (withOrigin.status === 403) {
        row(`origin ${origin.origin}`, 'refused (HTTP 403)');
        say(`    → Add the line "${host}" to ${ALLOWLIST}`);
        say('      (read afresh for every connection: no restart needed).');
        ok = false;
      } else {
        row(`origin ${origin.origin}`, `no answer (${withOrigin.status})`);
        ok = false;
      }
    } else {
      row(`origin ${origin.origin}`, 'not asked: nothing to ask');
    }
    const where = await classifyHost(host);
    const secure = scheme === 'https:' || where.space === 'loopback';
    row('Local Network Access', `${where.space} page (${host} ${where.note})`);
    if (where.space === 'loopback') {
      say('    → Served from this computer: browsers let it reach KEM Engine without asking.');
    } else {
      say(`    → A ${where.space} page reaching this computer needs the user's permission in Chrome, Edge`);
      say('      and other Chromium browsers (version 147 on); Firefox and Safari do not ask yet.');
      if (!secure) {
        say('      This page is plain http, so the browser cannot even ask: serve it over https.');
        ok = false;
      } else {
        say('      The browser asks the first time the page connects: the user chooses Allow. Later:');
        say('      site settings (the icon left of the address bar) → Local network access → Allow.');
        say('      Managed machines: the policy LocalNetworkAccessAllowedForUrls lists sites allowed ahead.');
      }
    }
  }

  say();
  say(ok ? 'Verdict: a panel here can connect.' : 'Verdict: fix the items marked → above.');
  say('More: docs/browsers.md (troubleshooting table), docs/protocol.md (origin policy).');
  process.stdout.write(`${lines.join('\n')}\n`);
  process.exit(ok ? 0 : 1);
}

main();
