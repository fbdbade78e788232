#!/usr/bin/env bash
# The whole program on one batch, beside libvips and GraphicsMagick doing the
# same steps on the same file: open a 6000 x 4000 JPEG (quality 90), resample
# it to 150 % with Lanczos3, rotate it by 7.5 degrees, save it as a JPEG
# (quality 90). Prints best times, ratios (ours / theirs, below 1: we are
# faster) and peak memory (maximum resident set, as /usr/bin/time reports it).
#
#   bench/compare_program.sh [BUILD_DIR]
#
# BUILD_DIR is an optimised build with -DKV_BENCH=ON holding bin/kavrelin and
# bench/resample_cli (default build-bench: ninja -C build-bench kavrelin
# kavrelin-editor resample_cli). RUNS overrides the number of runs. Needs
# hyperfine, libvips-tools, graphicsmagick, libjpeg-turbo-progs and time.
#
# Ours is `kavrelin job.atp` in a temporary HOME without a display (offscreen),
# the batch ending with QUIT: start-up, the image window and the undo
# snapshots the program keeps are in its time and memory. libvips runs with
# its default threads; its command line does one operation per command, so it
# resamples into its own uncompressed format and rotates from there into the
# JPEG, two commands in one shell (its peak memory is the larger one's).
# `gm convert` does all steps in one command with its default threads. Our
# rotation is antialiased, libvips' is bilinear; GraphicsMagick rotates by
# shears and fills the corners white, as we do.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-bench}
RUNS=${RUNS:-5}
bench_tools="hyperfine vips vipsheader gm cjpeg python3"
source "$here/common.sh"
program_batch_setup
# Width and height in per cent of the picture (unit 7); filter 5 is Lanczos3.
# The rotation's second value turns antialiasing on.
printf '%s\r\n' \
  "OPEN FileName=\"$(esc "$work/in.jpg")\"" \
  "RESIZE Width=150 Height=150 vwidth=7 vheight=7 Resample=1 ResampleFilter=5" \
  "EFFECT Name=Rotate Param1=7.5 Param2=1" \
  "SAVEAS FileName=\"$(esc "$work/kv.jpg")\" Quality=90" \
  "QUIT" >"$work/job.atp"

kv_cmd="$program $work/job.atp"
vips_cmd="sh -c 'vips resize $work/in.jpg $work/t.v 1.5 --kernel lanczos3 && vips rotate $work/t.v $work/vips.jpg[Q=90] 7.5'"
gm_cmd="gm convert $work/in.jpg -filter Lanczos -resize 150% -background white -rotate 7.5 -quality 90 $work/gm.jpg"

# Peak resident memory of one run, in MB.
peak() {
  /usr/bin/time -f %M -o "$work/mem" sh -c "$1" >/dev/null 2>&1 || { echo nan; return; }
  python3 -c 'import sys; print(int(open(sys.argv[1]).read().split()[-1]) / 1024)' "$work/mem"
}

# One run of each first: the files must come out, or the times mean nothing.
for c in "$kv_cmd" "$vips_cmd" "$gm_cmd"; do
  sh -c "$c" >"$work/out.log" 2>&1 || { echo "failed: $c" >&2; cat "$work/out.log" >&2; exit 1; }
done
size() { vipsheader -f width "$1" | tr -d '\n'; printf ' x '; vipsheader -f height "$1"; }

kv=$(best "$kv_cmd")
vp=$(best "$vips_cmd")
g=$(best "$gm_cmd")
kvm=$(peak "$kv_cmd")
vpm=$(peak "$vips_cmd")
gm_m=$(peak "$gm_cmd")

mb() { python3 -c "import math,sys; a=float(sys.argv[1]); print('-' if math.isnan(a) else '%.0f' % a)" "$1"; }
echo "open 6000 x 4000 JPEG, Lanczos3 to 150 %, rotate 7.5 degrees, save JPEG; best of $RUNS"
echo "ratios are ours over the other's (below 1: we are faster or smaller)"
fmt='%-12s %9s %9s %9s %9s   %s\n'
printf "$fmt" "" time_ms kv/time peak_MB kv/peak output
printf "$fmt" kavrelin "$(ms "$kv")" - "$(mb "$kvm")" - "$(size "$work/kv.jpg")"
printf "$fmt" vips "$(ms "$vp")" "$(ratio "$kv" "$vp")" "$(mb "$vpm")" "$(ratio "$kvm" "$vpm")" "$(size "$work/vips.jpg")"
printf "$fmt" "gm convert" "$(ms "$g")" "$(ratio "$kv" "$g")" "$(mb "$gm_m")" "$(ratio "$kvm" "$gm_m")" "$(size "$work/gm.jpg")"
