#!/usr/bin/env bash
# Long fuzzing runs (`make fuzz`): the targets of the fuzz build one after another at nice 10, each
# until FUZZ_RUNS executions (default 10,000,000) or FUZZ_SECONDS seconds (default 3600), whichever
# comes first, then a table of executions per target. Corpora grow in build/fuzz/fuzzwork/<target>;
# an input that failed is left in its artifacts folder. Needs the fuzz build (`make fuzz` builds it).
#   tools/fuzz.sh [TARGET...]        e.g. tools/fuzz.sh profile gzip   (default: all)
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build/fuzz
runs=${FUZZ_RUNS:-10000000}
seconds=${FUZZ_SECONDS:-3600}
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for bin in "$build"/tests/fuzz/fuzz_*; do
    [ -x "$bin" ] && targets+=("${bin##*/fuzz_}")
  done
fi
[ ${#targets[@]} -gt 0 ] || { echo "fuzz: no targets in $build; run 'make fuzz'" >&2; exit 1; }

status=0
for t in "${targets[@]}"; do
  start=$(date +%s)
  nice -n 10 "$root/tests/fuzz/run-fuzzer.sh" "$build/tests/fuzz/fuzz_$t" "$root/tests/fuzz/seeds/$t" \
    "$build/fuzzwork/$t" "$build/long/$t.result" -runs="$runs" -max_total_time="$seconds" || status=1
  echo "$(( $(date +%s) - start ))" >"$build/long/$t.seconds"
done

echo
printf '%-15s %12s %9s %s\n' target executions seconds result
for t in "${targets[@]}"; do
  read -r n rc <"$build/long/$t.result"
  printf '%-15s %12s %9s %s\n' "$t" "$n" "$(cat "$build/long/$t.seconds")" \
    "$([ "$rc" = 0 ] && echo "no finding" || echo "FAILED (see $build/fuzzwork/$t/artifacts)")"
done
exit $status
