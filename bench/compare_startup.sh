#!/usr/bin/env bash
# Start-up figures of the editor:
#   hand-over: a second `kavrelin small.png` while an editor runs, from its
#     process start to its end; it ends only once the running editor has
#     answered, which it does after queuing the file. Measured through the
#     launcher `kavrelin` and, for comparison, with the editor proper
#     `kavrelin-editor` started directly (which loads all its libraries
#     before it reaches the socket); "socket" is the exchange on the socket
#     alone (connect, send, answer), as a client that is already running
#     sees it; "libraries" counts what ldd lists for either executable.
#   open:      `kavrelin photo.jpg` (a 6000 x 4000 JPEG, quality 90) from
#     process start to the first paint of the picture in its image window
#     (KV_EXIT_AT_FIRST_PAINT ends the process there), beside djpeg decoding
#     the same file; then one run's marks on the way (KV_START_MARKS).
#     Without a display it runs offscreen; under Xvfb (when installed) too.
#
#   bench/compare_startup.sh [BUILD_DIR]
#
# BUILD_DIR is an optimised build with -DKV_BENCH=ON holding bin/kavrelin
# (default build-bench: ninja -C build-bench kavrelin kavrelin-editor
# resample_cli). Hand-over times are medians, open times best runs. RUNS
# overrides the number of runs. Needs hyperfine and libjpeg-turbo-progs.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-bench}
RUNS=${RUNS:-10}
bench_tools="hyperfine python3 cjpeg djpeg"
source "$here/common.sh"
need_binaries resample_cli
program=$build/bin/kavrelin
[ -x "$program" ] || { echo "no $program: ninja -C $build kavrelin" >&2; exit 1; }

# A user of its own, without a display: nothing waits for a person.
export XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config HOME=$work
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

"$build/bench/resample_cli" photo "$work/in.ppm" 6000 4000
cjpeg -quality 90 "$work/in.ppm" >"$work/photo.jpg"
"$build/bench/resample_cli" photo "$work/small.ppm" 8 8
$im "$work/small.ppm" "$work/small.png"

# ---- hand-over ----
"$program" >"$work/first.log" 2>&1 &
first=$!
trap 'kill $first 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 600); do
  [ -S "$XDG_RUNTIME_DIR/kavrelin/Kavrelin.sock" ] && break
  sleep 0.05
done
sleep 1
# Median time in seconds of a hand-over to an idle editor: the pause before
# each run (not counted) lets it finish opening the file of the run before.
median() {
  hyperfine -N --warmup 1 --runs "$RUNS" --prepare "sleep 0.3" --export-json "$work/t.json" "$1" >/dev/null 2>&1 || {
    echo nan
    return
  }
  python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["results"][0]["median"])' "$work/t.json"
}
handover=$(median "$program $work/small.png")
handover_editor=$(median "$build/bin/kavrelin-editor $work/small.png")
# The record on the wire: tag and byte count as native 32-bit numbers, the
# command line, then a 32-bit answer.
socket=$(python3 - "$XDG_RUNTIME_DIR/kavrelin/Kavrelin.sock" "$program $work/small.png" "$RUNS" <<'PY'
import socket, statistics, struct, sys, time
path, line, runs = sys.argv[1], sys.argv[2].encode(), int(sys.argv[3])
times = []
for _ in range(runs + 1):
    t = time.perf_counter()
    s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    s.connect(path)
    s.sendall(struct.pack("=II", 46459, len(line)) + line)
    answer = b""
    while len(answer) < 4:
        part = s.recv(4 - len(answer))
        if not part:
            break
        answer += part
    s.close()
    times.append(time.perf_counter() - t)
print(statistics.median(times[1:]))
PY
)
kill $first
wait $first 2>/dev/null || true
libs_launcher=$(ldd "$program" | wc -l)
libs_editor=$(ldd "$build/bin/kavrelin-editor" | wc -l)

# ---- open a large JPEG: start to first paint ----
export KV_EXIT_AT_FIRST_PAINT=1
open=$(QT_QPA_PLATFORM=offscreen best "$program $work/photo.jpg")
marks=$(QT_QPA_PLATFORM=offscreen KV_START_MARKS=1 "$program" "$work/photo.jpg" 2>&1 | grep '^mark' || true)
openx=nan
if command -v Xvfb >/dev/null; then
  # A server of our own on a display number it picks itself (-displayfd), so
  # that no X server already running is measured in its place; the socket of
  # that display must be one our process listens on.
  Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
  for _ in $(seq 200); do
    grep -q '^[0-9][0-9]*$' "$work/display" 2>/dev/null && break
    kill -0 $xvfb 2>/dev/null || break
    sleep 0.05
  done
  display=$(head -n 1 "$work/display" 2>/dev/null || true)
  if [ -z "$display" ] || ! python3 - "$xvfb" "$display" <<'PY'
import os, sys
pid, display = sys.argv[1], sys.argv[2]
paths = {"/tmp/.X11-unix/X" + display, "@/tmp/.X11-unix/X" + display}
with open("/proc/net/unix") as f:
    next(f)
    inodes = {p[6] for p in (l.split() for l in f) if len(p) > 7 and p[7] in paths}
fds = "/proc/%s/fd" % pid
owned = {os.readlink(os.path.join(fds, n)) for n in os.listdir(fds)}
sys.exit(0 if inodes and any("socket:[%s]" % i in owned for i in inodes) else 1)
PY
  then
    echo "Xvfb ($xvfb) did not come up on a display of its own (display '$display')" >&2
    exit 1
  fi
  export DISPLAY=:$display
  # A desktop keeps clients of its own connected. With the program as the only
  # client the server resets at each exit (keymap compiled anew, screen
  # reallocated) while the next run starts: 50-70 ms that no user meets. The
  # keeper ends with the server.
  if command -v xprop >/dev/null; then xprop -root -spy >/dev/null 2>&1 & fi
  openx=$(QT_QPA_PLATFORM=xcb best "$program $work/photo.jpg")
  unset DISPLAY
  kill $xvfb
  wait $xvfb 2>/dev/null || true
fi
unset KV_EXIT_AT_FIRST_PAINT
djpeg=$(best "djpeg -outfile /dev/null $work/photo.jpg")

printf '%-34s %8s ms\n' "hand-over (second start, aim < 50)" "$(ms "$handover")"
printf '%-34s %8s ms\n' "hand-over by the editor proper" "$(ms "$handover_editor")"
printf '%-34s %8s ms\n' "hand-over socket exchange" "$(python3 -c "print('%.1f' % (float('$socket') * 1000))")"
printf '%-34s %8s / %s\n' "libraries launcher / editor" "$libs_launcher" "$libs_editor"
printf '%-34s %8s ms\n' "first paint 6000x4000 JPEG" "$(ms "$open")"
printf '%-34s %8s ms\n' "first paint under Xvfb" "$(ms "$openx")"
printf '%-34s %8s ms\n' "djpeg 6000x4000 JPEG" "$(ms "$djpeg")"
printf '%-34s %8s (aim < 1.5 x djpeg + 150 ms: %s ms)\n' "ratio kavrelin / djpeg" "$(ratio "$open" "$djpeg")" \
  "$(python3 -c "import sys; print('%.0f' % (float(sys.argv[1]) * 1500 + 150))" "$djpeg")"
echo "one offscreen run, ms since process start:"
echo "$marks"
