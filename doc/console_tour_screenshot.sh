#!/usr/bin/env bash
# Takes doc/console_tour.png: the example tour of the console functions,
# built with pkg-config against an install of this tree, in a real xterm
# under Xvfb, as it waits for a key. Needs (Debian): cmake g++ pkg-config
# xvfb xterm imagemagick.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
display=:57
cleanup() {
  kill "${xterm_pid:-}" "${xvfb_pid:-}" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

cmake -S "$src" -B "$work/build" -DBUILD_TESTING=OFF >/dev/null
cmake --build "$work/build" --target console-library >/dev/null
cmake --install "$work/build" --prefix "$work/prefix" --component development >/dev/null
export PKG_CONFIG_PATH
PKG_CONFIG_PATH=$(dirname "$(find "$work/prefix" -name marking-system-console.pc)")
# shellcheck disable=SC2046 # pkg-config's words are separate arguments
c++ "$src/examples/console_tour.cpp" $(pkg-config --cflags --libs marking-system-console) \
  -o "$work/console_tour"

Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp &
xvfb_pid=$!
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
# xterm logs what the tour writes, so the picture is taken once it waits for a key.
DISPLAY=$display xterm -geometry 80x18+0+0 -fa 'DejaVu Sans Mono' -fs 11 -bg black -fg grey90 \
  -l -lf "$work/log" -e "$work/console_tour" &
xterm_pid=$!
for _ in $(seq 100); do grep -q 'Press a key' "$work/log" 2>/dev/null && break; sleep 0.1; done
sleep 0.5  # the last lines drawn
window=$(DISPLAY=$display xdotool search --pid "$xterm_pid" | head -1)
/usr/bin/import -display "$display" -window "$window" "$src/doc/console_tour.png"
echo "doc/console_tour.png written"
