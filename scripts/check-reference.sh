#!/usr/bin/env bash
# Builds the API reference and checks it is whole: Doxygen must report nothing (an undocumented
# export is a warning), and the class index must list every class the library exports and
# every class template a host instantiates from the public headers.
# Usage: check-reference.sh DOXYFILE OUTPUT-FOLDER SOURCE-FOLDER
set -euo pipefail
doxyfile=$1 output=$2 source=$3

mkdir -p "$output"
rm -f "$output/warnings.log"
if ! (cd "$source" && doxygen "$doxyfile"); then
  echo "check-reference: Doxygen failed; its warnings:" >&2
  cat "$output/warnings.log" >&2 || true
  exit 1
fi
if [[ -s $output/warnings.log ]]; then
  echo "check-reference: Doxygen warned:" >&2
  cat "$output/warnings.log" >&2
  exit 1
fi

index=$output/html/annotated.html
missing=0
# Every class or struct defined at the top level of a library or framework header: the exported
# classes, the public templates and the records hosts fill in. Forward declarations end in ";".
while read -r name; do
  if ! grep -q ">${name}<" "$index"; then
    echo "check-reference: class $name is missing from the class index" >&2
    missing=1
  fi
done < <(cat "$source"/include/plinth/*.h "$source"/include/plinth/afx/*.h |
  grep -E '^(class|struct) (PLINTH_API )?[A-Za-z_]+' | grep -v ';$' | sed -E 's/.*(class|struct) (PLINTH_API )?([A-Za-z_]+).*/\3/' | sort -u)
((missing == 0)) || exit 1
echo "check-reference: no warnings; $(grep -c 'class="el"' "$index") entries in the class index"
