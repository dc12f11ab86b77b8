#!/usr/bin/env bash
# The example checkout page in a headless browser (Chromium, or Firefox ESR with the unsigned
# extension, which it accepts when xpinstall.signatures.required is off) with the Vexo Pay extension
# and the bridge host, against the local gateway, in a fresh profile. The page is served from the
# gateway's origin (127.0.0.1:18080, page_server.py passes /plugin/ on to the gateway). Before it
# the browser visits a page on the gateway's origin that uses the bridge (its host must end when the
# page goes away) and a page from an origin outside the extension's list (it gets no bridge object).
#   browser_checkout.sh [--browser chromium|firefox|chromium,firefox] --work DIR --gateway BIN
#                       --modules DIR --extension DIR --register SCRIPT [--expected FILE]
#                       [--report XML] [--page PATH[?QUERY]] [--timeout SECONDS] [--library DIR]
#                       [--lacking WHAT [--within MS]] -- HOST-COMMAND...
# Browsers named together run at the same time, each with its own profile and host, in WORK/<browser>.
# --timeout: how long the page may take (90 s).
# --pages N: N checkout pages at once instead (Chromium: N tabs that tests/bridge/pages/tabs.html
# opens, each with a host process of its own, all paying with one module directory), with a new
# main module that the gateway serves slowly, so that the first page's update is still running when the
# others start theirs; each page must show the expected lines.
# HOST-COMMAND runs the bridge host; the profile's host manifest names a launcher that runs it.
# --page: another page of the source tree instead of the checkout page (it ends with a "page: verdict"
# line); without --expected its lines are only printed (tools/bench/bridge_bench.sh).
# --library: the built page library, served as /bridge/page/ (vexo-pay.js with the install links).
# --lacking: the example page (bridge/page/example.html?autopay) alone, on a machine that lacks
# "extension", "registration" (the host's), "plugin" (the DLL beside the host) or "nothing". Its
# "page: ready: ... in N ms" line is printed, and compared without the time, which --within bounds.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
browsers=chromium page=tools/nphost/pages/checkout.html pages=1 work="" gateway="" modules="" extension="" register="" expected="" report="" timeout=90
library="" lacking="" within=""
while [ $# -gt 0 ]; do
  case $1 in
    --browser) browsers=$2; shift 2 ;;
    --timeout) timeout=$2; shift 2 ;;
    --page) page=$2; shift 2 ;;
    --pages) pages=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --gateway) gateway=$2; shift 2 ;;
    --modules) modules=$2; shift 2 ;;
    --extension) extension=$2; shift 2 ;;
    --register) register=$2; shift 2 ;;
    --expected) expected=$2; shift 2 ;;
    --report) report=$2; shift 2 ;;
    --library) library=$2; shift 2 ;;
    --lacking) lacking=$2; page=bridge/page/example.html?autopay; shift 2 ;;
    --within) within=$2; shift 2 ;;
    --) shift; break ;;
    *) echo "browser_checkout: unknown option $1" >&2; exit 2 ;;
  esac
