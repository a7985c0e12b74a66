#!/bin/bash
# A short tour of the plinth command: one step per subsystem, on your own registry store
# (PLINTH_REGISTRY, else ~/.local/share/plinth/registry.db). It stops at the first step that
# fails and can be run again: the registry keys it writes are the same each time, and every file
# it makes is under /tmp.
#
#   samples/tour.sh build/tools/plinth/plinth
set -euo pipefail

if [[ $# -ne 1 || ! -x $1 ]]; then
  echo "usage: $0 PATH-OF-THE-PLINTH-PROGRAM (such as build/tools/plinth/plinth)" >&2
  exit 2
fi
PLINTH=$(realpath "$1")
SAMPLES=$(cd "$(dirname "$0")" && pwd)
WORK=$(mktemp -d /tmp/plinth-tour.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"
# The log the open step and the log step write to; the tour's own, so it starts empty.
LOG=/tmp/plinth-tour.log
rm -f "$LOG"
KEY='HKCU\Software\Plinth\Tour'

step=0
heading() {
  step=$((step + 1))
  printf '\n== %d. %s\n' "$step" "$*"
}
failed() {
  printf '\nplinth tour: step %d failed (exit status %d); the output above says why.\n' \
    "$step" "$1" >&2
}
trap 'failed $?' ERR

heading "Registry: import a sample application's settings from samples/tour.reg"
"$PLINTH" reg import "$SAMPLES/tour.reg"
echo "imported into $KEY"

heading "Registry: walk the key and everything below it"
"$PLINTH" reg walk "$KEY" --recurse

heading "Registry: export it again as a registry file"
"$PLINTH" reg export "$KEY" tour-export.reg
head -8 tour-export.reg | tr -d '\r'
if cmp -s tour-export.reg "$SAMPLES/tour.reg"; then
  echo "... the same bytes as samples/tour.reg"
else
  echo "... more than samples/tour.reg: the store held other values under the key"
fi

heading "Regular expressions: shorten the Free Software Foundation's name in a copy of the GPL"
cp /usr/share/common-licenses/GPL-3 GPL-3
"$PLINTH" regex replace --in-place --count 'Free Software Foundation(, Inc\.)?' 'FSF' GPL-3 2>&1
"$PLINTH" regex find 'FSF' GPL-3 | head -3

heading "Document types: register .plinthtour and open a document through it"
# The extension key must exist before a type can be registered for it.
"$PLINTH" reg query 'HKCR\.plinthtour' >/dev/null 2>&1 || "$PLINTH" reg add 'HKCR\.plinthtour' /ve
# The registered "viewer" is plinth itself, writing the document's name to the tour's log; the
# name goes where "%1" stands.
"$PLINTH" filetype register .plinthtour Plinth.TourNotes "\"$PLINTH\" log $LOG \"%1\""
echo "Notes of the tour" >notes.plinthtour
# open asks the desktop's opener, xdg-open, first, and uses the registered command only when
# there is none or it cannot open the document. Where xdg-utils is installed, what xdg-open does
# with an unknown document differs from machine to machine (an editor, a pager in this terminal,
# an error), so this step runs without it on the search path: the registered command is then
# the one that runs, with or without a desktop.
NO_OPENER_PATH=$(
  IFS=:
  for dir in $PATH; do [[ -x $dir/xdg-open ]] || printf '%s:' "$dir"; done
)
PATH=${NO_OPENER_PATH%:} "$PLINTH" open "$WORK/notes.plinthtour" --type .plinthtour
# The viewer runs on its own; give it a few seconds to write its line.
for _ in $(seq 50); do
  grep -q notes.plinthtour "$LOG" 2>/dev/null && break
  sleep 0.1
done
echo "the registered command wrote to $LOG:"
grep notes.plinthtour "$LOG"

heading "Processes: start a program and wait for its exit code"
"$PLINTH" run 'uname -sr' --wait 10

heading "Message log: write a line and show the log"
"$PLINTH" log "$LOG" "Tour finished"
cat "$LOG"

heading "Security: the owner, group and access of the GPL's copy"
"$PLINTH" security GPL-3

heading "The operating-system version"
"$PLINTH" os

printf '\nplinth tour: all %d steps done.\n' "$step"
