#!/usr/bin/env bash
# Converts the same 6000 x 4000 photo-like picture between the formats the
# I/O component writes, through the component (io_cli) and through
# ImageMagick on one thread; and loads JPEG and PNG through the component
# beside our codecs alone (codec_cli), which shows what the component adds
# (file streaming, detection, the record). Prints times and ratios (ours /
# theirs, below 1 is faster).
#
#   bench/compare_io.sh [BUILD_DIR]
#
# BUILD_DIR is an optimised build with -DKV_BENCH=ON (default build-bench).
# RUNS overrides the number of runs. Needs hyperfine and ImageMagick.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-bench}
RUNS=${RUNS:-5}
source "$here/common.sh"
need_binaries resample_cli codec_cli io_cli
io=$build/bench/io_cli

"$build/bench/resample_cli" photo "$work/in.ppm" 6000 4000
for ext in tif png bmp pcx tga; do $im "$work/in.ppm" "$work/in.$ext"; done
$im "$work/in.ppm" -quality 90 "$work/in.jpg"

printf '%-26s %10s %10s %7s\n' "" "kv" "tool" "ratio"
row() { printf '%-26s %8sms %8sms %7s\n' "$1" "$(ms "$2")" "$(ms "$3")" "$(ratio "$2" "$3")"; }

for pair in tif:bmp bmp:tif png:tif tif:png jpg:bmp bmp:jpg bmp:pcx pcx:bmp bmp:tga bmp:ppm ppm:png; do
  from=${pair%%:*} to=${pair##*:}
  k=$(best "$io convert $work/in.$from $work/o.$to")
  t=$(best "$im $work/in.$from $work/t.$to")
  row "convert $from -> $to" "$k" "$t"
done

# The component's load step beside the codec's own step on the same file.
k=$(best_reported load_ms "$io" load "$work/in.jpg")
c=$(best_reported step_ms "$build/bench/codec_cli" jpeg "$work/in.jpg" "$work/o.ppm" 1)
row "jpeg load: component/codec" "$k" "$c"
k=$(best_reported load_ms "$io" load "$work/in.png")
c=$(best_reported step_ms "$build/bench/codec_cli" png-read "$work/in.png" "$work/o.ppm")
row "png load: component/codec" "$k" "$c"
