#!/usr/bin/env bash
# Peak memory of one resample and one rotation through the whole program,
# against what they must hold: the picture, the result and the undo snapshot.
# Each batch runs in `kavrelin job.atp` (temporary HOME, no display):
#   open     OPEN a 6000 x 4000 JPEG, QUIT (the program and the picture alone)
#   resample OPEN, RESIZE to 150 % with Lanczos3, QUIT
#   rotate   OPEN, EFFECT Rotate by 7.5 degrees (antialiased), QUIT
# Prints the maximum resident set (/usr/bin/time) beside the three pictures'
# bytes and their ratio; ends with status 1 when a ratio is above LIMIT
# (default 1.25), so that it can stand as a check after a change.
#
#   bench/check_program_memory.sh [BUILD_DIR]
#
# BUILD_DIR holds bin/kavrelin and bench/resample_cli (default build-bench:
# ninja -C build-bench kavrelin kavrelin-editor resample_cli). Needs
# libjpeg-turbo-progs, libvips-tools (vipsheader), python3 and time.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-bench}
LIMIT=${LIMIT:-1.25}
RUNS=${RUNS:-3}
bench_tools="cjpeg vipsheader python3"
source "$here/common.sh"
# The program as users start it: glibc's allocator without the huge-page
# tunable the time comparisons give every tool (it rounds the resident set of
# every arena up to huge pages).
unset GLIBC_TUNABLES
program_batch_setup
# job NAME STEP...: the batch OPEN, the steps, QUIT.
job() {
  local name=$1
  shift
  { printf '%s\r\n' "OPEN FileName=\"$(esc "$work/run.jpg")\""; for s in "$@"; do printf '%s\r\n' "$s"; done; printf 'QUIT\r\n'; } \
    >"$work/$name.atp"
}
resample="RESIZE Width=150 Height=150 vwidth=7 vheight=7 Resample=1 ResampleFilter=5"
rotate="EFFECT Name=Rotate Param1=7.5 Param2=1"
job open
job resample "$resample"
job rotate "$rotate"
# The result's size, from a run that saves it (not measured).
job resample_out "$resample" "SAVEAS FileName=\"$(esc "$work/resample.jpg")\" Quality=50"
job rotate_out "$rotate" "SAVEAS FileName=\"$(esc "$work/rotate.jpg")\" Quality=50"
# Without a display the question at QUIT takes its default answer and saves
# the changed picture: every run opens a fresh copy of the photo.
for j in resample_out rotate_out; do
  cp "$work/in.jpg" "$work/run.jpg"
  "$program" "$work/$j.atp" >"$work/out.log" 2>&1 || { echo "failed: $j" >&2; cat "$work/out.log" >&2; exit 1; }
done

# Least peak resident set of RUNS runs, in bytes.
peak() {
  local best=
  for _ in $(seq "$RUNS"); do
    cp "$work/in.jpg" "$work/run.jpg"
    /usr/bin/time -f %M -o "$work/mem" "$program" "$work/$1.atp" >/dev/null 2>&1 || { echo "failed: $1" >&2; exit 1; }
    local kb
    kb=$(tail -n 1 "$work/mem")
    if [ -z "$best" ] || [ "$kb" -lt "$best" ]; then best=$kb; fi
  done
  echo $((best * 1024))
}
# Bytes of a 24-bit picture: rows padded to 4 bytes.
bytes() { python3 -c "import sys; w, h = int(sys.argv[1]), int(sys.argv[2]); print((w * 3 + 3) // 4 * 4 * h)" "$1" "$2"; }
dims() { echo "$(vipsheader -f width "$1") $(vipsheader -f height "$1")"; }

src=$(bytes 6000 4000)
status=0
printf '%-9s %10s %10s %10s %8s\n' batch peak_MB pictures_MB result "peak/pictures"
base=$(peak open)
printf '%-9s %10.0f %10.0f %10s %8s\n' open "$(python3 -c "print($base / 2**20)")" "$(python3 -c "print($src / 2**20)")" "6000x4000" -
for j in resample rotate; do
  read -r w h < <(dims "$work/$j.jpg")
  sum=$((src + $(bytes "$w" "$h") + src))
  p=$(peak "$j")
  r=$(python3 -c "print('%.2f' % ($p / $sum))")
  printf '%-9s %10.0f %10.0f %10s %8s\n' "$j" "$(python3 -c "print($p / 2**20)")" "$(python3 -c "print($sum / 2**20)")" "${w}x$h" "$r"
  python3 -c "import sys; sys.exit(0 if $p <= $LIMIT * $sum else 1)" || status=1
done
echo "pictures: the source, the result and the undo snapshot; limit $LIMIT x their sum"
[ "$status" = 0 ] || echo "ABOVE THE LIMIT" >&2
exit "$status"
