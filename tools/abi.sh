#!/usr/bin/env bash
# The library's ABI against the baseline kept in the repository (libabigail's abidw and abidiff):
# `check` fails on any change that breaks hosts built against the baseline and names the symbols;
# `baseline` writes the baseline anew and, given a symbols list, refreshes that list too.
#
#   tools/abi.sh check LIBRARY BASELINE                                  (make abi-check)
#   tools/abi.sh baseline LIBRARY BASELINE [SYMBOLS_LIST PACKAGE VERSION] (make abi-baseline)
#
# LIBRARY is the built shared library (with debug information: the ABI's types come from it).
set -euo pipefail

usage() {
    sed -n 's/^#   //p' "$0" >&2
    exit 2
}
(($# >= 3)) || usage
mode=$1 library=$2 baseline=$3

if ! grep -q '\.debug_info' <<<"$(readelf -S "$library")"; then
    echo "abi: $library has no debug information to read its types from; build it with -g" >&2
    exit 1
fi
soname=$(readelf -d "$library" | sed -n 's/.*Library soname: \[\(.*\)\]/\1/p')
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# describe OUTPUT: the library's ABI as abidw writes it, with no source locations, library path or
# build folder, so that it depends on the ABI alone and not on where the tree was built. Only the
# exported interfaces: otherwise libabigail may take a caller's declaration of a C function defined
# in C++ for the function itself, and a change to its parameters goes unseen.
describe() {
    local source_dir
    source_dir=$(cd "$(dirname "$0")/.." && pwd)
    abidw --exported-interfaces-only --no-show-locs --no-corpus-path "$library" |
        sed -e "s| comp-dir-path='[^']*'||" -e "s|='$source_dir/|='|g" >"$1"
    described "$1" "$library"
}
# described ABI_FILE WHAT: every exported function and variable of ABI_FILE has its declaration, so
# none escapes the comparison.
described() {
    local kind symbols declared
    for kind in func:function object:var; do
        symbols=$(grep -c "<elf-symbol [^>]*type='${kind%%:*}-type'[^>]*is-defined='yes'" "$1" || true)
        declared=$(grep -oE "<${kind#*:}-decl [^>]*elf-symbol-id='[^']*'" "$1" | sed "s/.*elf-symbol-id=//" | sort -u | grep -c . || true)
        if ((symbols != declared)); then
            echo "abi: $2 describes $declared of its $symbols exported ${kind%%:*} symbols; the rest would not be compared" >&2
            exit 1
        fi
    done
}

case $mode in
baseline)
    (($# == 3 || $# == 6)) || usage
    mkdir -p "$(dirname "$baseline")"
    describe "$baseline"
    echo "abi: wrote the baseline of $soname to $baseline"
    (($# == 6)) || exit 0
    symbols=$4 package=$5 version=$6
    # dpkg-gensymbols keeps the version each symbol first appeared in and the list's own fields
    # (Build-Depends-Package); new symbols get this version, and those gone leave the list.
    # A new list (a new soname) names the -dev package, whose name is the runtime package's without
    # the soname's number.
    if [[ ! -f $symbols ]]; then
        printf '%s %s #MINVER#\n* Build-Depends-Package: %s-dev\n' "$soname" "$package" "${package%%[0-9]*}" >"$symbols"
    fi
    dpkg-gensymbols -q -c0 -p"$package" -v"$version" -e"$library" -I"$symbols" -O"$scratch/symbols"
    mv "$scratch/symbols" "$symbols"
    echo "abi: wrote the symbols list of $package to $symbols"
    ;;
check)
    (($# == 3)) || usage
    if [[ ! -f $baseline ]]; then
        echo "abi: no baseline for $soname at $baseline; a new soname starts one with 'make abi-baseline'" >&2
        exit 1
    fi
    described "$baseline" "$baseline"
    describe "$scratch/library.abi"
    set +e
    report=$(abidiff "$baseline" "$scratch/library.abi" 2>&1)
    status=$?
    set -e
    # abidiff's status is a bit set: 1 error, 2 usage error, 4 some change, 8 an incompatible change.
    if ((status & 3)); then
        echo "abi: abidiff could not compare $library with $baseline (status $status):" >&2
        echo "$report" >&2
        exit 1
    fi
    # Removed ([D]) or changed ([C]) functions and variables break hosts built against the
    # baseline: abidiff counts only a removal as incompatible, yet a changed parameter, return or
    # variable type breaks a host just as surely. Additions ([A]) do not.
    breaking=$(grep -E '^ *\[[DC]\] ' <<<"$report" | sed -E "s/^ *\[D\] '([^']*)'.*/removed: \1/; s/^ *\[C\] '([^']*)'.*/changed: \1/") || true
    if ((status & 8)) || [[ -n $breaking ]] ||
        grep -qE '(^|[^0-9])[1-9][0-9]* (Removed|Changed)' <<<"$report"; then
        echo "abi: $soname is not compatible with its baseline $baseline:"
        echo "${breaking:-see the report below}" | sed 's/^/  /'
        echo
        echo "$report"
        echo
        echo "abi: undo the change, or make it a new ABI: raise the major version in project() of"
        echo "     CMakeLists.txt (the soname and the runtime package's name follow), then 'make abi-baseline'."
        exit 1
    fi
    if ((status & 4)); then
        echo "abi: $soname is compatible with its baseline, with additions:"
        grep -E '^ *\[A\] ' <<<"$report" | sed -E "s/^ *\[A\] '([^']*)'.*/  added: \1/" || true
        echo "abi: refresh the baseline and the symbols list with 'make abi-baseline' and commit them."
    else
        echo "abi: $soname matches its baseline $baseline"
    fi
    ;;
*) usage ;;
esac
