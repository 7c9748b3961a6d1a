#!/usr/bin/env bash
# Sets up, builds and runs every test. With "asan", builds and runs them with
# AddressSanitizer and UndefinedBehaviorSanitizer instead; "ci" and
# "ci-asan" are the same two builds with warnings as errors, as CI runs them.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-dev}
scripts/setup.sh
cmake --preset "$preset"
cmake --build --preset "$preset"
ctest --preset "$preset"
