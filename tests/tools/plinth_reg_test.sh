#!/usr/bin/env bash
# Runs the built plinth host's registry commands on a store of its own and checks their output
# and exit status.
# Usage: plinth_reg_test.sh PLINTH GROUP
#   (GROUP: values, keys, errors, walk, export, import)
source "$(dirname "$0")/Harness.sh"
export PLINTH_REGISTRY=$WORK/store/registry.db

K='HKCU\Software\PlinthRegTest'
# A small tree with the names and data the file format must take care of.
build_tree() {
  "$PLINTH" reg add "$K" /v 'say "hi"' /d 'C:\dir\'
  "$PLINTH" reg add "$K" /v "$(printf 'two\nlines')" /t REG_DWORD /d 7
  "$PLINTH" reg add "$K" /ve /d 'a]=;b'
  "$PLINTH" reg add "$K" /v Odd /t REG_DWORD_BIG_ENDIAN /d 1
  "$PLINTH" reg add "$K\\Sub]x" /v Empty /t REG_BINARY
  "$PLINTH" reg add "$K\\Sub]x\\$(printf 'k\nl')" /v M /t REG_MULTI_SZ /d 'a\0b'
}
# What export writes for build_tree's tree (a printf format).
EXPORTED='REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\PlinthRegTest]\r\n"say \\"hi\\""="C:\\\\dir\\\\"\r\n"two\\nlines"=dword:00000007\r\n@="a]=;b"\r\n"Odd"=hex(5):00,00,00,01\r\n\r\n[HKEY_CURRENT_USER\\Software\\PlinthRegTest\\Sub]x]\r\n"Empty"=hex:\r\n\r\n[HKEY_CURRENT_USER\\Software\\PlinthRegTest\\Sub]x\\k\\\\nl]\r\n"M"=hex(7):61,00,62,00,00\r\n\r\n'
# N more keys with a value each, through one imported file.
many_keys() {
  { echo REGEDIT4; for i in $(seq 1 "$1"); do printf '[HKEY_CURRENT_USER\\Software\\PlinthRegTest\\Many\\k%s]\n"v"=dword:%08x\n' "$i" "$i"; done; } >many.reg
  "$PLINTH" reg import many.reg
}

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
walk)
  build_tree
  T='HKEY_CURRENT_USER\\Software\\PlinthRegTest'
  check_args "one level" 0 "key    0    $T\nvalue    0    $T    say \"hi\"    REG_SZ    C:\\\\dir\\\\\nvalue    0    $T    two\\\\nlines    REG_DWORD    0x7\nvalue    0    $T    (Default)    REG_SZ    a]=;b\nvalue    0    $T    Odd    REG_DWORD_BIG_ENDIAN    0x1\nkey    1    $T\\\\Sub]x\n" \
    reg walk "$K"
  check_args "recursive, depth first" 0 "key    0    $T\nvalue    0    $T    say \"hi\"    REG_SZ    C:\\\\dir\\\\\nvalue    0    $T    two\\\\nlines    REG_DWORD    0x7\nvalue    0    $T    (Default)    REG_SZ    a]=;b\nvalue    0    $T    Odd    REG_DWORD_BIG_ENDIAN    0x1\nkey    1    $T\\\\Sub]x\nvalue    1    $T\\\\Sub]x    Empty    REG_BINARY    \nkey    2    $T\\\\Sub]x\\\\k\\\\nl\nvalue    2    $T\\\\Sub]x\\\\k\\\\nl    M    REG_MULTI_SZ    a\\\\0b\n" \
    reg walk "$K" --recurse
  check_args "keys only" 0 "key    0    $T\nkey    1    $T\\\\Sub]x\nkey    2    $T\\\\Sub]x\\\\k\\\\nl\n" \
    reg walk "$K" --keys /s
  check_args "values only, long root" 0 "value    0    $T\\\\Sub]x    Empty    REG_BINARY    \nvalue    1    $T\\\\Sub]x\\\\k\\\\nl    M    REG_MULTI_SZ    a\\\\0b\n" \
    reg walk 'HKEY_CURRENT_USER\Software\PlinthRegTest\Sub]x' --values --recurse
  check_stderr "missing key" 1 "no such key" reg walk "$K\\nothing"
  check_stderr "unknown option" 2 "is not an option of 'plinth reg walk'" reg walk "$K" --deep
  check_stderr "two keys" 2 "give exactly one KEY" reg walk "$K" "$K"
  "$PLINTH" reg walk HKCU --recurse | head -1 >actual 2>stderr
  expect "a reader that goes away" test "${PIPESTATUS[0]}" = 0
  many_keys 300
  "$PLINTH" reg walk "$K" --recurse >plain.txt 2>plain.err
  PLINTH_PROGRESS_DELAY_MS=0 script -qec "'$PLINTH' reg walk '$K' --recurse >tty.txt" /dev/null \
    </dev/null >typescript
  expect "no progress when stderr is not a terminal" test ! -s plain.err
  expect "progress on a terminal" grep -q 'walking' typescript
  expect "progress leaves the output alone" cmp -s plain.txt tty.txt
  ;;
