#!/usr/bin/env bash
# Runs one libFuzzer target on its committed seeds and on the corpus it grew in WORK (new inputs go
# there, never into the seeds), then writes "RUNS STATUS" to RESULT. A crash, a sanitizer report or
# a failed property leaves the input in WORK/artifacts and fails the run; the log is RESULT less
# ".result" plus ".log".
#   run-fuzzer.sh BINARY SEEDS WORK RESULT [libFuzzer options...]
set -u
bin=$(realpath -m "$1") seeds=$(realpath -m "$2") work=$(realpath -m "$3") result=$(realpath -m "$4")
shift 4
mkdir -p "$work/corpus" "$work/artifacts" "$(dirname "$result")"
log=${result%.result}.log
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
# Scratch files of the target (profile and gzip files) go to a private folder in memory when there
# is one: the disk's write-back on every rewrite would slow the run down many times.
scratch=$(mktemp -d -p /dev/shm vexo-fuzz.XXXXXX 2>/dev/null || mktemp -d -p "$work")
trap 'rm -rf "$scratch"' EXIT
(cd "$scratch" && exec "$bin" -artifact_prefix="$work/artifacts/" -print_final_stats=1 "$@" "$work/corpus" "$seeds") \
  >"$log" 2>&1
status=$?
runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -n 1)
echo "${runs:-0} $status" >"$result"
echo "$(basename "$bin"): ${runs:-0} runs, exit status $status"
[ "$status" -eq 0 ] || tail -n 40 "$log"
exit "$status"
