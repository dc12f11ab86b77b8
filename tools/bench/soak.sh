#!/usr/bin/env bash
# Soak run: whole payments one after another in one browser process, natively (the plug-in built
# without sanitizers, so that the figures are its own) and under Wine (the real DLL), against the
# local gateway on 127.0.0.1:18080. Each payment is MV_init, MV_setdata, MV_start, MV_getdata and
# MV_clean on the test browser (tools/demo/payment-demo); before every tenth payment the gateway's
# MVmainUI70.dll changes (a few bytes appended, so its listed version changes), so that payment
# fetches and installs it. Ten times per run the driver reports its resident size, its open files
# (Unix) or handles (Windows), and the memalloc blocks and script objects the plug-in holds; the
# script prints them with the start, middle and end figures, the MV_start times and how many module
# fetches the gateway served. Not part of `make test`: the defaults take a good while.
# Needs both builds (`make build`); run it in a network namespace of its own when other gateways
# may be running (for example `unshare -n` with the loopback brought up).
# A shorter native run of the sanitizer build ends with LeakSanitizer's check.
# --pipe: the payments go through ONE bridge host (vexo-bridge) on a pipe instead, as from a page
# that stays open (tools/bench/bridge_pipe_driver.py); the figures are then the host's.
#   tools/bench/soak.sh [--pipe] [NATIVE_PAYMENTS [WINE_PAYMENTS [ASAN_PAYMENTS]]]   (10000, 1000, 1000)
set -euo pipefail
# --probe [COUNT]: instead, where a long-lived process's growth comes from: the parts of a payment
# outside the plug-in's code (the HTTP library, the system's loader with the modules' environment
# counters), each COUNT times (1000) natively and under Wine (tools/demo/growth_probe.cpp).
pipe=0 probe=0
case ${1:-} in
  --pipe) pipe=1; shift ;;
  --probe) probe=1; shift ;;
esac
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$root"
native_payments=${1:-10000}
wine_payments=${2:-1000}
asan_payments=${3:-1000}
soak=$root/build/soak
gateway_bin=$root/build/native/tools/gateway/vexo-gateway
plain=$root/build/native/plain
export WINEPREFIX=$root/build/win32/wineprefix
export no_proxy=127.0.0.1,localhost
export LOCAL_GATEWAY_OPTIONS=--control

. "$root/tools/local_gateway.sh"
local_gateway_stop_on_exit

# The native driver is built in the sanitizer-free tree that the native build keeps for QtWebKit.
[ -d "$plain" ] || { echo "soak: $plain is missing; run 'make build' first" >&2; exit 1; }
cmake --build "$plain" --target vexo_payment_demo vexo_bridge >/dev/null
for f in "$gateway_bin" "$plain/tools/demo/payment-demo" build/native/tools/demo/payment-demo; do
  [ -f "$f" ] || { echo "soak: $f is missing; run 'make build' first" >&2; exit 1; }
done

# A new MVmainUI70.dll for the next payment: bytes appended (its CRC, the listed version, changes),
# and the gateway rereads its folder.
change_module() {
  printf 'soak%08d' "$1" >>"$2/modules/MVmainUI70.dll"
  curl -sf -X POST --data-binary '' http://127.0.0.1:18080/control/configure >/dev/null
}

# "median" of the numbers on stdin.
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) { print "-"; exit }
  printf "%.1f\n", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# soak NAME PAYMENTS PRODUCT_DIR MODULE_FILE_DIR DRIVER...
soak() {
  local name=$1 payments=$2 productDir=$3 modules=$4
  shift 4
  local state=$soak/$name out=$soak/$name.out
  local_gateway_start "$gateway_bin" "$state" "$modules/MVcontrol70.dll" "$modules/MVmainUI70.dll"
  rm -rf "$productDir"
  : >"$out"
  local every=$((payments / 10)) started=$SECONDS line
  [ "$every" -gt 0 ] || every=1
  coproc DRIVER { exec "$@" --product VexoSoak --payments "$payments" --quiet --stats-every "$every" --pause-every 10; }
  local driverPid=$DRIVER_PID driverIn driverOut
  # Own copies of the pipes: bash drops the coprocess's when it ends.
  exec {driverIn}>&"${DRIVER[1]}" {driverOut}<&"${DRIVER[0]}"
  while IFS= read -r line <&"$driverOut"; do
    line=${line%$'\r'}  # Windows programs end their lines with CR LF
    case $line in
      pause\ *) change_module "${line#pause }" "$state"; echo go >&"$driverIn" ;;
      stats\ *)
        # The process as the system sees it, too (under Wine: the Unix process of the program).
        echo "$line unix_rss_kb=$(awk '/^VmRSS:/ { print $2 }' "/proc/$driverPid/status" 2>/dev/null)" \
          "unix_fds=$(ls "/proc/$driverPid/fd" 2>/dev/null | wc -l)" >>"$out"
        echo go >&"$driverIn" ;;
      *) echo "$line" >>"$out" ;;
    esac
  done
  exec {driverIn}>&- {driverOut}<&-
  local rc=0
  wait "$driverPid" || rc=$?
  local_gateway_stop
  local seconds=$((SECONDS - started))
  local fetched
  fetched=$(grep -c 'MVmainUI70.dll' "$state/requests.log" || true)
  printf '%-7s %s payments in %s s, driver exit status %s (0: every MV_start answered SUCC)\n' \
    "$name" "$payments" "$seconds" "$rc"
  printf '  MVmainUI70.dll fetched %s times (expected %s: the first payment and every tenth)\n' \
    "$fetched" "$((1 + payments / 10))"
  local times; times=$(grep -o 'MV_start took [0-9.]*' "$out" | awk '{ print $3 }')
  printf '  MV_start median ms: first tenth %s, last tenth %s\n' \
    "$(head -n "$every" <<<"$times" | median)" "$(tail -n "$every" <<<"$times" | median)"
  grep '^stats ' "$out" | sed 's/^stats /  /'
  return "$rc"
}

