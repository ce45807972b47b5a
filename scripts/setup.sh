#!/usr/bin/env bash
# Installs what is missing (Debian 12 packages) and builds into build/.
# Sourced by play.sh and test.sh; safe to run again: it only does what is left.
set -euo pipefail

VT_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
VT_BUILD="${VT_BUILD:-$VT_ROOT/build}"

VT_PACKAGES=(
  build-essential cmake pkg-config
  libsdl2-dev libgl-dev libegl-dev libgl1-mesa-dri
  libpng-dev libjpeg-dev zlib1g-dev
  libmpg123-dev libkissfft-dev
  libfreetype-dev fonts-dejavu-core fonts-dejavu-extra fonts-urw-base35 libmp3lame-dev
  libgtest-dev googletest clang libclang-rt-14-dev
  ffmpeg xvfb xauth xdotool x11-utils libx11-dev jwm
  file lintian desktop-file-utils man-db groff-base
  time
)

vt_install_missing() {
  local missing=()
  for p in "${VT_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  ((${#missing[@]} == 0)) && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  if [[ $(id -u) -ne 0 ]]; then
    command -v sudo >/dev/null || { echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1; }
    sudo=(sudo)
  fi
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# vt_build DIR [cmake options...]; VT_TARGETS limits what is built.
vt_build() {
  local dir="$1"; shift
  # ccache, where installed, lets several build trees share their compiles.
  local launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S "$VT_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
  local targets=()
  [[ -n "${VT_TARGETS:-}" ]] && targets=(--target $VT_TARGETS)
  cmake --build "$dir" -j"$(nproc)" "${targets[@]}"
}
