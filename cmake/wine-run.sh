#!/usr/bin/env bash
# Runs a Windows program under Wine with the project's private prefix.
# The prefix lives in the win32 build folder; it is created on first use (serialised with flock,
# since ctest starts several programs at once). With --win64 first: 64-bit Wine and the win64
# check build's prefix.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
arch=win32
loader=wine
if [ "${1:-}" = --win64 ]; then
  shift
  arch=win64
  loader=/usr/lib/wine/wine64
fi
export WINEPREFIX=${WINEPREFIX:-$root/build/$arch/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEARCH=$arch
export LC_ALL=${VEXO_LC_ALL:-ko_KR.UTF-8}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      "$loader" wineboot -i >/dev/null 2>&1
      wineserver -w
    fi
  ) 9>"$WINEPREFIX.lock"
fi
exec "$loader" "$@"
