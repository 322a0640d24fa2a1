#!/usr/bin/env bash
# Checks the four Debian packages `make package` built: their control data (dependencies, the
# runtime package's symbols file and trigger), which files each holds and how; then installs them
# with dpkg into a throw-away root, builds a C11 host and a CMake host against the -dev package and
# runs them, runs the programs (--version, --help, cmctl against oltmgr-sim), reads `man cmctl`,
# completes cmctl's words, has tshark load the dissector; removes them and checks that nothing is
# left; and asks lintian (any error or warning fails; the rest is listed).
#
#   tests/package/package_test.sh BUILD_DIR      (make package-test, as root: dpkg --root)
set -uo pipefail

build_dir=${1:?usage: package_test.sh BUILD_DIR}
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d)
sim_pid=""
stop_everything() {
    [[ -n $sim_pid ]] && kill -TERM "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    rm -rf "$scratch"
}
trap stop_everything EXIT

passed=0 failed=0 skipped=0
check() { # check DESCRIPTION COMMAND...: one test case, passed when COMMAND succeeds
    local what=$1
    shift
    if "$@" >"$scratch/out" 2>&1; then
        passed=$((passed + 1))
        echo "ok: $what"
    else
        failed=$((failed + 1))
        echo "FAILED: $what"
        sed 's/^/    /' "$scratch/out" | head -20
    fi
}
finish() {
    echo "$passed passed, $failed failed, $skipped skipped"
    ((failed == 0))
    exit
}
if [[ $(id -u) != 0 ]]; then
    echo "package_test.sh installs with dpkg --root, which needs root" >&2
    exit 1
fi

