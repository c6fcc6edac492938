#!/usr/bin/env bash
# Builds everything and runs every test, in the normal and the hardened
# configuration. The exit code is the verdict.
set -eo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
tollix_install_packages
tollix_prepare_wine

# One wineserver for the whole run instead of one per test program start. If
# one already serves this prefix, it is used and left running.
if wineserver -p 2>/dev/null; then
  trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
fi

for preset in mingw mingw-hardened; do
  echo "== $preset ==" >&2
  tollix_build "$preset"
  # The first program that touches a window starts Wine's desktop process,
  # which stays and keeps that program's output handles open. Start it here,
  # with its output going nowhere, and not under a test that reads a pipe.
  wine "$TOLLIX_ROOT/build/$preset/Tollix.exe" /? >/dev/null 2>&1 || true
  ctest --preset "$preset" -j 2
done
