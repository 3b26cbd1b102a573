#!/usr/bin/env bash
# Builds the program and runs it. Usage: bash scripts/run.sh
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
bash scripts/bootstrap.sh
build="${TANKDEF_BUILD_DIR:-build}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target tankdef
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != "offscreen" ]; then
  echo "No display found. Run it under a virtual display instead:" >&2
  echo "  xvfb-run -a -s '-screen 0 1280x800x24' bash scripts/run.sh" >&2
  exit 1
fi
exec "$build/tankdef"
