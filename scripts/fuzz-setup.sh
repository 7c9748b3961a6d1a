#!/usr/bin/env bash
# Installs what the libFuzzer targets need, when it is missing: clang, then
# the runtime libraries of that same clang (libclang-rt-N-dev, N the major
# version of the clang installed: another version's runtime does not link).
set -euo pipefail
here="$(dirname "$0")"

"$here/install-missing.sh" clang
major="$(clang -dumpversion)"
major="${major%%.*}"
if ! [[ "$major" =~ ^[0-9]+$ ]]; then
  echo "fuzz-setup: cannot tell the version of clang (clang -dumpversion said '$(clang -dumpversion)')" >&2
  exit 1
fi
"$here/install-missing.sh" "libclang-rt-${major}-dev"
