// Starts Debian's Chromium headless with a fresh profile, the extension and
// a native messaging host manifest, and drives it through the DevTools
// protocol over --remote-debugging-pipe (NUL-separated JSON on fds 3 and 4).

import { spawn } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';

export const HOST_NAME = 'com.corvantis.velmora_gatewick_lite';
export const EXTENSION_ID = 'hocjjooaehcbbheljilpafidamikncan';

// Resolves with the value of check() once it is truthy; rejects after the
// timeout with the description, so that nothing waits forever.
export async function waitFor(description, check, timeoutMs = 10000, everyMs = 20) {
  const end = Date.now() + timeoutMs;
  for (;;) {
    const value = await check();
    if (value) return value;
    if (Date.now() > end) throw new Error(`timed out waiting for ${description}`);
    await new Promise((r) => setTimeout(r, everyMs));
  }
}

// One command awaiting its answer: entered in `pending` under its id until
// the answer, or the timeout, settles it.
export function request(pending, id, method, timeoutMs, write) {
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => {
      pending.delete(id);
      reject(new Error(`${method}: no answer in ${timeoutMs} ms`));
    }, timeoutMs);
    pending.set(id, {
      method,
      resolve: (v) => (clearTimeout(timer), resolve(v)),
      reject: (e) => (clearTimeout(timer), reject(e)),
    });
    write();
  });
}

export class Chromium {
  // profileDir: a fresh folder; hostCommand: the executable the host
  // manifest names (null for none); extensionDir: loaded unpacked (or none).
  static async launch({ profileDir, hostCommand, extensionDir, extraArgs = [], env = process.env }) {
    fs.rmSync(profileDir, { recursive: true, force: true });
    fs.mkdirSync(path.join(profileDir, 'NativeMessagingHosts'), { recursive: true });
    if (hostCommand) {
      const manifest = {
        name: HOST_NAME,
        description: 'Velmora Gatewick Lite',
        path: hostCommand,
        type: 'stdio',
        allowed_origins: [`chrome-extension://${EXTENSION_ID}/`],
      };
      fs.writeFileSync(path.join(profileDir, 'NativeMessagingHosts', `${HOST_NAME}.json`),
        JSON.stringify(manifest));
    }
    const args = [
      '--headless=new', '--no-sandbox', '--no-first-run', '--no-default-browser-check',
      '--disable-gpu', '--disable-popup-blocking', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--remote-debugging-pipe',
      `--user-data-dir=${profileDir}`,
      ...(extensionDir ? [`--load-extension=${extensionDir}`] : []),
      ...extraArgs,
      'about:blank',
    ];
    const log = fs.openSync(path.join(profileDir, 'chromium.log'), 'w');
    // A group of its own, so that its helpers end with it.
    const child = spawn('chromium', args, {
      stdio: ['ignore', log, log, 'pipe', 'pipe'],
      detached: true,
      env,
    });
    fs.closeSync(log);
    const browser = new Chromium(child, profileDir);
    await browser.send('Target.setDiscoverTargets', { discover: true });
    return browser;
  }

  constructor(child, profileDir) {
    this.child = child;
    this.profileDir = profileDir;
    this.nextId = 1;
    this.pending = new Map();
    this.listeners = new Set();
    this.targets = new Map(); // targetId -> info, every target ever seen
    this.exited = false;
    let buffer = Buffer.alloc(0);
    child.stdio[4].on('data', (chunk) => {
      buffer = Buffer.concat([buffer, chunk]);
      for (let end; (end = buffer.indexOf(0)) >= 0; buffer = buffer.subarray(end + 1)) {
        this.dispatch(JSON.parse(buffer.subarray(0, end).toString('utf8')));
      }
    });
    child.stdio[4].on('error', () => {});
    child.stdio[3].on('error', () => {});
    child.on('exit', () => {
      this.exited = true;
      for (const { reject } of this.pending.values()) reject(new Error('Chromium ended'));
      this.pending.clear();
    });
    this.on((m) => {
      if (m.method === 'Target.targetCreated' || m.method === 'Target.targetInfoChanged') {
        this.targets.set(m.params.targetInfo.targetId, m.params.targetInfo);
      }
    });
  }

