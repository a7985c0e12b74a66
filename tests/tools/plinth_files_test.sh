#!/usr/bin/env bash
# Runs the plinth host's path, find and env commands and checks output bytes and exit status.
# Usage: plinth_files_test.sh PLINTH GROUP   (GROUP: path, tmpname, find, env, errors, progress)
source "$(dirname "$0")/Harness.sh"

# check_sorted: as check_args, with the output lines sorted first.
check_sorted() {
  local name=$1 status=$2 expected=$3
  shift 3
  "$PLINTH" "$@" </dev/null 2>stderr | sort >actual
  local got=${PIPESTATUS[0]}
  if [[ $got != "$status" ]]; then
    fail "$name: exit status $got, expected $status ($(head -c 300 stderr))"
  elif ! cmp -s actual <(printf "$expected" | sort); then
    fail "$name: output $(head -c 300 actual), expected '$expected'"
  else
    passed=$((passed + 1))
  fi
}

case $GROUP in
path)
  check_args "basename" 0 'file.txt\nc\nb/c\n\n' path basename 'C:\dir\file.txt' 'a/b\c' 'a\b/c' 'C:\dir\'
  check_args "basename strip" 0 'archive.tar\n\nreadme\n' path basename -s archive.tar.gz .profile 'C:\my.dir\readme'
  check_args "ext" 0 'txt\n\nold\\file\n' path ext file.txt noext 'C:\dir.old\file'
  check_args "split quoted" 0 'C:\\Program Files\\app.exe\n -x\n' path split '"C:\Program Files\app.exe" -x'
  check_args "split plain" 0 'app.exe\n-x  -y\n' path split 'app.exe -x  -y'
  check_args "split alone" 0 'app.exe\n\n' path split app.exe
  check_args "fix name" 0 'a_b_c_d\n' path fix 'a/b:c*d'
  check_args "fix path" 0 'a_b:c_d\n' path fix --path 'a/b:c*d'
  check_args "join" 0 'C:\\dir\\file\n' path join 'C:\dir \' file
  check_args "join doubled" 0 'C:\\dir\\\\file\n' path join 'C:\dir\\' file
  check_args "join long separator" 0 'a::::b\n' path join --separator :: a:: b
  check_args "exists" 0 '' path exists "$WORK"
  check_args "exists not" 1 '' path exists "$WORK/none"
  ;;

tmpname)
  # Four processes at once, 300 names each: no name twice, none with a forbidden character.
  for i in 1 2 3 4; do "$PLINTH" path tmpname 'pl<x>' -n 300 >"names$i" & done
  wait
  cat names1 names2 names3 names4 >all
  expect "1200 names" test "$(wc -l <all)" = 1200
  expect "all distinct" test "$(sort -u all | wc -l)" = 1200
  expect "no forbidden characters" test -z "$(grep '[/*?"<>|]' all)"
  expect "prefix kept, fixed" grep -q 'pl_x_' names1
  TMP="$WORK" "$PLINTH" path tmpname tp >inwork
  expect "folder from TMP" grep -qF "$(printf '%s' "$WORK" | tr / '\\')\\tp" inwork
  ;;

find)
  mkdir -p 'tree/sub/deep' 'tree/sp ace' 'tree/odd\dir'
  : >tree/x.txt; : >tree/skip.log; : >tree/sub/y.TXT; : >tree/sub/deep/z.txt
  : >'tree/sp ace/s.txt'; : >'tree/odd\dir/o.txt'; : >"tree/caf$(printf '\351').txt"
  ln -s .. tree/sub/loop
  T="$WORK/tree"
  check_sorted "flat" 0 "$T\\\\x.txt\n$T\\\\caf\351.txt\n" find "$T" '*.txt'
  check_sorted "flat all files" 0 "$T\\\\x.txt\n$T\\\\skip.log\n$T\\\\caf\351.txt\n" find "$T"
  check_sorted "flat dirs" 0 "$T\\\\sub\n$T\\\\sp ace\n$T\\\\odd\\\\dir\n" find "$T" --dirs --no-files
  check_sorted "recursive" 0 \
    "$T\\\\x.txt\n$T\\\\caf\351.txt\n$T\\\\sub\\\\y.TXT\n$T\\\\sub\\\\deep\\\\z.txt\n$T\\\\sp ace\\\\s.txt\n$T\\\\odd\\\\dir\\\\o.txt\n" \
    find "$T" '*.txt' --recurse
  check_sorted "recursive dirs only" 0 \
    "$T\\\\sub\n$T\\\\sub\\\\deep\n$T\\\\sub\\\\loop\n$T\\\\sp ace\n$T\\\\odd\\\\dir\n" \
    find "$T" --recurse --dirs --no-files
  check_args "nothing found" 1 '' find "$T" '*.none'
  # Pre-order: a folder's files come before its subfolders' entries.
  "$PLINTH" find "$T/sub" --recurse --dirs >order
  expect "pre-order" test "$(head -1 order)" = "$T/sub\\y.TXT"
  ;;

env)
  check_args "expand unset" 0 'x%%PL_T%%y %%NOPE%%\n' env expand 'x%PL_T%y %NOPE%'
  PL_T='C:\T' check_args "expand set" 0 'xC:\\Ty %%NOPE%% 50%%\n' env expand 'x%pl_t%y %NOPE% 50%'
  PL_A=1 PL_B=2 check_args "expand adjacent" 0 '12 1PL_B%%\n' env expand '%PL_A%%PL_B% %PL_A%PL_B%'
  PL_FOO='q:\pldir' PL_BAR='Q:\PLDIR\sub' check_args "collapse longest" 0 '%%PL_BAR%%\\x\n' \
    env collapse 'q:\pldir\sub\x'
  PL_FOO='q:\pldir' check_args "collapse all" 0 '%%PL_FOO%%\\a;%%PL_FOO%%\\b\n' \
    env collapse 'Q:\pldir\a;q:\PLDIR\b'
  check_args "collapse none" 1 '\001x\n' env collapse "$(printf '\001x')"
  ;;

errors)
  : >afile
  check_stderr "missing folder" 2 "'$WORK/none' does not exist" find "$WORK/none"
  check_stderr "file for folder" 2 "is a file, not a folder" find "$WORK/afile"
  check_stderr "open quote" 2 "never closes" path split '"abc -x'
  check_stderr "bad count" 2 "count" path tmpname p -n 0
  check_stderr "unknown command" 2 "'nosuch' is not a 'plinth path' command" path nosuch
  ;;

progress)
  mkdir big
  for d in $(seq 1 40); do mkdir "big/d$d"; (cd "big/d$d" && touch $(seq -f 'f%g.txt' 1 50)); done
  "$PLINTH" find big --recurse >plain.txt 2>plain.err
  PLINTH_PROGRESS_DELAY_MS=0 script -qec "'$PLINTH' find big --recurse >tty.txt" /dev/null \
    </dev/null >typescript
  expect "no progress when stderr is not a terminal" test ! -s plain.err
  expect "progress on a terminal" grep -q 'listing' typescript
  expect "progress leaves the output alone" cmp -s plain.txt tty.txt
  expect "2000 files" test "$(wc -l <plain.txt)" = 2000
  ;;

*) unknown_group ;;
esac

finish
