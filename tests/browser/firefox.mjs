// Debian's Firefox ESR headless with a fresh profile and a private HOME (where Firefox looks for
// host manifests), the extension installed as a temporary add-on, driven over WebDriver BiDi
// (Node 20 has WebSocket only with --experimental-websocket).

import { spawn } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { Browser, waitFor } from './chromium.mjs';

const EXTENSION_ID = 'velmora-gatewick-lite@corvantis.com';

// Run in the browser's own (privileged) window: what the extension last applied, as it keeps it,
// and whether its blocker is registered.
const STATE_PROBE = `(async () => {
  const policy = WebExtensionPolicy.getByID(${JSON.stringify(EXTENSION_ID)});
  const { ExtensionStorageIDB } = ChromeUtils.importESModule(
    'resource://gre/modules/ExtensionStorageIDB.sys.mjs');
  const db = await ExtensionStorageIDB.open(ExtensionStorageIDB.getStoragePrincipal(policy.extension));
  const stored = await db.get(['blocking', 'hosts']);
  return { ...stored, registered: policy.contentScripts.length };
})()`;

export class Firefox extends Browser {
  name = 'Firefox';
  closeCommand = 'browser.close';

  static async launch({ profileDir, hostCommand, extensionDir, hostNames = [] }) {
    const homeDir = `${profileDir}-home`;
    for (const dir of [profileDir, homeDir]) fs.rmSync(dir, { recursive: true, force: true });
    fs.mkdirSync(profileDir, { recursive: true });
    Browser.writeManifest(path.join(homeDir, '.mozilla', 'native-messaging-hosts'), hostCommand,
      { allowed_extensions: [EXTENSION_ID] });
    // Only our blocker acts on popups; the test's names are this machine's, over plain HTTP.
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
      stdio: ['ignore', 'ignore', 'pipe'], detached: true, env: { ...process.env, HOME: homeDir },
    });
    let log = '';
    child.stderr.on('data', (chunk) => { log += chunk; });
    const browser = new Firefox(child);
    const url = await waitFor('Firefox\'s WebDriver BiDi address', () =>
      (log.match(/WebDriver BiDi listening on (ws:\/\/\S+)/) || [])[1] || browser.exited, 30000);
    if (browser.exited) throw new Error(`Firefox ended: ${log}`);
    browser.socket = new WebSocket(`${url}/session`);
    await new Promise((resolve, reject) => {
      browser.socket.onopen = resolve;
      browser.socket.onerror = () => reject(new Error(`no WebDriver BiDi at ${url}`));
    });
    browser.socket.onmessage = (event) => browser.dispatch(JSON.parse(event.data));
    await browser.send('session.new', { capabilities: {} });
    await browser.send('session.subscribe', { events: ['browsingContext.contextCreated',
      'browsingContext.navigationStarted', 'browsingContext.load'] });
    await browser.send('webExtension.install', { extensionData: { type: 'path', path: extensionDir } });
    const { contexts } = await browser.send('browsingContext.getTree', { 'moz:scope': 'chrome' });
    browser.chrome = contexts[0].context;
    return browser;
  }

  dispatch(m) {
    if (this.settle(m.id, m.type === 'error' && `${m.error}: ${m.message}`, m.result)) return;
    const { context, url, parent } = m.params ?? {};
    if (m.type !== 'event' || !context || url === undefined) return;
    const created = m.method === 'browsingContext.contextCreated';
    // Top-level contexts only: those created without a parent.
    if (this.pages.has(context) || (created && parent === null)) this.pages.set(context, url);
  }

  send(method, params = {}) {
    return this.request(method, (id) => this.socket.send(JSON.stringify({ id, method, params })));
  }

  // The value of a script in a context, carried as JSON.
  async evaluate(context, expression) {
    const { type, result, exceptionDetails } = await this.send('script.evaluate', {
      // A script, as the DevTools protocol takes it: its last statement's value.
      expression: `(async () => { const v = await eval(${JSON.stringify(expression)});
        return v === undefined ? undefined : JSON.stringify(v); })()`,
      target: { context }, awaitPromise: true,
    });
    if (type === 'exception') throw new Error(`evaluation failed: ${exceptionDetails.text}`);
    return result.type === 'string' ? JSON.parse(result.value) : undefined;
  }

  // Whether the extension applied a state (the host listed, or the switch) with its blocker
  // registered exactly while blocking is on: the state is stored before the blocker is registered.
  async stateApplied({ hostListed, blocking }) {
    const state = await this.evaluate(this.chrome, STATE_PROBE);
    if ((state.registered > 0) !== (state.blocking !== false)) return false;
    if (hostListed !== undefined) return (state.hosts || []).includes(hostListed);
    return state.blocking === blocking;
  }

  async openTab() {
    return { context: (await this.send('browsingContext.create', { type: 'tab' })).context };
  }

  async navigate(context, url) {
    await this.send('browsingContext.navigate', { context, url, wait: 'complete' });
  }

  async pointerClick(context, { x, y }) {
    await this.send('input.performActions', { context, actions: [{
      type: 'pointer', id: 'mouse', actions: [{ type: 'pointerMove', x, y },
        { type: 'pointerDown', button: 0 }, { type: 'pointerUp', button: 0 }],
    }] });
  }
}
