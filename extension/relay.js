// Runs in the extension's isolated world of every frame the blocker runs in.
// It takes the one port the blocker posts at document start, before any page
// script has run, tells the blocker whether this page's popups are to be
// stopped (the background decides from the address the browser gives, so a
// page cannot talk itself onto the white list), and passes each stopped popup
// on to the background. The page cannot reach this world, so it can only
// report popups it really tried to open, and no faster than the bucket allows.
(() => {
  'use strict';
  const MAX_URL = 8192;
  // The background's own limit per tab, here per frame, so that a page
  // cannot flood the browser with messages that would be dropped anyway.
  const bucket = VgwlRules.bucket(40, 10);
  let port = null;
  let decision = null; // true: stop this page's popups

  function tell() {
    if (port && decision !== null) port.postMessage(decision);
  }

  function ask() {
    chrome.runtime.sendMessage({ type: 'ask' }).then(
      (answer) => {
        decision = !answer || answer.block !== false;
        tell();
      },
      () => {
        // No answer (the background is restarting): stop popups, as before.
        decision = true;
        tell();
      },
    );
  }

  function onReport(message) {
    if (!bucket.take(Date.now())) return;
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
      tell();
    },
    true,
  );
  chrome.runtime.onMessage.addListener((message) => {
    if (message && message.type === 'recheck') ask();
  });
  ask();
})();
