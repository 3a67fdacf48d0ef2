// The extension's rules, free of browser calls (Node loads this file as it is):
// the white list as the program's component applies it, the gathering of a
// state the bridge splits over several messages, the bound on addresses sent
// to the bridge, and the rate at which a tab may report.
'use strict';

const VgwlRules = (() => {
  // The white list: an entry's host covers itself and every subdomain on a
  // label boundary ("example.com" covers "www.example.com", not
  // "badexample.com"); an IP address covers only itself. Kept as a set of
  // hosts, so that a page's question costs one look-up per label of its
  // host, however long the list.
  const IPV4 = /^(?:25[0-5]|2[0-4]\d|1\d\d|[1-9]?\d)(?:\.(?:25[0-5]|2[0-4]\d|1\d\d|[1-9]?\d)){3}$/;

  // A host as URLs give it: lower case, no trailing dot, IPv6 in brackets.
  function normalise(raw) {
    if (typeof raw !== 'string') return '';
    let host = raw.trim().toLowerCase();
    if (host.endsWith('.')) host = host.slice(0, -1);
    if (host.includes(':') && !host.startsWith('[')) host = `[${host}]`;
    return host;
  }

  const isAddress = (host) => IPV4.test(host) || host.startsWith('[');

  function fromHosts(hosts) {
    const set = new Set();
    for (const raw of Array.isArray(hosts) ? hosts : []) {
      const host = normalise(raw);
      if (host) set.add(host);
    }
    return set;
  }

  // The host of an http or https address, or '' for any other.
  function hostOf(url) {
    try {
      const parsed = new URL(url);
      return parsed.protocol === 'http:' || parsed.protocol === 'https:' ? normalise(parsed.hostname) : '';
    } catch {
      return '';
    }
  }

  function covers(set, host) {
    if (!host || set.size === 0) return false;
    if (isAddress(host)) return set.has(host);
    if (set.has(host)) return true;
    // A parent domain covers its subdomains; an address covers none.
    for (let at = host.indexOf('.') + 1; at > 0; at = host.indexOf('.', at) + 1) {
      const parent = host.slice(at);
      if (!IPV4.test(parent) && set.has(parent)) return true;
    }
    return false;
  }

  // Gathers the bridge's state messages: a whole state when one is complete
  // ("more" false), null while parts are still to come or for anything that
  // is no state. Keeps at most maxHosts hosts.
  function stateGatherer(maxHosts) {
    let hosts = null;
    return {
      reset() {
        hosts = null;
      },
      add(message) {
        if (!message || message.type !== 'state' || typeof message.blocking !== 'boolean') return null;
        const sofar = hosts || [];
        const more = Array.isArray(message.hosts) ? message.hosts : [];
        hosts = sofar.concat(more.slice(0, Math.max(0, maxHosts - sofar.length)));
        if (message.more === true) return null;
        const state = { blocking: message.blocking, hosts };
        hosts = null;
        return state;
      },
    };
  }

  // The text cut to at most max UTF-8 bytes, never inside a character.
  function boundUtf8(text, max) {
    const bytes = new TextEncoder().encode(text);
    if (bytes.length <= max) return text;
    let end = max;
    while (end > 0 && (bytes[end] & 0xc0) === 0x80) end--;
    return new TextDecoder().decode(bytes.subarray(0, end));
  }

  // A bucket of `burst` tokens refilled at `perSecond`; take(now) spends one.
  function bucket(burst, perSecond) {
    let tokens = burst;
    let last = null;
    return {
      take(now) {
        if (last !== null) tokens = Math.min(burst, tokens + ((now - last) / 1000) * perSecond);
        last = now;
        if (tokens < 1) return false;
        tokens -= 1;
        return true;
      },
    };
  }

  return { fromHosts, hostOf, covers, stateGatherer, boundUtf8, bucket };
})();

if (typeof module !== 'undefined') module.exports = VgwlRules;
