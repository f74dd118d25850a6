#!/usr/bin/env bash
# Builds the native and the Windows trees and runs every test: natively with
# AddressSanitizer and UBSan (and the dialog tests once more under
# ThreadSanitizer), and the Windows programs under Wine.  Installs what a fresh
# Debian machine lacks.  Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
jobs=$(nproc 2>/dev/null || echo 2)

say() { printf '\n=== %s\n' "$*"; }

# --- what a fresh Debian machine lacks -----------------------------------------
packages=(cmake ninja-build g++ make python3 googletest libgtest-dev libgmock-dev libbenchmark-dev
          mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 xvfb xauth)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if ((${#missing[@]})); then
  say "installing: ${missing[*]}"
  if [ "$(id -u)" != 0 ]; then echo "run as root to install: ${missing[*]}" >&2; exit 1; fi
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# --- native: sanitizers --------------------------------------------------------
say "native build (AddressSanitizer, UBSan)"
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$jobs"
say "native tests"
ctest --preset linux -j "$jobs"

say "dialog tests under ThreadSanitizer"
cmake --preset linux-tsan >/dev/null
cmake --build --preset linux-tsan -j "$jobs" --target test_ui
ctest --preset linux-tsan

# --- Windows: a Wine prefix and a display of this run's own ---------------------
export WINEPREFIX="$top/build/windows/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
xvfb_pid=""
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" >/dev/null 2>&1 || true; fi
}
trap cleanup EXIT

say "Windows build (MinGW-w64 x86_64)"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"

say "Wine prefix"
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
timeout 300 wineboot -i >/dev/null 2>&1 || { echo "wineboot failed" >&2; exit 1; }
timeout 120 wineserver -w || true

for n in $(seq 90 120); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
    Xvfb ":$n" -nolisten tcp -screen 0 1280x1024x24 >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    sleep 1
    break
  fi
done

say "Windows tests under Wine"
ctest --preset windows -j "$jobs"

say "Windows build (MinGW-w64 i686)"
cmake --preset windows-i686 >/dev/null
cmake --build --preset windows-i686 -j "$jobs"

say "all builds and tests passed"
