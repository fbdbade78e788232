#!/usr/bin/env bash
# Decodes the same LZW TIFF pages (a 6000 x 4000 photo, with and without the
# horizontal predictor) with our reader (bench/tiff_cli) and with libtiff
# called in a process of its own (through Python's ctypes: every strip with
# TIFFReadEncodedStrip into one buffer on huge pages), and prints the best
# processor time of each (user and system, all threads) and the ratio ours /
# libtiff's (below 1: we are faster). Processor time, not the wall clock:
# on a shared machine the wall clock mostly measures the other processes.
#
#   bench/compare_tiff_inproc.sh [BUILD_DIR]
#
# BUILD_DIR is an optimised build with -DKV_BENCH=ON (default build-bench)
# holding bench/tiff_cli and bench/resample_cli. RUNS overrides the number of
# runs (alternating between the two). Needs libtiff-tools (tiffcp, and the
# libtiff it brings), imagemagick and python3.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-bench}
RUNS=${RUNS:-6}
bench_tools="tiffcp python3"
source "$here/common.sh"
need_binaries tiff_cli resample_cli

cat >"$work/lib.py" <<'PY'
import ctypes, mmap, sys, time
lib = ctypes.CDLL("libtiff.so.6")
lib.TIFFOpen.restype = ctypes.c_void_p
lib.TIFFOpen.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
lib.TIFFNumberOfStrips.argtypes = [ctypes.c_void_p]
lib.TIFFStripSize.restype = ctypes.c_ssize_t
lib.TIFFStripSize.argtypes = [ctypes.c_void_p]
lib.TIFFReadEncodedStrip.restype = ctypes.c_ssize_t
lib.TIFFReadEncodedStrip.argtypes = [ctypes.c_void_p, ctypes.c_uint32, ctypes.c_void_p, ctypes.c_ssize_t]
lib.TIFFClose.argtypes = [ctypes.c_void_p]
libc = ctypes.CDLL(None)
c0 = time.process_time()
tif = lib.TIFFOpen(sys.argv[1].encode(), b"r")
n, size = lib.TIFFNumberOfStrips(tif), lib.TIFFStripSize(tif)
buf = mmap.mmap(-1, n * size)
addr = ctypes.addressof(ctypes.c_char.from_buffer(buf))
libc.madvise(ctypes.c_void_p(addr), ctypes.c_size_t(n * size), 14)  # MADV_HUGEPAGE
for s in range(n):
    if lib.TIFFReadEncodedStrip(tif, s, addr + s * size, size) < 0:
        sys.exit(1)
lib.TIFFClose(tif)
print("%.3f" % ((time.process_time() - c0) * 1000))
PY

"$build/bench/resample_cli" photo "$work/photo.ppm" 6000 4000
$im "$work/photo.ppm" -compress none "$work/photo.tif"
tiffcp -c lzw "$work/photo.tif" "$work/lzw.tif"
tiffcp -c lzw:2 "$work/photo.tif" "$work/lzw2.tif"

echo "processor time in ms, best of $RUNS; ratio is ours over libtiff's"
printf '%-6s | %8s %8s | %6s\n' file ours libtiff ratio
for f in lzw lzw2; do
  ours=1e9 theirs=1e9
  for _ in $(seq "$RUNS"); do
    t=$(python3 "$work/lib.py" "$work/$f.tif")
    theirs=$(python3 -c "print(min($theirs, $t))")
    t=$("$build/bench/tiff_cli" decode "$work/$f.tif" /dev/null | awk '$1 == "decode_cpu_ms" {print $2}')
    ours=$(python3 -c "print(min($ours, $t))")
  done
  printf '%-6s | %8.0f %8.0f | %6s\n' "$f" "$ours" "$theirs" "$(python3 -c "print('%.2f' % ($ours / $theirs))")"
done