version=$(sed -n 's/^project(relaykit VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
major=${version%%.*}
arch=$(dpkg --print-architecture)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
runtime=librelaykit$major
packages=("$runtime" librelaykit-dev relaykit-tools relaykit-wireshark)
declare -A deb
for package in "${packages[@]}"; do
    deb[$package]=$build_dir/${package}_${version}_${arch}.deb
    check "the package file ${package}_${version}_${arch}.deb is there" test -f "${deb[$package]}"
done
((failed == 0)) || finish
field() { dpkg-deb --field "${deb[$1]}" "$2"; }

# ---- control data ---------------------------------------------------------------------------------
for package in "${packages[@]}"; do
    check "$package: control names it, its version, architecture and source" test \
        "$(field "$package" Package) $(field "$package" Version) $(field "$package" Architecture) $(field "$package" Source)" = \
        "$package $version $arch relaykit"
    check "$package: the maintainer has a name and an address" \
        grep -qE '^[^<]+ <[^@> ]+@[^> ]+>$' <<<"$(field "$package" Maintainer)"
    dpkg-deb --control "${deb[$package]}" "$scratch/control-$package"
    check "$package: no maintainer scripts (dpkg's trigger runs ldconfig)" \
        bash -c '! ls "$1" | grep -E "^(pre|post)(inst|rm)$"' _ "$scratch/control-$package"
done
# package | dependency field | what it must name (dpkg-shlibdeps' lower bounds are not pinned)
DEPENDENCIES=(
    "$runtime|Depends|libc6 (>=|libstdc++6 (>="
    "librelaykit-dev|Depends|$runtime (= $version)"
    "relaykit-tools|Depends|$runtime (>= $version)|libc6 (>=|libstdc++6 (>=|libsqlite3-0 (>=|zlib1g (>="
    "relaykit-wireshark|Recommends|wireshark-common"
)
for row in "${DEPENDENCIES[@]}"; do
    IFS='|' read -r package name wanted <<<"$row"
    IFS='|' read -ra wanted <<<"$wanted"
    for item in "${wanted[@]}"; do
        check "$package: $name names $item" grep -qF "$item" <<<"$(field "$package" "$name")"
    done
done
check "relaykit-wireshark depends on nothing (not every machine has Wireshark)" \
    test -z "$(field relaykit-wireshark Depends)"
check "librelaykit-dev depends on exactly this version of $runtime" \
    test "$(field librelaykit-dev Depends)" = "$runtime (= $version)"

control=$scratch/control-$runtime
check "$runtime: shlibs points librelayKit.so.$major at it" \
    grep -qx "librelayKit $major $runtime (>= $version)" "$control/shlibs"
check "$runtime: the ldconfig trigger is activated" grep -qx 'activate-noawait ldconfig' "$control/triggers"
check "$runtime: the symbols file names the library, the package and the -dev package" bash -c '
    test "$(head -2 "$1")" = "librelayKit.so.$2 $3 #MINVER#
* Build-Depends-Package: librelaykit-dev"' _ "$control/symbols" "$major" "$runtime"
dpkg-deb -R "${deb[$runtime]}" "$scratch/runtime-tree"
library=$scratch/runtime-tree/usr/lib/$multiarch/librelayKit.so.$version
check "$runtime: the symbols file lists every exported symbol, each with a version" bash -c '
    diff <(nm -D --defined-only "$1" | awk "{ print \$3 }" | sort) \
         <(sed -n "s/^ \([^@ ]*\)@Base [0-9][0-9.]*$/\1/p" "$2" | sort)' _ "$library" "$control/symbols"

# ---- files, modes and links -----------------------------------------------------------------------
for package in "${packages[@]}"; do
    dpkg-deb --contents "${deb[$package]}" >"$scratch/listing-$package"
    check "$package: every entry belongs to root:root" \
        awk '$2 != "root/root" { print; bad = 1 } END { exit bad }' "$scratch/listing-$package"
    check "$package: folders are 0755, programs 0755, other files 0644" awk '
        { mode = $1; path = $6 }
        mode ~ /^d/ && mode != "drwxr-xr-x" { print; bad = 1 }
        mode ~ /^-/ && path ~ /^\.\/usr\/bin\// && mode != "-rwxr-xr-x" { print; bad = 1 }
        mode ~ /^-/ && path !~ /^\.\/usr\/bin\// && mode != "-rw-r--r--" { print; bad = 1 }
        END { exit bad }' "$scratch/listing-$package"
    awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' "$scratch/listing-$package" | sort >"$scratch/files-$package"
    check "$package: the copyright file and the changelog are in /usr/share/doc/$package" bash -c '
        grep -qx "usr/share/doc/$2/copyright" "$1" && grep -qx "usr/share/doc/$2/changelog.gz" "$1"' \
        _ "$scratch/files-$package" "$package"
done
libdir=usr/lib/$multiarch
# package | files it holds (beside its documents), then none other
CONTENTS=(
    "$runtime|$libdir/librelayKit.so.$version $libdir/librelayKit.so.$major"
    "librelaykit-dev|$libdir/librelayKit.so $libdir/pkgconfig/relaykit.pc $libdir/cmake/relaykit/relaykitConfig.cmake \
        $libdir/cmake/relaykit/relaykitConfigVersion.cmake $libdir/cmake/relaykit/relaykitTargets.cmake \
        $libdir/cmake/relaykit/relaykitTargets-release.cmake usr/include/relaykit/*.h usr/share/doc/librelaykit-dev/README.md"
    "relaykit-tools|usr/bin/capsheet usr/bin/cmctl usr/bin/oltmgr-sim usr/share/man/man1/capsheet.1.gz \
        usr/share/man/man1/cmctl.1.gz usr/share/man/man1/oltmgr-sim.1.gz usr/share/bash-completion/completions/cmctl \
        usr/share/relaykit/cmctl.schema.json"
    "relaykit-wireshark|$libdir/wireshark/plugins/relaykit-cm.lua"
)
for row in "${CONTENTS[@]}"; do
    IFS='|' read -r package wanted <<<"$row"
    check "$package holds exactly: $(xargs <<<"$wanted")" bash -c '
        grep -v "^usr/share/doc/$2/\(copyright\|changelog.gz\)$" "$1" | while read -r file; do
            matched=""
            for pattern in $3; do [[ $file == $pattern ]] && matched=yes; done
            [[ -n $matched ]] || { echo "unexpected: $file"; exit 1; }
        done && for pattern in $3; do
            grep -q "^${pattern//\*/.*}$" "$1" || { echo "missing: $pattern"; exit 1; }
        done' _ "$scratch/files-$package" "$package" "$wanted"
done
check "the headers are all of the library's public headers, and the version header" bash -c '
    diff <(grep "^usr/include/relaykit/" "$1" | xargs -n1 basename | sort) \
         <( (ls "$2"/user/include "$2"/ossvcmgr/include "$2"/common/include "$2"/relaykit/include | grep "\.h$"
             echo relaykit_version.h) | sort)' _ "$scratch/files-librelaykit-dev" "$source_dir"
check "$runtime: librelayKit.so.$major -> librelayKit.so.$version, and -dev's librelayKit.so -> librelayKit.so.$major" \
    bash -c 'grep -qF "librelayKit.so.$3 -> librelayKit.so.$4" "$1" && grep -qF "librelayKit.so -> librelayKit.so.$3" "$2"' \
    _ "$scratch/listing-$runtime" "$scratch/listing-librelaykit-dev" "$major" "$version"
check "the library's soname is librelayKit.so.$major" \
    grep -q "Library soname: \[librelayKit.so.$major\]" <<<"$(readelf -d "$library")"
dpkg-deb -x "${deb[relaykit-tools]}" "$scratch/tools-tree"
elves=("$scratch"/tools-tree/usr/bin/* "$library")
check "programs and library are stripped, without .comment or .note" bash -c '
    ! file "$@" | grep -v ", stripped" && ! readelf -S "$@" | grep -E "\.comment|\.note( |$)"' _ "${elves[@]}"
check "nothing carries a run-time path" bash -c '! readelf -d "$@" | grep -E "RPATH|RUNPATH"' _ "${elves[@]}"
changelog=$scratch/runtime-tree/usr/share/doc/$runtime/changelog.gz
# gzip -9n: no file name (flag byte 0), no time stamp (bytes 4-7), best compression (extra flags 2).
check "the changelog is gzip -9n with this version on top" bash -c '
    test "$(od -An -tx1 -N10 "$1" | tr -d " \n")" = 1f8b0800000000000203 &&
    zcat "$1" | head -1 | grep -q "^relaykit ($2) "' _ "$changelog" "$version"
check "the copyright file is machine-readable" grep -qx \
    'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$scratch/runtime-tree/usr/share/doc/$runtime/copyright"

# ---- installed into a throw-away root -------------------------------------------------------------
# dpkg --root keeps its own database in the root. The packages' outside dependencies are recorded
# there as the host has them (the programs run with the host's libc and SQLite); their files are not.
root=$scratch/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers" "$root/var/log"
: >"$root/var/lib/dpkg/status"
outside=$(for package in "${packages[@]}"; do field "$package" Depends; done |
    tr ',' '\n' | sed 's/(.*//; s/ //g' | grep -v '^$' | grep -vxF -f <(printf '%s\n' "${packages[@]}") | sort -u)
for dependency in $outside; do
    dpkg-query --status "$dependency" >>"$root/var/lib/dpkg/status" && echo >>"$root/var/lib/dpkg/status"
    : >"$root/var/lib/dpkg/info/$dependency.list"
done
(cd "$root" && find . -path ./var -prune -o -print | sort) >"$scratch/before"
dpkg_root() { dpkg --root="$root" --log="$scratch/dpkg.log" "$@"; }
debs=()
for package in "${packages[@]}"; do debs+=("${deb[$package]}"); done
check "dpkg -i installs all four into the root" dpkg_root --install "${debs[@]}"
check "dpkg lists all four as installed" bash -c '
    test "$(dpkg-query --root="$1" -W -f "\${Status} \${Package}\n" "${@:2}" | grep -c "^install ok installed ")" = 4' \
    _ "$root" "${packages[@]}"
installed_libdir=$root/$libdir

# pkg-config reaches the root the way a cross build reaches its sysroot.
pc() { PKG_CONFIG_SYSROOT_DIR=$root PKG_CONFIG_LIBDIR=$installed_libdir/pkgconfig pkg-config "$@" relaykit; }
check "pkg-config knows relaykit $version" test "$(pc --modversion)" = "$version"
check "read as installed, pkg-config gives -I/usr/include/relaykit -lrelayKit" test \
    "$(PKG_CONFIG_LIBDIR=$installed_libdir/pkgconfig pkg-config --cflags --libs relaykit | xargs)" = "-I/usr/include/relaykit -lrelayKit"
# shellcheck disable=SC2046
check "a C11 host builds against the -dev package with pkg-config's flags" \
    "${CC:-cc}" -std=c11 -Wall -Wextra -Werror -pedantic "$source_dir/tests/package/package_host.c" \
    $(pc --cflags --libs) -o "$scratch/host"
check "the host loads the root's library" \
    grep -qF "$installed_libdir/librelayKit.so.$major" <<<"$(LD_LIBRARY_PATH=$installed_libdir ldd "$scratch/host")"
check "the host runs and prints what the library answers" bash -c '
    LD_LIBRARY_PATH=$1 "$2" | diff - <(printf "%s\n" "relayKitVersion ${3%.*}" "RELAYKIT_VERSION $3" "ok: OsWrap__Init" "ok: queue created" \
        "ok: one accounted block" "ok: block sent" "ok: the same block received" "ok: nothing left allocated" \
        "ok: an empty queue answers AGAIN" "Uint64Add high=3 low=4294967294" "ok: queue deleted")' \
    _ "$installed_libdir" "$scratch/host" "$version"
# A package built against the library gets its dependency from the symbols file: dpkg-shlibdeps
# finds the library in the runtime package's tree and reads DEBIAN/symbols beside it.
mkdir -p "$scratch/shlibdeps/debian" && : >"$scratch/shlibdeps/debian/control"
check "so a package of that host would get 'Depends: $runtime (>= $version)' (dpkg-shlibdeps)" bash -c '
    cd "$1" && dpkg-shlibdeps -O -l"$2" "$3" | grep -E "(=|, )$4 \(>= $5\)(,|$)"' \
    _ "$scratch/shlibdeps" "$(dirname "$library")" "$scratch/host" "$runtime" "$version"
# The CMake package files find their prefix from where they lie.
check "a CMake host finds relaykit $version (relaykit::relayKit) in the root and runs" bash -c '
    cmake -S "$1" -B "$2" -G Ninja -DCMAKE_PREFIX_PATH="$3/usr" >/dev/null &&
    grep -qx "relaykit_DIR:PATH=$3/usr/lib/$5/cmake/relaykit" "$2/CMakeCache.txt" &&
    cmake --build "$2" >/dev/null && LD_LIBRARY_PATH=$3/usr/lib/$5 "$2/consumer" | grep -qx "relayKitVersion ${4%.*}"' \
    _ "$source_dir/tests/public/consumer" "$scratch/cmake-host" "$root" "$version" "$multiarch"
check "the version header says $version" grep -qx "#define RELAYKIT_VERSION \"$version\"" \
    "$root/usr/include/relaykit/relaykit_version.h"

# ---- the programs, from the root ----------------------------------------------------------------
export LD_LIBRARY_PATH=$installed_libdir
for program in capsheet cmctl oltmgr-sim; do
    check "$program --help prints its usage" bash -c '"$1" --help | grep -qi "usage"' _ "$root/usr/bin/$program"
    check "$program --version prints $version" bash -c '"$1" --version | grep -qw "$2"' \
        _ "$root/usr/bin/$program" "$version"
done
check "capsheet converts the sample capture" "$root/usr/bin/capsheet" \
    "$source_dir/examples/omci-sample.pcap" "$scratch/sample.csv"
"$root/usr/bin/oltmgr-sim" --listen 127.0.0.1:0 --init-delay 0 >"$scratch/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do
    grep -q 'listening on' "$scratch/sim.log" && break
    sleep 0.1
done
manager=$(sed -n 's/.*listening on \([0-9.]*:[0-9]*\).*/\1/p' "$scratch/sim.log" | head -1)
check "cmctl and oltmgr-sim from the root create and count an ONU" bash -c '
    "$1" --mgr "$2" status --wait 10 && "$1" --mgr "$2" create EQPT_ONU_CONFIG --key onu=1/0/3/17 &&
    test "$("$1" --mgr "$2" count EQPT_ONU_CONFIG)" = 1' _ "$root/usr/bin/cmctl" "${manager:-none}"
kill -TERM "$sim_pid" 2>/dev/null
wait "$sim_pid" 2>/dev/null
sim_pid=""

check "man cmctl resolves to the root's page" \
    test "$(man -M "$root/usr/share/man" -w cmctl)" = "$root/usr/share/man/man1/cmctl.1.gz"
check "the manual pages name relayKit $version in their header" bash -c '
    for page in "$1"/man1/*.1.gz; do grep -qx ".TH .* \"relayKit $2\" .*" <<<"$(zcat "$page")" || exit 1; done' \
    _ "$root/usr/share/man" "$version"
check "man cmctl renders without a warning" bash -c '
    MANWIDTH=80 man -M "$1" --warnings cmctl 2>"$2/man.err" | grep -q "cmctl" && ! test -s "$2/man.err"' \
    _ "$root/usr/share/man" "$scratch"
# The completion offers every command and option cmctl's help names, for cmctl and for each
# command: a new option in cmctl belongs in the completion too.
completes() { # completes WORD...: what the completion offers after "cmctl WORD..."
    bash -c 'source "$1"; shift; COMP_WORDS=(cmctl "$@"); COMP_CWORD=$#; _cmctl; printf "%s\n" "${COMPREPLY[@]}"' \
        _ "$root/usr/share/bash-completion/completions/cmctl" "$@"
}
offered() { # offered HELP WORD...: every --option HELP's usage and option lines name is offered after WORD...
    local help=$1 word
    shift
    for word in $(grep -E '^(usage:|cmctl|[[:space:]]+(\[|--))' <<<"$help" | grep -oE -- '--[a-z][a-z-]*' | sort -u); do
        grep -qx -- "$word" <<<"$(completes "$@" --)" || { echo "cmctl $* ${word}: not offered"; return 1; }
    done
}
cmctl_help=$("$root/usr/bin/cmctl" --help)
commands=$(sed -n 's/^Commands: \(.*\); .*/\1/p' <<<"$cmctl_help" | tr -d ',')
check "the bash completion offers cmctl's commands: $commands" bash -c '
    test "$(printf "%s\n" $1 | sort)" = "$(sort <<<"$2")"' _ "$commands" "$(completes "")"
check "the bash completion offers cmctl's options" offered "$cmctl_help"
for command in $commands; do
    check "the bash completion offers the options of cmctl $command" offered \
        "$("$root/usr/bin/cmctl" "$command" --help | sed -n '1,/^[A-Z]/p')" "$command"
done
unset LD_LIBRARY_PATH

plugin=$root/$libdir/wireshark/plugins/relaykit-cm.lua
check "the dissector is in the root's Wireshark plugin folder, as in the source" \
    cmp "$source_dir/tools/wireshark/relaykit-cm.lua" "$plugin"
check "that folder is the one this system's Wireshark loads Lua plugins from" \
    grep -qxE "Global Lua Plugins:\s+/$libdir/wireshark/plugins" <<<"$(tshark -G folders 2>/dev/null)"
# A user's own plugin folder is read the same way and can be pointed at the root.
mkdir -p "$scratch/home/.local/lib/wireshark/plugins"
ln -s "$plugin" "$scratch/home/.local/lib/wireshark/plugins/"
HOME=$scratch/home tshark -G plugins >"$scratch/plugins" 2>&1
check "tshark lists the dissector as a Lua plugin, without a Lua error" bash -c '
    grep -qE "^relaykit-cm.lua\s+lua script" "$1" && ! grep "Lua: " "$1"' _ "$scratch/plugins"
check "tshark knows its protocol, relaykit_cm" bash -c '
    HOME=$1 tshark -G protocols 2>/dev/null | grep -qP "\trelaykit_cm$"' _ "$scratch/home"

# ---- removed again ----------------------------------------------------------------------------------
check "dpkg --purge removes all four" dpkg_root --purge "${packages[@]}"
check "dpkg lists none of them any more" bash -c '
    ! dpkg-query --root="$1" -W -f "\${Status} \${Package}\n" "${@:2}" 2>/dev/null | grep -v "^unknown ok not-installed "' \
    _ "$root" "${packages[@]}"
check "nothing is left behind in the root" bash -c '
    diff "$2" <(cd "$1" && find . -path ./var -prune -o -print | sort)' _ "$root" "$scratch/before"
check "nothing of theirs is left in dpkg's database" bash -c '
    ! ls "$1/var/lib/dpkg/info" | grep -E "^($2)[.:]"' _ "$root" "$(IFS='|'; echo "${packages[*]}")"

# ---- lintian --------------------------------------------------------------------------------------
lintian --fail-on none "${debs[@]}" >"$scratch/lintian" 2>&1
grep -E '^[IWEP]:' "$scratch/lintian" | sed 's/^/lintian: /'
check "lintian reports no error and no warning" bash -c '! grep -E "^[EW]:" "$1"' _ "$scratch/lintian"
finish
