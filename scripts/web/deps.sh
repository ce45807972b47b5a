#!/bin/sh
# The C libraries the platform layer needs, built for WebAssembly with emcc
# from Debian's own source packages (Emscripten's ports download from the
# internet, which we cannot rely on): zlib, libpng, libjpeg-turbo, mpg123 and
# kissfft, installed as static libraries into build-web/deps/prefix.
#
#   scripts/web/deps.sh [build-web/deps]
#
# Each library is built once; a stamp file holding its source version keeps
# a second run to a few seconds. Needs emcc (NODE_PATH=/usr/share/nodejs on
# Debian) and a deb-src entry for apt-get source, which it adds when missing.
set -eu

here=$(cd "$(dirname "$0")/../.." && pwd)
deps=${1:-$here/build-web/deps}
mkdir -p "$deps"
deps=$(cd "$deps" && pwd)
src=$deps/src
prefix=$deps/prefix
mkdir -p "$src" "$prefix/lib" "$prefix/include"
chmod a+rx "$deps" "$src" 2>/dev/null || true
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
jobs=${VT_JOBS:-2}

say() { echo "deps: $*" >&2; }

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

# apt-get source needs source entries; Debian 12 keeps them in deb822 files.
ensure_deb_src() {
  if grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    return 0
  fi
  say "adding deb-src entries for apt-get source"
  # The main archive only: a security mirror may not carry the sources.
  list=/etc/apt/sources.list.d/vantorel-src.sources
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s %s-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$codename" "$codename" | as_root tee "$list" >/dev/null
  as_root apt-get update -qq
}

# fetch PACKAGE: unpacks Debian's source (with Debian's patches applied) into
# $src and prints its directory.
fetch() {
  pkg=$1
  dir=$(find "$src" -maxdepth 1 -type d -name "$pkg-[0-9]*" | sort | tail -1)
  if [ -z "$dir" ]; then
    ensure_deb_src
    if ! (cd "$src" && apt-get source -qq "$pkg" >&2); then
      # A mirror may lack the upstream signature (.asc) the .dsc lists:
      # fetch what it has and unpack without checking signatures.
      say "apt-get source $pkg failed; fetching its files one by one"
      (cd "$src" && apt-get source --print-uris -qq "$pkg" | sed -n "s/^'\([^']*\)' \([^ ]*\) .*/\1 \2/p" |
        while read -r uri file; do
          [ -f "$file" ] || curl -fsSL -o "$file" "$uri" || case $file in *.asc) ;; *) exit 1 ;; esac
        done &&
        dpkg-source --no-check -x "$(ls -t "$pkg"_*.dsc | head -1)" >&2)
    fi
    dir=$(find "$src" -maxdepth 1 -type d -name "$pkg-[0-9]*" | sort | tail -1)
  fi
  [ -n "$dir" ] || { say "apt-get source $pkg gave no source tree"; exit 1; }
  echo "$dir"
}

# done_already NAME DIR: true when NAME was built from this very source.
done_already() { [ -f "$prefix/.$1" ] && [ "$(cat "$prefix/.$1")" = "$(basename "$2")" ]; }
mark_done() { basename "$2" >"$prefix/.$1"; }

cmake_lib() {  # cmake_lib SOURCE BUILD ARGS...
  s=$1; b=$2; shift 2
  emcmake cmake -S "$s" -B "$b" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_ROOT_PATH="$prefix" "$@" >"$b.log" 2>&1 ||
    { tail -30 "$b.log" >&2; exit 1; }
  cmake --build "$b" -j "$jobs" >>"$b.log" 2>&1 || { tail -30 "$b.log" >&2; exit 1; }
  cmake --install "$b" >>"$b.log" 2>&1 || { tail -30 "$b.log" >&2; exit 1; }
}

build_zlib() {
  s=$(fetch zlib)
  done_already zlib "$s" && return 0
  say "zlib from $(basename "$s")"
  rm -rf "$deps/b-zlib"; mkdir -p "$deps/b-zlib"
  (cd "$deps/b-zlib" && CHOST=wasm32 emconfigure "$s/configure" --static --prefix="$prefix" >log 2>&1 &&
    emmake make -j "$jobs" libz.a >>log 2>&1 && emmake make install >>log 2>&1) ||
    { tail -30 "$deps/b-zlib/log" >&2; exit 1; }
  mark_done zlib "$s"
}

