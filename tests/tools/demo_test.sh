#!/usr/bin/env bash
# The demo session end to end: cmctl against the real oltmgr-sim over loopback. Each step of the
# session must leave its line in the output; the script itself fails on any unexpected exit status.
#   demo_test.sh <demo script> <build dir>
set -uo pipefail
source "$(dirname "$0")/../support/expect_lines.sh"
output=$(timeout 60 bash "$1" "$2" 2>&1)
status=$?
expect ": NOT_INIT (1)"
expect ": READY (3)"
expect "created EQPT_ONU_CONFIG onu=1/0/3/19"
expect "the OLT manager refused: eOS_RET_OLT_INSTANCE_EXISTS (23)"
expect "3 instances"
expect "oltInitStatus: READY (3)"
expect "severity=MINOR condition=ALARM resource=1/0/3/20"
expect "severity=CLEAR condition=CLEAR resource=1/0/3/20"
expect "request tid 1 DELETE EQPT_ONU_CONFIG(6) onu 1/0/3/20 -> eOS_RET_SUCCESS"
expect "shutting down on SIGTERM"
expect "successfully."
expect "unanswered        1"
expect "slowest pairs"
expect_verdict demo
