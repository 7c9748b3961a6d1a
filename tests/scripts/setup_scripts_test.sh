#!/usr/bin/env bash
# The set-up scripts on a clean machine, as in a fresh container: a copy of
# the scripts runs with stand-ins for dpkg (nothing is installed), apt-get
# (records what it is asked to install), sudo and id, so nothing is really
# installed. Checks that scripts/setup.sh asks for what building and testing
# needs and no clang, and that scripts/fuzz-setup.sh installs clang and then
# the runtime of the clang that is installed, whatever its version.
#
#   tests/scripts/setup_scripts_test.sh SOURCE_DIR
set -euo pipefail
source_dir="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

mkdir -p "$work/tree" "$work/bin"
cp -r "$source_dir/scripts" "$work/tree/"
cat >"$work/bin/dpkg" <<'STUB'
#!/bin/sh
# Nothing is installed, except what the stand-in apt-get installed.
[ "$1" = "-s" ] && grep -qx "$2" "$KELMHEX_TEST_LOG.installed" 2>/dev/null && exit 0
exit 1
STUB
cat >"$work/bin/apt-get" <<'STUB'
#!/bin/sh
echo "apt-get $*" >>"$KELMHEX_TEST_LOG"
[ "$1" = "install" ] || exit 0
for p in "$@"; do
  case "$p" in -*|install) ;; *) echo "$p" >>"$KELMHEX_TEST_LOG.installed" ;; esac
done
STUB
cat >"$work/bin/sudo" <<'STUB'
#!/bin/sh
exec "$@"
STUB
cat >"$work/bin/clang" <<'STUB'
#!/bin/sh
# The clang that the stand-in apt-get "installed".
[ "$1" = "-dumpversion" ] && echo "$KELMHEX_TEST_CLANG_VERSION"
STUB
chmod +x "$work/bin/"*

run() {  # run LOG SCRIPT: a script of the copied tree with the stand-ins first in PATH
  local log="$1" script="$2"
  : >"$log"
  KELMHEX_TEST_LOG="$log" PATH="$work/bin:$PATH" "$work/tree/scripts/$script" >"$log.out" 2>&1
}

# --- scripts/setup.sh on a machine without clang --------------------------------
if ! run "$work/setup.log" setup.sh; then
  fail "setup.sh failed: $(cat "$work/setup.log.out")"
fi
installed="$(cat "$work/setup.log.installed" 2>/dev/null || true)"
for p in g++ cmake ninja-build libgtest-dev libgmock-dev libbenchmark-dev tmux; do
  grep -qx "$p" <<<"$installed" || fail "setup.sh does not install $p"
done
if grep -qi clang <<<"$installed"; then
  fail "setup.sh installs clang or its runtime: $(grep -i clang <<<"$installed" | tr '\n' ' ')"
fi

# --- scripts/fuzz-setup.sh picks the runtime of the installed clang --------------
for version in 17.0.6 14.0.6 19; do
  export KELMHEX_TEST_CLANG_VERSION="$version"
  if ! run "$work/fuzz.log" fuzz-setup.sh; then
    fail "fuzz-setup.sh with clang $version failed: $(cat "$work/fuzz.log.out")"
    continue
  fi
  major="${version%%.*}"
  got="$(cat "$work/fuzz.log.installed" | tr '\n' ' ')"
  [ "$got" = "clang libclang-rt-${major}-dev " ] ||
    fail "fuzz-setup.sh with clang $version installed '$got', not 'clang libclang-rt-${major}-dev'"
  rm -f "$work/fuzz.log.installed"
done

# A clang whose version cannot be read stops the set-up with a message.
export KELMHEX_TEST_CLANG_VERSION="unknown"
if run "$work/bad.log" fuzz-setup.sh; then
  fail "fuzz-setup.sh went on with an unreadable clang version"
elif ! grep -q "cannot tell the version of clang" "$work/bad.log.out"; then
  fail "fuzz-setup.sh gave no reason: $(cat "$work/bad.log.out")"
fi

if ((failures)); then
  echo "$failures failure(s)"
  exit 1
fi
echo "set-up scripts: all checks passed"
