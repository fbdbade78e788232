#!/usr/bin/env bash
# A Filter Factory filter of about ten operations per channel on a 4000 x 3000
# photo, one core: our formula engine, the same filter written by hand in C++,
# and ImageMagick's -fx on one thread with the nearest expression it can say
# (its values run from 0 to 1), all on the same file in the same run.
#
#   bench/compare_ff.sh [BUILD_DIR]
#
# BUILD_DIR is an optimised build with -DKV_BENCH=ON (default build-bench)
# holding bench/ff_bench and bench/resample_cli (which makes the photo). RUNS
# sets the runs of our tools (default 5); ImageMagick runs IM_RUNS times (default 1).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-bench}
RUNS=${RUNS:-5}
IM_RUNS=${IM_RUNS:-1}
for b in ff_bench resample_cli; do
  [ -x "$build/bench/$b" ] || {
    echo "no $build/bench/$b: cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DKV_BENCH=ON -DKV_TESTS=OFF, then ninja -C build-bench ff_bench resample_cli" >&2
    exit 1
  }
done
convert_bin=/usr/bin/convert
[ -x "$convert_bin" ] || convert_bin=convert
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Our pixel blocks sit on huge pages; the other tools' buffers get them too.
export GLIBC_TUNABLES=${GLIBC_TUNABLES:-glibc.malloc.hugetlb=1}

"$build/bench/resample_cli" photo "$work/in.ppm" 4000 3000

# Best of N: the filter time our tool reports, and the whole command.
best_filter() {  # mode
  python3 - "$build/bench/ff_bench" "$1" "$work/in.ppm" "$work/$1.ppm" "$RUNS" <<'PY'
import subprocess, sys, time
tool, mode, src, dst, runs = sys.argv[1:]
f = w = 1e9
for _ in range(int(runs)):
    t0 = time.perf_counter()
    out = subprocess.run([tool, mode, src, dst], check=True, capture_output=True, text=True).stdout
    w = min(w, time.perf_counter() - t0)
    f = min(f, float(out.split()[1]) / 1000)
print(f"{f:.4f} {w:.4f}")
PY
}
best_cmd() {  # runs command...
  python3 - "$@" <<'PY'
import subprocess, sys, time
runs, cmd = int(sys.argv[1]), sys.argv[2:]
b = 1e9
for _ in range(runs):
    t0 = time.perf_counter()
    subprocess.run(cmd, check=True, capture_output=True)
    b = min(b, time.perf_counter() - t0)
print(f"{b:.4f}")
PY
}

read -r ff_filter ff_cmd < <(best_filter run)
read -r hand_filter hand_cmd < <(best_filter hand)
cmp "$work/run.ppm" "$work/hand.ppm" && same=yes || same=NO
im_copy=$(best_cmd "$IM_RUNS" "$convert_bin" -limit thread 1 "$work/in.ppm" "$work/im.ppm")
im_fx=$(best_cmd "$IM_RUNS" "$convert_bin" -limit thread 1 "$work/in.ppm" \
  -fx "u*0.7843 + g*0.2157 + sin(i*pi/512)*0.251" "$work/im.ppm")

python3 - "$ff_filter" "$ff_cmd" "$hand_filter" "$hand_cmd" "$im_copy" "$im_fx" "$same" <<'PY'
import sys
ff, ffc, hand, handc, imc, imfx = map(float, sys.argv[1:7])
print("4000 x 3000, one core, best times in ms")
print(f"formula engine   filter {ff*1000:8.1f}   whole command {ffc*1000:8.1f}")
print(f"by hand in C++   filter {hand*1000:8.1f}   whole command {handc*1000:8.1f}   same pixels: {sys.argv[7]}")
print(f"ImageMagick -fx  filter {(imfx-imc)*1000:8.1f}   whole command {imfx*1000:8.1f}   (load and save alone {imc*1000:.1f})")
print(f"engine / by hand: {ff/hand:.2f}   engine / ImageMagick: filter {ff/(imfx-imc):.3f}, whole command {ffc/imfx:.3f}")
PY
