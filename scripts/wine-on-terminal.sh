#!/usr/bin/env bash
# Runs a Windows program under wine on a pseudo-terminal of its own (wine
# turns a terminal into a Windows console; without one the program has no
# console). Yields the program's exit status.
#   scripts/wine-on-terminal.sh PROGRAM.exe [ARGUMENTS...]
set -euo pipefail
wine=${KELMHEX_WINE:-$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)}
command=$(printf '%q ' "$wine" "$@")
exec script -qefc "$command" /dev/null </dev/null
