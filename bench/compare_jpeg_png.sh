#!/usr/bin/env bash
# Loads the same 6000 x 4000 photo-like JPEG with our reader and with djpeg
# (full size and scaled 1/2, 1/4, 1/8), and writes and reads it as PNG with
# our codec and with pnmtopng / pngtopnm at the same zlib level and filter;
# prints times and ratios (ours / theirs, below 1 is faster).
#
#   bench/compare_jpeg_png.sh [BUILD_DIR]
#
# BUILD_DIR is an optimised build with -DKV_BENCH=ON (default build-bench).
# RUNS and LEVEL override the defaults below. Needs hyperfine,
# libjpeg-turbo-progs and netpbm.
#
# "whole" times each tool as a command on the same files (read, decode or
# encode, write). "step" is the codec alone: ours as codec_cli reports it;
# djpeg's as djpeg writing to /dev/null, which leaves out only its file
# output; for PNG the netpbm tools' whole command less the time of the same
# tool on a 60 x 40 picture (start-up), since they report no step time.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-bench}
cli=$build/bench/codec_cli
RUNS=${RUNS:-5}
LEVEL=${LEVEL:-6}
source "$here/common.sh"
need_binaries resample_cli codec_cli
for t in cjpeg djpeg pnmtopng pngtopnm; do
  command -v "$t" >/dev/null || { echo "missing $t" >&2; exit 1; }
done

"$build/bench/resample_cli" photo "$work/in.ppm" 6000 4000
"$build/bench/resample_cli" photo "$work/tiny.ppm" 60 40
cjpeg -quality 90 -outfile "$work/in.jpg" "$work/in.ppm"

printf '%-22s %10s %10s %7s   %10s %10s %7s\n' "" "kv whole" "tool whole" "ratio" "kv step" "tool step" "ratio"
row() {  # name kv_whole tool_whole kv_step tool_step
  printf '%-22s %8sms %8sms %7s   %8sms %8sms %7s\n' "$1" "$(ms "$2")" "$(ms "$3")" "$(ratio "$2" "$3")" \
    "$(ms "$4")" "$(ms "$5")" "$(ratio "$4" "$5")"
}

for d in 1 2 4 8; do
  scale=""
  [ "$d" = 1 ] || scale="-scale 1/$d"
  kw=$(best "$cli jpeg $work/in.jpg $work/o.ppm $d")
  tw=$(best "djpeg $scale -outfile $work/t.ppm $work/in.jpg")
  ks=$(best_reported step_ms "$cli" jpeg "$work/in.jpg" "$work/o.ppm" "$d")
  ts=$(best "djpeg $scale -outfile /dev/null $work/in.jpg")
  row "jpeg load 1/$d vs djpeg" "$kw" "$tw" "$ks" "$ts"
done

# PNG: no filter and Paeth, each at the same zlib level.
for f in 0 2; do
  name=nofilter
  [ "$f" = 2 ] && name=paeth
  kw=$(best "$cli png-write $work/in.ppm $work/o.png $LEVEL $f")
  tw=$(best "sh -c 'pnmtopng -compression=$LEVEL -$name $work/in.ppm > $work/t.png'")
  t0=$(best "sh -c 'pnmtopng -compression=$LEVEL -$name $work/tiny.ppm > $work/tt.png'")
  ks=$(best_reported step_ms "$cli" png-write "$work/in.ppm" "$work/o.png" "$LEVEL" "$f")
  row "png write $name" "$kw" "$tw" "$ks" "$(python3 -c "print($tw - $t0)")"
  kw=$(best "$cli png-read $work/t.png $work/o.ppm")
  tw=$(best "sh -c 'pngtopnm $work/t.png > $work/t.ppm'")
  t0=$(best "sh -c 'pngtopnm $work/tt.png > $work/tt2.ppm'")
  ks=$(best_reported step_ms "$cli" png-read "$work/t.png" "$work/o.ppm")
  row "png read $name" "$kw" "$tw" "$ks" "$(python3 -c "print($tw - $t0)")"
done
