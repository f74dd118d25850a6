#!/usr/bin/env bash
# Builds the native and the Windows trees and runs every test: natively with
# AddressSanitizer and UBSan (and the dialog tests once more under
# ThreadSanitizer), and the Windows programs under Wine.  Installs what a fresh
# Debian machine lacks.  Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
jobs=$(nproc 2>/dev/null || echo 2)
. scripts/common.sh

# --- what a fresh Debian machine lacks -----------------------------------------
ensure_packages cmake ninja-build g++ make python3 googletest libgtest-dev libgmock-dev libbenchmark-dev \
  mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 xvfb xauth \
  clang libclang-rt-14-dev libusb-1.0-0-dev pkg-config umockdev libumockdev-dev nlohmann-json3-dev

# --- native: sanitizers --------------------------------------------------------
say "native build (AddressSanitizer, UBSan)"
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$jobs"
say "native tests"
ctest --preset linux -j "$jobs"

say "dialog tests and the gang update under ThreadSanitizer"
cmake --preset linux-tsan >/dev/null
cmake --build --preset linux-tsan -j "$jobs" --target test_ui test_tools
ctest --preset linux-tsan

# --- the parsers under libFuzzer (clang tree of its own), briefly -----------------
scripts/fuzz.sh 15

# --- Windows: a Wine prefix and a display of this run's own ---------------------
export WINEPREFIX="$top/build/windows/wineprefix"
trap stop_wine_and_xvfb EXIT

say "Windows build (MinGW-w64 x86_64)"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"

# A prefix made once per run, and a display for the real dialogs.
wine_prefix fresh
start_xvfb 1280x1024x24

say "Windows tests under Wine"
ctest --preset windows -j "$jobs"

say "Windows build (MinGW-w64 i686)"
cmake --preset windows-i686 >/dev/null
cmake --build --preset windows-i686 -j "$jobs"

say "all builds and tests passed"
