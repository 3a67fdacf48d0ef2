// The extension's rules, run in Node as the browser runs them.
import assert from 'node:assert/strict';
import { createRequire } from 'node:module';
import test from 'node:test';

const rules = createRequire(import.meta.url)('../../extension/rules.js');

test('the white list covers a host and its subdomains on label boundaries, an address only itself', () => {
  const list = rules.fromHosts(['Example.COM.', 'xn--bcher-kva.example', '127.0.0.2', '::1', 7, '']);
  const cases = [
    ['http://example.com/', true],
    ['https://www.example.com:8443/a?b', true],
    ['http://a.b.example.com/', true],
    ['http://badexample.com/', false],
    ['http://example.com.evil.net/', false],
    ['http://com/', false],
    ['http://b\u00fccher.example/', true],
    ['http://127.0.0.2:81/', true],
    ['http://127.0.0.20/', false],
    ['http://[::1]/', true],
    ['ftp://example.com/', false],
    ['about:blank', false],
    ['not an address', false],
  ];
  for (const [url, covered] of cases) {
    assert.equal(rules.covers(list, rules.hostOf(url)), covered, url);
  }
  // A parent that reads as an address covers no subdomain.
  assert.equal(rules.covers(rules.fromHosts(['1.2.3.4']), 'x.1.2.3.4'), false);
});

test('a state split over several messages is applied once it is complete, within the bound', () => {
  const gatherer = rules.stateGatherer(3);
  assert.equal(gatherer.add({ type: 'state', blocking: true, hosts: ['a', 'b'], more: true }), null);
  assert.deepEqual(gatherer.add({ type: 'state', blocking: false, hosts: ['c', 'd'], more: false }),
    { blocking: false, hosts: ['a', 'b', 'c'] });
  for (const wrong of [null, { type: 'counted', count: 1 }, { type: 'state', blocking: 'yes' }]) {
    assert.equal(gatherer.add(wrong), null);
  }
  assert.deepEqual(gatherer.add({ type: 'state', blocking: true, hosts: 'x' }), { blocking: true, hosts: [] });
  gatherer.add({ type: 'state', blocking: true, hosts: ['stale'], more: true });
  gatherer.reset();
  assert.deepEqual(gatherer.add({ type: 'state', blocking: true, hosts: ['e'] }).hosts, ['e']);
});

test('addresses are cut to the bridge\'s byte limit without splitting a character', () => {
  assert.equal(rules.boundUtf8('abc', 3), 'abc');
  assert.equal(rules.boundUtf8('abcd', 3), 'abc');
  assert.equal(rules.boundUtf8('a\u00e9b', 2), 'a');
  assert.equal(rules.boundUtf8('\u{1F600}x', 4), '\u{1F600}');
  assert.equal(rules.boundUtf8('\u{1F600}', 3), '');
});

test('a tab reports a burst, then only as fast as the bucket fills', () => {
  const bucket = rules.bucket(3, 2);
  const taken = [0, 0, 0, 0, 499, 500, 1000, 1001].map((t) => bucket.take(t));
  assert.deepEqual(taken, [true, true, true, false, false, true, true, false]);
});
