#!/usr/bin/env bash
# Installs what building, testing, benchmarking and fuzzing Plinth need on Debian 12, as root.
# Packages already present are left alone, and the package lists are fetched only when
# something is missing, so a second run is quick and needs no network.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config        # build
  clang libclang-rt-dev llvm              # sanitizer and fuzzing builds, symbolized reports
  libgtest-dev libbenchmark-dev           # tests and benchmarks
  libpcre2-dev libre2-dev                 # peers of the pattern engine's benchmark
  libcli11-dev                            # the plinth command-line host
  libsqlite3-dev                          # the registry store
  libcap-dev                              # privileges as Linux capabilities
  libacl1-dev                             # access lists of files in their security descriptors
  util-linux bsdutils                     # setpriv for CI, script for the host's terminal tests
  xxd                                     # peer of the hexadecimal text benchmark and host tests
  doxygen                                 # the API reference (docs target)
  groff-base man-db                       # checks that the host's manual page renders cleanly
  g++-mingw-w64-x86-64-posix              # the Windows DLL, 64-bit (POSIX threads: std::mutex)
  g++-mingw-w64-i686-posix                # the Windows DLL, 32-bit, a compile-and-link check
  googletest                              # GoogleTest sources, built for Windows in the cross build
  wine64                                  # runs the Windows tests
  dpkg-dev file                           # Debian packages: dpkg-shlibdeps finds their Depends
  debootstrap                             # a clean root to install the packages into
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if ((${#missing[@]} == 0)); then
  echo "setup-debian: all ${#packages[@]} packages present"
  exit 0
fi

if [[ $(id -u) != 0 ]]; then
  echo "setup-debian: missing ${missing[*]}; run this script as root to install them" >&2
  exit 1
fi
echo "setup-debian: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
