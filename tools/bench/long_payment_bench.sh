#!/usr/bin/env bash
# A payment whose main module stays busy for MINUTES (6) in headless Chromium and Firefox ESR at the
# same time, through the Vexo Pay extension and vexo-bridge (tests/bridge/pages/long.html with the
# sample module's "sample_busy_ms"): MV_start must still answer "SUCC" on the page, long after the
# browsers' idle limit for extension workers (30 s in both). Prints each page's lines and how long
# each browser took. Needs the native preset built; builds the plain host and modules itself. Run
# it in a network namespace of its own (it serves on 127.0.0.1:18080), for example
#   unshare -n bash -c 'ip link set lo up; tools/bench/long_payment_bench.sh 6'
#   tools/bench/long_payment_bench.sh [MINUTES]
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
native=$root/build/native
plain=$native/plain
minutes=${1:-6}
cmake --build "$plain" --target vexo_bridge zoRozoridEverid MVcontrol70 MVmainUI70 >/dev/null || exit 1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
busy=$((minutes * 60000))
"$root/tests/bridge/browser_checkout.sh" --browser chromium,firefox --work "$work/run" \
  --gateway "$native/tools/gateway/vexo-gateway" --modules "$plain/sample_modules" \
  --extension "$native/bridge/extension" --register "$native/bridge/host/vexo-bridge-register.sh" \
  --page "tests/bridge/pages/long.html?busy=$busy" --timeout $((minutes * 60 + 60)) \
  --expected "$root/tests/bridge/long.expected" -- "$plain/bridge/host/vexo-bridge" 2>&1 |
  grep -a '^browser_checkout\|^page: \|^[-+@]'
status=${PIPESTATUS[0]}
for b in chromium firefox; do
  echo "$b: $(grep -ao 'MV_start answered after [0-9.]* s' "$work/run/$b/browser.log" || echo 'MV_start did not answer')"
done
echo "long_payment_bench: $minutes min busy, status $status (0: both pages answered SUCC)"
exit "$status"
