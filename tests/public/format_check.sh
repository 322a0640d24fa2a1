#!/usr/bin/env bash
# The compiler checks the arguments of every printf-style call of the public headers: each case is
# one call compiled as a C11 and as a C++ host would compile it, and must warn (a wrong argument)
# or compile clean (a right one, the time directive "%t" included).
#   format_check.sh <C compiler> <C++ compiler> <include dir>...
set -uo pipefail
cc=$1
cxx=$2
shift 2
includes=()
for dir in "$@"; do includes+=("-I$dir"); done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# expectation | call (inside a function with int n, const char *s, tZqOnuId onu in scope)
CASES=(
    'warn  | OsMajorLog("S%s.\n", n);'
    'warn  | OsLog(eZQ_LL_MINOR, "L%d.\n", s);'
    'warn  | OsCriticalLog("%tT%d, Q%s.\n", n, n);'
    'clean | OsMinorLog("%tT%d, Q%s.\n", n, s);'
    'clean | OsMinorLog("no arguments\n");'
    'warn  | SvcPrintf("%d\n", s);'
    'warn  | SvcPrintf("%tboot %d\n", s);'
    'clean | SvcPrintf("%tboot done\n");'
    'warn  | SvcConsolePrintf("%u %u\n", n);'
    'warn  | CmTrace(1, 1, "%s\n", n);'
    'clean | CmTrace(1, 1, "%tR%d\n", n);'
    'warn  | Trace(eSVC_MODULE_ID_SVC, 1, "M%s\n", n);'
    'warn  | MinorLog("%s\n", n);'
    'warn  | OnuOmciMajorLog(onu, "%s\n", n);'
    'warn  | OnuMgrTrace(1, 1, 1, 1, "%d\n", s);'
    'warn  | LogInterface("f.c", 1, "fn", eZQ_LL_MAJOR, "%tQ%s\n", n);'
    'warn  | TraceInterface("f.c", 1, "fn", eSVC_MODULE_ID_SVC, eZQ_CM_TM_API, "%p\n", n);'
    'warn  | CmTraceInterface("f.c", 1, "fn", eZQ_OLT_MAN_MODULE_EXT_CLI, eZQ_CM_TM_API, "%s\n", n);'
    'clean | LogInterface("f.c", 1, "fn", eZQ_LL_MAJOR, "%tQ%d\n", n);'
    'clean | OnuMgrTracelog(eSVC_MODULE_ID_SVC, 1, 1, 1, 1, "%d %s\n", n, s);'
)

failures=0
index=0
for entry in "${CASES[@]}"; do
    expect=${entry%%|*}
    expect=${expect// /}
    call=${entry#*|}
    index=$((index + 1))
    for language in c c++; do
        source=$scratch/case$index.$([[ $language == c ]] && echo c || echo cpp)
        printf '#include "relaykit.h"\nvoid f(int n, const char *s, tZqOnuId onu) {\n    (void)n; (void)s; (void)onu;\n   %s\n}\n' \
            "$call" >"$source"
        if [[ $language == c ]]; then
            output=$("$cc" -std=c11 -pedantic -Wall -Wextra "${includes[@]}" -fsyntax-only "$source" 2>&1)
        else
            output=$("$cxx" -std=c++20 -Wall -Wextra "${includes[@]}" -fsyntax-only "$source" 2>&1)
        fi
        status=$?
        if [[ $status != 0 ]]; then
            verdict=broken
        elif grep -q -- '-Wformat' <<<"$output"; then
            verdict=warn
        elif [[ -n $output ]]; then
            verdict=other
        else
            verdict=clean
        fi
        if [[ $verdict != "$expect" ]]; then
            echo "FAIL ($language): $call: expected $expect, got $verdict"
            [[ -n $output ]] && echo "$output" | head -5
            failures=$((failures + 1))
        fi
    done
done
echo "$index calls, $failures failures"
[[ $failures == 0 ]]
