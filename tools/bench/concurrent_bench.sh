#!/usr/bin/env bash
# Concurrency benchmark: ROUNDS rounds of PROCESSES payments started at once in separate processes
# (tools/demo/payment-demo, one plug-in each) that share one module directory, as the tabs of one
# customer do after a release, against the local gateway on 127.0.0.1:18080. Before every round the
# gateway's MVmainUI70.dll changes (bytes appended, so its listed version changes) and is served
# slowly (--slow, SLOW_MS between eight pieces), so that the round's first payment is still updating
# while the others call MV_start. After each round one more payment runs alone (it fetches only the
# table). Prints how many payments paid and failed, the rounds after which the installed files or
# table differ from the release, and the median MV_start of the process that began first (it holds
# the update), of the processes that waited for it, and of the lone payment (one table fetch).
# Natively (the plug-in built without sanitizers) and under Wine (the win32 build, or the win64
# check build where 32-bit Wine cannot run; an emulated time is not a Windows time). Not part of
# `make test`. Needs the builds (`make build`, and the win64 preset where that one is used); run it
# in a network namespace of its own when other gateways may be running.
#   [BENCH_WINE_BUILD=win64|win32] tools/bench/concurrent_bench.sh [ROUNDS [PROCESSES [SLOW_MS [WINE_ROUNDS]]]]
#   (defaults 20 8 100 20; BENCH_WINE_BUILD chooses the Windows build instead of cmake/wine-check.sh)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$root"
rounds=${1:-20}
processes=${2:-8}
slow_ms=${3:-100}
wine_rounds=${4:-$rounds}
bench=$root/build/bench/concurrent
gateway_bin=$root/build/native/tools/gateway/vexo-gateway
plain=$root/build/native/plain
export no_proxy=127.0.0.1,localhost
export LOCAL_GATEWAY_OPTIONS=--control

. "$root/tools/local_gateway.sh"
local_gateway_stop_on_exit

[ -d "$plain" ] || { echo "concurrent_bench: $plain is missing; run 'make build' first" >&2; exit 1; }
cmake --build "$plain" --target vexo_payment_demo >/dev/null
[ -f "$gateway_bin" ] || { echo "concurrent_bench: $gateway_bin is missing; run 'make build' first" >&2; exit 1; }

# "median" of the numbers on stdin.
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) { print "-"; exit }
  printf "%.1f\n", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# A new release of MVmainUI70.dll, served slowly; the gateway rereads its folder.
new_release() {
  printf 'round%04d' "$1" >>"$2/modules/MVmainUI70.dll"
  curl -sf -X POST --data-binary $'--slow\nMVmainUI70.dll\n--slow-ms\n'"$slow_ms" \
    http://127.0.0.1:18080/control/configure >/dev/null
}

