// What the two browser drivers share, and the Chromium one: Debian's Chromium headless with a fresh
// profile, the extension and a host manifest, driven through the DevTools protocol over
// --remote-debugging-pipe (NUL-separated JSON on fds 3 and 4).

import { spawn } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';

export const HOST_NAME = 'com.corvantis.velmora_gatewick_lite';
export const EXTENSION_ID = 'hocjjooaehcbbheljilpafidamikncan';

// check()'s value once it is truthy; after the timeout, an error naming the description.
// The default allows for a loaded machine; a wait that succeeds ends at once.
export async function waitFor(description, check, timeoutMs = 20000, everyMs = 20) {
  const end = Date.now() + timeoutMs;
  for (;;) {
    const value = await check();
    if (value) return value;
    if (Date.now() > end) throw new Error(`timed out waiting for ${description}`);
    await new Promise((r) => setTimeout(r, everyMs));
  }
}

// A browser process and its commands awaiting answers. A driver adds send, openTab, evaluate,
// navigate and pointerClick, and records its top-level pages (id -> address, all ever seen).
export class Browser {
  nextId = 1;
  pending = new Map();
  pages = new Map();
  exited = false;

  constructor(child) {
    this.child = child;
    child.on('exit', () => {
      this.exited = true;
      for (const id of this.pending.keys()) this.settle(id, `${this.name} ended`);
    });
  }

  // The native messaging host manifest, in dir, that names hostCommand.
  static writeManifest(dir, hostCommand, allowed) {
    fs.mkdirSync(dir, { recursive: true });
    fs.writeFileSync(path.join(dir, `${HOST_NAME}.json`), JSON.stringify({
      name: HOST_NAME, description: 'Velmora Gatewick Lite', path: hostCommand, type: 'stdio',
      ...allowed,
    }));
  }

  // One command: write(id) sends it; its answer, or the timeout, settles it.
  request(method, write, timeoutMs = 15000) {
    if (this.exited) return Promise.reject(new Error(`${this.name} ended`));
    const id = this.nextId++;
    return new Promise((resolve, reject) => {
      const timer = setTimeout(() => this.settle(id, `no answer in ${timeoutMs} ms`), timeoutMs);
      this.pending.set(id, { method, resolve, reject, timer });
      write(id);
    });
  }

  // False when no command waits for this id.
  settle(id, error, result) {
    const command = this.pending.get(id);
    if (!command) return false;
    this.pending.delete(id);
    clearTimeout(command.timer);
    if (error) command.reject(new Error(`${command.method}: ${error}`));
    else command.resolve(result);
    return true;
  }

  async newPage() {
    const tab = await this.openTab();
    return {
      ...tab,
      evaluate: (expression) => this.evaluate(tab.context, expression),
      navigate: (url) => this.navigate(tab.context, url),
      // A trusted click, with user activation, at the middle of an element.
      click: async (selector) => {
        const box = await this.evaluate(tab.context, `(() => {
          const r = document.querySelector(${JSON.stringify(selector)}).getBoundingClientRect();
          return { x: Math.round(r.left + r.width / 2), y: Math.round(r.top + r.height / 2) };
        })()`);
        await this.pointerClick(tab.context, box);
      },
    };
  }

  // Top-level pages whose address contains the text.
  pagesWith(text) {
    return [...this.pages.values()].filter((url) => url.includes(text));
  }

  async close() {
    if (!this.exited) this.send(this.closeCommand).catch(() => {});
    await waitFor(`${this.name} to end`, () => this.exited, 5000).catch(() => {});
    if (!this.exited) process.kill(-this.child.pid, 'SIGKILL');
    await waitFor(`${this.name} to be killed`, () => this.exited, 5000).catch(() => {});
  }
}

export class Chromium extends Browser {
  name = 'Chromium';
  closeCommand = 'Browser.close';
  loads = new Map(); // sessionId -> load events seen