  dispatch(message) {
    if (message.id !== undefined && this.pending.has(message.id)) {
      const { resolve, reject, method } = this.pending.get(message.id);
      this.pending.delete(message.id);
      if (message.error) reject(new Error(`${method}: ${message.error.message}`));
      else resolve(message.result);
      return;
    }
    for (const listener of this.listeners) listener(message);
  }

  on(listener) {
    this.listeners.add(listener);
    return () => this.listeners.delete(listener);
  }

  send(method, params = {}, sessionId = undefined, timeoutMs = 15000) {
    if (this.exited) return Promise.reject(new Error('Chromium ended'));
    const id = this.nextId++;
    const message = { id, method, params, ...(sessionId ? { sessionId } : {}) };
    return request(this.pending, id, method, timeoutMs,
      () => this.child.stdio[3].write(`${JSON.stringify(message)}\0`));
  }

  // Evaluates an expression in a session; its value, or the thrown text.
  async evaluate(sessionId, expression, { userGesture = false } = {}) {
    const result = await this.send('Runtime.evaluate', {
      expression, awaitPromise: true, returnByValue: true, userGesture,
    }, sessionId);
    if (result.exceptionDetails) {
      const text = result.exceptionDetails.exception?.description || result.exceptionDetails.text;
      throw new Error(`evaluation failed: ${text}`);
    }
    return result.result.value;
  }

  async attach(targetId) {
    const { sessionId } = await this.send('Target.attachToTarget', { targetId, flatten: true });
    return sessionId;
  }

  // The extension's service worker, attached.
  async extensionWorker(timeoutMs = 15000) {
    const prefix = `chrome-extension://${EXTENSION_ID}/`;
    const worker = await waitFor('the extension\'s service worker', () =>
      [...this.targets.values()].find((t) => t.type === 'service_worker' && t.url.startsWith(prefix)),
    timeoutMs);
    return this.attach(worker.targetId);
  }

  // A new tab, attached, with Page events on; navigate() loads an address
  // and waits for its load event.
  async newPage() {
    const { targetId } = await this.send('Target.createTarget', { url: 'about:blank' });
    const sessionId = await this.attach(targetId);
    await this.send('Page.enable', {}, sessionId);
    await this.send('Runtime.enable', {}, sessionId);
    const browser = this;
    return {
      targetId,
      sessionId,
      evaluate: (expression, options) => browser.evaluate(sessionId, expression, options),
      async navigate(url, timeoutMs = 15000) {
        let off;
        const loaded = new Promise((resolve, reject) => {
          const timer = setTimeout(() => reject(new Error(`no load event for ${url}`)), timeoutMs);
          off = browser.on((m) => {
            if (m.sessionId === sessionId && m.method === 'Page.loadEventFired') {
              clearTimeout(timer);
              resolve();
            }
          });
        });
        try {
          const result = await browser.send('Page.navigate', { url }, sessionId);
          if (result.errorText) throw new Error(`${url}: ${result.errorText}`);
          await loaded;
        } finally {
          off();
        }
      },
      // A trusted click, with user activation, at the middle of an element.
      async click(selector) {
        const box = await browser.evaluate(sessionId, `(() => {
          const r = document.querySelector(${JSON.stringify(selector)}).getBoundingClientRect();
          return { x: r.left + r.width / 2, y: r.top + r.height / 2 };
        })()`);
        for (const type of ['mousePressed', 'mouseReleased']) {
          await browser.send('Input.dispatchMouseEvent',
            { type, x: box.x, y: box.y, button: 'left', clickCount: 1 }, sessionId);
        }
      },
    };
  }

  // Page targets whose address contains the text.
  pagesWith(text) {
    return [...this.targets.values()].filter((t) => t.type === 'page' && t.url.includes(text));
  }

  async close() {
    if (!this.exited) {
      this.send('Browser.close', {}, undefined, 5000).catch(() => {});
      await waitFor('Chromium to end', () => this.exited, 5000).catch(() => {});
    }
    if (!this.exited) {
      try {
        process.kill(-this.child.pid, 'SIGKILL');
      } catch {
        // Already gone.
      }
      await waitFor('Chromium to be killed', () => this.exited, 5000).catch(() => {});
    }
  }
}
