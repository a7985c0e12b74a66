# Shared by the host's test scripts, which source it first:
#   source "$(dirname "$0")/Harness.sh"
# It takes the script's arguments PLINTH GROUP, runs the script in a temporary work folder of its
# own and counts passed and failed cases; a script ends with `finish`.
set -uo pipefail

PLINTH=$(realpath "$1")
GROUP=$2
WORK=$(mktemp -d)
# Some cases take permissions away; give them back so the folder can go.
trap 'chmod -R u+rwx "$WORK" 2>/dev/null; rm -rf "$WORK"' EXIT
cd "$WORK" || exit 2
export LC_ALL=C
# A sanitizer report must not pass for an expected exit status 1 ("nothing found", "not held").
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}exitcode=86"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}exitcode=86"

passed=0
failed=0
fail() {
  echo "FAIL: $1"
  failed=$((failed + 1))
}

# expect NAME COMMAND...: a pass when COMMAND succeeds.
expect() {
  local name=$1
  shift
  if "$@"; then passed=$((passed + 1)); else fail "$name"; fi
}

# Compares the host's exit status with STATUS and its output (in actual) with the printf format
# EXPECTED; the caller has run the host with stdout to actual and stderr to stderr.
compare_run() {
  local name=$1 status=$2 expected=$3 got=$4
  if [[ $got != "$status" ]]; then
    fail "$name: exit status $got, expected $status ($(head -c 300 stderr))"
  elif ! cmp -s actual <(printf "$expected"); then
    fail "$name: output $(od -An -c actual | head -3), expected '$expected'"
  else
    passed=$((passed + 1))
  fi
}

# check NAME STATUS EXPECTED STDIN ARGS...: EXPECTED and STDIN are printf formats, so inputs
# and outputs may hold any byte.
check() {
  local name=$1 status=$2 expected=$3 input=$4
  shift 4
  printf "$input" | "$PLINTH" "$@" >actual 2>stderr
  compare_run "$name" "$status" "$expected" $?
}

# check_args NAME STATUS EXPECTED ARGS...: as check, for commands that read no standard input.
check_args() {
  local name=$1 status=$2 expected=$3
  shift 3
  "$PLINTH" "$@" </dev/null >actual 2>stderr
  compare_run "$name" "$status" "$expected" $?
}

# Compares the host's exit status with STATUS and looks for PATTERN (fixed text) in stderr.
compare_message() {
  local name=$1 status=$2 pattern=$3 got=$4
  if [[ $got != "$status" ]]; then
    fail "$name: exit status $got, expected $status ($(head -c 300 stderr))"
  elif ! grep -qF -- "$pattern" stderr; then
    fail "$name: stderr '$(cat stderr)' lacks '$pattern'"
  else
    passed=$((passed + 1))
  fi
}

# check_stderr NAME STATUS PATTERN ARGS...: the message must contain PATTERN (fixed text).
check_stderr() {
  local name=$1 status=$2 pattern=$3
  shift 3
  "$PLINTH" "$@" </dev/null >actual 2>stderr
  compare_message "$name" "$status" "$pattern" $?
}

# check_stderr_input NAME STATUS PATTERN STDIN ARGS...: as check_stderr, with STDIN (a printf
# format) on standard input.
check_stderr_input() {
  local name=$1 status=$2 pattern=$3 input=$4
  shift 4
  printf "$input" | "$PLINTH" "$@" >actual 2>stderr
  compare_message "$name" "$status" "$pattern" $?
}

# For the catch-all branch of a script's `case $GROUP`.
unknown_group() {
  echo "unknown group $GROUP"
  exit 2
}

# The script's last command: the summary, and a failing exit status if any case failed.
finish() {
  echo "$GROUP: $passed passed, $failed failed"
  [[ $failed == 0 ]]
}
