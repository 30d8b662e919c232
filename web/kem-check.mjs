// kem-doctor --check: runs every command that changes nothing against the
// running engine, holds each reply to the grammar of docs/protocol.md, times
// it, and reports what passed, what failed and what could not be checked.
import fs from 'node:fs';
import os from 'node:os';
import { openSession } from './kem-wire.mjs';

const VITALS_KEYS = ['v', 'playing', 'idleSec', 'paused', 'recording', 'rewind', 'ffwd', 'speed', 'timecode',
  'displayMode', 'cuts', 'cutsChanged', 'edited', 'seqChanged', 'markers', 'tracks', 'audioPeakDb', 'soloActive'];
const SEQUENCE_KEYS = ['timelineID', 'ticksPerSecond', 'ticksPerFrame', 'fps', 'dropFrame', 'width', 'height',
  'parNum', 'parDen', 'zeroPointTicks'];
const INT = /^-?\d+$/;

// Each grammar takes the replies of one request and answers
// { ok: true, note?, warning? } or { ok: false, wanted }.
const pass = (extra = {}) => ({ ok: true, ...extra });
const fail = (wanted) => ({ ok: false, wanted });

function jsonAfter(prefix, text) {
  if (!text.startsWith(prefix)) return { error: `a reply starting "${prefix}"` };
  try {
    const value = JSON.parse(text.slice(prefix.length));
    if (value === null || typeof value !== 'object' || Array.isArray(value)) return { error: `"${prefix}" and one JSON object` };
    return { value };
  } catch {
    return { error: `"${prefix}" and one well-formed JSON object` };
  }
}

function hasKeysInOrder(object, keys) {
  return JSON.stringify(Object.keys(object)) === JSON.stringify(keys);
}

function single(replies, check) {
  if (replies.length !== 1) return fail(`exactly one reply (got ${replies.length})`);
  return check(replies[0]);
}

export const GRAMMAR = {
  version: (replies) => single(replies, (r) => (/^version:\d+\.\d+\.\d+$/.test(r) ? pass() : fail('version:MAJOR.MINOR.PATCH'))),
  info: (replies) => single(replies, (r) => {
    const { value, error } = jsonAfter('info:', r);
    if (error) return fail(error);
    const problems = [];
    if (value.engine !== 'KEM Engine') problems.push('"engine":"KEM Engine"');
    if (typeof value.version !== 'string') problems.push('"version" as text');
    if (!Number.isInteger(value.api)) problems.push('"api" as a whole number');
    if (!['mac', 'win'].includes(value.platform)) problems.push('"platform" "mac" or "win"');
    if (!Array.isArray(value.commands) || !value.commands.every((c) => typeof c === 'string')) problems.push('"commands" as a list of names');
    if (typeof value.telemetry !== 'boolean') problems.push('"telemetry" true or false');
    return problems.length ? fail(`info: with ${problems.join(', ')}`) : pass();
  }),
  sequence: (replies) => single(replies, (r) => {
    if (r === 'sequence.error:notimeline') return pass({ warning: 'no sequence open in the host' });
    if (/^sequence\.error:(nosuite|-?\d+)$/.test(r)) return pass({ warning: `the host could not describe the sequence (${r})` });
    const { value, error } = jsonAfter('sequence:', r);
    if (error) return fail(`${error}, or sequence.error:REASON`);
    if (!hasKeysInOrder(value, SEQUENCE_KEYS)) return fail(`sequence: with the keys ${SEQUENCE_KEYS.join(', ')} in that order`);
    const numbers = SEQUENCE_KEYS.filter((k) => k !== 'dropFrame').every((k) => typeof value[k] === 'number');
    if (!numbers || typeof value.dropFrame !== 'boolean') return fail('sequence: with numbers, and dropFrame true or false');
    return pass({ note: `timeline ${value.timelineID}, ${value.width}×${value.height}, ${value.fps} fps` });
  }),
  commands: (replies) => {
    const last = replies.at(-1) ?? '';
    if (/^commands\.error:(nosuite|count)$/.test(last) && replies.length === 1) return pass({ warning: `the host lists no commands (${last})` });
    const done = last.match(/^commands\.done:(\d+)$/);
    if (!done) return fail('command: lines ending in commands.done:COUNT, or commands.error:nosuite|count');
    const lines = replies.slice(0, -1);
    const bad = lines.find((l) => !l.startsWith('command:') || l.split(':').length !== 5);
    if (bad !== undefined) return fail(`every line command:GROUP:NAME:LABEL:SHORTCUT (five fields), not ${JSON.stringify(bad)}`);
    if (lines.length > Number(done[1])) return fail(`at most ${done[1]} command: lines before commands.done:${done[1]}`);
    return pass({ note: `${lines.length} commands` });
  },
  angle: (replies) => single(replies, (r) => (/^angle:\d+$/.test(r) ? pass() : fail('angle:N'))),
  clipsize: (replies) => single(replies, (r) => (/^clipsize:\d+:\d+$/.test(r) ? pass() : fail('clipsize:WIDTH:HEIGHT'))),
  transitions: (replies) => single(replies, (r) => {
    if (r === 'transitions.error:noclip') return pass({ note: 'no clip there' });
    if (!r.startsWith('transitions:')) return fail('transitions:IN:DURATION:OUT:DURATION, or transitions.error:noclip');
    // Names may hold ':'; the two durations are the whole numbers that end each half.
    const m = r.slice('transitions:'.length).match(/^(.+):(-?\d+):(.+):(-?\d+)$/);
    return m ? pass() : fail('transitions:IN:DURATION:OUT:DURATION, or transitions.error:noclip');
  }),
  exec: (request) => (replies) => single(replies, (r) => (
    r === `exec.ok:${request.slice(5)}` ? pass() : r.startsWith('exec.error:') ? fail(`exec.ok:${request.slice(5)} (the host refused: ${r})`) : fail(`exec.ok:${request.slice(5)}`))),
};

