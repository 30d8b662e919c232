// Every example exchange in docs/protocol.md, asked of the development host
// with the demo project in the order the page shows them: "> " lines are
// requests, the "< " lines after one are its replies, and "  ..." stands for
// replies the page leaves out. Node ids in dump lines are the host's handles
// and differ from run to run, so they are compared as "id=N".
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import WebSocket from 'ws';
import { startDevHost, sourceDir } from './devhost.mjs';

// [{request, replies: [text | null for "..."]}] from the fenced blocks.
function examples(markdown) {
  const out = [];
  let inBlock = false;
  for (const line of markdown.split('\n')) {
    if (line.startsWith('```')) {
      inBlock = !inBlock;
      continue;
    }
    if (!inBlock) continue;
    if (line.startsWith('> ')) out.push({ request: line.slice(2), replies: [] });
    else if (line.startsWith('< ') && out.length) out.at(-1).replies.push(line.slice(2));
    else if (line.trim() === '...' && out.length) out.at(-1).replies.push(null);
  }
  return out;
}

const sameIds = (text) => text?.replace(/ NODE id=\d+ /, ' NODE id=N ');

// The server's whole answer to one request: messages until a fence request's reply.
const fence = 'get.sequence:-1';
const fenceReply = 'sequence.error:notimeline';

let host;
before(async () => { host = await startDevHost(['--no-panel']); });
after(async () => { assert.equal(await host.stop(), 0); });

test('every example in docs/protocol.md is what the demo project answers', async () => {
  const page = fs.readFileSync(path.join(sourceDir, 'docs/protocol.md'), 'utf8');
  const cases = examples(page);
  assert.ok(cases.length >= 20, `only ${cases.length} examples found`);
  const ws = new WebSocket('ws://127.0.0.1:7890/');
  await new Promise((resolve, reject) => { ws.once('open', resolve); ws.once('error', reject); });
  const inbox = [];
  let wake = null;
  ws.on('message', (data) => { inbox.push(data.toString()); if (wake) wake(); });
  const next = async () => {
    const deadline = Date.now() + 10000;
    while (!inbox.length) {
      if (Date.now() > deadline) throw new Error('no reply');
      await new Promise((r) => { wake = r; setTimeout(r, 200); });
    }
    return inbox.shift();
  };

  // The page shows get.info as the macOS build answers it; the Windows build
  // (KEM_EXPECT_PLATFORM=win, under Wine) differs in that one value.
  const platform = process.env.KEM_EXPECT_PLATFORM ?? 'mac';
  const forPlatform = (text) => text.replace('"platform":"mac"', `"platform":"${platform}"`);
  for (const { request, replies } of cases) {
    ws.send(request);
    ws.send(fence);
    const got = [];
    for (let m = await next(); m !== fenceReply; m = await next()) got.push(m);
    // Match the documented lines in order; null skips ahead to the next documented one.
    let at = 0;
    for (let i = 0; i < replies.length; i++) {
      const want = replies[i];
      if (want === null) {
        const following = replies[i + 1];
        while (at < got.length && following !== undefined && got[at] !== following) at++;
        if (following === undefined) at = got.length;
        continue;
      }
      assert.equal(sameIds(got[at]), sameIds(forPlatform(want)), `${request}: reply ${at} of ${JSON.stringify(got)}`);
      at++;
    }
    assert.equal(at, got.length, `${request}: more replies than documented: ${JSON.stringify(got)}`);
  }
  ws.close();
});
