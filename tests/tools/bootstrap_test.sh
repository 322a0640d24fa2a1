#!/usr/bin/env bash
# The bootstrap's decisions, on a PATH stripped to bash and fakes: which packages it finds missing,
# whether it installs them (root) or prints the apt-get line (anyone else), and how it fails.
#   bootstrap_test.sh <bootstrap script>
set -uo pipefail
bootstrap=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

ALL_PACKAGES="g++ cmake ninja-build zlib1g-dev pkg-config libgtest-dev libgmock-dev libbenchmark-dev libspdlog-dev"
ALL_PACKAGES+=" libsqlite3-dev"
ALL_PACKAGES+=" clang libclang-rt-14-dev gcovr tshark dpkg-dev lintian abigail-tools man-db python3-jsonschema"

# provide <machine> <package>...: makes packages present on a fake machine, each as the bootstrap
# probes for it: a command on its PATH or a file under its sysroot. The fake apt-get uses it too.
provide=$scratch/provide
cat >"$provide" <<'EOF'
declare -A BRINGS=(
    [g++]="command g++" [cmake]="command cmake" [ninja-build]="command ninja"
    [zlib1g-dev]="file /usr/include/zlib.h"
    [pkg-config]="command pkg-config"
    [libgtest-dev]="file /usr/include/gtest/gtest.h"
    [libgmock-dev]="file /usr/include/gmock/gmock.h"
    [libbenchmark-dev]="file /usr/include/benchmark/benchmark.h"
    [libspdlog-dev]="file /usr/include/spdlog/spdlog.h"
    [libsqlite3-dev]="file /usr/include/sqlite3.h"
    [clang]="command clang" [gcovr]="command gcovr" [tshark]="command tshark"
    [dpkg-dev]="command dpkg-shlibdeps" [lintian]="command lintian"
    [abigail-tools]="command abidiff" [man-db]="command man"
    [libclang-rt-14-dev]="file /usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a"
    [python3-jsonschema]="file /usr/lib/python3/dist-packages/jsonschema/__init__.py"
)
root=$1
shift
for package in "$@"; do
    read -r kind what <<<"${BRINGS[$package]}"
    if [[ $kind == command ]]; then
        printf '#!/bin/sh\nexit 0\n' >"$root/bin/$what"
        chmod +x "$root/bin/$what"
    else
        mkdir -p "$root/sysroot${what%/*}"
        : >"$root/sysroot$what"
    fi
done
EOF

# make_machine <machine> <present packages> <apt mode>: a fake machine with bash and a fake id
# (printing FAKE_UID) on its PATH, and a fake apt-get that logs its arguments and then installs
# the packages ("works"), fails ("fails"), installs nothing ("noop"), or is absent ("absent").
make_machine() {
    local root=$1 present=$2 apt=$3 bash
    bash=$(command -v bash)
    rm -rf "$root"
    mkdir -p "$root/bin" "$root/sysroot"
    ln -s "$bash" "$root/bin/bash"
    printf '#!/bin/sh\necho "$FAKE_UID"\n' >"$root/bin/id"
    chmod +x "$root/bin/id"
    # shellcheck disable=SC2086
    "$bash" "$provide" "$root" $present
    [[ $apt == absent ]] && return
    cat >"$root/bin/apt-get" <<EOF
#!$bash
echo "\$*" >>"$root/apt.log"
[[ \$1 == install ]] || exit 0
[[ $apt == fails ]] && exit 100
[[ $apt == noop ]] && exit 0
packages=()
for argument in "\$@"; do [[ \$argument == -* || \$argument == install ]] || packages+=("\$argument"); done
PATH="$PATH" "$bash" "$provide" "$root" "\${packages[@]}" # the installer's own tools
EOF
    chmod +x "$root/bin/apt-get"
}

# Every package except those named.
all_but() {
    local package keep=()
    for package in $ALL_PACKAGES; do [[ " $* " == *" $package "* ]] || keep+=("$package"); done
    echo "${keep[*]}"
}

# name | uid | scope | present packages | apt-get | expected status | expected apt-get calls | expected stderr
CASES=(
    "everything there costs nothing|1000|all|$ALL_PACKAGES|works|0||"
    "root installs exactly the missing ones|0|all|$(all_but cmake libgtest-dev)|works|0|update -qq;install -y -qq cmake libgtest-dev|"
    "another user gets the one apt-get line|1000|all|$(all_but cmake libgtest-dev)|works|1||apt-get install -y cmake libgtest-dev"
    "a build-only check ignores test packages|1000|build|$(all_but libgtest-dev libgmock-dev libbenchmark-dev libspdlog-dev libsqlite3-dev pkg-config clang libclang-rt-14-dev gcovr tshark dpkg-dev lintian abigail-tools man-db python3-jsonschema)|works|0||"
    "a build-only check still wants the build tools|1000|build|$(all_but ninja-build libbenchmark-dev)|works|1||apt-get install -y ninja-build"
    "a failed install is an error|0|all|$(all_but g++)|fails|1|update -qq;install -y -qq g++|failed"
    "an install that brings nothing is an error|0|all|$(all_but libbenchmark-dev)|noop|1|update -qq;install -y -qq libbenchmark-dev|still missing: libbenchmark-dev"
    "no apt-get is an error that names the packages|0|all|$(all_but cmake)|absent|1||apt-get is not here to install them: cmake"
    "a fresh machine gets everything|0|all||works|0|update -qq;install -y -qq $ALL_PACKAGES|"
)

failures=0
for entry in "${CASES[@]}"; do
    IFS='|' read -r name uid scope present apt want_status want_apt want_stderr <<<"$entry"
    root=$scratch/machine
    make_machine "$root" "$present" "$apt"
    stderr=$(env -i PATH="$root/bin" FAKE_UID="$uid" RELAYKIT_BOOTSTRAP_SYSROOT="$root/sysroot" \
        "$root/bin/bash" "$bootstrap" "$scope" 2>&1 >/dev/null)
    status=$?
    apt_calls=$(paste -sd ';' "$root/apt.log" 2>/dev/null)
    problems=()
    [[ $status == "$want_status" ]] || problems+=("status $status, expected $want_status")
    [[ $apt_calls == "$want_apt" ]] || problems+=("apt-get calls '$apt_calls', expected '$want_apt'")
    if [[ -z $want_stderr ]]; then
        [[ -z $stderr ]] || problems+=("unexpected messages: $stderr")
    elif [[ $stderr != *"$want_stderr"* ]]; then
        problems+=("messages lack '$want_stderr': $stderr")
    fi
    if ((${#problems[@]})); then
        failures=$((failures + 1))
        echo "FAIL: $name"
        printf '    %s\n' "${problems[@]}"
    else
        echo "ok: $name"
    fi
done

# A wrong argument is refused before anything is checked.
env -i PATH="$root/bin" "$root/bin/bash" "$bootstrap" everything >/dev/null 2>&1
[[ $? == 2 ]] || { echo "FAIL: a wrong argument is refused"; failures=$((failures + 1)); }

echo "${#CASES[@]} cases, $failures failures"
[[ $failures == 0 ]]
