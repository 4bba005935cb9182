#!/usr/bin/env bash
# Takes the README's picture: tavelo.exe, run under wine on a virtual
# display, computes the worked example and opens resultados.txt in notepad
# itself; the screen is saved as docs/notepad.png.
# Needs: build-win/tavelo.exe, wine, xvfb, xdotool, imagemagick.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
out=${1:-$top/docs/notepad.png}
work=$(mktemp -d)
trap 'kill "${xvfb_pid:-0}" 2>/dev/null || true; wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT

# A wine prefix of its own: the server stopped at the end is this script's.
export DISPLAY=:77 WINEDEBUG=-all WINEPREFIX=$work/wine-prefix
Xvfb "$DISPLAY" -screen 0 640x260x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
sleep 2

cd "$work"
# The program waits for notepad, so it runs in the background until the
# picture is taken.
wine "$top/build-win/tavelo.exe" <"$top/tests/support/worked_example/input" >/dev/null &
for _ in $(seq 60); do
  window=$(xdotool search --name 'resultados' 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  sleep 1
done
[ -n "$window" ] || { echo "notepad did not appear" >&2; exit 1; }
xdotool windowmove "$window" 0 0 windowsize "$window" 640 260
sleep 2
import -window root "$out"
echo "saved $out"