# The Windows build Wine runs here (SOAK_WINE_BUILD=win64: the check build even where 32-bit Wine
# runs, emulated say): sets wb and runner.
choose_wine_build() {
  . "$root/cmake/wine-check.sh"
  wine_choose_build "$root"
  if [ "${SOAK_WINE_BUILD:-}" = win64 ]; then
    WINE_BUILD=win64 WINE_RUNNER=cmake/wine64-run.sh WINEPREFIX=$root/build/win64/wineprefix
  fi
  wb=$WINE_BUILD runner=$WINE_RUNNER
}

if [ "$probe" -eq 1 ]; then
  count=${1:-1000}
  choose_wine_build
  local_gateway_start "$gateway_bin" "$soak/probe" "$plain/sample_modules/MVcontrol70.dll" \
    "$plain/sample_modules/MVmainUI70.dll"
  url=http://127.0.0.1:18080/plugin/file/MirovanVer.tbl
  cmake --build "$plain" --target vexo_growth_probe >/dev/null
  echo "== native (without sanitizers)"
  (cd "$soak/probe" && "$plain/tools/demo/growth-probe" "$plain/sample_modules" "$url" "$count")
  echo "== $wb under Wine"
  $runner cmd /c exit >/dev/null 2>&1 || true
  (cd "$soak/probe" && "$root/$runner" "$root/build/$wb/tools/demo/growth-probe.exe" \
    "Z:$root/build/$wb/sample_modules" "$url" "$count") | tr -d '\r'
  exit 0
fi

# driver BUILD_DIR PLUGIN [RUNNER...]: the payment driver of the chosen mode for that build.
driver() {
  local dir=$1 plugin=$2 exe=
  shift 2
  [[ $dir != *win* ]] || exe=.exe
  if [ "$pipe" -eq 1 ]; then
    echo /usr/bin/python3 "$root/tools/bench/bridge_pipe_driver.py" "$@" "$dir/bridge/host/vexo-bridge$exe" --plugin "$plugin"
  else
    echo "$@" "$dir/tools/demo/payment-demo$exe" "$plugin"
  fi
}

mkdir -p "$soak"
status=0
echo "== native: plug-in .so without sanitizers ($plain)"
home=$soak/native-home
mkdir -p "$home/.local/share"
soak native "$native_payments" "$home/.local/share/Vexo/VexoSoak" "$plain/sample_modules" \
  env HOME="$home" XDG_DATA_HOME="$home/.local/share" \
  $(driver "$plain" "$plain/shell/zoRozoridEverid.so") || status=1
echo
# The sanitizer build once more, shorter: LeakSanitizer checks at the end that nothing the payments
# allocated is lost (its resident figures include the sanitizer's quarantine).
echo "== native: plug-in .so with AddressSanitizer and LeakSanitizer, $asan_payments payments"
rm -rf "$home"
mkdir -p "$home/.local/share"
soak asan "$asan_payments" "$home/.local/share/Vexo/VexoSoak" build/native/sample_modules \
  env HOME="$home" XDG_DATA_HOME="$home/.local/share" ASAN_OPTIONS=detect_leaks=1 \
  $(driver "$root/build/native" "$root/build/native/shell/zoRozoridEverid.so") || status=1

[ "$wine_payments" -gt 0 ] || exit $status
echo
# The win32 build under 32-bit Wine (natively or emulated); where neither runs, the win64 check build.
choose_wine_build
[ $wb = win32 ] || WINE_MODE="64-bit Wine (check build)"
echo "== $wb: the plug-in DLL under $WINE_MODE"
[ -f build/$wb/tools/demo/payment-demo.exe ] ||
  { echo "soak: build/$wb/tools/demo/payment-demo.exe is missing; build the $wb preset first" >&2; exit 1; }
$runner cmd /c exit >/dev/null 2>&1 || true   # creates the prefix on first use
wineserver -p 60 >/dev/null 2>&1 || true
soak $wb "$wine_payments" "$(echo "$WINEPREFIX"/drive_c/users/*/AppData/LocalLow)/Vexo/VexoSoak" \
  build/$wb/sample_modules $(driver "$root/build/$wb" "Z:$root/build/$wb/shell/zoRozoridEverid.dll" $runner) || status=1
exit $status
