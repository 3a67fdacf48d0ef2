// Turns the white-listed hosts the program sends into the match patterns that
// keep the blocker out of those sites. The rule is the program's own: a host
// name covers itself and every subdomain on a label boundary ("*.host" in a
// match pattern means exactly that), an IP address covers only itself.
// A host that cannot form a valid pattern is left out, since one bad pattern
// would make the browser refuse the whole registration.
'use strict';

const VgwlWhiteList = (() => {
  const LABEL = /^[a-z0-9_](?:[a-z0-9_-]{0,61}[a-z0-9_])?$/;
  const IPV4 = /^(?:25[0-5]|2[0-4]\d|1\d\d|[1-9]?\d)(?:\.(?:25[0-5]|2[0-4]\d|1\d\d|[1-9]?\d)){3}$/;
  const IPV6 = /^[0-9a-f:.]+$/;

  function patternFor(raw) {
    if (typeof raw !== 'string') return null;
    let host = raw.trim().toLowerCase();
    if (host.endsWith('.')) host = host.slice(0, -1);
    if (host.startsWith('[') && host.endsWith(']')) host = host.slice(1, -1);
    if (host.length === 0 || host.length > 253) return null;
    if (IPV4.test(host)) return `*://${host}/*`;
    if (host.includes(':')) {
      return IPV6.test(host) && host.split('::').length <= 2 ? `*://[${host}]/*` : null;
    }
    const labels = host.split('.');
    // All-numeric names are IP addresses in another spelling: the browser
    // would never show them as such a host.
    if (labels.every((l) => /^\d+$/.test(l))) return null;
    return labels.every((l) => LABEL.test(l)) ? `*://*.${host}/*` : null;
  }

  // Distinct patterns, in the order the hosts came.
  function exclusionPatterns(hosts) {
    const patterns = new Set();
    for (const host of Array.isArray(hosts) ? hosts : []) {
      const pattern = patternFor(host);
      if (pattern) patterns.add(pattern);
    }
    return [...patterns];
  }

  return { patternFor, exclusionPatterns };
})();

if (typeof module !== 'undefined') module.exports = VgwlWhiteList;
