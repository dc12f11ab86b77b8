#!/usr/bin/env bash
# Measures what a plug-in call costs from page script in each host: tools/nphost/pages/calls.html
# makes 10,000 MV_setdata and 10,000 MV_getdata calls and as many calls of an unknown method (which
# the plug-in's hasMethod refuses at once), and reports the cost per call and its ratio to the
# unknown method, with the memory before and after a round. Hosts: nphost with the plug-in built
# without sanitizers (native), nphost with the real DLL under Wine, QtWebKit with the native
# plug-in, and, for reference, nphost of the sanitizer build. Needs both presets built.
#   tools/nphost/measure-calls.sh
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
page=$root/tools/nphost/pages/calls.html
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME=$home XDG_DATA_HOME=$home/.local/share

run() {
  local name=$1; shift
  echo "== $name"
  "$@" 2>&1 | grep -E '^page: |verdict|error' | grep -v '^nphost: page verdict'
}

run "nphost, native plug-in without sanitizers" "$root/build/native/plain/tools/nphost/nphost" "$page"
run "nphost, zoRozoridEverid.dll under Wine" env WINEPREFIX="$root/build/win32/wineprefix" \
  xvfb-run -a -s "-screen 0 1024x768x24" "$root/cmake/wine-run.sh" "$root/build/win32/tools/nphost/nphost.exe" "Z:$page"
run "QtWebKit 5.212, native plug-in without sanitizers" xvfb-run -a -s "-screen 0 1024x768x24" \
  /usr/bin/python3 "$root/tools/webkit/webkit-host.py" --plugin-dir "$root/build/native/webkit-plugins" --calls 10000 "$page"
run "nphost, native plug-in with AddressSanitizer (reference)" \
  env ASAN_OPTIONS=detect_leaks=0:quarantine_size_mb=0 "$root/build/native/tools/nphost/nphost" "$page"
