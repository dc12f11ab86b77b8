#!/usr/bin/env bash
# Builds the release files of the current commit twice, in two clones at different paths, without
# the compiler cache, and compares them byte for byte (DLL, debug file, installer). Exits 0 when
# they are identical. Takes a few minutes; not part of `make test`. The clones are built in the
# default configuration, a development build (no release key): its files are the "-dev" ones.
#   dist/check-reproducible.sh [WORK_DIR]     (default: a new folder under /tmp, removed at the end)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
commit=$(git -C "$root" rev-parse HEAD)
work=${1:-}
if [ -z "$work" ]; then
  work=$(mktemp -d /tmp/vexo-repro.XXXXXX)
  trap 'rm -rf "$work"' EXIT
fi
export CCACHE_DISABLE=1
export SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct "$commit")

# Two clones whose paths differ in length and name, built one after the other.
dirs=("$work/first/vexo-plugin" "$work/second-build/elsewhere/src")
for dir in "${dirs[@]}"; do
  rm -rf "$dir"
  mkdir -p "$(dirname "$dir")"
  git clone --quiet --no-checkout "$root" "$dir"
  git -C "$dir" checkout --quiet "$commit"
  echo "== building $commit in $dir"
  (cd "$dir" &&
    cmake --preset win32 >/dev/null &&
    cmake --build --preset win32 --target zoRozoridEverid >"$dir.build.log" 2>&1 &&
    dist/make-dist.sh --dev --out "$dir/dist/out") || {
    echo "check-reproducible: the build in $dir failed (log: $dir.build.log)" >&2
    exit 1
  }
done

echo
status=0
for f in $(cd "${dirs[0]}/dist/out" && ls); do
  [ "$f" = SHA256SUMS ] && continue
  a=$(sha256sum <"${dirs[0]}/dist/out/$f" | cut -d' ' -f1)
  b=$(sha256sum <"${dirs[1]}/dist/out/$f" | cut -d' ' -f1)
  if [ "$a" = "$b" ]; then
    echo "identical  $a  $f"
  else
    echo "DIFFERENT  $f: $a (first) $b (second)"
    status=1
  fi
done
exit $status
