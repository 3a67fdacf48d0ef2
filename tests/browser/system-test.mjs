// The whole system in a real browser: Chromium or Firefox (headless) with the extension,
// the bridge vgwlhost.exe and the front end under Wine, web sites on
// 127.0.0.1 and on 127.0.0.2 (white-listed), and a recording of everything the
// front end plays (scripts/pulse-null.sh names it in VGWL_SOUND_RECORDING).
// Each popup the front end is told about plays one sound, so the recording
// shows how many notifications it received.
//
//   node system-test.mjs --dist DIR --state WINE_STATE --probe PROBE.exe --work DIR
//                        [--browser chromium|firefox]
// The Firefox run ends with a popup stopped in Chromium and one in Firefox
// at the same moment.

import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { parseArgs } from 'node:util';
import { Chromium, waitFor } from './chromium.mjs';
import { Firefox } from './firefox.mjs';
import { startSite } from './site.mjs';

const { values: opt } = parseArgs({
  options: { dist: { type: 'string' }, state: { type: 'string' }, probe: { type: 'string' },
    work: { type: 'string' }, browser: { type: 'string', default: 'chromium' } },
});
const scripts = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../../scripts');
const wineRun = path.join(scripts, 'wine-run.sh');
const SCRIPT_KINDS = ['open', 'openNamed', 'detachedClick', 'dispatchedClick', 'formSubmit',
  'blankFrame'];
const BURST = 20;

// ------------------------------------------------------------ the program side

