#!/usr/bin/env bash
# Rotates the same 6000 x 4000 photo by 90 and by 7.5 degrees with our
# rotate_bench tool, libvips on one thread and ImageMagick on one thread, and
# prints times and ratios.
#
#   bench/compare_rotate.sh [BUILD_DIR]
#
# BUILD_DIR is an optimised build with -DKV_BENCH=ON (default build-geom-rel)
# holding bench/rotate_bench and bench/resample_cli (which makes the photo).
# ANGLES and RUNS override the defaults below. Needs hyperfine, libvips-tools
# and imagemagick.
#
# Every tool is timed as a whole command on the same files (load, rotate,
# save), best of RUNS after a warm-up; the "copy" row (load and save only)
# shows how much of that is file handling. libvips also runs on its own
# memory-mapped format, the fastest way it can load and save. "kv rot" is the
# rotation alone, as rotate_bench measures it. 90 degrees is a plain
# transpose everywhere (vips rot d90, IM -rotate 90); 7.5 degrees is our
# antialiased three-shear rotation against vips' bilinear affine rotation
# and ImageMagick's own shear rotation.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-geom-rel}
tool=$build/bench/rotate_bench
cli=$build/bench/resample_cli
ANGLES=${ANGLES:-"90 7.5"}
RUNS=${RUNS:-5}
convert_bin=/usr/bin/convert
[ -x "$convert_bin" ] || convert_bin=convert

for t in hyperfine vips python3; do
  command -v "$t" >/dev/null || { echo "missing $t" >&2; exit 1; }
done
for b in "$tool" "$cli"; do
  [ -x "$b" ] || { echo "no $b: cmake -DCMAKE_BUILD_TYPE=Release -DKV_BENCH=ON, then ninja rotate_bench resample_cli" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Debian's policy caps ImageMagick at 256 MiB and sends the rest to disk.
cat >"$work/policy.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<policymap>
  <policy domain="resource" name="memory" value="8GiB"/>
  <policy domain="resource" name="map" value="8GiB"/>
  <policy domain="resource" name="width" value="64KP"/>
  <policy domain="resource" name="height" value="64KP"/>
  <policy domain="resource" name="area" value="2GP"/>
  <policy domain="resource" name="disk" value="16GiB"/>
</policymap>
XML
export MAGICK_CONFIGURE_PATH=$work
im="$convert_bin -limit thread 1"

"$cli" photo "$work/in.ppm" 6000 4000
vips copy "$work/in.ppm" "$work/in.v"

# Best time in seconds of a command.
best() {
  hyperfine -N --warmup 1 --runs "$RUNS" --export-json "$work/t.json" "$1" >/dev/null 2>&1 || { echo nan; return; }
  python3 -c 'import json,sys; print(min(json.load(open(sys.argv[1]))["results"][0]["times"]))' "$work/t.json"
}

# Best rotation-only time of our tool, in seconds.
kv_rotate() {
  local b=1e9 t
  for _ in $(seq "$RUNS"); do
    t=$("$tool" rotate "$work/in.ppm" "$work/o.ppm" "$1" 2>&1 | awk '/rotate_ms/ {print $2 / 1000}')
    b=$(python3 -c "print(min($b, $t))")
  done
  echo "$b"
}

vips_cmd() {  # in out angle
  case $3 in
    90) echo "vips rot $1 $2 d90 --vips-concurrency=1" ;;
    180) echo "vips rot $1 $2 d180 --vips-concurrency=1" ;;
    270) echo "vips rot $1 $2 d270 --vips-concurrency=1" ;;
    # The direction of the turn does not change the work: angles as given.
    *) echo "vips rotate $1 $2 $3 --vips-concurrency=1" ;;
  esac
}

ratio() { python3 -c "import math,sys; a,b=float(sys.argv[1]),float(sys.argv[2]); print('-' if math.isnan(a) or math.isnan(b) or b == 0 else '%.2f' % (a / b))" "$1" "$2"; }
ms() { python3 -c "import math,sys; a=float(sys.argv[1]); print('-' if math.isnan(a) else '%.0f' % (a * 1000))" "$1"; }

echo "times in ms, best of $RUNS; ratios are the other tool's time over ours (above 1: we are faster)"
printf '%-6s | %7s %7s | %9s %8s | %7s | %7s %8s %7s\n' angle "kv rot" "kv cmd" "vips .v" "vips ppm" "IM ppm" "vips.v/" "vipsppm/" "IM/"
printf '%-6s | %7s %7s | %9s %8s | %7s | %7s %8s %7s\n' copy - \
  "$(ms "$(best "$cli copy $work/in.ppm $work/o.ppm")")" \
  "$(ms "$(best "vips copy $work/in.v $work/o.v")")" \
  "$(ms "$(best "vips copy $work/in.ppm $work/o.ppm")")" \
  "$(ms "$(best "$im $work/in.ppm $work/o.ppm")")" - - -
for a in $ANGLES; do
  kvr=$(kv_rotate "$a")
  kvc=$(best "$tool rotate $work/in.ppm $work/o.ppm $a")
  vv=$(best "$(vips_cmd "$work/in.v" "$work/o.v" "$a")")
  vp=$(best "$(vips_cmd "$work/in.ppm" "$work/o.ppm" "$a")")
  imt=$(best "$im $work/in.ppm -background white -rotate $a $work/o.ppm")
  printf '%-6s | %7s %7s | %9s %8s | %7s | %7s %8s %7s\n' "$a" "$(ms "$kvr")" "$(ms "$kvc")" \
    "$(ms "$vv")" "$(ms "$vp")" "$(ms "$imt")" "$(ratio "$vv" "$kvc")" "$(ratio "$vp" "$kvc")" "$(ratio "$imt" "$kvc")"
done
