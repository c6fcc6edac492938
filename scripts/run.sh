#!/usr/bin/env bash
# Runs Tollix.exe under Wine with the given arguments, setting up and building
# whatever is missing first. Its standard output and exit code are Tollix's.
#   scripts/run.sh /wql:"select * from win32_bios"
set -eo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
tollix_install_packages
tollix_prepare_wine
tollix_build mingw Tollix
set +e
wine "$TOLLIX_ROOT/build/mingw/Tollix.exe" "$@"
