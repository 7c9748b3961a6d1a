#!/usr/bin/env bash
# Fails on an include that runs up or across the layers of the program:
#
#   app > ui > viewer > engine/widgets > engine/core > engine/port
#
# A file may include its own layer and the layers below it. Inside the port,
# each backend folder (terminal, windows, virtual, posix) may include the
# shared port files and its own folder, never another backend; above the
# port, only the shared port files are seen (engine/port/*.h), never a
# backend. Besides, no platform #if outside engine/port: the backend is
# chosen at link time.
#
#   scripts/check-layers.sh [ROOT]
set -euo pipefail
root="${1:-$(dirname "$0")/..}"
cd "$root"

# The rank of a path's layer, or nothing for a path outside the layers.
rank() {
  case "$1" in
    app/*) echo 5 ;;
    ui/*) echo 4 ;;
    viewer/*) echo 3 ;;
    engine/widgets/*) echo 2 ;;
    engine/core/*) echo 1 ;;
    engine/port/*) echo 0 ;;
  esac
}

# The port backend folder of a path (terminal, windows, ...), or nothing.
backend() {
  case "$1" in
    engine/port/*/*) local rest="${1#engine/port/}"; echo "${rest%%/*}" ;;
  esac
}

failures=0
while IFS= read -r -d '' file; do
  from=$(rank "$file")
  from_backend=$(backend "$file")
  while IFS=: read -r line target; do
    to=$(rank "$target")
    [[ -z "$to" ]] && continue
    if (( to > from )); then
      echo "$file:$line: includes $target, a layer above it"
      failures=$((failures + 1))
      continue
    fi
    to_backend=$(backend "$target")
    if [[ -n "$to_backend" && "$to_backend" != "$from_backend" ]]; then
      echo "$file:$line: includes $target, a port backend it is not part of"
      failures=$((failures + 1))
    fi
  done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" |
           sed 's/^\([0-9]*\):[^"]*"\([^"]*\)".*/\1:\2/')
  if [[ "$from" -gt 0 ]]; then
    while IFS= read -r hit; do
      echo "$file:$hit: a platform #if outside engine/port"
      failures=$((failures + 1))
    done < <(grep -nE '^[[:space:]]*#[[:space:]]*(if|ifdef|ifndef|elif)\b.*(_WIN32|_WIN64|__linux__|__APPLE__|__unix__|_POSIX_VERSION|__MINGW)' "$file" | cut -d: -f1)
  fi
done < <(find app ui viewer engine -type f \( -name '*.cpp' -o -name '*.h' \) -print0 2>/dev/null | sort -z)

if (( failures > 0 )); then
  echo "check-layers: $failures include(s) against the layer order" >&2
  exit 1
fi
echo "check-layers: every include points down"
