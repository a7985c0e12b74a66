#!/usr/bin/env bash
# Runs the built plinth host on real inputs and checks its output bytes and exit status.
# Usage: plinth_cli_test.sh PLINTH GROUP
#   (GROUP: replace, search, files, outputs, errors, progress)
source "$(dirname "$0")/Harness.sh"

# Text long enough to be cut into several pieces, one long line among short ones.
make_big_input() {
  for i in $(seq 1 20000); do echo "foo $i: Foo bar foo BAR foofoo"; done
  head -c 200000 /dev/zero | tr '\0' 'f'
  echo
  for i in $(seq 1 5000); do echo "tail $i foo"; done
}

case $GROUP in
replace)
  check "all, replacement not searched again" 0 'aaXaa' 'aXa' text replace -r a aa
  check "first only" 0 'aaXa' 'aXa' text replace --first -r a aa
  check "ignore case" 0 'xxx' 'abAbaB' text replace -i -r AB x
  check "ignore case, first only" 0 'xAbaB' 'abAbaB' text replace -i --first -r AB x
  check "pairs in listed order, not longest" 0 '1c1' 'abcab' text replace -r ab 1 -r abc 2
  check "pairs in one pass (swap)" 0 'b a' 'a b' text replace -r a b -r b a
  check "nothing replaced passes text through" 1 'hello\n' 'hello\n' text replace -r xyz q
  check "empty replacement deletes" 0 'hll\n' 'hello\n' text replace -r e '' -r o ''
  check "NUL bytes kept, both sides searched" 0 'X\0X\0\0yX' 'ab\0ab\0\0yab' text replace -r ab X
  check "escapes match across a line break" 0 'a-b\nc' 'a\nb\nc' text replace -e -r 'a\nb' 'a-b'
  check "escapes in replacement" 0 'a\tb' 'a b' text replace -e -r ' ' '\t'
  check "hex escape" 0 'A' '\001' text replace -e -r '\x01' A
  check "explicit - is standard input" 0 'y' 'x' text replace -r x y -
  check "empty input" 1 '' '' text replace -r x y

  # Long inputs go through in pieces; the result must match a whole-text replacement.
  make_big_input >big.txt
  "$PLINTH" text replace -r foo qux big.txt >ours.txt
  sed 's/foo/qux/g' big.txt >theirs.txt
  expect "big input replace" cmp -s ours.txt theirs.txt
  "$PLINTH" text replace -e -r 'foo\nfoo' '#' big.txt >ours.txt
  sed -z 's/foo\nfoo/#/g' big.txt >theirs.txt
  expect "big input, line feed" cmp -s ours.txt theirs.txt
  "$PLINTH" text replace -c -r foo qux big.txt 2>count.txt >/dev/null
  expected_count=$(grep -o foo big.txt | wc -l)
  expect "big input count: $(cat count.txt), expected $expected_count" \
    grep -qF "$expected_count replacements in 'big.txt'" count.txt
  ;;

