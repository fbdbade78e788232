#!/usr/bin/env bash
# Encodes and decodes the same 4000 x 3000 picture of 256 colours with our GIF
# codec and with giflib's gif2rgb, and prints times and ratios (ours /
# giflib's, below 1 is faster).
#
#   bench/compare_gif.sh [BUILD_DIR]
#
# BUILD_DIR is an optimised build with -DKV_BENCH=ON (default build-bench);
# RUNS overrides the number of runs. Needs hyperfine and giflib-tools.
#
# Both sides are whole commands on the same files: ours reads a PPM and writes
# a GIF (palette of the picture's own 256 colours, LZW), or reads the GIF and
# writes a PPM; gif2rgb reads raw RGB and writes a GIF of 2^8 colours (its
# own quantizer, LZW), or reads the GIF and writes raw RGB. "step" is our codec alone, as
# gif_cli reports it.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-bench}
cli=$build/bench/gif_cli
RUNS=${RUNS:-5}
bench_tools="hyperfine gif2rgb python3"
source "$here/common.sh"
need_binaries gif_cli

W=4000 H=3000
"$cli" picture "$work/in.ppm" $W $H
tail -c $((W * H * 3)) "$work/in.ppm" > "$work/in.rgb"
"$cli" write "$work/in.ppm" "$work/ours.gif" 2>/dev/null
gif2rgb -1 -c 8 -s $W $H "$work/in.rgb" > "$work/theirs.gif"
echo "files: ours $(stat -c %s "$work/ours.gif") bytes, giflib $(stat -c %s "$work/theirs.gif") bytes"

printf '%-28s %10s %10s %7s %10s\n' "" "kv" "giflib" "ratio" "kv step"
kw=$(best "$cli write $work/in.ppm $work/o.gif")
tw=$(best "sh -c 'gif2rgb -1 -c 8 -s $W $H $work/in.rgb > $work/t.gif'")
ks=$(best_reported step_ms "$cli" write "$work/in.ppm" "$work/o.gif")
printf '%-28s %8sms %8sms %7s %8sms\n' "encode (quantize + LZW)" "$(ms "$kw")" "$(ms "$tw")" "$(ratio "$kw" "$tw")" "$(ms "$ks")"
for f in ours theirs; do
  kw=$(best "$cli read $work/$f.gif $work/o.ppm")
  tw=$(best "gif2rgb -1 -o $work/t.rgb $work/$f.gif")
  ks=$(best_reported step_ms "$cli" read "$work/$f.gif" "$work/o.ppm")
  printf '%-28s %8sms %8sms %7s %8sms\n' "decode $f.gif" "$(ms "$kw")" "$(ms "$tw")" "$(ratio "$kw" "$tw")" "$(ms "$ks")"
done
