// A small web site on one loopback address: a page that tries every kind of
// popup, the popup pages themselves, and any further pages given by path.
// Every request is recorded, so a test can tell a popup never reached it.

import http from 'node:http';

// Each kind of popup a page can open by script. Each returns what the page
// got back (window.open's result, where there is one).
const KINDS = `
const popupUrl = (kind) => '/popup/' + kind + '?' + (window.popupRun || 0);
window.kinds = {
  open: () => window.open(popupUrl('open')),
  openNamed: () => window.open(popupUrl('openNamed'), 'somewhere', 'width=300'),
  detachedClick: () => {
    const a = document.createElement('a');
    a.href = popupUrl('detachedClick');
    a.target = '_blank';
    a.click();
  },
  dispatchedClick: () => {
    const a = document.createElement('a');
    a.href = popupUrl('dispatchedClick');
    a.target = '_blank';
    document.body.append(a);
    a.dispatchEvent(new MouseEvent('click', { bubbles: true, cancelable: true }));
  },
  formSubmit: () => {
    const f = document.createElement('form');
    f.action = popupUrl('formSubmit');
    f.method = 'post'; // keeps the address's query, which a GET would replace
    f.target = '_blank';
    document.body.append(f);
    f.submit();
  },
  // A frame made at this moment, without an address of its own.
  blankFrame: () => {
    const frame = document.body.appendChild(document.createElement('iframe'));
    return frame.contentWindow.open(popupUrl('blankFrame'));
  },
};
// Pages that know the blocker and try to get round it.
window.hostile = {
  swappedPrototype: () => {
    const a = document.createElement('a');
    a.href = popupUrl('swappedPrototype');
    a.target = '_blank';
    Object.setPrototypeOf(a, Object.prototype);
    HTMLElement.prototype.click.call(a);
  },
  shadowClick: () => {
    const a = document.createElement('a');
    a.href = popupUrl('shadowClick');
    a.target = '_blank';
    const inner = document.createElement('b');
    a.appendChild(document.createElement('span')).attachShadow({ mode: 'closed' }).append(inner);
    inner.click();
  },
  // Names a frame of the page to a first look, a new window to a second.
  flippingName: () => {
    let looks = 0;
    return window.open('/frame/flipped', { toString: () => (looks++ ? '_blank' : 'frame') });
  },
  // Makes the answer the blocker reads say "leave this page alone".
  forgedAnswer: () => {
    Object.defineProperty(MessageEvent.prototype, 'data', { get: () => false });
    return window.open(popupUrl('forgedAnswer'));
  },
};
window.burst = (n) => { for (let i = 0; i < n; i++) window.open(popupUrl('burst' + i)); };
`;

const PAGE = `<!doctype html><html><head><meta charset="utf-8"><title>popups</title></head><body>
<a id="userLink" href="/popup/userLink" target="_blank">a link to a new window</a>
<button id="userButton" onclick="window.open('/popup/userButton')">a button that opens one</button>
<button id="popunder" onclick="const a = document.createElement('a');
  a.href = '/popup/popunder'; a.target = '_blank'; a.click();">a button whose handler clicks a link</button>
<iframe id="frame" name="frame"></iframe>
<script>${KINDS}</script>
</body></html>`;

export async function startSite(address, pages = {}) {
  const requests = [];
  const server = http.createServer((req, res) => {
    requests.push(req.url);
    const type = { 'Content-Type': 'text/html; charset=utf-8', 'Cache-Control': 'no-store' };
    const page = pages[req.url.split('?')[0]];
    if (page) {
      res.writeHead(200, type).end(page);
    } else if (req.url.startsWith('/popup/')) {
      res.writeHead(200, type).end('<!doctype html><title>popup</title>a popup');
    } else {
      res.writeHead(200, type).end(PAGE);
    }
  });
  await new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(0, address, resolve);
  });
  const { port } = server.address();
  return {
    origin: `http://${address}:${port}`,
    port,
    requests,
    popupRequests: () => requests.filter((r) => r.startsWith('/popup/')),
    close: () => new Promise((resolve) => {
      server.closeAllConnections();
      server.close(resolve);
    }),
  };
}
