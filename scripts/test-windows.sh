#!/usr/bin/env bash
# Cross-builds kelmhex.exe and the unit tests for Windows, runs the tests
# under wine, then runs the end-to-end test that starts kelmhex.exe under
# wine in tmux beside the Linux build (which it configures in build/dev, or
# build/ci with "ci").
# Wine runs without a display, in its own prefix under build/windows.
# With "ci", both builds treat warnings as errors (the Linux one is then the
# ci preset's, as CI builds it).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/setup-windows.sh

export WINEPREFIX="$root/build/windows/wineprefix"
export WINEDEBUG=-all
export WINEARCH=win64
unset DISPLAY WAYLAND_DISPLAY

linux_preset=dev
werror=OFF
if [ "${1:-}" = ci ]; then
  linux_preset=ci
  werror=ON
fi

start=$SECONDS
cmake --preset windows -DKELMHEX_WERROR=$werror
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
cmake --preset "$linux_preset" -DKELMHEX_WINDOWS_EXE="$root/build/windows/kelmhex.exe"
cmake --build --preset "$linux_preset" --target kelmhex wine_e2e_tests
ctest --preset "$linux_preset" -L wine
echo "Windows end-to-end tests: $((SECONDS - start)) s"
