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
# Under qemu user-mode emulation 32-bit Wine needs a few settings of its own (cmake/wine-check.sh);
# 64-bit Wine starts 32-bit helpers of its own there too, and a crash of one must not wait for a
# debugger either.
. "$here/wine-check.sh"
if [ $arch = win32 ]; then
  wine32_emulation_env || exit 1
elif qemu_i386_registered; then
  export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winedbg.exe=d"
fi
# COM1-9 and LPT1-9 (and so AUX and PRN) lead to plain files beside the prefix instead of the
# machine's ports, so that a name that reaches a device writes into a file a test can check.
# A program that crashes ends at once instead of waiting for a debugger: the prefix names none
# (by default Wine attaches `winedbg --auto`, which can hang a run, seen under emulation).
ports=$(dirname "$WINEPREFIX")/wine-ports
prefix_settings() {
  local reg=$ports/ports.reg n
  mkdir -p "$ports"
  printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug]\n' > "$reg"
  printf '"Debugger"=""\n"Auto"="1"\n\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\n' >> "$reg"
  for n in $(seq 9); do
    : > "$ports/COM$n"; : > "$ports/LPT$n"
    printf '"COM%s"="%s"\n"LPT%s"="%s"\n' "$n" "$ports/COM$n" "$n" "$ports/LPT$n" >> "$reg"
  done
  "$loader" regedit /S "Z:${reg//\//\\}" >/dev/null 2>&1 && rm -f "$reg" && wineserver -w
}
if [ ! -f "$WINEPREFIX/system.reg" ] || [ ! -f "$WINEPREFIX/.vexo-settings" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      "$loader" wineboot -i >/dev/null 2>&1
      wineserver -w
    fi
    if [ ! -f "$WINEPREFIX/.vexo-settings" ]; then
      prefix_settings && touch "$WINEPREFIX/.vexo-settings"
    fi
  ) 9>"$WINEPREFIX.lock"
fi
exec "$loader" "$@"
