#!/usr/bin/env bash
# Builds the Windows DLL, plinth.exe and the test programs with MinGW-w64 (x86_64) and runs
# every test program under Wine, in a fresh prefix that is thrown away afterwards, with no
# display: the tests need no window. Prints one line per program and the total, and exits
# non-zero when any program fails, crashes or runs out of time.
#
#   scripts/windows-tests.sh [build-folder]        (default build-mingw64)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-mingw64}
jobs=${PLINTH_JOBS:-2}
per_program_limit=300  # seconds

cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DPLINTH_WARNINGS_AS_ERRORS=ON
cmake --build "$build" -j"$jobs"

wine=$(command -v wine64 || true)
[[ -n $wine ]] || wine=/usr/lib/wine/wine64
if [[ ! -x $wine ]]; then
  echo "windows-tests: wine64 is missing; scripts/setup-debian.sh installs it" >&2
  exit 2
fi

wineserver=$(dirname "$wine")/wineserver
[[ -x $wineserver ]] || wineserver=$(command -v wineserver || echo wineserver)

scratch=$(mktemp -d)
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
cleanup() {
  timeout 30 "$wineserver" -k >/dev/null 2>&1 || true
  rm -rf "$scratch"
}
trap cleanup EXIT

# The first start creates the prefix; a 64-bit-only Wine complains about the 32-bit part of
# it, which nothing here needs.
timeout 180 "$wine" wineboot --init >/dev/null 2>&1 || true
timeout 60 "$wineserver" -w || true

shopt -s nullglob
programs=("$build"/bin/*_tests.exe)
if ((${#programs[@]} == 0)); then
  echo "windows-tests: no test programs in $build/bin" >&2
  exit 2
fi

passed_total=0
failed_programs=()
for program in "${programs[@]}"; do
  name=$(basename "$program" .exe)
  log=$scratch/$name.log
  status=0
  timeout -k 10 "$per_program_limit" "$wine" "$program" --gtest_brief=1 >"$log" 2>&1 || status=$?
  passed=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\?\..*/\1/p' "$log" | tail -1)
  failed=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) tests\?, listed below.*/\1/p' "$log" | tail -1)
  if ((status != 0)) || [[ -z $passed ]] || [[ -n $failed ]]; then
    failed_programs+=("$name")
    echo "FAIL $name (exit status $status)"
    cat "$log"
  else
    echo "ok   $name: $passed tests"
  fi
  passed_total=$((passed_total + ${passed:-0}))
done

if ((${#failed_programs[@]} > 0)); then
  echo "windows-tests: FAILED under Wine: ${failed_programs[*]}"
  exit 1
fi
echo "windows-tests: $passed_total tests passed in ${#programs[@]} programs under Wine"