search)
  check "first occurrence" 0 '4\n' 'hello world' text find o
  check "all, without overlaps" 0 '0\n2\n' 'aaaaa' text find -a aa
  check "ignore case" 0 '2\n' 'xxAxa' text find -i a
  check "all, ignore case" 0 '0\n3\n' 'aAbAA' text find -a -i aa
  check "start skips earlier ones" 0 '2\n' 'abab' text find -s 1 ab
  check "start at the match" 0 '2\n' 'abab' text find -s 2 ab
  check "start past the end" 1 '' 'abab' text find -s 9 ab
  check "not found" 1 '' 'abc' text find x
  check "offsets count NUL bytes" 0 '0\n3\n' 'a\0\0ab' text find -a a
  check "escaped line feed" 0 '1\n' 'a\nb' text find -e '\nb'
  check "rfind last" 0 '3\n' 'abxab' text rfind ab
  check "rfind at or before start" 0 '0\n' 'abxab' text rfind -s 2 ab
  check "rfind match may run past start" 0 '1\n' 'abc' text rfind -s 1 bc
  check "rfind ignore case" 0 '0\n' 'ab' text rfind -i AB
  check "rfind across NUL" 0 '0\n' 'ab\0x' text rfind ab
  check "rfind start on a NUL" 0 '3\n' 'x\0\0ab\0ab' text rfind -s 5 ab
  check "rfind not found" 1 '' 'abc' text rfind -s 0 bc

  make_big_input >big.txt
  "$PLINTH" text find -a foo big.txt >ours.txt
  grep -bo foo big.txt | cut -d: -f1 >theirs.txt
  expect "big input find -a" cmp -s ours.txt theirs.txt
  "$PLINTH" text find -a -i FOO big.txt >ours.txt
  grep -boi foo big.txt | cut -d: -f1 >theirs.txt
  expect "big input find -a -i" cmp -s ours.txt theirs.txt
  grep -bo foo big.txt | cut -d: -f1 | tail -1 >theirs.txt
  "$PLINTH" text rfind foo big.txt >ours.txt
  expect "big input rfind" cmp -s ours.txt theirs.txt
  # A start inside a later piece, on a match and just past one.
  for start in 700000 700001 1300007; do
    grep -bo foo big.txt | cut -d: -f1 | awk -v s=$start '$1 >= s' >theirs.txt
    "$PLINTH" text find -a -s $start foo big.txt >ours.txt
    expect "big input find -a -s $start" cmp -s ours.txt theirs.txt
    grep -bo foo big.txt | cut -d: -f1 | awk -v s=$start '$1 <= s' | tail -1 >theirs.txt
    "$PLINTH" text rfind -i -s $start FOO big.txt >ours.txt
    expect "big input rfind -i -s $start" cmp -s ours.txt theirs.txt
  done
  ;;

files)
  printf 'one fish\n' >a.txt
  printf 'two fish\n' >b.txt
  check "several inputs concatenated" 0 'one cat\ntwo cat\n' '' text replace -r fish cat a.txt b.txt
  check "several inputs prefixed" 0 'a.txt:4\nb.txt:4\n-:0\n' 'fish' text find fish a.txt b.txt -
  cp a.txt in_place.txt
  chmod 640 in_place.txt
  check "in place writes nothing to stdout" 0 '' '' text replace --in-place -r one 1 in_place.txt
  expect "in place: content and mode kept" \
    test "$(cat in_place.txt) $(stat -c %a in_place.txt)" = "1 fish 640"
  inode=$(stat -c %i in_place.txt)
  check "in place, nothing to do" 1 '' '' text replace --in-place -r absent x in_place.txt
  expect "unchanged file was rewritten" test "$(stat -c %i in_place.txt)" = "$inode"
  cp a.txt same.txt
  check "output may name the input" 0 '' '' text replace -r fish cod -o same.txt same.txt
  expect "-o onto input" test "$(cat same.txt)" = "one cod"
  check "a missing input does not stop the others" 2 'two cat\n' '' \
    text replace -r fish cat missing.txt b.txt
  check "a failed run leaves the named output alone" 2 '' '' \
    text replace -r fish cat -o same.txt b.txt missing.txt
  expect "-o after failure" test "$(cat same.txt)" = "one cod"
  expect "temporary file left: $(ls)" test -z "$(ls | grep plinth-)"
  ;;