// The probe under Wine: one command line in, one answer line out.
function startProbe() {
  const child = spawn('bash', [wineRun, opt.state, opt.probe], { stdio: ['pipe', 'pipe', 'inherit'] });
  const answers = [];
  let waiting = null;
  let text = '';
  child.stdout.on('data', (chunk) => {
    text += chunk.toString('utf8');
    for (let end; (end = text.indexOf('\n')) >= 0; text = text.slice(end + 1)) {
      answers.push(text.slice(0, end).replace(/\r$/, ''));
    }
    if (waiting && answers.length) waiting();
  });
  const ended = new Promise((resolve) => child.on('exit', resolve));
  return {
    async ask(command, timeoutMs = 30000) {
      child.stdin.write(`${command}\n`);
      await waitFor(`the probe to answer "${command}"`, () => answers.length > 0, timeoutMs);
      const answer = answers.shift();
      if (!answer.startsWith('ok')) throw new Error(`probe: ${command}: ${answer}`);
      return answer.slice(3);
    },
    async count() {
      const value = await this.ask('get EPWC');
      return value === 'none' ? 0 : Number(value);
    },
    async quit() {
      child.stdin.end('quit\n');
      await Promise.race([ended, new Promise((r) => setTimeout(r, 15000))]);
      if (child.exitCode === null) child.kill('SIGKILL');
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
  }

  read() {
    const fd = fs.openSync(this.file, 'r');
    try {
      const size = fs.fstatSync(fd).size & ~1;
      if (size <= this.offset) return;
      const bytes = Buffer.alloc(size - this.offset);
      fs.readSync(fd, bytes, 0, bytes.length, this.offset);
      this.offset = size;
      for (let i = 0; i < bytes.length; i += 2) {
        const s = bytes.readInt16LE(i);
        this.energy += s * s;
        this.samples += 1;
        if (Math.abs(s) > 300) this.lastLoud = this.samples;
      }
    } finally {
      fs.closeSync(fd);
    }
  }

  // Waits until more than `above` has been heard and the last 0.2 s were
  // quiet: a sound played to its end.
  async soundEnded(above, timeoutMs = 15000) {
    await waitFor('a notification sound', () => {
      this.read();
      return this.energy > above && this.samples - this.lastLoud > 0.2 * 44100;
    }, timeoutMs, 50);
    return this.energy;
  }
}

// ------------------------------------------------------------ the run

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
  const plain = await startSite('127.0.0.1');
  cleanups.push(plain.close);
  const listed = await startSite('127.0.0.2');
  cleanups.push(listed.close);

  const probe = startProbe();
  cleanups.push(() => probe.quit());
  // Sound 3 (three short beeps) for every notification, no blinking; the
  // saved list white-lists an IP address and a domain.
  await probe.ask('listfile 127.0.0.2 example.test');
  for (const [name, value] of [['VGWPBStatus', 1], ['SoundNotification', 1], ['SoundIndex', 2],
    ['AnimTrayIcon', 0], ['VGWPBFirst', 0]]) {
    await probe.ask(`set ${name} ${value}`);
  }
  await probe.ask('start');

  fs.mkdirSync(opt.work, { recursive: true });
  const host = path.join(opt.work, 'vgwlhost.sh');
  fs.writeFileSync(host, `#!/bin/sh\nexec bash '${wineRun}' '${opt.state}' '${opt.dist}/vgwlhost.exe' "$@"\n`,
    { mode: 0o755 });
  const launchChromium = async (name) => {
    const chromium = await Chromium.launch({
      profileDir: path.join(opt.work, name),
      hostCommand: host,
      extensionDir: path.join(opt.dist, 'extension'),
      // Names under .test reach the site on 127.0.0.1.
      extraArgs: ['--host-resolver-rules=MAP *.test 127.0.0.1'],
    });
    cleanups.push(() => chromium.close());
    const worker = await chromium.extensionWorker();
    // Has the extension applied a state the bridge sent?
    chromium.stateApplied = ({ hostListed, blocking }) => chromium.evaluate(worker,
      // The worker's script may not have run yet when it is first reached.
      `typeof applying !== 'undefined' && applying.then(() => ${hostListed !== undefined
        ? `VgwlRules.covers(listed, ${JSON.stringify(hostListed)})` : `blocking === ${blocking}`})`);
    return chromium;
  };
  let browser;
  if (opt.browser === 'firefox') {
    browser = await Firefox.launch({
      profileDir: path.join(opt.work, 'profile'),
      homeDir: path.join(opt.work, 'home'),
      hostNames: ['www.example.test', 'badexample.test'],
      hostCommand: host,
      extensionDir: path.join(opt.dist, 'extension'),
    });
    cleanups.push(() => browser.close());
  } else {
    browser = await launchChromium('profile');
  }
  const applied = (description, state, timeoutMs = 10000) =>
    waitFor(description, () => browser.stateApplied(state), timeoutMs);
  await applied('the bridge\'s white list', { hostListed: '127.0.0.2' }, 20000);

  let count = await probe.count();
  let heard = 0;
  let oneSound = 0;
  // One stopped popup: counted once, and its own notification heard to its end.
  async function stoppedOnce(description) {
    await waitFor(`${description} counted`, async () => (await probe.count()) === count + 1);
    count += 1;
    const energy = await recording.soundEnded(heard + oneSound / 2);
    if (!oneSound) oneSound = energy - heard;
    assert.equal(Math.round((energy - heard) / oneSound), 1, `${description}: one notification`);
    heard = energy;
  }
  const check = (text) => console.log(`ok - ${text}`);

  // Every kind of script popup is stopped, one notification each.
  const page = await browser.newPage();
  await page.navigate(`${plain.origin}/`);
  for (const kind of SCRIPT_KINDS) {
    const result = await page.evaluate(`window.kinds.${kind}() ?? null`);
    assert.equal(result, null, `${kind}: the page gets no window`);
    await stoppedOnce(kind);
  }
  await page.click('#popunder');
  await stoppedOnce('the popunder');
  check('each kind of script popup and the popunder stopped, counted once and announced once');

  // Pages that try to get round the blocker.
  for (const kind of ['swappedPrototype', 'shadowClick']) {
    await page.evaluate(`void window.hostile.${kind}()`);
    await stoppedOnce(kind);
  }
  await page.evaluate('void window.hostile.flippingName()');
  await waitFor('the frame to load what its name was given', () => plain.requests.includes('/frame/flipped'));
  await page.navigate(`${plain.origin}/?forged`);
  assert.equal(await page.evaluate('window.hostile.forgedAnswer()'), null);
  await stoppedOnce('a popup after a forged answer');
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

  // The white-listed address and a subdomain of a white-listed domain open
  // everything; a name that only ends like the domain does not.
  for (const origin of [listed.origin, `http://www.example.test:${plain.port}`]) {
    await page.navigate(`${origin}/?listed`);
    await page.evaluate('window.popupRun = "listed"');
    for (const kind of SCRIPT_KINDS) await page.evaluate(`void window.kinds.${kind}()`);
    await waitFor(`every popup of ${origin}`, () =>
      SCRIPT_KINDS.every((k) => browser.pagesWith(`${origin}/popup/${k}?listed`).length === 1));
  }
  await page.navigate(`http://badexample.test:${plain.port}/`);
  assert.equal(await page.evaluate('window.kinds.open()'), null);
  // Counted as the only popup since the last: nothing was reported from the white list.
  await stoppedOnce('a popup of badexample.test');
  check('white-listed sites open everything and announce nothing; the rule keeps to label boundaries');

  // The bridge ends: a popup stopped meanwhile is kept, and counted once the
  // extension has started the bridge again.
  const bridges = () => fs.readdirSync('/proc').filter((pid) => {
    try {
      const stat = fs.readFileSync(`/proc/${pid}/stat`, 'utf8');
      const parent = Number(stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1]);
      return parent === browser.child.pid &&
        fs.readFileSync(`/proc/${pid}/cmdline`, 'utf8').includes('vgwlhost.exe');
    } catch {
      return false; // a process that ended while we looked
    }
  });
  const [bridge] = bridges();
  assert.ok(bridge, 'the browser runs the bridge');
  process.kill(Number(bridge), 'SIGKILL');
  await waitFor('the bridge to end', () => !bridges().includes(bridge));
  assert.equal(await page.evaluate('window.kinds.open()'), null);
  await stoppedOnce('a popup stopped while the bridge was away');
  assert.ok(bridges().length === 1 && !bridges().includes(bridge), 'one new bridge');
  check('the extension starts the bridge again and reports what it stopped meanwhile');

  // A burst: every popup counted, one or two notifications.
  await page.evaluate(`window.burst(${BURST})`);
  await waitFor('the burst counted', async () => (await probe.count()) === count + BURST);
  count += BURST;
  const burstEnergy = await recording.soundEnded(heard + oneSound / 2);
  const announced = Math.round((burstEnergy - heard) / oneSound);
  heard = burstEnergy;
  assert.ok(announced >= 1 && announced <= 2, `a burst announced ${announced} times`);
  check(`a burst of ${BURST} counted in full and announced ${announced} time(s)`);

  // A white list saved on the window reaches the open browser.
  await probe.ask('save 127.0.0.1');
  await applied('the saved white list', { hostListed: '127.0.0.1' });
  await page.navigate(`${plain.origin}/?saved`);
  await page.evaluate('window.popupRun = "saved"; void window.kinds.open()');
  await waitFor('the popup of the site saved', () => browser.pagesWith('/popup/open?saved').length);
  check('a white list saved on the window takes effect at the next page load');

  // Blocking switched off on the window: everything opens.
  await probe.ask('blocking 0');
  await applied('blocking off', { blocking: false });
  await page.navigate(`http://badexample.test:${plain.port}/?off`);
  await page.evaluate('window.popupRun = "off"');
  for (const kind of SCRIPT_KINDS) await page.evaluate(`void window.kinds.${kind}()`);
  await waitFor('every popup with blocking off', () =>
    SCRIPT_KINDS.every((k) => browser.pagesWith(`/popup/${k}?off`).length === 1));
  await probe.ask('blocking 1');
  await applied('blocking on', { blocking: true });
  await page.navigate(`http://badexample.test:${plain.port}/?on`);
  assert.equal(await page.evaluate('window.kinds.open()'), null);
  await stoppedOnce('a popup after blocking came back on');
  check('with blocking off everything opens, and nothing is counted');
  if (opt.browser !== 'firefox') return;

  // Two browsers, one count: a popup stopped in each at the same moment.
  const chromium = await launchChromium('chromium-profile');
  await waitFor('Chromium\'s white list', () => chromium.stateApplied({ hostListed: '127.0.0.2' }),
    20000);
  const pages = [page, await chromium.newPage()];
  for (const p of pages) await p.navigate(`http://badexample.test:${plain.port}/?both`);
  const results = await Promise.all(pages.map((p) => p.evaluate('window.kinds.open()')));
  assert.deepEqual(results, [null, null]);
  await waitFor('both popups counted', async () => (await probe.count()) === count + 2);
  check('a popup stopped in Firefox and one in Chromium at the same moment both count');
}

let failed = false;
try {
  await run();
} catch (error) {
  failed = true;
  console.error(`not ok - ${error.stack || error}`);
} finally {
  await cleanUp();
  clearTimeout(watchdog);
}
process.exit(failed ? 1 : 0);
