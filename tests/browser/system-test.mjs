// The whole system in a real browser, Chromium or Firefox (headless): the extension, the bridge
// vgwlhost.exe and the front end under Wine, web sites on 127.0.0.1 and on 127.0.0.2
// (white-listed), and a recording of everything the front end plays (scripts/pulse-null.sh names
// it in VGWL_SOUND_RECORDING). Each popup the front end is told about plays one sound, so the
// recording shows how many notifications it received. The Firefox run ends with a popup stopped
// in Chromium and one in Firefox at the same moment.
//
//   node system-test.mjs --dist DIR --state WINE_STATE --probe PROBE.exe --work DIR
//                        [--browser chromium|firefox]

import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import readline from 'node:readline';
import { fileURLToPath } from 'node:url';
import { parseArgs } from 'node:util';
import { Chromium, waitFor } from './chromium.mjs';
import { Firefox } from './firefox.mjs';
import { startSite } from './site.mjs';

const { values: opt } = parseArgs({
  options: { dist: { type: 'string' }, state: { type: 'string' }, probe: { type: 'string' },
    work: { type: 'string' }, browser: { type: 'string', default: 'chromium' } },
});
const wineRun = fileURLToPath(new URL('../../scripts/wine-run.sh', import.meta.url));
const SCRIPT_KINDS = ['open', 'openNamed', 'detachedClick', 'dispatchedClick', 'formSubmit',
  'blankFrame'];
const BURST = 20;

// The probe under Wine: one command line in, one answer line out.
function startProbe() {
  const child = spawn('bash', [wineRun, opt.state, opt.probe], { stdio: ['pipe', 'pipe', 'inherit'] });
  const answers = [];
  readline.createInterface({ input: child.stdout, crlfDelay: Infinity })
    .on('line', (line) => answers.push(line));
  async function ask(command) {
    child.stdin.write(`${command}\n`);
    await waitFor(`the probe to answer "${command}"`, () => answers.length > 0, 30000);
    const answer = answers.shift();
    if (!answer.startsWith('ok')) throw new Error(`probe: ${command}: ${answer}`);
    return answer.slice(3);
  }
  return {
    ask,
    count: async () => Number(await ask('count')),
    async quit() {
      child.stdin.end('quit\n');
      await waitFor('the probe to end', () => child.exitCode !== null, 15000)
        .catch(() => child.kill('SIGKILL'));
    },
  };
}

// Energy and silence of the recording, read as it grows.
class Recording {
  constructor(windowsPath) {
    assert.ok(windowsPath, 'no recording: run through scripts/pulse-null.sh');
    this.file = windowsPath.replace(/^Z:/i, '').replaceAll('\\', '/');
    this.offset = fs.statSync(this.file).size & ~1;
    this.energy = 0;
    this.samples = 0;
    this.lastLoud = 0;
    this.oneSound = 0; // the energy of one notification: the first heard
  }

  read() {
    const fd = fs.openSync(this.file, 'r');
    const bytes = Buffer.alloc(Math.max(0, (fs.fstatSync(fd).size & ~1) - this.offset));
    this.offset += fs.readSync(fd, bytes, 0, bytes.length, this.offset);
    fs.closeSync(fd);
    for (let i = 0; i < bytes.length; i += 2) {
      const s = bytes.readInt16LE(i);
      this.energy += s * s;
      this.samples += 1;
      if (Math.abs(s) > 300) this.lastLoud = this.samples;
    }
  }

  // How many notifications were heard since the last call, once more than half of one has been
  // heard and the last 0.2 s were quiet: played to the end.
  async notifications() {
    const before = this.energy;
    await waitFor('a notification sound', () => {
      this.read();
      return this.energy > before + this.oneSound / 2 && this.samples - this.lastLoud > 0.2 * 44100;
    }, 15000, 50);
    this.oneSound ||= this.energy - before;
    return Math.round((this.energy - before) / this.oneSound);
  }
}

const cleanups = [];
async function cleanUp() {
  while (cleanups.length) await cleanups.pop()().catch((e) => console.error(e));
}
const watchdog = setTimeout(async () => {
  console.error('browser test: watchdog after 240 s');
  await cleanUp();
  process.exit(1);
}, 240000);

