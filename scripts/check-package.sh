#!/usr/bin/env bash
# Checks a built Debian package: its file list is the expected one
# (packaging/files.txt), and the program installed from it into a scratch
# root (dpkg -x) runs: --version, --help, the manual page and the bash
# completion.
#
#   scripts/check-package.sh [PACKAGE.deb]   (default: the one in build/package)
set -euo pipefail
cd "$(dirname "$0")/.."
deb="${1:-$(ls build/package/kelmhex_*.deb)}"
root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
status=0
fail() {
  echo "FAIL: $*"
  status=1
}

# The file list, without the folders and the version-dependent details.
dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|' | grep -v "/$" | LC_ALL=C sort >"$root.files"
if ! diff -u packaging/files.txt "$root.files"; then
  fail "the package's files differ from packaging/files.txt (above)"
fi
rm -f "$root.files"
dpkg-deb -f "$deb" Package Version Architecture Depends
# The long description: continuation lines of its own, not a CMake list.
if dpkg-deb -f "$deb" Description | grep -q '^ ;'; then fail "the description's lines are joined by ';'"; fi

dpkg -x "$deb" "$root"
kelmhex="$root/usr/bin/kelmhex"
version="$("$kelmhex" --version)" || fail "kelmhex --version failed"
echo "$version"
[[ "$version" == "kelmhex $(dpkg-deb -f "$deb" Version)" ]] || fail "--version says '$version'"
help="$("$kelmhex" --help)" || fail "kelmhex --help failed"
[[ "$help" == "kelmhex - an interactive hex viewer for the terminal"* ]] || fail "--help starts: ${help:0:80}"
grep -q -- "--show-screenshot" <<<"$help" || fail "--help lacks the options"
if command -v man >/dev/null; then
  MANWIDTH=80 man -l "$root/usr/share/man/man1/kelmhex.1" 2>/dev/null | grep -q "KEYS AND MOUSE" ||
    fail "the manual page does not render"
fi
bash -c "source '$root/usr/share/bash-completion/completions/kelmhex' && complete -p kelmhex" >/dev/null ||
  fail "the bash completion does not load"
grep -qx "Exec=kelmhex %f" "$root/usr/share/applications/kelmhex-hex-editor.desktop" ||
  fail "the desktop entry does not start kelmhex"
grep -q "License: MIT" "$root/usr/share/doc/kelmhex/copyright" || fail "the copyright file names no licence"
if ((status == 0)); then echo "package ok: $deb"; fi
exit "$status"
