#!/bin/sh
# same_output.sh NATIVE_PROGRAM COMMAND...: passes when the command (a program built for
# another system, run through its emulator) prints what the native program prints, line
# ends aside.
set -eu
native=$1
shift
expected=$("$native")
actual=$("$@" | tr -d '\r')
if [ -z "$expected" ] || [ "$expected" != "$actual" ]; then
  printf 'native build:\n%s\nthis build:\n%s\n' "$expected" "$actual" >&2
  exit 1
fi
printf '%s\n' "$actual"