done
[ -n "$work" ] && [ $# -gt 0 ] || { echo "browser_checkout: need --work and a host command" >&2; exit 2; }
rm -rf "$work" && mkdir -p "$work/home"
pids=()
cleanup() { for p in "${pids[@]+"${pids[@]}"}"; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done; }
trap cleanup EXIT
failed=0
fail() { echo "browser_checkout: $*" >&2; failed=1; }
wait_for() { for _ in $(seq 100); do [ -s "$1" ] && return 0; sleep 0.1; done; return 1; }

slow=()
if [ "$pages" -gt 1 ]; then
  # A release change: a main module no earlier run installed (bytes appended change its version).
  mkdir -p "$work/modules" && cp "$modules"/* "$work/modules/" && modules=$work/modules
  printf 'release %s' "$(date +%s%N)" >>"$modules/MVmainUI70.dll"
  slow=(--slow MVmainUI70.dll --slow-ms 200)
fi
ASAN_OPTIONS=detect_leaks=0 "$gateway" --dir "$modules" --bind 127.0.0.1 --port 0 --ports-file "$work/gateway.ports" \
  --lifetime $((timeout + 120)) "${slow[@]}" >"$work/gateway.log" 2>&1 &
pids+=($!)
wait_for "$work/gateway.ports" || { fail "the gateway did not start"; cat "$work/gateway.log" >&2; exit 1; }
/usr/bin/python3 "$here/page_server.py" "$root" 18080 "http://127.0.0.1:$(sed -n 's/^http=//p' "$work/gateway.ports")" \
  "$work/site.ready" ${library:+"$library"} 2>"$work/site.log" &
pids+=($!)
wait_for "$work/site.ready" || { fail "the page server did not start"; cat "$work/site.log" >&2; exit 1; }
other=$(sed -n 's/^other=//p' "$work/site.ready")

# One browser's run, in its own folder DIR (profile, home, launcher, logs); prints the page's lines
# and what failed, and ends with status 1 on a failure.
run_browser() {
  local browser=$1 dir=$2 failed=0 browser_pid program=("${host[@]}")
  mkdir -p "$dir/home"
  fail() { echo "browser_checkout ($browser): $*" >&2; failed=1; }
  # A host program without the plug-in beside it: a copy of the program alone.
  if [ "$lacking" = plugin ]; then
    mkdir -p "$dir/bare" && cp "${program[-1]}" "$dir/bare/" && program[-1]=$dir/bare/$(basename "${program[-1]}")
  fi
  register() { [ "$lacking" = registration ] || "$register" "$@"; }
  # The host as the browser starts it: the launcher the manifest names, with the host's own folders,
  # its standard error kept in the browser's folder, and its start and end noted in hosts.txt.
  {
    echo '#!/bin/sh'
    echo "export HOME=$(printf %q "$dir/home") XDG_DATA_HOME=$(printf %q "$dir/home/.local/share") ASAN_OPTIONS=detect_leaks=0"
    echo "echo start >>$(printf %q "$dir/hosts.txt")"
    echo "$(printf '%q ' "${program[@]}") \"\$@\" 2>>$(printf %q "$dir/host.log")"
    echo "echo \"end \$?\" >>$(printf %q "$dir/hosts.txt")"
  } >"$dir/launcher"
  chmod +x "$dir/launcher"
  case $browser in
    chromium)
      register --host "$dir/launcher" --chromium-dir "$dir/profile/NativeMessagingHosts" || fail "registration failed"
      local extension_flags=(--load-extension="$extension" --disable-extensions-except="$extension")
      [ "$lacking" = extension ] && extension_flags=(--disable-extensions)
      set -- chromium --headless=new --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync --user-data-dir="$dir/profile" \
        "${extension_flags[@]}" --enable-logging=stderr --v=0 "$first" ;;
    firefox)
      # Firefox reads the host manifest from ~/.mozilla, and extensions placed in the profile.
      register --host "$dir/launcher" --firefox-dir "$dir/home/.mozilla/native-messaging-hosts" ||
        fail "registration failed"
      mkdir -p "$dir/profile/extensions"
      local gecko_id
      gecko_id=$(sed -n 's/.*"gecko": *{ *"id": *"\([^"]*\)".*/\1/p' "$extension/manifest.json")
      [ "$lacking" = extension ] || (cd "$extension" && cmake -E tar cf "$dir/profile/extensions/$gecko_id.xpi" --format=zip .)
      cat >"$dir/profile/user.js" <<'PREFS'
user_pref("xpinstall.signatures.required", false);
user_pref("extensions.autoDisableScopes", 0);
user_pref("extensions.enabledScopes", 15);
user_pref("devtools.console.stdout.content", true);
user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("toolkit.telemetry.reportingpolicy.firstRun", false);
user_pref("browser.startup.homepage_override.mstone", "ignore");
user_pref("app.update.enabled", false);
user_pref("extensions.update.enabled", false);
PREFS
      set -- env HOME="$dir/home" firefox-esr --headless --no-remote --profile "$dir/profile" "$first" ;;
    *) echo "browser_checkout: unknown browser $browser" >&2; return 2 ;;
  esac
  [ "$pages" -gt 1 ] && [ "$browser" = chromium ] && set -- "${@:1:$#-1}" --disable-popup-blocking "${@: -1}"
  local start
  start=$(date +%s%N)
  "$@" >"$dir/browser.log" 2>&1 &
  browser_pid=$!
  for _ in $(seq $((timeout * 10))); do
    [ "$(grep -ac 'page: verdict' "$dir/browser.log")" -ge "$pages" ] && break
    kill -0 "$browser_pid" 2>/dev/null || break
    sleep 0.1
  done
  cp "$dir/hosts.txt" "$dir/hosts-at-verdict.txt" 2>/dev/null
  echo "browser_checkout: the page finished $(( ($(date +%s%N) - start) / 1000000 )) ms after $browser started"
  kill "$browser_pid" 2>/dev/null
  wait "$browser_pid" 2>/dev/null

  # Console lines of the page. Chromium: [...:INFO:CONSOLE:N] "page: ...", source: URL (N), the text
  # as it is; Firefox: console.log: "page: ..." with JSON escapes.
  /usr/bin/python3 -c '
