#!/usr/bin/env bash
# Sets up, builds and starts the viewer on FILE (default: the viewer's own
# binary, a file that is always there).
set -euo pipefail
start_dir=$PWD
cd "$(dirname "$0")/.."
root=$PWD
scripts/setup.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target kelmhex
file=${1:-$root/build/dev/kelmhex}
# Relative paths are taken from where the user stands, not from the repo.
cd "$start_dir"
exec "$root/build/dev/kelmhex" "$file"
