#!/usr/bin/env bash
# capsheet on ~200 MB captures against baselines in the same run: reading the file with cat,
# copying it, and tshark exporting the same three columns. Usage: bash bench/capsheet_bench.sh <build dir>
# Prints the best of five wall times of each, the ratios, --check's messages per second on a
# capture of OMCI sessions, and capsheet's peak memory in every mode, gzip-compressed input too.
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
sessions=$scratch/sessions.pcap
"$generator" --seed 7 --bytes "$size" "$capture"
"$generator" --session --bytes "$size" "$sessions"
gzip -1 -c "$capture" > "$capture.gz"

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

cat "$capture" "$sessions" > /dev/null  # every run starts from a warm page cache
read_only() { cat "$capture"; }
copy_file() { cat "$capture" > "$scratch/out.csv"; }
convert() { "$capsheet" "$capture" "$scratch/out.csv"; }
decode() { "$capsheet" --decode "$capture" "$scratch/out.csv"; }
check() { "$capsheet" --check "$sessions"; }

t_cat=$(best_of 5 read_only)
t_copy=$(best_of 5 copy_file)
t_capsheet=$(best_of 5 convert)
t_decode=$(best_of 5 decode)
t_check=$(best_of 5 check)
bytes_in=$(stat -c %s "$capture")
convert > /dev/null
bytes_out=$(stat -c %s "$scratch/out.csv")
rows=$(($(wc -l < "$scratch/out.csv") - 1))
messages=$("$capsheet" --check --json "$sessions" | sed -n 's/^{"messages": \([0-9]*\),.*/\1/p')

echo "capture: $bytes_in bytes, CSV: $bytes_out bytes, $rows rows"
echo "cat capture > /dev/null:      ${t_cat} s"
echo "cat capture > file (copy):    ${t_copy} s"
echo "capsheet capture csv:         ${t_capsheet} s"
echo "capsheet --decode:            ${t_decode} s"
echo "capsheet / cat:               $(ratio "$t_capsheet" "$t_cat")x  (target at most 6x)"
echo "capsheet --decode / cat:      $(ratio "$t_decode" "$t_cat")x  (target at most 8x)"
echo "capsheet / copy to a file:    $(ratio "$t_capsheet" "$t_copy")x"
echo "capsheet --check:             ${t_check} s for $messages messages of OMCI sessions:" \
     "$(awk -v m="$messages" -v t="$t_check" 'BEGIN { printf "%.2f", (t > 0 ? m / t / 1e6 : 0) }')M messages/s" \
     "(target at least 2M/s)"
# On a machine shared with other work the wall time also counts the waits for a core; the
# processor time of the run (user and system) does not.
if [ -x /usr/bin/time ]; then
  cpu=$( { /usr/bin/time -f '%U %S' "$capsheet" --check "$sessions" > /dev/null; } 2>&1 | tail -1)
  echo "capsheet --check, CPU time:   $(awk -v c="$cpu" -v m="$messages" 'BEGIN { split(c, t, " "); s = t[1] + t[2];
    printf "%.2f s: %.2fM messages per CPU second", s, (s > 0 ? m / s / 1e6 : 0) }')"
fi

# Peak memory (maximum resident set) of one run.
peak_kib() {
  if [ -x /usr/bin/time ]; then
    /usr/bin/time -f '%M' "$@" 2>&1 >/dev/null | tail -1
  elif command -v python3 > /dev/null; then
    python3 -c 'import resource, subprocess, sys
subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)' "$@"
  fi
}
mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
largest=0
for run in "convert:$capture" "decode:$capture" "check:$sessions" "convert:$capture.gz" "decode:$capture.gz" \
           "check:$capture.gz"; do
  mode=${run%%:*} input=${run#*:}
  case $mode in
    convert) args=("$input" "$scratch/out.csv") ;;
    decode) args=(--decode "$input" "$scratch/out.csv") ;;
    check) args=(--check "$input") ;;
  esac
  kib=$(peak_kib "$capsheet" "${args[@]}")
  [ -n "$kib" ] || { echo "capsheet peak memory:         not measured (neither /usr/bin/time nor python3 here)"; break; }
  echo "capsheet peak memory:         $(mib "$kib") MiB  ($mode, $(basename "$input"))"
  ((kib > largest)) && largest=$kib
done
echo "capsheet peak memory, most:   $(mib "$largest") MiB (target under 16 MiB)"

if command -v tshark > /dev/null; then
  export_rows() { tshark -r "$capture" -T fields -e frame.number -e frame.time_epoch -e data; }
  t_tshark=$(best_of 1 export_rows)
  echo "tshark field export:          ${t_tshark} s"
  echo "capsheet faster than tshark:  $(ratio "$t_tshark" "$t_capsheet")x"
  echo "--decode faster than tshark:  $(ratio "$t_tshark" "$t_decode")x  (target at least 50x)"
else
  echo "tshark: not installed, not compared"
fi