import json, re, sys
for line in open(sys.argv[1], encoding="utf-8", errors="replace"):
    m = re.search(r":INFO:CONSOLE[^\]]*\] \"(page: .*)\", source: ", line)
    if m:
        print(m.group(1))
    m = re.match(r"console\.log: (\"page: .*\")$", line)
    if m:
        print(json.loads(m.group(1)))' "$dir/browser.log" >"$dir/page-lines.txt"
  if [ -n "$lacking" ]; then
    local took
    took=$(sed -n 's/^page: ready: .* in \([0-9]*\) ms$/\1/p' "$dir/page-lines.txt")
    echo "browser_checkout: ready() decided in ${took:-no} ms"
    [ -z "$within" ] || { [ -n "$took" ] && [ "$took" -le "$within" ]; } || fail "ready() did not decide within $within ms"
    sed -i 's/^\(page: ready: .*\) in [0-9]* ms$/\1/' "$dir/page-lines.txt"
  fi
  cat "$dir/page-lines.txt"
  local hop_lines='page: hop: the bridge answered ""
page: hop: no bridge (vexoBridge undefined, road none)'
  # The first page's host ended when the browser left the page; the checkout page's was still running.
  # Several pages at once: one host each, all still running.
  local hosts_expected
  hosts_expected=$(printf 'start\nend 0\nstart')
  if [ "$pages" -gt 1 ]; then
    hop_lines="" hosts_expected=$(for _ in $(seq "$pages"); do echo start; done)
  fi
  # The example page alone: at most one host, still running when it paid.
  if [ -n "$lacking" ]; then
    hop_lines="" hosts_expected=$(case $lacking in nothing|plugin) echo start ;; esac)
  fi
  [ "$(grep '^page: hop:' "$dir/page-lines.txt")" = "$hop_lines" ] ||
    fail "the pages before the checkout did not see the bridge on the gateway origin and none elsewhere"
  [ "$(cat "$dir/hosts-at-verdict.txt" 2>/dev/null)" = "$hosts_expected" ] ||
    fail "hosts started and ended: $(tr '\n' ' ' <"$dir/hosts-at-verdict.txt" 2>/dev/null), expected $(tr '\n' ' ' <<<"$hosts_expected")"
  grep -v '^page: hop:' "$dir/page-lines.txt" >"$dir/checkout-lines.txt"
  if [ -n "$expected" ]; then
    # The lines of several pages interleave: each expected line once per page.
    for _ in $(seq "$pages"); do cat "$expected"; done | sort >"$dir/expected-lines.txt"
    diff -u "$dir/expected-lines.txt" <(sort "$dir/checkout-lines.txt") >&2 || fail "the pages showed other lines than $expected"
  fi
  grep -q '^page: verdict' "$dir/checkout-lines.txt" || fail "the page did not finish"
  [ "$failed" -eq 0 ] || { grep -av 'D-Bus\|dbus' "$dir/browser.log" | tail -20 >&2; cat "$dir/host.log" >&2; }
  return $failed
}

host=("$@")
hop=tests/bridge/pages/hop.html
checkout=http://127.0.0.1:18080/$page
first="http://127.0.0.1:18080/$hop?next=http://127.0.0.1:$other/$hop?next=$checkout"
[ "$pages" -gt 1 ] && first="http://127.0.0.1:18080/tests/bridge/pages/tabs.html?count=$pages&next=$checkout"
[ -n "$lacking" ] && first=$checkout
# Several browsers run at the same time, each in its own folder; their lines are printed in turn.
browser_pids=()
for b in ${browsers//,/ }; do
  run_browser "$b" "$work/$b" >"$work/$b.out" 2>&1 &
  browser_pids+=($!)
done
i=0
for b in ${browsers//,/ }; do
  wait "${browser_pids[$i]}" || failed=1
  cat "$work/$b.out"
  i=$((i + 1))
done
cleanup
pids=()

if [ -n "$report" ]; then
  name=$(basename "$report" .xml)
  mkdir -p "$(dirname "$report")"
  body=$([ "$failed" -eq 0 ] || echo '<failure message="see the test output"/>')
  printf '<?xml version="1.0" encoding="UTF-8"?>\n<testsuites tests="1" failures="%d" errors="0" name="%s">\n  <testsuite name="%s" tests="1" failures="%d">\n    <testcase name="checkout" classname="%s">%s</testcase>\n  </testsuite>\n</testsuites>\n' \
    "$failed" "$name" "$name" "$failed" "$name" "$body" >"$report"
fi
exit $failed
