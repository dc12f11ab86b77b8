#!/usr/bin/env bash
# The payment demo: the local gateway on 127.0.0.1:18080 serving the sample payment modules, and two
# payments through the real zoRozoridEverid.dll under Wine: the first fetches the modules, the second
# finds them current and fetches nothing. `make demo` installs and builds first; this script expects
# both builds (build/native for the gateway, build/win32 for the DLL and the driver).
# The gateway is stopped at the end, also when a step fails or the demo is interrupted.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

demo=$root/build/demo                       # everything the demo writes, apart from the Wine prefix
gateway_bin=$root/build/native/tools/gateway/vexo-gateway
driver=$root/build/win32/tools/demo/payment-demo.exe
plugin=$root/build/win32/shell/zoRozoridEverid.dll
export WINEPREFIX=$root/build/win32/wineprefix
product=VexoDemo

say() { printf '\n== %s\n' "$*"; }

# --- Gateway set-up and tear-down (kept when the driver below is replaced) ---
. "$root/tools/local_gateway.sh"

start_gateway() {
  local_gateway_start "$gateway_bin" "$demo" build/win32/sample_modules/MVcontrol70.dll \
    build/win32/sample_modules/MVmainUI70.dll || return 1
  echo "local gateway (pid $LOCAL_GATEWAY_PID) on http://127.0.0.1:18080 serving $demo/modules:"
  sed 's/^/  /' "$demo/gateway.out"
}

stop_gateway() {
  if [ -n "$LOCAL_GATEWAY_PID" ]; then
    local_gateway_stop
    echo "local gateway stopped"
  fi
  # Wine's own processes of this prefix (wineserver, services) end with the demo too.
  wineserver -k >/dev/null 2>&1 || true
}
trap stop_gateway EXIT
trap 'exit 130' INT TERM

# Lines the gateway logged since the last call: the requests of one payment.
log_seen=0
show_requests() {
  local total
  total=$(wc -l < "$demo/requests.log")
  echo "  gateway requests of this payment: $((total - log_seen))"
  tail -n +"$((log_seen + 1))" "$demo/requests.log" | cut -d'|' -f1 | sed 's/^/    /'
  log_seen=$total
}

# --- Checks ---
for f in "$gateway_bin" "$driver" "$plugin"; do
  [ -f "$f" ] || { echo "demo: $f is missing; run 'make demo' (it builds both presets)" >&2; exit 1; }
done

say "Starting the local gateway"
start_gateway
# The demo's product folder starts empty, so the first payment has everything to fetch.
rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/LocalLow/Vexo/"$product"

# --- Driver: one payment per run of the page (replaceable by a checkout page on a headless host) ---
# The test browser opens no window, so no display is needed. The plug-in's start-up self-test
# prints its two diagnostic lines ("rval = ...", "Object set/get test succeeded!") first.
run_payment() {
  cmake/wine-run.sh "$driver" "Z:$plugin" --product "$product" --order-number "$1" \
    --update-addr "http://127.0.0.1:18080/plugin/file"
}
# --- end of the driver ---

say "Payment 1: the module folder is empty, so the plug-in fetches the modules"
run_payment 1
show_requests

say "Payment 2: the modules are current, so only the version table is fetched"
run_payment 2
show_requests

say "Done"
