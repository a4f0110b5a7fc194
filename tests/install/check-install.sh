#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks that every file lands where a desktop
# looks for it, and that the desktop entry and the AppStream metainfo are valid.
set -euo pipefail
build=$1
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT

DESTDIR=$dest cmake --install "$build" --prefix /usr > /dev/null

expected=(
  usr/bin/quirlbild
  usr/share/applications/de.quirlbild.Quirlbild.desktop
  usr/share/metainfo/de.quirlbild.Quirlbild.metainfo.xml
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
exit $status
