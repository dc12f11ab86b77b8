#!/usr/bin/env bash
# How long pay.ready() takes on the example page (bridge/page/example.html) in headless Chromium,
# in each state of the machine: no extension, the extension without the host's registration, the
# host without the plug-in beside it, and everything there. Each state RUNS times (10) in a fresh
# profile; prints each time and the median. Uses the native build (make native) and
# tests/bridge/browser_checkout.sh; run it in a network namespace of its own (it uses
# 127.0.0.1:18080), for example: unshare -n sh -c 'ip link set lo up && exec tools/bench/ready_bench.sh'
#   ready_bench.sh [RUNS]
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
native=$root/build/native
runs=${1:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for lacking in extension registration plugin nothing; do
  times=()
  for i in $(seq "$runs"); do
    took=$("$root/tests/bridge/browser_checkout.sh" --browser chromium --work "$work/$lacking-$i" \
      --gateway "$native/tools/gateway/vexo-gateway" --modules "$native/sample_modules" \
      --extension "$native/bridge/extension" --register "$native/bridge/host/vexo-bridge-register.sh" \
      --library "$native/bridge/page" --lacking "$lacking" -- "$native/bridge/host/vexo-bridge" 2>&1 |
      sed -n 's/^browser_checkout: ready() decided in \([0-9]*\) ms$/\1/p')
    times+=("${took:-none}")
  done
  median=$(printf '%s\n' "${times[@]}" | grep -x '[0-9]*' | sort -n | awk '{v[NR]=$1} END {if (NR) print (NR % 2 ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2); else print "none"}')
  printf 'ready() lacking %-12s median %s ms of %d runs (%s)\n' "$lacking:" "$median" "$runs" "${times[*]}"
done
