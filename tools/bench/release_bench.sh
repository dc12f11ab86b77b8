#!/usr/bin/env bash
# Release benchmark: the time "vexo-gateway pack" takes for the sample modules (unsigned and signed),
# and what signature checking adds to MV_start: a release packed from the sample modules and served
# by nginx (the release tests' fixture), paid with the plug-in built without a key (unsigned folder)
# and with the test-key plug-in (signed folder), both with nothing to update (the table fetched, and
# checked with the kept key list) and fetching both modules (hashed before unpacking), natively and under Wine
# (the win32 build, or the win64 check build where 32-bit Wine cannot run), each over RUNS runs
# (default 20), median and mean in milliseconds, with the requests per payment that nginx served.
# The keyed plug-in holds the test root key; the signed folder has its key list beside the table.
# With BEFORE_DIR, the same MV_start runs also with the plug-ins of another commit, side by side
# ("before"): BEFORE_DIR/<build>/ holds that commit's zoRozoridEverid.so (or .dll),
# keyed/zoRozoridEverid.so (or .dll) and payment-demo (or payment-demo.exe), copied from its
# build/<build>/shell, build/<build>/tests/payment/keyed and build/<build>/tools/demo (its keyed
# plug-in built with this build's test root key: copy build/<build>/testwork/release_keys there
# first; a plug-in of a commit before key lists cannot read the signed folder of this one). The plug-ins
# here check the page's origin (the demo's page is on the listed test gateway origin) and, with the
# key, the modules before loading them; the difference is what those checks cost. The last line of
# each build is MV_start on a page of an unlisted origin: the origin check and the refusal alone.
# Needs both builds (`make build`) and ports 18080/18443: run it in a network namespace of its own.
# Usage: tools/bench/release_bench.sh [RUNS] [BEFORE_DIR]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$root"
runs=${1:-20}
before=${2:-}
[ -z "$before" ] || before=$(cd "$before" && pwd)
bench=$root/build/bench
gateway_bin=$root/build/native/tools/gateway/vexo-gateway
fixture=$root/tests/http/gateway_fixture.sh
export WINEPREFIX=$root/build/win32/wineprefix
export no_proxy=127.0.0.1,localhost

