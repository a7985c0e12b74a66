#!/bin/bash
# The host as a product: its version, the help of every command, the manual page and the bash
# completion written from the command tree, the progress line, and the README's tour.
#   plinth_host_test.sh PLINTH GROUP   (GROUP: version, help, man, completion, progress, tour)
source "$(dirname "$0")/Harness.sh"

case $GROUP in
version)
  check_args "--version" 0 "plinth $("$PLINTH" --version | cut -d' ' -f2)\n" --version
  expect "a version number" grep -qE '^plinth [0-9]+(\.[0-9]+)+$' actual
  ;;

help)
  # Every command, families included, from the same tree the parser uses.
  "$PLINTH" --commands >commands
  expect "the tree lists the families" grep -qx 'plinth reg import' commands
  while read -r -a command; do
    "$PLINTH" "${command[@]:1}" --help >help 2>&1 || fail "${command[*]} --help: status $?"
    grep -q "^Example: ${command[*]}" help || fail "${command[*]} --help: no example of itself"
    grep -q '^Exit status: ' help || fail "${command[*]} --help: no exit status"
    [[ $(head -1 help) =~ ^[[:alpha:]].+[^.]$ ]] || fail "${command[*]} --help: no one-line description"
    passed=$((passed + 1))
  done <commands
  ;;

man)
  "$PLINTH" --man-page >plinth.1
  LC_ALL=C.UTF-8 groff -man -ww -z plinth.1 2>warnings
  expect "no groff warnings" test ! -s warnings
  LC_ALL=C.UTF-8 groff -man -Tascii -P-bcou plinth.1 2>warnings >page
  expect "renders without warnings" test ! -s warnings
  MANWIDTH=80 man -l plinth.1 >/dev/null 2>warnings
  expect "man shows it without complaint" test ! -s warnings
  for section in NAME SYNOPSIS DESCRIPTION COMMANDS 'EXIT STATUS' ENVIRONMENT FILES EXAMPLES; do
    expect "section $section" grep -qx "$section" page
  done
  for variable in PLINTH_REGISTRY XDG_DATA_HOME PLINTH_SCREEN; do
    expect "$variable documented" grep -q "^       $variable" page
  done
  "$PLINTH" --commands | tail -n +2 >commands
  while read -r command; do
    grep -qx "   $command" page && passed=$((passed + 1)) || fail "no section for '$command'"
  done <commands
  expect "options listed" grep -q -- '--backup-suffix SUFFIX' page
  ;;

completion)
  "$PLINTH" --bash-completion >plinth.bash
  # WORDS (the line up to the cursor, the last word being completed) and the completions.
  while IFS='|' read -r words expected; do
    got=$(bash -c 'source plinth.bash; read -r -a COMP_WORDS <<<"$1"; [[ $1 == *" " ]] && COMP_WORDS+=("")
      COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _plinth; echo "${COMPREPLY[*]}"' _ "$words")
    [[ $got == "$expected" ]] && passed=$((passed + 1)) || fail "'$words': '$got', expected '$expected'"
  done <<'TABLE'
plinth re|reg regex
plinth reg |query add delete keys walk export import
plinth text replace --i|--ignore-case --in-place
plinth privilege SeShutdownPrivilege |on off
plinth -|--help --version
plinth hex encode -o plinth.b|plinth.bash
TABLE
  ;;

progress)
  head -c 3000000 /dev/zero | tr '\0' 'a' | fold -w 100 >large.txt
  PLINTH_PROGRESS=always "$PLINTH" text replace -r aa b large.txt >forced.txt 2>forced.err
  "$PLINTH" text replace -r aa b large.txt >plain.txt 2>plain.err
  expect "no progress when stderr is not a terminal" test ! -s plain.err
  expect "a bar when forced" grep -qa "plinth: replacing in 'large.txt'  \[[#.]*\] *[0-9]*%" forced.err
  expect "the line is cleared at the end" test "$(tail -c 4 forced.err | od -An -c | tr -d ' ')" = '\r033[K'
  expect "progress leaves the output alone" cmp -s plain.txt forced.txt
  PLINTH_PROGRESS=always "$PLINTH" run 'sleep 0.3' --wait 5 >run.txt 2>run.err
  expect "a spinner while waiting" grep -qa "waiting for 'sleep 0.3' (at most 5 s)  | 0 s" run.err
  PLINTH_PROGRESS=never script -qec "'$PLINTH' text replace -r aa b large.txt >tty.txt" /dev/null \
    </dev/null >typescript
  expect "never means never" test ! -s typescript
  ;;

tour)
  export PLINTH_REGISTRY=$WORK/store.db
  bash "$(dirname "$0")/../../samples/tour.sh" "$PLINTH" >first 2>&1 || fail "first run: $(tail -5 first)"
  bash "$(dirname "$0")/../../samples/tour.sh" "$PLINTH" >second 2>&1 || fail "second run: $(tail -5 second)"
  expect "every step done" grep -q 'all 9 steps done' second
  expect "the export matches the sample" grep -q 'the same bytes as samples/tour.reg' second
  ;;

*) unknown_group ;;
esac

finish
