#!/usr/bin/env bash
# Runs the plinth host's run, open and filetype commands with real child programs and checks
# their output, exit status and what the children received.
# Usage: plinth_launch_test.sh PLINTH GROUP   (GROUP: run, open, filetype, errors)
source "$(dirname "$0")/Harness.sh"

export PLINTH_REGISTRY=$WORK/store/registry.db
APP_PATHS='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths'

# A child that writes its arguments, one per line, and its PATH to the file record. Its PATH
# finds no tools, so it uses the shell's own commands and /bin/mv.
cat >record.sh <<'EOF'
{ printf '%s\n' "$@"; printf 'PATH=%s\n' "$PATH"; } >"${0%/*}/record.partial"
/bin/mv "${0%/*}/record.partial" "${0%/*}/record"
EOF

# received NAME EXPECTED: the record, once the child has written it, must read EXPECTED (a
# printf format).
received() {
  local i
  for ((i = 0; i < 500; i++)); do
    [[ -e record ]] && break
    sleep 0.02
  done
  if [[ ! -e record ]]; then
    fail "$1: the child wrote no record"
  elif ! cmp -s record <(printf "$2"); then
    fail "$1: child received $(od -An -c record | head -3), expected '$2'"
  else
    passed=$((passed + 1))
  fi
  rm -f record
}

# open_with_path NAME FOLDER ARGS...: plinth open, succeeding silently, with FOLDER alone as
# the host's search path (where the desktop's opener, xdg-open, is looked for).
open_with_path() {
  local name=$1 folder=$2
  shift 2
  PATH=$folder "$PLINTH" open "$@" </dev/null >actual 2>stderr
  compare_run "$name" 0 '' $?
}

case $GROUP in
run)
  mkdir sub
  check_args "exit code" 0 'exit code 3\n' run '/bin/sh -c "exit 3"'
  check_args "working folder" 0 "$WORK/sub\nexit code 0\n" run /bin/pwd --dir sub
  check_args "current folder by default" 0 "$WORK\nexit code 0\n" run /bin/pwd
  check_args "time-out" 1 'still running after 0 s\n' run '/bin/sleep 2' --wait 0
  ;;

open)
  # No desktop opener on the search path, so the registered command is used. Its program's
  # registered search path goes in front of PATH for it.
  mkdir empty tools
  touch 'letter one.pltest'
  "$PLINTH" reg add 'HKCR\.pltest' /ve >/dev/null
  "$PLINTH" filetype register .pltest Plinth.Test "/bin/sh \"$WORK/record.sh\" \"%1\" --dropped" \
    >/dev/null
  "$PLINTH" reg add "$APP_PATHS\\sh" /v Path /d "$WORK/tools" >/dev/null
  open_with_path "opened" "$WORK/empty" 'letter one.pltest' --type .pltest
  received "registered command" "letter\none.pltest\nPATH=$WORK/tools:$WORK/empty\n"
  # A desktop that opens the document leaves the registered command alone.
  mkdir desktop
  printf '#!/bin/sh\nprintf "%%s\\n" "$@" >"%s/opened"\n' "$WORK" >desktop/xdg-open
  chmod +x desktop/xdg-open
  open_with_path "desktop" "$WORK/desktop" 'letter one.pltest' --type .pltest
  [[ $(cat opened 2>/dev/null) == "letter one.pltest" && ! -e record ]] &&
    passed=$((passed + 1)) || fail "desktop first: $(cat opened 2>/dev/null)"
  ;;

filetype)
  command='/opt/My Editor/ed "%1" -n'
  shown=${command//%/%%}  # as a printf format
  check_stderr "unknown extension" 2 'create it first with: plinth reg add HKCR\.plx /ve' \
    filetype register .plx Plinth.X "$command"
  "$PLINTH" reg add 'HKCR\.plx' /ve >/dev/null
  check_args "registered" 0 ".plx: Plinth.X, opened with $shown\n" \
    filetype register .plx Plinth.X "$command"
  check_args "stored as given" 0 \
    "HKEY_CLASSES_ROOT\\\\Plinth.X\\\\shell\\\\open\\\\command\n    (Default)    REG_SZ    $shown\n" \
    reg query 'HKCR\Plinth.X\shell\open\command' /ve
  check_stderr "other type" 2 ".plx belongs to the file type 'Plinth.X'" \
    filetype register .plx Other.Type x
  ;;

errors)
  check_stderr "empty command line" 2 "the command line is empty" run ''
  check_stderr "missing program" 2 \
    "cannot start '$WORK/missing -x': error 2, the program was not found" run "$WORK/missing -x"
  check_stderr "missing folder" 2 "error 267, the working folder does not exist" \
    run /bin/true --dir "$WORK/missing"
  check_stderr "desktop cannot open" 2 "the desktop cannot open '$WORK/missing.doc'" \
    open "$WORK/missing.doc"
  ;;

*) unknown_group ;;
esac
finish
