#!/usr/bin/env bash
# Builds everything and runs every test in three configurations: GCC (mingw),
# GCC with undefined-behaviour traps (mingw-hardened) and clang
# (mingw-clang), all with warnings as errors. The exit code is the verdict.
set -eo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
tollix_install_packages
tollix_prepare_wine

# The GitHub workflow cannot run here; its YAML, and the jobs it names, are
# checked so that it at least parses the day it does.
/usr/bin/python3 - "$TOLLIX_ROOT/.github/workflows/ci.yml" <<'EOF'
import sys
import yaml

with open(sys.argv[1]) as file:
    workflow = yaml.safe_load(file)
jobs = workflow["jobs"]
assert jobs["linux"]["container"] == "debian:bookworm", "the Linux job runs in debian:bookworm"
assert any(step.get("run") == "scripts/test.sh" for step in jobs["linux"]["steps"]), "the Linux job runs test.sh"
assert jobs["windows"]["runs-on"] == "windows-2022", "the Windows job runs on windows-2022"
runs = [step.get("run", "") for step in jobs["windows"]["steps"]]
assert all(any(command in run for run in runs) for command in ("cmake --preset msvc", "ctest --preset msvc")), runs
print(f"{sys.argv[1]}: parses, jobs {', '.join(jobs)}", file=sys.stderr)
EOF

# The Ansible example in docs/fleet.md cannot run here either: it must parse,
# run Tollix through win_command with /format:json, and read it with from_json.
/usr/bin/python3 - "$TOLLIX_ROOT/docs/examples/tollix-disks.yml" <<'EOF'
import sys
import yaml

with open(sys.argv[1]) as file:
    plays = yaml.safe_load(file)
assert isinstance(plays, list) and plays and all("tasks" in play for play in plays), "a list of plays with tasks"
tasks = [task for play in plays for task in play["tasks"]]
commands = [task.get("ansible.windows.win_command", task.get("win_command")) for task in tasks]
commands = [str(command).lower() for command in commands if command]
assert any("tollix.exe" in command and "/format:json" in command for command in commands), commands
assert "from_json" in str(tasks), "the output is read with from_json"
print(f"{sys.argv[1]}: parses, {len(tasks)} tasks", file=sys.stderr)
EOF

# One wineserver for the whole run instead of one per test program start. If
# one already serves this prefix, it is used and left running.
if wineserver -p 2>/dev/null; then
  trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
fi

for preset in mingw mingw-hardened mingw-clang; do
  echo "== $preset ==" >&2
  tollix_build "$preset"
  # The first program that touches a window starts Wine's desktop process,
  # which stays and keeps that program's output handles open. Start it here,
  # with its output going nowhere, and not under a test that reads a pipe.
  wine "$TOLLIX_ROOT/build/$preset/Tollix.exe" /? >/dev/null 2>&1 || true
  ctest --preset "$preset" -j 2

  # Installed under a path longer than MAX_PATH, Tollix still reads its own
  # version. Wine's loader starts a program from there by its Unix path,
  # which a Windows test program cannot do.
  deep=$(mktemp -d)
  long=$deep
  while [ ${#long} -lt 340 ]; do long=$long/$(printf 'd%.0s' {1..60}); done
  mkdir -p "$long"
  cp "$TOLLIX_ROOT/build/$preset/Tollix.exe" "$long/"
  output=$("$TOLLIX_ROOT/tests/support/wine_launch.sh" wine "$long/Tollix.exe" "/wql:select name from win32_bios" || true)
  banner=${output%%$'\r'*}
  rm -rf "$deep"
  expected="Tollix.exe $(sed -n 's/^project(Tollix VERSION \([0-9.]*\).*/\1/p' "$TOLLIX_ROOT/CMakeLists.txt")"
  if [ "$banner" != "$expected" ]; then
    echo "FAILED: under a long install path the banner reads '$banner', not '$expected'" >&2
    exit 1
  fi
  echo "Long install path: the banner reads '$banner'" >&2
done

# The release packages: built twice, from copies of this tree in two folders,
# it must come out the same to the byte; and the exe people download must pass
# the end-to-end tests.
echo "== release ==" >&2
SOURCE_DATE_EPOCH=$(git -C "$TOLLIX_ROOT" log -1 --format=%ct 2>/dev/null || echo 315532800)
export SOURCE_DATE_EPOCH
copies=$(mktemp -d)
for copy in one two/deeper; do
  mkdir -p "$copies/$copy"
  (cd "$TOLLIX_ROOT" && git ls-files -z --cached --others --exclude-standard | xargs -0 tar cf -) |
    tar xf - -C "$copies/$copy"
  "$copies/$copy/scripts/release.sh" >"$copies/$copy.out"
done
for built in build/release/Tollix.exe "dist/$(basename "$(sed -n 1p "$copies/one.out")")" \
             "dist/$(basename "$(sed -n 3p "$copies/one.out")")"; do
  if ! cmp "$copies/one/$built" "$copies/two/deeper/$built" >&2; then
    echo "FAILED: two release builds differ in $built" >&2
    exit 1
  fi
done
echo "Release: the same bytes from two folders ($(sed -n 2p "$copies/one.out"), $(sed -n 4p "$copies/one.out"))" >&2
TOLLIX_EXE=$(winepath -w "$copies/one/build/release/Tollix.exe") \
  "$TOLLIX_ROOT/tests/support/wine_launch.sh" wine "$TOLLIX_ROOT/build/mingw/tollix_end_to_end_tests.exe" \
  --gtest_brief=1 >&2
rm -rf "$copies"
