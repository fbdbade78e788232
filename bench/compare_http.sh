#!/usr/bin/env bash
# Serves one 16 KiB file from our HTTP server and from lighttpd, configured
# for the same folder, and loads both with wrk (2 threads, 32 connections),
# with keep-alive and with a new connection per request. Prints requests per
# second and our rate over lighttpd's (above 1: we are faster), then, where
# strace is installed, the system calls each server makes per request.
#   cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DKV_BENCH=ON -DKV_TESTS=OFF
#   ninja -C build-bench http_serve && bash bench/compare_http.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build=${build:-build-bench}
secs=${SECS:-10}
for t in wrk lighttpd python3; do
  command -v "$t" >/dev/null || { echo "missing $t" >&2; exit 1; }
done
[ -x "$build/bench/http_serve" ] || { echo "no $build/bench/http_serve (see the top of this script)" >&2; exit 1; }

# Our buffers sit on huge pages; lighttpd's get them too.
export GLIBC_TUNABLES=${GLIBC_TUNABLES:-glibc.malloc.hugetlb=1}
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/www"
head -c 16384 /dev/urandom >"$work/www/file.bin"
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
ours=$(free_port)
theirs=$(free_port)

"$build/bench/http_serve" "$work/www" "$ours" >/dev/null &
pids+=($!)
cat >"$work/lighttpd.conf" <<CONF
server.document-root = "$work/www"
server.bind = "127.0.0.1"
server.port = $theirs
server.errorlog = "$work/lighttpd.log"
server.max-keep-alive-requests = 100000
mimetype.assign = (".bin" => "application/octet-stream")
CONF
lighttpd -D -f "$work/lighttpd.conf" &
pids+=($!)
sleep 1
cmp <(curl -s "http://127.0.0.1:$ours/file.bin") "$work/www/file.bin"
cmp <(curl -s "http://127.0.0.1:$theirs/file.bin") "$work/www/file.bin"

rate() {  # port, connection header
  wrk -t2 -c32 -d"${secs}s" -H "Connection: $2" "http://127.0.0.1:$1/file.bin" |
    awk '/Requests\/sec/ { print $2 }'
}
printf '%-12s %14s %14s %8s\n' mode "ours req/s" "lighttpd req/s" "kv/lt"
for mode in keep-alive close; do
  a=$(rate "$ours" "$mode")
  b=$(rate "$theirs" "$mode")
  printf '%-12s %14s %14s %8s\n' "$mode" "$a" "$b" "$(python3 -c "print(f'{$a/$b:.2f}')")"
done

# System calls per request: strace counts every thread of the server while
# one connection asks as fast as it can; the tracer slows both sides alike.
command -v strace >/dev/null || { echo "no strace: system calls not counted"; exit 0; }
calls() {  # pid, port, connection header
  strace -c -f -q -o "$work/strace.txt" -p "$1" &
  local tracer=$!
  sleep 1
  local done
  done=$(wrk -t1 -c1 -d"${TRACE_SECS:-3}s" -H "Connection: $3" "http://127.0.0.1:$2/file.bin" |
    awk '/requests in/ { print $1 }')
  kill -INT "$tracer"
  wait "$tracer" 2>/dev/null || true
  local total
  total=$(awk '$NF == "total" { print $4 }' "$work/strace.txt")
  [ -z "${CALLS_DETAIL:-}" ] || awk -v n="$done" 'NR > 2 && $NF != "total" && $4 ~ /^[0-9]+$/ { printf "  %-16s %6.2f\n", $NF, $4 / n }' "$work/strace.txt" >&2
  python3 -c "print(f'{$total/$done:.1f}')"
}
printf '\n%-12s %14s %14s\n' mode "ours calls/req" "lighttpd calls/req"
for mode in keep-alive close; do
  printf '%-12s %14s %14s\n' "$mode" "$(calls "${pids[0]}" "$ours" "$mode")" "$(calls "${pids[1]}" "$theirs" "$mode")"
done
