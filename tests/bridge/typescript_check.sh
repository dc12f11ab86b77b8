#!/usr/bin/env bash
# The page library's TypeScript declarations, as a page developer gets them: the package that npm
# packs, unpacked into WORK/node_modules. typescript/page.ts, which uses every declaration, must
# type-check; typescript/misuse.ts must give an error on each line marked "wrong" and no other.
#   typescript_check.sh TSC PACKAGE-DIR WORK [REPORT.xml]
set -u
tsc=$1 package=$2 work=$3 report=${4:-}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
rm -rf "$work" && mkdir -p "$work/node_modules/vexo-pay"
tarball=$(cd "$package" && npm pack --silent --pack-destination "$work") || exit 1
tar xzf "$work/$tarball" -C "$work/node_modules/vexo-pay" --strip-components=1 || exit 1
cp "$here"/typescript/*.ts "$work/"
# One program of both files (one compiler start).
errors=$(cd "$work" && "$tsc" --noEmit --strict --target es2020 --lib es2020,dom --module esnext \
  --moduleResolution bundler page.ts misuse.ts)
got=$(sed -n 's/^misuse\.ts(\([0-9]*\),.*/\1/p' <<<"$errors" | sort -un)
want=$(grep -n '// wrong' "$work/misuse.ts" | cut -d: -f1)
failed=0
if grep -q '^page\.ts' <<<"$errors" || [ "$got" != "$want" ]; then
  echo "typescript_check: page.ts must type-check, misuse.ts fail on lines $(echo $want) only:"
  echo "$errors"
  failed=1
fi
echo "typescript_check: page.ts and $(echo "$want" | wc -l) misuses checked, $failed failed"
if [ -n "$report" ]; then
  printf '<?xml version="1.0" encoding="UTF-8"?>\n<testsuites tests="1" failures="%d" errors="0" name="typescript">\n  <testsuite name="typescript" tests="1" failures="%d">\n    <testcase name="declarations" classname="bridge_page_typescript">%s</testcase>\n  </testsuite>\n</testsuites>\n' \
    "$failed" "$failed" "$([ "$failed" -eq 0 ] || echo '<failure message="see the test output"/>')" >"$report"
fi
exit $failed
