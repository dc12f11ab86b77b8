#!/usr/bin/env bash
# Runs the example checkout page (tools/nphost/pages/checkout.html) through nphost against a gateway
# that is already running on 127.0.0.1:18080: by default the real DLL under Wine (win32 build),
# with --native the native build's shared object. Prints what the page sees; the exit status is
# nphost's (0 when the payment went through).
#   tools/nphost/run-checkout.sh [--native] [--url URL] [PAGE.html]
# The page has the address URL (default: http://127.0.0.1:18080/PAGE.html, the local gateway's
# origin, which the default build lists); a plug-in built with another origin list refuses MV_start
# on pages of origins it does not list, so give a page of yours its real address.
# The win32 run uses the build's private Wine prefix and a virtual X display when none is set.
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
native=0
url=""
while [ $# -gt 0 ]; do
  case $1 in
    --native) native=1; shift ;;
    --url) url=$2; shift 2 ;;
    *) break ;;
  esac
done
page=$(cd "$(dirname "${1:-$root/tools/nphost/pages/checkout.html}")" && pwd)/$(basename "${1:-checkout.html}")
[ -n "$url" ] || url=http://127.0.0.1:18080/$(basename "$page")

if [ $native -eq 1 ]; then
  host=$root/build/native/tools/nphost/nphost
  [ -x "$host" ] || { echo "run-checkout: build the native preset first ($host)" >&2; exit 3; }
  ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0} exec "$host" --stats --url "$url" "$page"
fi

host=$root/build/win32/tools/nphost/nphost.exe
[ -f "$host" ] || { echo "run-checkout: build the win32 preset first ($host)" >&2; exit 3; }
export WINEPREFIX=${WINEPREFIX:-$root/build/win32/wineprefix}
run=("$root/cmake/wine-run.sh" "$host" --stats --url "$url" "Z:$page")
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "${run[@]}"
fi
exec "${run[@]}"
