# Shell functions (source this file) that start and stop the local gateway on 127.0.0.1:18080,
# the test gateway address the plug-in is built with. Used by tools/demo.sh and
# tools/bench/update_bench.sh; a checkout-page driver reuses them the same way.
#   local_gateway_start GATEWAY_BINARY STATE_FOLDER MODULE_FILE...
#       copies the module files into STATE_FOLDER/modules and serves them; the request log is
#       STATE_FOLDER/requests.log. Waits up to 20 s for the port. Sets LOCAL_GATEWAY_PID.
#   local_gateway_stop
#       stops it (safe to call twice, and when it never started).
# LOCAL_GATEWAY_OPTIONS, when set, adds gateway options (e.g. --control for the soak script).
LOCAL_GATEWAY_PID=

local_gateway_start() {
  local bin=$1 state=$2 tries
  shift 2
  rm -rf "$state"
  mkdir -p "$state/modules"
  cp "$@" "$state/modules/" || return 1
  for tries in $(seq 20); do
    "$bin" --dir "$state/modules" --bind 127.0.0.1 --port 18080 --lifetime 1800 \
      --request-log "$state/requests.log" --ports-file "$state/gateway.ports" ${LOCAL_GATEWAY_OPTIONS:-} \
      >"$state/gateway.out" 2>&1 &
    LOCAL_GATEWAY_PID=$!
    for _ in $(seq 50); do
      [ -f "$state/gateway.ports" ] && break
      kill -0 "$LOCAL_GATEWAY_PID" 2>/dev/null || break
      sleep 0.1
    done
    [ -f "$state/gateway.ports" ] && break
    wait "$LOCAL_GATEWAY_PID" 2>/dev/null || true
    LOCAL_GATEWAY_PID=
    echo "local gateway: port 18080 is busy; waiting ($tries)" >&2
    sleep 1
  done
  if [ -z "$LOCAL_GATEWAY_PID" ]; then
    echo "local gateway: did not start:" >&2
    cat "$state/gateway.out" >&2
    return 1
  fi
  : > "$state/requests.log"
}

local_gateway_stop() {
  if [ -n "$LOCAL_GATEWAY_PID" ] && kill -0 "$LOCAL_GATEWAY_PID" 2>/dev/null; then
    kill "$LOCAL_GATEWAY_PID" 2>/dev/null || true
    wait "$LOCAL_GATEWAY_PID" 2>/dev/null || true
  fi
  LOCAL_GATEWAY_PID=
}

# local_gateway_stop_on_exit: the gateway (and this run's Wine, when a prefix is set) stops when the
# calling script ends, also on failure or interruption.
local_gateway_stop_on_exit() {
  trap 'local_gateway_stop; [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1 || true' EXIT
  trap 'exit 130' INT TERM
}
