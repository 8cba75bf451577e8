#!/bin/sh
# Usage: checkexports.sh LIBRARY NAMES_FILE
# Fails unless every name of NAMES_FILE is a defined dynamic symbol of LIBRARY under its plain
# name, and no exported symbol is a C++-mangled rs_ function.
set -eu
lib=$1
names=$2
symbols=$(nm -D --defined-only "$lib" | awk '{print $3}')
status=0
for name in $(cat "$names"); do
  if ! printf '%s\n' "$symbols" | grep -qx "$name"; then
    echo "not exported: $name"
    status=1
  fi
done
mangled=$(printf '%s\n' "$symbols" | grep -E '^_Z[A-Z]*[0-9]+rs_' || true)
if [ -n "$mangled" ]; then
  echo "mangled rs_ symbols:"
  echo "$mangled"
  status=1
fi
[ $status -eq 0 ] && echo "$(wc -l < "$names") names exported, none mangled"
exit $status
