// The demo panel: every command of KEM Engine on one page, through kem-client.mjs.
import { KemClient } from '/lib/kem-client.mjs';

const TICKS_PER_SECOND = 254016000000;
const $ = (id) => document.getElementById(id);
const ticks = (seconds) => Math.round(Number(seconds) * TICKS_PER_SECOND);

let kem = null;
let liveCamera = 0;

function status(text) { $('status').textContent = text; }
function fail(err) { status(err.reason ? `${err.command} → ${err.reason}` : String(err)); }

// One short banner for what keeps the panel from the engine, in plain words with the fix.
function banner(kind, text) {
  const b = $('access-banner');
  b.hidden = !text;
  b.dataset.kind = kind ?? '';
  b.textContent = text ?? '';
}

const BANNERS = {
  'awaiting-permission': 'Your browser is asking whether this page may reach KEM Engine on this computer. '
    + 'Choose “Allow” in the prompt by the address bar.',
  'local-network-access': 'Your browser blocks this page from reaching KEM Engine on this computer. '
    + 'Allow “Local network access” for this site (site settings, by the address bar); '
    + 'the panel connects by itself once it is allowed.',
  'local-network-access-insecure': 'This page comes over plain http from the internet, so your browser cannot even '
    + 'ask for access to this computer. Open the panel over https.',
  unreachable: 'KEM Engine does not answer. Is the editing host (or the development host) running? '
    + '`node web/kem-doctor.mjs` tells you why.',
};

function connect() {
  if (kem) kem.close();
  kem = new KemClient($('url').value.trim(), { timeoutMs: 8000 });
  kem.on('state', (state) => {
    const badge = $('connection');
    badge.dataset.state = state;
    badge.textContent = state === 'open' ? 'connected' : state;
    if (state === 'open') {
      banner(null, null);
      onOpen();
    }
    if (state === 'awaiting-permission') banner(state, BANNERS[state]);
  });
  kem.subscribe(showVitals, logEvent);
  kem.connect().catch((err) => {
    const kind = err.reason === 'local-network-access' && !window.isSecureContext
      ? 'local-network-access-insecure' : err.reason;
    banner(kind, BANNERS[kind] ?? err.message);
  });
}

async function onOpen() {
  try {
    $('version').textContent = `v${await kem.getVersion()}`;
    const info = await kem.getInfo();
    $('capabilities').textContent =
      `${info.engine} ${info.version} · api ${info.api} · commands: ${info.commands.join(', ')} · ` +
      `unstable: ${info.unstable.join(', ')} · origin policy: ${info.originPolicy}`;
    await describeSequence();
  } catch (err) { fail(err); }
}

function showVitals(v) {
  for (const lamp of document.querySelectorAll('.lamp')) lamp.classList.toggle('on', Boolean(v[lamp.dataset.key]));
  for (const flag of document.querySelectorAll('.flag')) flag.classList.toggle('on', Boolean(v[flag.dataset.key]));
  $('timecode').textContent = v.timecode || '--:--:--:--';
  $('speed').textContent = `${v.speed.toFixed(2)}×`;
  $('idle').textContent = `${v.idleSec} s`;
  $('cuts').textContent = v.cuts < 0 ? '–' : v.cuts;
  $('markers').textContent = v.markers < 0 ? '–' : v.markers;
  $('tracks').textContent = v.tracks < 0 ? '–' : v.tracks;
  const peak = v.audioPeakDb;
  const measured = peak > -999;
  $('peak').textContent = measured ? `${peak.toFixed(1)} dB` : '–';
  // -60 dB .. 0 dB across the meter.
  $('meter-fill').style.width = measured ? `${Math.max(0, Math.min(100, (peak + 60) / 60 * 100))}%` : '0';
}

function logEvent(e) {
  const item = document.createElement('li');
  const time = new Date().toLocaleTimeString();
  item.textContent = e.kind === 'transport'
    ? `${time}  ${e.type} ${e.on ? 'on' : 'off'}`
    : `${time}  marker ${e.type}${e.index !== undefined ? ` #${e.index}` : ''} (count ${e.count})`;
  $('events').prepend(item);
  while ($('events').children.length > 200) $('events').lastChild.remove();
}

