// Keeps one port open to the Velmora Gatewick Lite bridge, applies the
// blocking switch and the white list it sends (at start and on every change)
// to the blocker's registration, and reports every stopped popup to it.
'use strict';

if (typeof importScripts === 'function') importScripts('whitelist.js');

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
let incoming = null; // hosts gathered from a state split over several messages
let applying = Promise.resolve();
let stateSeen = false;
const queued = []; // reports made while the bridge was away
const buckets = new Map();

// ------------------------------------------------------------ the blocker

function registration(world, file, excludeMatches) {
  return {
    id: world === 'MAIN' ? SCRIPT_IDS[0] : SCRIPT_IDS[1],
    js: [file],
    world,
    matches: ['<all_urls>'],
    excludeMatches,
    runAt: 'document_start',
    allFrames: true,
    matchOriginAsFallback: true,
    // In force from the browser's start on, before the bridge has answered.
    persistAcrossSessions: true,
  };
}

async function applyState(blocking, hosts) {
  const present = await chrome.scripting.getRegisteredContentScripts({ ids: SCRIPT_IDS });
  if (!blocking) {
    if (present.length) {
      await chrome.scripting.unregisterContentScripts({ ids: present.map((s) => s.id) });
    }
    return;
  }
  const excludes = VgwlWhiteList.exclusionPatterns(hosts);
  const scripts = [
    registration('MAIN', 'blocker.js', excludes),
    registration('ISOLATED', 'relay.js', excludes),
  ];
  if (present.length === scripts.length) {
    // One step, so that no page loads between an old and a new registration.
    await chrome.scripting.updateContentScripts(scripts);
  } else {
    if (present.length) {
      await chrome.scripting.unregisterContentScripts({ ids: present.map((s) => s.id) });
    }
    await chrome.scripting.registerContentScripts(scripts);
  }
}

// States are applied one after the other, in the order they came.
function queueState(blocking, hosts) {
  applying = applying
    .then(() => applyState(blocking, hosts))
    .catch((error) => console.error('Velmora Gatewick Lite: state not applied:', error));
}

// ------------------------------------------------------------ the bridge

function onHostMessage(message) {
  retryMs = RETRY_FIRST_MS;
  if (!message || message.type !== 'state') {
    if (message && message.type === 'error') {
      console.warn('Velmora Gatewick Lite bridge:', message.reason);
    }
    return;
  }
  if (typeof message.blocking !== 'boolean') return;
  const hosts = Array.isArray(message.hosts) ? message.hosts : [];
  incoming = (incoming || []).concat(hosts.slice(0, MAX_HOSTS - (incoming || []).length));
  if (message.more === true) return;
  const complete = incoming;
  incoming = null;
  stateSeen = true;
  queueState(message.blocking, complete);
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
  incoming = null;
  opened.onMessage.addListener(onHostMessage);
  opened.onDisconnect.addListener(() => {
    const why = chrome.runtime.lastError;
    if (why) console.warn('Velmora Gatewick Lite: bridge gone:', why.message);
    if (port === opened) port = null;
    scheduleReconnect();
  });
  opened.postMessage({ type: 'hello' });
  while (queued.length && port === opened) opened.postMessage(queued.shift());
}

function scheduleReconnect() {
  if (retryTimer !== null) return;
  retryTimer = setTimeout(connect, retryMs);
  retryMs = Math.min(RETRY_MAX_MS, retryMs * 2);
}

// ------------------------------------------------------------ reports

// The string cut to at most max UTF-8 bytes, never inside a character.
function boundUtf8(text, max) {
  const bytes = new TextEncoder().encode(text);
  if (bytes.length <= max) return text;
  let end = max;
  while (end > 0 && (bytes[end] & 0xc0) === 0x80) end--;
  return new TextDecoder().decode(bytes.subarray(0, end));
}

function takeToken(tabId) {
  const now = Date.now();
  const bucket = buckets.get(tabId) || { tokens: TAB_BURST, last: now };
  bucket.tokens = Math.min(TAB_BURST, bucket.tokens + ((now - bucket.last) / 1000) * TAB_PER_SECOND);
  bucket.last = now;
  buckets.set(tabId, bucket);
  if (bucket.tokens < 1) return false;
  bucket.tokens -= 1;
  return true;
}

function onReport(message, sender) {
  // Only our own relay, in a frame of a tab, may report.
  if (sender.id !== chrome.runtime.id || !sender.tab || typeof sender.url !== 'string') return;
  if (!message || message.type !== 'blocked' || typeof message.popup !== 'string') return;
  if (!takeToken(sender.tab.id)) return;
  // The page's address comes from the browser; a frame without one of its
  // own (about:blank, data:) counts for the page of its tab.
  const page = /^https?:/i.test(sender.url) ? sender.url : sender.tab.url || sender.url;
  const report = {
    type: 'blocked',
    page: boundUtf8(page, MAX_URL_BYTES),
    popup: boundUtf8(message.popup, MAX_URL_BYTES),
  };
  try {
    if (port) {
      port.postMessage(report);
      return;
    }
  } catch {
    // The port has just closed: keep the report for the next one.
  }
  if (queued.length < MAX_QUEUED) queued.push(report);
}

chrome.runtime.onMessage.addListener((message, sender) => {
  onReport(message, sender);
  return false;
});
chrome.tabs.onRemoved.addListener((tabId) => buckets.delete(tabId));
// A new installation blocks everywhere until the bridge says otherwise.
chrome.runtime.onInstalled.addListener(async () => {
  const present = await chrome.scripting.getRegisteredContentScripts({ ids: SCRIPT_IDS });
  if (!present.length && !stateSeen) queueState(true, []);
});

connect();
