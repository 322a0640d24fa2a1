#!/usr/bin/env bash
# The CM dissector (tools/wireshark/relaykit-cm.lua) under tshark:
#  - its name tables are those of the C headers;
#  - over a live loopback capture of the demo session (tools/demo.sh: oltmgr-sim driven by cmctl)
#    and of a short session that sets and gets an extended record, every datagram is decoded
#    with the header, operation, resource, key, record, ret, registration and alarm fields named
#    as the headers name them, and every response names the request it answers;
#  - the port preference decides which datagrams are decoded;
#  - truncated and garbage datagrams are marked, never a Lua error.
#   dissector_test.sh <source dir> <build dir> <C++ compiler> <cm_tap>
# Where live capture on the loopback interface is not allowed, the sessions are recorded by
# cm_tap, a relay in front of each manager (DISSECTOR_TEST_CAPTURE=tap chooses it always).
# Exits 77 (skipped) when tshark is missing.
set -uo pipefail
keep_scratch=${KEEP_SCRATCH:-}

source_dir=$1
build=$2
export CXX=${3:-c++}
tap_bin=$4
lua=$source_dir/tools/wireshark/relaykit-cm.lua
sim=$build/tools/oltmgr-sim/oltmgr-sim
cmctl_bin=$build/tools/cmctl/cmctl
scratch=$(mktemp -d)
sim_pid=""
capture_pid=""
tap_pids=()
failures=0

stop_everything() {
    [[ -n $capture_pid ]] && kill -INT "$capture_pid" 2>/dev/null && wait "$capture_pid" 2>/dev/null
    for pid in "${tap_pids[@]}"; do kill -TERM "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
    [[ -n $sim_pid ]] && kill -TERM "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    [[ -n $keep_scratch ]] && echo "scratch kept: $scratch" || rm -rf "$scratch"
}
trap stop_everything EXIT

pass() { echo "ok: $1"; }
fail() {
    echo "FAILED: $1"
    failures=$((failures + 1))
}
check() { # check DESCRIPTION EXPECTED ACTUAL
    if [[ $2 == "$3" ]]; then pass "$1"; else fail "$1: expected '$2', got '$3'"; fi
}

