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
bench_tools="hyperfine ffmpeg python3"
source "$here/common.sh"
need_binaries avi_load_cli
export QT_QPA_PLATFORM=offscreen

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
