// A small web site on one loopback address: a page that tries every kind of popup, the popups, and
// further pages by path. Requests are recorded, so a test can tell a popup never reached the site.

import http from 'node:http';

// The kinds of popup a page can open by script, each returning window.open's result, if any.
const KINDS = `
const popupUrl = (kind) => '/popup/' + kind + '?' + (window.popupRun || 0);
const link = (kind) => Object.assign(document.createElement('a'),
  { href: popupUrl(kind), target: '_blank' });
window.kinds = {
  open: () => window.open(popupUrl('open')),
  openNamed: () => window.open(popupUrl('openNamed'), 'somewhere', 'width=300'),
  detachedClick: () => link('detachedClick').click(),
  dispatchedClick: () => void document.body.appendChild(link('dispatchedClick'))
    .dispatchEvent(new MouseEvent('click', { bubbles: true, cancelable: true })),
  // A POST keeps the address's query, which a GET would replace.
  formSubmit: () => Object.assign(document.body.appendChild(document.createElement('form')),
    { action: popupUrl('formSubmit'), method: 'post', target: '_blank' }).submit(),
  // A frame made at this moment, without an address of its own.
  blankFrame: () => document.body.appendChild(document.createElement('iframe'))
    .contentWindow.open(popupUrl('blankFrame')),
};
// Pages that know the blocker and try to get round it.
window.hostile = {
  swappedPrototype: () => HTMLElement.prototype.click.call(
    Object.setPrototypeOf(link('swappedPrototype'), Object.prototype)),
  shadowClick: () => {
    const inner = document.createElement('b');
    link('shadowClick').appendChild(document.createElement('span'))
      .attachShadow({ mode: 'closed' }).append(inner);
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

const POPUP = '<!doctype html><title>popup</title>a popup';
const PAGE = `<!doctype html><html><head><meta charset="utf-8"><title>popups</title></head><body>
<a id="userLink" href="/popup/userLink" target="_blank">a link to a new window</a>
<button id="userButton" onclick="window.open('/popup/userButton')">a button that opens one</button>
<button id="popunder" onclick="link('popunder').click()">its handler clicks a link</button>
<iframe id="frame" name="frame"></iframe>
<script>${KINDS}</script>
</body></html>`;

export async function startSite(address, pages = {}) {
  const requests = [];
  const server = http.createServer((req, res) => {
    requests.push(req.url);
    res.writeHead(200, { 'Content-Type': 'text/html; charset=utf-8', 'Cache-Control': 'no-store' })
      .end(pages[req.url.split('?')[0]] ?? (req.url.startsWith('/popup/') ? POPUP : PAGE));
  });
  await new Promise((resolve, reject) => server.once('error', reject).listen(0, address, resolve));
  const { port } = server.address();
  return {
    origin: `http://${address}:${port}`,
    port,
    requests,
    popupRequests: () => requests.filter((r) => r.startsWith('/popup/')),
    close: () => new Promise((resolve) => server.close(resolve).closeAllConnections()),
  };
}
