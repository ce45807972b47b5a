#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite (no display, GPU or sound
# card needed). Every tree is built with warnings as errors.
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"

# The browser test drives Debian's Chromium from Python's standard library.
VT_PACKAGES+=(chromium python3)
vt_install_missing
# The capture tool, the decoders' and the .x reader's tests once more with
# AddressSanitizer and UndefinedBehaviorSanitizer; the suite runs them too.
VT_TARGETS="vantorel-capture vt_d3dx8_tests vt_xfile_tests" \
  vt_build "$VT_ROOT/build-asan" -DVT_WERROR=ON -DVT_SANITIZE=ON -DVT_BUILD_MEDIA=OFF -DVT_BUILD_TESTS=ON
# The fuzz targets, built with clang, libFuzzer and the sanitizers; the
# suite runs each for about 30 s.
vt_build "$VT_ROOT/build-fuzz" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVT_WERROR=ON -DVT_FUZZ=ON
vt_build "$VT_BUILD" -DVT_WERROR=ON -DVT_SANITIZED_BUILD_DIR="$VT_ROOT/build-asan" -DVT_FUZZ_BUILD_DIR="$VT_ROOT/build-fuzz"
# The web build (build-web/), from the media set just generated, for the
# browser test (ctest -L web).
VT_MEDIA="$VT_BUILD/media" "$VT_ROOT/web.sh"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-/tmp}"
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
ctest --test-dir "$VT_BUILD" --output-on-failure -j2 --timeout 900
