#!/usr/bin/env bash
# Builds the libFuzzer targets (the "fuzz" preset: clang, sanitizers) and
# runs each for a bounded time, starting from the corpus kept in
# fuzz/corpus/<target>/. New inputs found go to build/fuzz/corpus/<target>/,
# so the kept corpus only changes when someone copies inputs over on purpose.
#
#   scripts/fuzz.sh [seconds per target, default 20] [target ...]
#
# clang and its fuzzing runtime are installed first when missing
# (scripts/fuzz-setup.sh); the ordinary build needs neither.
#
# A crash leaves its input as build/fuzz/crash-* (re-run the target with that
# file as its argument to reproduce) and makes the script fail.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-20}"
shift || true
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=(vt_input wrap_text decode_utf8 hex_digits exec_escape chooser_listing printable_text file_map marks_file search_pattern screenshot_file)
fi

scripts/fuzz-setup.sh
cmake --preset fuzz >/dev/null
cmake --build build/fuzz -j"${KELMHEX_JOBS:-2}" --target "${targets[@]/#/fuzz_}"

status=0
for target in "${targets[@]}"; do
  work="build/fuzz/corpus/${target}"
  mkdir -p "$work"
  echo "== fuzz_${target}: ${seconds} s"
  if ! (cd build/fuzz && "./fuzz/fuzz_${target}" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
          -rss_limit_mb=2048 -print_final_stats=1 "corpus/${target}" "../../fuzz/corpus/${target}" \
          2>"fuzz_${target}.log"); then
    echo "fuzz_${target} FAILED (see build/fuzz/fuzz_${target}.log):"
    tail -n 40 "build/fuzz/fuzz_${target}.log"
    status=1
  else
    grep -E "stat::number_of_executed_units|cov:" "build/fuzz/fuzz_${target}.log" | tail -n 2 || true
  fi
done
exit "$status"
