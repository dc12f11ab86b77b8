// vexo-pay.js: the Vexo payment plug-in as one Promise-based object, in every browser.
//
//   var pay = VexoPay.attach(document.getElementById('plugin'));   // the plug-in's <embed>/<object>
//   pay.ready().then(function (found) {                              // {road, plugin, host}
//     pay.MV_init('MyShop');
//     pay.MV_setdata('Config', 'gw_url', 'pay.example.com');
//     return pay.MV_start();                                         // "SUCC" or "FAIL"
//   }, function (error) { ... error.code, error.install.url ... });   // what to install
//
// Each of MV_init, MV_setdata, MV_start, MV_getdata, MV_clean and MV_chkFirefox, and calling pay()
// itself, returns a Promise of what the plug-in answers (a text, or undefined for the methods that
// answer nothing). Where the browser loaded the NPAPI plug-in, the element's own methods are called
// at once and their answers wrapped; where it cannot (current Chrome, Edge, Firefox), the Vexo Pay
// extension gives the element a bridge object (element.vexoBridge) that reaches the same plug-in
// through a native host. Calls run in the order they are made on both roads, so a page may issue
// them one after the other and wait only for the answers it reads. Numbers are passed as text.
// pay.road tells which road is taken: "npapi", "bridge" or "none" (then every call is rejected).
//
// pay.ready([options]) tells what is there without making a payment call: it resolves with
// {road, plugin, host} (the versions of the plug-in and, on the bridge, of its host; host is null
// on the NPAPI road), or rejects with an Error whose code says what is missing:
//   "no-plugin"    neither the NPAPI plug-in nor the Vexo Pay extension is on this page
//   "no-host"      the extension is there, its host program is not registered or cannot start
//   "host-failed"  the host started, but the plug-in did not load beside it
//   "outdated"     the plug-in is older than options.minVersion (an NPAPI plug-in whose browser
//                  lists no version is taken as it is), or the extension or host predates ready()
// and whose install holds the operator's links for this browser: {url, installer, extension}, url
// the one to offer first. options.timeout (ms, 10000) bounds the wait for a host that never answers.
// Without ready() every method works as before; after it, pay.road holds the road ready() found.
// This file is also the package's ES module: the build turns its last lines into exports.
(function (global) {
  'use strict';
  var METHODS = ['MV_init', 'MV_setdata', 'MV_start', 'MV_getdata', 'MV_clean', 'MV_chkFirefox'];
  var MIME = 'application/mirovanplugin';
  // The operator's links, set when the page library is built (bridge/CMakeLists.txt).
  var LINKS = {
    installer: '@VEXO_INSTALLER_URL@',
    chrome: '@VEXO_BRIDGE_CHROME_STORE_URL@',
    edge: '@VEXO_BRIDGE_EDGE_STORE_URL@',
    firefox: '@VEXO_BRIDGE_FIREFOX_STORE_URL@'
  };
  // How long ready() looks for a road before it says nothing is installed (an NPAPI plug-in's
  // script object may appear only after the element's first layout; the extension's bridge object
  // is there before the page's first script), and how often.
  var ROAD_WAIT_MS = 700, ROAD_POLL_MS = 50, HOST_WAIT_MS = 10000;
  var SUPPORT = 'support can see what this computer has with "vexo-bridge --check"';

  function hasPlugin(element) {
    try {
      var kind = typeof element.MV_init;  // an NPAPI plug-in's methods read as functions (objects in some)
      return kind === 'function' || kind === 'object';
    } catch (e) {
      return false;
    }
  }

  function texts(args) {
    var list = [];
    for (var i = 0; i < args.length && i < 3; i++) list.push(typeof args[i] === 'number' ? String(args[i]) : args[i]);
    return list;
  }

  // The element's synchronous methods; an exception becomes a rejection.
  function npapiCall(element, method, args) {
    return new Promise(function (resolve) {
      var a = texts(args), target = method ? element[method] : null;
      if (method && typeof target !== 'function' && typeof target !== 'object') throw new Error(method + ' is not a method of the plug-in');
      switch (a.length) {
        case 0: resolve(method ? element[method]() : element()); break;
        case 1: resolve(method ? element[method](a[0]) : element(a[0])); break;
        case 2: resolve(method ? element[method](a[0], a[1]) : element(a[0], a[1])); break;
        default: resolve(method ? element[method](a[0], a[1], a[2]) : element(a[0], a[1], a[2]));
      }
    });
  }

  function bridgeCall(bridge, method, args) {
    var a = texts(args);
    return method ? bridge[method].apply(bridge, a) : bridge.apply(null, a);
  }

  function refusedCall() {
    return Promise.reject(new Error('the Vexo payment plug-in is not available: this browser has neither ' +
                                    'the plug-in nor the Vexo Pay extension'));
  }

  // The store whose extension this browser takes: Edge its own, Firefox its own, every other
  // Chromium browser (Chrome, Brave, Vivaldi, Opera) the Chrome one; "" for any other browser.
  function browserStore() {
    var agent = (global.navigator && global.navigator.userAgent) || '';
    if (/\bEdg\//.test(agent)) return 'edge';
    if (/\bFirefox\//.test(agent)) return 'firefox';
    return /Chrom(e|ium)\//.test(agent) ? 'chrome' : '';
  }

  // The links for what is missing: "all" (nothing found on the page), "extension" or "host". With
  // nothing found, Chromium browsers get the installer first (it offers them the extension at their
  // next start); Firefox, which cannot be offered it, the extension's store page first.
  function installLinks(missing) {
    var store = browserStore(), extension = LINKS[store] || null, installer = LINKS.installer || null;
    if (missing === 'extension') return { url: extension || installer, installer: null, extension: extension };
    if (missing === 'host') return { url: installer, installer: installer, extension: null };
    return { url: (store === 'firefox' && extension) || installer || extension, installer: installer, extension: extension };
  }

  function readyError(code, message, missing) {
    var error = new Error(message);
    error.code = code;
    error.install = installLinks(missing);
    return error;
  }

  // "1, 0, 1706, 21" (a version resource's text) or "1.0.1706.21" as numbers; a > b, 0, a < b.
  function compareVersions(a, b) {
    var x = String(a).split(/\s*[.,]\s*/), y = String(b).split(/\s*[.,]\s*/);
    for (var i = 0; i < Math.max(x.length, y.length); i++) {
      var d = (parseInt(x[i], 10) || 0) - (parseInt(y[i], 10) || 0);
      if (d !== 0) return d > 0 ? 1 : -1;
    }
    return 0;
  }

  // The NPAPI plug-in's version as the browser lists it (navigator.plugins), "" when it lists none.
  function npapiVersion() {
    var types = global.navigator && global.navigator.mimeTypes;
    var plugin = types && types[MIME] && types[MIME].enabledPlugin;
    if (!plugin) return '';
    if (plugin.version) return String(plugin.version).replace(/\s*,\s*/g, '.');
    var number = /\d+(\.\d+)+/.exec(plugin.description || '');
    return number ? number[0] : '';
  }

  // The host's status answer as what ready() gives the page.
  function bridgeFound(status) {
    if (!status || typeof status.plugin !== 'string') {
      throw readyError('host-failed', 'the Vexo Pay host started, but the Vexo payment plug-in did not load beside it (' +
                       (status && status.error) + '); reinstall the plug-in; ' + SUPPORT, 'host');
    }
    return { road: 'bridge', plugin: status.plugin, host: status.host };
  }

  function bridgeStatus(bridge, timeout) {
    if (typeof bridge.status !== 'function') {
      return Promise.reject(readyError('outdated', 'the Vexo Pay extension is older than this page', 'extension'));
    }
    return new Promise(function (resolve, reject) {
      var timer = setTimeout(function () {
        reject(readyError('no-host', 'the Vexo Pay host did not answer within ' + timeout / 1000 + ' s; ' + SUPPORT, 'host'));
      }, timeout);
      bridge.status().then(function (status) {
        clearTimeout(timer);
        try { resolve(bridgeFound(status)); } catch (error) { reject(error); }
      }, function (error) {
        clearTimeout(timer);
        if (!error.closed) {  // a host from before ready(): it refused the request
          return reject(readyError('outdated', 'the Vexo Pay host is older than this page (' + error.message +
                                   '); install the Vexo payment plug-in again', 'host'));
        }
        reject(readyError('no-host', 'the Vexo Pay extension is installed, but its host program is not or cannot ' +
                          'start (' + error.message + '); install the Vexo payment plug-in; ' + SUPPORT, 'host'));
      });
    });
  }

  // The road an element offers: its own NPAPI plug-in first, else the extension's bridge object.
  function roadOf(element) {
    return element && hasPlugin(element) ? 'npapi' : element && element.vexoBridge ? 'bridge' : 'none';
  }

  function attach(element) {
    var bridge = element ? element.vexoBridge : undefined;
    var road = roadOf(element);
    function call(method, args) {
      if (road === 'npapi') return npapiCall(element, method, args);
      if (road === 'bridge') return bridgeCall(bridge, method, args);
      return refusedCall();
    }
    // Looks for a road again: the page may have attached before the plug-in's object was there.
    function findRoad() {
      if (road === 'none' && element) {
        bridge = element.vexoBridge;
        road = roadOf(element);
        pay.road = road;
      }
      return road;
    }
    function waitForRoad() {
      var started = Date.now();
      return new Promise(function (resolve) {
        (function look() {
          if (findRoad() !== 'none' || Date.now() - started >= ROAD_WAIT_MS) return resolve(road);
          setTimeout(look, ROAD_POLL_MS);
        })();
      });
    }
    var pay = function () { return call('', arguments); };
    for (var i = 0; i < METHODS.length; i++) {
      (function (method) {
        pay[method] = function () { return call(method, arguments); };
      })(METHODS[i]);
    }
    pay.ready = function (options) {
      var minVersion = options && options.minVersion, timeout = (options && options.timeout) || HOST_WAIT_MS;
      return waitForRoad().then(function (found) {
        if (found === 'none') {
          throw readyError('no-plugin', 'the Vexo payment plug-in is not installed: this page has neither the plug-in ' +
                           'nor the Vexo Pay extension', 'all');
        }
        return found === 'npapi' ? { road: 'npapi', plugin: npapiVersion(), host: null } : bridgeStatus(bridge, timeout);
      }).then(function (versions) {
        if (minVersion && versions.plugin && compareVersions(versions.plugin, minVersion) < 0) {
          throw readyError('outdated', 'the Vexo payment plug-in ' + versions.plugin + ' is older than the ' +
                           minVersion + ' this page needs', 'host');
        }
        return versions;
      });
    };
    pay.road = road;
    return pay;
  }

  var VexoPay = { attach: attach };
  global.VexoPay = VexoPay;
})(this);
