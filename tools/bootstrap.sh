#!/usr/bin/env bash
# Checks for every tool and package the build, the tests and the benchmarks need, and installs the
# missing ones from Debian's archive when it runs as root; any other user is told the one apt-get
# line to run. Costs a few checks and no process when everything is there.
#
#   tools/bootstrap.sh          everything: build, tests and benchmarks
#   tools/bootstrap.sh build    only what building and installing the library and capsheet need
set -uo pipefail

# One line per requirement: what proves it is there, the Debian package that brings it, and who
# needs it ("build" or "test"; test includes the benchmarks, the fuzzers, coverage, the packet
# dissector's check, the Debian packages' checks, the ABI check and the check of cmctl's JSON
# against its schema). A probe is "command NAME" (found on PATH) or "file PATH" (an absolute path,
# looked up under RELAYKIT_BOOTSTRAP_SYSROOT when set).
REQUIREMENTS=(
    "command g++                        g++               build"
    "command cmake                      cmake             build"
    "command ninja                      ninja-build       build"
    "file    /usr/include/zlib.h                 zlib1g-dev        build"
    "command pkg-config                 pkg-config        test"
    "file    /usr/include/gtest/gtest.h          libgtest-dev      test"
    "file    /usr/include/gmock/gmock.h          libgmock-dev      test"
    "file    /usr/include/benchmark/benchmark.h  libbenchmark-dev  test"
    "file    /usr/include/spdlog/spdlog.h        libspdlog-dev     test"
    "file    /usr/include/sqlite3.h              libsqlite3-dev    test"
    "command clang                      clang             test"
    "file    /usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a  libclang-rt-14-dev  test"
    "command gcovr                      gcovr             test"
    "command tshark                     tshark            test"
    "command dpkg-shlibdeps             dpkg-dev          test"
    "command lintian                    lintian           test"
    "command abidiff                    abigail-tools     test"
    "command man                        man-db            test"
    "file    /usr/lib/python3/dist-packages/jsonschema/__init__.py  python3-jsonschema  test"
)

scope=${1:-all}
case $scope in
    all | build) ;;
    *)
        echo "usage: tools/bootstrap.sh [build]" >&2
        exit 2
        ;;
esac

# Prints the packages whose probe fails, in list order, separated by blanks.
missing_packages() {
    local line kind what package role missing=()
    for line in "${REQUIREMENTS[@]}"; do
        read -r kind what package role <<<"$line"
        [[ $scope == build && $role != build ]] && continue
        case $kind in
            command) command -v "$what" >/dev/null 2>&1 && continue ;;
            file) [[ -e ${RELAYKIT_BOOTSTRAP_SYSROOT:-}$what ]] && continue ;;
        esac
        missing+=("$package")
    done
    echo "${missing[*]}"
}

missing=$(missing_packages)
[[ -z $missing ]] && exit 0

install_line="apt-get install -y $missing"
if [[ $(id -u 2>/dev/null) != 0 ]]; then
    echo "relayKit needs Debian packages that are not installed: $missing" >&2
    echo "Install them as root, then run make again:" >&2
    echo "    $install_line" >&2
    exit 1
fi
if ! command -v apt-get >/dev/null 2>&1; then
    echo "relayKit needs these packages, and apt-get is not here to install them: $missing" >&2
    exit 1
fi

echo "bootstrap: installing $missing"
export DEBIAN_FRONTEND=noninteractive
# A fresh root has no package lists yet; the update is cheap next to the install.
if ! apt-get update -qq >/dev/null || ! apt-get install -y -qq $missing >/dev/null; then
    echo "bootstrap: '$install_line' failed; see apt-get's messages above" >&2
    exit 1
fi

still_missing=$(missing_packages)
if [[ -n $still_missing ]]; then
    echo "bootstrap: apt-get reported success, yet these are still missing: $still_missing" >&2
    exit 1
fi
