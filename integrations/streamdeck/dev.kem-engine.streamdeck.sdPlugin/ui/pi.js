// The property inspectors' side of the Stream Deck protocol: the application
// calls connectElgatoStreamDeckSocket; this opens the socket and offers the
// page settings, global settings and messages to the plug-in.
/* exported connectElgatoStreamDeckSocket */
const pi = {
  socket: null,
  uuid: null,
  action: null,
  settings: {},
  global: {},
  handlers: { settings: [], global: [], plugin: [] },
  on(kind, handler) { this.handlers[kind].push(handler); },
  send(event, payload) {
    const message = { event, context: this.uuid };
    if (payload !== undefined) message.payload = payload;
    if (event === 'sendToPlugin') message.action = this.action;
    this.socket.send(JSON.stringify(message));
  },
  setSettings(changes) {
    this.settings = { ...this.settings, ...changes };
    this.send('setSettings', this.settings);
  },
  setGlobal(changes) {
    this.global = { ...this.global, ...changes };
    this.send('setGlobalSettings', this.global);
  },
  toPlugin(payload) { this.send('sendToPlugin', payload); },
};

function connectElgatoStreamDeckSocket(port, uuid, registerEvent, info, actionInfo) {
  pi.uuid = uuid;
  const action = JSON.parse(actionInfo);
  pi.action = action.action;
  pi.settings = action.payload?.settings ?? {};
  pi.socket = new WebSocket(`ws://127.0.0.1:${port}`);
  pi.socket.onopen = () => {
    pi.socket.send(JSON.stringify({ event: registerEvent, uuid }));
    pi.send('getGlobalSettings');
    for (const h of pi.handlers.settings) h(pi.settings);
  };
  pi.socket.onmessage = (e) => {
    const message = JSON.parse(e.data);
    if (message.event === 'didReceiveGlobalSettings') {
      pi.global = message.payload?.settings ?? {};
      for (const h of pi.handlers.global) h(pi.global);
    } else if (message.event === 'didReceiveSettings') {
      pi.settings = message.payload?.settings ?? {};
      for (const h of pi.handlers.settings) h(pi.settings);
    } else if (message.event === 'sendToPropertyInspector') {
      for (const h of pi.handlers.plugin) h(message.payload ?? {});
    }
  };
}

// The engine's address, a global setting shown in every inspector.
function engineAddressField() {
  const input = document.getElementById('url');
  pi.on('global', (global) => { input.value = global.url || 'ws://127.0.0.1:7890/'; });
  input.addEventListener('change', () => pi.setGlobal({ url: input.value.trim() || 'ws://127.0.0.1:7890/' }));
}
