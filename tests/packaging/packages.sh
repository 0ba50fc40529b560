#!/usr/bin/env bash
# Builds the kelvo and kelvo-server packages from a built tree, unpacks them into a scratch root
# and checks that everything lands where the desktop looks for it, valid, with runtime
# dependencies only.
set -euo pipefail
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

(cd "$scratch" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >/dev/null)
kelvo=$(ls "$scratch"/out/kelvo_*.deb)
server=$(ls "$scratch"/out/kelvo-server_*.deb)

fail() { echo "FAIL: $*" >&2; exit 1; }
root=$scratch/root
dpkg -x "$kelvo" "$root"
dpkg -x "$server" "$root"

for file in usr/bin/kelvo usr/bin/kelvo-server; do
  [ -x "$root/$file" ] || fail "$file missing"
done
desktop=$root/usr/share/applications/app.kelvo.Kelvo.desktop
[ -f "$desktop" ] || fail "desktop file missing"
[ ! -e "$root/usr/share/applications/kelvo.desktop" ] || fail "old desktop file still installed"
desktop-file-validate "$desktop" || fail "desktop file invalid"
grep -qx 'Exec=kelvo toggle' "$desktop" || fail "desktop action missing"
metainfo=$root/usr/share/metainfo/app.kelvo.Kelvo.metainfo.xml
appstreamcli validate --no-net "$metainfo" >/dev/null || fail "metainfo invalid"
for size in 16 22 24 32 48 64 128 256; do
  icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/app.kelvo.Kelvo.png
  file -b "$icon" | grep -q "PNG image data, $size x $size" || fail "icon $size missing or wrong size"
done
[ -f "$root/usr/share/icons/hicolor/scalable/apps/app.kelvo.Kelvo.svg" ] || fail "scalable icon missing"

depends() { dpkg-deb -f "$1" Depends; }
depends "$kelvo" | grep -q 'libqt6widgets6' || fail "kelvo does not depend on Qt 6 Widgets: $(depends "$kelvo")"
depends "$server" | grep -q 'libqt6sql6-sqlite' || fail "kelvo-server lacks the SQLite driver"
for package in "$kelvo" "$server"; do
  if depends "$package" | grep -q -- '-dev'; then fail "$package depends on a -dev package"; fi
done
echo "packages ok: $(basename "$kelvo") $(basename "$server")"