outputs)
  # Outputs that are not plain files are written through, never replaced by one.
  printf 'one fish\n' >a.txt
  cp a.txt target.txt
  ln -s target.txt link.txt
  check "-o through a link" 0 '' '' text replace -r one 1 -o link.txt a.txt
  expect "-o keeps the link" test -L link.txt -a "$(cat target.txt)" = "1 fish"
  check "--in-place through a link" 0 '' '' text replace --in-place -r fish cod link.txt
  expect "--in-place keeps the link" test -L link.txt -a "$(cat target.txt)" = "1 cod"
  ln -s made.txt dangling.txt
  check "-o through a dangling link" 0 '' '' text replace -r one 1 -o dangling.txt a.txt
  expect "the link's target is made" test -L dangling.txt -a "$(cat made.txt)" = "1 fish"
  mkfifo pipe
  timeout 20 cat pipe >from_pipe &  # bounded, should the host never open the pipe
  check "-o to a named pipe" 0 '' '' text replace -r one 1 -o pipe a.txt
  wait
  expect "the pipe stays a pipe" test -p pipe -a "$(cat from_pipe)" = "1 fish"
  check_stderr "--in-place on a pipe" 2 "cannot rewrite 'pipe', which is not a regular file" \
    text replace --in-place -r a b pipe
  printf 'first\n' >log.txt
  "$PLINTH" text replace -r one 1 -o /dev/fd/5 a.txt 5>>log.txt
  expect "-o /dev/fd/N appends as the shell set it up" test "$(cat log.txt)" = $'first\n1 fish'
  if [[ $(id -u) == 0 ]]; then
    chown 65534:65534 a.txt
    check "--in-place as root" 0 '' '' text replace --in-place -r one 1 a.txt
    expect "--in-place keeps the owner" test "$(stat -c %u a.txt)" = 65534
  fi

  # A full disk is an error named once, however many inputs; a reader that goes away is not.
  make_big_input >big.txt
  "$PLINTH" text replace -r a b a.txt big.txt big.txt >/dev/full 2>full.err
  expect "full disk: exit status 2" test $? = 2
  expect "full disk: one message, $(cat full.err)" test "$(grep -c . full.err)" = 1
  expect "full disk: message" grep -qF "cannot write standard output: No space left on device" full.err
  for command in "text replace -r foo qux big.txt big.txt" "text find -a foo big.txt big.txt"; do
    $PLINTH $command 2>pipe.err | head -1 >/dev/null
    status=${PIPESTATUS[0]}
    expect "closed pipe, $command: exit status $status" test "$status" = 0
    expect "closed pipe, $command: $(cat pipe.err)" test ! -s pipe.err
  done
  "$PLINTH" text replace --count -r foo qux big.txt 2>count.txt | head -1 >/dev/null
  expect "closed pipe, --count still counts every one: $(cat count.txt)" \
    grep -qF "$(grep -o foo big.txt | wc -l) replacements" count.txt
  expect "temporary file left: $(ls)" test -z "$(ls | grep plinth-)"
  ;;

errors)
  check_stderr "missing file" 2 "cannot read 'missing.txt': No such file or directory" \
    text find x missing.txt
  check_stderr "folder as input" 2 "cannot read '.': Is a directory" text replace -r a b .
  check_stderr "unwritable output" 2 "cannot write 'no/such/dir/out'" \
    text replace -r a b -o no/such/dir/out -
  check_stderr "unknown option" 2 "Run 'plinth text replace --help' for usage" \
    text replace --bogus -r a b
  check_stderr "pair needs two texts" 2 "--replace" text replace -r a
  check_stderr "no subcommand" 2 "Run 'plinth text --help'" text
  check_stderr "empty text" 2 "FIND is empty" text find ''
  check_stderr "NUL cannot be searched" 2 "NUL" text find -e 'a\x00'
  check_stderr "unknown escape" 2 "unknown escape" text find -e '\q'
  check_stderr "in place on stdin" 2 "--in-place cannot rewrite standard input" \
    text replace --in-place -r a b
  check_stderr "ignore case with pairs" 2 "single -r pair" text replace -i -r a b -r c d
  check_stderr "in place and output" 2 "excludes" text replace --in-place -o x -r a b f
  for start in -1 1.5 x 99999999999999999999; do
    check_stderr "start $start" 2 "--start: '$start' is not a byte offset" text find -s "$start" a
  done
  check_stderr "mistyped command" 2 "'repalce' is not a 'plinth text' command" text repalce
  "$PLINTH" text replace --help >help.txt
  expect "replace --help lists --ignore-case" grep -q -- "--ignore-case" help.txt
  ;;

progress)
  # Progress shows only on a terminal, and never mixes into the output.
  head -c 12000000 /dev/zero | tr '\0' 'a' | fold -w 100 >large.txt
  "$PLINTH" text replace -r aa b large.txt >plain.txt 2>plain.err
  PLINTH_PROGRESS_DELAY_MS=0 script -qec "'$PLINTH' text replace -r aa b large.txt >tty.txt" /dev/null \
    </dev/null >typescript
  expect "no progress when stderr is not a terminal" test ! -s plain.err
  expect "a bar on a terminal" grep -q '\] *[0-9]*%' typescript
  expect "progress leaves the output alone" cmp -s plain.txt tty.txt
  ;;

*) unknown_group ;;
esac

finish
