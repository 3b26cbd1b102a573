#!/usr/bin/env bash
# Builds the program and the controller simulator, starts the simulator on a pseudo-terminal that COM1
# names, runs the program against it and stops the simulator when the window closes.
#   bash scripts/run.sh             the program against the built-in controller simulator
#   bash scripts/run.sh --no-sim    the program alone (point COM1 at a real adapter with TANKDEF_COM1)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
with_sim=1
if [ "${1:-}" = "--no-sim" ]; then with_sim=0; fi

bash scripts/bootstrap.sh
build="${TANKDEF_BUILD_DIR:-build}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target tankdef tankdef-sim

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != "offscreen" ]; then
  echo "No display found. Run it under a virtual display instead:" >&2
  echo "  xvfb-run -a -s '-screen 0 1280x800x24' bash scripts/run.sh" >&2
  exit 1
fi

if [ "$with_sim" = 0 ]; then
  exec "$build/tankdef"
fi

run_dir="$(mktemp -d "${TMPDIR:-/tmp}/tankdef.XXXXXX")"
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  rm -rf "$run_dir"
}
trap cleanup EXIT INT TERM

link="$run_dir/com1"
"$build/sim/tankdef-sim" --link "$link" --log "$run_dir/sim.log" > "$run_dir/sim.out" &
sim_pid=$!
# The simulator prints its link once it serves.
for _ in $(seq 1 100); do
  if [ -s "$run_dir/sim.out" ]; then break; fi
  if ! kill -0 "$sim_pid" 2>/dev/null; then echo "The controller simulator did not start." >&2; exit 1; fi
  sleep 0.05
done
echo "Controller simulator on $(head -n1 "$run_dir/sim.out") (COM1)"
TANKDEF_COM1="$link" "$build/tankdef"