export)
  build_tree
  check_args "exact file" 0 "$EXPORTED" reg export "$K"
  check_args "to a file" 0 '' reg export "$K\\" out.reg
  expect "the file holds the same" cmp -s out.reg <(printf "$EXPORTED")
  check_args "standard output by -" 0 "$EXPORTED" reg export "$K" -
  "$PLINTH" reg add "$K\\Empty"
  check_args "empty key" 0 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\PlinthRegTest\\Empty]\r\n\r\n' reg export "$K\\Empty"
  check_stderr "missing key" 1 "no such key" reg export "$K\\nothing"
  check_stderr "no key" 2 "give one KEY and at most one FILE" reg export
  check_stderr "unwritable file" 2 "cannot write" reg export "$K" "$WORK/no/such/dir/x.reg"
  many_keys 300
  PLINTH_PROGRESS_DELAY_MS=0 script -qec "'$PLINTH' reg export '$K' tty.reg" /dev/null </dev/null >typescript
  expect "progress on a terminal" grep -q 'exporting' typescript
  "$PLINTH" reg export "$K" plain.reg 2>plain.err
  expect "progress leaves the file alone" cmp -s plain.reg tty.reg
  expect "no progress when stderr is not a terminal" test ! -s plain.err
  ;;
import)
  printf "$EXPORTED" >tree.reg
  check_args "import into an empty store" 0 '' reg import tree.reg
  check_args "exports the same bytes" 0 "$EXPORTED" reg export "$K"
  "$PLINTH" reg delete "$K"
  tr -d '\r' <tree.reg | "$PLINTH" reg import - && passed=$((passed + 1)) || fail "import from stdin"
  check_args "the same again" 0 "$EXPORTED" reg export "$K"
  printf 'REGEDIT4\n; drop a value and a key\n[HKEY_CURRENT_USER\\Software\\PlinthRegTest]\n"Odd"=-\n"never there"=-\n[-HKEY_CURRENT_USER\\Software\\PlinthRegTest\\Sub]x]\n[-HKCU\\Software\\PlinthRegTest\\not there]\n' >drop.reg
  check_args "deletions" 0 '' reg import drop.reg
  check_args "what is left" 0 "key    0    HKEY_CURRENT_USER\\\\Software\\\\PlinthRegTest\n" reg walk "$K" --keys --recurse
  check_stderr "value gone" 1 "no value Odd" reg query "$K" Odd
  printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\PlinthRegTest\\U]\r\n"caf\xc3\xa9"="\xe2\x82\xac"\r\n"e"=hex(2):25,00,41,00,25,00,00,00\r\n' |
    iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >utf16.reg
  LC_ALL=C.UTF-8 check_args "UTF-16 file" 0 '' reg import utf16.reg
  check_args "UTF-16 text converted" 0 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\PlinthRegTest\\U]\r\n"caf\xc3\xa9"="\xe2\x82\xac"\r\n"e"=hex(2):25,41,25,00\r\n\r\n' \
    reg export "$K\\U"
  printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\PlinthRegTest\\New]\n"a"="1"\n"b"=hex:01,\\\n  zz\n' >bad.reg
  check_stderr "malformed line named" 2 "'bad.reg', line 6: 'zz' is not a byte" reg import bad.reg
  check_stderr "nothing imported" 1 "no such key" reg query "$K\\New"
  printf 'REGEDIT4\n[HKXX\\Software]\n' >root.reg
  check_stderr "unknown root" 2 "'root.reg', line 2: the section [HKXX\\Software] does not start with a root key" reg import root.reg
  printf 'REGEDIT4\n[-HKEY_CURRENT_USER]\n' >rootdel.reg
  check_stderr "root cannot go" 2 "line 2: HKEY_CURRENT_USER: a root key cannot be deleted" reg import rootdel.reg
  check_stderr_input "not a registry file" 2 "standard input, line 1: not a registry file" 'hello\n' reg import -
  check_stderr "missing file" 2 "cannot read 'nothing.reg'" reg import nothing.reg
  check_stderr "no file" 2 "give exactly one FILE" reg import
  SAMPLE=$(dirname "$0")/../../samples/tour.reg
  check_args "the sample imports" 0 '' reg import "$SAMPLE"
  "$PLINTH" reg export 'HKCU\Software\Plinth\Tour' tour.reg
  expect "the sample exports as it is" cmp -s tour.reg "$SAMPLE"
  many_keys 300
  "$PLINTH" reg export "$K" big.reg
  "$PLINTH" reg delete "$K"
  PLINTH_PROGRESS_DELAY_MS=0 script -qec "'$PLINTH' reg import big.reg" /dev/null </dev/null >typescript
  expect "progress on a terminal" grep -q 'importing' typescript
  check_args "big file back" 0 '' reg export "$K" again.reg
  expect "big file round trip" cmp -s big.reg again.reg
  ;;
*) unknown_group ;;
esac

finish
