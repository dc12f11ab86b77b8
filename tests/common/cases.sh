# Test cases of the shell tests, with a JUnit report as the gtest programs write (tools/run-tests.sh
# counts them). The test sets test_name and report (the report's path), then calls
# start_case NAME, problem TEXT for each failed check, and write_report at the end (its status is
# the test's).
cases=() case_name="" case_problem=""
start_case() {
  finish_case
  case_name=$1 case_problem=""
}
problem() {
  echo "$test_name: $case_name: $*" >&2
  [ -n "$case_problem" ] || case_problem=$*
}
finish_case() {
  [ -n "$case_name" ] || return 0
  cases+=("$case_name|$case_problem")
  [ -n "$case_problem" ] || echo "$test_name: $case_name: ok"
  case_name=""
}
write_report() {
  finish_case
  local name failures=0 c
  name=$(basename "$report" .xml)
  for c in "${cases[@]}"; do [ -z "${c#*|}" ] || failures=$((failures + 1)); done
  mkdir -p "$(dirname "$report")"
  {
    echo '<?xml version="1.0" encoding="UTF-8"?>'
    echo "<testsuites tests=\"${#cases[@]}\" failures=\"$failures\" errors=\"0\" name=\"$name\">"
    echo "  <testsuite name=\"$name\" tests=\"${#cases[@]}\" failures=\"$failures\" errors=\"0\">"
    for c in "${cases[@]}"; do
      if [ -z "${c#*|}" ]; then
        echo "    <testcase name=\"${c%%|*}\" classname=\"$name\"/>"
      else
        echo "    <testcase name=\"${c%%|*}\" classname=\"$name\"><failure message=\"see the test output\"/></testcase>"
      fi
    done
    echo '  </testsuite>'
    echo '</testsuites>'
  } >"$report"
  [ "$failures" -eq 0 ]
}
