// Types of kem-client.mjs, the client for KEM Engine (ws://127.0.0.1:7890/).

export declare const DEFAULT_URL: 'ws://127.0.0.1:7890/';

/** The names under which browsers know the local-network permission, newest first. */
export declare const LOCAL_NETWORK_PERMISSIONS: readonly ['loopback-network', 'local-network-access'];

/** Reason words of the server's error replies. */
export type ServerErrorReason = 'parse' | 'nosuite' | 'notimeline' | 'noclip' | 'range' | 'alloc' | 'count';

/** Reasons the client gives itself. */
export type ClientErrorReason =
  | 'timeout'
  | 'disconnected'
  /** The browser blocks the page from reaching this computer (Local Network Access). */
  | 'local-network-access'
  /** KEM Engine refused the page's origin (HTTP 403); reported in Node only. */
  | 'origin-refused'
  /** Nothing answered at the address. */
  | 'unreachable';

/** get.sequence can also fail with the host's status in decimal, e.g. "0". */
export type KemErrorReason = ServerErrorReason | ClientErrorReason | (string & {});

export declare class KemError extends Error {
  constructor(command: string, reason: KemErrorReason, hint?: string);
  readonly name: 'KemError';
  /** The request (or "connect") that failed. */
  readonly command: string;
  readonly reason: KemErrorReason;
}

/** The connection's state, reported through on('state'). */
export type ConnectionState =
  | 'closed'
  | 'connecting'
  /** Connecting while the browser asks the user for local network access. */
  | 'awaiting-permission'
  | 'open'
  | 'reconnecting'
  /** Local network access is not granted: no retries until it is (or connect() is called). */
  | 'blocked';

/** The page's local-network permission; 'unsupported' in Node and browsers without it. */
export type LocalNetworkPermission = 'granted' | 'denied' | 'prompt' | 'unsupported';

/** The pushed status message, about once a second after subscribe(). */
export interface Vitals {
  v: string;
  playing: boolean;
  idleSec: number;
  paused: boolean;
  recording: boolean;
  rewind: boolean;
  ffwd: boolean;
  /** Timeline seconds per second, two decimals; 0 when unknown. */
  speed: number;
  timecode: string;
  displayMode: number;
  /** Segment count of the current timeline, -1 when none. */
  cuts: number;
  cutsChanged: boolean;
  edited: boolean;
  seqChanged: boolean;
  /** -1 when unknown. */
  markers: number;
  /** -1 when unknown. */
  tracks: number;
  /** -999 when not measured. */
  audioPeakDb: number;
  soloActive: boolean;
}

export type TransportEventType = 'play' | 'stop' | 'pause' | 'record' | 'rewind' | 'ffwd';

export interface TransportEvent {
  kind: 'transport';
  type: TransportEventType;
  on: boolean;
}

export interface MarkerChangedEvent {
  kind: 'marker';
  type: 'changed';
  index: number;
  /** The host's marker count, -1 when it has none to give. */
  count: number;
}

export interface MarkersRebuiltEvent {
  kind: 'marker';
  type: 'rebuild';
  count: number;
}

export type KemEvent = TransportEvent | MarkerChangedEvent | MarkersRebuiltEvent;

export interface Info {
  engine: string;
  version: string;
  api: number;
  platform: string;
  commands: string[];
  unstable: string[];
  events: string[];
  updateUrl: string;
  downloadUrl: string;
  docsUrl: string;
  licenseUrl: string;
  originPolicy: string;
  telemetry: boolean;
}

export interface Sequence {
  timelineID: number;
  ticksPerSecond: number;
  ticksPerFrame: number;
  fps: number;
  dropFrame: boolean;
  width: number;
  height: number;
  parNum: number;
  parDen: number;
  zeroPointTicks: number;
}

export interface ClipSize {
  width: number;
  height: number;
}

export interface TransitionEnd {
  /** The transition's match name, "-" where there is none, "?" for an empty name. */
  name: string;
  /** In ticks. */
  duration: number;
}

