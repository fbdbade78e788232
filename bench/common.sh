# Shared set-up of the side-by-side comparison scripts: sourced after the
# script has set `build` and `RUNS`. Checks the tools, makes a scratch folder
# ($work, removed on exit), gives every tool huge pages, gives ImageMagick a
# policy of its own and defines `im` (ImageMagick on one thread) and `best`
# (best time of a command).

convert_bin=/usr/bin/convert
[ -x "$convert_bin" ] || convert_bin=convert

# A script that needs no libvips sets bench_tools before sourcing this.
for t in ${bench_tools:-hyperfine vips python3}; do
  command -v "$t" >/dev/null || { echo "missing $t" >&2; exit 1; }
done

# Fails with the build hint unless every named bench binary is there.
need_binaries() {
  for b in "$@"; do
    [ -x "$build/bench/$b" ] || {
      echo "no $build/bench/$b: cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DKV_BENCH=ON -DKV_TESTS=OFF, then ninja -C build-bench $*" >&2
      exit 1
    }
  done
}

# Our pixel blocks sit on huge pages. Every tool of the script gets them too
# (glibc's allocator then backs large blocks with huge pages), so that first
# touches of fresh pages cost all sides alike.
export GLIBC_TUNABLES=${GLIBC_TUNABLES:-glibc.malloc.hugetlb=1}

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
# THREADS=1 (the default) runs every tool on one thread, ours too
# (KV_THREADS=1); THREADS=all lets every tool use each core it is given
# (taskset chooses them). Scripts pass $vips_threads to vips.
THREADS=${THREADS:-1}
if [ "$THREADS" = all ]; then
  unset KV_THREADS
  vips_threads=""
  im="$convert_bin"
else
  export KV_THREADS=1
  vips_threads="--vips-concurrency=1"
fi

# Best time in seconds of a command.
best() {
  hyperfine -N --warmup 1 --runs "$RUNS" --export-json "$work/t.json" "$1" >/dev/null 2>&1 || { echo nan; return; }
  python3 -c 'import json,sys; print(min(json.load(open(sys.argv[1]))["results"][0]["times"]))' "$work/t.json"
}

# Best time in seconds that one of our tools reports for its own step: the
# command's output has a line "<key> <milliseconds>".
best_reported() {  # key command...
  local key=$1 b=1e9 t
  shift
  for _ in $(seq "$RUNS"); do
    t=$("$@" 2>&1 | awk -v k="$key" '$1 == k {print $2 / 1000}')
    b=$(python3 -c "print(min($b, $t))")
  done
  echo "$b"
}

# a / b with two decimals, "-" when either is missing.
ratio() { python3 -c "import math,sys; a,b=float(sys.argv[1]),float(sys.argv[2]); print('-' if math.isnan(a) or math.isnan(b) or b == 0 else '%.2f' % (a / b))" "$1" "$2"; }
# Seconds as whole milliseconds, "-" when missing.
ms() { python3 -c "import math,sys; a=float(sys.argv[1]); print('-' if math.isnan(a) else '%.0f' % (a * 1000))" "$1"; }

# For the scripts that run the whole program on a batch (needs cjpeg and
# /usr/bin/time besides bin/kavrelin and bench/resample_cli): sets `program`,
# makes the script a user of its own without a display, writes the 6000 x 4000
# photo as $work/in.jpg (quality 90) and defines `esc` for names in batch lines.
program_batch_setup() {
  need_binaries resample_cli
  program=$build/bin/kavrelin
  [ -x "$program" ] || { echo "no $program: ninja -C $build kavrelin kavrelin-editor" >&2; exit 1; }
  [ -x /usr/bin/time ] || { echo "missing /usr/bin/time (package time)" >&2; exit 1; }
  export XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config HOME=$work
  mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
  # No display at all: the program runs the batch offscreen and ends after it,
  # also when a line fails (with a platform named it would wait for a person).
  unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
  "$build/bench/resample_cli" photo "$work/in.ppm" 6000 4000
  cjpeg -quality 90 "$work/in.ppm" >"$work/in.jpg"
  rm "$work/in.ppm"
}

# A batch line doubles every "/" (a single one escapes the next character).
esc() { printf '%s' "$1" | sed 's|/|//|g'; }
