#!/usr/bin/env bash
# Fails when a file includes a header of a layer above its own. Each layer may
# include the folders listed for it (a folder prefix of the include path) and
# nothing else of ours; tests, benchmarks and fuzz targets may include anything.
set -euo pipefail
cd "$(dirname "$0")/.."

# layer: folders it may include (its own folder included).
declare -A allowed=(
  [platform/rtl]="platform/rtl"
  [platform/graphics]="platform/rtl platform/graphics"
  [platform/system]="platform/rtl platform/graphics platform/system"
  [platform/ui]="platform/rtl platform/graphics platform/system platform/ui"
  [platform/devices]="platform/rtl platform/graphics platform/system platform/ui platform/devices"
  [platform/sockets]="platform/rtl platform/graphics platform/system platform/ui platform/sockets"
  [platform/media]="platform/rtl platform/graphics platform/system platform/media"
  [imaging/model]="platform/rtl platform/graphics platform/system imaging/model"
  [imaging/processing]="platform/rtl platform/graphics platform/system imaging/model imaging/processing"
  [imaging/formats]="platform/rtl platform/graphics platform/system platform/devices imaging/model imaging/processing imaging/formats"
  [imaging/views]="platform imaging"
  [components]="platform imaging components"
  [net]="platform net"
  [pluginhost]="platform/rtl pluginhost"
  [app]="platform imaging components net pluginhost app"
  [program]="platform imaging components net pluginhost app program"
)
# Longest layer names first, so app/filters is judged as app, platform/ui as itself.
layers=$(printf '%s\n' "${!allowed[@]}" | awk '{ print length, $0 }' | sort -rn | cut -d' ' -f2)
ours='^(platform|imaging|components|net|pluginhost|app)/'

status=0
while IFS= read -r file; do
  layer=""
  for l in $layers; do
    if [[ "$file" == "$l/"* ]]; then layer=$l; break; fi
  done
  [ -n "$layer" ] || continue
  while IFS=: read -r line inc; do
    [[ "$inc" =~ $ours ]] || continue
    ok=0
    for a in ${allowed[$layer]}; do
      if [[ "$inc" == "$a/"* ]]; then ok=1; break; fi
    done
    if [ $ok -eq 0 ]; then
      echo "$file:$line: $layer may not include $inc" >&2
      status=1
    fi
  done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" |
           sed 's/^\([0-9]*\):[^"]*"\([^"]*\)".*/\1:\2/' || true)
done < <(git ls-files '*.h' '*.cpp' '*.c' '*.hpp')
exit $status