export interface Transitions {
  start: TransitionEnd;
  end: TransitionEnd;
}

export interface HostCommand {
  group: string;
  name: string;
  label: string;
  shortcut: string;
}

export interface TimelineScan {
  from: number;
  to: number;
  scanned: number;
  elapsedMs: number;
  budgetHit: boolean;
  hits: number;
  groupsTotal: number;
  groups: { a: number; b: number; n: number; segs: number; markers: number | null }[];
  marked: { id: number; markers: number }[];
}

/** The WebSocket constructor the client uses (the browser's, Node's, or the ws package's). */
export type WebSocketConstructor = new (url: string) => {
  send(data: string): void;
  close(): void;
  onopen: ((event: unknown) => void) | null;
  onclose: ((event: unknown) => void) | null;
  onerror: ((event: unknown) => void) | null;
  onmessage: ((event: { data: unknown }) => void) | null;
};

export interface KemClientOptions {
  /** Per request, default 5000. */
  timeoutMs?: number;
  /** Reconnect after a lost connection, default true. */
  reconnect?: boolean;
  /** First retry delay, doubling up to maxBackoffMs; defaults 250 and 5000. */
  backoffMs?: number;
  maxBackoffMs?: number;
  /** Default: the built-in WebSocket, else the ws package (loaded when first needed). */
  WebSocket?: WebSocketConstructor;
}

export interface ListenerMap {
  state: (state: ConnectionState) => void;
  vitals: (vitals: Vitals) => void;
  event: (event: KemEvent) => void;
  /** Every message as the server sent it. */
  message: (text: string) => void;
  permission: (permission: LocalNetworkPermission) => void;
}

export declare class KemClient {
  constructor(url?: string, options?: KemClientOptions);
  readonly url: string;
  readonly state: ConnectionState;
  /** 'unknown' until first read (connect() or localNetworkAccess()). */
  readonly permission: LocalNetworkPermission | 'unknown';

  /** Resolves once open; rejects with KemError ('local-network-access' | 'origin-refused' | 'unreachable'). */
  connect(): Promise<void>;
  close(): void;
  on<K extends keyof ListenerMap>(kind: K, callback: ListenerMap[K]): () => void;
  localNetworkAccess(): Promise<LocalNetworkPermission>;

  /** Sends a message that gets no reply (a host command name, or vitals.subscribe). */
  send(text: string): void;
  /** Sends one request and reads its replies with take: undefined while more belong to it. */
  request<T>(command: string, take: (message: string) => { value: T } | { error: string } | undefined): Promise<T>;

  getVersion(): Promise<string>;
  getInfo(): Promise<Info>;
  getSequence(id?: number): Promise<Sequence>;
  /** The angle (1-based, 0 for none) at ticks, optionally only on one video track. */
  getAngle(ticks: number | bigint, track?: number): Promise<number>;
  getAngleAtMarker(name: string, track?: number): Promise<number>;
  getClipSize(ticks: number | bigint, options?: { secondTicks?: number | bigint; track?: number }): Promise<ClipSize>;
  getClipSizeAtMarker(name: string, track?: number): Promise<ClipSize>;
  getTransitions(startTicks: number | bigint, endTicks: number | bigint, track?: number): Promise<Transitions>;
  listCommands(): Promise<HostCommand[]>;
  /** Resolves once the host was asked (not when it finished). */
  exec(group: string | null | undefined, name: string): Promise<{ group: string; name: string }>;
  setMulticamAngle(camera: number): Promise<number>;
  /** Renewed after a reconnect. Returns a function that removes the callbacks. */
  subscribe(onVitals?: (vitals: Vitals) => void, onEvent?: (event: KemEvent) => void): () => void;
  dumpAngle(ticks: number | bigint, track?: number): Promise<string[]>;
  scanTimelines(from?: number, to?: number, budgetMs?: number): Promise<TimelineScan>;
}
