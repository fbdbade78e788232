#!/usr/bin/env bash
# Starts the editor with the pictures (or batch files) named after it:
#   ./kavrelin.sh photo.jpg
# On a fresh Debian machine it first installs what the build needs and builds
# an optimised editor in build-release/; later starts only rebuild what changed.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$root/build-release"

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libqt6gui6 libgl-dev qt6-svg-dev libqt6svg6 qt6-qpa-plugins
  libjpeg62-turbo-dev libturbojpeg0-dev libpng-dev zlib1g-dev
  libwmf-dev libemf2svg-dev libuemf-dev
  libsane-dev
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev
  fonts-dejavu-core fonts-urw-base35 desktop-file-utils xdg-utils libglib2.0-bin
  fonts-liberation
  qt6-translations-l10n adwaita-icon-theme
  libglib2.0-dev shared-mime-info
  libqt6dbus6
  libavdevice-dev libxcb1-dev
  libasound2-dev libsndfile1-dev
  libqt6printsupport6
)
# The packages are checked once: the list that was found installed is kept in
# the build folder, and only a changed list is checked again.
checked="$build/.packages-checked"
wanted="${packages[*]}"
missing=()
if [ ! -f "$checked" ] || [ "$(cat "$checked")" != "$wanted" ]; then
  installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null | grep ' install ok installed$' || true)
  for p in "${packages[@]}"; do
    grep -q "^$p " <<<"$installed" || missing+=("$p")
  done
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "kavrelin.sh: installing ${missing[*]}" >&2
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKV_TESTS=OFF >&2
fi
cmake --build "$build" --target kavrelin harlok >&2
[ -f "$checked" ] && [ "$(cat "$checked")" = "$wanted" ] || printf '%s' "$wanted" >"$checked"

exec "$build/bin/kavrelin" "$@"
