#!/usr/bin/env bash
# Builds the .deb, unpacks it into a scratch root and drives the unpacked program like a person
# would, in a real window on a virtual screen: pick "Vector", Enter Text, type, save, Launch Effect.
# Passes when the content file holds exactly the typed bytes and the movie reports that text.
# usage: deb_road.sh <build dir>
set -euo pipefail
build=$(cd "$1" && pwd)
source "$(dirname "$0")/../support/xscreen.sh"

(cd "$build" && cpack -G DEB -B "$work/pkg" >/dev/null) || fail "cpack could not build the package"
deb=$(ls "$work"/pkg/*.deb)
# Debian's own checks: no error and no warning (lintian as Debian 12 ships it).
lintian --fail-on error,warning --tag-display-limit 0 "$deb" "$work"/pkg/*.ddeb >"$work/lintian.txt" 2>&1 ||
    fail "lintian finds faults in the package: $(cat "$work/lintian.txt")"
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6webenginewidgets6 libqt6webenginecore6-bin libmicrohttpd12 libqt6widgets6 qt6-qpa-plugins; do
    grep -q "$needed" <<<"$depends" || fail "the package does not depend on $needed: $depends"
done
dpkg -x "$deb" "$work/root"
program="$work/root/usr/bin/lumenquill"
data="$work/root/usr/share/lumen-quill"
[ -x "$program" ] || fail "no program in the package"
for f in ruffle/ruffle.js "drive_c/lumenquill/vector/vector.swf" "drive_c/lumen quill/tutorial/TUTORIAL.HTM"; do
    [ -f "$data/$f" ] || fail "the package lacks $f"
done
for f in publish/page.html publish/folder.html publish/start.js; do
    [ -f "$data/$f" ] || fail "the package lacks $f"
done
ls "$data"/publish/player/*.wasm.gz >/dev/null 2>&1 || fail "the package lacks the player to embed"
[ -f "$work/root/usr/share/applications/org.lumenquill.LumenQuill.desktop" ] || fail "no desktop entry"
[ -f "$work/root/usr/share/metainfo/org.lumenquill.LumenQuill.metainfo.xml" ] || fail "no metainfo"
ls "$data"/ruffle/*.map >/dev/null 2>&1 && fail "the package carries source maps"
for f in LICENSE_MIT LICENSE_APACHE; do
    [ -f "$data/ruffle/$f" ] || fail "the movie player's licence $f does not travel with it"
done
doc="$work/root/usr/share/doc/lumen-quill"
grep -q '^License: MIT or Apache-2.0$' "$doc/copyright" || fail "the copyright file names no licence for Ruffle"
zcat "$doc/changelog.gz" | head -n1 | grep -q "^lumen-quill ($(dpkg-deb -f "$deb" Version))" ||
    fail "the changelog does not start with this version"
man -l "$work/root/usr/share/man/man1/lumenquill.1.gz" 2>/dev/null | grep -q -- '--publish-file' ||
    fail "the manual page does not document the command line"
file -L "$program" | grep -q ', stripped' || fail "the program is not stripped"

# A virtual screen without a window manager: windows open where the program puts them.
start_screen
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --no-first-run --disable-background-networking --disable-component-update --disable-sync --disable-dev-shm-usage"

(cd "$work" && exec "$program" >"$work/program.log" 2>&1) &
pids+=($!)
main=$(timeout 30 xdotool search --sync --onlyvisible --name '^LUMEN QUILL $' | head -n1) || fail "the main window did not open"
# The first start lays out the templates from the package.
drive="$work/home/lumen-quill/drive_c"
wait_for 20 test -f "$drive/lumenquill/vector/vector.swf" || fail "the templates were not laid out"
# The player loads into the window meanwhile: the window keeps its id, and what is typed into the
# effect list while it loads arrives whole (Enter Text opens the Vector editor only then).
# The main window's controls sit at fixed places below the menu bar.
read -r _ menu_height < <(xwininfo -id "$main" | awk '/Height:/ {print 0, 552 - $2}')
click() { xdotool mousemove --window "$main" "$1" $(( $2 - menu_height )) click 1; }
click 60 85                      # the effect list's text field
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 20 "Vector"
click 89 470                     # Enter Text
editor=$(timeout 20 xdotool search --sync --onlyvisible --name '^vector intro options$' | head -n1) ||
    fail "Enter Text opened no editor"
# Into the first box; Tab leads from it to its own save button.
xdotool mousemove --window "$editor" 100 52 click 1
xdotool key --clearmodifiers ctrl+a
# Plain letters only: typing a character the virtual keyboard lacks races with its remapping.
# Accented texts are the player tests' business.
xdotool type --delay 20 "aboutus=Fresh bread daily"
xdotool key Tab space
timeout 20 xdotool search --sync --onlyvisible --name '^Lumen quill$' >/dev/null ||
    fail "no confirmation after the save"
xdotool key Return

expected=$(printf 'aboutus=Fresh bread daily\r\n' | od -An -tx1)
actual=$(od -An -tx1 "$drive/lumenquill/vector/aboutus.txt")
[ "$actual" = "$expected" ] || fail "the content file holds$actual, expected$expected"

click 89 508                     # Launch Effect
wait_for 60 grep -qE 'movie fscommand: lq_loaded .*(partial|complete)\|Vector\|' "$work/program.log" ||
    fail "the movie did not report its texts"
grep 'movie fscommand: lq_loaded' "$work/program.log" | grep -q "aboutus=[0-9]*:Fresh bread daily" ||
    fail "the movie did not show the saved text: $(grep lq_loaded "$work/program.log")"

# The packaged program publishes that text without a display, from its installed files.
env -u DISPLAY "$program" --publish-file Vector "$work/Vector.html" >"$work/publish.log" 2>&1 ||
    fail "publishing failed: $(cat "$work/publish.log")"
grep -q "<p>Fresh bread daily</p>" "$work/Vector.html" || fail "the page lacks the saved text"
echo "PASS: the packaged program saved the text, the movie played it and it was published"
