#!/usr/bin/env bash
# The webcam chain at 640x480 and 30 frames per second from the test
# pattern: capture, date stamp, one JPEG per frame and the HTTP server with
# 20 clients polling "/" all the time (RATE=n: each at most n times a second,
# as a page that refreshes its picture would). Prints our CPU time per frame and our
# share of one core, beside ffmpeg reading the same pattern and writing MJPEG
# (the capture and encode part alone), with the ratio of CPU per frame
# (below 1: we spend less).
#   cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DKV_BENCH=ON -DKV_TESTS=OFF
#   ninja -C build-bench webcam_chain_cli && bash bench/compare_webcam.sh [BUILD_DIR]
# BUILD_DIR defaults to build-bench, as in the other scripts.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-${build:-build-bench}}
secs=${SECS:-10}
clients=${CLIENTS:-20}
rate=${RATE:-0}
for t in ffmpeg python3; do
  command -v "$t" >/dev/null || { echo "missing $t" >&2; exit 1; }
done
[ -x "$build/bench/webcam_chain_cli" ] || { echo "no $build/bench/webcam_chain_cli (see the top of this script)" >&2; exit 1; }

# Our pixel blocks sit on huge pages; ffmpeg's buffers get them too.
export GLIBC_TUNABLES=${GLIBC_TUNABLES:-glibc.malloc.hugetlb=1}
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
mkfifo "$work/out"
QT_QPA_PLATFORM=offscreen "$build/bench/webcam_chain_cli" "$secs" "$port" 640x480@30 >"$work/out" &
pids+=($!)
exec 3<"$work/out"
read -r ready <&3
[ "$ready" = ready ] || { echo "chain did not start" >&2; exit 1; }

# The pollers: each asks for "/" again as soon as an answer is in, or at
# its pace with RATE.
python3 - "$port" "$clients" "$((secs + 1))" "$rate" >"$work/polls" <<'PY' &
import sys, threading, time, urllib.request
port, n, secs, rate = int(sys.argv[1]), int(sys.argv[2]), float(sys.argv[3]), float(sys.argv[4])
end = time.time() + secs
count = [0] * n
def poll(i):
    due = time.time()
    while time.time() < end:
        if rate > 0:
            due += 1 / rate
            time.sleep(max(0, due - time.time()))
        try:
            with urllib.request.urlopen('http://127.0.0.1:%d/' % port, timeout=5) as r:
                r.read()
            count[i] += 1
        except OSError:
            pass
ts = [threading.Thread(target=poll, args=(i,)) for i in range(n)]
for t in ts: t.start()
for t in ts: t.join()
print(sum(count))
PY
pids+=($!)
read -r result <&3
wait "${pids[1]}" || true
answers=$(cat "$work/polls")
echo "ours: $result answers $answers"
ours_ms=$(sed -E 's/.*cpu_per_frame_ms ([0-9.]+).*/\1/' <<<"$result")

# ffmpeg: the same pattern decoded, converted and encoded as MJPEG, as fast as it goes.
frames=$((secs * 30))
/usr/bin/time -f '%U %S' -o "$work/ff_time" ffmpeg -v error -nostdin -f lavfi -i testsrc2=size=640x480:rate=30 \
  -frames:v "$frames" -f mjpeg -y /dev/null
read -r u s <"$work/ff_time"
ff_ms=$(python3 -c "print('%.3f' % (($u + $s) * 1000 / $frames))")
echo "ffmpeg -f lavfi -i testsrc2=size=640x480:rate=30 -f mjpeg: cpu_per_frame_ms $ff_ms"
python3 -c "print('ratio ours/ffmpeg cpu per frame: %.2f' % ($ours_ms / $ff_ms))"
