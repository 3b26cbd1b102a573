#!/usr/bin/env bash
# Captures the main window as it first appears into docs/screenshot-it.png.
# Usage: bash scripts/screenshot.sh   (TANKDEF_BUILD_DIR picks the build folder holding tankdef)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
build="${TANKDEF_BUILD_DIR:-build}"
program="$build/tankdef"
if [ ! -x "$program" ]; then
  echo "No $program: build the tankdef target first." >&2
  exit 1
fi
out="$here/docs/screenshot-it.png"
mkdir -p "$here/docs"
# Inside the virtual display: start the program, wait for its window, grab the screen, stop the program.
# The capture is taken before the first status tick so the whole layout is on screen.
xvfb-run -a -s '-screen 0 1024x768x24' bash -c '
  set -euo pipefail
  "$1" &
  pid=$!
  sleep 0.8
  import -window root "$2"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
' capture "$program" "$out"
echo "Wrote $out"
