// What a browser's event loop gives page script and Duktape (ECMAScript 5) lacks: Promise (then,
// catch, resolve, reject, all) and setTimeout / clearTimeout. The script evaluates to a function
// that runs everything queued, promise jobs first, then timers in the order they fall due (time is
// virtual: nphost does not wait), until nothing is left; nphost calls it after every page script.
extern const char kEventLoopScript[];
const char kEventLoopScript[] = R"JS((function (global) {
  var jobs = [], timers = [], nextTimer = 1, now = 0;
  var PENDING = 0, FULFILLED = 1, REJECTED = 2;

  function Promise(executor) {
    if (!(this instanceof Promise)) throw new TypeError('Promise must be called with new');
    if (typeof executor !== 'function') throw new TypeError('Promise resolver is not a function');
    var self = this, done = false;
    self._state = PENDING;
    self._reactions = [];
    try {
      executor(function (value) { if (!done) { done = true; resolve(self, value); } },
               function (reason) { if (!done) { done = true; settle(self, REJECTED, reason); } });
    } catch (e) {
      if (!done) { done = true; settle(self, REJECTED, e); }
    }
  }
  function settle(promise, state, value) {
    if (promise._state !== PENDING) return;
    promise._state = state;
    promise._value = value;
    var reactions = promise._reactions;
    promise._reactions = null;
    for (var i = 0; i < reactions.length; i++) react(promise, reactions[i]);
  }
  function resolve(promise, value) {
    if (value === promise) return settle(promise, REJECTED, new TypeError('a promise cannot resolve to itself'));
    if (value !== null && (typeof value === 'object' || typeof value === 'function')) {
      var then;
      try { then = value.then; } catch (e) { return settle(promise, REJECTED, e); }
      if (typeof then === 'function') {
        jobs.push(function () {
          var called = false;
          try {
            then.call(value, function (v) { if (!called) { called = true; resolve(promise, v); } },
                             function (r) { if (!called) { called = true; settle(promise, REJECTED, r); } });
          } catch (e) {
            if (!called) { called = true; settle(promise, REJECTED, e); }
          }
        });
        return;
      }
    }
    settle(promise, FULFILLED, value);
  }
  function react(promise, reaction) {
    jobs.push(function () {
      var handler = promise._state === FULFILLED ? reaction.onFulfilled : reaction.onRejected;
      if (typeof handler !== 'function') {
        if (promise._state === FULFILLED) resolve(reaction.next, promise._value);
        else settle(reaction.next, REJECTED, promise._value);
        return;
      }
      var result;
      try { result = handler(promise._value); } catch (e) { return settle(reaction.next, REJECTED, e); }
      resolve(reaction.next, result);
    });
  }
  Promise.prototype.then = function (onFulfilled, onRejected) {
    var reaction = { onFulfilled: onFulfilled, onRejected: onRejected, next: new Promise(function () {}) };
    if (this._state === PENDING) this._reactions.push(reaction);
    else react(this, reaction);
    return reaction.next;
  };
  Promise.prototype['catch'] = function (onRejected) { return this.then(undefined, onRejected); };
  Promise.resolve = function (value) {
    return value instanceof Promise ? value : new Promise(function (res) { res(value); });
  };
  Promise.reject = function (reason) { return new Promise(function (res, rej) { rej(reason); }); };
  Promise.all = function (list) {
    return new Promise(function (res, rej) {
      var results = [], left = list.length;
      if (left === 0) return res(results);
      for (var i = 0; i < list.length; i++) {
        (function (i) {
          Promise.resolve(list[i]).then(function (v) {
            results[i] = v;
            if (--left === 0) res(results);
          }, rej);
        })(i);
      }
    });
  };
  global.Promise = Promise;

  global.setTimeout = function (fn, delay) {
    var id = nextTimer++;
    timers.push({ id: id, fn: fn, at: now + (delay > 0 ? +delay : 0) });
    return id;
  };
  global.clearTimeout = function (id) {
    for (var i = 0; i < timers.length; i++) {
      if (timers[i].id === id) { timers.splice(i, 1); return; }
    }
  };

  return function runQueued() {
    for (var steps = 0; steps < 100000; steps++) {
      while (jobs.length > 0) jobs.shift()();
      if (timers.length === 0) return;
      timers.sort(function (a, b) { return a.at - b.at || a.id - b.id; });
      var timer = timers.shift();
      now = timer.at;
      if (typeof timer.fn === 'function') timer.fn();
    }
  };
})(this))JS";
