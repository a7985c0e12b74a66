#!/usr/bin/env bash
# Runs the plinth host's field, quoting, text-shift and hexadecimal commands on real inputs and
# checks their output bytes and exit status.
# Usage: plinth_strings_test.sh PLINTH GROUP   (GROUP: fields, quoting, shift, hex, errors)
source "$(dirname "$0")/Harness.sh"

case $GROUP in
fields)
  check "field per line" 0 'c\n\n' 'a,b,,c\nx,y\n' text field , 3
  check "empty field between delimiters" 0 '\n' 'a,b,,c\n' text field , 2
  check "text delimiter" 0 'y\n' 'x::y::z\n' text field :: 1
  check "last line without a line feed" 0 'b\nd\n' 'a,b\nc,d' text field , 1
  check "escaped tab delimiter" 0 'b\n' 'a\tb\n' text field -e '\t' 1
  check "whole input as one text" 0 'b\n' 'a\nb\nc' text field --whole -e '\n' 1
  check "counts" 0 '4\n1\n1\n2\n' 'a,b,,c\n\nabc\na,\n' text count ,
  check "NUL bytes in a line pass through" 0 'b\0c\n' 'a,b\0c\n' text field , 1
  check "delimited" 0 'b\n\n' 'x[a]y[b]\nx[a\n' text delimited '[' ']' 1
  check "delimited, same open and close" 0 ' \n' '#a# #b#\n' text delimited '#' '#' 1
  check "no input, no output" 0 '' '' text count ,
  ;;

quoting)
  check "quote" 0 '"abc"\n"d"\n""\n' 'abc\n"d"\n\n' text quote
  check "unquote" 0 'abc\nd"\n\n' '"abc"\nd"\n"\n' text unquote
  check "other quote character" 0 '#a#\n' 'a\n' text quote -q '#'
  check "escaped quote character" 0 'a\n' '\ta\t\n' text unquote -e -q '\t'
  ;;

shift)
  check "encode" 0 'a\303&' 'abc' text encode
  check "decode" 0 'abc' 'a\303&' text decode
  check "one character unchanged" 0 'q' 'q' text encode
  printf 'The quick brown fox\njumps over the lazy dog\n' >prose.txt
  "$PLINTH" text encode prose.txt >prose.enc && "$PLINTH" text decode prose.enc >prose.dec
  expect "decode undoes encode" cmp -s prose.txt prose.dec
  check_stderr_input "a NUL cuts the result" 1 "offset 1" '9\367x' text encode
  ;;

hex)
  check "encode with separator" 0 '00,0f,10\n' '\0\017\020' hex encode -s ,
  check "encode without separator" 0 '000f10\n' '\0\017\020' hex encode
  check "encode wrapped" 0 '01,ab,\\\nff\\\n' '\001\253\377' hex encode -s , -w 1
  check "encode empty input" 0 '' '' hex encode -s ,
  check "decode" 0 '\0\017\020' '00,0f,10\n' hex decode -s ,
  check "decode wrapped text" 0 '\001\253\377' '01,ab,\\\nff\\\n' hex decode -s ,
  check "decode odd last character" 0 '\377\001' 'FF1' hex decode
  check "decode with escaped separator" 0 '\001\002' '01\n02\n' hex decode -e -s '\n'
  head -c 100000 /dev/urandom >random.bin
  for sep in '' ',' ', ' '::'; do
    for wrap in 0 1 7 16; do
      "$PLINTH" hex encode -s "$sep" -w $wrap random.bin -o random.hex &&
        "$PLINTH" hex decode -s "$sep" random.hex -o random.back
      expect "round trip, separator '$sep', wrap $wrap" cmp -s random.bin random.back
    done
  done
  # Past the size the host encodes in one piece: the seams must not show.
  head -c 2200000 /dev/urandom >large.bin
  for wrap in 0 7 16; do
    "$PLINTH" hex encode -s , -w $wrap large.bin -o large.hex &&
      "$PLINTH" hex decode -s , large.hex -o large.back
    expect "round trip of several pieces, wrap $wrap" cmp -s large.bin large.back
  done
  expect "xxd reads the text without separators" \
    cmp -s <("$PLINTH" hex encode large.bin | xxd -r -p) large.bin
  ;;

errors)
  check_stderr_input "not hexadecimal" 2 "not hexadecimal" 'zz,01' hex decode -s ,
  check_stderr_input "bad wrap" 2 "wrap" '' hex encode -w -1
  check_stderr_input "missing input names the file" 2 "nope.bin" '' hex encode nope.bin
  check_stderr_input "quote of two bytes" 2 "exactly one byte" 'a\n' text quote -q ab
  check_stderr_input "empty delimiter" 2 "DELIMITER is empty" 'a\n' text field '' 0
  check_stderr_input "field number not a number" 2 "N" 'a\n' text field , x
  check_stderr_input "unknown command" 2 "'fields' is not a 'plinth text' command" '' text fields , 1
  ;;

*) unknown_group ;;
esac

finish
