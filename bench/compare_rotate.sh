#!/usr/bin/env bash
# Rotates the same 6000 x 4000 photo by 90 and by 7.5 degrees with our
# rotate_bench tool, libvips and ImageMagick, each on one thread (THREADS=all:
# on every core taskset gives), and prints times and ratios.
#
#   bench/compare_rotate.sh [BUILD_DIR]
#
# BUILD_DIR is an optimised build with -DKV_BENCH=ON (default build-bench)
# holding bench/rotate_bench and bench/resample_cli (which makes the photo).
# ANGLES and RUNS override the defaults below. Needs hyperfine, libvips-tools
# and imagemagick.
#
# Every tool is timed as a whole command on the same files (load, rotate,
# save), best of RUNS after a warm-up; the "copy" row (load and save only)
# shows how much of that is file handling. libvips also runs on its own
# memory-mapped format, the fastest way it can load and save. "kv rot" is the
# rotation alone, as rotate_bench measures it. 90 degrees is a plain
# transpose everywhere (vips rot d90, IM -rotate 90); 7.5 degrees is our
# antialiased three-shear rotation against vips' bilinear affine rotation
# and ImageMagick's own shear rotation.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-bench}
tool=$build/bench/rotate_bench
cli=$build/bench/resample_cli
ANGLES=${ANGLES:-"90 7.5"}
RUNS=${RUNS:-5}
source "$here/common.sh"
need_binaries rotate_bench resample_cli

"$cli" photo "$work/in.ppm" 6000 4000
vips copy "$work/in.ppm" "$work/in.v"

# Best rotation-only time of our tool, in seconds.
kv_rotate() { best_reported rotate_ms "$tool" rotate "$work/in.ppm" "$work/o.ppm" "$1"; }

vips_cmd() {  # in out angle
  case $3 in
    90) echo "vips rot $1 $2 d90 $vips_threads" ;;
    180) echo "vips rot $1 $2 d180 $vips_threads" ;;
    270) echo "vips rot $1 $2 d270 $vips_threads" ;;
    # The direction of the turn does not change the work: angles as given.
    *) echo "vips rotate $1 $2 $3 $vips_threads" ;;
  esac
}


echo "times in ms, best of $RUNS; ratios are our time over the other tool's (below 1: we are faster)"
printf '%-6s | %7s %7s | %9s %8s | %7s | %7s %8s %7s\n' angle "kv rot" "kv cmd" "vips .v" "vips ppm" "IM ppm" "kv/vv" "kv/vppm" "kv/IM"
printf '%-6s | %7s %7s | %9s %8s | %7s | %7s %8s %7s\n' copy - \
  "$(ms "$(best "$cli copy $work/in.ppm $work/o.ppm")")" \
  "$(ms "$(best "vips copy $work/in.v $work/o.v")")" \
  "$(ms "$(best "vips copy $work/in.ppm $work/o.ppm")")" \
  "$(ms "$(best "$im $work/in.ppm $work/o.ppm")")" - - -
for a in $ANGLES; do
  kvr=$(kv_rotate "$a")
  kvc=$(best "$tool rotate $work/in.ppm $work/o.ppm $a")
  vv=$(best "$(vips_cmd "$work/in.v" "$work/o.v" "$a")")
  vp=$(best "$(vips_cmd "$work/in.ppm" "$work/o.ppm" "$a")")
  imt=$(best "$im $work/in.ppm -background white -rotate $a $work/o.ppm")
  printf '%-6s | %7s %7s | %9s %8s | %7s | %7s %8s %7s\n' "$a" "$(ms "$kvr")" "$(ms "$kvc")" \
    "$(ms "$vv")" "$(ms "$vp")" "$(ms "$imt")" "$(ratio "$kvc" "$vv")" "$(ratio "$kvc" "$vp")" "$(ratio "$kvc" "$imt")"
done
