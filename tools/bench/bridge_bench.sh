#!/usr/bin/env bash
# The cost of the bridge (tools/bench/bridge_calls.html through vexo-pay.js): one MV_getdata round
# trip and a whole MV_start, in nphost (the plug-in called directly, synchronously) and in headless
# Chromium through the extension and vexo-bridge, both with the native plug-in built without
# sanitizers (build/native/plain), and the host alone on a pipe without a browser. Through the
# bridge the round trip is split hop by hop (the page's bridge.onTiming), and the host's own time
# for each request (VEXO_BRIDGE_TIMES) is taken from its log. Needs the
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

# The browser run's pages and gateway come from one site (tests/bridge/page_server.py on 18080, which
# passes /plugin/ on to the gateway): nphost once more on that same road, for MV_start.
echo "== nphost, the gateway behind the page server as in the browser run"
"$native/tools/gateway/vexo-gateway" --dir "$plain/sample_modules" --bind 127.0.0.1 --port 0 \
  --ports-file "$work/gw.ports" --lifetime 600 >/dev/null 2>&1 &
gw=$!
for _ in $(seq 50); do [ -s "$work/gw.ports" ] && break; sleep 0.1; done
/usr/bin/python3 "$root/tests/bridge/page_server.py" "$root" 18080 \
  "http://127.0.0.1:$(sed -n 's/^http=//p' "$work/gw.ports")" "$work/site.ready" 2>/dev/null &
site=$!
for _ in $(seq 50); do [ -s "$work/site.ready" ] && break; sleep 0.1; done
mkdir -p "$work/nphost-home2"
HOME=$work/nphost-home2 XDG_DATA_HOME=$work/nphost-home2/.local/share "$plain/tools/nphost/nphost" \
  "$root/tools/bench/bridge_calls.html" 2>&1 | grep '^page: MV_start'
echo "== vexo-bridge alone on a pipe (no browser), the gateway behind the page server"
mkdir -p "$work/pipe-home"
HOME=$work/pipe-home XDG_DATA_HOME=$work/pipe-home/.local/share /usr/bin/python3 - "$plain/bridge/host/vexo-bridge" \
  "$plain/shell/zoRozoridEverid.so" <<'PY'
import json, statistics, struct, subprocess, sys, time
host = subprocess.Popen([sys.argv[1], '--plugin', sys.argv[2]], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                        stderr=subprocess.DEVNULL)
next_id = [0]
def ask(op, method=None, *args):
    next_id[0] += 1
    request = {"id": next_id[0], "op": op, "object": 1}
    if op == 'open':  # the page's origin, as the extension names it: the test gateway's, a listed one
        request['origin'] = 'http://127.0.0.1:18080'
    if method is not None:
        request.update(method=method, args=list(args))
    body = json.dumps(request).encode()
    host.stdin.write(struct.pack('=I', len(body)) + body)
    host.stdin.flush()
    (length,) = struct.unpack('=I', host.stdout.read(4))
    return json.loads(host.stdout.read(length)).get('result')
def timed(*call):
    start = time.perf_counter()
    answer = ask('call', *call)
    return answer, (time.perf_counter() - start) * 1000
ask('open')
rounds = 2000
times = [timed('MV_getdata', 'res_cd')[1] for _ in range(rounds)]
print('page: MV_getdata round trip on the pipe: %.3f ms (median of %d)' % (statistics.median(times), rounds))
fetching, current = [], []
for run in range(1, 10):
    ask('call', 'MV_init', 'VexoPipe%d' % run)
    for key, value in (('gw_url', '127.0.0.1'), ('update_addr', 'http://127.0.0.1:18080/plugin/file')):
        ask('call', 'MV_setdata', 'Config', key, value)
    ask('call', 'MV_setdata', 'Order', 'amount', '1000')
    for runs in (fetching, current):
        answer, took = timed('MV_start')
        if answer != 'SUCC':
            sys.exit('MV_start answered %s' % answer)
        runs.append(took)
    ask('call', 'MV_clean')
print('page: MV_start fetching the modules: SUCC in %.3f ms (median of 9)' % statistics.median(fetching))
print('page: MV_start with the modules current: SUCC in %.3f ms (median of 9)' % statistics.median(current))
host.stdin.close()
host.wait()
PY
kill $site $gw; wait $site $gw 2>/dev/null

echo "== Chromium headless, extension and vexo-bridge"
VEXO_BRIDGE_TIMES=1 "$root/tests/bridge/browser_checkout.sh" --work "$work/chromium" --gateway "$native/tools/gateway/vexo-gateway" \
  --modules "$plain/sample_modules" --extension "$native/bridge/extension" \
  --register "$native/bridge/host/vexo-bridge-register.sh" --page tools/bench/bridge_calls.html \
  -- "$plain/bridge/host/vexo-bridge" | grep -v 'page: hop:'
# The host's log of the measuring page: its own time per MV_getdata and per MV_start (they come in
# pairs, fetching then current).
/usr/bin/python3 - "$work/chromium/chromium/host.log" <<'PY'
import re, statistics, sys
times = {}
for line in open(sys.argv[1], errors='replace'):
    m = re.search(r'vexo-bridge: ([0-9.]+) us for .*"method": *"(MV_getdata|MV_start)"', line)
    if m:
        times.setdefault(m.group(2), []).append(float(m.group(1)) / 1000)
starts = times.get('MV_start', [])
for name, values in (('MV_getdata', times.get('MV_getdata', [])), ('MV_start fetching the modules', starts[0::2]),
                     ('MV_start with the modules current', starts[1::2])):
    if values:
        print('page: host itself, %s: %.3f ms (median of %d)' % (name, statistics.median(values), len(values)))
PY
