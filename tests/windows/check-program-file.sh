#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows program file carries the icon (its 32 x 32 picture among others) and a German
# version record with file and product version VERSION, read with icoutils' wrestool, not with
# the tools that wrote them.
set -eu
exe=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

listing=$(wrestool -l "$exe")
echo "$listing"
echo "$listing" | grep -q -- "--type=14 .*--language=1031" || { echo "no German icon group"; exit 1; }
echo "$listing" | grep -q -- "--type=16 .*--language=1031" || { echo "no German version"; exit 1; }

wrestool -x --raw -t16 "$exe" > "$work/version"
strings -el "$work/version" > "$work/strings"
cat "$work/strings"
for pair in "FileVersion|$version" "ProductVersion|$version" "ProductName|Quirlbild"; do
  key=${pair%%|*}
  value=${pair#*|}
  # Each value follows its key.
  grep -A1 -x "$key" "$work/strings" | tail -n 1 | grep -qx "$value" ||
    { echo "$key is not $value"; exit 1; }
done
# The translation block names German (0x0407) in Unicode (1200 = 0x04B0).
od -An -tx1 "$work/version" | tr -d ' \n' | grep -q "0704b004" || { echo "not German"; exit 1; }

wrestool -x -t14 "$exe" > "$work/icon.ico"
icotool -l "$work/icon.ico"
icotool -l "$work/icon.ico" | grep -q -- "--width=32 --height=32" || { echo "no 32 x 32 icon"; exit 1; }
echo "icon and version record present"
