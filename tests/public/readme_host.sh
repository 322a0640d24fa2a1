#!/usr/bin/env bash
# The complete CM host of README.md, kept honest: the build takes its C block from the README, and
# the test runs the built host against oltmgr-sim with a deadline.
#   readme_host.sh extract <README.md> <out.c>
#   readme_host.sh run <host> <oltmgr-sim> <cmctl>
set -uo pipefail
source "$(dirname "$0")/../support/expect_lines.sh"
scratch=$(mktemp -d)
sim_pid=
cleanup() {
    [[ -n $sim_pid ]] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT
fail() {
    echo "readme_host: $*"
    exit 1
}

if [[ $1 == extract ]]; then
    # The fenced C block after the README's marker line, up to its closing fence.
    awk '/^<!-- the CM host the tests build/ { marked = 1; next }
         marked && !open && /^```c$/ { open = 1; next }
         open && /^```$/ { exit }
         open { print }' "$2" >"$scratch/host.c"
    [[ -s $scratch/host.c ]] || fail "no CM host block after the marker in $2"
    cmp -s "$scratch/host.c" "$3" 2>/dev/null || cp "$scratch/host.c" "$3"
    exit 0
fi

[[ $1 == run ]] || fail "unknown mode $1"
host=$2 sim=$3 cmctl=$4
"$sim" --listen 127.0.0.1:0 --alarm-every 0.2 >"$scratch/sim.log" 2>&1 &
sim_pid=$!
port=
for _ in $(seq 100); do
    port=$(sed -n 's/.*listening on [0-9.]*:\([0-9]*\).*/\1/p' "$scratch/sim.log" | head -1)
    [[ -n $port ]] && break
    sleep 0.05
done
[[ -n $port ]] || fail "oltmgr-sim did not start: $(cat "$scratch/sim.log")"
for onu in 17 18; do
    timeout 10 "$cmctl" --mgr "127.0.0.1:$port" create EQPT_ONU_CONFIG --key "onu=1/1/3/$onu" >/dev/null ||
        fail "cmctl could not create ONU $onu"
done

output=$(timeout 30 "$host" "$port" 2>&1)
status=$?
expect_match '^system configuration \(1072 bytes\): ret 0, fdbAgingTimer [0-9]+$'
expect_match '^walk: 2 ONU configurations, then ret 24$'
expect_match '^alarm registration: ret 0$'
expect_match '^alarm [0-9]+, severity [0-9]+$'
expect_match '^OLT MGR is initialized\.$'
# Without the board file the host says so, in the words the README explains.
if [[ ! -e /tmp/get_board_id ]]; then expect_match '^Call GetBoardTypeFromHW\(\) failed\.$'; fi
expect_verdict host
