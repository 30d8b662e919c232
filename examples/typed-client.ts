// A typed KEM Engine client (TypeScript): the package's types in use.
//   npm install kem-engine-client     (and ws on Node 20)
import {
  KemClient,
  KemError,
  type ConnectionState,
  type KemEvent,
  type LocalNetworkPermission,
  type Sequence,
  type Vitals,
} from 'kem-engine-client';

const kem = new KemClient('ws://127.0.0.1:7890/', { timeoutMs: 8000 });

kem.on('state', (state: ConnectionState) => {
  if (state === 'awaiting-permission') console.log('Allow local network access in the browser prompt.');
  if (state === 'blocked') console.log('Local network access is blocked for this page.');
});
kem.on('permission', (permission: LocalNetworkPermission) => console.log(`local network access: ${permission}`));

try {
  await kem.connect();
} catch (err) {
  if (err instanceof KemError && err.reason === 'local-network-access') console.log(err.message);
  throw err;
}

const version: string = await kem.getVersion();
const sequence: Sequence = await kem.getSequence();
const fps: number = sequence.fps;
const angle: number = await kem.getAngleAtMarker('Interview');
const { width, height } = await kem.getClipSize(0, { track: 1 });
const transitions = await kem.getTransitions(0, 254016000000, 0);
const startName: string = transitions.start.name;
const commands = await kem.listCommands();
const firstLabel: string | undefined = commands[0]?.label;
const ran = await kem.exec('', 'cmd.transport.play');
const camera: number = await kem.setMulticamAngle(2);
console.log(version, fps, angle, width, height, startName, firstLabel, ran.name, camera);

const stop = kem.subscribe(
  (vitals: Vitals) => console.log(vitals.timecode, vitals.playing, vitals.audioPeakDb),
  (event: KemEvent) => {
    if (event.kind === 'transport') console.log(event.type, event.on);
    else if (event.type === 'changed') console.log('marker', event.index, event.count);
    else console.log('markers rebuilt', event.count);
  },
);
stop();
kem.close();
