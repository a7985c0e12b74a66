#!/usr/bin/env bash
# Runs the built plinth host's registry commands on a store of its own and checks their output
# and exit status.
# Usage: plinth_reg_test.sh PLINTH GROUP
#   (GROUP: values, keys, errors)
source "$(dirname "$0")/Harness.sh"
export PLINTH_REGISTRY=$WORK/store/registry.db

K='HKCU\Software\PlinthRegTest'
case $GROUP in
values)
  check_args "add a string" 0 '' reg add "$K" /v Colour /d blue
  check_args "query it" 0 'HKEY_CURRENT_USER\\Software\\PlinthRegTest\n    Colour    REG_SZ    blue\n' \
    reg query "$K" Colour
  check_args "query with /v" 0 'HKEY_CURRENT_USER\\Software\\PlinthRegTest\n    Colour    REG_SZ    blue\n' \
    reg query "$K" /v Colour
  check_args "dash options" 0 '' reg add "$K" -v Count -t REG_DWORD -d 42
  check_args "hex number" 0 '' reg add "$K" /v Big /t REG_QWORD /d 0x1122334455667788
  check_args "default value" 0 '' reg add "$K" /ve /d fallback
  check_args "list" 0 'HKEY_CURRENT_USER\\Software\\PlinthRegTest\n    Colour    REG_SZ    blue\n    Count    REG_DWORD    0x2a\n    Big    REG_QWORD    0x1122334455667788\n    (Default)    REG_SZ    fallback\n' \
    reg query "$K"
  check_args "overwrite keeps the place" 0 '' reg add "$K" /v COLOUR /t REG_EXPAND_SZ /d '%HOME%\x' /f
  check_args "expand string as stored" 0 'HKEY_CURRENT_USER\\Software\\PlinthRegTest\n    Colour    REG_EXPAND_SZ    %%HOME%%\\x\n' \
    reg query "$K" colour
  check_args "multi string" 0 '' reg add "$K" /v M /t REG_MULTI_SZ /d 'a\0\0b'
  check_args "multi string back" 0 'HKEY_CURRENT_USER\\Software\\PlinthRegTest\n    M    REG_MULTI_SZ    a\\0\\0b\n' \
    reg query "$K" M
  check_args "binary" 0 '' reg add "$K" /v B /t REG_BINARY /d 00fF7f
  check_args "binary back" 0 'HKEY_CURRENT_USER\\Software\\PlinthRegTest\n    B    REG_BINARY    00FF7F\n' \
    reg query "$K" B
  check_args "long root name" 0 'HKEY_CURRENT_USER\\Software\\PlinthRegTest\n    Count    REG_DWORD    0x2a\n' \
    reg query 'hkey_current_user\Software\PlinthRegTest' Count
  check_args "delete a value" 0 '' reg delete "$K" /v Count
  check_stderr "deleted value is gone" 1 "no value Count" reg query "$K" Count
  check_stderr "delete it again" 1 "no value Count" reg delete "$K" /v Count
  check_args "delete all values" 0 '' reg delete "$K" /va
  check_args "nothing left" 0 'HKEY_CURRENT_USER\\Software\\PlinthRegTest\n' reg query "$K"
  ;;
keys)
  check_args "add nested keys" 0 '' reg add "$K\\b\\deep"
  check_args "add sibling" 0 '' reg add "$K\\A"
  check_args "add under classes" 0 '' reg add 'HKCR\.plinthtest' /ve /d PlinthTest.Document
  check_args "list in name order" 0 'A\nb\n' reg keys "$K"
  check_args "trailing backslash" 0 'A\nb\n' reg keys "$K\\"
  check_args "classes root is a view" 0 'HKEY_LOCAL_MACHINE\\Software\\Classes\\.plinthtest\n    (Default)    REG_SZ    PlinthTest.Document\n' \
    reg query 'HKLM\Software\Classes\.plinthtest' /ve
  check_args "delete a tree" 0 '' reg delete "$K" /f
  check_stderr "tree is gone" 1 "no such key" reg keys "$K"
  check_stderr "deleting a missing key" 1 "no such key" reg delete "$K"
  check_args "another process sees it" 0 'HKEY_CLASSES_ROOT\\.plinthtest\n    (Default)    REG_SZ    PlinthTest.Document\n' \
    reg query 'HKEY_CLASSES_ROOT\.plinthtest'
  [[ $(stat -c %a "$WORK/store") == 700 ]] && passed=$((passed + 1)) || fail "store folder mode"
  [[ $(stat -c %a "$PLINTH_REGISTRY") == 600 ]] && passed=$((passed + 1)) || fail "store file mode"
  ;;
errors)
  check_stderr "unknown root" 2 "does not start with a root key" reg keys 'HKXX\Software'
  check_stderr "bad type" 2 "is not a value type" reg add "$K" /v x /t REG_WORD /d 1
  check_stderr "dword too big" 2 "is not a REG_DWORD number" reg add "$K" /v x /t REG_DWORD /d 4294967296
  check_stderr "negative dword" 2 "is not a REG_DWORD number" reg add "$K" /v x /t REG_DWORD /d -1
  check_stderr "odd hex" 2 "odd number of hexadecimal digits" reg add "$K" /v x /t REG_BINARY /d abc
  check_stderr "not hex" 2 "is not hexadecimal bytes" reg add "$K" /v x /t REG_BINARY /d zz
  check_stderr "data without a value" 2 "/t and /d need a value" reg add "$K" /d 1
  check_stderr "option without its value" 2 "needs a value after it" reg add "$K" /v
  check_stderr "two keys" 2 "give exactly one KEY" reg keys "$K" "$K"
  check_stderr "root cannot go" 2 "a root key cannot be deleted" reg delete HKCU
  check_args "classes root" 0 '' reg keys HKCR
  check_stderr "kept key cannot go" 2 "access denied" reg delete 'HKLM\Software\Classes'
  check_stderr "refused root" 2 "holds nothing on this system" reg keys HKEY_DYN_DATA
  check_stderr "too long" 2 "too long" reg add "$K\\$(printf 'n%.0s' {1..256})"
  echo "not a registry" >"$WORK/other.db"
  cp "$WORK/other.db" "$WORK/before.db"
  PLINTH_REGISTRY=$WORK/other.db check_stderr "not a store" 2 "is damaged or not a registry store" reg add "$K" /v x /d y
  cmp -s "$WORK/other.db" "$WORK/before.db" && passed=$((passed + 1)) || fail "a refused store was changed"
  ;;
*) unknown_group ;;
esac

finish