build_png() {
  s=$(fetch libpng1.6)
  done_already png "$s" && return 0
  say "libpng from $(basename "$s")"
  rm -rf "$deps/b-png"
  cmake_lib "$s" "$deps/b-png" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DPNG_TOOLS=OFF -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include" \
    -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_FILES=ON -DPNG_HARDWARE_OPTIMIZATIONS=OFF
  mark_done png "$s"
}

build_jpeg() {
  s=$(fetch libjpeg-turbo)
  done_already jpeg "$s" && return 0
  say "libjpeg-turbo from $(basename "$s")"
  rm -rf "$deps/b-jpeg"
  # emcc confuses the size_t probe; wasm32 has 4-byte size_t and long.
  cmake_lib "$s" "$deps/b-jpeg" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF \
    -DWITH_JAVA=OFF -DCMAKE_INSTALL_LIBDIR="$prefix/lib" -DCMAKE_INSTALL_INCLUDEDIR="$prefix/include" \
    -DHAVE_SIZE_T=TRUE -DSIZE_T=4 -DHAVE_UNSIGNED_LONG=TRUE -DUNSIGNED_LONG=4
  mark_done jpeg "$s"
}

build_mpg123() {
  s=$(fetch mpg123)
  done_already mpg123 "$s" && return 0
  say "mpg123 from $(basename "$s")"
  rm -rf "$deps/b-mpg123"; mkdir -p "$deps/b-mpg123"
  # Only the decoder library, in portable C with floating-point synthesis;
  # its config.sub predates Emscripten, so a generic 32-bit host stands in.
  (cd "$deps/b-mpg123" && emconfigure "$s/configure" --host=i686-pc-linux-gnu --prefix="$prefix" \
    --disable-shared --enable-static --with-cpu=generic_fpu --disable-modules --disable-network \
    --disable-largefile --with-default-audio=dummy >log 2>&1 &&
    emmake make -j "$jobs" src/libmpg123/libmpg123.la >>log 2>&1) ||
    { tail -30 "$deps/b-mpg123/log" >&2; exit 1; }
  cp "$deps/b-mpg123/src/libmpg123/.libs/libmpg123.a" "$prefix/lib/"
  cp "$deps/b-mpg123/src/libmpg123/mpg123.h" "$s/src/libmpg123/fmt123.h" "$prefix/include/"
  mark_done mpg123 "$s"
}

build_kissfft() {
  s=$(fetch kissfft)
  done_already kissfft "$s" && return 0
  say "kissfft from $(basename "$s")"
  # Two C files; float samples, as Debian's kissfft-float the native build links.
  mkdir -p "$prefix/include/kissfft" "$deps/b-kissfft"
  for f in kiss_fft kiss_fftr; do
    emcc -O2 -Dkiss_fft_scalar=float -c "$s/$f.c" -I"$s" -o "$deps/b-kissfft/$f.o"
  done
  rm -f "$prefix/lib/libkissfft-float.a"
  emar rcs "$prefix/lib/libkissfft-float.a" "$deps/b-kissfft/kiss_fft.o" "$deps/b-kissfft/kiss_fftr.o"
  cp "$s/kiss_fft.h" "$s/kiss_fftr.h" "$prefix/include/kissfft/"
  [ -f "$s/kiss_fft_log.h" ] && cp "$s/kiss_fft_log.h" "$prefix/include/kissfft/"
  mark_done kissfft "$s"
}

command -v emcc >/dev/null || { say "emcc is missing (apt-get install emscripten)"; exit 1; }
command -v dpkg-source >/dev/null || as_root apt-get install -y -qq dpkg-dev >&2

start=$(date +%s)
build_zlib
build_png
build_jpeg
build_mpg123
build_kissfft
say "ready in $prefix ($(($(date +%s) - start)) s)"
