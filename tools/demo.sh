#!/usr/bin/env bash
# The payment demo: the local gateway on 127.0.0.1:18080 serving the sample payment modules, and the
# example checkout page (tools/nphost/pages/checkout.html) run twice by nphost, a headless browser,
# with the real zoRozoridEverid.dll under Wine: the first payment fetches the modules, the second
# finds them current and fetches only the version table. `make demo` installs and builds first; this
# script expects both builds (build/native for the gateway, build/win32 for the DLL and nphost).
# The gateway is stopped at the end, also when a step fails or the demo is interrupted.
# 32-bit Wine runs natively where the kernel executes 32-bit programs, else under qemu user-mode
# emulation (cmake/wine-check.sh registers it); the demo says which. Where neither can run it, the
# same page runs with the native build's plug-in
# instead, and the demo says so.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
. "$root/cmake/wine-check.sh"
checkout_mode=
if ! wine32_available 2>/dev/null; then
  checkout_mode=--native
fi
# The plug-in's instance gets a real window: without a display, the whole demo runs on one virtual
# X display (Wine's processes are stopped before it goes away).
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

demo=$root/build/demo                       # everything the demo writes, apart from the Wine prefix
gateway_bin=$root/build/native/tools/gateway/vexo-gateway
driver=$root/build/win32/tools/nphost/nphost.exe
page=$root/tools/nphost/pages/checkout.html
plugin=$root/build/win32/shell/zoRozoridEverid.dll
modules=$root/build/win32/sample_modules   # the sample payment modules the gateway serves
export WINEPREFIX=$root/build/win32/wineprefix
product=VexoCheckout  # the MV_init name of the checkout page

say() { printf '\n== %s\n' "$*"; }

# --- Gateway set-up and tear-down (kept when the driver below is replaced) ---
. "$root/tools/local_gateway.sh"

start_gateway() {
  local_gateway_start "$gateway_bin" "$demo" "$modules/MVcontrol70.dll" "$modules/MVmainUI70.dll" || return 1
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
if [ -n "$checkout_mode" ]; then
  echo "demo: the real DLL cannot run here: $(wine32_available 2>&1)." >&2
  echo "demo: running the checkout page with the native build of the same plug-in instead." >&2
  driver=$root/build/native/tools/nphost/nphost
  plugin=$root/build/native/shell/zoRozoridEverid.so
  modules=$root/build/native/sample_modules
  # The native plug-in keeps its module folder in the build folder, not in the user's home.
  export XDG_DATA_HOME=$root/build/demo-data
else
  echo "demo: the real zoRozoridEverid.dll under 32-bit Wine $(wine32_mode)"
fi
for f in "$gateway_bin" "$driver" "$plugin"; do
  [ -f "$f" ] || { echo "demo: $f is missing; run 'make demo' (it builds both presets)" >&2; exit 1; }
done

say "Starting the local gateway"
start_gateway
# The demo's product folder starts empty, so the first payment has everything to fetch.
rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/LocalLow/Vexo/"$product" \
  "${XDG_DATA_HOME:-/nonexistent}/Vexo/$product"

# --- Driver: one payment per run of the checkout page in nphost ---
# nphost prints the page's console lines ("page: ..."), the plug-in's start-up self-test lines
# ("rval = ...", "Object set/get test succeeded!") and, with --stats, what the plug-in left behind.
# Its exit status is the page's verdict: 0 when the payment went through.
run_payment() {
  echo "  page: $page"
  tools/nphost/run-checkout.sh $checkout_mode "$page"
}
# --- end of the driver ---

say "Payment 1: the module folder is empty, so the plug-in fetches the modules"
run_payment
show_requests

say "Payment 2: the modules are current, so only the version table is fetched"
run_payment
show_requests

say "Done"
