#!/usr/bin/env bash
# Automation beside GraphicsMagick's and ImageMagick's mogrify: 100 pictures
# of 12 MP (4000 x 3000 JPEG), each resized to 50 % (Lanczos), sharpened
# with a 3 x 3 kernel and saved as JPEG quality 85. Every side runs once on
# one thread (pinned to one core, CORE or the last one this shell may use)
# and once with its default threads. Then the print preview's redraw after a
# setting change for a 24 MP picture.
#
#   bench/compare_print_automation.sh [BUILD_DIR]
#
# BUILD_DIR is an optimised build with -DKV_BENCH=ON (default build-bench)
# holding bench/automation_cli and bench/print_preview_cli. RUNS and COUNT
# override the defaults. Needs hyperfine, graphicsmagick and imagemagick.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-bench}
RUNS=${RUNS:-3}
COUNT=${COUNT:-100}
bench_tools="hyperfine python3 gm mogrify taskset"
source "$here/common.sh"
need_binaries automation_cli print_preview_cli
export QT_QPA_PLATFORM=offscreen

mkdir -p "$work/in" "$work/ours" "$work/gm" "$work/im"
"$build/bench/automation_cli" make "$work/in" "$COUNT" 4000 3000

# One thread: every side pinned to one core (our decoder's page-fault helper
# and any pool a peer keeps then share it) with the thread variables set;
# default threads: no pin, no variables.
core=${CORE:-$(taskset -pc $$ | awk -F'[:,-] *' '{print $NF}' | tr -d ' ')}
one="taskset -c $core env OMP_NUM_THREADS=1 KV_THREADS=1 MAGICK_THREAD_LIMIT=1"
ours1=$(best_reported step_ms $one "$build/bench/automation_cli" run "$work/in" "$work/ours")
# common.sh caps our threads at one unless THREADS=all: lift that here.
oursn=$(best_reported step_ms env -u KV_THREADS "$build/bench/automation_cli" run "$work/in" "$work/ours")
# The same steps: the filter set before the resize it is for, and the 3 x 3
# kernel our batch sharpens with (centre 5, the four neighbours -1).
steps="-filter Lanczos -resize 50% -convolve 0,-1,0,-1,5,-1,0,-1,0 -quality 85"
# mogrify writes in place: each run works on a fresh copy.
peer() {  # folder command-prefix
  best "bash -c 'rm -f $work/$1/*.jpg; cp $work/in/*.jpg $work/$1/ && $2 $steps $work/$1/*.jpg'"
}
copy=$(best "bash -c 'rm -f $work/gm/*.jpg; cp $work/in/*.jpg $work/gm/'")
gm1=$(peer gm "$one gm mogrify")
gmn=$(peer gm "gm mogrify")
im1=$(peer im "$one mogrify -limit thread 1")
imn=$(peer im "mogrify")
# The copy each peer run makes first is not their work.
sub() { python3 -c "import sys; print(max(1e-9, float(sys.argv[1]) - float(sys.argv[2])))" "$1" "$2"; }
gm1=$(sub "$gm1" "$copy"); gmn=$(sub "$gmn" "$copy"); im1=$(sub "$im1" "$copy"); imn=$(sub "$imn" "$copy")

echo "automation of $COUNT pictures of 12 MP, times in ms, best of $RUNS (one thread: core $core)"
printf '%-34s %10s\n' "ours, one thread" "$(ms "$ours1")"
printf '%-34s %10s\n' "ours, default threads" "$(ms "$oursn")"
printf '%-34s %10s\n' "gm mogrify, one thread" "$(ms "$gm1")"
printf '%-34s %10s\n' "gm mogrify, default threads" "$(ms "$gmn")"
printf '%-34s %10s\n' "mogrify, one thread" "$(ms "$im1")"
printf '%-34s %10s\n' "mogrify, default threads" "$(ms "$imn")"
printf '%-34s %10s\n' "ours / gm, one thread" "$(ratio "$ours1" "$gm1")"
printf '%-34s %10s\n' "ours / gm, default threads" "$(ratio "$oursn" "$gmn")"
printf '%-34s %10s\n' "ours / mogrify, one thread" "$(ratio "$ours1" "$im1")"
printf '%-34s %10s\n' "ours / mogrify, default threads" "$(ratio "$oursn" "$imn")"
echo "print preview redraw, 24 MP picture on A4 at 300 dpi (best of 20)"
"$build/bench/print_preview_cli" 20
