#!/usr/bin/env bash
# Runs one page in a host against the local gateway on 127.0.0.1:18080 and checks what it shows.
#   page_test.sh [--gateway BIN --modules DIR] [--expected FILE] [--status N] [--expect-text TEXT]...
#                [--report XML] --work DIR -- HOST-COMMAND...
# With --gateway the script starts the gateway on port 18080 with the sample payment modules of
# DIR (waiting a few seconds while another run still holds the port) and stops it at the end.
# Checks: the host's exit status is N (default 0); the page's "page: " lines equal FILE; every
# --expect-text TEXT occurs in the output; nphost's --stats line reports nothing left. With
# --report, the outcome is also written as a one-test JUnit report (counted by tools/run-tests.sh).
set -u
gateway="" modules="" expected="" want_status=0 work="" report="" texts=()
while [ $# -gt 0 ]; do
  case $1 in
    --gateway) gateway=$2; shift 2 ;;
    --modules) modules=$2; shift 2 ;;
    --expected) expected=$2; shift 2 ;;
    --status) want_status=$2; shift 2 ;;
    --expect-text) texts+=("$2"); shift 2 ;;
    --work) work=$2; shift 2 ;;
    --report) report=$2; shift 2 ;;
    --) shift; break ;;
    *) echo "page_test: unknown option $1" >&2; exit 2 ;;
  esac
done
[ -n "$work" ] && [ $# -gt 0 ] || { echo "page_test: need --work and a host command" >&2; exit 2; }
mkdir -p "$work"
out=$work/output.txt
gateway_pid=""

stop_gateway() {
  [ -n "$gateway_pid" ] || return 0
  kill "$gateway_pid" 2>/dev/null
  for _ in $(seq 50); do kill -0 "$gateway_pid" 2>/dev/null || break; sleep 0.1; done
  kill -9 "$gateway_pid" 2>/dev/null
  wait "$gateway_pid" 2>/dev/null
  gateway_pid=""
}
trap stop_gateway EXIT

port_in_use() { (exec 3<>/dev/tcp/127.0.0.1/18080) 2>/dev/null; }

if [ -n "$gateway" ]; then
  # Port 18080 may still be held for a moment by another test's gateway. The gateway's sockets
  # allow a second listener on the same port, so wait until nothing listens there any more.
  for _ in $(seq 100); do port_in_use || break; sleep 0.1; done
  if port_in_use; then
    echo "page_test: another program keeps listening on 127.0.0.1:18080" >&2
    exit 1
  fi
  for _ in $(seq 30); do
    rm -f "$work/gateway.ports"
    ASAN_OPTIONS=detect_leaks=0 "$gateway" --dir "$modules" --bind 127.0.0.1 --port 18080 --lifetime 900 \
      --ports-file "$work/gateway.ports" >"$work/gateway.log" 2>&1 &
    gateway_pid=$!
    for _ in $(seq 50); do
      [ -f "$work/gateway.ports" ] && break
      kill -0 "$gateway_pid" 2>/dev/null || break
      sleep 0.1
    done
    [ -f "$work/gateway.ports" ] && break
    wait "$gateway_pid" 2>/dev/null
    gateway_pid=""
    sleep 0.5
  done
  if [ -z "$gateway_pid" ]; then
    echo "page_test: the gateway did not start on 127.0.0.1:18080" >&2
    cat "$work/gateway.log" >&2
    exit 1
  fi
fi

"$@" >"$out" 2>"$work/errors.txt"
status=$?
stop_gateway
cat "$out"
cat "$work/errors.txt" >&2

failed=0
if [ "$status" -ne "$want_status" ]; then
  echo "page_test: the host exited with $status, expected $want_status" >&2
  failed=1
fi
if [ -n "$expected" ]; then
  grep '^page: ' "$out" | sed 's/\r$//' > "$work/page-lines.txt"
  if ! diff -u "$expected" "$work/page-lines.txt" >&2; then
    echo "page_test: the page showed other lines than $expected" >&2
    failed=1
  fi
fi
for t in "${texts[@]+"${texts[@]}"}"; do
  if ! grep -qF -- "$t" "$out" "$work/errors.txt"; then
    echo "page_test: missing in the output: $t" >&2
    failed=1
  fi
done
if grep -q '^nphost: left after the page:' "$out" &&
   ! grep -q '^nphost: left after the page: 0 script objects, 0 memory blocks, 0 bad frees, 0 releases of freed objects' "$out"; then
  echo "page_test: the page left objects or memory behind" >&2
  failed=1
fi
if [ -n "$report" ]; then
  mkdir -p "$(dirname "$report")"
  name=$(basename "$report" .xml)
  {
    echo '<?xml version="1.0" encoding="UTF-8"?>'
    echo "<testsuites tests=\"1\" failures=\"$failed\" errors=\"0\" name=\"$name\">"
    echo "  <testsuite name=\"$name\" tests=\"1\" failures=\"$failed\" errors=\"0\">"
    if [ "$failed" -eq 0 ]; then
      echo "    <testcase name=\"page\" classname=\"$name\"/>"
    else
      echo "    <testcase name=\"page\" classname=\"$name\"><failure message=\"see the test output\"/></testcase>"
    fi
    echo '  </testsuite>'
    echo '</testsuites>'
  } > "$report"
fi
exit $failed
