#!/usr/bin/env bash
# Update benchmark on the local gateway (127.0.0.1:18080, sample payment modules):
#   1. MV_start with nothing to update (only the version table is fetched),
#   2. MV_start fetching the sample modules (no local table installed, so every run fetches both),
#   3. the same table and module fetches done with curl and gunzip,
# natively (the plug-in .so, built with ASan+UBSan) and under Wine (the DLL), each over RUNS runs
# (default 20), reported as median and mean in milliseconds, and the ratio of 2 to 3. Wine runs the
# product DLL natively or under qemu user-mode emulation (cmake/wine-check.sh), or where neither can,
# the win64 check build; the heading says which. An emulated time is not a Windows time: under
# emulation the ratio to curl (which runs natively) is not printed. WINE=0 measures natively only.
# Needs the builds (`make build`). Usage: [WINE=0] tools/bench/update_bench.sh [RUNS]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$root"
runs=${1:-20}
bench=$root/build/bench
gateway_bin=$root/build/native/tools/gateway/vexo-gateway
export no_proxy=127.0.0.1,localhost

. "$root/tools/local_gateway.sh"
local_gateway_stop_on_exit

for f in "$gateway_bin" build/native/tools/demo/payment-demo; do
  [ -f "$f" ] || { echo "update_bench: $f is missing; run 'make build' first" >&2; exit 1; }
done

# "median mean" of the numbers on stdin.
stats() { sort -n | awk '{ v[NR] = $1; s += $1 } END { if (NR == 0) { print "- -"; exit }
  m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.1f %.1f\n", m, s / NR }'; }

# MV_start times (ms) printed by the driver.
start_times() { grep -o 'MV_start took [0-9.]*' | awk '{ print $3 }'; }

# curl_gunzip_times OUTDIR: one line per run, the ms to fetch the table and every module and unpack them.
curl_gunzip_times() {
  local out=$1 i t0 t1 f
  mkdir -p "$out"
  for i in $(seq "$runs"); do
    t0=$(date +%s%N)
    curl -s -f -o "$out/MirovanVer.tbl" http://127.0.0.1:18080/plugin/file/MirovanVer.tbl
    for f in MVcontrol70.dll MVmainUI70.dll; do
      curl -s -f -o "$out/$f.gz" "http://127.0.0.1:18080/plugin/file/$f"
      gunzip -f "$out/$f.gz"
    done
    t1=$(date +%s%N)
    awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f\n", (b - a) / 1000000 }'
  done
}

# measure NAME MODULE_DIR_OF_PRODUCT RUNNER... : runs the three measurements with one build.
measure() {
  local name=$1 productDir=$2
  shift 2
  local_gateway_start "$gateway_bin" "$bench/$name-gateway" "build/$name/sample_modules/MVcontrol70.dll" \
    "build/$name/sample_modules/MVmainUI70.dll"
  local sizes
  sizes=$(stat -c %s "$bench/$name-gateway/modules/"* | awk '{ s += $1 } END { print s }')
  rm -rf "$productDir"
  # Fetching: MV_clean never runs, so no local table and every MV_start fetches both modules.
  local fetch nothing curlgz
  fetch=$("$@" --product VexoBench --payments "$runs" --no-clean --quiet | start_times | stats)
  # Nothing to update: one payment installs the table, then each run fetches only the table.
  "$@" --product VexoBench --quiet >/dev/null
  nothing=$("$@" --product VexoBench --payments "$runs" --quiet | start_times | stats)
  curlgz=$(curl_gunzip_times "$bench/$name-curl" | stats)
  local_gateway_stop
  read -r fm fa <<<"$fetch"; read -r nm na <<<"$nothing"; read -r cm ca <<<"$curlgz"
  printf '%-7s modules %s bytes, %s runs (median / mean ms)\n' "$name" "$sizes" "$runs"
  printf '  MV_start, nothing to update:      %8s / %8s\n' "$nm" "$na"
  printf '  MV_start, fetching both modules:  %8s / %8s\n' "$fm" "$fa"
  printf '  curl + gunzip of the same files:  %8s / %8s\n' "$cm" "$ca"
  if [ "$name" = win32 ] && qemu_i386_registered; then
    echo "  (emulated: these are qemu times, not Windows times; no ratio to curl)"
  else
    printf '  ratio MV_start fetching : curl+gunzip (medians) = %s\n' \
      "$(awk -v a="$fm" -v b="$cm" 'BEGIN { printf "%.2f", a / b }')"
  fi
}

mkdir -p "$bench"
echo "== native (plug-in .so under AddressSanitizer + UndefinedBehaviorSanitizer, libcurl)"
export XDG_DATA_HOME=$bench/native-home
mkdir -p "$XDG_DATA_HOME"
measure native "$XDG_DATA_HOME/Vexo/VexoBench" \
  env ASAN_OPTIONS=detect_leaks=0 build/native/tools/demo/payment-demo "$root/build/native/shell/zoRozoridEverid.so"
[ "${WINE:-1}" != 0 ] || exit 0
echo
# The win32 build under 32-bit Wine (natively or emulated); where neither runs, the win64 check build.
. "$root/cmake/wine-check.sh"
wine_choose_build "$root"
wb=$WINE_BUILD runner=$WINE_RUNNER
[ -f build/$wb/tools/demo/payment-demo.exe ] ||
  { echo "update_bench: build/$wb/tools/demo/payment-demo.exe is missing; build the $wb preset first" >&2; exit 1; }
echo "== $wb (zoRozoridEverid.dll under $WINE_MODE: WinINet)"
$runner cmd /c exit >/dev/null 2>&1 || true   # creates the prefix on first use
wineserver -p 60 >/dev/null 2>&1 || true       # one wineserver for all runs
measure $wb "$(echo "$WINEPREFIX"/drive_c/users/*/AppData/LocalLow)/Vexo/VexoBench" \
  $runner build/$wb/tools/demo/payment-demo.exe "Z:$root/build/$wb/shell/zoRozoridEverid.dll"