function buildCameras() {
  for (let n = 1; n <= 16; n += 1) {
    const button = document.createElement('button');
    button.textContent = n;
    button.dataset.camera = n;
    button.title = `Switch to camera ${n}`;
    button.addEventListener('click', async () => {
      try {
        await kem.setMulticamAngle(n);
        for (const b of $('cameras').children) b.classList.toggle('sent', Number(b.dataset.camera) === n);
        status(`camera ${n} sent to the host`);
      } catch (err) { fail(err); }
    });
    $('cameras').append(button);
  }
}

function markLive(angle) {
  liveCamera = angle;
  for (const b of $('cameras').children) b.classList.toggle('live', Number(b.dataset.camera) === liveCamera);
}

async function describeSequence() {
  const id = $('sequence-id').value.trim();
  const seq = await kem.getSequence(id === '' ? undefined : Number(id));
  const facts = [
    ['Timeline', seq.timelineID], ['Frame size', `${seq.width} × ${seq.height}`], ['Frame rate', `${seq.fps} fps`],
    ['Drop frame', seq.dropFrame ? 'yes' : 'no'], ['Pixel aspect', `${seq.parNum}:${seq.parDen}`],
    ['Ticks/frame', seq.ticksPerFrame], ['Ticks/second', seq.ticksPerSecond], ['Zero point', seq.zeroPointTicks],
  ];
  $('sequence').replaceChildren(...facts.flatMap(([k, v]) => {
    const dt = document.createElement('dt'); dt.textContent = k;
    const dd = document.createElement('dd'); dd.textContent = v;
    return [dt, dd];
  }));
}

function optionalTrack(input) {
  const t = input.value.trim();
  return t === '' ? undefined : Number(t);
}

function on(id, handler) {
  $(id).addEventListener(id.endsWith('-form') ? 'submit' : 'click', async (event) => {
    event.preventDefault();
    try { await handler(); } catch (err) { fail(err); }
  });
}

on('angle-form', async () => {
  const at = $('angle-at').value;
  const track = optionalTrack($('angle-track'));
  const angle = $('angle-by').value === 'marker' ? await kem.getAngleAtMarker(at, track) : await kem.getAngle(ticks(at), track);
  $('angle-result').textContent = angle === 0 ? 'none' : `camera ${angle}`;
  markLive(angle);
});

on('sequence-form', describeSequence);

on('clip-form', async () => {
  const at = $('clip-at').value;
  const track = optionalTrack($('clip-track'));
  const size = $('clip-by').value === 'marker'
    ? await kem.getClipSizeAtMarker(at, track)
    : await kem.getClipSize(ticks(at), { track: track ?? -1 });
  $('clip-result').textContent = size.width ? `${size.width} × ${size.height}` : 'nothing on screen';
});

on('transitions-form', async () => {
  const t = await kem.getTransitions(ticks($('tr-start').value), ticks($('tr-end').value), Number($('tr-track').value));
  const show = (end) => (end.name === '-' ? 'none' : `${end.name} (${(end.duration / TICKS_PER_SECOND).toFixed(2)} s)`);
  $('tr-in').textContent = show(t.start);
  $('tr-out').textContent = show(t.end);
});

let commands = [];
function renderCommands() {
  const filter = $('command-filter').value.toLowerCase();
  const items = commands
    .filter((c) => `${c.group} ${c.name} ${c.label}`.toLowerCase().includes(filter))
    .map((c) => {
      const li = document.createElement('li');
      const text = document.createElement('span');
      text.append(document.createTextNode(c.label || c.name), ' ');
      const small = document.createElement('small');
      small.textContent = `${c.group} · ${c.name}${c.shortcut ? ` · ${c.shortcut}` : ''}`;
      text.append(small);
      const run = document.createElement('button');
      run.textContent = 'Run';
      run.addEventListener('click', async () => {
        try { await kem.exec(c.group, c.name); status(`${c.name} sent to the host`); } catch (err) { fail(err); }
      });
      li.append(text, run);
      return li;
    });
  $('commands').replaceChildren(...items);
}
on('commands-load', async () => { commands = await kem.listCommands(); renderCommands(); });
$('command-filter').addEventListener('input', renderCommands);

on('dump', async () => { $('diagnostics').textContent = (await kem.dumpAngle(ticks($('dump-time').value))).join('\n'); });
on('scan', async () => { $('diagnostics').textContent = JSON.stringify(await kem.scanTimelines(0, 4096, 1000), null, 2); });
$('reconnect').addEventListener('click', connect);

buildCameras();
connect();