  // profileDir: a fresh folder; extensionDir: loaded unpacked.
  static async launch({ profileDir, hostCommand, extensionDir, extraArgs = [], env = process.env }) {
    fs.rmSync(profileDir, { recursive: true, force: true });
    Browser.writeManifest(path.join(profileDir, 'NativeMessagingHosts'), hostCommand,
      { allowed_origins: [`chrome-extension://${EXTENSION_ID}/`] });
    const args = [
      '--headless=new', '--no-sandbox', '--no-first-run', '--no-default-browser-check',
      '--disable-gpu', '--disable-popup-blocking', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--remote-debugging-pipe',
      `--user-data-dir=${profileDir}`, `--load-extension=${extensionDir}`, ...extraArgs,
      'about:blank',
    ];
    const log = fs.openSync(path.join(profileDir, 'chromium.log'), 'w');
    // A group of its own, so that its helpers end with it.
    const child = spawn('chromium', args,
      { stdio: ['ignore', log, log, 'pipe', 'pipe'], detached: true, env });
    fs.closeSync(log);
    const browser = new Chromium(child);
    await browser.send('Target.setDiscoverTargets', { discover: true });
    browser.worker = await browser.extensionWorker();
    return browser;
  }

  constructor(child) {
    super(child);
    let buffer = Buffer.alloc(0);
    child.stdio[4].on('data', (chunk) => {
      buffer = Buffer.concat([buffer, chunk]);
      for (let end; (end = buffer.indexOf(0)) >= 0; buffer = buffer.subarray(end + 1)) {
        this.dispatch(JSON.parse(buffer.subarray(0, end).toString('utf8')));
      }
    });
    for (const fd of [3, 4]) child.stdio[fd].on('error', () => {});
  }

  dispatch(m) {
    if (this.settle(m.id, m.error?.message, m.result)) return;
    const info = m.params?.targetInfo;
    if (info?.type === 'page') this.pages.set(info.targetId, info.url);
    if (m.method === 'Page.loadEventFired') {
      this.loads.set(m.sessionId, (this.loads.get(m.sessionId) ?? 0) + 1);
    }
  }

  send(method, params = {}, sessionId = undefined) {
    return this.request(method, (id) => this.child.stdio[3].write(
      `${JSON.stringify({ id, method, params, ...(sessionId ? { sessionId } : {}) })}\0`));
  }

  // Evaluates an expression in a session; its value, or the thrown text.
  async evaluate(sessionId, expression) {
    const { result, exceptionDetails: ex } = await this.send('Runtime.evaluate',
      { expression, awaitPromise: true, returnByValue: true }, sessionId);
    if (ex) throw new Error(`evaluation failed: ${ex.exception?.description || ex.text}`);
    return result.value;
  }

  async attach(targetId) {
    return (await this.send('Target.attachToTarget', { targetId, flatten: true })).sessionId;
  }

  // The extension's service worker, attached.
  async extensionWorker() {
    const prefix = `chrome-extension://${EXTENSION_ID}/`;
    const worker = await waitFor('the extension\'s service worker', async () =>
      (await this.send('Target.getTargets')).targetInfos
        .find((t) => t.type === 'service_worker' && t.url.startsWith(prefix)), 15000);
    return this.attach(worker.targetId);
  }

  // Has the extension applied a state the bridge sent?
  stateApplied({ hostListed, blocking }) {
    // The worker's script may not have run yet when it is first reached.
    return this.evaluate(this.worker, `typeof applying !== 'undefined' && applying.then(() => ${
      hostListed !== undefined ? `VgwlRules.covers(listed, ${JSON.stringify(hostListed)})`
        : `blocking === ${blocking}`})`);
  }

  // A new tab, attached, with Page events on.
  async openTab() {
    const { targetId } = await this.send('Target.createTarget', { url: 'about:blank' });
    const sessionId = await this.attach(targetId);
    await this.send('Page.enable', {}, sessionId);
    return { sessionId, context: sessionId };
  }

  // Loads an address and waits for its load event.
  async navigate(sessionId, url) {
    const loads = this.loads.get(sessionId) ?? 0;
    const result = await this.send('Page.navigate', { url }, sessionId);
    if (result.errorText) throw new Error(`${url}: ${result.errorText}`);
    await waitFor(`the load event of ${url}`, () => this.loads.get(sessionId) > loads, 15000);
  }

  async pointerClick(sessionId, { x, y }) {
    for (const type of ['mousePressed', 'mouseReleased']) {
      await this.send('Input.dispatchMouseEvent', { type, x, y, button: 'left', clickCount: 1 },
        sessionId);
    }
  }
}
