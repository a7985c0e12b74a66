#!/usr/bin/env bash
# Builds the Debian packages (libplinth1, libplinth-dev, plinth-tools) with CPack, checks what
# each one holds, installs them for real with apt, then builds a program against the installed
# copy twice (find_package(Plinth) and pkg-config), runs both, and runs /usr/bin/plinth.
# Run as root on Debian 12. With --remove the packages are purged again at the end.
# Usage: scripts/package-check.sh [BUILD_DIR] [--remove]
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-package remove=no
for arg in "$@"; do
  case $arg in
    --remove) remove=yes ;;
    -*) echo "usage: $0 [BUILD_DIR] [--remove]" >&2; exit 2 ;;
    *) build=$arg ;;
  esac
done
if [[ $(id -u) != 0 ]]; then
  echo "package-check: installing packages needs root" >&2
  exit 1
fi

SECONDS=0
packages=(libplinth1 libplinth-dev plinth-tools)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
libdir=/usr/lib/$multiarch
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Nothing from the environment may point the consumers at another copy of the library.
unset CMAKE_PREFIX_PATH PKG_CONFIG_PATH LD_LIBRARY_PATH

fail() {
  echo "package-check: $*" >&2
  exit 1
}

echo "--- build (prefix /usr, tests off) and cpack"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
  -DPLINTH_BUILD_TESTS=OFF -DPLINTH_WARNINGS_AS_ERRORS=ON >"$work/configure.log" ||
  { cat "$work/configure.log"; exit 1; }
cmake --build "$build" -j2
cmake --build "$build" --target docs
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB) >"$work/cpack.log" || { cat "$work/cpack.log"; exit 1; }

echo "--- contents"
debs=()
for package in "${packages[@]}"; do
  deb=$(echo "$build/${package}_"*.deb)
  [[ -f $deb ]] || fail "no package $package in $build"
  debs+=("$(realpath "$deb")")
  # Paths without the leading ".", symbolic links as "path -> target".
  dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); $1 = $2 = $3 = $4 = $5 = ""; print }' |
    sed 's/^ *//' >"$work/$package.files"
  echo "$package: $(wc -l <"$work/$package.files") files, $(stat -c %s "$deb") bytes"
done
expect() {  # package, line that must be in its file list
  grep -qxF "$2" "$work/$1.files" || fail "$1 lacks '$2'"
}
version=$(dpkg-deb -f "${debs[0]}" Version)
soname_target=$(readlink "$build/libplinth.so.1")
expect libplinth1 "$libdir/libplinth.so.1 -> $soname_target"
expect libplinth1 "$libdir/$soname_target"
expect libplinth-dev "$libdir/libplinth.so -> libplinth.so.1"
expect libplinth-dev "/usr/include/plinth/Plinth.h"
expect libplinth-dev "$libdir/cmake/Plinth/PlinthConfig.cmake"
expect libplinth-dev "$libdir/pkgconfig/plinth.pc"
expect libplinth-dev "/usr/share/doc/libplinth-dev/html/index.html"
expect plinth-tools "/usr/bin/plinth"
expect plinth-tools "/usr/share/man/man1/plinth.1.gz"
expect plinth-tools "/usr/share/bash-completion/completions/plinth"
duplicates=$(sed 's/ -> .*//' "$work"/*.files | sort | uniq -d)
[[ -z $duplicates ]] || fail "in more than one package: $duplicates"
# An install rule without a component would put its files in no package at all.
DESTDIR=$work/all cmake --install "$build" >/dev/null
(cd "$work/all" && find . ! -type d | sed 's/^\.//' | sort) >"$work/installed"
sed 's/ -> .*//' "$work"/*.files | sort >"$work/packaged"
unpackaged=$(comm -23 "$work/installed" "$work/packaged")
[[ -z $unpackaged ]] || fail "installed but in no package: $unpackaged"
runpath=$(readelf -d "$build/_CPack_Packages/Linux/DEB/"*/tools/usr/bin/plinth |
  sed -n 's/.*(\(RPATH\|RUNPATH\)).*\[\(.*\)\]/\2/p')
[[ -z $runpath ]] || fail "/usr/bin/plinth has a run path: $runpath"

echo "--- install"
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -q --reinstall "${debs[@]}"
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Package} ${Version}\n  Depends: ${Depends}\n' "$package"
  [[ $(dpkg-query -W -f='${Version}' "$package") == "$version" ]] ||
    fail "$package is not installed at $version"
done

echo "--- consumer through find_package(Plinth)"
consumer=tests/install/consumer
cmake -S "$consumer" -B "$work/cmake-build" -G Ninja >"$work/consumer.log" ||
  { cat "$work/consumer.log"; exit 1; }
grep 'Plinth .* from' "$work/consumer.log"
grep -q "Plinth $version from $libdir/cmake/Plinth\$" "$work/consumer.log" ||
  fail "find_package did not find the installed package"
cmake --build "$work/cmake-build"
"$work/cmake-build/consumer"

echo "--- consumer through pkg-config"
echo "pkg-config: $(pkg-config --modversion plinth) $(pkg-config --cflags --libs plinth)"
# shellcheck disable=SC2046
c++ "$consumer/main.cpp" -o "$work/pc-consumer" $(pkg-config --cflags --libs plinth)
"$work/pc-consumer"
for program in "$work/cmake-build/consumer" "$work/pc-consumer" /usr/bin/plinth; do
  loaded=$(ldd "$program" | sed -n 's/.*libplinth\.so\.1 => \([^ ]*\).*/\1/p')
  # /lib is /usr/lib on a merged-/usr system, and the loader may name either.
  [[ -n $loaded && $(realpath "$loaded") == $(realpath "$libdir/libplinth.so.1") ]] ||
    fail "$program loads libplinth.so.1 from '${loaded:-nowhere}'"
done

echo "--- installed host"
/usr/bin/plinth --version
man -w plinth | grep -qxF /usr/share/man/man1/plinth.1.gz || fail "man does not find plinth(1)"
[[ $(echo colour | /usr/bin/plinth text replace -r colour color) == color ]] ||
  fail "/usr/bin/plinth text replace"

if [[ $remove == yes ]]; then
  echo "--- remove"
  apt-get purge -y -q "${packages[@]}"
fi
echo "package-check: ${packages[*]} $version built, installed and used in ${SECONDS}s"
