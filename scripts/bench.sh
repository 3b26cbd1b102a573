#!/usr/bin/env bash
# Builds the benchmarks in Release and runs them all: the program's own costs, every exchange against the
# simulator at 9600 baud, and the whole program's start-up, memory and processor use. Prints the table and
# writes it to docs/PERFORMANCE.md. Takes about six minutes; not part of CI.
# Usage: bash scripts/bench.sh   (TANKDEF_BENCH_BUILD_DIR, TANKDEF_BENCH_JOBS to change the defaults)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
bash scripts/bootstrap.sh
command -v python3 >/dev/null || { echo "bench.sh: python3 is needed for the report" >&2; exit 1; }

build="${TANKDEF_BENCH_BUILD_DIR:-build-bench}"
jobs="${TANKDEF_BENCH_JOBS:-2}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTANKDEF_BENCH=ON >/dev/null
cmake --build "$build" --parallel "$jobs" --target bench_micro bench_e2e bench_program tankdef-sim

export QT_QPA_PLATFORM=offscreen
work="$(mktemp -d)"
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

echo "== 1/3 micro-benchmarks" >&2
"$build/bench/bench_micro" --benchmark_min_time=0.5 --benchmark_out="$work/micro.json" \
  --benchmark_out_format=json >&2

echo "== 2/3 exchanges against the simulator at line rate (about 3 minutes)" >&2
"$build/bench/bench_e2e" >"$work/e2e.txt" || echo "bench.sh: an exchange did not complete" >&2
cat "$work/e2e.txt" >&2

echo "== 3/3 the whole program (about 3 minutes)" >&2
program="$build/bench/bench_program"
"$program" make-state "$work/state.json"
TANKDEF_COM1="$work/no-such-device" "$program" startup-runs 7 >"$work/program.txt"
"$build/sim/tankdef-sim" --line-rate --state "$work/state.json" --link "$work/com1" >/dev/null &
sim_pid=$!
for _ in $(seq 100); do [ -e "$work/com1" ] && break; sleep 0.05; done
TANKDEF_COM1="$work/com1" TANKDEF_BENCH_WITH_CONTROLLER=1 "$program" startup-runs 7 >>"$work/program.txt"
TANKDEF_COM1="$work/com1" "$program" session >>"$work/program.txt" || echo "bench.sh: the session failed" >&2
cat "$work/program.txt" >&2

python3 - "$work" "$here/docs/PERFORMANCE.md" <<'PY'
import json, os, platform, subprocess, sys, datetime

work, out_path = sys.argv[1], sys.argv[2]
BYTE = 10 / 9600  # seconds a byte takes on the line

def machine():
    model = "unknown"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    mem_kb = 0
    with open("/proc/meminfo") as f:
        for line in f:
            if line.startswith("MemTotal"):
                mem_kb = int(line.split()[1])
    load = os.getloadavg()
    return [
        ("CPU", model),
        ("Cores", str(os.cpu_count())),
        ("Memory", f"{mem_kb / 1024 / 1024:.1f} GiB"),
        ("Kernel", platform.release()),
        ("Date", datetime.datetime.now().strftime("%Y-%m-%d %H:%M")),
        ("Load average at the end", f"{load[0]:.2f} {load[1]:.2f} {load[2]:.2f}"),
    ]

def lines_of(name, prefix):
    rows = []
    with open(os.path.join(work, name)) as f:
        for line in f:
            if line.startswith(prefix + " "):
                rows.append(json.loads(line[len(prefix) + 1:]))
    return rows

def fmt_time(seconds):
    if seconds >= 1:
        return f"{seconds:.3f} s"
    if seconds >= 1e-3:
        return f"{seconds * 1e3:.3f} ms"
    if seconds >= 1e-6:
        return f"{seconds * 1e6:.2f} µs"
    return f"{seconds * 1e9:.1f} ns"

UNIT = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
micro = json.load(open(os.path.join(work, "micro.json")))["benchmarks"]
e2e = lines_of("e2e.txt", "E2E")
program = lines_of("program.txt", "PROGRAM")

out = []
out.append("# Performance\n")
out.append("Written by `bash scripts/bench.sh` (Release build, offscreen platform). One run; the figures move "
           "with the machine's load, the ratios much less.\n")
out.append("| Machine | |\n|---|---|")
for key, value in machine():
    out.append(f"| {key} | {value} |")

out.append("\n## Goals\n")
goals = []

# Receive path against the line time of the same bytes.
receive = {b["name"]: b for b in micro if b["name"].startswith("BM_receive_table")}
for name, b in sorted(receive.items()):
    seconds = b["real_time"] * UNIT[b["time_unit"]]
    line_time = b["bytes"] * BYTE
    if name.startswith("BM_receive_table/"):
        piece = name.split("/")[1]
        goals.append((f"2000-line table received and decoded, {piece}-byte pieces (recording window)",
                      "< 1 % of line time", f"{100 * seconds / line_time:.3f} %", seconds / line_time < 0.01))
