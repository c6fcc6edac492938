#!/usr/bin/env bash
# Builds everything and runs every test, in the normal and the hardened
# configuration. The exit code is the verdict.
set -eo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
tollix_install_packages
tollix_prepare_wine

# One wineserver for the whole run instead of one per test program start.
wineserver -p
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

for preset in mingw mingw-hardened; do
  echo "== $preset ==" >&2
  tollix_build "$preset"
  ctest --preset "$preset" -j 2
done
