#!/usr/bin/env bash
# Checks the Debian package `make package` built: its control data, its files and their modes, the
# library's SONAME links, a C host built with pkg-config and a CMake host built against the package
# unpacked into a scratch root, the three programs talking to each other from that root, and
# lintian's verdict (any error fails; warnings are listed).
#
#   tests/package/package_test.sh BUILD_DIR      (make package-test)
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

passed=0 failed=0
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
    echo "$passed passed, $failed failed"
    ((failed == 0))
    exit
}

version=$(sed -n 's/^project(relaykit VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
arch=$(dpkg --print-architecture)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
deb=$build_dir/relaykit_${version}_${arch}.deb
check "the package is named relaykit_${version}_${arch}.deb" test -f "$deb"
[[ -f $deb ]] || finish

# ---- control data ---------------------------------------------------------------------------------
field() { dpkg-deb --field "$deb" "$1"; }
check "control names the package, version and architecture" \
    test "$(field Package) $(field Version) $(field Architecture)" = "relaykit $version $arch"
for dependency in libc6 libstdc++6 libsqlite3-0; do
    check "Depends names $dependency with a version (dpkg-shlibdeps)" \
        grep -qE "(^|, )${dependency//+/\\+} \\(>= [^)]+\\)" <<<"$(field Depends)"
done
check "the maintainer has a name and an address" grep -qE '^[^<]+ <[^@> ]+@[^> ]+>$' <<<"$(field Maintainer)"
dpkg-deb --control "$deb" "$scratch/control"
check "shlibs points librelayKit.so.1 at this package" \
    grep -qx "librelayKit 1 relaykit (>= $version)" "$scratch/control/shlibs"
check "the ldconfig trigger is activated" grep -qx 'activate-noawait ldconfig' "$scratch/control/triggers"

# ---- files, modes and links -----------------------------------------------------------------------
dpkg-deb --contents "$deb" >"$scratch/listing"
check "every entry belongs to root:root" awk '$2 != "root/root" { print; bad = 1 } END { exit bad }' "$scratch/listing"
check "folders are 0755, programs 0755, other files 0644" awk '
    { mode = $1; path = $6 }
    mode ~ /^d/ && mode != "drwxr-xr-x" { print; bad = 1 }
    mode ~ /^-/ && path ~ /^\.\/usr\/bin\// && mode != "-rwxr-xr-x" { print; bad = 1 }
    mode ~ /^-/ && path !~ /^\.\/usr\/bin\// && mode != "-rw-r--r--" { print; bad = 1 }
    END { exit bad }' "$scratch/listing"

root=$scratch/root
dpkg -x "$deb" "$root"
libdir=$root/usr/lib/$multiarch
check "librelayKit.so -> librelayKit.so.1 -> librelayKit.so.$version" \
    test "$(readlink "$libdir/librelayKit.so") $(readlink "$libdir/librelayKit.so.1")" = "librelayKit.so.1 librelayKit.so.$version"
check "the library's SONAME is librelayKit.so.1" \
    grep -q 'Library soname: \[librelayKit.so.1\]' <<<"$(readelf -d "$libdir/librelayKit.so.$version")"
for file in usr/include/relaykit/relaykit.h usr/include/relaykit/zqcmapi.h \
    "usr/lib/$multiarch/pkgconfig/relaykit.pc" "usr/lib/$multiarch/cmake/relaykit/relaykitConfig.cmake" \
    "usr/lib/$multiarch/cmake/relaykit/relaykitConfigVersion.cmake" usr/share/doc/relaykit/README.md \
    usr/share/doc/relaykit/copyright usr/bin/capsheet usr/bin/cmctl usr/bin/oltmgr-sim usr/share/relaykit/cmctl.schema.json \
    usr/share/man/man1/capsheet.1.gz usr/share/man/man1/cmctl.1.gz usr/share/man/man1/oltmgr-sim.1.gz; do
    check "installs /$file" test -f "$root/$file"
done
plugin_link=usr/lib/$multiarch/wireshark/plugins/relaykit-cm.lua
check "the dissector is installed and linked into the plugin folder" \
    cmp "$source_dir/tools/wireshark/relaykit-cm.lua" "$root/$plugin_link"
check "that folder is the one this system's Wireshark loads Lua plugins from" \
    grep -qxE "Global Lua Plugins:\s+/${plugin_link%/*}" <<<"$(tshark -G folders 2>/dev/null)"
# A user's own plugin folder is read the same way and can be pointed at the scratch root.
mkdir -p "$scratch/home/.local/lib/wireshark/plugins"
ln -s "$root/$plugin_link" "$scratch/home/.local/lib/wireshark/plugins/"
HOME=$scratch/home tshark -G plugins >"$scratch/plugins" 2>&1
check "tshark loads the dissector as a Lua plugin, without a Lua error" bash -c '
    grep -qE "^relaykit-cm.lua\s+lua script" "$1" && ! grep "Lua: " "$1"' _ "$scratch/plugins"
check "the copyright file is machine-readable" \
    grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$root/usr/share/doc/relaykit/copyright"
# gzip -9n: no file name (flag byte 0), no time stamp (bytes 4-7), best compression (extra flags 2).
check "the changelog is gzip -9n with this version on top" bash -c '
    test "$(od -An -tx1 -N10 "$1" | tr -d " \n")" = 1f8b0800000000000203 &&
    zcat "$1" | head -1 | grep -q "^relaykit ($2) "' _ "$root/usr/share/doc/relaykit/changelog.gz" "$version"
elves=("$root"/usr/bin/* "$libdir/librelayKit.so.$version")
check "programs and library are stripped" bash -c '! file "$@" | grep -v ", stripped"' _ "${elves[@]}"
check "nothing carries a run-time path" bash -c '! readelf -d "$@" | grep -E "RPATH|RUNPATH"' _ "${elves[@]}"

# ---- hosts built against the unpacked package ---------------------------------------------------
# pkg-config reaches the scratch root the way a cross build reaches its sysroot.
pc() { PKG_CONFIG_SYSROOT_DIR=$root PKG_CONFIG_LIBDIR=$libdir/pkgconfig pkg-config "$@" relaykit; }
check "pkg-config knows relaykit $version" test "$(pc --modversion)" = "$version"
# Installed for real, pkg-config would name only what is not the system's own.
check "read as installed, pkg-config gives -I/usr/include/relaykit -lrelayKit" test \
    "$(PKG_CONFIG_LIBDIR=$libdir/pkgconfig pkg-config --cflags --libs relaykit | xargs)" = "-I/usr/include/relaykit -lrelayKit"
check "pkg-config's flags point into the root only" bash -c '
    for flag in $1; do
        case $flag in -I"$2"/usr/include* | -L"$2"/usr/lib/* | -lrelayKit) ;; *) echo "$flag"; exit 1 ;; esac
    done' _ "$(pc --cflags --libs)" "$root"
# shellcheck disable=SC2046
check "a C11 host builds with pkg-config's flags" \
    "${CC:-cc}" -std=c11 -Wall -Wextra -Werror -pedantic "$source_dir/tests/package/package_host.c" \
    $(pc --cflags --libs) -o "$scratch/host"
LD_LIBRARY_PATH=$libdir "$scratch/host" >"$scratch/host.out" 2>&1
host_status=$?
check "the host runs to the end" test "$host_status" -eq 0
check "the host loads the root's library" \
    grep -qF "$libdir/librelayKit.so.1" <<<"$(LD_LIBRARY_PATH=$libdir ldd "$scratch/host")"
check "the host prints what the library answers" diff - "$scratch/host.out" <<EOF
relayKitVersion 1.0
ok: OsWrap__Init
ok: queue created
ok: one accounted block
ok: block sent
ok: the same block received
ok: nothing left allocated
ok: an empty queue answers AGAIN
Uint64Add high=3 low=4294967294
ok: queue deleted
EOF
# The CMake package files find their prefix from where they lie.
check "a CMake host finds relaykit::relayKit in the root and runs" bash -c '
    cmake -S "$1" -B "$2" -G Ninja -DCMAKE_PREFIX_PATH="$3/usr" >/dev/null &&
    cmake --build "$2" >/dev/null && "$2/consumer" | grep -qx "relayKitVersion 1.0"' \
    _ "$source_dir/tests/public/consumer" "$scratch/cmake-host" "$root"

# ---- the programs, from the root ----------------------------------------------------------------
export LD_LIBRARY_PATH=$libdir
check "capsheet converts the sample capture" "$root/usr/bin/capsheet" \
    "$source_dir/examples/omci-sample.pcap" "$scratch/sample.csv"
check "cmctl prints its usage" bash -c '"$1" --help | grep -q "status"' _ "$root/usr/bin/cmctl"
"$root/usr/bin/oltmgr-sim" --listen 127.0.0.1:0 --init-delay 0 >"$scratch/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do
    grep -q 'listening on' "$scratch/sim.log" && break
    sleep 0.1
done
manager=$(sed -n 's/.*listening on \([0-9.]*:[0-9]*\).*/\1/p' "$scratch/sim.log" | head -1)
check "cmctl and oltmgr-sim from the package create and count an ONU" bash -c '
    "$1" --mgr "$2" status --wait 10 && "$1" --mgr "$2" create EQPT_ONU_CONFIG --key onu=1/0/3/17 &&
    test "$("$1" --mgr "$2" count EQPT_ONU_CONFIG)" = 1' _ "$root/usr/bin/cmctl" "${manager:-none}"
kill -TERM "$sim_pid" 2>/dev/null
wait "$sim_pid" 2>/dev/null
sim_pid=""
unset LD_LIBRARY_PATH

# ---- lintian --------------------------------------------------------------------------------------
lintian --fail-on none "$deb" >"$scratch/lintian" 2>&1
grep -E '^[WI]:' "$scratch/lintian" | sed 's/^/lintian: /'
check "lintian reports no error" bash -c '! grep -E "^E:" "$1"' _ "$scratch/lintian"
finish
