#!/usr/bin/env bash
# scripts/check-layers.sh on a scratch tree: quiet on includes that point
# down, and failing, naming the file and line, on each kind of wrong one.
#
#   check_layers_test.sh SOURCE_DIR
set -euo pipefail
source_dir="$1"
check="$source_dir/scripts/check-layers.sh"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

mkdir -p "$scratch"/{app,ui,viewer,engine/widgets,engine/core,engine/port/terminal,engine/port/windows}
printf '#include "ui/menu.h"\n#include "engine/port/console_port.h"\n#include <string>\n' > "$scratch/app/main.cpp"
printf '#include "viewer/grid.h"\n' > "$scratch/ui/menu.cpp"
printf '#include "engine/widgets/button.h"\n' > "$scratch/viewer/grid.cpp"
printf '#include "engine/core/object.h"\n' > "$scratch/engine/widgets/button.cpp"
printf '#include "engine/port/console_port.h"\n' > "$scratch/engine/core/object.cpp"
printf '#include "engine/port/terminal/session.h"\n#include "engine/port/utf.h"\n' > "$scratch/engine/port/terminal/console.cpp"
printf '#ifdef _WIN32\n#endif\n' > "$scratch/engine/port/windows/console.cpp"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

out=$("$check" "$scratch" 2>&1) || fail "a tree that points down was refused: $out"

# Each wrong include, alone in an otherwise good tree.
expect_refused() {
  local file="$1" text="$2" message="$3"
  local saved
  saved=$(cat "$scratch/$file")
  printf '%s\n' "$text" >> "$scratch/$file"
  local line
  line=$(wc -l < "$scratch/$file")
  if out=$("$check" "$scratch" 2>&1); then
    fail "$file with '$text' passed"
  fi
  [[ "$out" == *"$file:$line: $message"* ]] || fail "$file with '$text': expected '$file:$line: $message' in: $out"
  printf '%s\n' "$saved" > "$scratch/$file"
}

expect_refused viewer/grid.cpp '#include "ui/menu.h"' "includes ui/menu.h, a layer above it"
expect_refused viewer/grid.cpp '#include "app/startup.h"' "includes app/startup.h, a layer above it"
expect_refused engine/port/terminal/console.cpp '#include "engine/core/engine.h"' "includes engine/core/engine.h, a layer above it"
expect_refused engine/core/object.cpp '#include "engine/widgets/button.h"' "includes engine/widgets/button.h, a layer above it"
expect_refused engine/port/terminal/console.cpp '#include "engine/port/windows/win32.h"' "includes engine/port/windows/win32.h, a port backend it is not part of"
expect_refused ui/menu.cpp '#include "engine/port/terminal/codec/vt_output.h"' "includes engine/port/terminal/codec/vt_output.h, a port backend it is not part of"
expect_refused app/main.cpp '#ifdef _WIN32' "a platform #if outside engine/port"
expect_refused viewer/grid.cpp '#if defined(__linux__)' "a platform #if outside engine/port"
echo "check_layers_test: passed"
