#!/usr/bin/env bash
# Installs the built project into a scratch prefix, then builds a consumer against it twice:
# through find_package(Plinth) and through pkg-config. Both must build and run.
# Usage: install_test.sh BUILD_DIR CONSUMER_DIR CXX GENERATOR [EXTRA_CXX_FLAGS]
set -euo pipefail
build=$1 consumer=$2 cxx=$3 generator=$4 flags=${5:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >"$work/install.log"

cmake -S "$consumer" -B "$work/cmake-build" -G "$generator" -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" \
  -DCMAKE_PREFIX_PATH="$prefix" >"$work/configure.log" ||
  { cat "$work/configure.log"; exit 1; }
cmake --build "$work/cmake-build"
"$work/cmake-build/consumer"
echo "find_package consumer: ok"

pcfile=$(find "$prefix" -name plinth.pc)
libdir=$(dirname "$(dirname "$pcfile")")
export PKG_CONFIG_PATH=$(dirname "$pcfile")
# shellcheck disable=SC2046,SC2086
"$cxx" $flags "$consumer/main.cpp" -o "$work/pc-consumer" $(pkg-config --cflags --libs plinth) \
  -Wl,-rpath,"$libdir"
"$work/pc-consumer"
echo "pkg-config consumer: ok"

# The installed host must find the installed library on its own.
[[ -x $prefix/bin/plinth ]] || { echo "plinth host not built: skipped"; exit 0; }
"$prefix/bin/plinth" --version
echo colour | "$prefix/bin/plinth" text replace -r colour color
echo "installed plinth: ok"
