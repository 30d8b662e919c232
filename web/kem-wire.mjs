// The WebSocket wire as KEM Engine speaks it, over a raw socket and nothing but
// Node: kem-doctor uses it to see exactly what came, byte for byte.
import net from 'node:net';
import crypto from 'node:crypto';

export const ACCEPT_GUID = '258EAFA5-E914-47DA-95CA-C5AB0DC85B11';

// One masked client text frame.
export function frame(text) {
  const payload = Buffer.from(text);
  const mask = crypto.randomBytes(4);
  const head = payload.length < 126 ? Buffer.from([0x81, 0x80 | payload.length])
    : Buffer.from([0x81, 0x80 | 126, payload.length >> 8, payload.length & 255]);
  const body = Buffer.from(payload.map((b, i) => b ^ mask[i % 4]));
  return Buffer.concat([head, mask, body]);
}

// Unmasked server text frames from a buffer: [messages, rest].
export function readFrames(buffer) {
  const messages = [];
  let at = 0;
  while (buffer.length - at >= 2) {
    let length = buffer[at + 1] & 0x7f;
    let start = at + 2;
    if (length === 126) {
      if (buffer.length - at < 4) break;
      length = buffer.readUInt16BE(at + 2);
      start = at + 4;
    } else if (length === 127) {
      if (buffer.length - at < 10) break;
      length = Number(buffer.readBigUInt64BE(at + 2));
      start = at + 10;
    }
    if (buffer.length < start + length) break;
    if ((buffer[at] & 0x0f) === 1) messages.push(buffer.subarray(start, start + length).toString('utf8'));
    at = start + length;
  }
  return [messages, buffer.subarray(at)];
}

// The upgrade request for host:port, with an Origin when given.
export function upgradeRequest({ host, port }, key, origin = null) {
  return `GET / HTTP/1.1\r\nHost: ${host}:${port}\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n`
    + `Sec-WebSocket-Key: ${key}\r\nSec-WebSocket-Version: 13\r\n${origin ? `Origin: ${origin}\r\n` : ''}\r\n`;
}

export function acceptFor(key) {
  return crypto.createHash('sha1').update(`${key}${ACCEPT_GUID}`).digest('base64');
}

// An upgraded connection that hands every text message to onMessage.
// Resolves { session } or { error } (refused-port, timeout, HTTP status, bad-accept).
export function openSession(target, { origin = null, timeoutMs = 3000, onMessage = () => {} } = {}) {
  return new Promise((resolve) => {
    const socket = net.connect({ host: target.host, port: target.port });
    const key = crypto.randomBytes(16).toString('base64');
    let buffer = Buffer.alloc(0);
    let upgraded = false;
    let closed = false;
    const session = {
      send(text) { if (!closed) socket.write(frame(text)); },
      close() { closed = true; socket.destroy(); },
      get closed() { return closed; },
    };
    const fail = (error) => {
      clearTimeout(timer);
      closed = true;
      socket.destroy();
      resolve({ error });
    };
    const timer = setTimeout(() => fail('timeout'), timeoutMs);
    socket.on('error', (err) => (upgraded ? session.close() : fail(err.code === 'ECONNREFUSED' ? 'refused-port' : err.code ?? 'error')));
    socket.on('close', () => { closed = true; if (!upgraded) fail('closed'); });
    socket.on('connect', () => socket.write(upgradeRequest(target, key, origin)));
    socket.on('data', (data) => {
      buffer = Buffer.concat([buffer, data]);
      if (!upgraded) {
        const end = buffer.indexOf('\r\n\r\n');
        if (end < 0) return;
        const head = buffer.subarray(0, end).toString('latin1');
        const status = Number(head.split('\r\n')[0].split(' ')[1]);
        if (status !== 101) return fail(`HTTP ${status || head.split('\r\n')[0]}`);
        if (!head.includes(`Sec-WebSocket-Accept: ${acceptFor(key)}`)) return fail('bad-accept');
        upgraded = true;
        clearTimeout(timer);
        buffer = buffer.subarray(end + 4);
        resolve({ session });
      }
      const [messages, rest] = readFrames(buffer);
      buffer = rest;
      for (const m of messages) onMessage(m);
    });
  });
}