for name, b in sorted(receive.items()):
    if name.startswith("BM_receive_table_window/"):
        seconds = b["real_time"] * UNIT[b["time_unit"]]
        piece, preload = name.split("/")[1:3]
        what = "one line per delivery, console repainted after each" if piece == "14" else f"{piece}-byte pieces"
        goals.append((f"the same into the real window, {what}, console holding {preload} lines",
                      "(reported)", f"{100 * seconds / (b['bytes'] * BYTE):.2f} % of line time", None))

for row in e2e:
    floor = row["floor_s"]
    allowed = max(0.02 * floor, 0.005)
    gap = row["measured_s"] - floor
    goals.append((f"exchange: {row['name']}", "within 2 % or 5 ms of floor",
                  f"{row['measured_s'] / floor:.4f} × floor ({gap * 1e3:+.1f} ms)",
                  row["ok"] and abs(gap) <= allowed))

for row in program:
    if row["figure"] == "startup":
        where = "controller on COM1" if row.get("controller") else "no controller"
        if row["ok"]:
            goals.append((f"start to main window shown ({where}), median of {len(row['runs_ms'])}",
                          "< 300 ms", f"{row['median_ms']:.0f} ms (min {row['min_ms']:.0f}, max {row['max_ms']:.0f})",
                          row["median_ms"] < 300))
        else:
            goals.append((f"start to main window shown ({where})", "< 300 ms", "did not start", False))
    if row["figure"] == "session":
        idle = row["idle_cpu_s"] / row["idle_wall_s"]
        write = row["write_cpu_s"] / row["write_wall_s"]
        goals.append(("processor while idle for 10 s", "< 1 %", f"{100 * idle:.3f} % ({row['idle_cpu_s'] * 1e3:.0f} ms)",
                      row["ok"] and idle < 0.01))
        goals.append(("processor during a 2000-row table write", "well under one core",
                      f"{100 * write:.2f} % of a core ({row['write_cpu_s']:.2f} s in {row['write_wall_s']:.1f} s)",
                      row["ok"] and write < 0.10))
        goals.append(("peak resident memory after a 2000-row table read and write", "< 80 MB",
                      f"{row['peak_rss_kb'] / 1024:.1f} MB", row["ok"] and row["peak_rss_kb"] / 1024 < 80))

out.append("| Figure | Goal | Result | Met |\n|---|---|---|---|")
for what, goal, result, met in goals:
    mark = "" if met is None else ("yes" if met else "**no**")
    out.append(f"| {what} | {goal} | {result} | {mark} |")

out.append("\n## Exchanges against the simulator at 9600 baud\n")
out.append("Through the real window set, the controller simulator pacing its replies at 1.0417 ms a byte over a "
           "pseudo-terminal. *Floor*: the pacing waits (0.02 s before every frame, 0.1 s after every 20th "
           "character, 0.1 s before a follow-up) and the bytes on the line in each direction, a burst travelling "
           "while the transmitter pauses. A pseudo-terminal carries the program's own bytes at once, so a run "
           "can end below the floor by the line time of each frame's last partial burst; *pty floor* is the "
           "floor with the sent bytes free, and *overhead* what the program adds to it.\n")
out.append("| Exchange | Measured | Floor | Ratio | Pty floor | Overhead | Waits | Bytes sent | Bytes received | Frames |")
out.append("|---|---|---|---|---|---|---|---|---|---|")
for row in e2e:
    out.append(f"| {row['name']}{'' if row['ok'] else ' (FAILED)'} | {row['measured_s']:.4f} s | {row['floor_s']:.4f} s | "
               f"{row['measured_s'] / row['floor_s']:.4f} | {row['pty_floor_s']:.4f} s | "
               f"{(row['measured_s'] - row['pty_floor_s']) * 1e3:+.1f} ms | {row['waits_s']:.2f} s | "
               f"{row['sent_bytes']} | {row['received_bytes']} | {row['frames']} |")

out.append("\n## Micro-benchmarks\n")
out.append("Google Benchmark, wall time per iteration; per line and per byte where the case has lines. The "
           "receive path runs `Tcf::port1_oldReceiveCallBack` with the port and pauses as no-ops, first with a "
           "recording window, then with the real `Tdefs` and `Tf_avanz` (offscreen).\n")
out.append("| Benchmark | Time | CPU | Per line | Per byte |\n|---|---|---|---|---|")
for b in micro:
    if b.get("run_type") == "aggregate":
        continue
    t = b["real_time"] * UNIT[b["time_unit"]]
    c = b["cpu_time"] * UNIT[b["time_unit"]]
    per_line = fmt_time(t / b["lines"]) if b.get("lines") else ""
    per_byte = fmt_time(t / b["bytes"]) if b.get("bytes") else ""
    label = f" ({b['label']})" if b.get("label") else ""
    out.append(f"| {b['name']}{label} | {fmt_time(t)} | {fmt_time(c)} | {per_line} | {per_byte} |")

text = "\n".join(out) + "\n"
notes = ""
old = open(out_path).read() if os.path.exists(out_path) else ""
marker = "\n## Notes\n"
if marker in old:
    notes = old[old.index(marker):]
with open(out_path, "w") as f:
    f.write(text + notes)
print(text)
PY
