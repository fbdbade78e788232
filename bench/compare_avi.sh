#!/usr/bin/env bash
# Loads a 500-frame AVI (640 x 480, 25 frames a second) in MJPEG, raw DIB and
# MPEG-4 with our multi-frame loader, and decodes the same file with
# `ffmpeg -i f.avi -f null -`; prints times and ratios (ours / ffmpeg's, below 1
# is faster).
#
#   bench/compare_avi.sh [BUILD_DIR]
#
# BUILD_DIR is an optimised build with -DKV_BENCH=ON (default build-bench);
# RUNS overrides the number of runs. Needs hyperfine and ffmpeg.
#
# "view" is the whole command: every frame decoded, turned into 24-bit rows and
# stored in the view's temporary-file store. "reader" is the AVI reader alone
# (decoding and the 24-bit conversion). ffmpeg's null output takes the decoded
# frames as they are, without a conversion to 24 bits.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-bench}
cli=$build/bench/avi_load_cli
RUNS=${RUNS:-3}
for t in hyperfine ffmpeg python3; do
  command -v "$t" >/dev/null || { echo "missing $t" >&2; exit 1; }
done
[ -x "$cli" ] || { echo "no $cli: cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DKV_BENCH=ON -DKV_TESTS=OFF, then ninja -C build-bench avi_load_cli" >&2; exit 1; }
export QT_QPA_PLATFORM=offscreen

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

best() {
  hyperfine -N --warmup 1 --runs "$RUNS" --export-json "$work/t.json" "$1" >/dev/null 2>&1 || { echo nan; return; }
  python3 -c 'import json,sys; print(min(json.load(open(sys.argv[1]))["results"][0]["times"]))' "$work/t.json"
}
ms() { python3 -c "import sys; print('%.0f' % (float(sys.argv[1]) * 1000))" "$1"; }
ratio() { python3 -c "import sys; a,b=float(sys.argv[1]),float(sys.argv[2]); print('%.2f' % (a / b))" "$1" "$2"; }

printf '%-10s %10s %10s %10s %8s %8s\n' codec view_ms reader_ms ffmpeg_ms view/ff reader/ff
for codec in mjpeg rawvideo mpeg4; do
  f=$work/$codec.avi
  extra=""
  [ "$codec" = rawvideo ] && extra="-pix_fmt bgr24"
  ffmpeg -v error -y -f lavfi -i testsrc=size=640x480:rate=25 -frames:v 500 $extra -c:v $codec "$f"
  view=$(best "$cli view $f")
  reader=$(best "$cli frames $f")
  ff=$(best "ffmpeg -v error -i $f -f null -")
  printf '%-10s %10s %10s %10s %8s %8s\n' "$codec" "$(ms "$view")" "$(ms "$reader")" "$(ms "$ff")" \
    "$(ratio "$view" "$ff")" "$(ratio "$reader" "$ff")"
done
