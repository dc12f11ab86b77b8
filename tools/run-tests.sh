#!/usr/bin/env bash
# Runs every test of both builds (native under ASan/UBSan, win32 under Wine with xvfb) and each fuzz
# target briefly, then prints how many tests each build ran. Exits non-zero when any test failed or
# a build ran no test.
# The win32 suite runs on the product DLL under 32-bit Wine: natively where the kernel executes 32-bit
# programs, else under qemu user-mode emulation, which cmake/wine-check.sh registers first; the
# summary says which. Only where neither is possible do the Windows tests run from the win64 check
# build (the same sources and tests for 64-bit Windows, under 64-bit Wine), built here first, and
# the summary says that the 32-bit DLL itself was not run; VEXO_REQUIRE_WINE=1 makes that a failure.
# Usage: tools/run-tests.sh [ctest arguments...]   e.g. tools/run-tests.sh -R support
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

status=0
run_build() {
  local build=$1; shift
  rm -rf "build/$build/reports"
  mkdir -p "build/$build/reports"
  echo "== $build tests"
  if [ "$build" != native ]; then
    local wine_run="cmake/wine-run.sh"
    [ "$build" = win64 ] && wine_run="cmake/wine64-run.sh"
    export WINEPREFIX="$root/build/$build/wineprefix" VEXO_WINE_RUN="$wine_run" VEXO_PRESET=$build
    # Under emulation each program gets a time limit and a second try: emulated Wine's own
    # services crash now and then (README, "32-bit Wine under emulation").
    export VEXO_CTEST_EXTRA=""
    if [ "$build" = win32 ] && qemu_i386_registered; then
      VEXO_CTEST_EXTRA="--timeout 300 --repeat until-pass:2"
    fi
    # A wineserver left from elsewhere would keep a desktop without this run's display.
    wineserver -k >/dev/null 2>&1 || true
    # Create the prefix once, then keep one wineserver for the whole run; all of it inside the
    # virtual display, so that Wine's desktop process starts with that display.
    xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
      $VEXO_WINE_RUN cmd /c exit >/dev/null 2>&1 || true
      WINEDEBUG=-all wineserver -p 60 >/dev/null 2>&1 || true
      ctest --preset $VEXO_PRESET $VEXO_CTEST_EXTRA "$@"; rc=$?
      wineserver -k >/dev/null 2>&1 || true
      exit $rc' run-$build "$@" || status=1
  else
    ctest --preset native "$@" || status=1
  fi
}

# The fuzz targets run briefly (VEXO_FUZZ_SECONDS each, two at a time); each is one test.
run_fuzz() {
  rm -rf build/fuzz/reports
  mkdir -p build/fuzz/reports
  echo "== fuzz targets"
  ctest --preset fuzz -j2 "$@" || status=1
}

# Sums the fuzz results: prints "targets failures executions".
count_fuzz() {
  local targets=0 failures=0 runs=0 f n rc
  for f in build/fuzz/reports/*.result; do
    [ -f "$f" ] || continue
    read -r n rc <"$f"
    targets=$((targets + 1)); runs=$((runs + n))
    [ "$rc" = 0 ] || failures=$((failures + 1))
  done
  echo "$targets $failures $runs"
}

# Sums the gtest XML reports of one build: prints "tests failures programs".
count_reports() {
  local tests=0 failures=0 programs=0 f t x
  for f in "build/$1"/reports/*.xml; do
    [ -f "$f" ] || continue
    t=$(grep -m1 -o '<testsuites tests="[0-9]*"' "$f" | grep -o '[0-9]*')
    x=$(grep -m1 -o '<testsuites [^>]*failures="[0-9]*"' "$f" | grep -o 'failures="[0-9]*"' | grep -o '[0-9]*')
    tests=$((tests + ${t:-0})); failures=$((failures + ${x:-0})); programs=$((programs + 1))
  done
  echo "$tests $failures $programs"
}

# Programs that cannot pass under qemu user-mode emulation for a limit of the emulator (README,
# "32-bit Wine under emulation"): there they run from the win64 check build instead.
emulation_limited='^(http_client_tests|payment_tests|release_tests|nphost_page_calls)$'

build_win64() {
  echo "== building the win64 check build to run $1 under 64-bit Wine instead"
  { cmake --preset win64 >/dev/null && cmake --build --preset win64 >build/win64-build.log 2>&1; } ||
    { tail -n 30 build/win64-build.log; status=1; }
}

. "$root/cmake/wine-check.sh"
mkdir -p build
run_build native "$@"
windows=win32
emulated=0
rm -rf build/win64/reports  # an earlier run's reports are not this run's results
if wine32_available 2>build/wine-check.txt; then
  wine32_how=$(wine32_mode)
  qemu_i386_registered && emulated=1
else
  windows=win64
  rm -rf build/win32/reports  # an earlier run's reports are not this run's results
  echo "== win32 tests under Wine NOT RUN: $(cat build/wine-check.txt)"
  if [ "${VEXO_REQUIRE_WINE:-0}" = 1 ]; then status=1; fi
  # Those that need no Wine (the release files) run all the same.
  mkdir -p build/win32/reports
  echo "== win32 tests that need no Wine"
  ctest --preset win32 -L no-wine "$@" || status=1
  build_win64 "the Windows tests"
fi
if [ $emulated = 1 ]; then
  run_build win32 -E "$emulation_limited" "$@"
  build_win64 "what the emulator cannot run"
  run_build win64 -R "$emulation_limited" "$@"
else
  run_build $windows "$@"
fi
run_fuzz "$@"

read -r nt nf np < <(count_reports native)
read -r wt wf wp < <(count_reports win32)
read -r xt xf xp < <(count_reports win64)
echo
echo "native build (Linux, AddressSanitizer + UndefinedBehaviorSanitizer): $nt tests in $np programs, $nf failed"
if [ $windows = win32 ]; then
  echo "win32 build (the product DLL, 32-bit Wine $wine32_how, code page 949): $wt tests in $wp programs, $wf failed"
  if [ $emulated = 1 ]; then
    echo "win64 check build (what 32-bit Wine cannot run under the emulator: $(tr '^$()' '    ' <<<"$emulation_limited" |
      sed 's/|/, /g; s/  */ /g; s/^ //; s/ $//'); under 64-bit Wine): $xt tests in $xp programs, $xf failed"
  else
    xt=0 xf=0
  fi
  [ "$wt" -gt 0 ] || status=1
else
  echo "win32 build (the product DLL): built; tests under 32-bit Wine NOT RUN (this machine cannot run it);" \
    "$wt tests that need no Wine in $wp programs, $wf failed"
  echo "win64 check build (the same sources and tests for 64-bit Windows, under 64-bit Wine, code page 949):" \
    "$xt tests in $xp programs, $xf failed"
  [ "$xt" -gt 0 ] || status=1
fi
read -r ft ff fr < <(count_fuzz)
echo "fuzz build (libFuzzer, AddressSanitizer + UndefinedBehaviorSanitizer): $ft targets, $fr executions, $ff failed"
total=$((nt + wt + xt + ft)); failed=$((nf + wf + xf + ff))
[ "$nt" -gt 0 ] || status=1
[ "$failed" -eq 0 ] || status=1
# A program that crashed writes no report: count it as a failure too.
[ $status -eq 0 ] || [ "$failed" -gt 0 ] || failed=1
echo "$((total - nf - wf - xf - ff)) passed, $failed failed"
exit $status
