#!/usr/bin/env bash
# Takes the README's screenshots under a virtual display: connected in Italian, connected in English, and
# the progress window during a table read, into docs/.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
bash scripts/bootstrap.sh
build="${TANKDEF_BUILD_DIR:-build}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target tankdef_screenshots
mkdir -p docs
QT_QPA_PLATFORM=xcb xvfb-run -a -s '-screen 0 1100x800x24' "$build/tests/e2e/tankdef_screenshots" "$here/docs"
echo "Screenshots written to docs/"
