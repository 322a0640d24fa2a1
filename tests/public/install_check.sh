#!/usr/bin/env bash
# Installs the built tree into a scratch prefix (with the programs' manual pages, cmctl's bash
# completion and the version header), then builds the C11 host against it twice:
# through find_package(relaykit) and through pkg-config. Both must link and print the version.
# A host built from the pkg-config line with -fvisibility=hidden must link and reach its hooks.
set -euo pipefail
build_dir=$1
consumer_dir=$2
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build_dir/CMakeCache.txt")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cmake --install "$build_dir" --prefix "$scratch/prefix" >/dev/null
test -f "$scratch/prefix/include/relaykit/relaykit.h"
test -f "$scratch/prefix/include/relaykit/oswrap.h"
test -f "$scratch/prefix/include/relaykit/relaykit_version.h"
for page in capsheet cmctl oltmgr-sim; do
    # The page's header names this version.
    grep -qx ".TH .* \"relayKit $version\" .*" <<<"$(zcat "$scratch/prefix/share/man/man1/$page.1.gz")"
done
grep -q "complete -F _cmctl cmctl" "$scratch/prefix/share/bash-completion/completions/cmctl"

# Both hosts find the library at run time without LD_LIBRARY_PATH: the CMake host through the run-time
# path CMake records, the pkg-config hosts through the -Wl,-rpath of the README's line.
cmake -S "$consumer_dir" -B "$scratch/cmake-host" -DCMAKE_PREFIX_PATH="$scratch/prefix" >/dev/null
cmake --build "$scratch/cmake-host" >/dev/null
env -u LD_LIBRARY_PATH "$scratch/cmake-host/consumer" | grep -qx "relayKitVersion 1.0"

pcdir=$(dirname "$(find "$scratch/prefix" -name relaykit.pc | head -n 1)")
flags="$(PKG_CONFIG_PATH="$pcdir" pkg-config --cflags --libs relaykit)"
flags+=" -Wl,-rpath,$(PKG_CONFIG_PATH="$pcdir" pkg-config --variable=libdir relaykit)"
# shellcheck disable=SC2086
"${CC:-cc}" -std=c11 -Wall -Wextra -Werror -pedantic "$consumer_dir/../c11_host.c" $flags -o "$scratch/pc-host"
env -u LD_LIBRARY_PATH "$scratch/pc-host" | grep -qx "relayKitVersion 1.0"

# The same line with -fvisibility=hidden, as many hosts build: the hooks must still reach the library.
# shellcheck disable=SC2086
"${CC:-cc}" -std=c11 -Wall -Wextra -Werror -pedantic -fvisibility=hidden "$consumer_dir/../hidden_host.c" \
  $flags -o "$scratch/hidden-host"
env -u LD_LIBRARY_PATH "$scratch/hidden-host" | grep -qx "hidden host: both hooks reached"
echo "installed tree serves CMake and pkg-config hosts"
