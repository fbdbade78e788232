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
for t in hyperfine gif2rgb python3; do
  command -v "$t" >/dev/null || { echo "missing $t" >&2; exit 1; }
done
[ -x "$cli" ] || { echo "no $cli: cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DKV_BENCH=ON -DKV_TESTS=OFF, then ninja -C build-bench gif_cli" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

best() {
  hyperfine -N --warmup 1 --runs "$RUNS" --export-json "$work/t.json" "$1" >/dev/null 2>&1 || { echo nan; return; }
  python3 -c 'import json,sys; print(min(json.load(open(sys.argv[1]))["results"][0]["times"]))' "$work/t.json"
}
best_step() {  # command...
  local b=1e9 t
  for _ in $(seq "$RUNS"); do
    t=$("$@" 2>&1 | awk '$1 == "step_ms" {print $2 / 1000}')
    b=$(python3 -c "print(min($b, $t))")
  done
  echo "$b"
}
ms() { python3 -c "import sys; print('%.0f' % (float(sys.argv[1]) * 1000))" "$1"; }
ratio() { python3 -c "import sys; a,b=float(sys.argv[1]),float(sys.argv[2]); print('%.2f' % (a / b))" "$1" "$2"; }

W=4000 H=3000
"$cli" picture "$work/in.ppm" $W $H
tail -c $((W * H * 3)) "$work/in.ppm" > "$work/in.rgb"
"$cli" write "$work/in.ppm" "$work/ours.gif" 2>/dev/null
gif2rgb -1 -c 8 -s $W $H "$work/in.rgb" > "$work/theirs.gif"
echo "files: ours $(stat -c %s "$work/ours.gif") bytes, giflib $(stat -c %s "$work/theirs.gif") bytes"

printf '%-28s %10s %10s %7s %10s\n' "" "kv" "giflib" "ratio" "kv step"
kw=$(best "$cli write $work/in.ppm $work/o.gif")
tw=$(best "sh -c 'gif2rgb -1 -c 8 -s $W $H $work/in.rgb > $work/t.gif'")
ks=$(best_step "$cli" write "$work/in.ppm" "$work/o.gif")
printf '%-28s %8sms %8sms %7s %8sms\n' "encode (quantize + LZW)" "$(ms "$kw")" "$(ms "$tw")" "$(ratio "$kw" "$tw")" "$(ms "$ks")"
for f in ours theirs; do
  kw=$(best "$cli read $work/$f.gif $work/o.ppm")
  tw=$(best "gif2rgb -1 -o $work/t.rgb $work/$f.gif")
  ks=$(best_step "$cli" read "$work/$f.gif" "$work/o.ppm")
  printf '%-28s %8sms %8sms %7s %8sms\n' "decode $f.gif" "$(ms "$kw")" "$(ms "$tw")" "$(ratio "$kw" "$tw")" "$(ms "$ks")"
done
