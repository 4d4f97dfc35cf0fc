#!/usr/bin/env bash
# Installation: what `cmake --install` puts in place validates as the desktop expects, and the
# Debian package names the libraries and data the player needs.
#   test_install.sh BUILD-DIR
set -euo pipefail
build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cmake --install "$build" --prefix "$tmp/usr" >/dev/null
fail() { echo "FAIL: $*"; exit 1; }
[ -x "$tmp/usr/bin/zypo" ] || fail "no executable"
desktop-file-validate "$tmp/usr/share/applications/zypo.desktop" || fail "desktop entry"
grep -q '^Name=ジポプレーヤー$' "$tmp/usr/share/applications/zypo.desktop" || fail "desktop name"
grep -q '^Categories=.*AudioVideo;.*Player;' "$tmp/usr/share/applications/zypo.desktop" || fail "categories"
xmllint --noout "$tmp/usr/share/mime/packages/zypo-playlist.xml" || fail "mime xml"
for size in 16 32 48 256; do
  [ -s "$tmp/usr/share/icons/hicolor/${size}x${size}/apps/zypo.png" ] || fail "icon $size"
done
# The file type is recognised by the desktop's MIME database, in either letter case.
mkdir -p "$tmp/mime/packages"
cp "$tmp/usr/share/mime/packages/zypo-playlist.xml" "$tmp/mime/packages/"
update-mime-database "$tmp/mime" >/dev/null 2>&1 || fail "update-mime-database"
grep -q '\*\.rz0' "$tmp/mime/globs2" || fail "glob not registered"
grep -q 'application/x-zypo-playlist' "$tmp/mime/globs2" || fail "type not registered"
# The Debian package.
(cd "$build" && cpack -G DEB -B "$tmp/deb" >/dev/null 2>&1) || fail "cpack"
deb=$(ls "$tmp"/deb/*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libmpv2 libfluidsynth3 fluid-soundfont-gm fonts-ipafont-gothic; do
  echo "$depends" | grep -q "$lib" || fail "Depends lacks $lib: $depends"
done
dpkg-deb -c "$deb" >"$tmp/contents"
grep -q './usr/bin/zypo' "$tmp/contents" || fail "package lacks the executable"
echo "1 passed, 0 failed"
