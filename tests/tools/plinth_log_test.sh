#!/usr/bin/env bash
# Runs the plinth host's log command on real files and checks the lines it leaves and its exit
# status.
# Usage: plinth_log_test.sh PLINTH GROUP   (GROUP: lines, errors)
source "$(dirname "$0")/Harness.sh"

stamp='[0-9]{2}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}: '
start='************* Start ************* '

# lines_are NAME FILE MESSAGE...: FILE holds exactly one CR LF line per MESSAGE, in order, each
# the stamp followed by MESSAGE.
lines_are() {
  local name=$1 file=$2
  shift 2
  if ! grep -qvE "^$stamp" "$file" &&
    cmp -s <(sed -E "s#^$stamp##" "$file") <(printf '%s\r\n' "$@"); then
    passed=$((passed + 1))
  else
    fail "$name: $(od -An -c "$file" | head -5), expected: $*"
  fi
}

case $GROUP in
lines)
  check_args "two messages" 0 "" log a.log first second
  lines_are "first run" a.log "$start" first second
  # Each run is a process of its own, so each starts with a start line; content stays.
  check_args "second run" 0 "" log a.log third
  lines_are "appended" a.log "$start" first second "$start" third
  check "standard input" 0 "" 'one\r\ntwo\nlast' log b.log
  lines_are "lines of standard input" b.log "$start" one two last
  check_args "escapes" 0 "" log -e c.log 'tab\there'
  lines_are "escaped tab" c.log "$start" $'tab\there'
  check_args "empty message" 0 "" log d.log ""
  lines_are "stamp only" d.log "$start" ""
  check_stderr "backslash folder missing" 2 "Invalid path" log 'sub\e.log' x
  mkdir sub
  check_args "backslash folders" 0 "" log 'sub\e.log' x
  lines_are "file in folder" sub/e.log "$start" x
  ;;

errors)
  check_stderr "missing folder" 2 "cannot open the log 'no/such/x.log': Invalid path" \
    log no/such/x.log message
  [[ ! -e no ]] && passed=$((passed + 1)) || fail "missing folder: something was created"
  mkdir folder
  check_stderr "a folder" 2 "cannot open the log 'folder': Access denied" log folder message
  check_stderr "empty name" 2 "no log file named" log "" message
  check_stderr "no file" 2 "FILE is required" log
  check_stderr "NUL byte" 2 "NUL byte" log -e x.log 'a\x00b'
  [[ ! -e x.log ]] && passed=$((passed + 1)) || fail "NUL byte: the log was created"
  if [[ $(id -u) != 0 ]]; then
    touch locked.log
    chmod 444 locked.log
    check_stderr "read-only file" 2 "Access denied" log locked.log message
  fi
  ;;

*) unknown_group ;;
esac
finish
