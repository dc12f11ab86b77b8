#!/usr/bin/env bash
# The win64 check build's emulator: wine-run.sh with 64-bit Wine and that build's prefix.
exec "$(dirname "${BASH_SOURCE[0]}")/wine-run.sh" --win64 "$@"
