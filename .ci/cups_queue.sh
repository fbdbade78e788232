#!/usr/bin/env bash
# A private CUPS daemon with one PDF queue, for the printing tests: its
# configuration, spool and socket live in a folder of its own, it listens on
# that socket only (no network port, no clash with a system daemon), and
# "stop" ends it and removes the folder.
#   source .ci/cups_queue.sh start   -> exports CUPS_SERVER, KV_CUPS_QUEUE, KV_CUPS_DIR
#   .ci/cups_queue.sh stop
set -euo pipefail

cups_start() {
  local dir
  dir=$(mktemp -d /tmp/kvcups.XXXXXX)
  mkdir -p "$dir"/{spool,cache,state,log,tmp,ppd}
  chmod 0755 "$dir"
  chmod 1777 "$dir/tmp"
  cat >"$dir/cupsd.conf" <<CONF
Listen $dir/cups.sock
LogLevel warn
MaxLogSize 0
Browsing Off
DefaultAuthType None
WebInterface No
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
  cat >"$dir/cups-files.conf" <<CONF
ServerRoot $dir
RequestRoot $dir/spool
CacheDir $dir/cache
StateDir $dir/state
TempDir $dir/tmp
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
CONF
  /usr/sbin/cupsd -f -c "$dir/cupsd.conf" -s "$dir/cups-files.conf" &
  echo $! >"$dir/cupsd.pid"
  for _ in $(seq 200); do
    [ -S "$dir/cups.sock" ] && break
    kill -0 "$(cat "$dir/cupsd.pid")" 2>/dev/null || break
    sleep 0.05
  done
  export KV_CUPS_DIR="$dir"
  # Without a daemon or queue the printing tests that need one skip; the run goes on.
  if [ ! -S "$dir/cups.sock" ]; then
    echo "warning: cupsd did not start; the CUPS queue test will be skipped" >&2
    cat "$dir/log/error_log" >&2 2>/dev/null || true
    return 0
  fi
  export CUPS_SERVER="$dir/cups.sock"
  if lpadmin -p kvpdf -E -v cups-pdf:/ -P /usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd 2>/dev/null; then
    export KV_CUPS_QUEUE=kvpdf
  else
    echo "warning: no PDF queue could be added; the CUPS queue test will be skipped" >&2
  fi
}

cups_stop() {
  local dir=${KV_CUPS_DIR:-}
  [ -n "$dir" ] && [ -f "$dir/cupsd.pid" ] || return 0
  kill "$(cat "$dir/cupsd.pid")" 2>/dev/null || true
  for _ in $(seq 100); do
    kill -0 "$(cat "$dir/cupsd.pid")" 2>/dev/null || break
    sleep 0.05
  done
  rm -rf "$dir"
}

case "${1:-}" in
  start) cups_start ;;
  stop) cups_stop ;;
esac
