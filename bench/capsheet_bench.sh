#!/usr/bin/env bash
# capsheet on a ~200 MB classic capture of mixed OMCI frames, against reading the same file with
# cat in the same run. Usage: bash bench/capsheet_bench.sh <build dir>
# Prints the best of three wall times of each, their ratio, capsheet's peak memory and, when
# tshark is installed, how many times faster capsheet is than tshark exporting the same rows.
set -euo pipefail
build_dir=${1:-build-bench}
capsheet=$build_dir/capsheet/capsheet
generator=$build_dir/capsheet/gen-capture
size=${CAPSHEET_BENCH_BYTES:-200000000}
for tool in "$capsheet" "$generator"; do
  [ -x "$tool" ] || { echo "capsheet_bench: $tool is not built" >&2; exit 1; }
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
capture=$scratch/capture.pcap
"$generator" --seed 7 --bytes "$size" "$capture"

now() { date +%s.%N; }
# best_of <runs> <command...>: the shortest wall time in seconds of several runs.
best_of() {
  local runs=$1 best='' start end took
  shift
  for ((i = 0; i < runs; i++)); do
    rm -f "$scratch/out.csv"
    start=$(now)
    "$@" > /dev/null
    end=$(now)
    took=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }')
    if [ -z "$best" ] || awk -v t="$took" -v b="$best" 'BEGIN { exit !(t < b) }'; then best=$took; fi
  done
  echo "$best"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", (b > 0 ? a / b : 0) }'; }

cat "$capture" > /dev/null  # both start from a warm page cache
read_only() { cat "$capture"; }
copy_file() { cat "$capture" > "$scratch/out.csv"; }
convert() { "$capsheet" "$capture" "$scratch/out.csv"; }

t_cat=$(best_of 3 read_only)
t_copy=$(best_of 3 copy_file)
t_capsheet=$(best_of 3 convert)
bytes_in=$(stat -c %s "$capture")
convert > /dev/null
bytes_out=$(stat -c %s "$scratch/out.csv")
rows=$(($(wc -l < "$scratch/out.csv") - 1))

echo "capture: $bytes_in bytes, CSV: $bytes_out bytes, $rows rows"
echo "cat capture > /dev/null:      ${t_cat} s"
echo "cat capture > file (copy):    ${t_copy} s"
echo "capsheet capture csv:         ${t_capsheet} s"
echo "capsheet / cat:               $(ratio "$t_capsheet" "$t_cat")x  (target at most 6x)"
echo "capsheet / copy to a file:    $(ratio "$t_capsheet" "$t_copy")x"

# Peak memory (maximum resident set) of one conversion.
rm -f "$scratch/out.csv"
if [ -x /usr/bin/time ]; then
  peak_kb=$(/usr/bin/time -f '%M' "$capsheet" "$capture" "$scratch/out.csv" 2>&1 >/dev/null | tail -1)
elif command -v python3 > /dev/null; then
  peak_kb=$(python3 -c 'import resource, subprocess, sys
subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, check=True)
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)' "$capsheet" "$capture" "$scratch/out.csv")
else
  peak_kb=''
fi
if [ -n "$peak_kb" ]; then
  echo "capsheet peak memory:         $(awk -v k="$peak_kb" 'BEGIN { printf "%.1f", k / 1024 }') MiB (target under 16 MiB)"
else
  echo "capsheet peak memory:         not measured (neither /usr/bin/time nor python3 here)"
fi

if command -v tshark > /dev/null; then
  export_rows() { tshark -r "$capture" -T fields -e frame.number -e frame.time_epoch -e data; }
  t_tshark=$(best_of 1 export_rows)
  echo "tshark field export:          ${t_tshark} s"
  echo "capsheet faster than tshark:  $(ratio "$t_tshark" "$t_capsheet")x  (target at least 20x)"
else
  echo "tshark: not installed, not compared"
fi
