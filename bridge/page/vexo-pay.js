// vexo-pay.js: the Vexo payment plug-in as one Promise-based object, in every browser.
//
//   var pay = VexoPay.attach(document.getElementById('plugin'));   // the plug-in's <embed>/<object>
//   pay.MV_init('MyShop');
//   pay.MV_setdata('Config', 'gw_url', 'pay.example.com');
//   pay.MV_start().then(function (answer) { ... });                 // "SUCC" or "FAIL"
//
// Each of MV_init, MV_setdata, MV_start, MV_getdata, MV_clean and MV_chkFirefox, and calling pay()
// itself, returns a Promise of what the plug-in answers (a text, or undefined for the methods that
// answer nothing). Where the browser loaded the NPAPI plug-in, the element's own methods are called
// at once and their answers wrapped; where it cannot (current Chrome, Edge, Firefox), the Vexo Pay
// extension gives the element a bridge object (element.vexoBridge) that reaches the same plug-in
// through a native host. Calls run in the order they are made on both roads, so a page may issue
// them one after the other and wait only for the answers it reads. Numbers are passed as text.
// pay.road tells which road is taken: "npapi", "bridge" or "none" (then every call is rejected).
(function (global) {
  'use strict';
  var METHODS = ['MV_init', 'MV_setdata', 'MV_start', 'MV_getdata', 'MV_clean', 'MV_chkFirefox'];

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

  function attach(element) {
    var bridge = element ? element.vexoBridge : undefined;
    var road = element && hasPlugin(element) ? 'npapi' : bridge ? 'bridge' : 'none';
    function call(method, args) {
      if (road === 'npapi') return npapiCall(element, method, args);
      if (road === 'bridge') return bridgeCall(bridge, method, args);
      return refusedCall();
    }
    var pay = function () { return call('', arguments); };
    for (var i = 0; i < METHODS.length; i++) {
      (function (method) {
        pay[method] = function () { return call(method, arguments); };
      })(METHODS[i]);
    }
    pay.road = road;
    return pay;
  }

  global.VexoPay = { attach: attach };
})(this);
