#!/usr/bin/env bash
# wine_launch.sh WINE PROGRAM [ARGUMENT...]: how CTest starts a test program
# under Wine, discovery (--gtest_list_tests) included.
#
# On a loaded machine Wine now and then fails to start a program at all: it
# ends at once with nothing written, and the test fails without having run.
# A program that Wine started writes to standard output before anything else
# (GoogleTest's main its first line, a listing, the test banner), so a run
# with no standard output at all is a launch Wine failed: that launch is made
# once more, and the second one stands, said so on standard error. A program
# that wrote anything ran, and is never started again, whatever it gave.
# Standard output passes through as it comes; the exit code is the program's.
set -u
wine=$1
shift
seen=$(mktemp)
trap 'rm -f "$seen"' EXIT

launch() {
  # Killed for its time limit, this script takes the program with it, which
  # would otherwise run on under Wine, unseen.
  setpriv --pdeathsig KILL -- "$wine" "$@" | tee "$seen"
  status=${PIPESTATUS[0]}
}

launch "$@"
if [ ! -s "$seen" ]; then
  echo "Wine did not start the program (exit code $status, no output): launched once more" >&2
  launch "$@"
fi
exit "$status"
