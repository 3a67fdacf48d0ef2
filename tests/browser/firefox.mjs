// Starts Debian's Firefox ESR headless with a fresh profile and a private
// HOME (where Firefox looks for native messaging host manifests), installs
// the extension as a temporary add-on and drives it over WebDriver BiDi.
// It offers what the whole-system test uses of the Chromium driver.
// Node 20 has WebSocket only with --experimental-websocket.

import { spawn } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { HOST_NAME, request, waitFor } from './chromium.mjs';

export const FIREFOX_EXTENSION_ID = 'velmora-gatewick-lite@corvantis.com';

// Run in the browser's own (privileged) window: what the extension last
// applied, as it keeps it, and whether its blocker is registered.
const STATE_PROBE = `(async () => {
  const policy = WebExtensionPolicy.getByID(${JSON.stringify(FIREFOX_EXTENSION_ID)});
  const { ExtensionStorageIDB } = ChromeUtils.importESModule(
    'resource://gre/modules/ExtensionStorageIDB.sys.mjs');
  const db = await ExtensionStorageIDB.open(ExtensionStorageIDB.getStoragePrincipal(policy.extension));
  const stored = await db.get(['blocking', 'hosts']);
  return { ...stored, registered: policy.contentScripts.length };
})()`;

export class Firefox {
  static async launch({ profileDir, homeDir, hostCommand, extensionDir, hostNames = [],
    env = process.env }) {
    for (const dir of [profileDir, homeDir]) {
      fs.rmSync(dir, { recursive: true, force: true });
      fs.mkdirSync(dir, { recursive: true });
    }
    const hosts = path.join(homeDir, '.mozilla', 'native-messaging-hosts');
    fs.mkdirSync(hosts, { recursive: true });
    fs.writeFileSync(path.join(hosts, `${HOST_NAME}.json`), JSON.stringify({
      name: HOST_NAME,
      description: 'Velmora Gatewick Lite',
      path: hostCommand,
      type: 'stdio',
      allowed_extensions: [FIREFOX_EXTENSION_ID],
    }));
    // Only our blocker acts on popups; the test's names are this machine's,
    // over plain HTTP.
    const prefs = {
      'dom.disable_open_during_load': false,
      'network.dns.localDomains': hostNames.join(','),
      'dom.security.https_first': false,
      'dom.security.https_first_schemeless': false,
      'browser.shell.checkDefaultBrowser': false,
      'datareporting.policy.dataSubmissionEnabled': false,
    };
    fs.writeFileSync(path.join(profileDir, 'user.js'), Object.entries(prefs)
      .map(([k, v]) => `user_pref(${JSON.stringify(k)}, ${JSON.stringify(v)});\n`).join(''));
    const child = spawn('firefox-esr', ['--headless', '--remote-debugging-port', '0',
      '--remote-allow-system-access', '--profile', profileDir, '--no-remote', 'about:blank'], {
      stdio: ['ignore', 'ignore', 'pipe'], detached: true, env: { ...env, HOME: homeDir },
    });
    let log = '';
    child.stderr.on('data', (chunk) => { log += chunk; });
    const browser = new Firefox(child);
    const url = await waitFor('Firefox\'s WebDriver BiDi address', () =>
      (log.match(/WebDriver BiDi listening on (ws:\/\/\S+)/) || [])[1] || browser.exited, 30000);
    if (browser.exited) throw new Error(`Firefox ended: ${log}`);
    await browser.connect(`${url}/session`);
    await browser.send('session.new', { capabilities: {} });
    await browser.send('session.subscribe', { events: ['browsingContext.contextCreated',
      'browsingContext.navigationStarted', 'browsingContext.load'] });
    await browser.send('webExtension.install', { extensionData: { type: 'path', path: extensionDir } });
    const { contexts } = await browser.send('browsingContext.getTree', { 'moz:scope': 'chrome' });
    browser.chrome = contexts[0].context;
    return browser;
  }

  constructor(child) {
    this.child = child;
    this.nextId = 1;
    this.pending = new Map();
    this.contexts = new Map(); // context -> its address, every context ever seen
    this.topLevel = new Set();
    this.exited = false;
    child.on('exit', () => {
      this.exited = true;
      for (const { reject } of this.pending.values()) reject(new Error('Firefox ended'));
      this.pending.clear();
    });
  }

