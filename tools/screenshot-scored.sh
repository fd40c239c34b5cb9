#!/usr/bin/env bash
# Retakes the README's picture of a scored session: starts verdaxel on a
# virtual display, opens the bundled sample through the file chooser, saves
# the background at 1.0 s, goes back to the start, records the whole session
# and saves the window once the run has ended.
# Usage: tools/screenshot-scored.sh [build] [output.png]   (after `make sample`)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
out=$(realpath -m "${2:-$root/docs/scored-window.png}")

if [ -z "${VERDAXEL_SCREENSHOT_DISPLAY:-}" ]; then
  exec env VERDAXEL_SCREENSHOT_DISPLAY=1 \
    xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$build" "$out"
fi

# The chooser's first filter shows .wmv files: the sample alone in a folder, so named.
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cp "$build/sample/plus-maze-sample.avi" "$folder/plus-maze-sample.wmv"
cd "$folder"
"$build/app/verdaxel" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$folder"' EXIT

find_window() {
  for _ in $(seq 100); do
    w=$(xdotool search --all --onlyvisible --pid "$pid" --name "^$1\$" 2>/dev/null | head -n 1) || true
    [ -n "$w" ] && { echo "$w"; return; }
    sleep 0.1
  done
  echo "screenshot: no window titled $1" >&2
  exit 1
}
click() { xdotool mousemove --window "$1" "$2" "$3" click "${4:-1}"; sleep 0.1; }

main=$(find_window Verdaxel)
click "$main" 707 23                      # Open File
chooser=$(find_window "Open File")
sleep 0.3
xdotool mousemove --window "$chooser" 60 74 click --repeat 2 --delay 80 1  # the video, below "../"
sleep 1.5
for _ in $(seq 10); do click "$main" 780 58; done  # step forward to 1.0 s
click "$main" 727 243                     # Save Background
click "$main" 830 58                      # go to the start
click "$main" 697 411                     # Record
# The run ends when the Record button pops up; the session lasts 80 s of video.
sleep 30
mkdir -p "$(dirname "$out")"
import -window "$main" -strip "$out"
echo "screenshot: $out"
