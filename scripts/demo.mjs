// The browser part of scripts/run.sh: a small demo site on 127.0.0.1 and
// Debian's Chromium, headed, in a private profile, with the extension loaded
// and the bridge wired to the program running under Wine.
//   node demo.mjs --dist DIR --state WINE_STATE --work DIR
// Prints what the page tries; ends Chromium when it is ended itself.

import { spawn } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { parseArgs } from 'node:util';

const { values: opt } = parseArgs({
  options: { dist: { type: 'string' }, state: { type: 'string' }, work: { type: 'string' } },
});
const wineRun = path.join(path.dirname(fileURLToPath(import.meta.url)), 'wine-run.sh');
const HOST_NAME = 'com.corvantis.velmora_gatewick_lite';
const EXTENSION_ID = 'hocjjooaehcbbheljilpafidamikncan';

// Every 10 s the page tries one kind of popup by itself; the popunder button
// clicks a made-up link inside the user's click; the link is a real one.
const PAGE = `<!doctype html><html><head><meta charset="utf-8">
<title>Velmora Gatewick Lite demo</title>
<style>body{font:15px sans-serif;margin:2em;max-width:40em}li{margin:.3em 0}</style></head><body>
<h1>A page that wants popups</h1>
<p>Every 10 seconds this page tries to open a window by itself, each time another way.</p>
<p><a href="/welcome" target="_blank">A real link to a new window</a> (opens: you clicked it)</p>
<p><button id="popunder">Click me</button> (its handler also opens a window behind your back)</p>
<ol id="log"></ol>
<script>
const tries = {
  'window.open': () => window.open('/popup/open', '', 'width=400,height=300'),
  'a script click on a link': () => {
    const a = document.createElement('a');
    a.href = '/popup/link'; a.target = '_blank'; a.click();
  },
  'a form sent to a new window': () => {
    const f = document.body.appendChild(document.createElement('form'));
    f.action = '/popup/form'; f.method = 'post'; f.target = '_blank'; f.submit();
  },
};
const log = (text) => {
  document.getElementById('log').appendChild(document.createElement('li')).textContent = text;
  fetch('/log', { method: 'POST', body: text });
};
let n = 0;
function tryOne() {
  const names = Object.keys(tries);
  const name = names[n++ % names.length];
  tries[name]();
  log(new Date().toLocaleTimeString() + ': the page tried ' + name);
}
setTimeout(tryOne, 2000);
setInterval(tryOne, 10000);
document.getElementById('popunder').onclick = () => {
  const a = document.createElement('a');
  a.href = '/popup/popunder'; a.target = '_blank'; a.click();
  log(new Date().toLocaleTimeString() + ': the button tried a popunder');
};
</script></body></html>`;

const server = http.createServer((req, res) => {
  const type = { 'Content-Type': 'text/html; charset=utf-8', 'Cache-Control': 'no-store' };
  if (req.url === '/log' && req.method === 'POST') {
    let body = '';
    req.on('data', (c) => { body = (body + c).slice(0, 200); });
    req.on('end', () => { console.log(`demo: ${body}`); res.writeHead(204).end(); });
  } else if (req.url.startsWith('/popup/')) {
    console.log(`demo: a popup OPENED: ${req.url}`);
    res.writeHead(200, type).end('<!doctype html><title>popup</title><h1>A popup</h1>');
  } else if (req.url === '/') {
    // The extension's blocker reaches pages loaded after it has started, a
    // few seconds after the browser.
    res.writeHead(200, type).end('<!doctype html><meta http-equiv="refresh" content="5; url=/demo">' +
      '<title>Velmora Gatewick Lite demo</title><p>The demo page follows in a few seconds.');
  } else if (req.url === '/welcome') {
    res.writeHead(200, type).end('<!doctype html><title>your window</title><h1>You opened this</h1>');
  } else if (req.url === '/demo') {
    res.writeHead(200, type).end(PAGE);
  } else {
    res.writeHead(404, type).end();
  }
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
const url = `http://127.0.0.1:${server.address().port}/`;

const profile = path.join(opt.work, 'profile');
fs.rmSync(profile, { recursive: true, force: true });
fs.mkdirSync(path.join(profile, 'NativeMessagingHosts'), { recursive: true });
const host = path.join(opt.work, 'vgwlhost.sh');
fs.writeFileSync(host, `#!/bin/sh\nexec bash '${wineRun}' '${opt.state}' '${opt.dist}/vgwlhost.exe' "$@"\n`,
  { mode: 0o755 });
fs.writeFileSync(path.join(profile, 'NativeMessagingHosts', `${HOST_NAME}.json`), JSON.stringify({
  name: HOST_NAME, description: 'Velmora Gatewick Lite', path: host, type: 'stdio',
  allowed_origins: [`chrome-extension://${EXTENSION_ID}/`],
}));
const log = fs.openSync(path.join(opt.work, 'chromium.log'), 'w');
// Only our blocker acts on popups; root needs --no-sandbox.
const browser = spawn('chromium', [
  ...(process.getuid() === 0 ? ['--no-sandbox'] : []), '--no-first-run',
  '--no-default-browser-check', '--disable-popup-blocking', `--user-data-dir=${profile}`,
  `--load-extension=${path.join(opt.dist, 'extension')}`, url,
], { stdio: ['ignore', log, log], detached: true });
console.log(`demo: Chromium shows ${url}`);

let ending = false;
function end() {
  if (ending) return;
  ending = true;
  try {
    process.kill(-browser.pid, 'SIGTERM');
  } catch {
    // Already gone.
  }
  server.closeAllConnections();
  server.close();
}
process.on('SIGTERM', end);
process.on('SIGINT', end);
browser.on('exit', () => {
  console.log('demo: Chromium ended');
  end();
});