cleanup() {
  for b in native win32; do [ -d "$bench/release-$b" ] && "$fixture" stop "$bench/release-$b"; done
  wineserver -k >/dev/null 2>&1 || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

stats() { sort -n | awk '{ v[NR] = $1; s += $1 } END { if (NR == 0) { print "- -"; exit }
  m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.1f %.1f\n", m, s / NR }'; }
start_times() { grep -o 'MV_start took [0-9.]*' | awk '{ print $3 }'; }
# Requests per payment in nginx's access log of the last RUNS payments (nginx writes a line once
# the answer is done; the log is read after a short wait).
requests_per_payment() { sleep 0.3; awk -v n="$runs" 'END { printf "%.1f", NR / n }' "$1"; }
ms_since() { awk -v a="$1" -v b="$(date +%s%N)" 'BEGIN { printf "%.3f\n", (b - a) / 1000000 }'; }

mkdir -p "$bench"
src=$bench/release-src
rm -rf "$src" && mkdir -p "$src"
modules=build/win32/sample_modules  # the product's modules; the check build's where win32 is not built
[ -f $modules/MVcontrol70.dll ] || modules=build/win64/sample_modules
cp $modules/MVcontrol70.dll $modules/MVmainUI70.dll "$src/"
# A release key on a key list signed by the test root, as an operator's first release has them.
keys=$bench/release-keys
rm -rf "$keys" "$bench/release-out" && mkdir -p "$keys"
export ASAN_OPTIONS=detect_leaks=0
"$gateway_bin" keygen --out "$keys/release" >/dev/null
"$gateway_bin" keylist --root build/native/testwork/release_keys/root.pem --version 1 --expires 30 \
  --key "$keys/release.pub.pem" "$bench/release-out" >/dev/null
for mode in unsigned signed; do
  args=()
  [ $mode = signed ] && args=(--sign "$keys/release.pem" --serial 1 --expires 30)
  times=$(for i in $(seq "$runs"); do
    t0=$(date +%s%N)
    ASAN_OPTIONS=detect_leaks=0 "$gateway_bin" pack "${args[@]}" "$src" "$bench/release-out" >/dev/null
    ms_since "$t0"
  done | stats)
  printf 'pack, %s, %-8s (median / mean ms over %s runs): %s\n' "$modules" "$mode" "$runs" "$times"
done
echo

# measure BUILD PRODUCT_DIR RUNNER... : MV_start with each plug-in against its folder (RUNNER runs
# a program: env, or the Wine wrapper).
measure() {
  local b=$1 productDir=$2
  local work=$bench/release-$b
  shift 2
  mkdir -p "$work"
  "$fixture" start-release "$work" "$gateway_bin" "build/$b/sample_modules" "build/$b/testwork/release_keys/root.pem" >/dev/null
  local www=$work/gateway/www plugin version ext=so exe=""
  [ $b != native ] && ext=dll exe=.exe
  echo "== $b ($runs runs, median / mean ms)"
  for version in now ${before:+before}; do
    for plugin in plain keyed; do
      local release=unsigned dir=$root/build/$b demo
      demo=$dir/tools/demo/payment-demo$exe
      local path=$dir/shell/zoRozoridEverid.$ext
      [ $plugin = keyed ] && path=$dir/tests/payment/keyed/zoRozoridEverid.$ext
      if [ $version = before ]; then
        dir=$before/$b demo=$before/$b/payment-demo$exe path=$before/$b/zoRozoridEverid.$ext
        [ $plugin = keyed ] && path=$before/$b/keyed/zoRozoridEverid.$ext
      fi
      [ $plugin = keyed ] && release=signed
      [ $b != native ] && path="Z:$path"
      rm -rf "$www/plugin/file" && cp -r "$work/gateway/releases/$release/." "$www/"
      rm -rf "$productDir"
      local fetch nothing log=$work/gateway/nginx/access.log fetchRequests nothingRequests
      : > "$log"
      fetch=$("$@" "$demo" "$path" --product VexoRelease --payments "$runs" --no-clean --quiet | start_times | stats)
      fetchRequests=$(requests_per_payment "$log")
      "$@" "$demo" "$path" --product VexoRelease --quiet >/dev/null
      : > "$log"
      nothing=$("$@" "$demo" "$path" --product VexoRelease --payments "$runs" --quiet | start_times | stats)
      nothingRequests=$(requests_per_payment "$log")
      printf '  %-6s %-5s plug-in, %-8s folder: MV_start nothing to update %s (%s requests), fetching both modules %s (%s requests)\n' \
        "$version" "$plugin" "$release" "$nothing" "$nothingRequests" "$fetch" "$fetchRequests"
    done
  done
  # A page of an origin the build does not list: MV_start is the origin check and its refusal alone.
  local refused
  refused=$({ "$@" "$root/build/$b/tools/demo/payment-demo$exe" "$([ $b != native ] && echo Z:)$root/build/$b/shell/zoRozoridEverid.$ext" \
    --product VexoRelease --payments "$runs" --quiet --page-url https://shop.example/checkout.html || true; } | start_times | stats)
  printf '  now    plain plug-in, page of an unlisted origin: MV_start (refused) %s\n' "$refused"
  "$fixture" stop "$work"
}

export XDG_DATA_HOME=$bench/release-native-home
mkdir -p "$XDG_DATA_HOME"
measure native "$XDG_DATA_HOME/Vexo/VexoRelease" env ASAN_OPTIONS=detect_leaks=0
# The win32 build under 32-bit Wine (natively or emulated); where neither runs, the win64 check build.
. "$root/cmake/wine-check.sh"
wine_choose_build "$root"
wb=$WINE_BUILD runner=$WINE_RUNNER
echo "== $wb: the plug-in DLL under $WINE_MODE"
if [ ! -f build/$wb/tools/demo/payment-demo.exe ] || ! "$runner" cmd /c exit >/dev/null 2>&1; then
  echo "== Windows builds: Wine cannot run them on this machine; skipped"
  exit 0
fi
wineserver -p 60 >/dev/null 2>&1 || true
measure $wb "$(echo "$WINEPREFIX"/drive_c/users/*/AppData/LocalLow)/Vexo/VexoRelease" "$runner"
