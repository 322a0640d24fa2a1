#!/usr/bin/env bash
# Line and branch coverage of the library and of capsheet from a gcov-instrumented build whose
# tests have run: a summary of each on standard output, HTML reports in BUILD_DIR/coverage/, and
# exit status 1 when the library falls below the figures kept in tools/coverage-threshold.
#   tools/coverage.sh BUILD_DIR
set -euo pipefail

build_dir=${1:?usage: tools/coverage.sh BUILD_DIR}
cd "$(dirname "$0")/.."
threshold_file=tools/coverage-threshold
report_dir=$build_dir/coverage

figure() {  # the number after the word $1 in the threshold file
  local value
  value=$(awk -v key="$1" '$1 == key { print $2 }' "$threshold_file")
  [[ $value =~ ^[0-9]+(\.[0-9]+)?$ ]] || { echo "coverage: no '$1' figure in $threshold_file" >&2; exit 2; }
  echo "$value"
}
min_lines=$(figure lines)
min_branches=$(figure branches)

# gcov runs once over every counter file; both reports are read from its result. The library is
# built without exceptions, so the branches the compiler adds for unwinding are not counted, nor
# branches it proves never taken. Tests, tools, examples, benchmarks and fuzz targets are not
# measured: only the two filters below are.
rm -rf "$report_dir"
mkdir -p "$report_dir/library" "$report_dir/capsheet"
gcovr --root . --object-directory "$build_dir" --exclude-directories "$build_dir/CMakeFiles" \
  --exclude-throw-branches --exclude-unreachable-branches -j 2 \
  --filter '(user|ossvcmgr|common|relaykit|capsheet)/' --json "$report_dir/coverage.json"

report() {  # report NAME FILTER [gcovr options...]
  local name=$1 filter=$2
  shift 2
  echo "== $name"
  gcovr --root . --add-tracefile "$report_dir/coverage.json" --filter "$filter" \
    --sort-percentage --txt - --print-summary \
    --html-details "$report_dir/$name/index.html" --html-title "relayKit coverage: $name" "$@"
}

report capsheet 'capsheet/'
status=0
report library '(user|ossvcmgr|common|relaykit)/' \
  --fail-under-line "$min_lines" --fail-under-branch "$min_branches" || status=$?
echo "HTML reports: $report_dir/library/index.html, $report_dir/capsheet/index.html"
if ((status != 0)); then
  echo "coverage: the library is below the least coverage in $threshold_file" \
       "(lines $min_lines%, branches $min_branches%)" >&2
  exit 1
fi
echo "coverage: the library meets $threshold_file (lines $min_lines%, branches $min_branches%)"
