#!/usr/bin/env bash
# Resamples the same 6000 x 4000 photo to 25% and 150% with each filter, with
# our resample_cli, libvips (plain kernel reduce, no box pre-shrink) and
# ImageMagick, each on one thread (THREADS=all: on every core taskset gives),
# and prints times and ratios.
#
#   bench/compare_resample.sh [BUILD_DIR]
#
# BUILD_DIR is an optimised build with -DKV_BENCH=ON (default build-bench).
# FILTERS, SCALES and RUNS override the defaults below. Needs hyperfine,
# libvips-tools and imagemagick.
#
# Every tool is timed as a whole command on the same files (load, resample,
# save), best of RUNS after a warm-up; each tool's "copy" row (load and save
# only) shows how much of that is file handling. libvips also runs on its own
# memory-mapped format, the fastest way it can load and save. "kv resample" is
# the resampling alone, as resample_cli measures it; to set it against the
# others' resampling alone, "vips net" takes from the libvips run on its own
# format the same command on a 60 x 40 picture (start-up and set-up), and
# "IM net" takes from the ImageMagick run the loading of the photo alone
# (convert in.ppm null:).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-bench}
cli=$build/bench/resample_cli
FILTERS=${FILTERS:-"triangle hermite bell bspline lanczos3 mitchell nearest linear fastlinear"}
SCALES=${SCALES:-"0.25 1.5"}
RUNS=${RUNS:-5}
source "$here/common.sh"
need_binaries resample_cli

"$cli" photo "$work/in.ppm" 6000 4000
vips copy "$work/in.ppm" "$work/in.v"
"$cli" photo "$work/tiny.ppm" 60 40
vips copy "$work/tiny.ppm" "$work/tiny.v"

# Best resample-only time of our CLI, in seconds.
kv_resample() { best_reported resample_ms "$cli" resample "$work/in.ppm" "$work/o.ppm" "$1" "$2"; }

vips_kernel() {
  case $1 in
    triangle | linear | fastlinear) echo linear ;;
    lanczos3) echo lanczos3 ;;
    mitchell) echo mitchell ;;
    nearest) echo nearest ;;
    *) echo "" ;;
  esac
}
im_filter() {
  case $1 in
    triangle | linear | fastlinear) echo Triangle ;;
    hermite) echo Hermite ;;
    bell) echo Quadratic ;;
    bspline) echo Spline ;;
    lanczos3) echo Lanczos ;;
    mitchell) echo Mitchell ;;
    nearest) echo Point ;;
  esac
}


net() { python3 -c "import sys; print(float(sys.argv[1]) - float(sys.argv[2]))" "$1" "$2"; }

echo "times in ms, best of $RUNS; ratios are our time over the other tool's (below 1: we are faster)"
fmt='%-10s %5s | %6s %6s | %6s %6s %6s | %6s %6s | %6s %6s %6s | %6s %6s\n'
printf "$fmt" filter scale "kv res" "kv cmd" "vips.v" "vipsppm" "vipsnet" "IM ppm" "IM net" \
  "kv/vv" "kv/vp" "kv/IM" "kr/vnet" "kr/IMnet"
im_load=$(best "$im $work/in.ppm null:")
printf "$fmt" copy 1 - "$(ms "$(best "$cli copy $work/in.ppm $work/o.ppm")")" \
  "$(ms "$(best "vips copy $work/in.v $work/o.v")")" "$(ms "$(best "vips copy $work/in.ppm $work/o.ppm")")" - \
  "$(ms "$(best "$im $work/in.ppm $work/o.ppm")")" "load $(ms "$im_load")" - - - - -
for f in $FILTERS; do
  for s in $SCALES; do
    pct=$(python3 -c "print('%g%%' % ($s * 100))")
    kvr=$(kv_resample "$f" "$s")
    kvc=$(best "$cli resample $work/in.ppm $work/o.ppm $f $s")
    k=$(vips_kernel "$f")
    if [ -n "$k" ]; then
      vv=$(best "vips resize $work/in.v $work/o.v $s --kernel $k --gap 0 $vips_threads")
      vp=$(best "vips resize $work/in.ppm $work/o.ppm $s --kernel $k --gap 0 $vips_threads")
      vn=$(net "$vv" "$(best "vips resize $work/tiny.v $work/o.v $s --kernel $k --gap 0 $vips_threads")")
    else
      vv=nan vp=nan vn=nan
    fi
    imt=$(best "$im $work/in.ppm -filter $(im_filter "$f") -resize $pct $work/o.ppm")
    imn=$(net "$imt" "$im_load")
    printf "$fmt" "$f" "$s" "$(ms "$kvr")" "$(ms "$kvc")" "$(ms "$vv")" "$(ms "$vp")" "$(ms "$vn")" \
      "$(ms "$imt")" "$(ms "$imn")" "$(ratio "$kvc" "$vv")" "$(ratio "$kvc" "$vp")" "$(ratio "$kvc" "$imt")" \
      "$(ratio "$kvr" "$vn")" "$(ratio "$kvr" "$imn")"
  done
done
