#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a Windows test program under Wine, for ctest: run-under-wine.sh PROGRAM.exe ARGUMENTS...
# Now and then, with several programs starting at once, Wine ends one before it has run a line of
# its own: an error status and no output at all, where every test program writes its first line
# at once. Such a start, and only such, is tried once more, and the log says so.
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
wine "$@" >"$out" 2>"$err"
status=$?
if [ "$status" -ne 0 ] && [ ! -s "$out" ] && [ ! -s "$err" ]; then
  echo "run-under-wine.sh: Wine ended $1 at its start (status $status) without a word;" \
    "starting it again" >&2
  wine "$@" >"$out" 2>"$err"
  status=$?
fi
cat "$out"
cat "$err" >&2
exit "$status"
