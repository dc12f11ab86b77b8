// The service worker (an event page in Firefox): for each page connection from content.js on a
// gateway origin, one connection to the native host vexo-bridge; messages pass both ways
// unchanged, and either side closing closes the other, so the host ends with the page. A timed
// request (one with a "t" list of times) gets the worker's times added on its way to the host and
// back; the host never sees the list.
'use strict';
var HOST = '@VEXO_BRIDGE_HOST_NAME@';
var ORIGINS = @VEXO_BRIDGE_ORIGINS_JSON@;

function senderOrigin(sender) {
  if (sender.origin) return sender.origin;
  try { return new URL(sender.url).origin; } catch (e) { return ''; }
}

chrome.runtime.onConnect.addListener(function (page) {
  if (page.name !== 'vexo-bridge' || !page.sender || ORIGINS.indexOf(senderOrigin(page.sender)) < 0) {
    page.disconnect();
    return;
  }
  var host = chrome.runtime.connectNative(HOST);
  var open = true, timed = {};
  host.onMessage.addListener(function (message) {
    if (!open) return;
    if (message && timed[message.id]) {
      message.t = timed[message.id].concat(performance.timeOrigin + performance.now());
      delete timed[message.id];
    }
    page.postMessage(message);
  });
  host.onDisconnect.addListener(function () {
    var error = chrome.runtime.lastError || host.error;  // Chromium: lastError; Firefox: port.error
    if (!open) return;
    open = false;
    page.postMessage({ closed: 'the Vexo Pay host closed' + (error && error.message ? ': ' + error.message : '') });
    page.disconnect();
  });
  // The host gives the plug-in the page's origin as its window.location: the browser's word for it,
  // never the page's (an "origin" the page sent is overwritten).
  var origin = senderOrigin(page.sender);
  page.onMessage.addListener(function (message) {
    if (!open) return;
    if (message && Array.isArray(message.t)) {
      timed[message.id] = message.t.concat(performance.timeOrigin + performance.now());
      delete message.t;
    }
    if (message && message.op === 'open') message.origin = origin;
    host.postMessage(message);
  });
  page.onDisconnect.addListener(function () {
    open = false;
    host.disconnect();
  });
});
