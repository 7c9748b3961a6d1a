#!/usr/bin/env bash
# Installs the given Debian packages that are not installed yet (run as root
# or with sudo available). With --no-recommends first, leaves out the
# packages they only recommend.
set -euo pipefail

options=()
if [ "${1:-}" = "--no-recommends" ]; then
  options+=(--no-install-recommends)
  shift
fi
missing=()
for p in "$@"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${options[@]}" "${missing[@]}"
fi
