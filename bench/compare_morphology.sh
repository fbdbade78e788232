#!/usr/bin/env bash
# Dilates the same 6000 x 4000 photo with square windows of 3, 15 and 63
# pixels with our area_filters_bench tool and with ImageMagick on one thread,
# and prints times and ratios. Our time should not grow with the window.
#
#   bench/compare_morphology.sh [BUILD_DIR]
#
# BUILD_DIR is an optimised build with -DKV_BENCH=ON (default build-bench)
# holding bench/area_filters_bench and bench/resample_cli (which makes the
# photo). WINDOWS and RUNS override the defaults below. Needs hyperfine and
# imagemagick.
#
# ImageMagick dilates each channel on its own, we copy the colour of the
# brightest pixel by gray level: the same work per window, not the same
# picture. "kv dil" is the dilation alone, as the tool measures it.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-bench}
tool=$build/bench/area_filters_bench
cli=$build/bench/resample_cli
WINDOWS=${WINDOWS:-"3 15 63"}
RUNS=${RUNS:-3}
bench_tools="hyperfine python3"
source "$here/common.sh"
need_binaries area_filters_bench resample_cli

"$cli" photo "$work/in.ppm" 6000 4000

echo "times in ms, best of $RUNS; ratios are our time over ImageMagick's (below 1: we are faster)"
printf '%-6s | %7s %7s | %8s | %7s\n' window "kv dil" "kv cmd" "IM cmd" "kv/IM"
for w in $WINDOWS; do
  r=$(( w / 2 ))
  kvd=$(best_reported dilate_ms "$tool" dilate "$work/in.ppm" "$work/o.ppm" "$r")
  kvc=$(best "$tool dilate $work/in.ppm $work/o.ppm $r")
  imt=$(best "$im $work/in.ppm -morphology Dilate Square:$r $work/o.ppm")
  printf '%-6s | %7s %7s | %8s | %7s\n' "$w" "$(ms "$kvd")" "$(ms "$kvc")" "$(ms "$imt")" "$(ratio "$kvc" "$imt")"
done
