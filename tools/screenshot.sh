#!/usr/bin/env bash
# Retakes the README's picture of the main window: starts verdaxel on a
# virtual display, waits for its window and saves that window alone.
# Usage: tools/screenshot.sh [path/to/verdaxel] [output.png]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
binary=$(realpath "${1:-$root/build/app/verdaxel}")
out=$(realpath -m "${2:-$root/docs/main-window.png}")

if [ -z "${VERDAXEL_SCREENSHOT_DISPLAY:-}" ]; then
  exec env VERDAXEL_SCREENSHOT_DISPLAY=1 \
    xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$binary" "$out"
fi

"$binary" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT

window=""
for _ in $(seq 100); do
  window=$(xdotool search --all --onlyvisible --pid "$pid" --name '^Verdaxel$' 2>/dev/null | head -n 1) || true
  [ -n "$window" ] && break
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "screenshot: no window titled Verdaxel appeared" >&2
  exit 1
fi
sleep 0.5  # the first expose is drawn by then

mkdir -p "$(dirname "$out")"
import -window "$window" -strip "$out"
xdotool key --window "$window" Escape 2>/dev/null || true
wait "$pid"
trap - EXIT
echo "screenshot: $out"
