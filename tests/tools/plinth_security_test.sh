#!/usr/bin/env bash
# Runs the plinth host's security, privilege and os commands on real files and processes and
# checks their output and exit status.
# Usage: plinth_security_test.sh PLINTH GROUP   (GROUP: security, privilege, os, errors)
source "$(dirname "$0")/Harness.sh"

# check_status NAME STATUS ARGS...: the exit status must be STATUS; output is left in out and err.
check_status() {
  local name=$1 status=$2
  shift 2
  "$PLINTH" "$@" </dev/null >out 2>err
  local got=$?
  if [[ $got != "$status" ]]; then
    fail "$name: exit status $got, expected $status ($(head -c 300 err))"
    return 1
  fi
  passed=$((passed + 1))
}

# has NAME TEXT FILE: FILE holds the line TEXT exactly.
has() {
  if grep -qxF -- "$2" "$3"; then passed=$((passed + 1)); else fail "$1: no line '$2' in $(cat "$3")"; fi
}

user=$(id -un)
group=$(id -gn)
access_line() {  # access_line ACCOUNT DOMAIN MASK NAMES
  printf '  %s (%s)  %s  %s' "$1" "$2" "$3" "$4"
}

case $GROUP in
security)
  touch file
  chmod 640 file
  if check_status "file 640" 0 security file; then
    has "owner" "owner: $user (Unix User)  S-1-UnknownAuthority!-1-$(id -u)  SidTypeUser" out
    has "group" "group: $group (Unix Group)  S-1-UnknownAuthority!-2-$(id -g)  SidTypeGroup" out
    has "owner rights" "$(access_line "$user" "Unix User" 0x0016019F \
      'FILE_GENERIC_READ|FILE_GENERIC_WRITE|WRITE_DAC')" out
    # With one name for both, the group's entry folds into the owner's record.
    [[ $user == "$group" ]] ||
      has "group rights" "$(access_line "$group" "Unix Group" 0x00120089 FILE_GENERIC_READ)" out
  fi
  # The mode-bit mapping itself is tested in C++; here only an entry without a domain.
  chmod 755 file
  if check_status "file 755" 0 security file; then
    has "everyone" "  Everyone  0x001200A9  FILE_GENERIC_READ|FILE_GENERIC_EXECUTE" out
  fi
  ;;

privilege)
  check_status "always held" 0 privilege SeChangeNotifyPrivilege on &&
    has "reported" "SeChangeNotifyPrivilege on" out
  check_status "names match in any case" 0 privilege sechangenotifyprivilege off
  if [[ $(id -u) == 0 ]] && setpriv --bounding-set -sys_boot true 2>/dev/null; then
    # Without CAP_SYS_BOOT in the bounding set, the child cannot hold it.
    setpriv --bounding-set -sys_boot "$PLINTH" privilege SeShutdownPrivilege on </dev/null >out 2>err
    got=$?
    [[ $got == 1 ]] && passed=$((passed + 1)) || fail "not held: exit $got"
    grep -qF "SeShutdownPrivilege is not held" err && passed=$((passed + 1)) ||
      fail "not held message: $(cat err)"
  fi
  ;;

os)
  if check_status "os" 0 os; then
    release=$(uname -r)
    IFS=. read -r major minor rest <<<"$release"
    has "major" "major: $major" out
    has "minor" "minor: ${minor%%[!0-9]*}" out
    has "service pack" "service pack: ${release:0:127}" out
    has "platform" "platform: 2" out
    has "NT" "IsOSNT: yes" out
    has "not 9x" "IsOS9x: no" out
    [[ $(grep -c ': \(yes\|no\)$' out) == 9 ]] && passed=$((passed + 1)) || fail "nine predicates"
  fi
  ;;

errors)
  check_status "missing file" 2 security no-such-file &&
    grep -qF "'no-such-file' does not exist" err && passed=$((passed + 1)) || fail "missing file message: $(cat err)"
  check_status "unknown privilege" 2 privilege SeMadeUpPrivilege on &&
    grep -qF "unknown privilege 'SeMadeUpPrivilege'" err && passed=$((passed + 1)) ||
    fail "unknown privilege message"
  check_status "bad state" 2 privilege SeShutdownPrivilege maybe
  check_status "no file" 2 security
  ;;

*) unknown_group ;;
esac

finish
