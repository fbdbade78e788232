#!/usr/bin/env bash
# The slide show's exports and player on big pictures: the HTML gallery of
# 100 pictures of 12 MP (thumbnails, and every page's picture converted to a
# 1024 x 768 canvas) beside ImageMagick making the same 100 thumbnails with
# -thumbnail, and the player's step to the next 24 MP JPEG (read, convert,
# fit to a 1920 x 1080 canvas), which must be done within a 2 s interval.
#
#   bench/compare_slides.sh [BUILD_DIR]
#
# BUILD_DIR is an optimised build with -DKV_BENCH=ON (default build-bench)
# holding bench/slides_cli. RUNS overrides the default; CORE is the one core
# every side runs on (default 0); PHOTOS the number of 12 MP pictures (default
# 100). Needs hyperfine and ImageMagick.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-bench}
tool=$build/bench/slides_cli
RUNS=${RUNS:-3}
CORE=${CORE:-0}
PHOTOS=${PHOTOS:-100}
bench_tools="hyperfine python3"
source "$here/common.sh"
need_binaries slides_cli

"$tool" photos "$work/p12" "$PHOTOS" 4000 3000
"$tool" photos "$work/p24" 5 6000 4000
mkdir -p "$work/im"

ours=$(best_reported step_ms taskset -c "$CORE" "$tool" html "$work/p12" "$work/out")
# mogrify reads one picture at a time (convert would hold all of them at
# once); ImageMagick expands the pattern itself.
mogrify_bin=/usr/bin/mogrify
[ -x "$mogrify_bin" ] || mogrify_bin=mogrify
theirs=$(best "taskset -c $CORE $mogrify_bin -limit thread 1 -path $work/im -thumbnail 100x100 $work/p12/*.jpg")
next=$(best_reported step_ms taskset -c "$CORE" "$tool" next "$work/p24" 1920 1080)

echo "times in ms, best of $RUNS, core $CORE, $PHOTOS pictures of 12 MP"
printf '%-44s %8s\n' "HTML gallery, $PHOTOS x 12 MP (aim < $((PHOTOS * 600)))" "$(ms "$ours")"
printf '%-44s %8s\n' "ImageMagick -thumbnail, $PHOTOS x 12 MP" "$(ms "$theirs")"
printf '%-44s %8s\n' "gallery / thumbnails alone" "$(ratio "$ours" "$theirs")"
printf '%-44s %8s\n' "player, next 24 MP JPEG (aim < 2000)" "$(ms "$next")"
