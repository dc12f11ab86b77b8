#!/usr/bin/env bash
# The cost of the bridge (tools/bench/bridge_calls.html through vexo-pay.js): one MV_getdata round
# trip and a whole MV_start, in nphost (the plug-in called directly, synchronously) and in headless
# Chromium through the extension and vexo-bridge, both with the native plug-in built without
# sanitizers (build/native/plain); then the host alone on a pipe, without a browser. Needs the
# native preset built; builds the plain host itself. Run it in a network namespace of its own
# (it uses 127.0.0.1:18080), for example under `unshare -n` with the loopback brought up.
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
native=$root/build/native
plain=$native/plain
cmake --build "$plain" --target vexo_bridge nphost zoRozoridEverid MVcontrol70 MVmainUI70 >/dev/null || exit 1
work=$(mktemp -d)
trap 'local_gateway_stop; rm -rf "$work"' EXIT
. "$root/tools/local_gateway.sh"

echo "== nphost, plug-in called directly"
local_gateway_start "$native/tools/gateway/vexo-gateway" "$work/gateway" "$plain"/sample_modules/* || exit 1
mkdir -p "$work/nphost-home"
HOME=$work/nphost-home XDG_DATA_HOME=$work/nphost-home/.local/share "$plain/tools/nphost/nphost" \
  --url http://127.0.0.1:18080/bridge_calls.html "$root/tools/bench/bridge_calls.html" 2>&1 | grep '^page: '
local_gateway_stop

echo "== Chromium headless, extension and vexo-bridge"
"$root/tests/bridge/browser_checkout.sh" --work "$work/chromium" --gateway "$native/tools/gateway/vexo-gateway" \
  --modules "$plain/sample_modules" --extension "$native/bridge/extension" \
  --register "$native/bridge/host/vexo-bridge-register.sh" --page tools/bench/bridge_calls.html \
  -- "$plain/bridge/host/vexo-bridge" | grep -v 'page: hop:'

echo "== vexo-bridge alone on a pipe (no browser)"
mkdir -p "$work/pipe-home"
HOME=$work/pipe-home /usr/bin/python3 - "$plain/bridge/host/vexo-bridge" "$plain/shell/zoRozoridEverid.so" <<'PY'
import json, struct, subprocess, sys, time
host = subprocess.Popen([sys.argv[1], '--plugin', sys.argv[2]], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                        stderr=subprocess.DEVNULL)
def ask(request):
    body = json.dumps(request).encode()
    host.stdin.write(struct.pack('=I', len(body)) + body)
    host.stdin.flush()
    (length,) = struct.unpack('=I', host.stdout.read(4))
    return json.loads(host.stdout.read(length))
ask({"id": 0, "op": "open", "object": 1})
rounds = 2000
start = time.perf_counter()
for i in range(rounds):
    ask({"id": i + 1, "op": "call", "object": 1, "method": "MV_getdata", "args": ["res_cd"]})
print('page: MV_getdata round trip on the pipe: %.3f ms (mean of %d)' % ((time.perf_counter() - start) * 1000 / rounds, rounds))
host.stdin.close()
host.wait()
PY
