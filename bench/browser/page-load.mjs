// The blocker's cost in Chromium, each figure against a baseline of the same
// run: a page load with the blocker injected, with and without a white list of
// 10000 hosts in force, against the same page in the same browser with
// blocking off (the blocker is then not injected at all), the two taking
// turns load by load so that the machine's load falls on both alike; and the time from the bridge's state message to the white list being
// in force, for 10000 hosts against one. A stand-in host sends the states, so
// that only the browser's side is timed.
//
//   node page-load.mjs [--loads 50] [--extension DIR (another version, to compare)]

import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { parseArgs } from 'node:util';
import { Chromium, waitFor } from '../../tests/browser/chromium.mjs';
import { startSite } from '../../tests/browser/site.mjs';

const { values: opt } = parseArgs({
  options: { loads: { type: 'string', default: '50' }, extension: { type: 'string' } },
});
const here = path.dirname(fileURLToPath(import.meta.url));
const root = path.resolve(here, '../..');
const LOADS = Number(opt.loads);
const LIST = Array.from({ length: 10000 }, (_, i) => `site${i}.bench`);

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'vgwl-bench-browser-'));
const socketPath = path.join(work, 'host.sock');
let host = null;
const controller = net.createServer((c) => {
  host = c;
});
await new Promise((r) => controller.listen(socketPath, r));
// A page of some weight: text, a table, styles and a script, as a site has.
const rows = Array.from({ length: 200 }, (_, i) =>
  `<tr><td>${i}</td><td><a href="/item/${i}">item ${i}</a></td><td>${'lorem ipsum '.repeat(4)}</td></tr>`);
const LOAD_PAGE = `<!doctype html><html><head><meta charset="utf-8"><title>load</title>
<style>td{padding:2px 6px;border-bottom:1px solid #ccc}.x{color:#345}</style></head><body>
<h1>A page</h1><p class="x">${'Some text of the page. '.repeat(200)}</p><table>${rows.join('')}</table>
<script>let s = 0; for (let i = 0; i < 20000; i++) s += i % 7; document.title = 'load ' + s;</script>
</body></html>`;
const site = await startSite('127.0.0.1', { '/load': LOAD_PAGE });
const browser = await Chromium.launch({
  profileDir: path.join(work, 'profile'),
  hostCommand: path.join(here, 'standin-host.mjs'),
  extensionDir: opt.extension ? path.resolve(opt.extension) : path.join(root, 'extension'),
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
      `typeof applying !== 'undefined' &&
        applying.then(() => blocking === ${blocking} && listed.size === ${hosts.length})`), 20000, 5);
    return performance.now() - start;
  }

  const page = await browser.newPage();
  let n = 0;
  // The page's main thread's CPU time, which the load of other programs on
  // the machine does not lengthen as it lengthens the wall-clock time.
  await browser.send('Performance.enable', {}, page.sessionId);
  const cpu = async () => {
    const { metrics } = await browser.send('Performance.getMetrics', {}, page.sessionId);
    return metrics.find((m) => m.name === 'ThreadTime').value * 1000;
  };
  const cpuTimes = { true: [], false: [] };
  async function loadTime(tab, blocking) {
    const before = await cpu();
    await tab.navigate(`${site.origin}/load?${n++}`);
    const used = (await cpu()) - before;
    // A load in a new renderer process starts the count anew: left out.
    if (used > 0 && blocking !== undefined) cpuTimes[blocking].push(used);
    return tab.evaluate("performance.getEntriesByType('navigation')[0].loadEventStart");
  }

  // In force: the white list's last host opens a popup at its next load.
  async function inForce(hosts) {
    await applyState(true, []);
    const took = await applyState(true, hosts);
    await page.navigate(`http://${hosts[hosts.length - 1]}:${site.port}/`);
    const popup = `/popup/check${n++}`;
    await page.evaluate(`void window.open("${popup}")`);
    await waitFor('the white-listed host\'s popup', () => browser.pagesWith(popup).length, 5000);
    return took;
  }
  const forceOne = [];
  const forceAll = [];
  for (let i = 0; i < 3; i++) {
    forceOne.push(await inForce(LIST.slice(-1)));
    forceAll.push(await inForce(LIST));
  }

  // Loads in turns, blocking on and off, the order swapped each round; with
  // `same`, off against off, which shows what the machine's noise alone does.
  async function compare(hosts, same = false) {
    const times = { true: [], false: [] };
    for (let i = -1; i < LOADS; i++) {
      for (const blocking of i % 2 ? [true, false] : [false, true]) {
        await applyState(same ? false : blocking, hosts);
        const time = await loadTime(page, i >= 0 && !same && hosts.length === 0 ? blocking : undefined);
        if (i >= 0) times[blocking].push(time); // the first round warms up
      }
    }
    // Also the median of the differences within each round, which drift in
    // the machine's load cannot move.
    const paired = median(times.true.map((t, i) => t - times.false[i]));
    return [median(times.true), median(times.false), paired];
  }
  const [on, offOn, pairedOn] = await compare([]);
  const [list, offList, pairedList] = await compare(LIST);
  const [noise, offNoise, pairedNoise] = await compare([], true);
  const ratio = (paired, off) => `${(1 + paired / off).toFixed(3)}x`;
  console.log(`Page load in Chromium, median of ${LOADS} loads each (navigation start to load event),`);
  console.log('against the same page with blocking off, loading in turns:');
  console.log('  (ratio of the medians; in brackets, from the median difference within rounds)');
  console.log(`  blocker on                              ${on.toFixed(2)} ms vs ${offOn.toFixed(2)} ms  ${(on / offOn).toFixed(3)}x (${ratio(pairedOn, offOn)})  goal <= 1.02x`);
  console.log(`  blocker on, 10000 hosts white-listed    ${list.toFixed(2)} ms vs ${offList.toFixed(2)} ms  ${(list / offList).toFixed(3)}x (${ratio(pairedList, offList)})  goal <= 1.02x`);
  const cpuOn = median(cpuTimes.true);
  const cpuOff = median(cpuTimes.false);
  console.log(`  main-thread CPU time per load, blocker on against off (no white list; ${cpuTimes.true.length} and ${cpuTimes.false.length} loads):`);
  console.log(`                                          ${cpuOn.toFixed(2)} ms vs ${cpuOff.toFixed(2)} ms  ${(cpuOn / cpuOff).toFixed(3)}x`);
  console.log(`  blocking off against itself (noise)     ${noise.toFixed(2)} ms vs ${offNoise.toFixed(2)} ms  ${(noise / offNoise).toFixed(3)}x (${ratio(pairedNoise, offNoise)})`);
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