// When the replies to a request are complete.
function complete(kind, replies) {
  if (kind === 'commands') return replies.some((r) => /^commands\.(done|error):/.test(r));
  return replies.length >= 1;
}

export function vitalsProblem(message) {
  const { value, error } = jsonAfter('vitals:', message);
  if (error) return error;
  if (!hasKeysInOrder(value, VITALS_KEYS)) return `vitals: with the keys ${VITALS_KEYS.join(', ')} in that order`;
  return null;
}

function eventProblem(message) {
  const m = message.match(/^event:(transport|marker):(.*)$/);
  if (!m) return 'event:transport:{...} or event:marker:{...}';
  try {
    JSON.parse(m[2]);
    return null;
  } catch {
    return `event:${m[1]}: and one well-formed JSON object`;
  }
}

// One connection that answers request by request; after a request that got no
// reply in time the connection is replaced, so a late reply is never taken as
// the next request's.
class Prober {
  constructor(target, timeoutMs) {
    this.target = target;
    this.timeoutMs = timeoutMs;
    this.session = null;
    this.pending = null;
    this.pushes = [];
  }

  async connect() {
    const opened = await openSession(this.target, {
      timeoutMs: this.timeoutMs,
      onMessage: (m) => this.onMessage(m),
    });
    if (opened.error) return opened.error;
    this.session = opened.session;
    return null;
  }

  onMessage(message) {
    if (message.startsWith('vitals:') || message.startsWith('event:')) {
      this.pushes.push({ at: Date.now(), message });
      return;
    }
    if (!this.pending) return;
    this.pending.replies.push(message);
    if (complete(this.pending.kind, this.pending.replies)) this.pending.finish(false);
  }

  async ask(kind, request) {
    if (!this.session || this.session.closed) {
      const error = await this.connect();
      if (error) return { replies: [], ms: 0, timedOut: true, error };
    }
    const started = process.hrtime.bigint();
    return new Promise((resolve) => {
      const replies = [];
      const finish = (timedOut) => {
        clearTimeout(timer);
        this.pending = null;
        const ms = Number(process.hrtime.bigint() - started) / 1e6;
        if (timedOut) {
          this.session.close();
          this.session = null;
        }
        resolve({ replies, ms, timedOut });
      };
      const timer = setTimeout(() => finish(true), this.timeoutMs);
      this.pending = { kind, replies, finish };
      this.session.send(request);
    });
  }

  close() {
    if (this.session) this.session.close();
  }
}

