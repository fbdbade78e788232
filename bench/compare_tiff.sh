#!/usr/bin/env bash
# Decodes the same TIFF pages with our reader (bench/tiff_cli) and with
# libtiff's tiffcp (-c none, i.e. decode and write uncompressed) and prints
# times and ratios (ours / tiffcp's): a 6000 x 4000 photo as LZW (with and without the
# horizontal predictor) and A4 pages at 300 dpi as Group 4 fax.
#
#   bench/compare_tiff.sh [BUILD_DIR]
#
# BUILD_DIR is an optimised build with -DKV_BENCH=ON (default build-bench)
# holding bench/tiff_cli and bench/resample_cli (which makes the photo).
# RUNS overrides the default below. Needs hyperfine, libtiff-tools and
# imagemagick.
#
# "kv cmd" and "tiffcp" are whole commands (read, decode, write the raw
# picture: PPM/PBM for us, an uncompressed TIFF for tiffcp); "kv dec" is our
# decoding alone, as tiff_cli reports it.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-bench}
tool=$build/bench/tiff_cli
cli=$build/bench/resample_cli
RUNS=${RUNS:-5}
for t in hyperfine tiffcp python3; do
  command -v "$t" >/dev/null || { echo "missing $t" >&2; exit 1; }
done
for b in tiff_cli resample_cli; do
  [ -x "$build/bench/$b" ] || { echo "no $build/bench/$b: build with -DKV_BENCH=ON" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Our pixel blocks sit on huge pages; the other tools' buffers get them too.
export GLIBC_TUNABLES=${GLIBC_TUNABLES:-glibc.malloc.hugetlb=1}
im="convert -limit thread 1 -limit memory 4GiB -limit map 8GiB -limit area 2GP"

best() {
  hyperfine -N --warmup 1 --runs "$RUNS" --export-json "$work/t.json" "$1" >/dev/null 2>&1 || { echo nan; return; }
  python3 -c 'import json,sys; print(min(json.load(open(sys.argv[1]))["results"][0]["times"]))' "$work/t.json"
}
best_reported() {  # key command...: best "<key> <ms>" line the command prints, in seconds
  local key=$1 b=1e9 t
  shift
  for _ in $(seq "$RUNS"); do
    t=$("$@" 2>&1 | awk -v k="$key" '$1 == k {print $2 / 1000}')
    b=$(python3 -c "print(min($b, $t))")
  done
  echo "$b"
}
ratio() { python3 -c "import math,sys; a,b=float(sys.argv[1]),float(sys.argv[2]); print('-' if math.isnan(a) or math.isnan(b) or b == 0 else '%.2f' % (a / b))" "$1" "$2"; }
ms() { python3 -c "import math,sys; a=float(sys.argv[1]); print('-' if math.isnan(a) else '%.0f' % (a * 1000))" "$1"; }

"$cli" photo "$work/photo.ppm" 6000 4000
$im "$work/photo.ppm" -compress none "$work/photo.tif"
tiffcp -c lzw "$work/photo.tif" "$work/lzw.tif"
tiffcp -c lzw:2 "$work/photo.tif" "$work/lzw2.tif"
# A fax page: the photo thresholded to two levels at A4, 300 dpi; and a sparse one.
$im "$work/photo.ppm" -resize '2480x3508!' -colorspace gray -threshold 50% -type bilevel -depth 1 -compress none "$work/page.tif"
tiffcp -c g4 "$work/page.tif" "$work/g4.tif"
$im -size 2480x3508 xc:white -fill black -draw 'rectangle 200,200 2280,260' \
  -draw 'rectangle 200,400 1200,3300' -type bilevel -depth 1 -compress none "$work/sparse.tif"
tiffcp -c g4 "$work/sparse.tif" "$work/g4sparse.tif"

echo "times in ms, best of $RUNS; ratio is our time over tiffcp's (below 1: we are faster)"
printf '%-12s | %8s %8s | %8s | %6s\n' file "kv dec" "kv cmd" tiffcp ratio
for f in lzw lzw2 g4 g4sparse; do
  out=$work/o.ppm
  case $f in g4*) out=$work/o.pbm ;; esac
  kd=$(best_reported decode_ms "$tool" decode "$work/$f.tif" "$out")
  kc=$(best "$tool decode $work/$f.tif $out")
  tc=$(best "tiffcp -c none $work/$f.tif $work/o.tif")
  printf '%-12s | %8s %8s | %8s | %6s\n' "$f" "$(ms "$kd")" "$(ms "$kc")" "$(ms "$tc")" "$(ratio "$kc" "$tc")"
done
