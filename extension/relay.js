// Runs in the extension's isolated world of every frame the blocker runs in.
// It takes the one port the blocker posts at document start, before any page
// script has run. When the page first tries a popup it asks the background
// whether this page's popups are to be stopped (the background decides from
// the address the browser gives, so a page cannot talk itself onto the white
// list) and tells the blocker; then it passes each stopped popup on. A page
// that tries no popup costs no message. The page cannot reach this world, so
// it can only report popups it really tried to open, and no faster than the
// bucket allows.
(() => {
  'use strict';
  const MAX_URL = 8192;
  // The background's own limit per tab, here per frame, so that a page
  // cannot flood the browser with messages that would be dropped anyway.
  const BURST = 40;
  const PER_SECOND = 10;
  let tokens = BURST;
  let last = Date.now();
  let port = null;
  let asked = false;
  let decision = null; // true: stop this page's popups

  function take() {
    const now = Date.now();
    tokens = Math.min(BURST, tokens + ((now - last) / 1000) * PER_SECOND);
    last = now;
    if (tokens < 1) return false;
    tokens -= 1;
    return true;
  }

  function tell() {
    if (port && decision !== null) port.postMessage(decision);
  }

  // A new switch or white list: a page that has asked learns the new answer.
  function onBackground(message) {
    if (message && message.type === 'recheck') ask();
  }

  function ask() {
    if (!asked) chrome.runtime.onMessage.addListener(onBackground);
    asked = true;
    chrome.runtime.sendMessage({ type: 'ask' }).then(
      (answer) => {
        decision = !answer || answer.block !== false;
        tell();
      },
      () => {
        // No answer (the background is restarting): stop popups, the safe side.
        decision = true;
        tell();
      },
    );
  }

  // From the blocker: null asks, a string reports a stopped popup.
  function onBlocker(message) {
    if (message.data === null) {
      if (!asked) ask();
      return;
    }
    if (!take()) return;
    const popup = typeof message.data === 'string' ? message.data.slice(0, MAX_URL) : '';
    chrome.runtime.sendMessage({ type: 'blocked', popup }).catch(() => {
      // The background is restarting; this one popup goes uncounted.
    });
  }

  // The blocker posts its port when it hears that this listens; it may have
  // started before this or start after (then it says so, and hears this).
  const hello = () => dispatchEvent(new Event('vgwl-relay-hello'));
  addEventListener(
    'message',
    (event) => {
      if (port || event.source !== window || event.data !== 'vgwl-relay/1') return;
      if (event.ports.length !== 1) return;
      event.stopImmediatePropagation();
      port = event.ports[0];
      port.onmessage = onBlocker;
      removeEventListener('vgwl-blocker-ready', hello, true);
    },
    true,
  );
  addEventListener('vgwl-blocker-ready', hello, true);
  hello();
})();