# run NAME ROUNDS MODULE_DIR MODULE_FILE_DIR DRIVER...: the rounds with one build.
run() {
  local name=$1 n=$2 moduleDir=$3 modules=$4
  shift 4
  local state=$bench/$name out=$bench/$name.out
  rm -rf "$out" "$state-rounds" && mkdir -p "$state-rounds"
  local_gateway_start "$gateway_bin" "$state" "$modules/MVcontrol70.dll" "$modules/MVmainUI70.dll"
  rm -rf "$(dirname "$(dirname "$moduleDir")")"
  "$@" --product VexoConcurrent --quiet >/dev/null || true  # the release before the first round
  local paid=0 failed=0 broken=0 r i status pids
  for r in $(seq "$n"); do
    new_release "$r" "$state"
    pids=()
    for i in $(seq "$processes"); do
      "$@" --product VexoConcurrent --quiet --order-number "$((r * 100 + i))" >"$state-rounds/$r-$i.out" 2>&1 &
      pids+=($!)
    done
    for i in "${!pids[@]}"; do
      status=0
      wait "${pids[$i]}" || status=$?
      if [ "$status" -eq 0 ]; then paid=$((paid + 1)); else failed=$((failed + 1)); fi
    done
    curl -sf -X POST --data-binary '' http://127.0.0.1:18080/control/configure >/dev/null
    "$@" --product VexoConcurrent --quiet >"$state-rounds/$r-alone.out" 2>&1 || failed=$((failed + 1))
    # The installed module and table must be the release's.
    curl -sf -o "$state-rounds/table" http://127.0.0.1:18080/plugin/file/MirovanVer.tbl
    if ! cmp -s "$moduleDir/MVmainUI70.dll" "$state/modules/MVmainUI70.dll" ||
       ! tr -d '\r' <"$moduleDir/MirovanVer.tbl" | grep -qF "$(tr -d '\r' <"$state-rounds/table" | grep '^Version=' | tail -1)"; then
      broken=$((broken + 1))
    fi
    # Per round: the process that began MV_start first holds the update; the others waited.
    for i in $(seq "$processes"); do
      sed -n 's/.*MV_start took \([0-9.]*\) ms, began at \([0-9]*\) ms.*/\2 \1/p' "$state-rounds/$r-$i.out"
    done | sort -n | awk -v r="$r" 'NR == 1 { print "holder", $2; next } { print "waiter", $2 }' >>"$out"
    sed -n 's/.*MV_start took \([0-9.]*\) ms.*/alone \1/p' "$state-rounds/$r-alone.out" >>"$out"
  done
  local_gateway_stop
  local leftovers
  leftovers=$(find "$moduleDir" -name '*.[0-9]*-[0-9]*.*' | wc -l)
  printf '%-7s %s rounds x %s processes: %s paid, %s failed (goal: all paid); rounds leaving other files than the release: %s\n' \
    "$name" "$n" "$processes" "$paid" "$failed" "$broken"
  printf '  median MV_start ms: holder %s, waiting process %s (max %s), lone payment (one table fetch) %s\n' \
    "$(awk '$1 == "holder" { print $2 }' "$out" | median)" "$(awk '$1 == "waiter" { print $2 }' "$out" | median)" \
    "$(awk '$1 == "waiter" { print $2 }' "$out" | sort -n | tail -1)" "$(awk '$1 == "alone" { print $2 }' "$out" | median)"
  printf '  MVmainUI70.dll fetched %s times (goal: once before the rounds and once a round, %s); private files left: %s\n' \
    "$(grep -c 'MVmainUI70.dll' "$state/requests.log" || true)" "$((n + 1))" "$leftovers"
  [ "$failed" -eq 0 ] && [ "$broken" -eq 0 ]
}

mkdir -p "$bench"
status=0
echo "== native: plug-in .so without sanitizers ($plain)"
home=$bench/native-home
mkdir -p "$home/.local/share"
run native "$rounds" "$home/.local/share/Vexo/VexoConcurrent/ActiveX" "$plain/sample_modules" \
  env HOME="$home" XDG_DATA_HOME="$home/.local/share" \
  "$plain/tools/demo/payment-demo" "$plain/shell/zoRozoridEverid.so" || status=1

[ "$wine_rounds" -gt 0 ] || exit $status
echo
# The win32 build under 32-bit Wine; where this machine cannot run that, the win64 check build.
. "$root/cmake/wine-check.sh"
wine_choose_build "$root"
wb=$WINE_BUILD runner=$WINE_RUNNER
if [ "${BENCH_WINE_BUILD:-$wb}" != "$wb" ]; then  # BENCH_WINE_BUILD=win64 or win32 chooses by hand
  wb=$BENCH_WINE_BUILD runner=cmake/wine-run.sh
  [ "$wb" = win64 ] && runner=cmake/wine64-run.sh
  export WINEPREFIX=$root/build/$wb/wineprefix
fi
[ $wb = win32 ] || [ -n "${BENCH_WINE_BUILD:-}" ] ||
  echo "(32-bit Wine cannot run here: the win64 check build under 64-bit Wine instead)"
echo "== $wb: the plug-in DLL under Wine (Wine's times, not Windows times)"
[ -f build/$wb/tools/demo/payment-demo.exe ] ||
  { echo "concurrent_bench: build/$wb/tools/demo/payment-demo.exe is missing; build the $wb preset first" >&2; exit 1; }
$runner cmd /c exit >/dev/null 2>&1 || true   # creates the prefix on first use
wineserver -p 60 >/dev/null 2>&1 || true
run $wb "$wine_rounds" "$(echo "$WINEPREFIX"/drive_c/users/*/AppData/LocalLow)/Vexo/VexoConcurrent/ActiveX" \
  build/$wb/sample_modules $runner build/$wb/tools/demo/payment-demo.exe \
  "Z:$root/build/$wb/shell/zoRozoridEverid.dll" || status=1
exit $status
