#!/usr/bin/env bash
# The ABI check's verdicts (tools/abi.sh) over small libraries built here: a baseline from one, then
# each change a library really goes through, checked against it. An incompatible change fails and
# names its symbol; an addition passes and asks for a new baseline; the baseline's symbols list keeps
# each symbol's first version.
#   abi_check_test.sh <abi.sh> <C compiler>
set -uo pipefail
abi=$1 cc=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# The baseline library; each case replaces one line of it (sed expression) or adds lines.
cat >"$scratch/source.c" <<'EOF'
struct rec { int a; int b; };
int api_get(int x, struct rec *r) { return x + r->a; }
int api_count;
enum color { RED, GREEN };
int api_paint(enum color c) { return (int)c; }
EOF
build() { # build NAME SED: libNAME.so from the baseline source changed by SED
    sed "$2" "$scratch/source.c" >"$scratch/$1.c"
    "$cc" -g -shared -fPIC -Wl,-soname,libt.so.1 -o "$scratch/lib$1.so" "$scratch/$1.c"
}
build base ''
printf 'libt.so.1 libt1 #MINVER#\n* Build-Depends-Package: libt-dev\n api_count@Base 0.9\n' >"$scratch/symbols"
bash "$abi" baseline "$scratch/libbase.so" "$scratch/base.abi" "$scratch/symbols" libt1 1.0 >/dev/null

passed=0 failed=0
# verdict NAME EXPECTED_STATUS PATTERN [BASELINE]: the check of libNAME.so against BASELINE (base.abi)
# ends with that status and prints a line matching PATTERN.
verdict() {
    local name=$1 want=$2 pattern=$3 baseline=${4:-base.abi} status
    bash "$abi" check "$scratch/lib$name.so" "$scratch/$baseline" >"$scratch/out" 2>&1
    status=$?
    if [[ $status == "$want" ]] && grep -qE "$pattern" "$scratch/out"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED: $name: status $status (want $want), output without /$pattern/:"
        sed 's/^/    /' "$scratch/out" | head -30
    fi
}

# name | change to the baseline source | status | a line the check must print
CASES=(
    "same|s/x + r->a/r->a + x/|0|matches its baseline"
    "added-function|\$a int api_new(void) { return 1; }|0|added: function int api_new\\(\\)"
    "added-variable|\$a long api_total;|0|refresh .*make abi-baseline"
    "added-enumerator|s/GREEN }/GREEN, BLUE }/|0|matches its baseline"
    "removed-function|/api_get/d|1|removed: function int api_get\\(int, rec\\*\\)"
    "removed-variable|/api_count/d|1|removed: int api_count"
    "parameter-type|s/int api_get(int x/int api_get(long x/|1|changed: function int api_get\\(int, rec\\*\\)"
    "return-type|s/^int api_get/long api_get/|1|changed: function int api_get"
    "record-layout|s/int a; int b;/int a; long c; int b;/|1|changed: function int api_get"
    "variable-type|s/^int api_count/long api_count/|1|changed: int api_count"
    "enumerator-value|s/RED, GREEN/RED = 2, GREEN/|1|changed: function int api_paint"
)
for row in "${CASES[@]}"; do
    IFS='|' read -r name change status pattern <<<"$row"
    build "$name" "$change"
    verdict "$name" "$status" "$pattern"
done

# The library's own shape: C functions defined in C++, declared in a header and called from
# another unit.
cxx_library() { # cxx_library NAME TYPE: libNAME.so whose api_count takes TYPE
    mkdir -p "$scratch/$1"
    printf 'extern "C" __attribute__((visibility("default"))) int api_count(%s n);\n' "$2" >"$scratch/$1/api.h"
    printf '#include "api.h"\nextern "C" int api_count(%s n) { return (int)n + 1; }\n' "$2" >"$scratch/$1/count.cpp"
    printf '#include "api.h"\nextern "C" __attribute__((visibility("default"))) int api_twice(void) { return api_count(2) * 2; }\n' \
        >"$scratch/$1/twice.cpp"
    "$cc" -x c++ -g -O2 -shared -fPIC -fvisibility=hidden -Wl,-soname,libt.so.1 -o "$scratch/lib$1.so" \
        "$scratch/$1/twice.cpp" "$scratch/$1/count.cpp"
}
cxx_library cxxbase "unsigned short"
bash "$abi" baseline "$scratch/libcxxbase.so" "$scratch/cxxbase.abi" >/dev/null
cxx_library cxxwide "unsigned int"
verdict cxxwide 1 "changed: function int api_count\(unsigned short int\)" cxxbase.abi

# Refusals rather than passes: a baseline that leaves an exported function without its declaration
# (it would not be compared), a missing baseline (with how to start one), a library without debug
# information (no types to compare).
sed "0,/ elf-symbol-id='api_get'/s///" "$scratch/base.abi" >"$scratch/undescribed.abi"
verdict base 1 "describes 1 of its 2 exported func symbols" undescribed.abi
verdict base 1 "make abi-baseline" none.abi
"$cc" -shared -fPIC -Wl,-soname,libt.so.1 -o "$scratch/libnodebug.so" "$scratch/source.c"
verdict nodebug 1 "no debug information"

# The refreshed symbols list keeps the first version of what it listed and dates the rest now; a
# new one (a new soname) starts with its header and every symbol at this version.
bash "$abi" baseline "$scratch/libbase.so" "$scratch/base2.abi" "$scratch/new-symbols" libt2 2.0 >/dev/null
for row in "symbols| api_count@Base 0.9| api_get@Base 1.0|* Build-Depends-Package: libt-dev" \
    "new-symbols|libt.so.1 libt2 #MINVER#|* Build-Depends-Package: libt-dev| api_count@Base 2.0| api_get@Base 2.0"; do
    IFS='|' read -ra lines <<<"$row"
    for line in "${lines[@]:1}"; do
        if grep -qxF "$line" "$scratch/${lines[0]}"; then passed=$((passed + 1)); else
            failed=$((failed + 1))
            echo "FAILED: the list ${lines[0]} has no line '$line':"
            sed 's/^/    /' "$scratch/${lines[0]}"
        fi
    done
done

echo "$passed passed, $failed failed"
((failed == 0))
