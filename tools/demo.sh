#!/usr/bin/env bash
# The scripted session of `make demo`: an OLT manager emulator on loopback, an operator driving it
# with cmctl, then capsheet on the sample capture and its report on a generated OMCI session.
# Everything it starts is stopped on every exit.
#
#   tools/demo.sh BUILD_DIR [PORT]
# PORT is the manager's UDP port on 127.0.0.1; by default any free one.
set -euo pipefail

build=${1:?usage: tools/demo.sh BUILD_DIR [PORT]}
manager_port=${2:-0}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
sim=$build/tools/oltmgr-sim/oltmgr-sim
cmctl_bin=$build/tools/cmctl/cmctl
scratch=$(mktemp -d)
sim_pid=""
listener_pid=""

stop_everything() {
    [[ -n $listener_pid ]] && kill "$listener_pid" 2>/dev/null && wait "$listener_pid" 2>/dev/null
    [[ -n $sim_pid ]] && kill -TERM "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    rm -rf "$scratch"
}
trap stop_everything EXIT

step() { printf '\n== %s\n' "$*"; }
# wait_for_line FILE TEXT: waits up to 10 s for TEXT to appear in FILE.
wait_for_line() {
    for _ in $(seq 100); do
        grep -qF -- "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    echo "gave up waiting for '$2' in $1"
    return 1
}
run() {
    printf '$ cmctl %s\n' "$*"
    "$cmctl_bin" --mgr "$manager" "$@"
}

step "oltmgr-sim: an OLT manager on loopback, ready after 2 seconds"
"$sim" --listen "127.0.0.1:$manager_port" --init-delay 2 >"$scratch/sim.log" 2>&1 &
sim_pid=$!
wait_for_line "$scratch/sim.log" 'listening on' || true
manager=$(sed -n 's/.*listening on \([0-9.]*:[0-9]*\).*/\1/p' "$scratch/sim.log" | head -1)
[[ -n $manager ]] || { echo "oltmgr-sim did not start:"; cat "$scratch/sim.log"; exit 1; }
echo "listening on $manager"
# A relay in front of the manager (the dissector test's tap) takes cmctl's requests instead.
manager=${DEMO_MANAGER_VIA:-$manager}

step "status until the manager is ready"
run status || true
run status --wait 10

step "create three ONU configurations, then one twice"
for onu in 17 18 19; do
    run create EQPT_ONU_CONFIG --key "onu=1/0/3/$onu" --record 00
done
run create EQPT_ONU_CONFIG --key onu=1/0/3/17 --record 00 || echo "(exit status $?: the manager refused)"

step "walk and count them"
run walk EQPT_ONU_CONFIG
run count EQPT_ONU_CONFIG

step "the system configuration"
run get EQPT_GPON_SYS_CONFIG --mask oltInitStatus,dbSave

step "register for alarms; a new ONU raises one"
echo '$ cmctl alarms --onu 20 --count 1 --wait 5   (in the background)'
"$cmctl_bin" --mgr "$manager" alarms --onu 20 --count 1 --wait 5 >"$scratch/raised.txt" 2>&1 &
listener_pid=$!
wait_for_line "$scratch/raised.txt" 'registered for alarms'
run create EQPT_ONU_CONFIG --key onu=1/0/3/20 --record 00
wait "$listener_pid" || true
listener_pid=""
cat "$scratch/raised.txt"

step "delete the ONU; its alarm clears"
echo '$ cmctl alarms --onu 20 --count 1 --wait 5   (in the background)'
"$cmctl_bin" --mgr "$manager" alarms --onu 20 --count 1 --wait 5 >"$scratch/cleared.txt" 2>&1 &
listener_pid=$!
wait_for_line "$scratch/cleared.txt" 'registered for alarms'
run delete EQPT_ONU_CONFIG --key onu=1/0/3/20
wait "$listener_pid" || true
listener_pid=""
cat "$scratch/cleared.txt"
run count EQPT_ONU_CONFIG

step "what the manager logged"
kill -TERM "$sim_pid" && wait "$sim_pid" || true
sim_pid=""
cat "$scratch/sim.log"

step "capsheet: the sample OMCI capture to CSV"
"$build/capsheet/capsheet" "$source_dir/examples/omci-sample.pcap" "$scratch/omci-sample.csv"
head -4 "$scratch/omci-sample.csv"

step "capsheet --check: requests, answers, round trips and failures of an OMCI session"
"$build/capsheet/gen-capture" --session "$scratch/omci-session.pcap"
echo '$ capsheet --check omci-session.pcap'
"$build/capsheet/capsheet" --check "$scratch/omci-session.pcap"
