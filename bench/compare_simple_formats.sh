#!/usr/bin/env bash
# Reads and writes the same 4000 x 3000 photo-like picture as PNM (P6), PCX
# (24 bits in three run-length planes) and TGA (run-length true colour) with
# our codecs and with netpbm's converters; prints times and ratios (ours /
# theirs, below 1 is faster).
#
#   bench/compare_simple_formats.sh [BUILD_DIR]
#
# BUILD_DIR is an optimised build with -DKV_BENCH=ON (default build-bench).
# RUNS overrides the default below. Needs hyperfine and netpbm.
#
# "whole" times each tool as a command on the same files (read the file,
# convert, write the other file); "step" is our codec with its own file
# (reading and decoding, or encoding and writing) as the tool reports it, beside netpbm's whole command less its time on a 60 x 40
# picture (start-up), since netpbm reports no step time.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-bench}
cli=$build/bench/simple_formats_bench
RUNS=${RUNS:-5}
source "$here/common.sh"
need_binaries resample_cli simple_formats_bench
for t in ppmtopcx pcxtoppm pamtotga tgatoppm pnmtopnm; do
  command -v "$t" >/dev/null || { echo "missing $t" >&2; exit 1; }
done

"$build/bench/resample_cli" photo "$work/in.ppm" 4000 3000
"$build/bench/resample_cli" photo "$work/tiny.ppm" 60 40
ppmtopcx -24bit "$work/in.ppm" >"$work/in.pcx" 2>/dev/null
ppmtopcx -24bit "$work/tiny.ppm" >"$work/tiny.pcx" 2>/dev/null
pamtotga -rgb "$work/in.ppm" >"$work/in.tga"
pamtotga -rgb "$work/tiny.ppm" >"$work/tiny.tga"

printf '%-22s %10s %10s %7s   %10s %10s %7s\n' "" "kv whole" "tool whole" "ratio" "kv step" "tool step" "ratio"
row() {  # name kv_whole tool_whole kv_step tool_step
  printf '%-22s %8sms %8sms %7s   %8sms %8sms %7s\n' "$1" "$(ms "$2")" "$(ms "$3")" "$(ratio "$2" "$3")" \
    "$(ms "$4")" "$(ms "$5")" "$(ratio "$4" "$5")"
}
compare() {  # name kv-args tool-command tiny-tool-command
  local kw tw t0 ks
  kw=$(best "$cli $2")
  tw=$(best "sh -c '$3'")
  t0=$(best "sh -c '$4'")
  # shellcheck disable=SC2086
  ks=$(best_reported step_ms "$cli" $2)
  row "$1" "$kw" "$tw" "$ks" "$(python3 -c "print(max($tw - $t0, 1e-6))")"
}

compare "pnm read vs pnmtopnm" "read pnm $work/in.ppm $work/o.ppm" \
  "pnmtopnm $work/in.ppm > $work/t.ppm" "pnmtopnm $work/tiny.ppm > $work/t.ppm"
compare "pcx read vs pcxtoppm" "read pcx $work/in.pcx $work/o.ppm" \
  "pcxtoppm $work/in.pcx > $work/t.ppm" "pcxtoppm $work/tiny.pcx > $work/t.ppm"
compare "tga read vs tgatoppm" "read tga $work/in.tga $work/o.ppm" \
  "tgatoppm $work/in.tga > $work/t.ppm" "tgatoppm $work/tiny.tga > $work/t.ppm"
compare "pcx write vs ppmtopcx" "write pcx $work/in.ppm $work/o.pcx" \
  "ppmtopcx -24bit $work/in.ppm > $work/t.pcx 2>/dev/null" "ppmtopcx -24bit $work/tiny.ppm > $work/t.pcx 2>/dev/null"
compare "tga write vs pamtotga" "write tga $work/in.ppm $work/o.tga" \
  "pamtotga -rgb $work/in.ppm > $work/t.tga" "pamtotga -rgb $work/tiny.ppm > $work/t.tga"
