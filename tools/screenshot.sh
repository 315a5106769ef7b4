#!/usr/bin/env bash
# Opens the tester under Xvfb and saves a PNG of its window, for reviewing the layout by eye.
# Usage: tools/screenshot.sh BUILD_DIR OUT.png
# Exits non-zero unless the window appears with the title "Kelvor Tester" and a 729 x 695
# client area.
set -euo pipefail
build=${1:-build}
out=${2:-kelvor-tester.png}
# Xvfb picks a free display itself and writes its number once it accepts connections, so the
# tester never lands on another user's X server.
ready=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$ready" >/dev/null 2>&1 &
xvfb=$!
tester_pid=
cleanup() {
  [ -n "$tester_pid" ] && kill "$tester_pid" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -f "$ready"
}
trap cleanup EXIT
for _ in $(seq 100); do
  [ -s "$ready" ] && break
  kill -0 "$xvfb" 2>/dev/null || { echo "screenshot: Xvfb did not start" >&2; exit 1; }
  sleep 0.1
done
[ -s "$ready" ] || { echo "screenshot: Xvfb did not come up within 10 s" >&2; exit 1; }
export DISPLAY=:$(head -n1 "$ready")
QT_QPA_PLATFORM=xcb "$build/bin/kelvor-tester" &
tester_pid=$!
win=
for _ in $(seq 100); do
  win=$(xdotool search --name '^Kelvor Tester$' 2>/dev/null | head -n1 || true)
  [ -n "$win" ] && break
  sleep 0.1
done
[ -n "$win" ] || { echo "screenshot: no window titled 'Kelvor Tester' appeared" >&2; exit 1; }
sleep 0.5  # let the first paint finish
geometry=$(xwininfo -id "$win" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}')
import -window "$win" "$out"
echo "screenshot: window 'Kelvor Tester' ${geometry} saved to $out"
[ "$geometry" = "729x695" ] || { echo "screenshot: expected 729x695" >&2; exit 1; }
