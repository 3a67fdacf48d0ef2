// The blocker's cost in Chromium, each figure against a baseline of the same
// run: a page load with the blocker injected, with and without a white list of
// 10000 hosts in force, against the same page with the extension's blocker
// off; and the time from the bridge's state message to the white list being
// in force, for 10000 hosts against one. A stand-in host sends the states, so
// that only the browser's side is timed.
//
//   node page-load.mjs [--loads 50] [--blocks 5]

import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { parseArgs } from 'node:util';
import { Chromium, waitFor } from '../../tests/browser/chromium.mjs';
import { startSite } from '../../tests/browser/site.mjs';

const { values: opt } = parseArgs({
  options: { loads: { type: 'string', default: '50' }, blocks: { type: 'string', default: '5' } },
});
const here = path.dirname(fileURLToPath(import.meta.url));
const root = path.resolve(here, '../..');
const LOADS = Number(opt.loads);
const BLOCKS = Number(opt.blocks);
const LIST = Array.from({ length: 10000 }, (_, i) => `site${i}.bench`);

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'vgwl-bench-browser-'));
const socketPath = path.join(work, 'host.sock');
let host = null;
const controller = net.createServer((c) => {
  host = c;
});
await new Promise((r) => controller.listen(socketPath, r));
const site = await startSite('127.0.0.1');
const browser = await Chromium.launch({
  profileDir: path.join(work, 'profile'),
  hostCommand: path.join(here, 'standin-host.mjs'),
  extensionDir: path.join(root, 'extension'),
  extraArgs: ['--host-resolver-rules=MAP *.bench 127.0.0.1'],
  env: { ...process.env, VGWL_STANDIN_SOCKET: socketPath },
});

const median = (xs) => {
  const s = [...xs].sort((a, b) => a - b);
  return s.length % 2 ? s[(s.length - 1) / 2] : (s[s.length / 2 - 1] + s[s.length / 2]) / 2;
};

try {
  await waitFor('the extension to connect', () => host, 20000);
  const worker = await browser.extensionWorker();
  // Sends a state and returns the milliseconds until the worker has applied
  // it: its switch and list set, the blocker's registration done.
  async function applyState(blocking, hosts) {
    const start = performance.now();
    host.write(`${JSON.stringify({ type: 'state', blocking, hosts, more: false })}\n`);
    await waitFor('the state in force', () => browser.evaluate(worker,
      `applying.then(() => blocking === ${blocking} && listed.size === ${hosts.length})`), 20000, 5);
    return performance.now() - start;
  }

  const page = await browser.newPage();
  let n = 0;
  async function loadTime() {
    await page.navigate(`${site.origin}/load?${n++}`);
    return page.evaluate("performance.getEntriesByType('navigation')[0].loadEventStart");
  }

  // In force: the white list's last host opens a popup at its next load.
  async function inForce(hosts) {
    await applyState(true, []);
    const start = performance.now();
    await applyState(true, hosts);
    const registration = performance.now() - start;
    await page.navigate(`http://${hosts[hosts.length - 1]}:${site.port}/`);
    const opens = await page.evaluate('window.open("/popup/check") !== null');
    if (!opens) throw new Error('the white-listed host is still blocked');
    return registration;
  }
  const forceOne = [];
  const forceAll = [];
  for (let i = 0; i < 3; i++) {
    forceOne.push(await inForce(LIST.slice(-1)));
    forceAll.push(await inForce(LIST));
  }

  // Page loads: the modes take turns in blocks, so that drift hits them alike.
  const modes = {
    off: () => applyState(false, []),
    on: () => applyState(true, []),
    list: () => applyState(true, LIST),
  };
  const times = { off: [], on: [], list: [] };
  for (const mode of Object.keys(modes)) {
    await modes[mode]();
    await loadTime(); // warm-up
  }
  for (let b = 0; b < BLOCKS; b++) {
    for (const mode of Object.keys(modes)) {
      await modes[mode]();
      for (let i = 0; i < LOADS / BLOCKS; i++) times[mode].push(await loadTime());
    }
  }
  const off = median(times.off);
  const on = median(times.on);
  const list = median(times.list);
  console.log(`Page load in Chromium, median of ${times.off.length} loads each (navigation start to load event):`);
  console.log(`  extension's blocker off                 ${off.toFixed(2)} ms`);
  console.log(`  blocker on                              ${on.toFixed(2)} ms  ${(on / off).toFixed(3)}x  (goal <= 1.02x)`);
  console.log(`  blocker on, 10000 hosts white-listed    ${list.toFixed(2)} ms  ${(list / off).toFixed(3)}x  (goal <= 1.02x)`);
  const one = median(forceOne);
  const all = median(forceAll);
  console.log('White list from the state message to in force (median of 3):');
  console.log(`  1 host        ${one.toFixed(1)} ms`);
  console.log(`  10000 hosts   ${all.toFixed(1)} ms  ${(all / one).toFixed(2)}x  (goal < 1000 ms)`);
} finally {
  await browser.close();
  await site.close();
  controller.close();
  fs.rmSync(work, { recursive: true, force: true });
}
