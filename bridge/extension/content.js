// In the extension's content-script world, on a gateway origin only: relays the page's bridge
// requests (events from page.js) to the service worker over one connection for the whole page,
// opened at the first request, and the host's answers back. The connection closes when the page is
// left, also into the back-forward cache (Firefox would keep it, and its host, open there; an NPAPI
// plug-in ends with its page too). Once it is closed (page left, no host installed, the host ended),
// every waiting and every later request is answered with the reason (and "closed": true, which
// tells the page it was not the host that answered).
(function () {
  'use strict';
  var ORIGINS = @VEXO_BRIDGE_ORIGINS_JSON@;
  if (ORIGINS.indexOf(location.origin) < 0) return;
  var port = null, closedReason = null, waiting = {};
  function clock() { return performance.timeOrigin + performance.now(); }

  function answer(message) {
    document.dispatchEvent(new CustomEvent('vexo-bridge-answer', { detail: JSON.stringify(message) }));
  }
  function close(reason) {
    if (closedReason) return;
    closedReason = reason;
    Object.keys(waiting).forEach(function (id) { answer({ id: Number(id), error: reason, closed: true }); });
    waiting = {};
  }
  function connect() {
    port = chrome.runtime.connect({ name: 'vexo-bridge' });
    port.onMessage.addListener(function (message) {
      if (message && typeof message.closed === 'string') return close(message.closed);
      if (message && message.id !== null && message.id !== undefined) delete waiting[message.id];
      if (message && Array.isArray(message.t)) message.t.push(clock());  // a timed request's answer
      answer(message);
    });
    port.onDisconnect.addListener(function () { close('the Vexo Pay bridge closed'); });
  }

  window.addEventListener('pagehide', function () {
    if (!port || closedReason) return;
    port.disconnect();
    close('the page was left');
  });

  document.addEventListener('vexo-bridge-request', function (event) {
    var request;
    try { request = JSON.parse(event.detail); } catch (e) { return; }
    if (!request || typeof request.id !== 'number') return;
    if (Array.isArray(request.t)) request.t.push(clock());
    if (closedReason) return answer({ id: request.id, error: closedReason, closed: true });
    if (!port) connect();
    waiting[request.id] = true;
    port.postMessage(request);
  });
})();
