// In the page's own script world, on a gateway origin only: every <embed> or <object> of the
// plug-in's type answers element.vexoBridge, an object for page script with the plug-in's six
// methods, callable itself for the default call; each returns a Promise of the plug-in's answer.
// The first read of it opens a plug-in instance in the bridge host; removing the element from the
// document closes it. Requests and answers pass to content.js as DOM events carrying JSON text.
// bridge.status() answers what the host has, without touching the plug-in instance: {host, plugin}
// (their versions), or {host, plugin: null, error} when the plug-in did not load in the host; it is
// rejected when the host is not registered or cannot start (error.closed), or when it is older
// than the request (it answers it with an error).
// A function set as bridge.onTiming receives, for each later call, the times (ms since the epoch)
// at which the request and its answer passed each hop: page, content script, worker, host and back.
(function () {
  'use strict';
  var ORIGINS = @VEXO_BRIDGE_ORIGINS_JSON@;
  if (ORIGINS.indexOf(location.origin) < 0) return;
  var MIME = 'application/mirovanplugin';
  var METHODS = ['MV_init', 'MV_setdata', 'MV_start', 'MV_getdata', 'MV_clean', 'MV_chkFirefox'];
  var nextId = 1, nextObject = 1, pending = {}, bridges = new WeakMap();
  function clock() { return performance.timeOrigin + performance.now(); }

  document.addEventListener('vexo-bridge-answer', function (event) {
    var answer;
    try { answer = JSON.parse(event.detail); } catch (e) { return; }
    var waiting = answer && pending[answer.id];
    if (!waiting) return;
    delete pending[answer.id];
    if (waiting.onTiming && Array.isArray(answer.t)) waiting.onTiming(answer.t.concat(clock()));
    if (typeof answer.error !== 'string') return waiting.resolve(answer.result);
    var error = new Error(answer.error);
    error.closed = answer.closed === true;  // no host answered: the connection is closed
    waiting.reject(error);
  });

  function send(request, onTiming) {
    return new Promise(function (resolve, reject) {
      request.id = nextId++;
      if (typeof onTiming === 'function') request.t = [clock()];
      pending[request.id] = { resolve: resolve, reject: reject, onTiming: onTiming };
      document.dispatchEvent(new CustomEvent('vexo-bridge-request', { detail: JSON.stringify(request) }));
    });
  }

  function makeBridge() {
    var object = nextObject++;
    // Requests are answered in the order they are sent, so calls need not wait for the opening.
    var opened = send({ op: 'open', object: object });
    opened.catch(function () {});  // a failed opening shows in the calls' own answers
    function call(method, args) {
      return send({ op: 'call', object: object, method: method, args: Array.prototype.slice.call(args) },
                  bridge.onTiming);
    }
    var bridge = function () { return call('', arguments); };
    METHODS.forEach(function (method) {
      bridge[method] = function () { return call(method, arguments); };
    });
    bridge.close = function () { return send({ op: 'close', object: object }); };
    bridge.status = function () { return send({ op: 'status' }); };
    return bridge;
  }

  function bridgeFor(element) {
    if (String(element.type).toLowerCase() !== MIME) return undefined;
    var bridge = bridges.get(element);
    if (!bridge) {
      bridge = makeBridge();
      bridges.set(element, bridge);
    }
    return bridge;
  }
  [HTMLEmbedElement, HTMLObjectElement].forEach(function (kind) {
    Object.defineProperty(kind.prototype, 'vexoBridge', {
      configurable: true,
      get: function () { return bridgeFor(this); }
    });
  });

  // An element taken out of the document takes its plug-in instance with it, as in NPAPI.
  function closeRemoved(node) {
    if (node.nodeType !== 1) return;
    var elements = [node].concat(Array.prototype.slice.call(node.querySelectorAll('embed, object')));
    elements.forEach(function (element) {
      var bridge = bridges.get(element);
      if (bridge && !element.isConnected) {
        bridges.delete(element);
        bridge.close().catch(function () {});
      }
    });
  }
  new MutationObserver(function (records) {
    records.forEach(function (record) { Array.prototype.forEach.call(record.removedNodes, closeRemoved); });
  }).observe(document, { childList: true, subtree: true });
})();
