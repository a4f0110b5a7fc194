#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a temporary DESTDIR and checks that every file lands where a desktop
# looks for it, that the desktop entry and the AppStream metainfo are valid, and that every file
# that names the version names the one project() sets.
set -euo pipefail
build=$1
version=$2
source=$3
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT

DESTDIR=$dest cmake --install "$build" --prefix /usr > /dev/null

expected=(
  usr/bin/quirlbild
  usr/share/applications/de.quirlbild.Quirlbild.desktop
  usr/share/metainfo/de.quirlbild.Quirlbild.metainfo.xml
  usr/share/man/man1/quirlbild.1.gz
  usr/share/man/de/man1/quirlbild.1.gz
  usr/share/doc/quirlbild/copyright
  usr/share/doc/quirlbild/changelog.gz
)
for size in 32 48 64 128 256; do
  expected+=("usr/share/icons/hicolor/${size}x${size}/apps/de.quirlbild.Quirlbild.png")
done
status=0
for file in "${expected[@]}"; do
  if [ ! -s "$dest/$file" ]; then echo "missing: /$file"; status=1; fi
done
[ -x "$dest/usr/bin/quirlbild" ] || { echo "not executable: /usr/bin/quirlbild"; status=1; }
unexpected=$(cd "$dest" && find . -type f | sed 's|^\./||' | sort | comm -23 - <(printf '%s\n' "${expected[@]}" | sort))
if [ -n "$unexpected" ]; then echo "unexpected files: $unexpected"; status=1; fi

for size in 32 48 64 128 256; do
  file "$dest/usr/share/icons/hicolor/${size}x${size}/apps/de.quirlbild.Quirlbild.png" |
    grep -q "PNG image data, $size x $size" || { echo "icon $size is not $size x $size"; status=1; }
done

desktop-file-validate "$dest/usr/share/applications/de.quirlbild.Quirlbild.desktop" |
  grep -v 'hint:' || true
desktop-file-validate "$dest/usr/share/applications/de.quirlbild.Quirlbild.desktop" > /dev/null ||
  status=1
appstreamcli validate --no-net "$dest/usr/share/metainfo/de.quirlbild.Quirlbild.metainfo.xml" ||
  status=1

# The manual pages render without a warning from man's formatter.
for page in usr/share/man/man1/quirlbild.1.gz usr/share/man/de/man1/quirlbild.1.gz; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$dest/$page" 2>&1 >/dev/null || true)
  if [ -n "$warnings" ]; then echo "manual page $page: $warnings"; status=1; fi
done

# One version everywhere: the program's own files are made from project(); the changelog's newest
# entry and the README are written by hand, and must agree.
zcat "$dest/usr/share/man/man1/quirlbild.1.gz" | grep -q "\"Quirlbild $version\"" ||
  { echo "the manual page does not name version $version"; status=1; }
zcat "$dest/usr/share/man/de/man1/quirlbild.1.gz" | grep -q "\"Quirlbild $version\"" ||
  { echo "the German manual page does not name version $version"; status=1; }
grep -q "<release version=\"$version\"" "$dest/usr/share/metainfo/de.quirlbild.Quirlbild.metainfo.xml" ||
  { echo "the metainfo's release is not $version"; status=1; }
head -n 1 "$source/data/doc/changelog" | grep -q "^quirlbild ($version)" ||
  { echo "the changelog's newest entry is not $version"; status=1; }
if grep -nE "quirlbild_[0-9.]+_" "$source/README.md" | grep -v "quirlbild_${version}_"; then
  echo "the README names another version than $version"; status=1
fi

# The Debian package passes lintian with no error and no warning.
if command -v lintian >/dev/null && command -v cpack >/dev/null; then
  (cd "$build" && cpack > /dev/null)
  deb=$(ls "$build"/quirlbild_*_*.deb | head -n 1)
  report=$(lintian --pedantic -I "$deb" 2>&1 | grep -v '^running with root privileges' || true)
  echo "$report"
  if echo "$report" | grep -qE '^(E|W): '; then echo "lintian reports errors or warnings"; status=1; fi
  dpkg-deb -f "$deb" Recommends | grep -qw qt6-wayland || { echo "qt6-wayland not recommended"; status=1; }
else
  echo "lintian or cpack missing: package check skipped (scripts/install-deps installs lintian)"
fi
exit $status
