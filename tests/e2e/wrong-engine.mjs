// A stand-in for the engine that answers some commands wrongly, on a port of
// the test's: the right version, then a malformed info object, a wrong prefix
// for the sequence, no reply at all to get.commands, and the angle only after
// three seconds. Everything else as the demo project would answer.
import { WebSocketServer } from 'ws';

export function startWrongEngine(port) {
  const server = new WebSocketServer({ host: '127.0.0.1', port });
  server.on('connection', (ws) => {
    let timer = null;
    ws.on('message', (data) => {
      const text = String(data);
      if (text === 'get.version') ws.send('version:1.2.4');
      else if (text === 'get.info') ws.send('info:{"engine":"KEM Engine","version":"1.2.4",');
      else if (text === 'get.sequence') ws.send('sequense:{"timelineID":1}');
      else if (text === 'get.commands') { /* no reply */ }
      else if (text.startsWith('get.angle:')) setTimeout(() => ws.readyState === 1 && ws.send('angle:3'), 3000);
      else if (text.startsWith('get.clipsize')) ws.send('clipsize:1920:1080');
      else if (text.startsWith('get.transitions:')) ws.send('transitions:-:0:-:0');
      else if (text === 'vitals.subscribe') {
        const vitals = 'vitals:{"v":"1.2.4","playing":false,"idleSec":0,"paused":false,"recording":false,"rewind":false,'
          + '"ffwd":false,"speed":0.00,"timecode":"00;00;00;00","displayMode":0,"cuts":0,"cutsChanged":false,'
          + '"edited":false,"seqChanged":false,"markers":0,"tracks":0,"audioPeakDb":-999.0,"soloActive":false}';
        timer = setInterval(() => ws.send(vitals), 500);
      }
    });
    ws.on('close', () => clearInterval(timer));
  });
  return new Promise((resolve) => server.on('listening', () => resolve(server)));
}
