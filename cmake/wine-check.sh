#!/usr/bin/env bash
# Tells whether this machine can run the 32-bit Wine that runs the win32 build's programs.
# 32-bit Wine needs the kernel to execute 32-bit x86 programs; some virtual machines (kernels
# without IA-32 user mode) cannot, and every Wine start there ends in "Exec format error".
# Source it and call wine32_available; it prints the reason on standard error when it answers no.
# VEXO_REQUIRE_WINE=1 turns a missing 32-bit Wine into a failure for callers that check it.
wine32_available() {
  local loader=/lib/i386-linux-gnu/ld-linux.so.2
  if [ ! -e "$loader" ]; then
    echo "32-bit Wine is not installed ($loader is missing; run tools/install-deps.sh)" >&2
    return 1
  fi
  if ! "$loader" --version >/dev/null 2>&1; then
    echo "this machine cannot execute 32-bit x86 programs (its kernel has no IA-32 user mode:" \
      "$loader fails with \"Exec format error\"), so 32-bit Wine cannot start here" >&2
    return 1
  fi
}

# Chooses the Windows build that Wine can run here and exports its settings: WINE_BUILD (win32, or
# the win64 check build where 32-bit Wine cannot run), WINE_RUNNER (its wrapper, relative to the
# source root) and WINEPREFIX (that build's prefix). ROOT is the source root.
wine_choose_build() {
  local root=$1
  if wine32_available 2>/dev/null; then
    WINE_BUILD=win32 WINE_RUNNER=cmake/wine-run.sh
  else
    WINE_BUILD=win64 WINE_RUNNER=cmake/wine64-run.sh
  fi
  export WINEPREFIX=$root/build/$WINE_BUILD/wineprefix
}
