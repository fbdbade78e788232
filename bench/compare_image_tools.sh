#!/usr/bin/env bash
# The image tools on 24 MP pictures: the lossless 90-degree rotation of a
# 6000 x 4000 JPEG beside jpegtran (whole commands, file to file), the
# straightening of a turned 6000 x 4000 scan, and a mosaic of 50 x 50 cells
# chosen from 1,000 tiles for a 6000 x 4000 picture.
#
#   bench/compare_image_tools.sh [BUILD_DIR]
#
# BUILD_DIR is an optimised build with -DKV_BENCH=ON (default build-bench)
# holding bench/image_tools_cli. RUNS overrides the default. Needs hyperfine
# and libjpeg-turbo-progs.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-bench}
tool=$build/bench/image_tools_cli
RUNS=${RUNS:-5}
bench_tools="hyperfine python3 jpegtran"
source "$here/common.sh"
need_binaries image_tools_cli

"$tool" photo "$work/in.jpg" 6000 4000

ours=$(best "$tool jpgtrafo $work/in.jpg $work/ours.jpg 6")
theirs=$(best "jpegtran -copy all -perfect -rotate 90 -outfile $work/theirs.jpg $work/in.jpg")
cmp <(djpeg -ppm "$work/ours.jpg") <(djpeg -ppm "$work/theirs.jpg") >/dev/null || echo "warning: the pictures differ" >&2

echo "times in ms, best of $RUNS"
printf '%-28s %8s\n' "rotate 90, ours" "$(ms "$ours")"
printf '%-28s %8s\n' "rotate 90, jpegtran" "$(ms "$theirs")"
printf '%-28s %8s\n' "ours / jpegtran" "$(ratio "$ours" "$theirs")"
printf '%-28s %8s\n' "straighten 24 MP scan" "$(ms "$(best_reported step_ms "$tool" straighten 6000 4000)")"
printf '%-28s %8s\n' "mosaic 24 MP, 1000 tiles" "$(ms "$(best_reported step_ms "$tool" mosaic 6000 4000 1000)")"
