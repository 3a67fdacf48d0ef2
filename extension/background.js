// Keeps one port open to the Velmora Gatewick Lite bridge, holds the blocking
// switch and the white list it sends (at start and on every change), tells
// each page whether its popups are to be stopped, and reports every stopped
// popup to the bridge.
//
// The white list is not turned into exclusion patterns of the blocker's
// registration: the browser tests every pattern in turn on every frame it
// loads, and 10000 hosts made each page load about half as long again. The
// blocker runs everywhere instead, and a page asks at its first popup; the
// answer is one set look-up per label of the page's host.
'use strict';

if (typeof importScripts === 'function') importScripts('rules.js');

const HOST = 'com.corvantis.velmora_gatewick_lite';
const SCRIPT_IDS = ['vgwl-blocker', 'vgwl-relay'];
const MAX_URL_BYTES = 8192;
const MAX_HOSTS = 200000;
const MAX_QUEUED = 200;
// Per tab: a burst of this many reports, then this many a second.
const TAB_BURST = 40;
const TAB_PER_SECOND = 10;
const RETRY_FIRST_MS = 500;
const RETRY_MAX_MS = 60000;

let port = null;
let retryMs = RETRY_FIRST_MS;
let retryTimer = null;
const incoming = VgwlRules.stateGatherer(MAX_HOSTS);
let blocking = true; // until the bridge or the stored state says otherwise
let listed = new Set();
let applying = Promise.resolve();
const queued = []; // reports made while the bridge was away
// Reports sent over the open port and not yet answered: the bridge answers
// each one ("counted", or an error), in order. A port that closes may have
// taken some with it before the browser noticed; they go again on the next.
let unanswered = [];
const buckets = new Map();

// ------------------------------------------------------------ the state

// The blocker is registered exactly while blocking is on: with it off no
// page gets it.
async function register() {
  const present = await chrome.scripting.getRegisteredContentScripts({ ids: SCRIPT_IDS });
  const common = {
    matches: ['<all_urls>'],
    runAt: 'document_start',
    allFrames: true,
    matchOriginAsFallback: true,
    // In force from the browser's start on, before the bridge has answered.
    persistAcrossSessions: true,
  };
  const wanted = [
    { id: SCRIPT_IDS[0], js: ['blocker.js'], world: 'MAIN', ...common },
    { id: SCRIPT_IDS[1], js: ['relay.js'], world: 'ISOLATED', ...common },
  ];
  // A registration kept from another version of the extension is renewed.
  const current = (script) => {
    const kept = present.find((p) => p.id === script.id);
    return kept && JSON.stringify(kept.js) === JSON.stringify(script.js);
  };
  if (blocking && wanted.every(current)) return;
  if (present.length) {
    await chrome.scripting.unregisterContentScripts({ ids: present.map((p) => p.id) });
  }
  if (blocking) await chrome.scripting.registerContentScripts(wanted);
}

// Pages already open learn the new answer at once.
async function tellOpenPages() {
  for (const tab of await chrome.tabs.query({})) {
    chrome.tabs.sendMessage(tab.id, { type: 'recheck' }).catch(() => {
      // A tab without the blocker.
    });
  }
}

// States are applied one after the other, in the order they came; the last
// one is kept for the next start of the browser or of this worker (the list
// only when it changed: it may be long, and the switch changes alone).
function applyState(nextBlocking, hosts, store) {
  applying = applying
    .then(async () => {
      const next = VgwlRules.fromHosts(hosts);
      const sameList = next.size === listed.size && [...next].every((h) => listed.has(h));
      blocking = nextBlocking;
      listed = next;
      if (store) {
        await chrome.storage.local.set(sameList ? { blocking } : { blocking, hosts: [...listed] });
      }
      await register();
      await tellOpenPages();
    })
    .catch((error) => console.error('Velmora Gatewick Lite: state not applied:', error));
  return applying;
}

const restored = chrome.storage.local.get(['blocking', 'hosts']).then((stored) =>
  applyState(stored.blocking !== false, stored.hosts || [], false));

// ------------------------------------------------------------ the bridge

function onHostMessage(message) {
  retryMs = RETRY_FIRST_MS;
  if (message && (message.type === 'counted' || message.type === 'error')) unanswered.shift();
  if (message && message.type === 'error') {
    console.warn('Velmora Gatewick Lite bridge:', message.reason);
  }
  const state = incoming.add(message);
  if (state) restored.then(() => applyState(state.blocking, state.hosts, true));
}

function connect() {
  retryTimer = null;
  let opened;
  try {
    opened = chrome.runtime.connectNative(HOST);
  } catch (error) {
    console.warn('Velmora Gatewick Lite: no bridge:', error);
    scheduleReconnect();
    return;
  }
  port = opened;
  incoming.reset();
  opened.onMessage.addListener(onHostMessage);
  opened.onDisconnect.addListener(() => {
    const why = chrome.runtime.lastError;
    if (why) console.warn('Velmora Gatewick Lite: bridge gone:', why.message);
    if (port === opened) {
      port = null;
      queued.unshift(...unanswered.slice(-MAX_QUEUED));
      queued.splice(MAX_QUEUED);
      unanswered = [];
    }
    scheduleReconnect();
  });
  opened.postMessage({ type: 'hello' });
  while (queued.length && port === opened) send(queued.shift());
}

function send(message) {
  port.postMessage(message);
  unanswered.push(message);
  if (unanswered.length > MAX_QUEUED) unanswered.shift();
}

function scheduleReconnect() {
  if (retryTimer !== null) return;
  retryTimer = setTimeout(connect, retryMs);
  retryMs = Math.min(RETRY_MAX_MS, retryMs * 2);
}

// ------------------------------------------------------------ the pages

// The address a frame counts for, as the browser gives it: a frame without
// one of its own (about:blank, srcdoc) counts for its creator's origin, and
// failing that for its tab's page.
function pageOf(sender) {
  for (const candidate of [sender.url, sender.origin, sender.tab && sender.tab.url]) {
    if (typeof candidate === 'string' && /^https?:/i.test(candidate)) return candidate;
  }
  return typeof sender.url === 'string' ? sender.url : '';
}

function report(sender, popup) {
  if (!buckets.has(sender.tab.id)) buckets.set(sender.tab.id, VgwlRules.bucket(TAB_BURST, TAB_PER_SECOND));
  if (!buckets.get(sender.tab.id).take(Date.now())) return;
  const message = {
    type: 'blocked',
    page: VgwlRules.boundUtf8(pageOf(sender), MAX_URL_BYTES),
    popup: VgwlRules.boundUtf8(popup, MAX_URL_BYTES),
  };
  try {
    if (port) {
      send(message);
      return;
    }
  } catch {
    // The port has just closed: keep the report for the next one.
  }
  if (queued.length < MAX_QUEUED) queued.push(message);
}

chrome.runtime.onMessage.addListener((message, sender, answer) => {
  // Only our own relay, in a frame of a tab, may ask or report.
  if (sender.id !== chrome.runtime.id || !sender.tab || !message) return false;
  if (message.type === 'ask') {
    restored.then(() => {
      const host = VgwlRules.hostOf(pageOf(sender));
      answer({ block: blocking && !VgwlRules.covers(listed, host) });
    });
    return true;
  }
  if (message.type === 'blocked' && typeof message.popup === 'string') report(sender, message.popup);
  return false;
});
chrome.tabs.onRemoved.addListener((tabId) => buckets.delete(tabId));

connect();
