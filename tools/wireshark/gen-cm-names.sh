#!/usr/bin/env bash
# gen-cm-names.sh - the name tables of relaykit-cm.lua, made from the C headers so that the
# dissector prints exactly the enumerators the library is compiled with.
#
#   gen-cm-names.sh            prints the generated block
#   gen-cm-names.sh --update   rewrites the block in relaykit-cm.lua in place
#   gen-cm-names.sh --check    exits 1 (and shows the difference) when the block is stale
#
# The enumerator names are read from the headers' text; their values come from the compiler
# (CXX, default c++), which compiles a small program that prints every table. Where several
# enumerators share a value, the table keeps the first one that is not a _MIN bound.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
lua_file=$here/relaykit-cm.lua
cxx=${CXX:-c++}
begin_marker='-- BEGIN names generated from the C headers by tools/wireshark/gen-cm-names.sh'
end_marker='-- END names generated from the C headers'

# The enumerations the dissector names, in the order of the generated block.
enums=(eZqOltModuleId eZqCmMsgType eZqCmOperType eZqCmApiResType eZqCmApiResId eOsRet eOsBool
       eOsState eZqCmIgmpProxyRoutingMode eZqCmAuthenticationMethod eZqCmDbSaveStatus
       eZqCmDbAuditStatus eZqCmSystemMode eZqCmOltMgrInitStatus eZqCmOnuUpgradeRebootMode
       eZqCmOnuUpgradeSwapMode eZqCmAlarmType eZqCmAlarmSeverity eZqCmAlarmCondition
       eZqCmAlarmRegType eZqCmAlarmFilterType eZqCmEventId eZqProfileOperation
       eZqCmPmInnerMsgType eZqCmIntervalId eZqCmMacTblKeyType)
headers=("$root/user/include/ostypes.h" "$root/common/include/zqtypes.h"
         "$root/common/include/zqconfig.h" "$root/common/include/zqcmapi.h")

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# "TYPE NAME" for every enumerator of every typedef'd enumeration, then "MASK NAME" for every
# bit of the system configuration record.
awk '
    /typedef enum/ { inside = 1; count = 0; next }
    inside && /^[ \t]*}[ \t]*[A-Za-z_][A-Za-z0-9_]*[ \t]*;/ {
        type = $0; sub(/^[ \t]*}[ \t]*/, "", type); sub(/[ \t]*;.*/, "", type)
        for (i = 1; i <= count; i++) print type, names[i]
        inside = 0; next
    }
    inside && match($0, /^[ \t]*e[A-Za-z0-9_]+[ \t]*(=|,|$)/) {
        name = substr($0, RSTART, RLENGTH); gsub(/[ \t=,]/, "", name); names[++count] = name
    }
    /^#define fCMAPI_[A-Z_]*SYS_CONFIG/ { print "MASK", $2 }
' "${headers[@]}" >"$scratch/enumerators.txt"

{
    echo '#include <cstdio>'
    echo '#include <cstring>'
    echo '#include <map>'
    echo '#include <string>'
    echo '#include "zqcmapi.h"'
    echo '#include "zqcommon.h"'
    echo 'struct Enumerator { const char *type; const char *name; long long value; };'
    echo 'static const Enumerator kEnumerators[] = {'
    while read -r type name; do
        for wanted in "${enums[@]}" MASK; do
            [[ $type == "$wanted" ]] && echo "    {\"$type\", \"$name\", (long long)$name},"
        done
    done <"$scratch/enumerators.txt"
    echo '};'
    echo 'static const char *const kTypes[] = {'
    printf '    "%s",\n' "${enums[@]}"
    echo '};'
    cat <<'CPP'
static bool IsMinBound(const std::string &name) {
    return name.size() >= 4 && name.compare(name.size() - 4, 4, "_MIN") == 0;
}
int main() {
    for (const char *type : kTypes) {
        std::map<long long, std::string> byValue;
        for (const Enumerator &e : kEnumerators) {
            if (std::strcmp(e.type, type) != 0) continue;
            auto found = byValue.find(e.value);
            if (found == byValue.end()) byValue.emplace(e.value, e.name);
            else if (IsMinBound(found->second) && !IsMinBound(e.name)) found->second = e.name;
        }
        std::printf("names.%s = {\n", type);
        for (const auto &[value, name] : byValue) std::printf("    [%lld] = \"%s\",\n", value, name.c_str());
        std::printf("}\n");
    }
    std::printf("names.sysConfigMaskBits = {\n");
    for (const Enumerator &e : kEnumerators)
        if (std::strcmp(e.type, "MASK") == 0) std::printf("    {0x%08llx, \"%s\"},\n", e.value, e.name);
    std::printf("}\n");
    return 0;
}
CPP
} >"$scratch/print_names.cpp"

"$cxx" -std=c++20 -I"$root/user/include" -I"$root/common/include" -I"$root/ossvcmgr/include" \
    -o "$scratch/print_names" "$scratch/print_names.cpp"
{
    echo "$begin_marker"
    echo "-- (run it with --update after changing an enumeration; a test fails while this is stale)"
    echo 'local names = {}'
    "$scratch/print_names"
    echo "$end_marker"
} >"$scratch/block.lua"

# The dissector with its block replaced by the fresh one.
fresh_file() {
    awk -v block="$scratch/block.lua" -v begin="$begin_marker" -v end="$end_marker" '
        index($0, begin) == 1 { while ((getline line < block) > 0) print line; skipping = 1; next }
        skipping && index($0, end) == 1 { skipping = 0; next }
        !skipping { print }
    ' "$lua_file"
}

case ${1:-} in
"") cat "$scratch/block.lua" ;;
--update)
    fresh_file >"$scratch/updated.lua"
    cat "$scratch/updated.lua" >"$lua_file"
    ;;
--check)
    grep -qF -- "$begin_marker" "$lua_file" || { echo "no generated block in $lua_file"; exit 1; }
    fresh_file >"$scratch/updated.lua"
    if ! diff -u "$lua_file" "$scratch/updated.lua"; then
        echo "the name tables of $lua_file differ from the headers: run $0 --update"
        exit 1
    fi
    echo "the name tables of relaykit-cm.lua match the headers"
    ;;
*) echo "usage: $0 [--update | --check]" >&2; exit 2 ;;
esac