  async connect(url) {
    this.socket = new WebSocket(url);
    await new Promise((resolve, reject) => {
      this.socket.onopen = resolve;
      this.socket.onerror = () => reject(new Error(`no WebDriver BiDi at ${url}`));
    });
    this.socket.onmessage = (event) => {
      const m = JSON.parse(event.data);
      if (m.id !== undefined && this.pending.has(m.id)) {
        const { resolve, reject, method } = this.pending.get(m.id);
        this.pending.delete(m.id);
        if (m.type === 'error') reject(new Error(`${method}: ${m.error}: ${m.message}`));
        else resolve(m.result);
      } else if (m.type === 'event' && m.params?.context && m.params.url !== undefined) {
        if (m.method === 'browsingContext.contextCreated' && m.params.parent === null) {
          this.topLevel.add(m.params.context);
        }
        this.contexts.set(m.params.context, m.params.url);
      }
    };
  }

  send(method, params = {}, timeoutMs = 15000) {
    if (this.exited) return Promise.reject(new Error('Firefox ended'));
    const id = this.nextId++;
    return request(this.pending, id, method, timeoutMs,
      () => this.socket.send(JSON.stringify({ id, method, params })));
  }

  // The value of a script in a context, carried as JSON.
  async evaluate(context, expression, { userGesture = false } = {}) {
    const result = await this.send('script.evaluate', {
      // A script, as the DevTools protocol takes it: its last statement's value.
      expression: `(async () => { const v = await eval(${JSON.stringify(expression)});
        return v === undefined ? undefined : JSON.stringify(v); })()`,
      target: { context }, awaitPromise: true, userActivation: userGesture,
    });
    if (result.type === 'exception') {
      throw new Error(`evaluation failed: ${result.exceptionDetails.text}`);
    }
    return result.result.type === 'string' ? JSON.parse(result.result.value) : undefined;
  }

  // Whether the extension has applied a state: the host on its white list,
  // or the switch; either way with the blocker registered exactly while
  // blocking is on (the state is stored before the blocker is registered).
  async stateApplied({ hostListed, blocking }) {
    const state = await this.evaluate(this.chrome, STATE_PROBE);
    if ((state.registered > 0) !== (state.blocking !== false)) return false;
    if (hostListed !== undefined) return (state.hosts || []).includes(hostListed);
    return state.blocking === blocking;
  }

  async newPage() {
    const { context } = await this.send('browsingContext.create', { type: 'tab' });
    const browser = this;
    return {
      evaluate: (expression, options) => browser.evaluate(context, expression, options),
      async navigate(url, timeoutMs = 15000) {
        await browser.send('browsingContext.navigate', { context, url, wait: 'complete' }, timeoutMs);
      },
      // A trusted click, with user activation, at the middle of an element.
      async click(selector) {
        const box = await browser.evaluate(context, `(() => {
          const r = document.querySelector(${JSON.stringify(selector)}).getBoundingClientRect();
          return { x: Math.round(r.left + r.width / 2), y: Math.round(r.top + r.height / 2) };
        })()`);
        await browser.send('input.performActions', { context, actions: [{
          type: 'pointer', id: 'mouse', actions: [{ type: 'pointerMove', x: box.x, y: box.y },
            { type: 'pointerDown', button: 0 }, { type: 'pointerUp', button: 0 }],
        }] });
      },
    };
  }

  // Top-level contexts whose address contains the text.
  pagesWith(text) {
    return [...this.contexts].filter(([c, url]) => this.topLevel.has(c) && url.includes(text));
  }

  async close() {
    if (!this.exited) {
      this.send('browser.close', {}, 5000).catch(() => {});
      await waitFor('Firefox to end', () => this.exited, 5000).catch(() => {});
    }
    if (!this.exited) {
      try {
        process.kill(-this.child.pid, 'SIGKILL');
      } catch {
        // Already gone.
      }
      await waitFor('Firefox to be killed', () => this.exited, 5000).catch(() => {});
    }
  }
}
