#!/usr/bin/env node
// A KEM Engine client in Node, on web/kem-client.mjs.
//
//   node examples/node-client.mjs get.version "get.angle.marker:Interview"
//   node examples/node-client.mjs vitals.subscribe          # prints pushes until Ctrl+C
//
// Node 22 has a WebSocket built in; on Node 20 the client loads the ws package,
// which `make run` installs into web/node_modules.
import { KemClient } from '../web/kem-client.mjs';

const kem = new KemClient(process.env.KEM_URL, { reconnect: false });
try {
  await kem.connect();
} catch (err) {
  console.error(err.message);
  process.exit(1);
}
const FENCE_REPLY = 'sequence.error:notimeline';
kem.on('message', (m) => { if (m !== FENCE_REPLY) console.log(m); });  // every reply, as sent

for (const command of process.argv.slice(2).length ? process.argv.slice(2) : ['get.version']) {
  if (command === 'vitals.subscribe') {
    kem.subscribe();
    await new Promise(() => {});            // until Ctrl+C
  }
  // The protocol answers in order: a fence request shows where this command's replies end.
  kem.send(command);
  await kem.request('get.sequence:-1', (m) => (m === FENCE_REPLY ? { value: m } : undefined))
    .catch(() => {});
}
kem.close();
