// Runs in the page's own world before any of its scripts, in every frame, and
// stops the popup windows the page opens by itself before they exist:
// window.open, script-made clicks on links and submit buttons that open a new
// window (also on elements outside the document), forms submitted by script
// to a new window. A window the user opens with a real click on a link or a
// button still opens; a script click made inside that click's handler does
// not (the popunder trick). Every stopped popup is reported through the
// extension's isolated world, which the page cannot reach, and which, asked at
// the first popup, says whether this page is to be left alone (white-listed,
// or blocking off). Popups tried before that answer are held, then opened or
// reported.
(() => {
  'use strict';
  const W = window;
  // Everything used later is taken now, before the page can replace it.
  const apply = Reflect.apply;
  const getOwn = Object.getOwnPropertyDescriptor;
  const getter = (proto, name) => {
    for (let p = proto; p; p = Object.getPrototypeOf(p)) {
      const d = getOwn(p, name);
      if (d) return d.get;
    }
    return undefined;
  };
  const nativeOpen = W.open;
  const nativeClick = HTMLElement.prototype.click;
  const nativeDispatch = EventTarget.prototype.dispatchEvent;
  const nativeSubmit = HTMLFormElement.prototype.submit;
  const nativeRequestSubmit = HTMLFormElement.prototype.requestSubmit;
  const nativeDocOpen = Document.prototype.open;
  const closest = Element.prototype.closest;
  const getAttribute = Element.prototype.getAttribute;
  const hasAttribute = Element.prototype.hasAttribute;
  const querySelector = Document.prototype.querySelector;
  const getElementsByName = Document.prototype.getElementsByName;
  const currentEvent = getter(W, 'event');
  const eventType = getter(Event.prototype, 'type');
  const eventTarget = getter(Event.prototype, 'target');
  const isTrusted = (e) => e.isTrusted; // an own, unforgeable property
  const activation = W.navigator.userActivation;
  const activationActive = activation && getter(activation, 'isActive');
  const parentElement = getter(Node.prototype, 'parentElement');
  const ownerDocument = getter(Node.prototype, 'ownerDocument');
  const docBaseURI = getter(Node.prototype, 'baseURI');
  const buttonForm = getter(HTMLButtonElement.prototype, 'form');
  const inputForm = getter(HTMLInputElement.prototype, 'form');
  const labelControl = getter(HTMLLabelElement.prototype, 'control');
  const localName = getter(Element.prototype, 'localName');
  const docURL = getter(Document.prototype, 'URL');
  const URLCtor = URL;
  const urlHref = getter(URL.prototype, 'href');
  const getRootNode = Node.prototype.getRootNode;
  const shadowHost = getter(ShadowRoot.prototype, 'host');
  const formElements = getter(HTMLFormElement.prototype, 'elements');
  const messageData = getter(MessageEvent.prototype, 'data');
  const toLower = String.prototype.toLowerCase;
  const StringCtor = String;
  // What a node is, judged by the browser's own getters, which refuse a
  // node of another kind: a prototype the page has swapped cannot mislead.
  const isKind = (brandGetter, value) => {
    try {
      apply(brandGetter, value, []);
      return true;
    } catch {
      return false;
    }
  };
  const opened = new WeakSet();
  const openedHas = WeakSet.prototype.has;
  const openedAdd = WeakSet.prototype.add;
  const MAX_URL = 8192;
  const MAX_HELD = 50;

  // ---------------------------------------------------------------- the relay
  // The isolated-world relay takes the one port posted here; the page only
  // ever sees the message after the relay has taken it.
  const channel = new MessageChannel();
  const port = channel.port1;
  const postPort = MessagePort.prototype.postMessage;
  let stopping = null; // the relay's answer: true stops, false leaves alone
  // Popups tried while there is no answer: a list of null-prototype nodes,
  // so that nothing the page puts on Array or Object.prototype ever sees one.
  let heldFirst = null;
  let heldLast = null;
  let heldCount = 0;

  function report(popupUrl) {
    try {
      apply(postPort, port, [StringCtor(popupUrl).slice(0, MAX_URL)]);
    } catch {
      // A closed port: the relay is gone with its frame.
    }
  }

  port.onmessage = (message) => {
    const answer = apply(messageData, message, []);
    if (typeof answer !== 'boolean') return;
    stopping = answer;
    for (let node = heldFirst; node; node = node.next) {
      if (stopping) report(node.popup);
      else node.reopen();
    }
    heldFirst = heldLast = null;
    heldCount = 0;
  };
  // The port is posted once, when the relay is known to listen. Both scripts
  // run before the page's, but Firefox may run either first (each waits for
  // its own compilation), so each announces itself with a synchronous event
  // and whichever comes second hears the other at once.
  const addListener = EventTarget.prototype.addEventListener;
  const removeListener = EventTarget.prototype.removeEventListener;
  const offer = () => {
    apply(removeListener, W, ['vgwl-relay-hello', offer, true]);
    apply(W.postMessage, W, ['vgwl-relay/1', '*', [channel.port2]]);
  };
  apply(addListener, W, ['vgwl-relay-hello', offer, true]);
  apply(nativeDispatch, W, [new Event('vgwl-blocker-ready')]);

  // A popup the page tried by itself: stopped and reported, or held until
  // the relay answers the question the first one asks.
  function stop(popupUrl, reopen) {
    if (stopping === null) {
      if (heldCount === 0) {
        try {
          apply(postPort, port, [null]);
        } catch {
          // No relay: the popup stays held, which stops it.
        }
      }
      if (heldCount >= MAX_HELD) return;
      const node = { __proto__: null, popup: popupUrl, reopen, next: null };
      if (heldLast) heldLast.next = node;
      else heldFirst = node;
      heldLast = node;
      heldCount += 1;
    } else {
      report(popupUrl);
    }
  }

  function resolve(url, node) {
    if (url === undefined || url === null || url === '') return '';
    try {
      // baseURI, not URL: an about:blank frame resolves against its creator.
      const base = apply(docBaseURI, node || W.document, []);
      return apply(urlHref, new URLCtor(StringCtor(url), base), []);
    } catch {
      try {
        return StringCtor(url);
      } catch {
        return '';
      }
    }
  }

  // ---------------------------------------------------------------- targets
  // True when navigating to this target name makes a new window: a name that
  // is neither the frame itself, its parent or top, nor a frame of the document.
  function opensNewWindow(name, doc) {
    if (name === null || name === undefined) return false;
    const lower = apply(toLower, StringCtor(name), []);
    if (lower === '' || lower === '_self' || lower === '_parent' || lower === '_top') return false;
    if (lower === '_blank') return true;
    const named = apply(getElementsByName, doc, [StringCtor(name)]);
    for (let i = 0; i < named.length; i++) {
      const tag = apply(localName, named[i], []);
      if (tag === 'iframe' || tag === 'frame' || tag === 'object') return false;
    }
    return true;
  }

  function baseTarget(doc) {
    const base = apply(querySelector, doc, ['base[target]']);
    return base ? apply(getAttribute, base, ['target']) : null;
  }

  // The node if it is an element, else its parent element (or null).
  function elementOf(node) {
    if (isKind(localName, node)) return node;
    try {
      return apply(parentElement, node, []);
    } catch {
      return null;
    }
  }

  // The nearest element matching the selector from el up, also across the
  // shadow roots a composed click crosses.
  function closestAcross(el, selector) {
    for (let at = el; at; ) {
      const found = apply(closest, at, [selector]);
      if (found) return found;
      const root = apply(getRootNode, at, []);
      at = isKind(shadowHost, root) ? apply(shadowHost, root, []) : null;
    }
    return null;
  }

  // The address a click on this node would open in a new window, or null.
  function newWindowOfClick(node) {
    let el = elementOf(node);
    if (!el) return null;
    const doc = apply(ownerDocument, el, []);
    // A script click on a label clicks its control.
    const label = closestAcross(el, 'label');
    const control = label && apply(labelControl, label, []);
    if (control && control !== el) el = control;
    const link = closestAcross(el, 'a[href], area[href]');
    if (link && !apply(hasAttribute, link, ['download'])) {
      const target = apply(hasAttribute, link, ['target'])
        ? apply(getAttribute, link, ['target'])
        : baseTarget(doc);
      if (opensNewWindow(target, doc)) {
        return resolve(apply(getAttribute, link, ['href']), link);
      }
      return null;
    }
    const button = closestAcross(el,
      'button:not([type]), button[type="submit" i], input[type="submit" i], input[type="image" i]');
    if (!button || apply(hasAttribute, button, ['disabled'])) return null;
    const isButton = apply(localName, button, []) === 'button';
    const form = apply(isButton ? buttonForm : inputForm, button, []);
    return form ? newWindowOfSubmit(form, button) : null;
  }

  // The address a submission of this form would open in a new window, or null.
  function newWindowOfSubmit(form, submitter) {
    const doc = apply(ownerDocument, form, []);
    let target = null;
    if (submitter && apply(hasAttribute, submitter, ['formtarget'])) {
      target = apply(getAttribute, submitter, ['formtarget']);
    } else if (apply(hasAttribute, form, ['target'])) {
      target = apply(getAttribute, form, ['target']);
    } else {
      target = baseTarget(doc);
    }
    if (!opensNewWindow(target, doc)) return null;
    const action =
      (submitter && apply(getAttribute, submitter, ['formaction'])) ||
      apply(getAttribute, form, ['action']) ||
      apply(docURL, doc, []);
    return resolve(action, form);
  }

  // ---------------------------------------------------------------- the user
  const INTERACTIVE =
    'a[href], area[href], button, input, select, label, summary, ' +
    '[role="button"], [role="link"], [role="menuitem"], [role="tab"]';
  const USER_EVENTS = ['click', 'auxclick', 'dblclick', 'mouseup', 'pointerup', 'keydown',
    'keyup', 'keypress', 'touchend', 'submit'];
  const includes = Array.prototype.includes;

  // A window.open made while the browser dispatches the user's own click or
  // key on a link, a button or a form control, once per such event.
  function userOpensWindow() {
    const event = currentEvent ? apply(currentEvent, W, []) : undefined;
    if (!event || !isTrusted(event)) return false;
    if (activationActive && !apply(activationActive, activation, [])) return false;
    const type = apply(eventType, event, []);
    if (!apply(includes, USER_EVENTS, [type])) return false;
    const el = elementOf(apply(eventTarget, event, []));
    // A submit event's target is the form the user submitted.
    if (!el || (type !== 'submit' && !apply(closest, el, [INTERACTIVE]))) return false;
    if (apply(openedHas, opened, [event])) return false;
    apply(openedAdd, opened, [event]);
    return true;
  }

  // ---------------------------------------------------------------- wrappers
  // Replacements keep the name and the property attributes of what they replace.
  function replace(owner, name, fn) {
    const d = getOwn(owner, name);
    Object.defineProperty(fn, 'name', { value: name });
    Object.defineProperty(owner, name, {
      value: fn,
      writable: d ? d.writable : true,
      enumerable: d ? d.enumerable : false,
      configurable: d ? d.configurable : true,
    });
  }

  function open(url, target) {
    if (stopping === false) return apply(nativeOpen, this, arguments);
    // The address and the name are made text once, and the browser is given
    // that text: an object could name one window to us and another to it.
    const address = url === undefined ? '' : StringCtor(url);
    // No name, or an empty one, means a new window.
    const name = target === undefined || target === '' ? '_blank' : StringCtor(target);
    const args = arguments.length > 2 ? [address, name, arguments[2]] : [address, name];
    if (!opensNewWindow(name, W.document) || userOpensWindow()) {
      return apply(nativeOpen, this, args);
    }
    const self = this;
    stop(resolve(address), () => apply(nativeOpen, self, args));
    return null;
  }
  replace(W, 'open', open);

  replace(HTMLElement.prototype, 'click', function click() {
    const popup = stopping === false ? null : newWindowOfClick(this);
    if (popup !== null) {
      stop(popup, () => apply(nativeClick, this, []));
      return undefined;
    }
    return apply(nativeClick, this, arguments);
  });

  replace(EventTarget.prototype, 'dispatchEvent', function dispatchEvent(event) {
    // Only script calls come here: a dispatched event is never trusted.
    if (stopping !== false && event && apply(eventType, event, []) === 'click') {
      const popup = newWindowOfClick(this);
      if (popup !== null) {
        stop(popup, () => apply(nativeDispatch, this, [event]));
        return false;
      }
    }
    return apply(nativeDispatch, this, arguments);
  });

  replace(HTMLFormElement.prototype, 'submit', function submit() {
    const popup = stopping !== false && isKind(formElements, this) ? newWindowOfSubmit(this, null) : null;
    if (popup !== null) {
      stop(popup, () => apply(nativeSubmit, this, []));
      return undefined;
    }
    return apply(nativeSubmit, this, arguments);
  });

  if (nativeRequestSubmit) {
    replace(HTMLFormElement.prototype, 'requestSubmit', function requestSubmit(submitter) {
      const popup =
        stopping !== false && isKind(formElements, this) ? newWindowOfSubmit(this, submitter || null) : null;
      if (popup !== null) {
        stop(popup, () => apply(nativeRequestSubmit, this, [submitter]));
        return undefined;
      }
      return apply(nativeRequestSubmit, this, arguments);
    });
  }

  // document.open with three arguments is window.open by another name.
  replace(Document.prototype, 'open', function documentOpen() {
    if (arguments.length >= 3) {
      const view = this.defaultView;
      return view ? apply(open, view, arguments) : null;
    }
    return apply(nativeDocOpen, this, arguments);
  });
})();
