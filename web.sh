#!/usr/bin/env bash
# Builds the show for the browser into build-web/: index.html, its script
# and style, vantorel.js and vantorel.wasm, and the media set as a data
# package (vantorel.data with its loader vantorel-data.js). Serve that folder
# with any static file server, for example:
#
#   ./web.sh && cd build-web && python3 -m http.server 8000   # http://localhost:8000/
#
# Installs what is missing (Debian 12 packages, emscripten among them), builds
# the C libraries for WebAssembly (scripts/web/deps.sh), generates the media
# set natively as the desktop build does (build/media; VT_MEDIA=DIR takes a
# ready one instead), then builds with emcmake into build-web/cmake.
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"

started=$(date +%s)
VT_PACKAGES+=(emscripten chromium dpkg-dev curl python3)
vt_install_missing
export NODE_PATH="${NODE_PATH:-/usr/share/nodejs}"  # where Debian keeps emcc's acorn

out="$VT_ROOT/build-web"
mkdir -p "$out"
"$VT_ROOT/scripts/web/deps.sh" "$out/deps"

# The media set, made by the native generator (or reused when current).
media="${VT_MEDIA:-}"
if [[ -z "$media" ]]; then
  VT_TARGETS=media vt_build "$VT_BUILD"
  media="$VT_BUILD/media"
fi
[[ -f "$media/intro.mp3" && -d "$media/data/bitmaps" ]] || { echo "web.sh: no media set in $media" >&2; exit 1; }

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
emcmake cmake -S "$VT_ROOT" -B "$out/cmake" -DCMAKE_BUILD_TYPE=Release -DVT_WEB_DEPS="$out/deps/prefix" \
  "${launcher[@]}" >/dev/null
cmake --build "$out/cmake" -j"${VT_JOBS:-$(nproc)}"

# The data package: the media folder's contents at the file system's root,
# where the program starts.
packager=$(dirname "$(readlink -f "$(command -v emcc)")")/tools/file_packager.py
[[ -f "$packager" ]] || packager=/usr/share/emscripten/tools/file_packager.py
(cd "$out" && python3 "$packager" vantorel.data --preload "$media@/" --exclude "*.stamp" \
  --js-output=vantorel-data.js >/dev/null 2> >(grep -v "^Remember to build" >&2))

cp "$out/cmake/web/vantorel.js" "$out/cmake/web/vantorel.wasm" "$out/"
cp "$VT_ROOT/web/index.html" "$VT_ROOT/web/page.js" "$VT_ROOT/web/page.css" "$out/"
cp "$media/data/bitmaps/loadingscreen.jpg" "$out/loading.jpg"

served=(index.html page.js page.css loading.jpg vantorel.js vantorel.wasm vantorel-data.js vantorel.data)
bytes=$(cd "$out" && du -cb "${served[@]}" | tail -1 | cut -f1)
echo "web.sh: build-web/ ready in $(( $(date +%s) - started )) s: ${#served[@]} files, $(( bytes / 1024 / 1024 )) MB" \
  "($(cd "$out" && du -b vantorel.wasm | cut -f1) bytes of WebAssembly)"
echo "web.sh: serve it with: cd build-web && python3 -m http.server 8000"