// Runs the check. options: { target, url, seconds, exec: [GROUP:NAME], timeoutMs, marker }.
// Resolves the report: { engine, platform, url, results: [...], warnings: [...], failed }.
export async function runCheck(options) {
  const { target, seconds = 3, timeoutMs = 2000 } = options;
  const prober = new Prober(target, timeoutMs);
  const results = [];
  const warnings = [];
  const record = (command, request, outcome, verdict) => {
    results.push({
      command,
      request,
      ok: verdict.ok,
      ms: Math.round(outcome.ms * 10) / 10,
      replies: outcome.replies,
      ...(verdict.ok ? {} : { wanted: verdict.wanted }),
      ...(verdict.note ? { note: verdict.note } : {}),
    });
    if (verdict.warning) warnings.push(`${command}: ${verdict.warning}`);
  };

  const connectError = await prober.connect();
  if (connectError) {
    results.push({ command: 'connect', request: options.url, ok: false, ms: 0, replies: [],
      wanted: `a WebSocket upgrade (101) from KEM Engine; got ${connectError}` });
    return { engine: null, platform: null, url: options.url, results, warnings, failed: 1 };
  }

  const probe = async (kind, request, grammar = GRAMMAR[kind]) => {
    const outcome = await prober.ask(kind, request);
    if (outcome.timedOut) {
      const why = outcome.error ? `could not reconnect (${outcome.error})`
        : outcome.replies.length ? `the rest of the reply within ${timeoutMs} ms` : `a reply within ${timeoutMs} ms`;
      record(request.split(':')[0], request, outcome, fail(why));
      return null;
    }
    record(request.split(':')[0], request, outcome, grammar(outcome.replies));
    return outcome.replies;
  };

  const version = await probe('version', 'get.version');
  const info = await probe('info', 'get.info');
  let infoValue = null;
  if (info?.length === 1) infoValue = jsonAfter('info:', info[0]).value ?? null;
  await probe('sequence', 'get.sequence');
  await probe('commands', 'get.commands');
  await probe('angle', 'get.angle:0');
  await probe('clipsize', 'get.clipsize:0:-1');
  await probe('transitions', 'get.transitions:0:254016000000:-1');

  // Pushes: subscribe, and watch for a few seconds.
  const subscribedAt = Date.now();
  if (!prober.session) await prober.connect();
  prober.session?.send('vitals.subscribe');
  await new Promise((r) => setTimeout(r, seconds * 1000));
  const pushes = prober.pushes.filter((p) => p.at >= subscribedAt);
  const vitals = pushes.filter((p) => p.message.startsWith('vitals:'));
  const badPush = pushes.map((p) => [p.message, p.message.startsWith('vitals:') ? vitalsProblem(p.message) : eventProblem(p.message)])
    .find(([, problem]) => problem);
  const vitalsOutcome = { ms: vitals.length ? vitals[0].at - subscribedAt : seconds * 1000, replies: pushes.slice(0, 3).map((p) => p.message) };
  let markers = 0;
  if (badPush) {
    record('vitals.subscribe', 'vitals.subscribe', vitalsOutcome, fail(`${badPush[1]}, not ${JSON.stringify(badPush[0].slice(0, 120))}`));
  } else if (vitals.length === 0) {
    record('vitals.subscribe', 'vitals.subscribe', vitalsOutcome, fail(`a vitals: message about once a second (none in ${seconds} s)`));
  } else {
    const last = JSON.parse(vitals.at(-1).message.slice(7));
    markers = last.markers;
    record('vitals.subscribe', 'vitals.subscribe', vitalsOutcome, pass({ note: `${vitals.length} vitals in ${seconds} s` }));
  }

  // The marker forms, when the host has markers (with any name, the grammar shows).
  if (markers > 0 || options.marker) {
    const name = options.marker ?? 'kem-doctor-probe';
    await probe('angle', `get.angle.marker:${name}`);
    await probe('clipsize', `get.clipsize.marker:${name}`);
  } else {
    warnings.push('the host reports no markers: the marker forms were not asked');
  }

  for (const command of options.exec ?? []) {
    const request = `exec:${command}`;
    await probe('exec', request, GRAMMAR.exec(request));
  }
  prober.close();

  const engine = version?.[0]?.startsWith('version:') ? version[0].slice(8) : null;
  return {
    engine,
    platform: infoValue?.platform ?? null,
    url: options.url,
    results,
    warnings,
    failed: results.filter((r) => !r.ok).length,
  };
}

// The table people read.
export function formatReport(report) {
  const lines = [`KEM Engine check — ${report.url}${report.engine ? ` (engine ${report.engine}, ${report.platform ?? 'platform unknown'})` : ''}`];
  const width = Math.max(...report.results.map((r) => r.request.length), 8);
  lines.push('', `  ${'result'.padEnd(6)}  ${'request'.padEnd(width)}  ${'time'.padStart(9)}  detail`);
  for (const r of report.results) {
    const detail = r.ok ? (r.note ?? '') : `came ${r.replies.length ? JSON.stringify(r.replies.length > 1 ? r.replies.slice(0, 2) : r.replies[0]) : 'nothing'}; wanted ${r.wanted}`;
    lines.push(`  ${(r.ok ? 'pass' : 'FAIL').padEnd(6)}  ${r.request.padEnd(width)}  ${`${r.ms.toFixed(1)} ms`.padStart(9)}  ${detail}`);
  }
  for (const w of report.warnings) lines.push(`  warn    ${w}`);
  lines.push('', report.failed ? `Verdict: ${report.failed} failed. Attach the --json report to your bug report.` : 'Verdict: every reply is as documented.');
  return lines.join('\n');
}

// The report to attach to a bug report: what the host answered, nothing else of the user's.
export function writeJsonReport(file, report) {
  const body = {
    tool: 'kem-doctor --check',
    checkedAt: new Date().toISOString(),
    node: process.version,
    system: `${os.platform()} ${os.release()} ${os.arch()}`,
    ...report,
  };
  fs.writeFileSync(file, `${JSON.stringify(body, null, 2)}\n`);
}