async function run() {
  const recording = new Recording(process.env.VGWL_SOUND_RECORDING);
  const [plain, listed] = await Promise.all(['127.0.0.1', '127.0.0.2'].map((a) => startSite(a)));
  cleanups.push(plain.close, listed.close);
  const bad = `http://badexample.test:${plain.port}`;

  const probe = startProbe();
  cleanups.push(() => probe.quit());
  // Sound 3 (three short beeps) for every notification, no blinking; the saved list
  // white-lists an IP address and a domain.
  await probe.ask('set VGWPBStatus 1 SoundNotification 1 SoundIndex 2 AnimTrayIcon 0 VGWPBFirst 0');
  await probe.ask('start 127.0.0.2 example.test');

  fs.mkdirSync(opt.work, { recursive: true });
  const host = path.join(opt.work, 'vgwlhost.sh');
  fs.writeFileSync(host, `#!/bin/sh\nexec bash '${wineRun}' '${opt.state}' '${opt.dist}/vgwlhost.exe' "$@"\n`,
    { mode: 0o755 });
  // The browser, with the extension and the bridge, once it has applied the bridge's white list.
  async function launch(kind) {
    const options = { profileDir: path.join(opt.work, kind), hostCommand: host,
      extensionDir: path.join(opt.dist, 'extension') };
    // The test's names reach the site on 127.0.0.1.
    const browser = await (kind === 'firefox'
      ? Firefox.launch({ ...options, hostNames: ['www.example.test', 'badexample.test'] })
      : Chromium.launch({ ...options, extraArgs: ['--host-resolver-rules=MAP *.test 127.0.0.1'] }));
    cleanups.push(() => browser.close());
    await waitFor(`${kind}'s white list`, () => browser.stateApplied({ hostListed: '127.0.0.2' }),
      20000);
    return browser;
  }
  const browser = await launch(opt.browser);

  let count = await probe.count();
  // Popups stopped: all counted, one alone announced once; how many times they were announced.
  async function stopped(description, popups = 1) {
    await waitFor(`${description} counted`, async () => (await probe.count()) === count + popups);
    count += popups;
    const announced = await recording.notifications();
    if (popups === 1) assert.equal(announced, 1, `${description}: one notification`);
    return announced;
  }
  const check = (text) => console.log(`ok - ${text}`);

  // Every kind of script popup is stopped, one notification each.
  const page = await browser.newPage();
  // The popup a call makes (at url, if given) is stopped: the page gets no window.
  async function openStopped(description, url, call = 'window.kinds.open()') {
    if (url) await page.navigate(url);
    assert.equal(await page.evaluate(call), null, `${description}: the page gets no window`);
    await stopped(description);
  }
  await page.navigate(`${plain.origin}/`);
  for (const kind of SCRIPT_KINDS) await openStopped(kind, null, `window.kinds.${kind}() ?? null`);
  await page.click('#popunder');
  await stopped('the popunder');
  check('each kind of script popup and the popunder stopped, counted once and announced once');

  // Pages that try to get round the blocker.
  for (const kind of ['swappedPrototype', 'shadowClick']) {
    await page.evaluate(`void window.hostile.${kind}()`);
    await stopped(kind);
  }
  await page.evaluate('void window.hostile.flippingName()');
  await waitFor('the frame to load what its name was given', () => plain.requests.includes('/frame/flipped'));
  await openStopped('a popup after a forged answer', `${plain.origin}/?forged`,
    'window.hostile.forgedAnswer()');
  check('a swapped prototype, a shadow root, a name that changes and a forged answer get no popup');

  // The user's own clicks open; then nothing stopped has reached a target or the site.
  await page.click('#userLink');
  await page.click('#userButton');
  // A window is seen when its navigation starts, a moment before its request.
  await waitFor('the user\'s popups', () => browser.pagesWith('/popup/userLink').length &&
    browser.pagesWith('/popup/userButton').length && plain.popupRequests().length >= 2);
  assert.deepEqual(plain.popupRequests().sort(), ['/popup/userButton', '/popup/userLink']);
  assert.equal(browser.pagesWith('/popup/').length, 2);
  check('the user\'s click on a link and on a button opens; no stopped popup became a target or a request');

  // Every kind of script popup at url opens, each in one window.
  async function allOpen(url, tag) {
    await page.navigate(`${url}/?${tag}`);
    await page.evaluate(`window.popupRun = "${tag}"`);
    for (const kind of SCRIPT_KINDS) await page.evaluate(`void window.kinds.${kind}()`);
    await waitFor(`every popup of ${url}/?${tag}`, () =>
      SCRIPT_KINDS.every((k) => browser.pagesWith(`${url}/popup/${k}?${tag}`).length === 1));
  }
  // The white-listed address and a subdomain of a white-listed domain open everything; a name
  // that only ends like the domain does not.
  await allOpen(listed.origin, 'listed');
  await allOpen(`http://www.example.test:${plain.port}`, 'listed');
  // Counted as the only popup since the last: nothing was reported from the white list.
  await openStopped('a popup of badexample.test', `${bad}/`);
  check('white-listed sites open everything and announce nothing; the rule keeps to label boundaries');

  // The bridge ends: a popup stopped meanwhile is kept, and counted once the extension has
  // started the bridge again.
  const bridges = () => fs.readdirSync('/proc').filter((pid) => {
    try {
      const stat = fs.readFileSync(`/proc/${pid}/stat`, 'utf8');
      return stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1] === String(browser.child.pid) &&
        fs.readFileSync(`/proc/${pid}/cmdline`, 'utf8').includes('vgwlhost.exe');
    } catch {
      return false; // a process that ended while we looked
    }
  });
  const [bridge] = bridges();
  assert.ok(bridge, 'the browser runs the bridge');
  process.kill(Number(bridge), 'SIGKILL');
  await waitFor('the bridge to end', () => !bridges().includes(bridge));
  await openStopped('a popup stopped while the bridge was away');
  assert.ok(bridges().length === 1 && !bridges().includes(bridge), 'one new bridge');
  check('the extension starts the bridge again and reports what it stopped meanwhile');

  // A burst: every popup counted, one or two notifications.
  await page.evaluate(`window.burst(${BURST})`);
  const announced = await stopped('the burst', BURST);
  assert.ok(announced >= 1 && announced <= 2, `a burst announced ${announced} times`);
  check(`a burst of ${BURST} counted in full and announced ${announced} time(s)`);

  // A white list saved on the window reaches the open browser.
  await probe.ask('save 127.0.0.1');
  await waitFor('the saved white list', () => browser.stateApplied({ hostListed: '127.0.0.1' }));
  await page.navigate(`${plain.origin}/?saved`);
  await page.evaluate('window.popupRun = "saved"; void window.kinds.open()');
  await waitFor('the popup of the site saved', () => browser.pagesWith('/popup/open?saved').length);
  check('a white list saved on the window takes effect at the next page load');

  // Blocking switched off on the window: everything opens.
  await probe.ask('blocking 0');
  await waitFor('blocking off', () => browser.stateApplied({ blocking: false }));
  await allOpen(bad, 'off');
  await probe.ask('blocking 1');
  await waitFor('blocking on', () => browser.stateApplied({ blocking: true }));
  await openStopped('a popup after blocking came back on', `${bad}/?on`);
  check('with blocking off everything opens, and nothing is counted');
  if (opt.browser !== 'firefox') return;

  // Two browsers, one count: a popup stopped in each at the same moment.
  const pages = [page, await (await launch('chromium')).newPage()];
  for (const p of pages) await p.navigate(`${bad}/?both`);
  const results = await Promise.all(pages.map((p) => p.evaluate('window.kinds.open()')));
  assert.deepEqual(results, [null, null]);
  await waitFor('both popups counted', async () => (await probe.count()) === count + 2);
  check('a popup stopped in Firefox and one in Chromium at the same moment both count');
}

const failed = await run().then(() => false, (error) => {
  console.error(`not ok - ${error.stack || error}`);
  return true;
});
await cleanUp();
clearTimeout(watchdog);
process.exit(failed ? 1 : 0);
