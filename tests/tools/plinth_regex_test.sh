#!/usr/bin/env bash
# Runs the plinth regex commands on real inputs and checks their output bytes and exit status.
# Usage: plinth_regex_test.sh PLINTH GROUP
#   (GROUP: find, replace, inplace, errors, progress)
source "$(dirname "$0")/Harness.sh"

case $GROUP in
find)
  check "matching lines" 0 'hello world\nHELLO\n' 'hello world\nfoo\nHELLO\n' regex find -i 'hel+o'
  check "case matters without -i" 0 'hello world\n' 'hello world\nfoo\nHELLO\n' regex find 'hel+o'
  check "anchors are line ends" 0 'ab\n' 'ab\nxab\nabx\n' regex find '^ab$'
  check "offsets of every match" 0 '0\n3\n5\n' 'aa\naab' regex find -o 'a+|b'
  check "offsets after an empty match move on" 0 '0\n1\n2\n3\n' 'xyz' regex find -o 'q*'
  check "nothing found" 1 '' 'abc\n' regex find 'z'
  check "last line without line feed" 0 'tail\n' 'head\ntail' regex find 'ai'
  check "a NUL ends what is searched of a line" 1 '' 'ab\0cd\n' regex find 'cd'
  printf 'one\ntwo\n' >a.txt
  printf 'three\n' >b.txt
  check "several files are prefixed" 0 'a.txt:two\nb.txt:three\n' '' regex find 't' a.txt b.txt
  ;;

replace)
  check "groups swapped" 0 '1=x, 22=y\n' 'x=1, y=22\n' regex replace '([a-z])=([0-9]+)' '\2=\1'
  check "replacement not searched again" 0 'aaaaaa' 'aaa' regex replace a aa
  check "anchor at every resume point" 0 'bbb\nbxa\n' 'aaa\naxa\n' regex replace '^a' b
  check "empty matches" 0 '_a_b_c_\n' 'abc\n' regex replace 'x*' _
  check "ampersand and escapes" 0 '<ab> & \\\n' 'ab\n' regex replace 'ab' '<&> \& \\'
  check "stops at a replacement equal to the line" 1 'abc\n' 'abc\n' regex replace abc ABC
  check "nothing to replace" 1 'abc\n' 'abc\n' regex replace z y
  check "NUL bytes pass through" 0 'b\0a\n' 'a\0a\n' regex replace a b
  printf 'k=v\n' >c.txt
  "$PLINTH" regex replace -c '=' ': ' c.txt >out.txt 2>count.txt
  expect "count on stderr" grep -q '1 replacement in' count.txt
  expect "count leaves the output alone" cmp -s out.txt <(printf 'k: v\n')
  ;;

inplace)
  printf 'x=1\ny=2\n' >conf.txt
  printf 'nothing\n' >same.txt
  check "in place writes nothing to stdout" 0 '' '' regex replace --in-place '([a-z])=' '\1: ' conf.txt same.txt
  expect "file rewritten" cmp -s conf.txt <(printf 'x: 1\ny: 2\n')
  expect "backup keeps the original" cmp -s conf.txt.bak <(printf 'x=1\ny=2\n')
  expect "untouched file gets no backup" test ! -e same.txt.bak
  check "backup suffix" 0 '' '' regex replace --in-place --backup-suffix .orig ': ' = conf.txt
  expect "suffixed backup" cmp -s conf.txt.orig <(printf 'x: 1\ny: 2\n')
  check_stderr "standard input cannot be rewritten" 2 "cannot rewrite standard input" \
    regex replace --in-place a b -
  ;;

errors)
  check_stderr "pattern that does not compile" 2 "PATTERN 'a**' does not compile" regex find 'a**'
  check_stderr "replace with a bad pattern" 2 "unbalanced" regex replace '(a' b
  check_stderr "missing file" 2 "missing.txt" regex find a missing.txt
  check_stderr "missing template" 2 "TEMPLATE" regex replace a
  ;;

progress)
  # Progress shows only on a terminal, and never mixes into the output.
  head -c 12000000 /dev/zero | tr '\0' 'a' | fold -w 100 >large.txt
  "$PLINTH" regex replace 'a+' b large.txt >plain.txt 2>plain.err
  PLINTH_PROGRESS_DELAY_MS=0 script -qec "'$PLINTH' regex replace 'a+' b large.txt >tty.txt" /dev/null \
    </dev/null >typescript
  expect "no progress when stderr is not a terminal" test ! -s plain.err
  expect "a bar on a terminal" grep -q '\] *[0-9]*%' typescript
  expect "progress leaves the output alone" cmp -s plain.txt tty.txt
  expect "one b per line" test "$(sort -u plain.txt)" = b
  ;;

*) unknown_group ;;
esac

finish
