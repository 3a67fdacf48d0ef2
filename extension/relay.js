// Runs in the extension's isolated world of every frame the blocker runs in:
// takes the one port the blocker posts at document start, before any page
// script has run, and passes each stopped popup on to the background. The
// page cannot reach this world, so it can only report popups it really tried
// to open, and no faster than the bucket below allows.
(() => {
  'use strict';
  const BURST = 40;
  const PER_SECOND = 10;
  const MAX_URL = 8192;
  let tokens = BURST;
  let last = Date.now();
  let port = null;

  function take() {
    const now = Date.now();
    tokens = Math.min(BURST, tokens + ((now - last) / 1000) * PER_SECOND);
    last = now;
    if (tokens < 1) return false;
    tokens -= 1;
    return true;
  }

  function onReport(message) {
    if (!take()) return;
    const popup = typeof message.data === 'string' ? message.data.slice(0, MAX_URL) : '';
    chrome.runtime.sendMessage({ type: 'blocked', popup }).catch(() => {
      // The background is restarting; this one popup goes uncounted.
    });
  }

  addEventListener(
    'message',
    (event) => {
      if (port || event.source !== window || event.data !== 'vgwl-relay/1') return;
      if (event.ports.length !== 1) return;
      event.stopImmediatePropagation();
      port = event.ports[0];
      port.onmessage = onReport;
    },
    true,
  );
})();
