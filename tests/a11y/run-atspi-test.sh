#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs atspi_test.py as a screen reader sees the program: a private D-Bus session with the AT-SPI
# bus, the program under its own Xvfb with accessibility on. Exits 77 (skipped) with a message
# where a tool is missing.
set -u
program=$1
layout=$2
here=$(dirname "$0")
missing=()
for tool in dbus-run-session Xvfb xdotool /usr/libexec/at-spi-bus-launcher; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || missing+=(python3-pyatspi)
if [ ${#missing[@]} -gt 0 ]; then
  echo "skipped: missing ${missing[*]} (scripts/install-deps installs them)"
  exit 77
fi
exec dbus-run-session -- /usr/bin/python3 -u "$here/atspi_test.py" "$program" "$layout"
