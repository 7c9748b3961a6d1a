#!/usr/bin/env bash
# Cross-builds kelmhex.exe and the unit tests for Windows, runs the tests
# under wine, then runs the end-to-end test that starts kelmhex.exe under
# wine in tmux beside the Linux build (which it configures in build/dev).
# Wine runs without a display, in its own prefix under build/windows.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/setup-windows.sh

export WINEPREFIX="$root/build/windows/wineprefix"
export WINEDEBUG=-all
export WINEARCH=win64
unset DISPLAY WAYLAND_DISPLAY

start=$SECONDS
cmake --preset windows
cmake --build --preset windows
echo "Windows build: $((SECONDS - start)) s"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
fi

start=$SECONDS
ctest --preset windows
echo "Windows unit tests under wine: $((SECONDS - start)) s"

start=$SECONDS
cmake --preset dev -DKELMHEX_WINDOWS_EXE="$root/build/windows/kelmhex.exe"
cmake --build --preset dev --target kelmhex wine_e2e_tests
ctest --preset dev -L wine
echo "Windows end-to-end tests: $((SECONDS - start)) s"
