#!/usr/bin/env bash
# gen-cm-names.sh - the one name table of the CM vocabulary, made from the public C headers: the
# C++ table that cmctl and the OLT manager peer print from, and the name tables of the Wireshark
# dissector (tools/wireshark/relaykit-cm.lua), which are printed from that same C++ table.
#
#   gen-cm-names.sh --table FILE   writes the C++ table (the build runs this)
#   gen-cm-names.sh                prints the dissector's generated block
#   gen-cm-names.sh --update       rewrites the block in relaykit-cm.lua in place
#   gen-cm-names.sh --check        exits 1 (and shows the difference) when the block is stale
#
# The enumerator names are read from the headers' text; their values come from the compiler, as
# every entry of the table is the enumerator itself. The dissector's block is printed by
# print_lua_names.cpp, compiled with CXX (default c++).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
lua_file=$root/tools/wireshark/relaykit-cm.lua
cxx=${CXX:-c++}
begin_marker='-- BEGIN names generated from the C headers by tools/names/gen-cm-names.sh'
end_marker='-- END names generated from the C headers'
headers=("$root/user/include/ostypes.h" "$root/common/include/zqtypes.h"
         "$root/common/include/zqconfig.h" "$root/common/include/zqcmapi.h"
         "$root/common/include/zqcmtrace.h")

# The C++ table: for every typedef'd enumeration its enumerators in header order (with the _MIN,
# _MAX and _LAST bounds marked), the common prefix of its other enumerators, and its names without
# that prefix; then the bits of the system configuration record's mask.
write_table() {
    awk '
        function bound(name) { return name ~ /_(MIN|MAX|LAST)$/ }
        function common(a, b,    i) {
            for (i = 1; i <= length(a) && i <= length(b); i++)
                if (toupper(substr(a, i, 1)) != toupper(substr(b, i, 1))) break
            return substr(a, 1, i - 1)
        }
        function emit(type,    i, prefix, first, cut) {
            if (type in seen) return
            seen[type] = 1
            first = 1
            for (i = 1; i <= count; i++) {
                if (bound(names[i])) continue
                prefix = first ? names[i] : common(prefix, names[i])
                first = 0
            }
            cut = prefix; sub(/[^_]*$/, "", cut)
            printf "inline constexpr Enumerator %s_enumerators[] = {\n", type
            for (i = 1; i <= count; i++)
                printf "    {\"%s\", static_cast<uint32_t>(%s), %s},\n", names[i], names[i],
                       bound(names[i]) ? "true" : "false"
            printf "};\n"
            # An enumeration of bounds alone has no names (and C++ has no empty array).
            if (first) {
                printf "inline constexpr std::span<const EnumName> %s_names{};\n", type
            } else {
                printf "inline constexpr EnumName %s_names[] = {\n", type
                for (i = 1; i <= count; i++)
                    if (!bound(names[i]))
                        printf "    {static_cast<uint32_t>(%s), \"%s\"},\n", names[i], substr(names[i], length(cut) + 1)
                printf "};\n"
            }
            types[++typeCount] = type; prefixes[typeCount] = cut
        }
        /typedef enum/ { inside = 1; count = 0; next }
        inside && /^[ \t]*}[ \t]*[A-Za-z_][A-Za-z0-9_]*[ \t]*;/ {
            type = $0; sub(/^[ \t]*}[ \t]*/, "", type); sub(/[ \t]*;.*/, "", type)
            emit(type); inside = 0; next
        }
        inside && match($0, /^[ \t]*e[A-Za-z0-9_]+[ \t]*(=|,|$)/) {
            name = substr($0, RSTART, RLENGTH); gsub(/[ \t=,]/, "", name); names[++count] = name
        }
        /^#define fCMAPI_[A-Z_]*SYS_CONFIG/ { masks[++maskCount] = $2 }
        END {
            print "inline constexpr Enumeration kEnumerations[] = {"
            for (i = 1; i <= typeCount; i++)
                printf "    {\"%s\", \"%s\", %s_enumerators, %s_names},\n", types[i], prefixes[i], types[i], types[i]
            print "};"
            print "inline constexpr Enumerator kSysConfigMaskBits[] = {"
            for (i = 1; i <= maskCount; i++)
                printf "    {\"%s\", static_cast<uint32_t>(%s), false},\n", masks[i], masks[i]
            print "};"
        }
    ' "${headers[@]}" >"$1.tmp"
    {
        echo "// Generated from the public C headers by tools/names/gen-cm-names.sh: do not edit."
        cat "$1.tmp"
    } >"$1.tmp2"
    rm -f "$1.tmp"
    # Rewritten only when it changed, so that a rebuild does not recompile its users for nothing.
    if cmp -s "$1.tmp2" "$1"; then rm -f "$1.tmp2"; else mv "$1.tmp2" "$1"; fi
}

if [[ ${1:-} == --table ]]; then
    [[ $# -eq 2 ]] || { echo "usage: $0 --table FILE" >&2; exit 2; }
    write_table "$2"
    exit 0
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
write_table "$scratch/cm_names_table.inc"
"$cxx" -std=c++20 -I"$scratch" -I"$here" -I"$root/user/include" -I"$root/common/include" \
    -I"$root/ossvcmgr/include" -o "$scratch/print_lua_names" "$here/print_lua_names.cpp" "$here/cm_names.cpp"
{
    echo "$begin_marker"
    echo "-- (run it with --update after changing an enumeration; a test fails while this is stale)"
    echo 'local names = {}'
    "$scratch/print_lua_names"
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
    grep -qF -- "$begin_marker" "$lua_file" || { echo "no generated block in $lua_file"; exit 1; }
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
*) echo "usage: $0 [--update | --check | --table FILE]" >&2; exit 2 ;;
esac
