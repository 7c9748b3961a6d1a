#!/usr/bin/env bash
# Installs what building kelmhex and running its tests needs, when it is
# missing (Debian or Ubuntu; run as root or with sudo available): the
# compiler, CMake and Ninja, GoogleTest and Google Benchmark, and tmux for
# the end-to-end tests. clang and its fuzzing runtime are the fuzz script's
# own business (scripts/fuzz-setup.sh).
set -euo pipefail

packages=(g++ cmake ninja-build libgtest-dev libgmock-dev libbenchmark-dev tmux)
"$(dirname "$0")/install-missing.sh" "${packages[@]}"