# wait_for_line FILE TEXT: up to 10 s.
wait_for_line() {
    for _ in $(seq 100); do
        grep -qF -- "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}

# start_sim LOG: an oltmgr-sim on a free port of 127.0.0.1; sets sim_port.
start_sim() {
    "$sim" --listen 127.0.0.1:0 >"$1" 2>&1 &
    sim_pid=$!
    wait_for_line "$1" 'listening on' || return 1
    sim_port=$(sed -n 's/.*listening on [0-9.]*:\([0-9]*\).*/\1/p' "$1" | head -1)
}
stop_sim() {
    kill -TERM "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    sim_pid=""
}

# decode CAPTURE [tshark options...]: tshark with the dissector.
decode() {
    local capture=$1
    shift
    tshark -X "lua_script:$lua" -r "$capture" "$@" 2>"$scratch/tshark.err"
}

# frame_with FILE TEXT...: whether one frame of a verbose decode holds every TEXT.
frame_with() {
    local file=$1
    shift
    awk -v wanted="$(printf '%s\037' "$@")" '
        BEGIN { n = split(wanted, texts, "\037") - 1 }
        function judge() { if (started && found == n) hit = 1 }
        /^Frame [0-9]+:/ { judge(); started = 1; found = 0; delete seen; next }
        {
            for (i = 1; i <= n; i++)
                if (!(i in seen) && index($0, texts[i]) > 0) { seen[i] = 1; found++ }
        }
        END { judge(); exit hit ? 0 : 1 }
    ' "$file"
}
# expect_none DESCRIPTION PATTERN FILE...: no line of the files matches the grep PATTERN.
expect_none() {
    local description=$1 pattern=$2
    shift 2
    if grep -q "$pattern" "$@"; then
        fail "$description"
        grep -m5 "$pattern" "$@"
    else
        pass "$description"
    fi
}
expect_frame() { # expect_frame DESCRIPTION FILE TEXT...
    local description=$1
    shift
    if frame_with "$@"; then pass "$description"; else fail "$description: no frame holds all of: ${*:2}"; fi
}

# ---- the name tables ------------------------------------------------------------------------------

if bash "$source_dir/tools/names/gen-cm-names.sh" --check >"$scratch/names.txt" 2>&1; then
    pass "the name tables match the C headers"
else
    fail "the name tables differ from the C headers"
    cat "$scratch/names.txt"
fi

for tool in tshark text2pcap mergecap; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIPPED: $tool is not installed (tools/bootstrap.sh installs it)"
        exit 77
    fi
done

# ---- the capture -----------------------------------------------------------------------------------

# The sessions: the demo, and a short one that sets and gets the extended records. Each has a
# manager of its own, whose port is chosen here so that a capture filter can name it.
start_sim "$scratch/probe.log" || { fail "oltmgr-sim did not start"; exit 1; }
demo_port=$sim_port
stop_sim
start_sim "$scratch/extended-sim.log" || { fail "oltmgr-sim did not start"; exit 1; }
extended_port=$sim_port

# run_sessions DEMO_VIA EXTENDED_VIA: the demo's cmctl talks to DEMO_VIA (empty: its own
# manager), the extended session's to EXTENDED_VIA.
run_sessions() {
    if ! DEMO_MANAGER_VIA=$1 timeout 60 bash "$source_dir/tools/demo.sh" "$build" "$demo_port" \
        >"$scratch/demo.txt" 2>&1; then
        fail "the demo session"
        cat "$scratch/demo.txt"
    fi
    local via=$2
    extended() { timeout 10 "$cmctl_bin" --mgr "$via" "$@" >>"$scratch/extended.txt" 2>&1 || fail "cmctl $*"; }
    extended create TOD_REQ_MSG --key link=1/0/1 syncPeriod=60 enable=TRUE
    extended get TOD_REQ_MSG --key link=1/0/1
    extended create SERV_ONU_UPGRADE_TASK_AND_RESULT --key hex:0100 onuUpgradeRebootMode=MANUAL \
        onuUpgradeSwapMethod=ONLY_SWDL
    extended create SERV_ONU_ONUCONFIG_FILE --key hex:0200 onuUpgradeConfigFileImageName=onu.cfg
}

# wait_for_last_answer FILE: the last request and its answer both carry the file name; once
# both are in the capture file, everything before them is too.
wait_for_last_answer() {
    for _ in $(seq 100); do
        [[ $(grep -a -o 'onu\.cfg' "$1" | wc -l) -ge 2 ]] && return 0
        sleep 0.1
    done
}

capture=$scratch/session.pcap
live=no
if [[ ${DISSECTOR_TEST_CAPTURE:-live} == live ]] && command -v dumpcap >/dev/null; then
    dumpcap -P -i lo -f "udp port $demo_port or udp port $extended_port" -w "$capture" \
        >"$scratch/dumpcap.log" 2>&1 &
    capture_pid=$!
    for _ in $(seq 100); do
        kill -0 "$capture_pid" 2>/dev/null || break
        if grep -qF 'Capturing on' "$scratch/dumpcap.log"; then
            # dumpcap names the interface before it opens it; a refusal ends it at once
            sleep 0.5
            kill -0 "$capture_pid" 2>/dev/null && live=yes
            break
        fi
        sleep 0.1
    done
fi
if [[ $live == yes ]]; then
    echo "capturing the sessions on the loopback interface"
    run_sessions "" "127.0.0.1:$extended_port"
    wait_for_last_answer "$capture"
    kill -INT "$capture_pid" && wait "$capture_pid"
    capture_pid=""
else
    # Without live capture, cm_tap relays each session through a port of its own and writes
    # what it passes; the manager ports the dissector is told about are then the taps' ports.
    [[ -n $capture_pid ]] && kill -INT "$capture_pid" 2>/dev/null && wait "$capture_pid" 2>/dev/null
    capture_pid=""
    reason=$(grep -m1 '^dumpcap:' "$scratch/dumpcap.log" 2>/dev/null)
    echo "no live capture here (${reason:-DISSECTOR_TEST_CAPTURE=tap or no dumpcap}); recording through cm_tap"
    tap_ports=()
    for manager_port in "$demo_port" "$extended_port"; do
        "$tap_bin" "$manager_port" "$scratch/tap-$manager_port.pcap" >"$scratch/tap-$manager_port.log" 2>&1 &
        tap_pids+=($!)
        wait_for_line "$scratch/tap-$manager_port.log" 'tapping on' || fail "cm_tap did not start"
        tap_ports+=("$(sed -n 's/.*tapping on [0-9.]*:\([0-9]*\).*/\1/p' "$scratch/tap-$manager_port.log")")
    done
    run_sessions "127.0.0.1:${tap_ports[0]}" "127.0.0.1:${tap_ports[1]}"
    wait_for_last_answer "$scratch/tap-$extended_port.pcap"
    kill -TERM "${tap_pids[@]}" && wait "${tap_pids[@]}"
    tap_pids=()
    mergecap -F pcap -w "$capture" "$scratch/tap-$demo_port.pcap" "$scratch/tap-$extended_port.pcap"
    demo_port=${tap_ports[0]}
    extended_port=${tap_ports[1]}
fi
stop_sim

prefs=(-o "relaykit_cm.udp_ports:$demo_port,$extended_port" -o relaykit_cm.heuristic:FALSE)
# One line per datagram, with the ports as the preference names them: the numbers checked below
# and the datagrams the malformed ones are cut from.
fields=$scratch/fields.tsv
decode "$capture" "${prefs[@]}" -2 -T fields -E separator=/t -E occurrence=f \
    -e frame.number -e relaykit_cm.hdr.msgType -e relaykit_cm.hdr.transactionId \
    -e relaykit_cm.requestIn -e relaykit_cm.responseIn -e udp.srcport -e udp.dstport \
    -e relaykit_cm.reg.port -e relaykit_cm.alarm.alarmSeqNo -e relaykit_cm.alarm.alarmOccurrenceTime.ms \
    -e frame.time_epoch -e udp.length -e relaykit_cm.resId -e udp.payload >"$fields"
frames=$(wc -l <"$fields")
decoded=$(awk -F'\t' '$2 != ""' "$fields" | wc -l)
echo "the capture holds $frames datagrams"
# At least 21 requests (how often the start-up poll asks depends on the machine's speed), their
# 21 answers, 4 registrations and their answers, 2 alarms and 2 events.
[[ $frames -ge 54 ]] && pass "the capture holds the session" || fail "only $frames datagrams captured"
check "every datagram on the manager ports is decoded" "$frames" "$decoded"
check "without the ports and the heuristic nothing is decoded" 0 \
    "$(decode "$capture" -o relaykit_cm.heuristic:FALSE -Y relaykit_cm -T fields -e frame.number | wc -l)"
check "the heuristic alone finds every datagram" "$frames" \
    "$(decode "$capture" -Y relaykit_cm -T fields -e frame.number | wc -l)"

verbose=$scratch/verbose.txt
decode "$capture" "${prefs[@]}" -2 -O relaykit_cm >"$verbose"
expect_none "no datagram of the session is malformed or faults the dissector" \
    'Lua Error\|Malformed\|Expert Info (Error\|dissector fault' "$verbose" "$scratch/tshark.err"

expect_frame "a request header names modules, message type and tasks" "$verbose" \
    "srcModuleId: eZQ_OLT_MAN_MODULE_EXT_SNMP (1)" "dstModuleId: eZQ_OLT_MAN_MODULE_SVC (13)" \
    "msgType: eZQ_CM_MSG_TYPE_REQ (1)" "dstTaskId: 0xffffffff" "async: 0"
expect_frame "a create of an ONU configuration names its operation, resource and onuKey" "$verbose" \
    "msgType: eZQ_CM_MSG_TYPE_REQ (1)" "operType: eZQ_CM_OPER_TYPE_CREATE (1)" \
    "resType: eZQ_CMAPI_RES_TYPE_ONU (4)" "resId: eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG (6)" \
    "[key member: onuKey]" "slotId: 1" "linkId: 3" "onuId: 17"
expect_frame "the refused create names its ret" "$verbose" \
    "msgType: eZQ_CM_MSG_TYPE_RSP (2)" "operType: eZQ_CM_OPER_TYPE_CREATE (1)" \
    "ret: eOS_RET_OLT_INSTANCE_EXISTS (23)"
expect_frame "the walk ends on a named ret" "$verbose" \
    "operType: eZQ_CM_OPER_TYPE_GETNEXT (6)" "ret: eOS_RET_OLT_NO_INSTANCE_EXISTS (24)"
expect_frame "the count's answer carries instanceNum" "$verbose" \
    "msgType: eZQ_CM_MSG_TYPE_RSP (2)" "operType: eZQ_CM_OPER_TYPE_GET_INSTANCE_NUM (7)" "instanceNum: 3"
expect_frame "the system configuration get names its mask bits" "$verbose" \
    "msgType: eZQ_CM_MSG_TYPE_REQ (1)" "resId: eZQ_CMAPI_RES_ID_EQPT_GPON_SYS_CONFIG (1)" \
    "bitMask: 0x00000440" "fCMAPI_GPON_SYS_CONFIG_MASK_DB_SAVE: True" \
    "fCMAPI_GPON_SYS_CONFIG_MASK_INIT_STATUS: True" "[key member: resType]"
expect_frame "the system configuration answer is decoded field by field" "$verbose" \
    "msgType: eZQ_CM_MSG_TYPE_RSP (2)" "resId: eZQ_CMAPI_RES_ID_EQPT_GPON_SYS_CONFIG (1)" \
    "oltInitStatus: eZQ_CM_OLT_STATUS_READY (3)" "dbSave: eOS_BOOL_FALSE (0)" "hbUserName: "
expect_frame "the start-up poll sees the manager not ready" "$verbose" \
    "resId: eZQ_CMAPI_RES_ID_EQPT_OLT_INIT_STATUS (80)" "oltInitStatus: eZQ_CM_OLT_STATUS_NOT_INIT (1)"
expect_frame "an alarm registration names its type and filter" "$verbose" \
    "msgType: eZQ_CM_MSG_TYPE_ALM_REG (7)" "dstModuleId: eZQ_OLT_MAN_MODULE_ALM (18)" \
    "regType: eZQ_CMAPI_ALARM_REG_TYPE_REG (1)" "onuIdMin: 20" "onuIdMax: 20" \
    "alarmFilterType: eZQ_CMAPI_ALARM_FILTER_ONU (1)"
expect_frame "an unregistration is named" "$verbose" "regType: eZQ_CMAPI_ALARM_REG_TYPE_UNREG (2)"
expect_frame "the registration answer carries the registration and its ret" "$verbose" \
    "RSP tid=2 alarm registration REG ret=eOS_RET_SUCCESS" "onuIdMin: 20"
expect_frame "the raised alarm names type, severity and condition" "$verbose" \
    "msgType: eZQ_CM_MSG_TYPE_ALM (3)" "alarmType: eZQ_CMAPI_ONU_ALARM_LOW_RX_OPTICAL_POWER (118)" \
    "alarmSeverity: eZQ_CMAPI_ALARM_SEVERITY_MINOR (3)" "alarmCondition: eZQ_CMAPI_ALARM_CONDITION_ALARM (1)" \
    "onuId: 20" "alarmSeqNo: "
expect_frame "the cleared alarm is named" "$verbose" \
    "alarmType: eZQ_CMAPI_ONU_ALARM_LOW_RX_OPTICAL_POWER (118)" \
    "alarmSeverity: eZQ_CMAPI_ALARM_SEVERITY_CLEAR (0)" "alarmCondition: eZQ_CMAPI_ALARM_CONDITION_CLEAR (0)"
expect_frame "the ONU's event is named" "$verbose" \
    "msgType: eZQ_CM_MSG_TYPE_EVT (4)" "eventId: eZQ_CMAPI_EVENT_ONU_ACTIVATED (4)"
expect_frame "the extended record of a TOD create is decoded from offset 1640" "$verbose" \
    "msgType: eZQ_CM_MSG_TYPE_REQ (1)" "operType: eZQ_CM_OPER_TYPE_CREATE (1)" \
    "resId: eZQ_CMAPI_RES_ID_TOD_REQ_MSG (104)" "extended record address (sender's memory)" \
    "tZqCmTodCfg" "enable: eOS_BOOL_TRUE (1)" "syncPeriod: 60" "[key member: linkKey]"
expect_frame "the TOD get's answer returns the extended record" "$verbose" \
    "msgType: eZQ_CM_MSG_TYPE_RSP (2)" "operType: eZQ_CM_OPER_TYPE_GET (4)" \
    "resId: eZQ_CMAPI_RES_ID_TOD_REQ_MSG (104)" "syncPeriod: 60" "ret: eOS_RET_SUCCESS (0)"
expect_frame "the ONU upgrade task's extended record is decoded" "$verbose" \
    "resId: eZQ_CMAPI_RES_ID_SERV_ONU_UPGRADE_TASK_AND_RESULT (36)" "[key member: onuUpgradeKey]" "genId: 1" \
    "onuUpgradeRebootMode: eZQ_CMAPI_ONU_UPGRADE_REBOOT_MODE_MANUAL (2)" \
    "onuUpgradeSwapMethod: eZQ_CMAPI_ONU_UPGRADE_SWAP_MODE_ONLY_SWDL (2)"
expect_frame "the ONU configuration file's extended record is decoded" "$verbose" \
    "resId: eZQ_CMAPI_RES_ID_SERV_ONU_ONUCONFIG_FILE (38)" "onuUpgradeConfigFileImageName: onu.cfg"

# Numbers: each response names the request it answers, with the same transaction id, to the
# port the request came from; every request is answered; a registration names its own port;
# alarm sequence numbers grow; an alarm's time is the time it was sent.
summary=$(awk -F'\t' '
    { msg[$1] = $2; tid[$1] = $3; src[$1] = $6; dst[$1] = $7 }
    $2 == 1 { requests++; if ($5 == "") unanswered++ }
    $2 == 2 && $4 != "" {
        answers++
        if (tid[$4] != $3 || src[$4] != $7 || msg[$4] != 1 && msg[$4] != 7) mismatched++
    }
    $2 == 7 { registrations++; if ($8 != $6) wrongport++ }
    $2 == 3 {
        alarms++
        if (last != "" && $9 <= last) unordered++
        last = $9
        skew = $10 / 1000 - $11; if (skew < 0) skew = -skew
        if (skew > 60) late++
    }
    $12 == 2456 { extended++ }
    END {
        printf "%d requests, %d unanswered, %d answers, %d mismatched, %d registrations, %d with another port, ",
               requests, unanswered, answers, mismatched, registrations, wrongport
        printf "%d alarms, %d out of order, %d off time, %d extended\n", alarms, unordered, late, extended
    }' "$fields")
echo "$summary"
requests=$(sed 's/ requests.*//' <<<"$summary")
[[ $requests -ge 21 ]] && pass "the session's requests are decoded" || fail "only $requests requests"
[[ $summary == *" 0 unanswered, "* ]] && pass "every request names its response" || fail "unanswered requests"
[[ $summary == *" 0 mismatched, "* ]] && pass "each response carries its request's transaction id" ||
    fail "a response names a request of another transaction"
[[ $summary == *" 4 registrations, 0 with another port, "* ]] &&
    pass "each registration carries the port of the alarm socket it leaves from" ||
    fail "registrations: $summary"
[[ $summary == *" 2 alarms, 0 out of order, 0 off time, "* ]] &&
    pass "alarm sequence numbers grow and alarm times are the send times" || fail "alarms: $summary"
[[ $summary == *" 8 extended" ]] && pass "the extended records travel in 2448-byte datagrams" ||
    fail "extended: $summary"

# ---- truncated and garbage datagrams -----------------------------------------------------------------

# payload MSGTYPE [RESID]: the UDP payload of the first such datagram of the session, in hexadecimal.
payload() {
    awk -F'\t' -v type="$1" -v res="${2:-}" '$2 == type && (res == "" || $13 == res) { print $14; exit }' "$fields"
}
sysconfig_answer=$(payload 2 1)
tod_request=$(payload 1 104)
alarm=$(payload 3)
registration=$(payload 7)

# Each line: a datagram in hexadecimal; the ones that end inside a field are listed in truncated.
cuts=()
truncated=()
add_cut() { # add_cut HEX BYTES TRUNCATED?
    cuts+=("${1:0:$(($2 * 2))}")
    [[ $3 == yes ]] && truncated+=("${#cuts[@]}")
}
add_cut "$sysconfig_answer" 1 yes     # inside srcModuleId
add_cut "$sysconfig_answer" 27 yes    # inside async
add_cut "$sysconfig_answer" 28 yes    # a header and nothing else
add_cut "$sysconfig_answer" 30 yes    # inside operType
add_cut "$sysconfig_answer" 100 yes   # inside the system configuration record
add_cut "$sysconfig_answer" 500 yes   # inside hbPassWord's neighbours
add_cut "$sysconfig_answer" 1171 yes  # inside ret
add_cut "$sysconfig_answer" 1172 no   # up to ret: short, but whole
add_cut "$tod_request" 1700 yes       # inside the extended record
add_cut "$alarm" 64 yes               # inside alarmOccurrenceTime
add_cut "$registration" 50 yes        # inside the filter
add_cut "$sysconfig_answer" 1640 no
# Garbage of random lengths and contents, and garbage behind a header that claims each message type.
awk -v seed=14 -v header="${sysconfig_answer:0:32}" 'BEGIN {
    srand(seed)
    for (i = 0; i < 40; i++) {
        n = i < 20 ? int(rand() * 3000) + 1 : (i % 2 ? 1640 : 2448)
        line = i < 20 ? "" : header sprintf("%02x000000", i - 20) substr("0000000000000000", 1, 16)
        while (length(line) < 2 * n) line = line sprintf("%02x", int(rand() * 256))
        print line
    }
}' >"$scratch/garbage.txt"
mapfile -t garbage <"$scratch/garbage.txt"

# One pcap of all of them, to the demo's manager port, in the text2pcap dump form.
for datagram in "${cuts[@]}" "${garbage[@]}"; do
    fold -w 32 <<<"$datagram" | awk '{ printf "%06x", (NR - 1) * 16; for (i = 1; i < length($0); i += 2) printf " %s", substr($0, i, 2); print "" }'
done >"$scratch/malformed.txt"
text2pcap -q -4 127.0.0.1,127.0.0.1 -u "40000,$demo_port" "$scratch/malformed.txt" "$scratch/malformed.pcap" \
    >/dev/null 2>&1 || fail "text2pcap"
malformed_verbose=$scratch/malformed-verbose.txt
decode "$scratch/malformed.pcap" "${prefs[@]}" -O relaykit_cm >"$malformed_verbose"
# "FRAME decoded truncated" for each datagram
awk '/^Frame [0-9]+:/ { frame = $2 + 0 }
     /^relayKit CM protocol/ { decoded[frame] = 1 }
     /Expert Info \(Error\/Malformed\): Truncated:/ { truncated[frame] = 1 }
     END { for (f = 1; f <= frame; f++) print f, (f in decoded) ? 1 : 0, (f in truncated) ? 1 : 0 }' \
    "$malformed_verbose" >"$scratch/malformed-frames.txt"
datagrams=$((${#cuts[@]} + ${#garbage[@]}))
check "every truncated or garbage datagram is decoded" "$datagrams" \
    "$(awk '$2 == 1' "$scratch/malformed-frames.txt" | wc -l)"
check "exactly the datagrams that end inside a field are marked truncated" "${truncated[*]}" \
    "$(awk -v cuts=${#cuts[@]} '$1 <= cuts && $3 == 1 { print $1 }' "$scratch/malformed-frames.txt" | tr '\n' ' ' | sed 's/ $//')"
expect_none "no garbage datagram makes a Lua error or faults the dissector" \
    'Lua Error\|dissector fault' "$malformed_verbose" "$scratch/tshark.err"
expect_frame "a datagram shorter than a header says so" "$malformed_verbose" \
    "CM datagram shorter than its 28-byte header (1 bytes)" \
    "Truncated: srcModuleId needs bytes 0 to 3, the datagram has 1"
expect_frame "a datagram cut inside the header names the field" "$malformed_verbose" \
    "Truncated: async needs bytes 26 to 27, the datagram has 27"
expect_frame "a cut ret is named as such" "$malformed_verbose" \
    "Truncated: ret needs bytes 1168 to 1171, the datagram has 1171"
expect_frame "a cut extended record is named as such" "$malformed_verbose" \
    "tZqCmTodCfg" "the datagram has 1700"

if [[ $failures -ne 0 ]]; then
    echo "$failures checks failed; the session's output:"
    cat "$scratch/demo.txt" "$scratch/extended.txt"
    exit 1
fi
echo "all checks passed"
